// Every test runs under its own C:\ root with its own INI file; named kernel objects are per root, so the enable
// mutexes of tests running in parallel never meet. The INI names the File Prefix of the staged companions ("kvx"), so
// the staged module finds the simulated device and the language libraries. Tests that load the staged module point
// the module's copy of the platform at the same root through the environment, before loading it.
#pragma once

#include "platform/base/testing.h"
#include "platform/base/windows.h"
#include "platform/twain/twain.h"
#include "tests/support/TempRoot.h"
#include "twain/HostFlags.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

inline std::string StageDir() {
    const char* dir = std::getenv("STAGE_DIR");
    return dir != nullptr ? dir : "";
}
// $MODULE_DIR, else the model folder under $STAGE_DIR/twain that holds the module.
inline std::string ModuleDir() {
    if (const char* dir = std::getenv("MODULE_DIR"))
        return dir;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(StageDir() + "/twain", ec), end; !ec && it != end; it.increment(ec))
        if (std::filesystem::exists(it->path() / "Scanner64.ds"))
            return it->path().string();
    return "";
}
inline std::string StagedModule() {
    return ModuleDir() + "/Scanner64.ds";
}
inline std::string StagedManager() {
    return StageDir() + "/lib/libtwaindsm_standin.so";
}

inline TW_IDENTITY MakeAppIdentity(TW_UINT32 id, TW_UINT16 major = 2, TW_UINT16 minor = 4) {
    TW_IDENTITY app{};
    app.Id = id;
    app.ProtocolMajor = major;
    app.ProtocolMinor = minor;
    app.SupportedGroups = DG_CONTROL | DG_IMAGE;
    std::strcpy(app.ProductName, "test application");
    return app;
}

// The staged module, loaded for one test and unloaded after it.
class LoadedModule {
public:
    explicit LoadedModule(const std::string& path) {
        m_handle = dlopen(path.c_str(), RTLD_LAZY);
        if (m_handle != nullptr)
            m_entry = reinterpret_cast<DSENTRYPROC>(dlsym(m_handle, "DS_Entry"));
    }
    ~LoadedModule() {
        if (m_handle != nullptr)
            dlclose(m_handle);
    }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    bool ok() const { return m_entry != nullptr; }
    TW_UINT16 operator()(TW_IDENTITY* origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) const {
        return m_entry(origin, dg, dat, msg, data);
    }
    // DAT_STATUS as the given application asks it; 0xFFFF when the call itself fails.
    TW_UINT16 Status(TW_IDENTITY* origin) const {
        TW_STATUS status{};
        if (m_entry(origin, DG_CONTROL, DAT_STATUS, MSG_GET, &status) != TWRC_SUCCESS)
            return 0xFFFF;
        return status.ConditionCode;
    }

private:
    void* m_handle = nullptr;
    DSENTRYPROC m_entry = nullptr;
};

class TwainTestRoot : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = testsupport::MakeTempFolder("twain-test");
        ASSERT_FALSE(m_root.empty());
        testsupport::UseAsRoot(m_root);
        std::filesystem::create_directories(m_root + "/Windows");
        m_prefix = "kvx";
        m_ini = "[TWAIN]\nFile Prefix=" + m_prefix + "\nManufacturer=Korvel\nProduct Name(kvx7731)=KVX 7731\n";
        WriteIni();
    }
    void TearDown() override {
        platform::testing::SetHostProgramName(nullptr);
        unsetenv("PLATFORM_HOST_PROGRAM");
        // The host flags last as long as the process (some are only ever set): the next test starts without them.
        for (std::atomic<BOOL>* flag :
             {&g_bHostOffice, &g_bHostWordExcelStore, &g_bHostPhotoshopNotCS4, &g_bHostPhotoshopCS2, &g_bHostAcdsee10,
              &g_bHostTwainClient, &g_bHostTwainClientU, &g_bHostAcrobat, &g_bHostIedit, &g_bHostIeditExe,
              &g_bHostPhotoshop, &g_bHostMsPhotoScan})
            *flag = FALSE;
        testsupport::RemoveFolder(m_root);
    }

    void WriteIni(const std::string& name = "Scanner.ini") {
        std::ofstream(m_root + "/Windows/" + name, std::ios::trunc) << m_ini;
    }
    std::u16string MutexName() const {
        std::string name = "Global\\" + m_prefix + "_sign";
        return std::u16string(name.begin(), name.end());
    }

    std::string m_root;
    std::string m_prefix;
    std::string m_ini;
};
