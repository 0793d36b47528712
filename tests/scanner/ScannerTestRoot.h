// Every test runs under its own C:\ root (also the simulated device's, for its control file) with an INI file that
// names the driver library's prefix, and captures the debug channel.
#pragma once

#include "platform/base/path.h"
#include "platform/base/testing.h"
#include "platform/base/windows.h"
#include "settings/IniPath.h"
#include "tests/companions/scandrv/WriteControlFile.h"
#include "tests/support/DebugLines.h"
#include "tests/support/TempRoot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

class ScannerTestRoot : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = testsupport::MakeTempFolder("scanner-test");
        ASSERT_FALSE(m_root.empty());
        testsupport::UseAsRoot(m_root);
        std::filesystem::create_directories(m_root + "/Windows");
        SetFilePrefix("kvx");
        m_debug.Capture();
    }
    void TearDown() override {
        m_debug.Release();
        testsupport::RemoveFolder(m_root);
    }

    void SetFilePrefix(const std::string& prefix) {
        WCHAR ini[MAX_PATH] = {};
        GetIniPath(ini);
        std::ofstream(platform::path::ToHostPath(ini), std::ios::trunc) << "[TWAIN]\nFile Prefix=" << prefix << "\n";
    }

    void WriteControl(const std::string& text) { scandrv_test::WriteControlFile(m_root, text); }

    bool DebugHas(std::u16string_view text) const { return m_debug.Has(text); }

    std::string m_root;
    testsupport::DebugLines m_debug;
};
