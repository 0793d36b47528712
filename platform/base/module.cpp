#include "platform/base/module.h"

#include "platform/base/path.h"
#include "platform/base/testing.h"
#include "platform/base/winbase.h"
#include "platform/base/wstring.h"

#include <dirent.h>
#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace platform {
namespace {

// Its address lies inside whichever module this copy of platform is linked into.
const char g_moduleAnchor = 0;

// Windows system names and what stands in for them on Linux. A stand-in is searched like a bare name; a system
// library is left to the dynamic loader's own search.
struct SystemName {
    const WCHAR* windowsName;
    const char* overrideVariable;
    const char* linuxName;
    bool standIn;
};
constexpr SystemName kSystemNames[] = {
    {u"TWAIN_32.DLL", "PLATFORM_TWAIN_DSM", "libtwaindsm_standin.so", true}, // a loaded manager comes first
    {u"zlibwapi.dll", "PLATFORM_ZLIBWAPI", "libminizip.so.1", false},
    {u"sti.dll", "PLATFORM_STI", "sti.so", true},
    {u"hhctrl.ocx", "PLATFORM_HHCTRL", "hhctrl.so", true},
};

// "kernel32.dll" is platform itself: its handle is an address inside this copy of platform, and GetProcAddress
// finds there the entry points the system looks up by name.
const char g_kernel32Anchor = 0;
HMODULE Kernel32() {
    return reinterpret_cast<HMODULE>(const_cast<char*>(&g_kernel32Anchor));
}

struct Export {
    const char* name;
    FARPROC entry;
};
// Built on first use: a library's InitInstance may look entry points up before this file's static objects exist.
FARPROC Kernel32Export(const char* name) {
    static const Export exports[] = {
        {"GetDiskFreeSpaceExA", reinterpret_cast<FARPROC>(&GetDiskFreeSpaceExA)},
        {"GetDiskFreeSpaceExW", reinterpret_cast<FARPROC>(&GetDiskFreeSpaceExW)},
        {"RegisterApplicationRestart", reinterpret_cast<FARPROC>(&RegisterApplicationRestart)},
    };
    for (const Export& entry : exports)
        if (std::strcmp(entry.name, name) == 0)
            return entry.entry;
    return nullptr;
}

bool IsKernel32(const WCHAR* fileName) {
    const std::u16string_view name(fileName);
    const auto slash = name.find_last_of(u"\\/");
    const std::u16string base(slash == std::u16string_view::npos ? name : name.substr(slash + 1));
    return _wcsicmp(base.c_str(), u"kernel32.dll") == 0 || _wcsicmp(base.c_str(), u"kernel32") == 0;
}

// A TWAIN manager on Linux (the standard "libtwaindsm.so*" or our stand-in) that the host has already loaded is
// the one holding the application's callback, so notifications must go to that instance.
constexpr const char* kStandardDsmPrefix = "libtwaindsm";

struct DlCloser {
    void operator()(void* handle) const {
        if (handle)
            dlclose(handle);
    }
};
using DlHandle = std::unique_ptr<void, DlCloser>;

bool IsFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
}

std::string FileOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The entry of `folder` whose name equals `name` without regard to case (an exact match first).
std::string FindInFolder(const std::string& folder, const std::string& name) {
    std::string exact = folder + "/" + name;
    if (IsFile(exact))
        return exact;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir)
        return {};
    const std::u16string wanted = ToUtf16(name);
    while (const dirent* entry = readdir(dir.get())) {
        if (_wcsicmp(ToUtf16(entry->d_name).c_str(), wanted.c_str()) == 0 && IsFile(folder + "/" + entry->d_name))
            return folder + "/" + entry->d_name;
    }
    return {};
}

std::string ExecutablePath() {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return {};
    return std::string(buffer, static_cast<size_t>(n));
}

// The load address of an object opened with dlopen.
HMODULE BaseOf(void* handle) {
    link_map* map = nullptr;
    if (!handle || dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map)
        return nullptr;
    Dl_info info{};
    if (!dladdr(map->l_ld, &info))
        return nullptr;
    return static_cast<HMODULE>(info.dli_fbase);
}

HMODULE MainModule() {
    static const HMODULE main = [] {
        void* self = dlopen(nullptr, RTLD_LAZY);
        const HMODULE base = BaseOf(self);
        if (self)
            dlclose(self);
        return base;
    }();
    return main;
}

// A counted dlopen handle for a module handle (the executable for NULL); null when it is not a loaded module.
DlHandle OpenLoaded(HMODULE module) {
    if (!module || module == MainModule())
        return DlHandle(dlopen(nullptr, RTLD_LAZY));
    Dl_info info{};
    if (!dladdr(module, &info) || info.dli_fbase != static_cast<void*>(module) || !info.dli_fname)
        return nullptr;
    return DlHandle(dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD));
}

std::string LoadedStandardDsm() {
    std::string found;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* out) {
            if (info->dlpi_name && std::strncmp(FileOf(info->dlpi_name).c_str(), kStandardDsmPrefix,
                                                std::strlen(kStandardDsmPrefix)) == 0) {
                *static_cast<std::string*>(out) = info->dlpi_name;
                return 1;
            }
            return 0;
        },
        &found);
    return found;
}

// A bare file name: the calling module's folder, then the executable's.
std::string SearchBareName(const std::string& name) {
    std::string own = FindInFolder(FolderOf(module::HostPath(ThisModule())), name);
    if (!own.empty())
        return own;
    return FindInFolder(FolderOf(ExecutablePath()), name);
}

// ".dll" in any case becomes ".so"; other names are taken as they are.
std::u16string SharedObjectName(std::u16string name) {
    if (name.size() > 4 && _wcsicmp(name.c_str() + name.size() - 4, u".dll") == 0)
        name.replace(name.size() - 4, 4, u".so");
    return name;
}

// The POSIX path (or loader name) that a Windows module name stands for; empty when there is none.
std::string Resolve(const WCHAR* fileName) {
    const std::u16string full(fileName);
    const auto slash = full.find_last_of(u"\\/");
    const std::u16string base = slash == std::u16string::npos ? full : full.substr(slash + 1);

    for (const SystemName& system : kSystemNames) {
        if (_wcsicmp(base.c_str(), system.windowsName) != 0)
            continue;
        if (const char* overridden = std::getenv(system.overrideVariable))
            return overridden;
        if (std::strcmp(system.overrideVariable, "PLATFORM_TWAIN_DSM") == 0) {
            std::string standard = LoadedStandardDsm();
            if (!standard.empty())
                return standard;
        }
        return system.standIn ? SearchBareName(system.linuxName) : system.linuxName;
    }

    const std::u16string soName = SharedObjectName(full);
    if (slash == std::u16string::npos)
        return SearchBareName(ToUtf8(soName));
    std::string host = path::ToHostPath(soName.c_str());
    if (IsFile(host))
        return host;
    return host.empty() ? std::string() : FindInFolder(FolderOf(host), FileOf(host));
}

void CopyOut(const std::u16string& text, LPWSTR out, DWORD size, DWORD& result) {
    if (text.size() < size) {
        std::memcpy(out, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
        result = static_cast<DWORD>(text.size());
        return;
    }
    std::memcpy(out, text.c_str(), (size - 1) * sizeof(WCHAR));
    out[size - 1] = 0;
    result = size;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
}

} // namespace

HMODULE ThisModule() {
    static const HMODULE self = [] {
        Dl_info info{};
        return dladdr(&g_moduleAnchor, &info) ? static_cast<HMODULE>(info.dli_fbase) : nullptr;
    }();
    return self;
}

std::string module::HostPath(HMODULE module) {
    if (!module || module == MainModule())
        return ExecutablePath();
    Dl_info info{};
    if (!dladdr(module, &info) || info.dli_fbase != static_cast<void*>(module) || !info.dli_fname)
        return {};
    std::string path = info.dli_fname;
    if (!path.empty() && path[0] != '/') {
        char* real = realpath(path.c_str(), nullptr);
        if (real) {
            path = real;
            std::free(real);
        }
    }
    return path;
}

void testing::SetHostProgramName(const WCHAR* name) {
    if (name)
        setenv(module::kHostProgramVariable, ToUtf8(name).c_str(), 1);
    else
        unsetenv(module::kHostProgramVariable);
}

} // namespace platform

HMODULE LoadLibraryW(LPCWSTR fileName) {
    if (!fileName || !*fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (platform::IsKernel32(fileName))
        return platform::Kernel32();
    const std::string path = platform::Resolve(fileName);
    void* handle = path.empty() ? nullptr : dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (!handle) {
        if (!path.empty()) {
            const char* why = dlerror();
            OutputDebugStringA(("LoadLibraryW: " + std::string(why ? why : path) + "\n").c_str());
        }
        SetLastError(platform::IsFile(path) ? ERROR_BAD_EXE_FORMAT : ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    // The reference taken by dlopen stays with the module until FreeLibrary.
    const HMODULE module = platform::BaseOf(handle);
    if (!module) {
        dlclose(handle);
        SetLastError(ERROR_MOD_NOT_FOUND);
    }
    return module;
}

HMODULE LoadLibraryExW(LPCWSTR fileName, HANDLE, DWORD) {
    return LoadLibraryW(fileName);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
    // Ordinals (a name pointer below 64 Ki) have no meaning for shared objects.
    if (!procName || reinterpret_cast<UINT_PTR>(procName) < 0x10000) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    if (module == platform::Kernel32()) {
        const FARPROC entry = platform::Kernel32Export(procName);
        if (!entry)
            SetLastError(ERROR_PROC_NOT_FOUND);
        return entry;
    }
    const platform::DlHandle handle = platform::OpenLoaded(module);
    if (!handle) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    void* symbol = dlsym(handle.get(), procName);
    // dlsym also searches the module's dependencies; a module exports only what it defines itself.
    Dl_info info{};
    const HMODULE owner = module ? module : platform::MainModule();
    if (!symbol || !dladdr(symbol, &info) || info.dli_fbase != static_cast<void*>(owner)) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE module) {
    if (module == platform::MainModule() || module == platform::Kernel32())
        return TRUE;
    platform::DlHandle handle = platform::OpenLoaded(module);
    if (!handle) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // One close for the reference OpenLoaded took, one for the LoadLibraryW being undone.
    void* raw = handle.release();
    dlclose(raw);
    return dlclose(raw) == 0 ? TRUE : FALSE;
}

HMODULE GetModuleHandleW(LPCWSTR moduleName) {
    if (!moduleName)
        return platform::MainModule();
    if (platform::IsKernel32(moduleName))
        return platform::Kernel32();
    const std::string path = platform::Resolve(moduleName);
    platform::DlHandle handle(path.empty() ? nullptr : dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD));
    if (!handle) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return platform::BaseOf(handle.get());
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
    if (!fileName || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    const std::string host = platform::module::HostPath(module);
    if (host.empty()) {
        fileName[0] = 0;
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    std::u16string dos = platform::path::ToDosPath(host);
    const bool isExecutable = !module || module == platform::MainModule();
    if (const char* hostProgram = std::getenv(platform::module::kHostProgramVariable); isExecutable && hostProgram) {
        const std::u16string name = platform::ToUtf16(hostProgram);
        if (name.find(u'\\') != std::u16string::npos)
            dos = name;
        else
            dos = dos.substr(0, dos.rfind(u'\\') + 1) + name;
    }
    DWORD result = 0;
    platform::CopyOut(dos, fileName, size, result);
    return result;
}
