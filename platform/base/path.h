// The one place where DOS paths meet POSIX paths.
//   C:\...  is the per-user root folder ($PLATFORM_ROOT, default $HOME/.cdrive), created on demand;
//   Z:\...  is the POSIX file system from /.
// '/' is accepted as a separator (a path that starts with a single '/' is a POSIX path, on Z:), relative paths are
// taken against the current directory, and each component is looked up case-insensitively when the exact name does
// not exist (trailing dots and blanks dropped, as Windows does), so "C:\WINDOWS\Scanner.INI" finds
// ".../Windows/scanner.ini".
#pragma once

#include "platform/base/wintypes.h"

#include <string>
#include <string_view>

namespace platform::path {

// The POSIX path a DOS path names, for open(), fopen() and libraries; "" when it names no mapped drive (another
// drive letter, a UNC share) or is empty. Missing components are kept as written, so the result can be created.
std::string ToHostPath(const WCHAR* dosPath);
std::string ToHostPath(std::u16string_view dosPath);

// The DOS path of a POSIX path: "C:\..." under the root, "Z:\..." elsewhere. Relative paths are taken against the
// process's POSIX working directory.
std::u16string ToDosPath(const std::string& hostPath);

// The absolute, normalised DOS form ("C:\Temp\a.txt"): separators made backslashes, "." and ".." resolved against
// the current directory. No file-system lookups.
std::u16string FullDosPath(std::u16string_view dosPath);

// The POSIX folder that is C:\, without trailing slash, created when missing.
std::string Root();

// Creates a DOS folder and its parents; false when that fails.
bool EnsureDosFolder(std::u16string_view dosFolder);

// Windows-style wildcard match of one name: '*' and '?', case-insensitive; "*.*" also matches names without a dot.
bool MatchesWildcard(std::u16string_view pattern, std::u16string_view name);

// Case-insensitive equality of two names (simple case folding of the BMP).
bool NamesEqual(std::u16string_view a, std::u16string_view b);

} // namespace platform::path

namespace platform::testing {
// Makes SHGetFolderPathW / SHGetSpecialFolderPathW fail (no application-data folder) while set.
void SetKnownFoldersFail(bool fail);
} // namespace platform::testing
