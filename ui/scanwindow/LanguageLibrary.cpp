#include "ui/scanwindow/LanguageLibrary.h"

#include "settings/CompanionNames.h"
#include "settings/DebugOutput.h"
#include "settings/Language.h"

#include "platform/base/afxcore.h"

#include <mutex>

namespace {

std::mutex g_lock;
int g_users = 0;
HMODULE g_library = nullptr;
HINSTANCE g_previousResourceHandle = nullptr;

// The module's folder with the library name, "XXXX" still in place of the code.
CString LibraryPathTemplate() {
    WCHAR module[MAX_PATH] = {};
    ::GetModuleFileNameW(AfxGetInstanceHandle(), module, MAX_PATH);
    CString path(module);
    path = path.Left(path.ReverseFind(u'\\') + 1);
    path += g_szResLibraryName;
    return path;
}

// The module's folder (up to and including its last backslash) + the library name with the language code in place
// of "XXXX"; g_bHebrew follows the language: set for "he" and "ar", cleared for the others (the user may have
// changed the language since an earlier window).
CString GetResourceLibraryPath() {
    CString path = LibraryPathTemplate();
    WCHAR code[MAX_PATH] = {};
    GetLanguageCode(code);
    path.Replace(u"XXXX", code);
    if (wcscmp(code, u"he") == 0 || wcscmp(code, u"ar") == 0) {
        g_bHebrew = TRUE;
        DebugPrint(u"g_bHebrew = TRUE;");
    } else {
        g_bHebrew = FALSE;
    }
    return path;
}

} // namespace

BOOL IsStringOfAnyLanguage(UINT id, const CString& text) {
    if (text.IsEmpty())
        return FALSE;
    const CString pathTemplate = LibraryPathTemplate();
    for (const WCHAR* code : LanguageLibraryCodes()) {
        CString path = pathTemplate;
        path.Replace(u"XXXX", code);
        HMODULE library = ::LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (library == nullptr)
            continue;
        CString translated;
        const BOOL loaded = translated.LoadString(library, id);
        ::FreeLibrary(library);
        if (loaded && translated == text)
            return TRUE;
    }
    return FALSE;
}

HMODULE AcquireLanguageLibrary() {
    std::lock_guard lock(g_lock);
    if (g_users++ > 0)
        return g_library;
    const CString path = GetResourceLibraryPath();
    g_library = ::LoadLibraryW(path);
    DebugPrint(u"%s", static_cast<LPCWSTR>(path));
    g_previousResourceHandle = AfxGetResourceHandle();
    if (g_library != nullptr)
        AfxSetResourceHandle(g_library);
    return g_library;
}

void ReleaseLanguageLibrary() {
    std::lock_guard lock(g_lock);
    if (g_users == 0 || --g_users > 0)
        return;
    AfxSetResourceHandle(g_previousResourceHandle);
    if (g_library != nullptr)
        ::FreeLibrary(g_library);
    g_library = nullptr;
    g_previousResourceHandle = nullptr;
}

int LanguageLibraryUsers() {
    std::lock_guard lock(g_lock);
    return g_users;
}
