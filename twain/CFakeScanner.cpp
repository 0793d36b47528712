#include "twain/CFakeScanner.h"

IMPLEMENT_DYNCREATE(CFakeScanner, CObject)

int CFakeScanner::Open() {
    return 1;
}
int CFakeScanner::Close() {
    return 1;
}
int CFakeScanner::Start() {
    return 1;
}
int CFakeScanner::Stop() {
    return 1;
}
