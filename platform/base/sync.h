// Internals of the synchronisation objects shared by sync.cpp and thread.cpp (not part of the Windows interface).
#pragma once

#include "platform/base/kernel.h"

#include <string>

namespace platform::kernel {

// The cross-process presence of one named object: a lock file per name in a per-user folder (one sub-folder per
// C:\ root, so each installation, and each test with its own root, has its own names). Every process that holds
// the object keeps a shared flock on its file, so the name exists while any holder lives (the kernel drops the lock
// of a process that dies). Create/open/close take an exclusive lock on the sub-folder's ".lock" file, so a probe and
// the conversion that follows it are atomic among processes. The last holder to close removes the file, and the
// sub-folder with its last name; files of processes that died are removed by the next process that uses names.
class NamePresence {
public:
    // Unshared: there is no private folder of names (see MakePrivateFolder), so the name lives in this process only.
    enum class Result { Created, Opened, Missing, WrongKind, Failed, Unshared };
    // kind is one letter stored in the file ('M' mutex, 'E' event) so that another kind of the same name is refused.
    static Result Acquire(const std::u16string& name, char kind, bool create, std::unique_ptr<NamePresence>& out);
    ~NamePresence();
    NamePresence(const NamePresence&) = delete;
    NamePresence& operator=(const NamePresence&) = delete;

    // The folder of the lock files of the current root; "" when names are not shared between processes.
    static std::string Folder();

private:
    NamePresence(int fd, std::string file, std::string folder)
        : m_fd(fd), m_file(std::move(file)), m_folder(std::move(folder)) {}
    int m_fd;
    std::string m_file;
    std::string m_folder;
};

// Makes `folder` with mode 0700 when it is missing, then checks without following links that it is a real folder,
// owned by this user, of mode 0700: "" when it is, else what is wrong with it ("is a symbolic link", ...). A folder
// of names that another user could have made or can write would let that user fake or remove our names.
std::string MakePrivateFolder(const std::string& folder);

} // namespace platform::kernel
