// Every test runs under its own C:\ root with an INI file of its own.
#pragma once

#include "platform/base/profile.h"
#include "platform/base/testing.h"
#include "platform/base/windows.h"
#include "settings/IniPath.h"
#include "tests/support/IniText.h"
#include "tests/support/TempRoot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using testsupport::ReadBytes;
using testsupport::WriteBytes;

class SettingsTestRoot : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = testsupport::MakeTempFolder("settings-test");
        ASSERT_FALSE(m_root.empty());
        platform::testing::SetRoot(m_root);
        std::filesystem::create_directories(m_root + "/Windows");
        std::filesystem::create_directories(m_root + "/AppData");
        std::filesystem::create_directories(m_root + "/Temp");
        GetIniPath(m_ini);
        SetIni(u"TWAIN", u"Version", u"1.0.0.1");
    }
    void TearDown() override {
        platform::debug::SetSink({});
        testsupport::RemoveFolder(m_root);
    }

    // The INI file is read-only for the system: tests write it whole, one [section] key=value per call kept.
    void SetIni(const std::u16string& section, const std::u16string& key, const std::u16string& value) {
        m_iniText.Set(section, key, value);
        std::u16string ini(m_ini);
        WriteBytes(m_root + "/Windows/" + Narrow(ini.substr(ini.rfind(u'\\') + 1)), m_iniText.Text());
    }
    static std::string Narrow(const std::u16string& text) { return platform::ToUtf8(text); }
    // The POSIX path of a DOS path under C:\ (tests look at files directly).
    std::string Host(const std::string& underRoot) const { return m_root + "/" + underRoot; }

    std::string m_root;
    WCHAR m_ini[MAX_PATH] = {};
    testsupport::IniText m_iniText;
};
