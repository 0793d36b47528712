// Shell stand-ins: the folder browser and the open-file dialog are small dialogs of ours (or a script's answer),
// ShellExecuteW hands "open" to xdg-open, HtmlHelpW records the request and hands an existing help file to xdg-open.
#include "platform/user/internal.h"
#include "platform/user/testing.h"

#include "platform/base/afxcore.h"
#include "platform/base/path.h"
#include "platform/base/winnls.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform::user {

namespace {

struct ShellState {
    std::mutex mutex;
    bool folderScripted = false;
    std::optional<std::u16string> folder;
    bool fileScripted = false;
    std::optional<std::u16string> file;
    std::vector<std::u16string> calls;
    int allowLaunch = -1; // -1: when a display is there
};

ShellState& Shell() {
    static ShellState state;
    return state;
}

void Record(std::u16string call) {
    std::lock_guard<std::mutex> lock(Shell().mutex);
    Shell().calls.push_back(std::move(call));
}

constexpr int kPathEdit = 100;
constexpr int kBrowseTitle = 101;
constexpr int kFolderList = 102;

// The folder browser: the folders of one place (the drives at the top, then a folder's subfolders below its "..")
// and the chosen folder's path, which may also be typed. A click chooses a folder, a double click (or Enter in the
// list) opens it; OK answers the path when it names an existing folder.
constexpr const char* kBrowseTemplate = R"(DIALOGEX 0, 0, 260, 214
STYLE DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "Browse For Folder"
BEGIN
    LTEXT "", 101, 7, 7, 246, 16
    CONTROL "", 102, "ListBox", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_BORDER | WS_VSCROLL | WS_TABSTOP, 7, 26, 246, 134
    LTEXT "Folder:", 103, 7, 170, 44, 8
    EDITTEXT 100, 54, 168, 199, 14, ES_AUTOHSCROLL
    DEFPUSHBUTTON "OK", IDOK, 149, 193, 50, 14
    PUSHBUTTON "Cancel", IDCANCEL, 203, 193, 50, 14
END
)";

constexpr const char* kOpenTemplate = R"(DIALOGEX 0, 0, 240, 56
STYLE DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "Open"
BEGIN
    EDITTEXT 100, 7, 9, 226, 14, ES_AUTOHSCROLL
    DEFPUSHBUTTON "OK", IDOK, 129, 35, 50, 14
    PUSHBUTTON "Cancel", IDCANCEL, 183, 35, 50, 14
END
)";

constexpr char16_t kParentEntry[] = u"..";
constexpr int kFolderLabel = 103;

// A text of the browser in the user-interface language: the program's resource module, else English.
std::u16string BrowseText(UINT id) {
    static const struct {
        UINT id;
        const char16_t* english;
    } kEnglish[] = {{IDS_BROWSE_CAPTION, u"Browse For Folder"},
                    {IDS_BROWSE_LOOK_IN, u"Look in:"},
                    {IDS_BROWSE_DRIVES, u"Drives"},
                    {IDS_BROWSE_FOLDER, u"Folder:"},
                    {IDS_BROWSE_OK, u"OK"},
                    {IDS_BROWSE_CANCEL, u"Cancel"}};
    const WCHAR* text = nullptr;
    if (HINSTANCE module = AfxGetResourceHandle())
        if (const int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0); length > 0 && text)
            return std::u16string(text, static_cast<size_t>(length));
    for (const auto& row : kEnglish)
        if (row.id == id)
            return row.english;
    return std::u16string();
}

// Whether the process's user-interface language is written right to left (Hebrew, Arabic).
bool RightToLeftUiLanguage() {
    WCHAR list[16] = {};
    ULONG count = 0, size = 16;
    if (!GetProcessPreferredUILanguages(MUI_LANGUAGE_ID, &count, list, &size) || count == 0)
        return false;
    const auto language = static_cast<LANGID>(wcstoul(list, nullptr, 16)) & 0x3FF;
    return language == 0x0D || language == 0x01;
}

// The browser of a right-to-left language is the mirror of its layout: every control at its mirror place, labels
// from the right and read right to left, the path box and the folder list from the right (a path and a folder's
// name still read left to right, the list's scroll bar at its left), the caption from the right.
void MirrorBrowser(HWND dlg) {
    RECT client{};
    GetClientRect(dlg, &client);
    for (HWND child = GetWindow(dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
        SetWindowPos(child, nullptr, client.right - r.right, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        LONG exStyle = GetWindowLongW(child, GWL_EXSTYLE) | WS_EX_RTLREADING;
        const int id = GetDlgCtrlID(child);
        if (id == kBrowseTitle || id == kFolderLabel)
            SetWindowLongW(child, GWL_STYLE, (style & ~SS_TYPEMASK) | SS_RIGHT);
        else if (id == kPathEdit || id == kFolderList)
            exStyle |= WS_EX_LAYOUTRTL;
        SetWindowLongW(child, GWL_EXSTYLE, exStyle);
    }
    SetWindowLongW(dlg, GWL_EXSTYLE, GetWindowLongW(dlg, GWL_EXSTYLE) | WS_EX_RTLREADING);
    InvalidateRect(dlg, nullptr, TRUE);
}

void DressBrowser(HWND dlg) {
    SetWindowTextW(dlg, BrowseText(IDS_BROWSE_CAPTION).c_str());
    SetDlgItemTextW(dlg, kFolderLabel, BrowseText(IDS_BROWSE_FOLDER).c_str());
    SetDlgItemTextW(dlg, IDOK, BrowseText(IDS_BROWSE_OK).c_str());
    SetDlgItemTextW(dlg, IDCANCEL, BrowseText(IDS_BROWSE_CANCEL).c_str());
    if (RightToLeftUiLanguage())
        MirrorBrowser(dlg);
}

struct BrowseContext {
    BROWSEINFOW* bi = nullptr;
    std::u16string place; // the folder whose subfolders are listed; empty: the drives
    std::u16string result;
};

bool IsFolder(const std::u16string& path) {
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::u16string WithoutTrailingSlash(std::u16string path) {
    while (path.size() > 3 && path.back() == u'\\')
        path.pop_back();
    return path;
}

// "C:\a\b" -> "C:\a", "C:\a" -> "C:\", "C:\" -> "" (the drives).
std::u16string ParentOf(const std::u16string& folder) {
    const std::u16string path = WithoutTrailingSlash(folder);
    if (path.size() <= 3)
        return std::u16string();
    const size_t slash = path.find_last_of(u'\\');
    if (slash == std::u16string::npos)
        return std::u16string();
    return path.substr(0, std::max<size_t>(slash, 2) + (slash <= 2 ? 1 : 0));
}

std::u16string JoinPath(const std::u16string& folder, const std::u16string& name) {
    if (folder.empty())
        return name; // a drive
    return folder.back() == u'\\' ? folder + name : folder + u"\\" + name;
}

// The entry's full path: a drive, a subfolder of the listed place, or the place's parent.
std::u16string EntryPath(const BrowseContext& ctx, const std::u16string& entry) {
    return entry == kParentEntry ? ParentOf(ctx.place) : JoinPath(ctx.place, entry);
}

std::vector<std::u16string> SubfoldersOf(const std::u16string& folder) {
    std::vector<std::u16string> names;
    WIN32_FIND_DATAW found;
    const std::u16string pattern = JoinPath(folder, u"*");
    HANDLE find = FindFirstFileW(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::u16string name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !name.empty() && name[0] != u'.')
            names.push_back(name);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    std::sort(names.begin(), names.end(),
              [](const std::u16string& a, const std::u16string& b) { return CompareNoCase(a, b) < 0; });
    return names;
}

// Tells the caller's callback which folder is chosen now, as an item list it does not keep.
void NotifySelection(HWND dlg, const BrowseContext& ctx, const std::u16string& path) {
    if (!ctx.bi->lpfn)
        return;
    PIDLIST_ABSOLUTE pidl = path.empty() ? nullptr : ILCreateFromPathW(path.c_str());
    ctx.bi->lpfn(dlg, BFFM_SELCHANGED, reinterpret_cast<LPARAM>(pidl), ctx.bi->lParam);
    ILFree(pidl);
}

// Lists `place` (empty: the drives) and chooses `chosen` among its entries when it is one of them.
void ShowPlace(HWND dlg, BrowseContext& ctx, const std::u16string& place, const std::u16string& chosen) {
    ctx.place = place;
    HWND list = GetDlgItem(dlg, kFolderList);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    std::vector<std::u16string> entries;
    if (place.empty()) {
        entries = {u"C:\\", u"Z:\\"};
    } else {
        entries.push_back(kParentEntry);
        for (auto& name : SubfoldersOf(place))
            entries.push_back(std::move(name));
    }
    int selected = -1;
    for (const auto& entry : entries) {
        const int index =
            static_cast<int>(SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str())));
        if (entry != kParentEntry && !chosen.empty() &&
            platform::path::NamesEqual(WithoutTrailingSlash(EntryPath(ctx, entry)), WithoutTrailingSlash(chosen)))
            selected = index;
    }
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    // Without a title of the caller's, the line above the list tells where it looks. Read right to left, a path
    // ends with a left-to-right mark, so that "C:\" keeps its backslash at its end.
    const std::u16string where = place.empty()             ? BrowseText(IDS_BROWSE_DRIVES)
                                 : RightToLeftUiLanguage() ? place + u"\u200E"
                                                           : place;
    if (!ctx.bi->lpszTitle || !*ctx.bi->lpszTitle)
        SetDlgItemTextW(dlg, kBrowseTitle, (BrowseText(IDS_BROWSE_LOOK_IN) + u" " + where).c_str());
}

std::u16string ListEntry(HWND dlg, int index) {
    HWND list = GetDlgItem(dlg, kFolderList);
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR)
        return std::u16string();
    std::u16string text(static_cast<size_t>(length) + 1, u'\0');
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

// The folder shown in the path box becomes the chosen one.
void Choose(HWND dlg, const BrowseContext& ctx, const std::u16string& path) {
    SetDlgItemTextW(dlg, kPathEdit, path.c_str());
    NotifySelection(dlg, ctx, path);
}

void OpenSelectedEntry(HWND dlg, BrowseContext& ctx) {
    const int index = static_cast<int>(SendDlgItemMessageW(dlg, kFolderList, LB_GETCURSEL, 0, 0));
    if (index < 0)
        return;
    const std::u16string entry = ListEntry(dlg, index);
    const std::u16string path = EntryPath(ctx, entry);
    if (!path.empty() && !IsFolder(path))
        return;
    // Going up keeps the folder just left chosen, so that it can be taken at once.
    const std::u16string left = entry == kParentEntry ? ctx.place : std::u16string();
    ShowPlace(dlg, ctx, path, left);
    Choose(dlg, ctx, left.empty() ? path : left);
}

// Selecting a folder, as BFFM_SETSELECTIONW and the start do: its parent is listed with the folder chosen.
void SelectFolder(HWND dlg, BrowseContext& ctx, const std::u16string& folder) {
    const std::u16string path = WithoutTrailingSlash(folder);
    if (IsFolder(path)) {
        ShowPlace(dlg, ctx, ParentOf(path), path);
    }
    SetDlgItemTextW(dlg, kPathEdit, path.c_str());
}

INT_PTR CALLBACK BrowseProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* ctx = reinterpret_cast<BrowseContext*>(GetWindowLongPtrW(dlg, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        ctx = reinterpret_cast<BrowseContext*>(lParam);
        SetWindowLongPtrW(dlg, DWLP_USER, lParam);
        DressBrowser(dlg);
        if (ctx->bi->lpszTitle)
            SetDlgItemTextW(dlg, kBrowseTitle, ctx->bi->lpszTitle);
        ShowPlace(dlg, *ctx, std::u16string(), std::u16string());
        if (ctx->bi->lpfn)
            ctx->bi->lpfn(dlg, BFFM_INITIALIZED, 0, ctx->bi->lParam);
        return TRUE;
    case BFFM_SETSELECTIONW: {
        std::u16string path;
        if (wParam)
            path = lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"";
        else if (lParam)
            path = reinterpret_cast<const ITEMIDLIST*>(lParam)->path;
        Record(u"BFFM_SETSELECTIONW " + path);
        if (ctx)
            SelectFolder(dlg, *ctx, path);
        return TRUE;
    }
    case BFFM_ENABLEOK:
        EnableWindow(GetDlgItem(dlg, IDOK), lParam != 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == kFolderList && ctx) {
            const int index = static_cast<int>(SendDlgItemMessageW(dlg, kFolderList, LB_GETCURSEL, 0, 0));
            if (HIWORD(wParam) == LBN_SELCHANGE && index >= 0)
                Choose(dlg, *ctx, EntryPath(*ctx, ListEntry(dlg, index)));
            else if (HIWORD(wParam) == LBN_DBLCLK)
                OpenSelectedEntry(dlg, *ctx);
        } else if (LOWORD(wParam) == IDOK && ctx) {
            // Enter in the list opens the folder chosen there (a click on OK takes the focus to the button).
            if (GetFocus() == GetDlgItem(dlg, kFolderList) &&
                SendDlgItemMessageW(dlg, kFolderList, LB_GETCURSEL, 0, 0) >= 0) {
                OpenSelectedEntry(dlg, *ctx);
                return TRUE;
            }
            const std::u16string typed = WithoutTrailingSlash(WindowText(GetDlgItem(dlg, kPathEdit)));
            if (!IsFolder(typed)) {
                MessageBeep(MB_ICONWARNING);
                SetFocus(GetDlgItem(dlg, kPathEdit));
                return TRUE;
            }
            ctx->result = typed;
            EndDialog(dlg, IDOK);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dlg, IDCANCEL);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK OpenProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* result = reinterpret_cast<std::u16string*>(GetWindowLongPtrW(dlg, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dlg, DWLP_USER, lParam);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK && result) {
            *result = WindowText(GetDlgItem(dlg, kPathEdit));
            EndDialog(dlg, IDOK);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dlg, IDCANCEL);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL AnswerFile(LPOPENFILENAMEW ofn, const std::u16string& file) {
    if (!ofn->lpstrFile || ofn->nMaxFile == 0 || file.size() + 1 > ofn->nMaxFile)
        return FALSE;
    std::copy(file.begin(), file.end(), ofn->lpstrFile);
    ofn->lpstrFile[file.size()] = 0;
    size_t slash = file.find_last_of(u"\\/");
    ofn->nFileOffset = static_cast<WORD>(slash == std::u16string::npos ? 0 : slash + 1);
    size_t dot = file.find_last_of(u'.');
    ofn->nFileExtension = static_cast<WORD>(dot == std::u16string::npos || dot < ofn->nFileOffset ? 0 : dot + 1);
    if (ofn->lpstrFileTitle && ofn->nMaxFileTitle > 0) {
        std::u16string title = file.substr(ofn->nFileOffset);
        size_t n = std::min<size_t>(title.size(), ofn->nMaxFileTitle - 1);
        std::copy_n(title.data(), n, ofn->lpstrFileTitle);
        ofn->lpstrFileTitle[n] = 0;
    }
    return TRUE;
}

BOOL FileDialog(LPOPENFILENAMEW ofn, const char16_t* name) {
    if (!ofn)
        return FALSE;
    Record(name);
    std::optional<std::u16string> answer;
    bool scripted = false;
    {
        std::lock_guard<std::mutex> lock(Shell().mutex);
        if (Shell().fileScripted) {
            scripted = true;
            answer = Shell().file;
            Shell().fileScripted = false;
        }
    }
    if (!scripted) {
        std::u16string result;
        if (DialogBoxIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(kOpenTemplate), ofn->hwndOwner, OpenProc,
                                    reinterpret_cast<LPARAM>(&result)) == IDOK)
            answer = result;
    }
    return answer ? AnswerFile(ofn, *answer) : FALSE;
}

bool LaunchAllowed() {
    std::lock_guard<std::mutex> lock(Shell().mutex);
    if (Shell().allowLaunch >= 0)
        return Shell().allowLaunch == 1;
    return std::getenv("DISPLAY") != nullptr;
}

bool RunXdgOpen(const std::string& target) {
    const char* argv[] = {"xdg-open", target.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0)
        return false;
    // xdg-open hands over to the desktop's program and returns; reap it so no zombie stays behind.
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

} // namespace platform::user

using namespace platform::user;

PIDLIST_ABSOLUTE ILCreateFromPathW(LPCWSTR path) {
    if (!path)
        return nullptr;
    size_t n = std::char_traits<char16_t>::length(path);
    size_t bytes = sizeof(WORD) + (n + 1) * sizeof(WCHAR);
    auto* pidl = static_cast<ITEMIDLIST*>(std::calloc(1, bytes));
    if (!pidl)
        return nullptr;
    pidl->cb = static_cast<WORD>(std::min<size_t>(bytes, 0xFFFF));
    std::memcpy(pidl->path, path, (n + 1) * sizeof(WCHAR));
    return pidl;
}

void ILFree(PIDLIST_ABSOLUTE pidl) {
    std::free(pidl);
}

HRESULT SHParseDisplayName(LPCWSTR name, void*, PIDLIST_ABSOLUTE* pidl, ULONG, ULONG* sfgaoOut) {
    if (!name || !pidl)
        return E_INVALIDARG;
    *pidl = nullptr;
    if (sfgaoOut)
        *sfgaoOut = 0;
    struct stat st {};
    if (stat(platform::path::ToHostPath(name).c_str(), &st) != 0)
        return E_FAIL;
    *pidl = ILCreateFromPathW(name);
    return *pidl ? S_OK : E_OUTOFMEMORY;
}

BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE pidl, LPWSTR path) {
    if (!pidl || !path)
        return FALSE;
    size_t n = std::char_traits<char16_t>::length(pidl->path);
    if (n == 0 || n >= MAX_PATH) {
        path[0] = 0;
        return FALSE;
    }
    std::memcpy(path, pidl->path, (n + 1) * sizeof(WCHAR));
    return TRUE;
}

PIDLIST_ABSOLUTE SHBrowseForFolderW(LPBROWSEINFOW bi) {
    if (!bi)
        return nullptr;
    Record(u"SHBrowseForFolderW");
    BrowseContext ctx;
    ctx.bi = bi;
    bool scripted = false;
    std::optional<std::u16string> answer;
    {
        std::lock_guard<std::mutex> lock(Shell().mutex);
        if (Shell().folderScripted) {
            scripted = true;
            answer = Shell().folder;
            Shell().folderScripted = false;
        }
    }
    if (scripted) {
        // The callback still sees the browser come up and may set its selection, as with a person.
        HWND dlg = CreateDialogIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(kBrowseTemplate),
                                              bi->hwndOwner, BrowseProc, reinterpret_cast<LPARAM>(&ctx));
        if (dlg)
            DestroyWindow(dlg);
    } else if (DialogBoxIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(kBrowseTemplate), bi->hwndOwner,
                                       BrowseProc, reinterpret_cast<LPARAM>(&ctx)) == IDOK) {
        answer = ctx.result;
    }
    if (!answer || answer->empty())
        return nullptr;
    if (bi->pszDisplayName) {
        std::u16string display =
            answer->substr(answer->find_last_of(u'\\') == std::u16string::npos ? 0 : answer->find_last_of(u'\\') + 1);
        size_t n = std::min<size_t>(display.size(), MAX_PATH - 1);
        std::copy_n(display.data(), n, bi->pszDisplayName);
        bi->pszDisplayName[n] = 0;
    }
    return ILCreateFromPathW(answer->c_str());
}

BOOL GetOpenFileNameW(LPOPENFILENAMEW ofn) {
    return FileDialog(ofn, u"GetOpenFileNameW");
}
BOOL GetSaveFileNameW(LPOPENFILENAMEW ofn) {
    return FileDialog(ofn, u"GetSaveFileNameW");
}

namespace platform::user {
namespace {

constexpr LONG_PTR kFileNotFound = 2;
constexpr LONG_PTR kNoAssociation = 31;
constexpr LONG_PTR kDone = 42;

// Records the call, then hands "open" (and "explore") of an existing file or folder to the desktop's opener when
// launching is allowed. Answers ShellExecuteW's result code.
LONG_PTR Execute(const char16_t* api, LPCWSTR operation, LPCWSTR file, LPCWSTR parameters) {
    std::u16string op = operation ? operation : u"open";
    Record(std::u16string(api) + u" " + op + u" " + (file ? file : u"") + u" " + (parameters ? parameters : u""));
    if (!file)
        return kFileNotFound;
    std::string host = platform::path::ToHostPath(file);
    struct stat st {};
    if (stat(host.c_str(), &st) != 0)
        return kFileNotFound;
    if (op != u"open" && op != u"explore")
        return kNoAssociation;
    if (LaunchAllowed() && !RunXdgOpen(host))
        return kNoAssociation;
    return kDone;
}

} // namespace
} // namespace platform::user

HINSTANCE ShellExecuteW(HWND, LPCWSTR operation, LPCWSTR file, LPCWSTR parameters, LPCWSTR, INT) {
    return reinterpret_cast<HINSTANCE>(Execute(u"ShellExecuteW", operation, file, parameters));
}

BOOL ShellExecuteExW(LPSHELLEXECUTEINFOW info) {
    if (!info || info->cbSize != sizeof(SHELLEXECUTEINFOW)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const LONG_PTR result = Execute(u"ShellExecuteExW", info->lpVerb, info->lpFile, info->lpParameters);
    info->hInstApp = reinterpret_cast<HINSTANCE>(result);
    if (info->fMask & SEE_MASK_NOCLOSEPROCESS)
        info->hProcess = nullptr;
    if (result <= 32) {
        SetLastError(result == kFileNotFound ? ERROR_FILE_NOT_FOUND : ERROR_NO_ASSOCIATION);
        return FALSE;
    }
    return TRUE;
}

HWND HtmlHelpW(HWND caller, LPCWSTR file, UINT command, DWORD_PTR) {
    std::u16string name = file ? file : u"";
    std::u16string number;
    for (UINT c = command;; c /= 10) {
        number.insert(number.begin(), static_cast<char16_t>(u'0' + c % 10));
        if (c < 10)
            break;
    }
    Record(u"HtmlHelpW " + name + u" " + number);
    if (command == HH_CLOSE_ALL)
        return nullptr; // nothing of ours stays open
    std::string host = platform::path::ToHostPath(name);
    struct stat st {};
    if (name.empty() || stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return nullptr;
    // The desktop's opener shows the file in whatever program the user has for it.
    if (LaunchAllowed() && !RunXdgOpen(host))
        return nullptr;
    return caller ? caller : reinterpret_cast<HWND>(1);
}

namespace platform::user::testing {

void ScriptFolderBrowser(std::optional<std::u16string> folder) {
    std::lock_guard<std::mutex> lock(Shell().mutex);
    Shell().folderScripted = true;
    Shell().folder = std::move(folder);
}

void ScriptOpenFile(std::optional<std::u16string> file) {
    std::lock_guard<std::mutex> lock(Shell().mutex);
    Shell().fileScripted = true;
    Shell().file = std::move(file);
}

std::vector<std::u16string> ShellCalls() {
    std::lock_guard<std::mutex> lock(Shell().mutex);
    return Shell().calls;
}

void ClearShellCalls() {
    std::lock_guard<std::mutex> lock(Shell().mutex);
    Shell().calls.clear();
}

void AllowShellLaunch(bool allow) {
    std::lock_guard<std::mutex> lock(Shell().mutex);
    Shell().allowLaunch = allow ? 1 : 0;
}

} // namespace platform::user::testing
