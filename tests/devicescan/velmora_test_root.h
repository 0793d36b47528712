// A fresh C:\ for each push-scan test, with the simulated device's control file, the debug lines collected, and the
// staged driver library.
#pragma once

#include "platform/base/path.h"
#include "platform/base/testing.h"
#include "tests/companions/scandrv/WriteControlFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

namespace velmoratest {

inline std::string ModuleDir() {
    const char* dir = std::getenv("MODULE_DIR");
    return dir ? dir : "";
}

// The DOS name a program passes to LoadLibraryW for a shared object.
inline std::u16string LibraryName(const std::string& soPath) {
    std::u16string dos = platform::path::ToDosPath(soPath);
    if (dos.size() > 3 && dos.compare(dos.size() - 3, 3, u".so") == 0)
        dos.replace(dos.size() - 3, 3, u".dll");
    return dos;
}

inline std::u16string SimulatedDriverName() {
    return LibraryName(ModuleDir() + "/kvxlld.so");
}

class TestRoot : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/velmora-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        setenv("PLATFORM_ROOT", m_root.c_str(), 1);
        platform::testing::SetRoot(m_root);
        std::filesystem::create_directories(m_root + "/Windows");
        std::filesystem::create_directories(m_root + "/Scans");
        platform::debug::SetSink([this](std::u16string_view line) {
            std::lock_guard lock(m_debugLock);
            m_debug.emplace_back(line);
        });
    }
    void TearDown() override {
        platform::debug::SetSink({});
        platform::testing::SetDiskFreeSpace(std::nullopt);
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }

    // The simulated device's control file.
    void WriteControl(const std::string& text) { scandrv_test::WriteControlFile(m_root, text); }

    std::string Host(const std::string& below) const { return m_root + "/" + below; }

    bool Logged(std::u16string_view text) {
        std::lock_guard lock(m_debugLock);
        for (const std::u16string& line : m_debug)
            if (line.find(text) != std::u16string::npos)
                return true;
        return false;
    }
    int CountLogged(std::u16string_view text) {
        std::lock_guard lock(m_debugLock);
        int n = 0;
        for (const std::u16string& line : m_debug)
            n += line.find(text) != std::u16string::npos;
        return n;
    }
    std::string DebugText() {
        std::lock_guard lock(m_debugLock);
        std::string out;
        for (const std::u16string& line : m_debug) {
            for (char16_t c : line)
                out += c < 0x80 ? static_cast<char>(c) : '?';
            if (out.empty() || out.back() != '\n')
                out += '\n';
        }
        return out;
    }

    std::string m_root;
    std::mutex m_debugLock;
    std::vector<std::u16string> m_debug;
};

} // namespace velmoratest
