// Whole files read into memory by the platform's own readers (INI files, registry hives, bitmap files, /proc).
#pragma once

#include <string>
#include <sys/stat.h>

namespace platform::file {

// Reads the regular file at a POSIX path into `out`; false (out empty) when it is missing, is no regular file (a
// folder, a device, a pipe), cannot be read or does not fit in memory. Never throws. `status`, when given, receives
// the file's status as it was when it was opened.
bool ReadWholeFile(const std::string& hostPath, std::string& out, struct stat* status = nullptr);

} // namespace platform::file
