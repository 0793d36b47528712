#include "companions/twaindsm/SourceCatalog.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace twaindsm {

std::string DataSourceFolder() {
    const char* env = std::getenv("TWAIN_DS_PATH");
    return (env != nullptr && *env != '\0') ? env : "/usr/local/lib/twain";
}

namespace {

std::vector<fs::path> SortedEntries(const fs::path& folder) {
    std::vector<fs::path> entries;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        entries.push_back(it->path());
    std::sort(entries.begin(), entries.end());
    return entries;
}

void Collect(const fs::path& folder, bool isRoot, int depth, std::vector<std::string>& out) {
    if (depth > 8) // a symbolic-link loop must not hang the enumeration
        return;
    bool found = isRoot; // files lying in the data-source folder itself are not sources
    for (const fs::path& entry : SortedEntries(folder)) {
        std::error_code ec;
        if (fs::is_directory(entry, ec)) {
            Collect(entry, false, depth + 1, out);
        } else if (!found && fs::is_regular_file(entry, ec) &&
                   entry.filename().string().find(".ds") != std::string::npos) {
            out.push_back(entry.string());
            found = true;
        }
    }
}

} // namespace

std::vector<std::string> FindSourceFiles(const std::string& folder) {
    std::vector<std::string> files;
    Collect(fs::path(folder), true, 0, files);
    return files;
}

} // namespace twaindsm
