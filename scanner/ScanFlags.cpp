#include "scanner/ScanFlags.h"

std::atomic<BOOL> g_bScan1200Dpi{FALSE};
std::atomic<int> g_nScanHorizontal{0};
std::atomic<BOOL> g_bCancelScan{FALSE};
std::atomic<BOOL> g_bHostMsPhotoScan{FALSE};
