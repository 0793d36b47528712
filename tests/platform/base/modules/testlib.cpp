// A library that links platform: an application object whose start and end are logged, a static object built
// before it, entry points that report the module's view of itself, and a thread that ends slowly.
#include "platform/base/afx.h"
#include "platform/base/windows.h"

#include <cstdio>
#include <cstdlib>
#include <pthread.h>

#define TESTLIB_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Appends one event to the file named by TESTLIB_LOG, so the log outlives the library.
void Log(const char* event) {
    const char* path = std::getenv("TESTLIB_LOG");
    if (!path)
        return;
    if (FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%s\n", event);
        std::fclose(f);
    }
}

struct Early {
    Early() { Log("static"); }
    ~Early() { Log("~static"); }
} g_early;

class CTestLibApp : public CWinApp {
public:
    CTestLibApp() { Log("app"); }
    ~CTestLibApp() override { Log("~app"); }
    BOOL InitInstance() override {
        Log("init");
        return std::getenv("TESTLIB_FAIL_INIT") ? FALSE : TRUE;
    }
    int ExitInstance() override {
        Log("exit");
        return CWinApp::ExitInstance();
    }
};

CTestLibApp theApp;

// A thread's value whose destructor takes its time: it runs as the thread ends, after the thread's handle is
// signalled. The key is kept: the one thread that set it has ended by the time the library is unloaded.
pthread_key_t SlowToEndKey() {
    static const pthread_key_t key = [] {
        pthread_key_t created{};
        pthread_key_create(&created, [](void*) {
            Sleep(200);
            Log("thread gone");
        });
        return created;
    }();
    return key;
}

} // namespace

TESTLIB_EXPORT HMODULE TestLib_Instance() {
    return AfxGetInstanceHandle();
}

TESTLIB_EXPORT BOOL TestLib_InitFailed() {
    return AfxInitInstanceFailed();
}

TESTLIB_EXPORT DWORD TestLib_OwnFileName(WCHAR* buffer, DWORD size) {
    return GetModuleFileNameW(AfxGetInstanceHandle(), buffer, size);
}

TESTLIB_EXPORT int TestLib_LoadOwnString(UINT id, WCHAR* buffer, int size) {
    return LoadStringW(AfxGetResourceHandle(), id, buffer, size);
}

TESTLIB_EXPORT DWORD TestLib_OwnDataSize() {
    HRSRC res = FindResourceW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(5), RT_RCDATA);
    return res ? SizeofResource(AfxGetInstanceHandle(), res) : 0;
}

TESTLIB_EXPORT const WCHAR* TestLib_AppName() {
    return AfxGetApp() ? AfxGetApp()->m_pszAppName : nullptr;
}

// Runs a thread that ends slowly and waits for its handle, as a host waits for a worker before it unloads a library.
TESTLIB_EXPORT BOOL TestLib_RunThreadThatEndsSlowly() {
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID) -> DWORD {
            static const char kSet = 1; // any value but null has its destructor run
            pthread_setspecific(SlowToEndKey(), &kSet);
            return 0;
        },
        nullptr, 0, nullptr);
    if (!thread)
        return FALSE;
    const bool ended = WaitForSingleObject(thread, 30000) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return ended;
}

// Loads a module by a bare name, as code inside this library would: its own folder is searched first.
TESTLIB_EXPORT HMODULE TestLib_LoadBare(const WCHAR* name) {
    return LoadLibraryW(name);
}
