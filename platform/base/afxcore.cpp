#include "platform/base/afxcore.h"

#include "platform/base/commandline.h"
#include "platform/base/module.h"
#include "platform/base/resource.h"

#include <cstdlib>
#include <cstring>
#include <new>

// ---- Run-time classes -------------------------------------------------------------------------------------------

const CRuntimeClass CObject::classCObject = {"CObject", static_cast<int>(sizeof(CObject)), 0xFFFF, nullptr, nullptr};

CRuntimeClass* CObject::GetRuntimeClass() const {
    return RUNTIME_CLASS(CObject);
}

BOOL CObject::IsKindOf(const CRuntimeClass* cls) const {
    return GetRuntimeClass()->IsDerivedFrom(cls);
}

CObject* CRuntimeClass::CreateObject() const {
    if (!m_pfnCreateObject)
        return nullptr;
    if (const char* failing = std::getenv(platform::afx::kFailCreateVariable);
        failing && std::strcmp(failing, m_lpszClassName) == 0)
        return nullptr;
    try {
        return m_pfnCreateObject();
    } catch (...) {
        return nullptr; // an allocation failure (or a throwing constructor) is a NULL object, as the framework has it
    }
}

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const {
    for (const CRuntimeClass* cls = this; cls; cls = cls->m_pBaseClass)
        if (cls == base)
            return TRUE;
    return FALSE;
}

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)
IMPLEMENT_DYNAMIC(CWinThread, CCmdTarget)
IMPLEMENT_DYNAMIC(CWinApp, CWinThread)
IMPLEMENT_DYNAMIC(CMapWordToPtr, CObject)
IMPLEMENT_DYNAMIC(CStringArray, CObject)

// ---- Module state (one per module, as platform is linked into each) ---------------------------------------------

struct CWinAppAccess {
    static void SetCommandLine(CWinApp& app, const CString& arguments) {
        app.m_cmdLine = arguments;
        app.m_lpCmdLine = const_cast<LPWSTR>(app.m_cmdLine.GetString());
    }
};

namespace platform::afx {

BOOL (*g_walkPreTranslate)(MSG* pMsg) = nullptr;
int (*g_runMessageLoop)(CWinThread* thread) = nullptr;

namespace {

CWinApp* g_app = nullptr;
HINSTANCE g_resourceHandle = nullptr;
bool g_initFailed = false;

bool IsProgram() {
    return ThisModule() == GetModuleHandleW(nullptr);
}

// Runs a library's InitInstance after static initialisation and its ExitInstance first thing at unload. Being
// defined in platform_base, which is linked after the library's own code, this object is constructed after the
// library's static objects and destroyed before them.
struct LibraryLifetime {
    bool running = false;

    LibraryLifetime() {
        if (!g_app || IsProgram())
            return;
        if (g_app->InitInstance()) {
            running = true;
            return;
        }
        g_initFailed = true;
        g_app->ExitInstance();
    }
    ~LibraryLifetime() {
        if (running && g_app)
            g_app->ExitInstance();
    }
};
LibraryLifetime g_libraryLifetime;

// The module's file name without folder and extension, from the loader (no path mapping needed this early).
CString ModuleStem() {
    std::string file = module::HostPath(ThisModule());
    file = file.substr(file.rfind('/') + 1);
    if (const auto dot = file.rfind('.'); dot != std::string::npos && dot > 0)
        file.erase(dot);
    return CString(file.c_str());
}

// The command line after the program name (the program name ends as CommandLineToArgvW ends it).
CString ArgumentsPart(const WCHAR* line) {
    const WCHAR* p = line;
    if (*p == u'"') {
        for (++p; *p && *p != u'"'; ++p) {
        }
        if (*p)
            ++p;
    } else {
        while (*p && *p != u' ' && *p != u'\t')
            ++p;
    }
    while (*p == u' ' || *p == u'\t')
        ++p;
    return CString(p);
}

} // namespace

int RunProgram() {
    CWinApp* app = g_app;
    if (!app)
        return -1;
    CWinAppAccess::SetCommandLine(*app, ArgumentsPart(GetCommandLineW()));
    if (!app->InitInstance())
        return app->ExitInstance();
    return app->Run();
}

} // namespace platform::afx

// ---- Threads and the application ---------------------------------------------------------------------------------

BOOL CWinThread::InitInstance() {
    return FALSE;
}

int CWinThread::ExitInstance() {
    return m_nExitCode;
}

int CWinThread::Run() {
    if (platform::afx::g_runMessageLoop)
        return platform::afx::g_runMessageLoop(this);
    return ExitInstance();
}

BOOL CWinThread::PreTranslateMessage(MSG* pMsg) {
    return platform::afx::g_walkPreTranslate ? platform::afx::g_walkPreTranslate(pMsg) : FALSE;
}

CWinApp::CWinApp(LPCWSTR appName) {
    platform::afx::g_app = this;
    m_hInstance = platform::ThisModule();
    m_exeName = platform::afx::ModuleStem();
    m_appName = appName ? CString(appName) : m_exeName;
    m_pszAppName = m_appName.GetString();
    m_pszExeName = m_exeName.GetString();
}

CWinApp::~CWinApp() {
    if (platform::afx::g_app == this)
        platform::afx::g_app = nullptr;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::ExitInstance() {
    return m_nExitCode;
}

CWinApp* AfxGetApp() {
    return platform::afx::g_app;
}

CWinThread* AfxGetThread() {
    return platform::afx::g_app;
}

HINSTANCE AfxGetInstanceHandle() {
    return platform::ThisModule();
}

HINSTANCE AfxGetResourceHandle() {
    return platform::afx::g_resourceHandle ? platform::afx::g_resourceHandle : platform::ThisModule();
}

void AfxSetResourceHandle(HINSTANCE resource) {
    platform::afx::g_resourceHandle = resource;
}

HINSTANCE AfxFindResourceHandle(LPCWSTR name, LPCWSTR type) {
    const HINSTANCE resource = AfxGetResourceHandle();
    return FindResourceW(resource, name, type) ? resource : AfxGetInstanceHandle();
}

BOOL AfxInitInstanceFailed() {
    return platform::afx::g_initFailed ? TRUE : FALSE;
}

// ---- Collections ------------------------------------------------------------------------------------------------

BOOL CMapWordToPtr::Lookup(WORD key, void*& value) const {
    const auto it = m_map.find(key);
    if (it == m_map.end())
        return FALSE;
    value = it->second;
    return TRUE;
}

INT_PTR CStringArray::Add(const CString& s) {
    m_items.push_back(s);
    return GetUpperBound();
}

void CStringArray::InsertAt(INT_PTR i, const CString& s, INT_PTR count) {
    if (i > GetSize())
        m_items.resize(static_cast<size_t>(i));
    m_items.insert(m_items.begin() + i, static_cast<size_t>(count), s);
}

void CStringArray::RemoveAt(INT_PTR i, INT_PTR count) {
    if (i < 0 || count < 0 || i + count > GetSize())
        return;
    m_items.erase(m_items.begin() + i, m_items.begin() + i + count);
}
