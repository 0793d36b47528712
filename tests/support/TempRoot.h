// A test's own C:\ root: a new folder under /tmp, taken for C:\ and removed with all it holds afterwards, and the
// files tests read and write below it directly.
#pragma once

#include "platform/base/testing.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace testsupport {

// Makes the new, empty folder /tmp/<name>-XXXXXX; its path, or "" when it cannot be made.
inline std::string MakeTempFolder(const std::string& name) {
    std::string pattern = "/tmp/" + name + "-XXXXXX";
    return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

// `folder` becomes C:\ of this process and, through PLATFORM_ROOT, of the libraries with a platform of their own that
// it loads and of the programs it starts.
inline void UseAsRoot(const std::string& folder) {
    setenv("PLATFORM_ROOT", folder.c_str(), 1);
    platform::testing::SetRoot(folder);
}

// Removes `folder` and everything below it; what cannot be removed stays.
inline void RemoveFolder(const std::string& folder) {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

inline std::string ReadBytes(const std::string& hostPath) {
    std::ifstream in(hostPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& hostPath, const std::string& bytes) {
    std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
    out << bytes;
}

} // namespace testsupport
