// A C:\ root of its own for each test of the device-scan program's windows and settings: its INI file (named as
// the program names it, from the test program's file name), the settings and pictures folders, a debug sink, and
// the language library of a chosen language as the resource module.
#pragma once

#include "devicescan/VelmoraLanguage.h"
#include "platform/base/afxcore.h"
#include "platform/base/path.h"
#include "platform/base/testing.h"
#include "platform/base/windows.h"
#include "settings/IniPath.h"
#include "settings/Language.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class VelmoraTestRoot : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/velmora-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        setenv("PLATFORM_ROOT", m_root.c_str(), 1);
        platform::testing::SetRoot(m_root);
        for (const char* folder : {"Windows", "AppData", "Pictures", "Documents", "Temp"})
            std::filesystem::create_directories(m_root + "/" + folder);
        GetIniPath(m_ini, kIniDropCharsDeviceScan);
        SetIni(u"TWAIN", u"Setting Folder", u"\\kvx");
        SetIni(u"TWAIN", u"Setting Path", u"\\kvx\\7731\\");
        platform::debug::SetSink([this](std::u16string_view line) {
            std::lock_guard lock(m_debugLock);
            m_debug.emplace_back(line);
        });
        g_nVelmoraLanguageID = kLanguageEnglish;
    }
    void TearDown() override {
        UseLanguage(nullptr);
        platform::debug::SetSink({});
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }

    // The INI file is read-only for the program: tests write it whole, keeping every value set so far.
    void SetIni(const std::u16string& section, const std::u16string& key, const std::u16string& value) {
        m_iniValues[Narrow(section)][Narrow(key)] = Narrow(value);
        std::string text;
        for (const auto& [name, keys] : m_iniValues) {
            text += "[" + name + "]\n";
            for (const auto& [k, v] : keys)
                text += k + "=" + v + "\n";
        }
        WriteBytes(platform::path::ToHostPath(m_ini), text);
    }

    // Makes the language library of `code` ("enus", "zhcn", "he") the resource module and its language the
    // program's; null puts the test program back as its own resource module.
    void UseLanguage(const char* code) {
        if (m_library) {
            AfxSetResourceHandle(AfxGetInstanceHandle());
            FreeLibrary(m_library);
            m_library = nullptr;
        }
        if (!code)
            return;
        const char* moduleDir = std::getenv("MODULE_DIR");
        const std::string path = std::string(moduleDir ? moduleDir : PROJECT_MODULE_DIR) + "/kvxpsrc" + code + ".dll";
        m_library = LoadLibraryW(platform::path::ToDosPath(path).c_str());
        ASSERT_NE(m_library, nullptr) << "no language library " << path;
        AfxSetResourceHandle(m_library);
        const std::u16string wide(code, code + std::char_traits<char>::length(code));
        for (int number = 0; number < kLanguageCount; ++number)
            if (wide == GetLanguageInfo(number).code) {
                g_nVelmoraLanguageID = number;
                break;
            }
    }

    std::vector<std::u16string> DebugLines() {
        std::lock_guard lock(m_debugLock);
        return m_debug;
    }
    bool DebugHas(std::u16string_view text) {
        for (const auto& line : DebugLines())
            if (line.find(text) != std::u16string::npos)
                return true;
        return false;
    }

    static std::string Narrow(const std::u16string& text) {
        char out[1024] = {};
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out, sizeof out, nullptr, nullptr);
        return out;
    }
    // The POSIX path of a folder or file under C:\.
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
    HMODULE m_library = nullptr;
    std::mutex m_debugLock;
    std::vector<std::u16string> m_debug;
};
