// The scanned page of the assistor: read from the device into the mapped page image window by window, then
// straightened, cropped and turned as the settings ask.
#include "twain/CDsAssistor.h"

#include "twain/CScanWindow.h"
#include "twain/PageScan.h"
#include "twain/ScanState.h"

#include "imaging/ImageProcessing.h"
#include "scanner/CLLDKorvel.h"
#include "settings/DebugOutput.h"
#include "settings/Language.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr UINT IDS_NO_MEMORY = 1105;
constexpr std::uint64_t kWindowBytes = 0x40000; // rows are read into windows of the page of this size
constexpr int kRotation = 16;                   // the rotation code in ScanParam::adv
constexpr WCHAR kTransferFailed[] = u"数据传输失败，请重启扫描任务。";

// The whole page mapped for as long as it lives (null data when it cannot be).
class WholePage {
public:
    WholePage(CImage& image, std::uint64_t size) : m_image(image) {
        if (size != 0 && size <= UINT_MAX)
            m_view = image.GetDataHandle(0, static_cast<unsigned>(size), &m_data);
    }
    ~WholePage() {
        if (m_view != nullptr)
            m_image.ReleaseDataHandle(m_view);
    }
    WholePage(const WholePage&) = delete;
    WholePage& operator=(const WholePage&) = delete;
    BYTE* data() const { return m_view != nullptr ? m_data : nullptr; }

private:
    CImage& m_image;
    void* m_view = nullptr;
    BYTE* m_data = nullptr;
};

// The road of a page buffer that cannot be had: the job ends, the application is asked to close the source, and
// the user is told.
int PageBufferFailure(CDsAssistor* assistor, CScanWindow* dlg, const WCHAR* message) {
    assistor->FreePage();
    CloseJobDevice(true, true);
    assistor->NotifyCloseDsReq();
    ShowEngineError(dlg, message);
    return -10000;
}

} // namespace

void CDsAssistor::FreePage() {
    m_PageImage.FreeBits();
    m_SecondImage.FreeBits();
}

int CDsAssistor::ScanToImageBuf_mapfile(CScanWindow* dlg, int width, int height, int colour, int dpi) {
    FreePage();
    if (dlg == nullptr)
        return -1;
    const int bpp = PageBitsPerPixel(colour);
    const std::uint64_t rowBytes = PageRowBytes(width, bpp);
    BOOL created = FALSE;
    if (width > 0 && height > 0 && bpp != 0) {
        try {
            created = m_PageImage.CreateMapped(colour == 2 ? 3 : 1, colour == 0 ? 1 : 8, width, height, dpi, dpi);
        } catch (const char* what) {
            DebugPrintA("%s", what);
            created = FALSE;
        }
    }
    if (!created)
        return PageBufferFailure(this, dlg, LoadResString(IDS_NO_MEMORY));

    const std::uint64_t rowsPerWindow = std::max<std::uint64_t>(1, kWindowBytes / rowBytes);
    CScanProgress* progress = dlg->GetScanProgress();
    g_nProgressBase = 0;
    g_bFirstRowRead = 0;
    int lastPercent = 0;
    for (std::uint64_t first = 0; first < static_cast<std::uint64_t>(height);) {
        const std::uint64_t rows = std::min<std::uint64_t>(rowsPerWindow, static_cast<std::uint64_t>(height) - first);
        BYTE* row = nullptr;
        void* view = m_PageImage.GetDataHandle(static_cast<unsigned>(first * rowBytes),
                                               static_cast<unsigned>(rows * rowBytes), &row);
        if (view == nullptr)
            return PageBufferFailure(this, dlg, kTransferFailed);
        for (std::uint64_t i = first; i < first + rows; ++i, row += rowBytes) {
            HANDLE poller = nullptr;
            if (!g_bFirstRowRead)
                poller = CreateThread(nullptr, 0, ScanProgressThread, dlg, 0, nullptr);
            int count = 0;
            const int read = g_LLD.DevMon_ReadScanData(row, static_cast<int>(rowBytes), &count);
            if (poller == nullptr) {
                g_bFirstRowRead = 1;
            } else {
                FirstRowRead();
                WaitForSingleObject(poller, INFINITE);
                CloseHandle(poller);
                if (g_nProgressBase != 0)
                    lastPercent = g_nProgressBase; // the poller showed it last
            }
            if (read != 0) {
                m_PageImage.ReleaseDataHandle(view);
                return read;
            }
            const int base = g_nProgressBase;
            const int percent = static_cast<int>((static_cast<std::int64_t>(i) + 1) * (100 - base) / height + base);
            if (percent != lastPercent) {
                if (progress != nullptr)
                    progress->PostProgress(percent);
                lastPercent = percent;
                if (percent > 90)
                    Sleep(1);
                if (percent > 98)
                    Sleep(3);
            }
        }
        m_PageImage.ReleaseDataHandle(view);
        first += rows;
    }

    if (g_bAutoDeskew)
        AutoRotate(dlg, colour, dpi);
    if (g_bAutoCrop)
        AutoCrop(dlg, colour, dpi);

    const int rotation = dlg->GetScanParam().adv[kRotation];
    if (rotation >= 1 && rotation <= 3) {
        int pageWidth = 0;
        int pageHeight = 0;
        dlg->GetPageSize(pageWidth, pageHeight);
        const int angle = rotation == 1 ? 270 : rotation == 2 ? 90 : 180;
        if (!RotateMappedPage(m_PageImage.GetMappedDataSlot(), bpp, pageWidth, pageHeight, angle)) {
            DebugPrint(u"RotateMappedPage(%d) failed: the page stays as scanned", angle);
            return -1;
        }
        if (rotation != 3) {
            m_PageImage.SetWidth(pageHeight);
            m_PageImage.SetHeight(pageWidth);
        }
    }
    m_PageImage.ResetRead();
    m_SecondImage.ResetRead();
    g_nProgressBase = 0;
    g_bFirstRowRead = 0;
    return 0;
}

void CDsAssistor::AutoRotate(CScanWindow* dlg, int colour, int dpi) {
    int width = 0;
    int height = 0;
    dlg->GetPageSize(width, height);
    // Recorded also when nothing is done: the next page of the job starts from this size.
    g_nPageHeightBeforeFix = height;
    g_nPageWidthBeforeFix = width;
    if (dpi == 1200) {
        DebugPrint(u"分辨率为1200时，不纠偏");
        return;
    }
    DebugPrint(u"AutoRotate<---------");
    const int bpp = PageBitsPerPixel(colour);
    const std::uint64_t size = PageRowBytes(width, bpp) * static_cast<std::uint64_t>(std::max(height, 0));
    const std::uint64_t pixels = static_cast<std::uint64_t>(std::max(width, 0)) * std::max(height, 0);
    WholePage page(m_PageImage, size);
    if (page.data() == nullptr || bpp == 0) {
        DebugPrint(u"NULL == hTmp");
        return;
    }
    std::unique_ptr<BYTE[]> copy(new (std::nothrow) BYTE[size]);
    std::unique_ptr<BYTE[]> grey(new (std::nothrow) BYTE[pixels]); // written whole below
    if (!copy || !grey) {
        DebugPrint(u"AutoRotate: no memory for the page's copies");
        return;
    }
    std::memcpy(copy.get(), page.data(), size);
    if (colour == 0)
        BwToGray(copy.get(), grey.get(), width, height);
    else if (colour == 1)
        std::memcpy(grey.get(), copy.get(), pixels);
    else
        RgbToGray(copy.get(), grey.get(), width, height);

    const float angle = auto_deskew(grey.get(), width, height, colour, dpi);
    DebugPrintA("纠偏角度 f = %0.6f", static_cast<double>(angle));
    if (angle != 0) {
        ImgProcParam param{colour, dpi, width, height, 0, 0, angle};
        std::unique_ptr<BYTE[]> straight = normal_rotate(colour == 0 ? grey.get() : copy.get(), &param);
        DebugPrint(u"newImageWidth = %d, newImageHeight = %d", param.outWidth, param.outHeight);
        if (straight)
            std::memcpy(page.data(), straight.get(), size);
    } else {
        DebugPrint(u"不在纠偏范围内，不需要纠偏");
    }
    DebugPrint(u"AutoRotate--------->");
}

int CDsAssistor::AutoCrop(CScanWindow* dlg, int colour, int dpi) {
    DebugPrint(u"AutoCrop<---------");
    int width = 0;
    int height = 0;
    dlg->GetPageSize(width, height);
    g_nPageHeightBeforeFix = height;
    g_nPageWidthBeforeFix = width;
    const int bpp = PageBitsPerPixel(colour);
    const std::uint64_t size = PageRowBytes(width, bpp) * static_cast<std::uint64_t>(std::max(height, 0));
    WholePage page(m_PageImage, size);
    if (page.data() == nullptr || bpp == 0) {
        DebugPrint(u"NULL == hTmp");
        return 0;
    }
    std::unique_ptr<BYTE[]> output(new (std::nothrow) BYTE[size]);
    if (!output) {
        DebugPrint(u"pOutput == NULL");
        return 0;
    }
    ImgProcParam param{colour, dpi, width, height, 0, 0, 0.0f};
    const int result = auto_crop(page.data(), output.get(), &param);
    if (result != 0) {
        const std::uint64_t cropped =
            PageRowBytes(param.outWidth, bpp) * static_cast<std::uint64_t>(std::max(param.outHeight, 0));
        std::memcpy(page.data(), output.get(), std::min(cropped, size));
        dlg->SetPageSize(param.outWidth, param.outHeight);
    }
    DebugPrint(u"AutoCrop--------->");
    return result;
}
