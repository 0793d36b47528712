// What the fuzz targets share: a C:\ root of the process's own, files written into it, and a check that stops the
// run like a sanitizer report when a promise of the code under test is broken.
#pragma once

#include "platform/base/path.h"
#include "platform/base/testing.h"
#include "settings/IniPath.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fuzz {

// A fresh C:\ root with the folders the readers expect, removed when the process ends normally; also the
// PLATFORM_ROOT of modules that read the environment. In memory where the system has a RAM folder: the writers
// flush every file they save, and each input is saved many times. Under $FUZZ_ROOTS when set, a folder whose
// owner removes it whole, so the root of a run that crashed or was stopped does not stay behind.
inline const std::string& Root() {
    static const std::string root = [] {
        std::error_code error;
        const char* roots = std::getenv("FUZZ_ROOTS");
        const std::filesystem::path base =
            roots != nullptr && std::filesystem::is_directory(roots, error) ? std::filesystem::path(roots)
            : std::filesystem::is_directory("/dev/shm", error)              ? std::filesystem::path("/dev/shm")
                                                                            : std::filesystem::temp_directory_path();
        std::string pattern = (base / "fuzz-root-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        for (const char* folder : {"Windows", "AppData", "Temp", "Registry"})
            std::filesystem::create_directories(pattern + "/" + folder);
        setenv("PLATFORM_ROOT", pattern.c_str(), 1);
        platform::testing::SetRoot(pattern);
        static const std::string removed = pattern;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(removed, ignored);
        });
        return pattern;
    }();
    return root;
}

// Writes the bytes to a POSIX path, making its folder when needed.
inline void WriteHostFile(const std::string& hostPath, const void* data, size_t size) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(hostPath).parent_path(), ignored);
    std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// Writes the bytes to a DOS path under the root ("C:\Windows\Scanner.ini").
inline void WriteDosFile(const WCHAR* dosPath, const void* data, size_t size) {
    WriteHostFile(platform::path::ToHostPath(dosPath), data, size);
}

// The model's INI file of the data source (with kIniDropCharsDeviceScan: of the device-scan program): the settings
// folders every target shares, then the lines of `more`.
inline void WriteModelIni(const std::string& more = "", int dropChars = kIniDropCharsDataSource) {
    WCHAR ini[MAX_PATH];
    GetIniPath(ini, dropChars);
    const std::string text = "[TWAIN]\nSetting Folder=\\Korvel\nSetting Path=\\Korvel\\\n" + more;
    WriteDosFile(ini, text.data(), text.size());
}

// A broken promise is a finding like a crash: the message goes to standard error and the run stops with an input.
[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

inline void Check(bool condition, const char* what) {
    if (!condition)
        Fail(what);
}

} // namespace fuzz
