#include "devicescan/CScanManagerApp.h"

#include "devicescan/CDlg_error.h"
#include "devicescan/CMsgDlg.h"
#include "devicescan/CScanManagerDlg.h"
#include "devicescan/JpegPdfDocument.h"
#include "devicescan/OfdWriter.h"
#include "devicescan/PushLaunch.h"
#include "devicescan/SaveFolder.h"
#include "devicescan/Startup.h"
#include "devicescan/VazeDoziSettings.h"
#include "devicescan/VelmoraLanguage.h"
#include "platform/base/commandline.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/user/afxwin.h"
#include "platform/user/commctrl.h"
#include "platform/user/shell.h"
#include "settings/DebugOutput.h"
#include "settings/FileNames.h"
#include "settings/Language.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr UINT kStringJoinFailed = 8019; // also the text of a page that could not be saved
constexpr UINT kStringFolderTooLong = 8022;
constexpr UINT kStringCannotWrite = 8021;
// Pages kept outside the save folder; the folder where they are follows on a line of its own.
constexpr UINT kStringKeptFolderGone = 8027;
constexpr UINT kStringKeptNotSaved = 8028;
// "img-YYMMDDhhmmss-NNN.ext", the longest name written in the save folder (its write probe is shorter).
constexpr size_t kLongestOutputName = 24;
constexpr int kMaxNameNumber = 998; // "-001" to "-998"
constexpr LONGLONG kRestartGraceSeconds = 60;
constexpr DWORD kApartmentNoOle1Dde = COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE;

// The argument array of CommandLineToArgvW, freed on every road.
struct ArgumentsDeleter {
    void operator()(LPWSTR* arguments) const { LocalFree(arguments); }
};
using Arguments = std::unique_ptr<LPWSTR[], ArgumentsDeleter>;

// The pixel size of a JPEG file from its frame header; the values are left alone when it cannot be read.
void ReadJpegFileSize(const WCHAR* path, int& width, int& height) {
    HANDLE file =
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    JpegFrame frame;
    if (ReadJpegFrame(file, frame)) {
        width = frame.width;
        height = frame.height;
    }
    CloseHandle(file);
}

} // namespace

int UpdateVazeDoziSettings(CScanManagerApp* app) {
    VazeDoziSettings settings{};
    ReadVazeDoziSettings(settings); // the defaults when the file cannot be read
    app->m_bOpenFile = settings.openFile;
    app->m_bOpenFolder = settings.openFolder;
    lstrcpynW(app->m_szSaveFolder, settings.saveFolder, MAX_PATH);
    return 1;
}

bool GetSaveTypeExtension(int saveType, WCHAR out[MAX_PATH]) {
    static const WCHAR* const kExtensions[] = {u"wmf", u"emf", u"bmp", u"tif", u"jpg", u"gif",
                                               u"png", u"pdf", u"doc", u"txt", u"ofd"};
    if (saveType < 0 || saveType >= static_cast<int>(std::size(kExtensions)))
        return false;
    lstrcpynW(out, kExtensions[saveType], MAX_PATH);
    return true;
}

CScanManagerApp::CScanManagerApp() = default;

CScanManagerApp::~CScanManagerApp() = default;

bool CScanManagerApp::IsRegistrationRoad() {
    int count = 0;
    Arguments arguments(CommandLineToArgvW(GetCommandLineW(), &count));
    if (!arguments || count < 2)
        return false;
    WCHAR road[MAX_PATH] = {};
    lstrcpynW(road, arguments[1], MAX_PATH);
    _wcsupr(road);
    return wcscmp(road, u"-INS") == 0 || wcscmp(road, u"-UNI") == 0;
}

void CScanManagerApp::UninitializeCom() {
    if (m_nComInits > 0) {
        CoUninitialize();
        --m_nComInits;
    }
}

BOOL CScanManagerApp::InitInstance() {
    DebugPrint(u"%s", GetCommandLineW());

    WCHAR resourcePath[MAX_PATH] = {};
    GetResourceDllPath(resourcePath);
    m_hResource = resourcePath[0] ? LoadLibraryW(resourcePath) : nullptr;
    if (!m_hResource) {
        DebugPrint(u"m_hResourceHandle =0 ;GetLastError:%d", static_cast<int>(GetLastError()));
        // An installer registering the companion library is not held up by a box; everybody else learns why
        // nothing happens.
        if (!IsRegistrationRoad())
            ReportNoLanguageLibrary(resourcePath);
        return FALSE;
    }
    AfxSetResourceHandle(m_hResource);

    if (SUCCEEDED(CoInitialize(nullptr)))
        ++m_nComInits;
    if (SUCCEEDED(CoInitializeEx(nullptr, kApartmentNoOle1Dde)))
        ++m_nComInits;
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), 0xFF};
    InitCommonControlsEx(&controls);
    RegisterRestart();
    CWinApp::InitInstance();
    Gdiplus::GdiplusStartupInput gdiplus;
    if (Gdiplus::GdiplusStartup(&m_gdiplusToken, &gdiplus, nullptr) != Gdiplus::Ok)
        m_gdiplusToken = 0;
    AfxEnableControlContainer();

    int count = 0;
    Arguments arguments(CommandLineToArgvW(GetCommandLineW(), &count));
    if (!arguments) {
        DebugPrint(u"CommandLineToArgvW error");
        return FALSE;
    }
    if (count >= 2) {
        WCHAR road[MAX_PATH] = {};
        lstrcpynW(road, arguments[1], MAX_PATH);
        _wcsupr(road);
        if (wcscmp(road, u"-INS") == 0) {
            RegisterQuillet();
            UninitializeCom();
            DebugPrint(u"Scan Manager:ins out\n");
            return FALSE;
        }
        if (wcscmp(road, u"-UNI") == 0) {
            UnregisterQuillet();
            UninitializeCom();
            DebugPrint(u"Scan Manager:uni out\n");
            return FALSE;
        }
        if (_wcsnicmp(road, u"/STIDEVICE", 10) == 0) {
            arguments.reset();
            m_hScanRun = ClaimTemporaryFolder();
            LaunchFromSti(*this);
            UninitializeCom();
            return FALSE;
        }
        if (wcscmp(road, u"-PUSH_PARAM") == 0 && count == 4) {
            m_hScanRun = ClaimTemporaryFolder();
            LaunchFromPushParam(arguments[2], arguments[3], *this);
            arguments.reset();
            UninitializeCom();
            return FALSE;
        }
    }
    arguments.reset();

    DebugPrint(u"Scan Manager:show window\n");
    m_hMutex = CreateMutexW(nullptr, TRUE, kMutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS)
        return FALSE; // one settings window per user at a time
    auto dialog = std::make_unique<CScanManagerDlg>();
    m_pMainWnd = dialog.get();
    dialog->DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}

int CScanManagerApp::ExitInstance() {
    if (m_gdiplusToken) {
        Gdiplus::GdiplusShutdown(m_gdiplusToken);
        m_gdiplusToken = 0;
    }
    while (m_nComInits > 0)
        UninitializeCom();
    if (m_hMutex) {
        CloseHandle(m_hMutex);
        m_hMutex = nullptr;
    }
    if (m_hScanRun) {
        CloseHandle(m_hScanRun);
        m_hScanRun = nullptr;
    }
    if (m_hResource) {
        if (AfxGetResourceHandle() == m_hResource)
            AfxSetResourceHandle(m_hInstance);
        FreeLibrary(m_hResource);
        m_hResource = nullptr;
    }
    return CWinApp::ExitInstance();
}

BOOL CScanManagerApp::PreTranslateMessage(MSG* pMsg) {
    if (!g_bRestartRegistered || !pMsg)
        return CWinApp::PreTranslateMessage(pMsg);
    switch (pMsg->message) {
    case WM_QUERYENDSESSION: {
        // The restart service restarts only a program that ran at least this long after registering. A clock set
        // back meanwhile never makes the wait longer than that.
        const LONGLONG elapsed = std::max<LONGLONG>(CurrentTimeSeconds() - g_tRestartTime, 0);
        if (elapsed < kRestartGraceSeconds)
            Sleep(static_cast<DWORD>((kRestartGraceSeconds - elapsed) * 1000));
        return TRUE;
    }
    case WM_ENDSESSION:
        return FALSE;
    default:
        return CWinApp::PreTranslateMessage(pMsg);
    }
}

int CScanManagerApp::GetFilePathForVazeDozi(WCHAR out[MAX_PATH]) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return FormOutputName(now, m_nSaveType, out);
}

int CScanManagerApp::FormOutputName(const SYSTEMTIME& time, int saveType, WCHAR out[MAX_PATH]) {
    return FormOutputNameIn(m_szSaveFolder, time, saveType, out);
}

int CScanManagerApp::FormOutputNameIn(WCHAR folder[MAX_PATH], const SYSTEMTIME& time, int saveType,
                                      WCHAR out[MAX_PATH]) {
    if (!AddFolderBackslash(folder))
        return TRANSFER_STATUS_CANNOT_WRITE;
    if (!ProbeFolderWrite(folder, time)) {
        DebugPrint(u"GetFilePathForVazeDozi: no file can be written in the folder, error %d",
                   static_cast<int>(GetLastError()));
        return TRANSFER_STATUS_CANNOT_WRITE;
    }
    WCHAR base[MAX_PATH] = {};
    _snwprintf_s(base, _TRUNCATE, u"img-%02d%02d%02d%02d%02d%02d", time.wYear % 100, time.wMonth, time.wDay, time.wHour,
                 time.wMinute, time.wSecond);
    WCHAR extension[MAX_PATH] = {};
    if (!GetSaveTypeExtension(saveType, extension))
        return TRANSFER_STATUS_CANNOT_WRITE;
    for (int n = 1; n <= kMaxNameNumber; ++n) {
        WCHAR name[MAX_PATH];
        if (_snwprintf_s(name, _TRUNCATE, u"%s%s-%03d.%s", folder, base, n, extension) < 0)
            return TRANSFER_STATUS_CANNOT_WRITE; // a cut name would be another file's
        if (GetFileAttributesW(name) == INVALID_FILE_ATTRIBUTES) {
            lstrcpynW(out, name, MAX_PATH);
            return 1;
        }
    }
    return TRANSFER_STATUS_CANNOT_WRITE;
}

bool CScanManagerApp::JoinsPages() const {
    return m_bMultiPage && (m_nSaveType == SaveTypePdf || m_nSaveType == SaveTypeOfd);
}

UINT CScanManagerApp::CheckSaveFolder() {
    WCHAR folder[MAX_PATH] = {};
    lstrcpynW(folder, m_szSaveFolder, MAX_PATH);
    if (!AddFolderBackslash(folder) || wcsnlen(folder, MAX_PATH) + kLongestOutputName > MAX_PATH - 1) {
        DebugPrint(u"the names of the pages would not fit the save folder %s", folder);
        return kStringFolderTooLong;
    }
    SYSTEMTIME now{};
    GetLocalTime(&now);
    if (!ProbeFolderWrite(folder, now)) {
        DebugPrint(u"no file can be written in the save folder %s, error %d", folder, static_cast<int>(GetLastError()));
        return kStringCannotWrite;
    }
    return 0;
}

std::vector<CString> CScanManagerApp::KeepFolders() {
    std::vector<CString> folders;
    WCHAR save[MAX_PATH] = {};
    lstrcpynW(save, m_szSaveFolder, MAX_PATH);
    AddFolderBackslash(save);
    WCHAR candidate[MAX_PATH] = {};
    if (GetDefaultSaveFolder(candidate) && AddFolderBackslash(candidate) && _wcsicmp(candidate, save) != 0)
        folders.emplace_back(candidate);
    candidate[0] = 0;
    const DWORD length = GetTempPathW(MAX_PATH, candidate);
    if (length > 0 && length < MAX_PATH && AddFolderBackslash(candidate) && _wcsicmp(candidate, save) != 0)
        folders.emplace_back(candidate);
    return folders;
}

bool CScanManagerApp::KeepPageElsewhere(const SYSTEMTIME& time) {
    for (const CString& keep : KeepFolders()) {
        WCHAR folder[MAX_PATH] = {};
        lstrcpynW(folder, keep.GetString(), MAX_PATH);
        WCHAR name[MAX_PATH] = {};
        if (!FolderExists(folder) || FormOutputNameIn(folder, time, m_nSaveType, name) != 1)
            continue;
        if (SavePage(name) == 0) {
            DebugPrint(u"the page is kept in %s", name);
            NoteKeptFolder(folder);
            return true;
        }
        DeleteFileW(name);
    }
    return false;
}

void CScanManagerApp::NoteKeptFolder(const WCHAR* folder) {
    if (m_strKeptFolder.IsEmpty())
        m_strKeptFolder = folder;
}

void CScanManagerApp::NoteSaveError(int status) {
    // A folder that went is the cause of whatever failed after it.
    if (m_nSaveError == 0 || status == TRANSFER_STATUS_FOLDER_MISSING)
        m_nSaveError = status;
}

int CScanManagerApp::SavePage(const WCHAR* name) {
    return m_nSaveType == SaveTypeOfd ? SavePageAsOfd(name) : SaveImage(m_pStream, name, m_nSaveType);
}

void CScanManagerApp::ShowJobError() {
    CString text;
    if (!m_strKeptFolder.IsEmpty()) {
        text =
            LoadResString(m_nSaveError == TRANSFER_STATUS_FOLDER_MISSING ? kStringKeptFolderGone : kStringKeptNotSaved);
        text += u"\n";
        // In a right-to-left message the path still reads left to right, its last backslash included.
        const bool rightToLeft = IsVelmoraRightToLeft();
        if (rightToLeft)
            text += u"\u200E";
        text += m_strKeptFolder;
        if (rightToLeft)
            text += u"\u200E";
    } else {
        text = LoadResString(GetErrorStringId(m_nSaveError != 0 ? m_nSaveError : TRANSFER_STATUS_DISK_FULL));
    }
    DebugPrint(u"%s", text.GetString());
    CDlg_error dialog;
    dialog.m_strMessage = text;
    dialog.DoModal();
}

int CScanManagerApp::TransferCallback(int reserved, TransferMessage* message) {
    if (!message)
        return CTransferCallbackEx::TransferCallback(reserved, message);
    switch (message->type) {
    case TRANSFER_MSG_PROGRESS:
        if (message->status == TRANSFER_STATUS_FOLDER_MISSING || message->status == TRANSFER_STATUS_DISK_FULL ||
            message->status == TRANSFER_STATUS_CANNOT_WRITE) {
            // Only a job under way fails so, and its end of transfer always follows: the user hears of it once
            // there, with the pages the job could not put into the save folder.
            DebugPrint(u"ErrorCode:%d", message->status);
            NoteSaveError(message->status);
            ReleaseProgressWindow(u"Release Dialog 1");
            return message->status;
        }
        return CTransferCallbackEx::TransferCallback(reserved, message);
    case TRANSFER_MSG_END_OF_STREAM:
        return OnEndOfStream(message);
    case TRANSFER_MSG_END_OF_TRANSFER:
        return OnEndOfTransfer(message);
    case TRANSFER_MSG_THREAD_END:
        DebugPrint(u"Exit utilty");
        return CTransferCallbackEx::TransferCallback(reserved, message);
    default:
        return CTransferCallbackEx::TransferCallback(reserved, message);
    }
}

int CScanManagerApp::OnEndOfStream(TransferMessage* message) {
    if (IsCancelled()) {
        DebugPrint(u"is cancel");
        return 0; // the page is dropped
    }
    SYSTEMTIME now{};
    GetLocalTime(&now);
    WCHAR name[MAX_PATH] = {};
    if (JoinsPages()) {
        // The page waits as a JPEG in the temporary folder until the job's pages are joined; the save folder is
        // needed only then, and the scan thread looks at it before each page.
        if (!MakeTempPageFile(name)) {
            message->status = TRANSFER_STATUS_FAILED;
            return CTransferCallbackEx::TransferCallback(0, message);
        }
        DebugPrint(u"%s", name);
        if (SaveImage(m_pStream, name, SaveTypeJpeg) == 0) {
            AddSavedFile(name);
            m_pageTimes.push_back(now);
            return 0;
        }
        DeleteFileW(name); // nothing half-written stays behind
        ++m_nFailedSaves;
        NoteSaveError(TRANSFER_STATUS_DISK_FULL);
        DebugPrint(u"the page could not be saved");
        return 0;
    }

    int status = 0;
    if (!FolderExists(m_szSaveFolder)) {
        DebugPrint(u"GetFilePathForVazeDozi fail");
        status = TRANSFER_STATUS_FOLDER_MISSING;
    } else if (const int named = FormOutputName(now, m_nSaveType, name); named != 1) {
        DebugPrint(u"GetFilePathForVazeDozi fail");
        status = named;
    } else {
        DebugPrint(u"%s", name);
        if (SavePage(name) == 0) {
            AddSavedFile(name);
            return 0;
        }
        DeleteFileW(name);
        DebugPrint(u"the page could not be saved");
        status = TRANSFER_STATUS_DISK_FULL;
    }
    // The scanned page is not thrown away: it goes where it can, and the user is told where at the end.
    if (!KeepPageElsewhere(now))
        ++m_nFailedSaves;
    NoteSaveError(status);
    if (status == TRANSFER_STATUS_DISK_FULL)
        return 0; // the job goes on: the next page may fit
    message->status = status;
    return CTransferCallbackEx::TransferCallback(0, message);
}

void CScanManagerApp::AddSavedFile(const WCHAR* name) {
    m_lstScanFile.Add(name);
    DebugPrintA("%s:%d", "now m_lstScanFile count:", static_cast<int>(m_lstScanFile.GetSize()));
}

bool CScanManagerApp::MakeTempPageFile(WCHAR name[MAX_PATH]) {
    WCHAR tempFolder[MAX_PATH] = {};
    if (GetTempPathW(MAX_PATH, tempFolder) == 0 || GetTempFileNameW(tempFolder, u"Jpg", 0, name) == 0) {
        DebugPrint(u"temporary page file: error %d", static_cast<int>(GetLastError()));
        return false;
    }
    return true;
}

int CScanManagerApp::SavePageAsOfd(const WCHAR* name) {
    WCHAR jpeg[MAX_PATH] = {};
    if (!MakeTempPageFile(jpeg))
        return -1;
    if (SaveImage(m_pStream, jpeg, SaveTypeJpeg) != 0) {
        DeleteFileW(jpeg);
        return -1;
    }
    const std::vector<CString> pages = {CString(jpeg)};
    int width = m_nPageWidth, height = m_nPageHeight;
    ReadJpegFileSize(jpeg, width, height);
    OfdWriter writer;
    if (writer.SaveAsOfd(pages, {width}, {height}, m_nResolution, name) != 1) {
        DeleteFileW(jpeg); // the writer removes it only after a written document
        return -1;
    }
    return 0;
}

int CScanManagerApp::OnEndOfTransfer(TransferMessage* message) {
    const bool nothingToTell =
        m_lstScanFile.GetSize() == 0 && m_nFailedSaves == 0 && m_nSaveError == 0 && m_strKeptFolder.IsEmpty();
    if (IsCancelled() && nothingToTell) {
        DebugPrint(u"is cancel");
        return CTransferCallbackEx::TransferCallback(0, message);
    }
    DebugPrint(u"TRANSFER_MSG_END_OF_TRANSFER");
    bool joinFailed = false;
    if (JoinsPages() && m_lstScanFile.GetSize() > 0) {
        const int joined = m_nSaveType == SaveTypePdf ? CreatePdfFromJpg() : CreateOfdFromJpg();
        if (joined != 0) {
            joinFailed = true;
            KeepPagesAsJpeg();
            NoteSaveError(FolderExists(m_szSaveFolder) ? TRANSFER_STATUS_DISK_FULL : TRANSFER_STATUS_FOLDER_MISSING);
        }
    }
    if (!joinFailed) {
        if (m_lstScanFile.GetSize() > 0)
            OpenResult();
        DebugPrint(u"Exit utilty");
    }
    // The progress window goes before the job's one message is shown.
    const int answer = CTransferCallbackEx::TransferCallback(0, message);
    if (joinFailed || m_nFailedSaves > 0 || m_nSaveError != 0 || !m_strKeptFolder.IsEmpty())
        ShowJobError();
    m_nFailedSaves = 0;
    m_nSaveError = 0;
    m_strKeptFolder.Empty();
    return joinFailed ? 0 : answer;
}

void CScanManagerApp::OpenResult() {
    DebugPrint(u"Open Image\r\n");
    if (m_bOpenFile && m_lstScanFile.GetSize() == 1) {
        // The note window owns whatever program opens the file.
        CMsgDlg note;
        if (note.Create(CMsgDlg::IDD, nullptr)) {
            note.MoveWindow(0, 0, 0, 0);
            note.BringWindowToTop();
            SHELLEXECUTEINFOW info{};
            info.cbSize = sizeof info;
            info.fMask = SEE_MASK_NOCLOSEPROCESS;
            info.hwnd = note.GetSafeHwnd();
            info.lpFile = m_lstScanFile[0].GetString();
            info.nShow = SW_SHOW;
            ShellExecuteExW(&info);
            note.DestroyWindow();
        }
        DebugPrint(u"Output Image end");
    }
    if (m_bOpenFolder) {
        CString folder = m_lstScanFile[0];
        const int slash = folder.ReverseFind(u'\\');
        if (slash >= 0)
            folder = folder.Left(slash + 1);
        ShellExecuteW(nullptr, u"open", folder.GetString(), nullptr, nullptr, SW_SHOW);
    }
}

int CScanManagerApp::CreatePdfFromJpg() {
    DebugPrint(u"-------CreatePdfFromJpg------------start");
    JpegPdfDocument* document = PDF_CreateDocument(m_nPageWidth, m_nPageHeight);
    if (!document) {
        DebugPrint(u"-------NULL==pPDF");
        return -1;
    }
    WCHAR output[MAX_PATH] = {};
    if (GetFilePathForVazeDozi(output) != 1) {
        PDF_FreeDocument(document);
        return -1;
    }
    int result = 0;
    for (INT_PTR i = 0; i < m_lstScanFile.GetSize() && result == 0; ++i) {
        const WCHAR* page = m_lstScanFile[i].GetString();
        HANDLE file =
            CreateFileW(page, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            DebugPrint(u"-------cf------------error");
            result = -1;
            break;
        }
        const DWORD length = GetFileSize(file, nullptr);
        CloseHandle(file);
        if (PDF_AddJpeg(page, document, m_nPageWidth, m_nPageHeight, m_nResolution, length) != 0) {
            DebugPrint(u"---------PDF_AddJpeg----error");
            result = -1;
        }
    }
    if (result != 0) {
        PDF_FreeDocument(document);
        return result;
    }
    LONGLONG total = 0;
    if (PDF_EndDocument(document, &total) != 0) {
        DebugPrint(u"---------PDF_EndDocument----error");
        PDF_FreeDocument(document);
        return -1;
    }
    if (PDF_ToFile(document, output) != 0) { // frees the document; a failed file is removed
        DebugPrint(u"---------PDF_ToFile----error");
        return -1;
    }
    for (INT_PTR i = 0; i < m_lstScanFile.GetSize(); ++i)
        if (!DeleteFileW(m_lstScanFile[i].GetString()))
            DebugPrint(u"---------Delete temporary file error----");
    m_lstScanFile.RemoveAll();
    m_lstScanFile.Add(output);
    m_pageTimes.clear();
    return 0;
}

int CScanManagerApp::CreateOfdFromJpg() {
    DebugPrint(u"-------CreateOfdFromJpg------------start");
    std::vector<CString> pages;
    for (INT_PTR i = 0; i < m_lstScanFile.GetSize(); ++i)
        pages.push_back(m_lstScanFile[i]);
    // Each page at its own size: a flatbed clamps a larger paper, and a page box of the requested size would
    // stretch the image.
    std::vector<int> widths(pages.size(), m_nPageWidth);
    std::vector<int> heights(pages.size(), m_nPageHeight);
    for (size_t i = 0; i < pages.size(); ++i)
        ReadJpegFileSize(pages[i].GetString(), widths[i], heights[i]);
    WCHAR output[MAX_PATH] = {};
    if (GetFilePathForVazeDozi(output) != 1)
        return -1;
    OfdWriter writer;
    // The writer removes the page JPEGs once the document is written, and leaves nothing at `output` when not.
    if (writer.SaveAsOfd(pages, widths, heights, m_nResolution, output) != 1) {
        DebugPrint(u"-------CreateOfdFromJpg------------error");
        return -1;
    }
    m_lstScanFile.RemoveAll();
    m_lstScanFile.Add(output);
    m_pageTimes.clear();
    DebugPrint(u"-------CreateOfdFromJpg------------end");
    return 0;
}

void CScanManagerApp::KeepPagesAsJpeg() {
    CStringArray kept;
    const std::vector<CString> elsewhere = KeepFolders();
    for (INT_PTR i = 0; i < m_lstScanFile.GetSize(); ++i) {
        const CString& page = m_lstScanFile[i];
        SYSTEMTIME scanned{};
        if (static_cast<size_t>(i) < m_pageTimes.size())
            scanned = m_pageTimes[static_cast<size_t>(i)];
        else
            GetLocalTime(&scanned);
        // The save folder first; else My Pictures, else the temporary folder itself, where the page only changes
        // its name (a "Jpg" file there is taken for one a killed run left).
        WCHAR name[MAX_PATH] = {};
        bool moved = FormOutputName(scanned, SaveTypeJpeg, name) == 1 &&
                     MoveFileExW(page.GetString(), name, MOVEFILE_COPY_ALLOWED);
        for (size_t f = 0; !moved && f < elsewhere.size(); ++f) {
            WCHAR folder[MAX_PATH] = {};
            lstrcpynW(folder, elsewhere[f].GetString(), MAX_PATH);
            moved = FolderExists(folder) && FormOutputNameIn(folder, scanned, SaveTypeJpeg, name) == 1 &&
                    MoveFileExW(page.GetString(), name, MOVEFILE_COPY_ALLOWED);
            if (moved)
                NoteKeptFolder(folder);
        }
        if (moved) {
            kept.Add(name);
        } else {
            DebugPrint(u"the page stays in %s", page.GetString()); // never deleted: it is the only copy
            kept.Add(page);
        }
    }
    m_lstScanFile.RemoveAll();
    for (INT_PTR i = 0; i < kept.GetSize(); ++i)
        m_lstScanFile.Add(kept[i]);
    m_pageTimes.clear();
}
