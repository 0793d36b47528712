// A fresh C:\ for each push-scan test, with the simulated device's control file, the debug lines collected, and the
// staged driver library.
#pragma once

#include "platform/base/path.h"
#include "platform/base/testing.h"
#include "tests/companions/scandrv/WriteControlFile.h"
#include "tests/support/DebugLines.h"
#include "tests/support/TempRoot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

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
        m_root = testsupport::MakeTempFolder("velmora-test");
        ASSERT_FALSE(m_root.empty());
        testsupport::UseAsRoot(m_root);
        std::filesystem::create_directories(m_root + "/Windows");
        std::filesystem::create_directories(m_root + "/Scans");
        m_debug.Capture();
    }
    void TearDown() override {
        m_debug.Release();
        platform::testing::SetDiskFreeSpace(std::nullopt);
        testsupport::RemoveFolder(m_root);
    }

    // The simulated device's control file.
    void WriteControl(const std::string& text) { scandrv_test::WriteControlFile(m_root, text); }

    std::string Host(const std::string& below) const { return m_root + "/" + below; }

    bool Logged(std::u16string_view text) const { return m_debug.Has(text); }
    int CountLogged(std::u16string_view text) const { return m_debug.Count(text); }
    std::string DebugText() const { return m_debug.Text(); }

    std::string m_root;
    testsupport::DebugLines m_debug;
};

} // namespace velmoratest
