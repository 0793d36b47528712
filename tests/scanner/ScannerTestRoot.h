// Every test runs under its own C:\ root (also the simulated device's, for its control file) with an INI file that
// names the driver library's prefix, and captures the debug channel.
#pragma once

#include "platform/base/path.h"
#include "platform/base/testing.h"
#include "platform/base/windows.h"
#include "settings/IniPath.h"
#include "tests/companions/scandrv/WriteControlFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

class ScannerTestRoot : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/scanner-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        setenv("PLATFORM_ROOT", m_root.c_str(), 1);
        platform::testing::SetRoot(m_root);
        std::filesystem::create_directories(m_root + "/Windows");
        SetFilePrefix("kvx");
        platform::debug::SetSink([this](std::u16string_view line) {
            std::lock_guard lock(m_debugLock);
            m_debug.emplace_back(line);
        });
    }
    void TearDown() override {
        platform::debug::SetSink({});
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }

    void SetFilePrefix(const std::string& prefix) {
        WCHAR ini[MAX_PATH] = {};
        GetIniPath(ini);
        std::ofstream(platform::path::ToHostPath(ini), std::ios::trunc) << "[TWAIN]\nFile Prefix=" << prefix << "\n";
    }

    void WriteControl(const std::string& text) { scandrv_test::WriteControlFile(m_root, text); }

    bool DebugHas(std::u16string_view text) {
        std::lock_guard lock(m_debugLock);
        for (const std::u16string& line : m_debug)
            if (line.find(text) != std::u16string::npos)
                return true;
        return false;
    }

    std::string m_root;
    std::mutex m_debugLock;
    std::vector<std::u16string> m_debug;
};
