// Every test runs under its own C:\ root with an INI file of its own.
#pragma once

#include "platform/base/profile.h"
#include "platform/base/testing.h"
#include "platform/base/windows.h"
#include "settings/IniPath.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

class SettingsTestRoot : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/settings-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        platform::testing::SetRoot(m_root);
        std::filesystem::create_directories(m_root + "/Windows");
        std::filesystem::create_directories(m_root + "/AppData");
        std::filesystem::create_directories(m_root + "/Temp");
        GetIniPath(m_ini);
        SetIni(u"TWAIN", u"Version", u"1.0.0.1");
    }
    void TearDown() override {
        platform::debug::SetSink({});
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }

    // The INI file is read-only for the system: tests write it whole, one [section] key=value per call kept.
    void SetIni(const std::u16string& section, const std::u16string& key, const std::u16string& value) {
        m_iniValues[Narrow(section)][Narrow(key)] = Narrow(value);
        std::string text;
        for (const auto& [name, keys] : m_iniValues) {
            text += "[" + name + "]\n";
            for (const auto& [k, v] : keys)
                text += k + "=" + v + "\n";
        }
        std::u16string ini(m_ini);
        WriteBytes(m_root + "/Windows/" + Narrow(ini.substr(ini.rfind(u'\\') + 1)), text);
    }
    static std::string Narrow(const std::u16string& text) {
        char out[1024] = {};
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out, sizeof out, nullptr, nullptr);
        return out;
    }
    // The POSIX path of a DOS path under C:\ (tests look at files directly).
    std::string Host(const std::string& underRoot) const { return m_root + "/" + underRoot; }
    static std::string ReadBytes(const std::string& hostPath) {
        std::ifstream in(hostPath, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void WriteBytes(const std::string& hostPath, const std::string& bytes) {
        std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
        out << bytes;
    }

    std::string m_root;
    WCHAR m_ini[MAX_PATH] = {};
    std::map<std::string, std::map<std::string, std::string>> m_iniValues;
};
