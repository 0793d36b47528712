// Kernel internals shared by the kernel files of platform/base: errno mapping, the one handle table of every
// kernel object kind, and the dispatcher that waits on them. Not part of the Windows interface.
#pragma once

#include "platform/base/windows.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>

namespace platform::kernel {

DWORD ErrorFromErrno(int error);
void SetLastErrorFromErrno(int error);

// Every object a HANDLE can name (files, mappings, threads, events, mutexes, semaphores, searches).
class Object {
public:
    virtual ~Object() = default;
};

HANDLE AddHandle(std::shared_ptr<Object> object); // NULL (ERROR_NOT_ENOUGH_MEMORY) when the table is full
std::shared_ptr<Object> FindHandle(HANDLE handle);
std::shared_ptr<Object> TakeHandle(HANDLE handle); // removes the entry; the object dies with its last reference

// The object of a handle when it is of kind T; otherwise null with ERROR_INVALID_HANDLE.
template <typename T> std::shared_ptr<T> Get(HANDLE handle) {
    auto object = std::dynamic_pointer_cast<T>(FindHandle(handle));
    if (!object)
        SetLastError(ERROR_INVALID_HANDLE);
    return object;
}

// An open file. Its access and share modes are checked against the other opens of the same file in this process
// (Windows sharing rules); a file mapping keeps the File alive, as a section keeps its file open on Windows.
class File : public Object {
public:
    File(int fd, DWORD access, DWORD share, bool deleteOnClose, std::string hostPath);
    ~File() override;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    int fd() const { return m_fd; }
    bool CanRead() const;
    bool CanWrite() const;

private:
    int m_fd;
    DWORD m_access;
    DWORD m_share;
    bool m_deleteOnClose;
    std::string m_hostPath;
    unsigned long long m_device = 0;
    unsigned long long m_inode = 0;
};

// 100-nanosecond intervals since 1601 from a POSIX time.
FILETIME ToFileTime(long long seconds, long nanoseconds);

// FILE_ATTRIBUTE_* of a file-system entry.
DWORD AttributesOf(const struct stat& st);

// Waitable objects change state under one dispatcher lock; every change wakes all waiters, who re-check.
std::mutex& DispatchLock();
void NotifyWaiters(); // call with the dispatcher lock held

// Gives up the mutexes the calling thread still owns, as abandoned (its end, before its handle is signalled).
void AbandonOwnedMutexes();

class Waitable : public Object {
public:
    // Both are called with the dispatcher lock held.
    virtual bool IsSignaled(DWORD threadId) const = 0;
    // Takes the object for the waiting thread (resets an auto-reset event, owns a mutex); true when abandoned.
    virtual bool Acquire(DWORD threadId) = 0;
};

} // namespace platform::kernel
