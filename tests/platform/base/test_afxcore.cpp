// Framework core: run-time classes, the application object of a library over load and unload, the collections
// and the command line.
#include "platform/base/afxcore.h"
#include "platform/base/path.h"
#include "platform/base/windows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

class CAnimal : public CObject {
    DECLARE_DYNAMIC(CAnimal)
};
IMPLEMENT_DYNAMIC(CAnimal, CObject)

class CDog : public CAnimal {
    DECLARE_DYNCREATE(CDog)
public:
    int m_legs = 4;
};
IMPLEMENT_DYNCREATE(CDog, CAnimal)

class CFaulty : public CObject {
    DECLARE_DYNCREATE(CFaulty)
public:
    CFaulty() { throw std::bad_alloc(); }
};
IMPLEMENT_DYNCREATE(CFaulty, CObject)

TEST(RuntimeClass, CreatesObjectsOfTheirClassAndKnowsTheirBases) {
    CRuntimeClass* dogClass = RUNTIME_CLASS(CDog);
    EXPECT_STREQ(dogClass->m_lpszClassName, "CDog");
    std::unique_ptr<CObject> object(dogClass->CreateObject());
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->GetRuntimeClass(), dogClass);
    EXPECT_TRUE(object->IsKindOf(RUNTIME_CLASS(CDog)));
    EXPECT_TRUE(object->IsKindOf(RUNTIME_CLASS(CAnimal)));
    EXPECT_TRUE(object->IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(object->IsKindOf(RUNTIME_CLASS(CWinApp)));
    EXPECT_EQ(static_cast<CDog*>(object.get())->m_legs, 4);
    EXPECT_EQ(RUNTIME_CLASS(CAnimal)->CreateObject(), nullptr) << "a DYNAMIC class cannot be created";
}

TEST(RuntimeClass, AFailedCreationIsANullObject) {
    EXPECT_EQ(RUNTIME_CLASS(CFaulty)->CreateObject(), nullptr) << "an allocation failure is caught";
    setenv(platform::afx::kFailCreateVariable, "CDog", 1);
    EXPECT_EQ(RUNTIME_CLASS(CDog)->CreateObject(), nullptr) << "a test can make one class fail";
    unsetenv(platform::afx::kFailCreateVariable);
    delete RUNTIME_CLASS(CDog)->CreateObject();
}

TEST(Collections, AWordMapStoresReplacesAndForgets) {
    CMapWordToPtr map(10);
    int a = 0, b = 0;
    void* found = nullptr;
    EXPECT_FALSE(map.Lookup(3, found));
    map.SetAt(3, &a);
    map.SetAt(0x0101, &b);
    map.SetAt(3, &b);
    EXPECT_EQ(map.GetCount(), 2);
    ASSERT_TRUE(map.Lookup(3, found));
    EXPECT_EQ(found, &b) << "a later entry under the same key replaces the earlier";
    EXPECT_TRUE(map.RemoveKey(0x0101));
    EXPECT_FALSE(map.Lookup(0x0101, found));
}

TEST(Collections, AStringArrayKeepsOrder) {
    CStringArray files;
    EXPECT_TRUE(files.IsEmpty());
    EXPECT_EQ(files.Add(u"a.pdf"), 0);
    EXPECT_EQ(files.Add(u"c.pdf"), 1);
    files.InsertAt(1, u"b.pdf");
    ASSERT_EQ(files.GetSize(), 3);
    EXPECT_TRUE(files[1] == u"b.pdf");
    files.RemoveAt(0);
    EXPECT_TRUE(files.GetAt(0) == u"b.pdf");
    EXPECT_EQ(files.GetUpperBound(), 1);
    files.RemoveAll();
    EXPECT_EQ(files.GetCount(), 0);
}

// The test library logs its static objects and its application object's start and end into a file.
class LibraryApp : public ::testing::Test {
protected:
    void SetUp() override {
        log_ = std::filesystem::temp_directory_path() / ("testlib_" + std::to_string(getpid()) + ".log");
        std::filesystem::remove(log_);
        setenv("TESTLIB_LOG", log_.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("TESTLIB_LOG");
        unsetenv("TESTLIB_FAIL_INIT");
        std::filesystem::remove(log_);
    }
    std::vector<std::string> TakeLog() {
        std::vector<std::string> lines;
        std::ifstream in(log_);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        std::filesystem::remove(log_);
        return lines;
    }
    static std::u16string Path() { return platform::path::ToDosPath(TEST_MODULE_DIR) + u"\\TestLib.dll"; }

    std::filesystem::path log_;
};

TEST_F(LibraryApp, InitInstanceRunsAfterStaticObjectsAndExitInstanceBeforeTheirTeardownAtEveryLoad) {
    const std::vector<std::string> load = {"static", "app", "init"};
    const std::vector<std::string> unload = {"exit", "~app", "~static"};
    for (int round = 0; round < 25; ++round) {
        HMODULE lib = LoadLibraryW(Path().c_str());
        ASSERT_NE(lib, nullptr);
        EXPECT_EQ(TakeLog(), load) << "round " << round;
        auto failed = reinterpret_cast<BOOL (*)()>(GetProcAddress(lib, "TestLib_InitFailed"));
        ASSERT_NE(failed, nullptr);
        EXPECT_FALSE(failed());
        ASSERT_TRUE(FreeLibrary(lib));
        EXPECT_EQ(TakeLog(), unload) << "round " << round;
    }
}

TEST_F(LibraryApp, AFailedInitInstanceIsRecordedAndEndsTheApplicationOnce) {
    setenv("TESTLIB_FAIL_INIT", "1", 1);
    HMODULE lib = LoadLibraryW(Path().c_str());
    ASSERT_NE(lib, nullptr) << "loading itself cannot fail on Linux";
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"static", "app", "init", "exit"}));
    auto failed = reinterpret_cast<BOOL (*)()>(GetProcAddress(lib, "TestLib_InitFailed"));
    ASSERT_NE(failed, nullptr);
    EXPECT_TRUE(failed());
    FreeLibrary(lib);
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"~app", "~static"}));
}

TEST_F(LibraryApp, TheApplicationIsNamedAfterItsModule) {
    HMODULE lib = LoadLibraryW(Path().c_str());
    ASSERT_NE(lib, nullptr);
    auto name = reinterpret_cast<const WCHAR* (*)()>(GetProcAddress(lib, "TestLib_AppName"));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(std::u16string(name()), u"TestLib");
    EXPECT_EQ(AfxGetApp(), nullptr) << "the test program has no application object of its own";
    FreeLibrary(lib);
}

// A host that waited for the library's worker and unloads the library at once: the thread, which still ran the
// library's code when its handle was signalled (its per-thread objects end after that), is gone before the unload
// ends, instead of running on in code that is no longer there.
TEST_F(LibraryApp, AThreadWhoseHandleWasSignalledIsGoneBeforeTheUnloadEnds) {
    HMODULE lib = LoadLibraryW(Path().c_str());
    ASSERT_NE(lib, nullptr);
    auto run = reinterpret_cast<BOOL (*)()>(GetProcAddress(lib, "TestLib_RunThreadThatEndsSlowly"));
    ASSERT_NE(run, nullptr);
    ASSERT_TRUE(run()) << "the thread's handle was signalled";
    FreeLibrary(lib);
    const std::vector<std::string> log = TakeLog();
    EXPECT_NE(std::find(log.begin(), log.end(), "thread gone"), log.end()) << "the unload did not wait for the thread";
}

// Runs the test program with the given shell arguments; answers its output and exit code.
std::pair<std::string, int> RunProgram(const std::string& arguments) {
    const std::string command = std::string(TEST_MODULE_DIR) + "/TestProg " + arguments;
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    char buffer[256];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe))
        output += buffer;
    const int status = pipe ? pclose(pipe) : -1;
    return {output, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

TEST(Program, InitInstanceSeesTheCommandLineAndAFailureGoesStraightToExitInstance) {
    const auto [output, code] = RunProgram("/STIDEVICE \"a b\"");
    EXPECT_EQ(output, "init TestProg [/STIDEVICE \"a b\"]\nexit\n");
    EXPECT_EQ(code, 7) << "the exit code is ExitInstance's";
}

TEST(Program, ASuccessfulInitInstanceRunsTheMessageLoopWhichEndsWithExitInstance) {
    setenv("TESTPROG_RUN", "1", 1);
    const auto [output, code] = RunProgram("");
    unsetenv("TESTPROG_RUN");
    EXPECT_EQ(output, "init TestProg []\nexit\n") << "without platform/user's loop, Run goes to ExitInstance";
    EXPECT_EQ(code, 7);
}

std::vector<std::string> Split(const WCHAR* line) {
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(line, &count);
    std::vector<std::string> out;
    for (int i = 0; args && i < count; ++i)
        out.push_back(platform::ToUtf8(args[i]));
    LocalFree(args);
    return out;
}

TEST(CommandLine, SplitsByTheWindowsRules) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Split(u"Velmora.exe /STIDEVICE"), (V{"Velmora.exe", "/STIDEVICE"}));
    EXPECT_EQ(Split(u"\"C:\\Program Files\\V.exe\" -PUSH_PARAM  \"\\\\.\\Usbscan0\" 2102000"),
              (V{"C:\\Program Files\\V.exe", "-PUSH_PARAM", "\\\\.\\Usbscan0", "2102000"}));
    EXPECT_EQ(Split(u"p a\\\\\\\"b c\\\\\"d e\" \"\""), (V{"p", "a\\\"b", "c\\d e", ""}));
    EXPECT_EQ(Split(u"C:\\dir\\p.exe \"a\"\"b\""), (V{"C:\\dir\\p.exe", "a\"b"}));
    EXPECT_EQ(Split(u"").size(), 1u) << "an empty line gives the program alone";
}

TEST(CommandLine, TheProcessCommandLineRoundTripsAndCanBeSet) {
    const std::vector<std::string> own = Split(GetCommandLineW());
    ASSERT_FALSE(own.empty());
    EXPECT_NE(own[0].find("platform_base_tests"), std::string::npos);
    setenv(platform::kCommandLineVariable, "Velmora.exe -PUSH_PARAM \"a b\" 123", 1);
    EXPECT_EQ(Split(GetCommandLineW()), (std::vector<std::string>{"Velmora.exe", "-PUSH_PARAM", "a b", "123"}));
    unsetenv(platform::kCommandLineVariable);
}

} // namespace
