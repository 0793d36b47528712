// The one engine object every handler and the scanning window work through (g_pDsAssistor): the data source's and
// the connected application's identities, the TWAIN state (100 times the state number, 300 to 700), the last
// condition code, and the bridges to the window and the scanner.
#pragma once

#include "twain/CDsProxy.h"
#include "twain/TwainCall.h"

#include "imaging/CImage.h"

#include "platform/base/afxcore.h"

#include <atomic>

class CFakeUI;
class CFakeScanner;
class CScanWindow;

class CDsAssistor : public CObject, public CDsProxy {
    DECLARE_DYNCREATE(CDsAssistor)
public:
    static constexpr size_t kWorkBufferSize = 8388708; // 8 MiB and 100 bytes

    CDsAssistor();
    ~CDsAssistor() override;

    TW_UINT16 GetState() const { return m_state; }
    void SetState(TW_UINT16 state) { m_state = state; }
    TW_UINT16 GetConditionCode() const { return m_conditionCode; }
    void SetConditionCode(TW_UINT16 code) { m_conditionCode = code; }

    TW_UINT32 GetAppId() const { return m_appIdentity.Id; }
    void ClearAppId() { m_appIdentity.Id = 0; }
    const TW_IDENTITY& GetDsIdentity() const { return m_dsIdentity; }
    const TW_IDENTITY& GetAppIdentity() const { return m_appIdentity; }

    // MSG_OPENDS: takes the application and the identity the manager assigned to us.
    TW_UINT16 ConnectApp(TwainCall* pCall);
    // MSG_GET of DAT_IDENTITY, in every state.
    TW_UINT16 GetDsIdInfo(TwainCall* pCall);
    // MSG_CLOSEDS: drops the connection and the capability table, lets go of the enable mutex.
    TW_UINT16 CloseDS();
    // MSG_ENABLEDS: takes the enable mutex; TWCC_MAXCONNECTIONS when another process holds it (that process enabled
    // the source after this one opened it), so that of two processes enabling at once only one scans.
    TW_UINT16 EnableDS(TW_USERINTERFACE* pUI);
    TW_UINT16 DisableDS(TW_USERINTERFACE* pUI);
    // State 600 and MSG_XFERREADY to the application (the state changes also when nothing can be sent).
    void NotifyXferReady();
    // MSG_CLOSEDSREQ to the application; in app mode only once the user closed the window.
    void NotifyCloseDsReq();

    // ---- The scanned page (twain/CDsAssistorPage.cpp) ----
    // Reads the page from the device into the page image and applies deskew, auto-crop and the rotation setting:
    // 0, -10000 when the page buffer failed (reported, device closed, close requested), -1 when the rotation
    // failed (the page stays unturned), else the mapped driver result of the read that failed.
    int ScanToImageBuf_mapfile(CScanWindow* dlg, int width, int height, int colour, int dpi);
    // The page fixes; each leaves the page as it was when it cannot work. AutoCrop answers auto_crop's result.
    int AutoCrop(CScanWindow* dlg, int colour, int dpi);
    void AutoRotate(CScanWindow* dlg, int colour, int dpi);
    // A page waits in the page image (scanned, not yet handed over by a native or file transfer).
    bool HasPage() { return m_PageImage.GetMappedData() != nullptr; }
    // Drops the page and its temporary file.
    void FreePage();
    CImage& GetPageImage() { return m_PageImage; }

    // ---- The page as a bitmap or a file (twain/CDsAssistorBitmap.cpp) ----
    enum BuildResult { kBuilt = 0, kFileNotWritten = 1, kNotBuilt = 2 };
    // The page as a packed DIB (BITMAPINFOHEADER, colour table, rows bottom-up padded to 4 bytes). With an empty
    // path: answers its handle, and the page image is freed (the application owns the block). With a path: the BMP
    // file is written and null answered; the page is freed once the file is whole, a file that cannot be written is
    // deleted. When the bitmap cannot be built: an error box, null, and the page stays. *result tells which.
    HGLOBAL BuildDib(int width, int height, int colour, const WCHAR* path, int* result = nullptr);
    // The page as an uncompressed TIFF file, streamed from the page image: kBuilt (the page is freed),
    // kFileNotWritten (the partial file is deleted, the page stays) or kNotBuilt (no page of that size).
    int WritePageTiff(int width, int height, int colour, const WCHAR* path);

    int SetUI(CFakeUI* pUI);
    int SetScanner(CFakeScanner* pScanner);
    CFakeUI* GetUI() const { return m_pUI; }

    // CDsProxy
    int RequestClose(BOOL atEndOfTransfer) override;
    int RequestXferReady() override;
    int ScannerOpen() override;
    int ScannerClose() override;
    int ScannerStart() override;
    int ScannerStop() override;

    HWND m_hParent = nullptr;
    HANDLE m_hDsMutex = nullptr;
    // DAT_SETUPFILEXFER: where and how a file transfer writes the page (BMP until the application sets TIFF).
    CString m_strXferFileName;
    TW_UINT16 m_wXferFileFormat = TWFF_BMP;

private:
    void FillIdentity();
    void SendToManager(TW_UINT16 msg);

    // The scan thread and the window read and set these too.
    std::atomic<TW_UINT16> m_state{300};
    std::atomic<TW_UINT16> m_conditionCode{TWCC_SUCCESS};
    TW_IDENTITY m_dsIdentity{};
    TW_IDENTITY m_appIdentity{};
    CFakeUI* m_pUI = nullptr;
    CFakeScanner* m_pScanner = nullptr;
    BYTE* m_pWorkBuffer = nullptr;
    // The scanned page lives in m_PageImage (rows in a mapped temporary file). The second image is freed and reset
    // with it; the third has no work of its own.
    CImage m_PageImage;
    CImage m_SecondImage;
    CImage m_ThirdImage;
};

// Narrows a wide INI text into a TW_STR32: at most 33 bytes, cut at a character boundary, always terminated.
void NarrowToStr32(const WCHAR* text, TW_STR32& out);
