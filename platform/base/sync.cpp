// Events, mutexes, the waits on every waitable object, named objects across processes, critical sections.
#include "platform/base/sync.h"
#include "platform/base/lifetime.h"
#include "platform/base/path.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace platform;
using namespace platform::kernel;

namespace {

std::condition_variable& Changed() {
    static auto* changed = platform::KeepUntilUnload(new std::condition_variable);
    return *changed;
}

class Named : public Waitable {
public:
    ~Named() override;
    std::u16string name;                    // empty for an unnamed object
    std::unique_ptr<NamePresence> presence; // null for an unnamed object
};

class Event : public Named {
public:
    Event(bool manualReset, bool signaled) : manual(manualReset), signaled(signaled) {}
    bool IsSignaled(DWORD) const override { return signaled; }
    bool Acquire(DWORD) override {
        if (!manual)
            signaled = false;
        return false;
    }
    bool manual;
    bool signaled;
};

class Mutex;

// The mutexes a thread owns, released as abandoned when the thread ends.
struct Owned {
    std::vector<std::weak_ptr<Mutex>> mutexes;
    ~Owned();
};
platform::PerThread<Owned> t_owned;

class Mutex : public Named, public std::enable_shared_from_this<Mutex> {
public:
    bool IsSignaled(DWORD threadId) const override { return owner == 0 || owner == threadId; }
    bool Acquire(DWORD threadId) override {
        if (owner != threadId) {
            owner = threadId;
            // Remember each mutex once; drop those that died (without taking a reference that could be the last).
            auto& owned = t_owned->mutexes;
            std::weak_ptr<Mutex> self = weak_from_this();
            std::erase_if(owned, [](const std::weak_ptr<Mutex>& weak) { return weak.expired(); });
            bool known = false;
            for (const auto& weak : owned)
                known = known || (!weak.owner_before(self) && !self.owner_before(weak));
            if (!known)
                owned.push_back(std::move(self));
        }
        ++count;
        bool wasAbandoned = abandoned;
        abandoned = false;
        return wasAbandoned;
    }
    DWORD owner = 0;
    DWORD count = 0;
    bool abandoned = false;
};

void Abandon(Owned& owned) {
    DWORD self = GetCurrentThreadId();
    std::vector<std::shared_ptr<Mutex>> held; // released after the dispatcher lock, as it may be the last reference
    std::lock_guard lock(DispatchLock());
    for (auto& weak : owned.mutexes) {
        if (auto mutex = weak.lock(); mutex && mutex->owner == self) {
            mutex->owner = 0;
            mutex->count = 0;
            mutex->abandoned = true;
            held.push_back(std::move(mutex));
        }
    }
    owned.mutexes.clear();
    NotifyWaiters();
}

// When the module is unloaded the thread lives on: its mutexes go with the module, nothing is abandoned.
Owned::~Owned() {
    if (!platform::Unloading())
        Abandon(*this);
}

// Names of this process's named objects: the same name gives the same object.
struct Registry {
    std::recursive_mutex lock; // an object that dies inside a lookup unregisters itself under the same lock
    std::map<std::u16string, std::weak_ptr<Named>> objects;
};

Registry& TheRegistry() {
    static auto* registry = platform::KeepUntilUnload(new Registry);
    return *registry;
}

Named::~Named() {
    if (name.empty())
        return;
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    auto it = registry.objects.find(name);
    if (it != registry.objects.end() && it->second.expired())
        registry.objects.erase(it);
    presence.reset(); // under the registry lock, so a concurrent re-create sees a consistent state
}

// "Local\x" is the same object as "x"; "Global\x" is a name of its own.
std::u16string Canonical(LPCWSTR name) {
    std::u16string_view view(name);
    if (view.substr(0, 6) == u"Local\\")
        view.remove_prefix(6);
    return std::u16string(view);
}

constexpr char Kind(const Event*) {
    return 'E';
}
constexpr char Kind(const Mutex*) {
    return 'M';
}

// Creates or opens a named object of type T. `make` builds a new object; `created` tells whether it is new.
template <typename T, typename Make> HANDLE CreateOrOpen(LPCWSTR rawName, bool create, Make make) {
    if (!rawName || !*rawName) {
        if (!create) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        HANDLE handle = AddHandle(make(true));
        if (handle)
            SetLastError(NO_ERROR);
        return handle;
    }
    std::u16string name = Canonical(rawName);
    if (name.size() >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return nullptr;
    }
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    if (auto existing = registry.objects[name].lock()) {
        auto typed = std::dynamic_pointer_cast<T>(existing);
        if (!typed) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        HANDLE handle = AddHandle(typed);
        if (handle)
            SetLastError(create ? ERROR_ALREADY_EXISTS : NO_ERROR);
        return handle;
    }
    std::unique_ptr<NamePresence> presence;
    const NamePresence::Result result = NamePresence::Acquire(name, Kind(static_cast<T*>(nullptr)), create, presence);
    switch (result) {
    case NamePresence::Result::Missing:
        registry.objects.erase(name);
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    case NamePresence::Result::WrongKind:
        registry.objects.erase(name);
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    case NamePresence::Result::Failed:
        registry.objects.erase(name);
        return nullptr;
    case NamePresence::Result::Unshared:
        if (!create) {
            registry.objects.erase(name);
            SetLastError(ERROR_FILE_NOT_FOUND);
            return nullptr;
        }
        break;
    case NamePresence::Result::Created:
    case NamePresence::Result::Opened:
        break;
    }
    // When another process holds the name, this process gets its own object of that name (initial state unset).
    const bool created = result != NamePresence::Result::Opened;
    std::shared_ptr<T> object = make(created);
    object->name = name;
    object->presence = std::move(presence);
    registry.objects[name] = object;
    HANDLE handle = AddHandle(std::move(object));
    if (handle)
        SetLastError(create && !created ? ERROR_ALREADY_EXISTS : NO_ERROR);
    return handle;
}

} // namespace

namespace platform::kernel {

void NotifyWaiters() {
    Changed().notify_all();
}

void AbandonOwnedMutexes() {
    if (Owned* owned = t_owned.Find())
        Abandon(*owned);
}

namespace {

// The exclusive lock of one root's folder ("<folder>/.lock"), held while a name in it is made, probed, dropped or
// reclaimed. The last name to go takes the folder with it; a process that opened the lock file just before finds it
// unlinked once it holds the lock, and starts again.
class FolderLock {
public:
    FolderLock() = default;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock() {
        if (m_fd >= 0)
            close(m_fd); // drops the lock
    }

    // With `create` a missing folder is made; without, a missing folder fails with ENOENT: it holds no names.
    bool Take(const std::string& folder, bool create, bool wait = true) {
        const std::string lockFile = folder + "/.lock";
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (create && mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
                return false;
            const int fd = open(lockFile.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0600);
            if (fd < 0) {
                if (errno == ENOENT && create)
                    continue; // the folder went between the two calls
                return false;
            }
            struct stat status {};
            if (flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB)) != 0 || fstat(fd, &status) != 0) {
                const int error = errno;
                close(fd);
                errno = error;
                return false;
            }
            if (status.st_nlink != 0) {
                m_fd = fd;
                return true;
            }
            close(fd); // removed with its folder while this process waited
        }
        errno = EAGAIN;
        return false;
    }

    // Removes the names that nobody holds any more, left by processes that died; with `removeEmpty` also the folder
    // itself once no name is left in it. Only while the lock is held.
    static void Tidy(const std::string& folder, bool removeEmpty) {
        DIR* dir = opendir(folder.c_str());
        if (dir == nullptr)
            return;
        bool kept = false;
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == ".." || name == ".lock")
                continue;
            const std::string file = folder + "/" + name;
            const int fd = name.starts_with("n-") ? open(file.c_str(), O_RDWR | O_CLOEXEC) : -1;
            if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0)
                unlink(file.c_str());
            else
                kept = true;
            if (fd >= 0)
                close(fd);
        }
        closedir(dir);
        if (removeEmpty && !kept) {
            unlink((folder + "/.lock").c_str());
            rmdir(folder.c_str());
        }
    }

private:
    int m_fd = -1;
};

// The per-user folder that holds one folder per root; "" when the only candidate is not private to this user, and
// named objects are then kept within each process.
const std::string& BaseFolder() {
    static const std::string base = [] {
        std::string folder;
        if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime && access(runtime, W_OK) == 0)
            folder = std::string(runtime) + "/platform-objects";
        else if (access("/dev/shm", W_OK) == 0)
            folder = "/dev/shm/platform-objects-" + std::to_string(getuid());
        else
            folder = "/tmp/platform-objects-" + std::to_string(getuid());
        const std::string problem = MakePrivateFolder(folder);
        if (problem.empty())
            return folder;
        // Another user's folder (or link) there could fake or remove our names: better no names across processes.
        const std::string line = "platform: named objects are not shared with other processes: " + folder + " " +
                                 problem + "; remove it to share them again\n";
        (void)!write(STDERR_FILENO, line.data(), line.size());
        return std::string();
    }();
    return base;
}

// The names of processes that died, in every root, and the folders they leave empty; run before a name is made, so
// that nothing of a process that died outlives the next name. A folder another process has locked is left for later.
void ReclaimDeadNames() {
    const std::string& base = BaseFolder();
    if (base.empty())
        return;
    DIR* dir = opendir(base.c_str());
    if (dir == nullptr)
        return;
    std::vector<std::string> folders;
    while (const dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.')
            folders.push_back(base + "/" + entry->d_name);
    closedir(dir);
    for (const std::string& folder : folders) {
        FolderLock lock;
        if (lock.Take(folder, false, false))
            FolderLock::Tidy(folder, true);
        else if (errno == ENOENT)
            rmdir(folder.c_str()); // without its lock file: empty, or not ours
    }
}

} // namespace

std::string MakePrivateFolder(const std::string& folder) {
    if (mkdir(folder.c_str(), 0700) == 0) {
        if (chmod(folder.c_str(), 0700) != 0) // whatever the umask took away
            return "cannot be given mode 0700";
    } else if (errno != EEXIST) {
        return std::string("cannot be made (") + std::strerror(errno) + ")";
    }
    // lstat: a symbolic link planted under the name is refused, not followed. In a sticky folder such as /dev/shm
    // nobody else can rename or remove a folder of ours once it passed these checks.
    struct stat status {};
    if (lstat(folder.c_str(), &status) != 0)
        return std::string("cannot be examined (") + std::strerror(errno) + ")";
    if (S_ISLNK(status.st_mode))
        return "is a symbolic link";
    if (!S_ISDIR(status.st_mode))
        return "is not a folder";
    if (status.st_uid != geteuid())
        return "belongs to user " + std::to_string(status.st_uid);
    if ((status.st_mode & 07777) != 0700)
        return Format("has mode %04o instead of 0700", static_cast<unsigned>(status.st_mode & 07777));
    return std::string();
}

std::string NamePresence::Folder() {
    if (BaseFolder().empty())
        return std::string();
    // One namespace per C:\ root: the processes of one installation (or of one test) see each other's names.
    std::string root = path::Root();
    unsigned long long hash = 14695981039346656037ULL; // FNV-1a
    for (unsigned char c : root)
        hash = (hash ^ c) * 1099511628211ULL;
    return BaseFolder() + Format("/%016llx", hash);
}

NamePresence::Result NamePresence::Acquire(const std::u16string& name, char kind, bool create,
                                           std::unique_ptr<NamePresence>& out) {
    if (BaseFolder().empty())
        return Result::Unshared;
    if (create)
        ReclaimDeadNames();
    std::string folder = Folder();
    // File names keep letters, digits and a few marks; every other unit is written as %XXXX. The "n-" in front
    // keeps names apart from the folder's own ".lock" and from "." and "..".
    std::string file = folder + "/n-";
    for (char16_t c : name) {
        if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' ||
            c == u'-' || c == u'.')
            file += static_cast<char>(c);
        else
            file += Format("%%%04X", static_cast<unsigned>(c));
    }
    FolderLock lock;
    if (!lock.Take(folder, create)) {
        if (errno == ENOENT)
            return Result::Missing;
        SetLastErrorFromErrno(errno);
        return Result::Failed;
    }
    FolderLock::Tidy(folder, false);

    int fd = open(file.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0600);
    if (fd < 0) {
        if (errno == ENOENT)
            return Result::Missing;
        SetLastErrorFromErrno(errno);
        return Result::Failed;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        // Nobody holds the name: the file was just made (a leftover was reclaimed by the tidying above).
        if (!create) {
            unlink(file.c_str());
            close(fd);
            return Result::Missing;
        }
        if (ftruncate(fd, 0) != 0 || write(fd, &kind, 1) != 1 || flock(fd, LOCK_SH) != 0) {
            SetLastErrorFromErrno(errno);
            unlink(file.c_str());
            close(fd);
            return Result::Failed;
        }
        out.reset(new NamePresence(fd, file, folder));
        return Result::Created;
    }
    char stored = 0;
    if (pread(fd, &stored, 1, 0) != 1 || stored != kind) {
        close(fd);
        return Result::WrongKind;
    }
    if (flock(fd, LOCK_SH) != 0) {
        SetLastErrorFromErrno(errno);
        close(fd);
        return Result::Failed;
    }
    out.reset(new NamePresence(fd, file, folder));
    return Result::Opened;
}

NamePresence::~NamePresence() {
    FolderLock lock;
    const bool locked = lock.Take(m_folder, false);
    // The last holder removes the file, and the folder when it was the last name; other holders keep their shared
    // locks, which makes this conversion fail.
    if (flock(m_fd, LOCK_EX | LOCK_NB) == 0)
        unlink(m_file.c_str());
    close(m_fd);
    if (locked)
        FolderLock::Tidy(m_folder, true);
}

} // namespace platform::kernel

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name) {
    return CreateOrOpen<Event>(name, true, [&](bool created) {
        return std::make_shared<Event>(manualReset != FALSE, created && initialState != FALSE);
    });
}

HANDLE OpenEventW(DWORD, BOOL, LPCWSTR name) {
    return CreateOrOpen<Event>(name, false, [](bool) { return std::make_shared<Event>(true, false); });
}

BOOL SetEvent(HANDLE handle) {
    auto event = Get<Event>(handle);
    if (!event)
        return FALSE;
    std::lock_guard lock(DispatchLock());
    event->signaled = true;
    NotifyWaiters();
    return TRUE;
}

BOOL ResetEvent(HANDLE handle) {
    auto event = Get<Event>(handle);
    if (!event)
        return FALSE;
    std::lock_guard lock(DispatchLock());
    event->signaled = false;
    return TRUE;
}

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCWSTR name) {
    return CreateOrOpen<Mutex>(name, true, [&](bool created) {
        auto mutex = std::make_shared<Mutex>();
        if (created && initialOwner) {
            std::lock_guard lock(DispatchLock());
            mutex->Acquire(GetCurrentThreadId());
        }
        return mutex;
    });
}

HANDLE OpenMutexW(DWORD, BOOL, LPCWSTR name) {
    return CreateOrOpen<Mutex>(name, false, [](bool) { return std::make_shared<Mutex>(); });
}

BOOL ReleaseMutex(HANDLE handle) {
    auto mutex = Get<Mutex>(handle);
    if (!mutex)
        return FALSE;
    std::lock_guard lock(DispatchLock());
    if (mutex->owner != GetCurrentThreadId()) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    if (--mutex->count == 0) {
        mutex->owner = 0;
        NotifyWaiters();
    }
    return TRUE;
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::shared_ptr<Waitable> objects[MAXIMUM_WAIT_OBJECTS];
    for (DWORD i = 0; i < count; ++i) {
        objects[i] = std::dynamic_pointer_cast<Waitable>(FindHandle(handles[i]));
        if (!objects[i]) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
    }
    const DWORD self = GetCurrentThreadId();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    std::unique_lock lock(DispatchLock());
    for (;;) {
        if (waitAll) {
            bool all = true;
            for (DWORD i = 0; i < count && all; ++i)
                all = objects[i]->IsSignaled(self);
            if (all) {
                DWORD result = WAIT_OBJECT_0;
                for (DWORD i = 0; i < count; ++i)
                    if (objects[i]->Acquire(self) && result == WAIT_OBJECT_0)
                        result = WAIT_ABANDONED_0 + i;
                NotifyWaiters();
                return result;
            }
        } else {
            for (DWORD i = 0; i < count; ++i) {
                if (objects[i]->IsSignaled(self)) {
                    bool abandoned = objects[i]->Acquire(self);
                    return (abandoned ? WAIT_ABANDONED_0 : WAIT_OBJECT_0) + i;
                }
            }
        }
        if (milliseconds == 0)
            return WAIT_TIMEOUT;
        if (milliseconds == INFINITE)
            Changed().wait(lock);
        else if (Changed().wait_until(lock, deadline) == std::cv_status::timeout &&
                 std::chrono::steady_clock::now() >= deadline)
            milliseconds = 0; // one last look, then time out
    }
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
    return WaitForMultipleObjects(1, &object, FALSE, milliseconds);
}

BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR descriptor, DWORD revision) {
    if (!descriptor || revision != SECURITY_DESCRIPTOR_REVISION) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *static_cast<SECURITY_DESCRIPTOR*>(descriptor) = SECURITY_DESCRIPTOR{};
    static_cast<SECURITY_DESCRIPTOR*>(descriptor)->Revision = SECURITY_DESCRIPTOR_REVISION;
    return TRUE;
}

BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, BOOL, PACL dacl, BOOL) {
    if (!descriptor) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    static_cast<SECURITY_DESCRIPTOR*>(descriptor)->Dacl = dacl;
    return TRUE;
}

namespace {
std::recursive_mutex* LockOf(LPCRITICAL_SECTION section) {
    return static_cast<std::recursive_mutex*>(section->lock);
}
} // namespace

void InitializeCriticalSection(LPCRITICAL_SECTION section) {
    *section = CRITICAL_SECTION{};
    section->lock = new std::recursive_mutex;
}
BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION section, DWORD) {
    InitializeCriticalSection(section);
    return TRUE;
}
void EnterCriticalSection(LPCRITICAL_SECTION section) {
    LockOf(section)->lock();
}
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section) {
    return LockOf(section)->try_lock() ? TRUE : FALSE;
}
void LeaveCriticalSection(LPCRITICAL_SECTION section) {
    LockOf(section)->unlock();
}
void DeleteCriticalSection(LPCRITICAL_SECTION section) {
    delete LockOf(section);
    section->lock = nullptr;
}
