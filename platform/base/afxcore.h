// Framework core: CObject with run-time class information, the application object (of a shared library or of a
// program), the module's instance and resource handles, and the collections the system uses.
//
// Application start and end:
//   shared library  the one global application object is built by static initialisation; InitInstance runs from
//                   platform's own static initialiser, which lands after the library's own ones (platform_base is
//                   linked last); a failed InitInstance is recorded (AfxInitInstanceFailed), because dlopen cannot be
//                   made to fail. ExitInstance runs first thing when the library is unloaded, then the objects are
//                   destroyed in reverse order of construction.
//   program         link platform_main: its main() runs InitInstance, then Run (the message loop, provided by
//                   platform/user) or, when InitInstance fails, ExitInstance; its result is the exit code.
#pragma once

#include "platform/base/cstring.h"
#include "platform/base/wintypes.h"

#include <unordered_map>
#include <vector>

class CObject;
class CWnd;
struct MSG;

struct CRuntimeClass {
    LPCSTR m_lpszClassName;
    int m_nObjectSize;
    UINT m_wSchema;
    CObject* (*m_pfnCreateObject)();
    const CRuntimeClass* m_pBaseClass;

    // A new object of the class, or NULL when the class cannot be created dynamically or allocation fails.
    CObject* CreateObject() const;
    BOOL IsDerivedFrom(const CRuntimeClass* base) const;
};

#define RUNTIME_CLASS(class_name) (const_cast<CRuntimeClass*>(&class_name::class##class_name))

#define DECLARE_DYNAMIC(class_name)                                                                                    \
public:                                                                                                                \
    static const CRuntimeClass class##class_name;                                                                      \
    CRuntimeClass* GetRuntimeClass() const override;

#define DECLARE_DYNCREATE(class_name)                                                                                  \
    DECLARE_DYNAMIC(class_name)                                                                                        \
    static CObject* CreateObject();

#define IMPLEMENT_RUNTIMECLASS_(class_name, base_class_name, create)                                                   \
    const CRuntimeClass class_name::class##class_name = {#class_name, static_cast<int>(sizeof(class_name)), 0xFFFF,    \
                                                         create, RUNTIME_CLASS(base_class_name)};                      \
    CRuntimeClass* class_name::GetRuntimeClass() const {                                                               \
        return RUNTIME_CLASS(class_name);                                                                              \
    }

#define IMPLEMENT_DYNAMIC(class_name, base_class_name) IMPLEMENT_RUNTIMECLASS_(class_name, base_class_name, nullptr)

#define IMPLEMENT_DYNCREATE(class_name, base_class_name)                                                               \
    CObject* class_name::CreateObject() {                                                                              \
        return new class_name;                                                                                         \
    }                                                                                                                  \
    IMPLEMENT_RUNTIMECLASS_(class_name, base_class_name, &class_name::CreateObject)

#define DYNAMIC_DOWNCAST(class_name, object)                                                                           \
    ((object) && (object)->IsKindOf(RUNTIME_CLASS(class_name)) ? static_cast<class_name*>(object) : nullptr)

class CObject {
public:
    static const CRuntimeClass classCObject;

    virtual ~CObject() = default;
    virtual CRuntimeClass* GetRuntimeClass() const;
    BOOL IsKindOf(const CRuntimeClass* cls) const;

protected:
    CObject() = default;

public:
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;
};

// The base of every class that takes commands; the message map itself belongs to platform/user (afxwin.h).
class CCmdTarget : public CObject {
    DECLARE_DYNAMIC(CCmdTarget)
public:
    CCmdTarget() = default;
};

class CWinThread : public CCmdTarget {
    DECLARE_DYNAMIC(CWinThread)
public:
    CWinThread() = default;

    virtual BOOL InitInstance();
    virtual int ExitInstance();
    virtual int Run();
    virtual BOOL PreTranslateMessage(MSG* pMsg);

    CWnd* m_pMainWnd = nullptr;
    int m_nExitCode = 0;
};

class CWinApp : public CWinThread {
    DECLARE_DYNAMIC(CWinApp)
public:
    // The one application object of the module; appName NULL takes the module's file name without extension.
    explicit CWinApp(LPCWSTR appName = nullptr);
    ~CWinApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    LPCWSTR m_pszAppName = nullptr;
    LPCWSTR m_pszExeName = nullptr;
    HINSTANCE m_hInstance = nullptr;
    LPWSTR m_lpCmdLine = nullptr; // the command line after the program name (programs only)
    int m_nCmdShow = 1;           // SW_SHOWNORMAL

private:
    CString m_appName;
    CString m_exeName;
    CString m_cmdLine;
    friend struct CWinAppAccess;
};

CWinApp* AfxGetApp();
CWinThread* AfxGetThread();
HINSTANCE AfxGetInstanceHandle(); // the module this code is linked into (a library's own handle)
HINSTANCE AfxGetResourceHandle(); // where the framework loads strings and dialogs; the instance until set
void AfxSetResourceHandle(HINSTANCE resource);
// The module to load a resource from: the resource handle when it holds the resource, else the module's own.
HINSTANCE AfxFindResourceHandle(LPCWSTR name, LPCWSTR type);
BOOL AfxInitInstanceFailed(); // TRUE when the library's InitInstance answered FALSE

namespace platform::afx {

// Set by platform/user: the message pre-translation walk and the message loop of CWinThread::Run.
extern BOOL (*g_walkPreTranslate)(MSG* pMsg);
extern int (*g_runMessageLoop)(CWinThread* thread);

// Environment variable naming a run-time class whose CreateObject fails (tests of allocation failures; read by
// every module of the process).
inline constexpr const char* kFailCreateVariable = "PLATFORM_FAIL_CREATE";

// platform_main's entry: runs the application object's start and end; answers the exit code.
int RunProgram();

} // namespace platform::afx

// ---- Collections ------------------------------------------------------------------------------------------------

// A map from a 16-bit key to a pointer (the framework's hashed map; the block size is kept for its interface).
class CMapWordToPtr : public CObject {
    DECLARE_DYNAMIC(CMapWordToPtr)
public:
    explicit CMapWordToPtr(int nBlockSize = 10) : m_nBlockSize(nBlockSize) {}

    INT_PTR GetCount() const { return static_cast<INT_PTR>(m_map.size()); }
    INT_PTR GetSize() const { return GetCount(); }
    BOOL IsEmpty() const { return m_map.empty(); }
    BOOL Lookup(WORD key, void*& value) const;
    void SetAt(WORD key, void* value) { m_map[key] = value; }
    void*& operator[](WORD key) { return m_map[key]; }
    BOOL RemoveKey(WORD key) { return m_map.erase(key) != 0; }
    void RemoveAll() { m_map.clear(); }

private:
    int m_nBlockSize;
    std::unordered_map<WORD, void*> m_map;
};

class CStringArray : public CObject {
    DECLARE_DYNAMIC(CStringArray)
public:
    CStringArray() = default;

    INT_PTR GetSize() const { return static_cast<INT_PTR>(m_items.size()); }
    INT_PTR GetCount() const { return GetSize(); }
    BOOL IsEmpty() const { return m_items.empty(); }
    INT_PTR GetUpperBound() const { return GetSize() - 1; }
    void SetSize(INT_PTR size) { m_items.resize(static_cast<size_t>(size)); }
    const CString& GetAt(INT_PTR i) const { return m_items.at(static_cast<size_t>(i)); }
    CString& ElementAt(INT_PTR i) { return m_items.at(static_cast<size_t>(i)); }
    void SetAt(INT_PTR i, const CString& s) { m_items.at(static_cast<size_t>(i)) = s; }
    const CString& operator[](INT_PTR i) const { return GetAt(i); }
    CString& operator[](INT_PTR i) { return ElementAt(i); }
    INT_PTR Add(const CString& s);
    void InsertAt(INT_PTR i, const CString& s, INT_PTR count = 1);
    void RemoveAt(INT_PTR i, INT_PTR count = 1);
    void RemoveAll() { m_items.clear(); }

private:
    std::vector<CString> m_items;
};
