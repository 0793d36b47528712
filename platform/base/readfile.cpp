#include "platform/base/readfile.h"

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <stdexcept>
#include <unistd.h>

namespace platform::file {

bool ReadWholeFile(const std::string& hostPath, std::string& out, struct stat* status) {
    out.clear();
    // O_NONBLOCK: a FIFO planted under the name must not hang the open; a regular file ignores it.
    const int fd = open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    try {
        // /proc files report size 0 yet have content: read to the end whatever the size says.
        if (ok && st.st_size > 0)
            out.reserve(static_cast<size_t>(st.st_size));
        char buffer[65536];
        while (ok) {
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                ok = n == 0;
                break;
            }
            out.append(buffer, static_cast<size_t>(n));
        }
    } catch (const std::bad_alloc&) {
        ok = false;
    } catch (const std::length_error&) {
        ok = false;
    }
    close(fd);
    if (!ok)
        out = std::string();
    else if (status)
        *status = st;
    return ok;
}

} // namespace platform::file
