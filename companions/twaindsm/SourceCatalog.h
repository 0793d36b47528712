// Where data sources are installed: one per subfolder of the data-source folder, a regular file whose name
// contains ".ds".
#pragma once

#include <string>
#include <vector>

namespace twaindsm {

// The data-source folder: $TWAIN_DS_PATH, else /usr/local/lib/twain.
std::string DataSourceFolder();

// The source files under `folder`, at most one per subfolder (the first name in byte order), in a stable order.
std::vector<std::string> FindSourceFiles(const std::string& folder);

} // namespace twaindsm
