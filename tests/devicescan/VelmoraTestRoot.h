// A C:\ root of its own for each test of the device-scan program's windows and settings (velmora_test_root.h), with
// its INI file (named as the program names it, from the test program's file name), the settings and pictures
// folders, and the language library of a chosen language as the resource module.
#pragma once

#include "velmora_test_root.h"

#include "devicescan/VelmoraLanguage.h"
#include "platform/base/afxcore.h"
#include "platform/base/path.h"
#include "platform/base/windows.h"
#include "settings/IniPath.h"
#include "settings/Language.h"
#include "tests/support/IniText.h"
#include "tests/support/TempRoot.h"

#include <cstdlib>
#include <filesystem>
#include <string>

using testsupport::ReadBytes;
using testsupport::WriteBytes;

class VelmoraTestRoot : public velmoratest::TestRoot {
protected:
    void SetUp() override {
        TestRoot::SetUp();
        for (const char* folder : {"AppData", "Pictures", "Documents", "Temp"})
            std::filesystem::create_directories(m_root + "/" + folder);
        GetIniPath(m_ini, kIniDropCharsDeviceScan);
        SetIni(u"TWAIN", u"Setting Folder", u"\\kvx");
        SetIni(u"TWAIN", u"Setting Path", u"\\kvx\\7731\\");
        g_nVelmoraLanguageID = kLanguageEnglish;
    }
    void TearDown() override {
        UseLanguage(nullptr);
        TestRoot::TearDown();
    }

    // The INI file is read-only for the program: tests write it whole, keeping every value set so far.
    void SetIni(const std::u16string& section, const std::u16string& key, const std::u16string& value) {
        m_iniText.Set(section, key, value);
        WriteBytes(platform::path::ToHostPath(m_ini), m_iniText.Text());
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
                SetUiLanguage(number);
                break;
            }
    }

    static std::string Narrow(const std::u16string& text) { return platform::ToUtf8(text); }

    WCHAR m_ini[MAX_PATH] = {};
    testsupport::IniText m_iniText;
    HMODULE m_library = nullptr;
};
