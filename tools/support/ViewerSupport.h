// What the window viewers (controlviewer, velmoraview) share: the language library of a code, and a window saved as
// a PNG file with its texts measured against their controls.
#pragma once

#include "platform/base/path.h"
#include "platform/base/windows.h"
#include "platform/user/testing.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace viewer {

// The language library <prefix><code>.dll ("kvxtwrc", "enus") from $MODULE_DIR, else from `stagedFolder`; null, said
// on stderr, when there is none (the texts then read "Load String Error!").
inline HMODULE LoadLanguageLibrary(const char* tool, const char* prefix, const std::string& code,
                                   const char* stagedFolder) {
    std::string folder = stagedFolder;
    if (const char* m = std::getenv("MODULE_DIR"))
        folder = m;
    const std::u16string path = platform::path::ToDosPath(folder) + u"\\" +
                                std::u16string(prefix, prefix + std::char_traits<char>::length(prefix)) +
                                std::u16string(code.begin(), code.end()) + u".dll";
    HMODULE library = LoadLibraryW(path.c_str());
    if (!library)
        std::fprintf(stderr, "%s: no language library %s in %s; texts read \"Load String Error!\"\n", tool,
                     code.c_str(), folder.c_str());
    return library;
}

// Writes the window, once its pending messages have run, as the PNG file `path` and prints the path. With `check`,
// names on stderr every text of the window that does not fit its control, each after "<tool>: <label>: ". False
// when the file cannot be written or a text does not fit.
inline bool SaveWindow(const char* tool, HWND hwnd, const std::string& path, bool check, const std::string& label) {
    namespace ut = platform::user::testing;
    ut::RunPendingMessages();
    if (!ut::SaveWindowPng(hwnd, path.c_str())) {
        std::fprintf(stderr, "%s: cannot write %s\n", tool, path.c_str());
        return false;
    }
    std::printf("%s\n", path.c_str());
    if (!check)
        return true;
    const ut::TextFitReport fit = ut::CheckTextFit(hwnd);
    for (const ut::TextOverflow& overflow : fit.overflows)
        std::fprintf(stderr, "%s: %s: %s\n", tool, label.c_str(), ut::DescribeOverflow(overflow).c_str());
    return fit.overflows.empty();
}

} // namespace viewer
