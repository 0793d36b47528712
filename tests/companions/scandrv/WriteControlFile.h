// The simulated device's control file as tests write it: written beside and renamed over it, so a driver call on
// another thread (a job under way, a discovery held by "never") never reads it half written.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

namespace scandrv_test {

inline void WriteControlFile(const std::string& root, const std::string& text) {
    const std::string file = root + "/scandrv.conf";
    std::ofstream(file + ".new", std::ios::trunc) << text;
    std::filesystem::rename(file + ".new", file);
}

} // namespace scandrv_test
