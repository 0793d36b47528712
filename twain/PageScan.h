// The scan of one page into the engine's mapped page image: Scanthread reads it on a worker thread while the
// application's thread runs the progress dialog modally, and a polling thread drives the progress bar until the
// first row arrives. Beside it the helpers of the page fixes (turning a mapped page by right angles in stripes, the
// disk check before it) and of the transfers (page format, closing the job's device, the engine's error boxes).
//
//   application's thread             Scanthread                          ScanProgressThread
//   RunPageScan ─creates─▶  waits for the dialog; starts the job
//     (progress dialog,             reads row 0 ─────────starts──────▶   polls line and transfer size
//      modal)                       ◀── joined after the first row ───   every 200 ms, posts 0-90 %
//                                   reads the rest, posts 90-100 % (or 0-100 %)
//                                   deskew, auto-crop, rotation
//     ◀──── WM_SCAN_END ─────────  finished: g_iScanThreadRet
#pragma once

#include "imaging/Data_MapFile.h"
#include "platform/base/windows.h"

#include <atomic>
#include <cstdint>

class CScanWindow;

// Result of the last Scanthread: 0, else the failing step's code (the mapped driver result, 1 when the window
// failed to set the parameters, -10000 when the page buffer failed and was reported, -1 when rotation failed).
extern std::atomic<int> g_iScanThreadRet;
// Percent shown before the rows arrive (0, or 90 when the device scanned the page before the first row came).
extern std::atomic<int> g_nProgressBase;
// The first row of the page has been read: ends the polling thread.
extern std::atomic<BYTE> g_bFirstRowRead;
// The page size before deskew or auto-crop changed it; the next page of a feeder job starts from it.
extern std::atomic<int> g_nPageHeightBeforeFix;
extern std::atomic<int> g_nPageWidthBeforeFix;

// Thread procedures: the argument of Scanthread is the assistor, of ScanProgressThread the window.
DWORD WINAPI Scanthread(void* assistor);
DWORD WINAPI ScanProgressThread(void* window);
// Sets g_bFirstRowRead and wakes the polling thread from its wait between two polls.
void FirstRowRead();

// Scans the page now: Scanthread under the window's progress dialog (without one, the thread alone), and waits for
// it. Answers g_iScanThreadRet; -1 when the thread could not run at all.
int RunPageScan(CScanWindow* window);

// The application drops the announced page without transferring it: a page still on the device is read and
// thrown away (the job started first when it was the job's first), under the progress dialog, so that the device
// moves on to the next page. 0, else the failing step's code as RunPageScan gives it.
int DiscardPendingPage(CScanWindow* window);
// The scan a transfer makes when its page is still to be scanned (g_bPageScanPending, cleared here): with auto-crop
// or deskew on the page was scanned before MSG_XFERREADY and that scan's result answers; the native transfer first
// makes sure the bitmap will fit (-100 when not). 0 when the page waits in the page image.
int ScanPendingPage(CScanWindow* window, const WCHAR* debugLine, bool checkDibMemory);

// Turns a mapped page of bpp 1, 8 or 24 by 90, 180 or 270 degrees counter-clockwise into a new temporary file, which
// replaces *page: 1 when turned, 0 when not (the library or the disk space is missing, or any step failed; the page
// is then as it was). Angle 0 answers 0 and changes nothing.
int RotateMappedPage(Data_MapFile** page, int bpp, int width, int height, int angle);
// Appends the bytes of columns [firstColumn, endColumn) of every row of an 8- or 24-bit page to out: 0, or -1 for
// another depth or a window that cannot be mapped.
int CopyColumnStripe(Data_MapFile* page, int bpp, int width, int height, BYTE* out, int firstColumn, int endColumn);
// Room on the volume of the temporary folder for a page of that size (a query that fails counts as room).
BOOL CheckDiskSpaceForImage(int bpp, int width, int height);

// The page format of a colour mode (0 black and white, 1 grey, 2 colour): bits a pixel, 0 for any other mode.
int PageBitsPerPixel(int colour);
// Unpadded bytes of a row of `width` pixels.
std::uint64_t PageRowBytes(int width, int bpp);
// The page as it is handed over: the window's page size, width and height exchanged for rotation settings 1 and 2.
void GetTransferredPageSize(CScanWindow* window, int& width, int& height);

// Ends the job's device unless it is closed already: stop and end as asked, its events unregistered, closed;
// marks it closed.
void CloseJobDevice(bool stop, bool end);
// The engine's error boxes, shown by the window (nothing without one) under the modal guard; a scan error is not
// shown once the user has cancelled the job.
void ShowEngineError(CScanWindow* window, const WCHAR* text);
void ShowEngineScanError(CScanWindow* window, int category, int code);
