#include "twain/CMsgImageMemXfer.h"

#include "twain/CColMsg.h"
#include "twain/CDsAssistor.h"
#include "twain/CScanWindow.h"
#include "twain/HostFlags.h"
#include "twain/PageScan.h"
#include "twain/ScanState.h"

#include "scanner/ScanErrors.h"
#include "settings/DebugOutput.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {
constexpr TW_UINT32 kMemoryFlags = 0x19; // what the handler reports in Memory.Flags
} // namespace

TW_UINT16 CMsgImageMemXfer::Handle(TwainCall* pCall) {
    CDsAssistor* assistor = g_pDsAssistor;
    if (assistor == nullptr)
        return TWRC_FAILURE;
    const TW_UINT16 state = assistor->GetState();
    if ((state != 600 && state != 700) || (state == 600 && g_bJobEnded)) {
        g_bScanStarted = FALSE;
        assistor->SetConditionCode(TWCC_SEQERROR);
        return g_bHostTwainClientU ? TWRC_SUCCESS : TWRC_FAILURE;
    }
    if (pCall->MSG != MSG_GET) {
        g_bScanStarted = FALSE;
        return FailWith(TWCC_BADPROTOCOL);
    }
    auto* xfer = static_cast<TW_IMAGEMEMXFER*>(pCall->pData);
    CScanWindow* window = g_pScanWindow;
    if (window == nullptr)
        return FailWith(TWCC_SEQERROR);
    if (xfer == nullptr)
        return FailWith(TWCC_BADVALUE);
    const int colour = window->GetScanParam().colorMode;
    const TW_UINT32 unit = colour == 2 ? 3 : 1; // the least a buffer must hold: one pixel, or eight of them
    if (xfer->Memory.TheMem == nullptr || xfer->Memory.Length < unit)
        return FailWith(TWCC_BADVALUE);

    int width = 0;
    int height = 0;
    GetTransferredPageSize(window, width, height);
    const bool rowsLeft = assistor->HasPage() && (window->GetPageCount() < height || m_nRowOffset > 0);
    if (state == 700 ? !rowsLeft : !(g_bPageScanPending || rowsLeft))
        return FailWith(TWCC_SEQERROR); // the page is whole with the application, or there is none

    window->SetCloseOnActivate(FALSE);
    if (g_bPageScanPending) {
        const int result = ScanPendingPage(window, u"in MemXfer", false);
        DebugPrint(u"CMsgImageMemXfer::Handle: g_iScanThreadRet = %d", result);
        m_nRowOffset = 0;
        if (result != 0) {
            assistor->SetState(500);
            CloseJobDevice(true, true);
            window->SetBusy(FALSE);
            if (result < 0 && result != -10000) // -10000: the scan has told the user itself
                ShowEngineScanError(window, kScanErrorTransfer, result);
            assistor->NotifyCloseDsReq();
            g_bScanStarted = FALSE;
            assistor->FreePage();
            return TWRC_CANCEL;
        }
        GetTransferredPageSize(window, width, height); // auto-crop may have made it smaller
    }

    const int bpp = PageBitsPerPixel(colour);
    const auto rowBytes = static_cast<TW_UINT32>(PageRowBytes(width, bpp));
    const TW_UINT32 bytesPerRow = (rowBytes + 3) & ~TW_UINT32{3};
    const bool locked = (xfer->Memory.Flags & TWMF_HANDLE) != 0;
    auto* memory = static_cast<BYTE*>(locked ? GlobalLock(xfer->Memory.TheMem) : xfer->Memory.TheMem);
    struct Unlock {
        bool locked;
        TW_MEMREF handle;
        ~Unlock() {
            if (locked)
                GlobalUnlock(handle);
        }
    } unlock{locked, xfer->Memory.TheMem};
    if (memory == nullptr)
        return FailWith(TWCC_BADVALUE);
    const TW_UINT32 length = xfer->Memory.Length;

    xfer->Compression = TWCP_NONE;
    xfer->Memory.Flags = kMemoryFlags;
    xfer->Columns = static_cast<TW_UINT32>(width);
    xfer->BytesPerRow = bytesPerRow;
    xfer->XOffset = 0;
    // A row that does not fit the buffer, or one already begun, goes on in pieces.
    const bool pieces = length < bytesPerRow || m_nRowOffset > 0;
    // The window is free again once the last row has been read, while that row may still be going out in pieces:
    // a page size changed meanwhile must not make the rest of the row reach past the row held here.
    if (m_nRowOffset > 0 && rowBytes > m_nRowBufferSize)
        return FailWith(TWCC_SEQERROR);
    TW_UINT32 rows = pieces ? 0 : length / bytesPerRow;
    BYTE* destination = memory;
    if (pieces && m_nRowOffset == 0) {
        if (m_nRowBufferSize != bytesPerRow) {
            m_pRowBuffer.reset(new (std::nothrow) BYTE[bytesPerRow]());
            m_nRowBufferSize = m_pRowBuffer ? bytesPerRow : 0;
        }
        if (!m_pRowBuffer) {
            assistor->SetState(600);
            window->SetBusy(FALSE);
            window->EnableMainWindow(TRUE);
            g_bScanStarted = FALSE;
            return FailWith(TWCC_LOWMEMORY);
        }
        rows = 1;
        destination = m_pRowBuffer.get();
    }

    CImage& page = assistor->GetPageImage();
    int rowsDone = window->GetPageCount();
    xfer->YOffset = static_cast<TW_UINT32>(rowsDone);
    const TW_UINT32 copied = rowsDone < height ? std::min(rows, static_cast<TW_UINT32>(height - rowsDone)) : 0;
    if (copied > 0) {
        // The rows lie one after the other in the page: one read for the buffer, then each row moves to its place
        // (the last one first, so none is overwritten before it moved) and gets its zero filler.
        const unsigned bytes = copied * rowBytes;
        unsigned read = 0;
        if (page.ReadMappedData(destination, bytes, &read) != 0 || read != bytes) {
            window->SetPageCount(rowsDone + static_cast<int>(read / rowBytes));
            return FailWith(TWCC_OPERATIONERROR);
        }
        if (bytesPerRow != rowBytes) {
            for (TW_UINT32 r = copied; r-- > 0;) {
                BYTE* row = destination + static_cast<size_t>(r) * bytesPerRow;
                std::memmove(row, destination + static_cast<size_t>(r) * rowBytes, rowBytes);
                std::memset(row + rowBytes, 0, bytesPerRow - rowBytes);
            }
        }
        rowsDone += static_cast<int>(copied);
        if (rowsDone == height) {
            DebugPrint(u"twain transfer end .");
            if (window->GetScanSource() == 0) {
                window->SetBusy(FALSE);
                window->EnableMainWindow(TRUE);
            }
        }
    }
    window->SetPageCount(rowsDone);
    const bool pageDone = rowsDone >= height;
    TW_UINT16 rc = TWRC_SUCCESS;

    if (!pieces) {
        xfer->Rows = copied;
        xfer->BytesWritten = copied * bytesPerRow;
        if (pageDone) {
            rc = TWRC_XFERDONE;
            g_bPageScanPending = TRUE; // the next page of a feeder job must be scanned
            if (g_bHostMsPhotoScan)
                g_bScanStarted = FALSE;
        }
    } else {
        // Pieces of whole pixels: three bytes in colour, one in grey, eight pixels a byte in black and white. The
        // row's filler bytes make no piece of their own.
        TW_UINT32 piece = rowBytes - m_nRowOffset;
        if (piece > length)
            piece = colour == 2 ? length - length % 3 : length;
        const TW_UINT32 columns = colour == 2 ? piece / 3 : colour == 1 ? piece : 8 * piece;
        const TW_UINT32 offset = colour == 2 ? m_nRowOffset / 3 : colour == 1 ? m_nRowOffset : 8 * m_nRowOffset;
        const auto pixels = static_cast<TW_UINT32>(width);
        xfer->Rows = 1;
        xfer->XOffset = offset;
        xfer->Columns = offset < pixels ? std::min(columns, pixels - offset) : 0;
        std::memcpy(memory, m_pRowBuffer.get() + m_nRowOffset, piece);
        m_nRowOffset += piece;
        xfer->BytesWritten = piece;
        xfer->BytesPerRow = piece;
        xfer->YOffset = static_cast<TW_UINT32>(rowsDone - 1);
        if (m_nRowOffset >= rowBytes) {
            m_nRowOffset = 0;
            if (pageDone)
                rc = TWRC_XFERDONE;
        }
    }
    assistor->SetState(700);
    return rc;
}
