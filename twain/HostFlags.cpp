#include "twain/HostFlags.h"

#include <initializer_list>

std::atomic<BOOL> g_bHostOffice{FALSE};
std::atomic<BOOL> g_bHostWordExcelStore{FALSE};
std::atomic<BOOL> g_bHostPhotoshopNotCS4{FALSE};
std::atomic<BOOL> g_bHostPhotoshopCS2{FALSE};
std::atomic<BOOL> g_bHostAcdsee10{FALSE};
std::atomic<BOOL> g_bHostTwainClient{FALSE};
std::atomic<BOOL> g_bHostTwainClientU{FALSE};
std::atomic<BOOL> g_bHostAcrobat{FALSE};
std::atomic<BOOL> g_bHostIedit{FALSE};
std::atomic<BOOL> g_bHostIeditExe{FALSE};

namespace {

bool IsOneOf(const WCHAR* name, std::initializer_list<const WCHAR*> names) {
    for (const WCHAR* candidate : names)
        if (wcscmp(name, candidate) == 0)
            return true;
    return false;
}

// The folder that holds the host program: the last path element before "\PHOTOSHOP.EXE".
void HostFolderName(const WCHAR* upperPath, WCHAR folder[MAX_PATH]) {
    folder[0] = 0;
    const WCHAR* nameStart = wcsrchr(upperPath, u'\\');
    if (nameStart == nullptr)
        return;
    const WCHAR* folderStart = upperPath;
    for (const WCHAR* p = upperPath; p < nameStart; ++p)
        if (*p == u'\\')
            folderStart = p + 1;
    lstrcpynW(folder, folderStart, static_cast<int>(nameStart - folderStart) + 1);
}

} // namespace

void GetHostProgram(WCHAR upperPath[MAX_PATH], WCHAR upperName[MAX_PATH]) {
    upperPath[0] = 0;
    upperName[0] = 0;
    DWORD length = GetModuleFileNameW(nullptr, upperPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        upperPath[0] = 0;
        return;
    }
    _wcsupr_s(upperPath, MAX_PATH);
    const WCHAR* slash = wcsrchr(upperPath, u'\\');
    wcscpy_s(upperName, MAX_PATH, slash != nullptr ? slash + 1 : upperPath);
}

void SetHostFlags(const WCHAR* upperPath, const WCHAR* upperName) {
    if (IsOneOf(upperName, {u"POWERPNT.EXE", u"EXCEL.EXE", u"WINWORD.EXE", u"FRONTPG.EXE", u"VISIO.EXE", u"OUTLOOK.EXE",
                            u"MSPUB.EXE", u"MSTORE.EXE", u"ONENOTE.EXE"}))
        g_bHostOffice = TRUE;

    g_bHostWordExcelStore =
        IsOneOf(upperName, {u"MSTORE.EXE", u"EXCEL.EXE", u"ACDSEE10.EXE", u"WINWORD.EXE", u"UTWAINEXE.EXE"});

    const bool photoshop = wcscmp(upperName, u"PHOTOSHOP.EXE") == 0;
    WCHAR folder[MAX_PATH] = {};
    if (photoshop)
        HostFolderName(upperPath, folder);
    g_bHostPhotoshop = photoshop;
    g_bHostPhotoshopNotCS4 = photoshop && wcsstr(folder, u"CS4") == nullptr;
    g_bHostPhotoshopCS2 = photoshop && wcsstr(folder, u"CS2") != nullptr;

    // The name is upper-cased already, so this comparison is without regard to case.
    g_bHostMsPhotoScan = IsOneOf(upperName, {u"MSPVIEW.EXE", u"MSPSCAN.EXE"});
    g_bHostAcdsee10 = IsOneOf(upperName, {u"ACDSEE10.EXE", u"PHOTOSTUDIO.EXE"});
    g_bHostTwainClient = wcscmp(upperName, u"TWAINCLIENTU.EXE") == 0;
    if (g_bHostTwainClient)
        g_bHostTwainClientU = TRUE;
    if (wcscmp(upperName, u"ACROBAT.EXE") == 0)
        g_bHostAcrobat = TRUE;
    g_bHostIedit = IsOneOf(upperName, {u"IEDIT.EXE", u"IEDIT_.DAT"});
    g_bHostIeditExe = wcscmp(upperName, u"IEDIT_.EXE") == 0;
}

BOOL IsOfficeScanHost(const WCHAR* upperName) {
    return IsOneOf(upperName, {u"POWERPNT.EXE", u"EXCEL.EXE", u"WINWORD.EXE", u"FRONTPG.EXE", u"VISIO.EXE",
                               u"OUTLOOK.EXE", u"MSPUB.EXE", u"MSTORE.EXE"});
}
