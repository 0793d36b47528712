// Reading a resource manifest and the files it names into resources ready to be written out.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform::rc {

// Resource type codes, as the run time knows them (RT_* values).
enum class Type : std::uint32_t { Cursor = 1, Bitmap = 2, Icon = 3, Dialog = 5, String = 6, RcData = 10 };

struct Resource {
    std::uint32_t type;
    std::uint32_t id;
    std::vector<unsigned char> data;
};

struct Compiled {
    std::vector<Resource> resources;           // sorted by (type, id), no duplicates
    std::vector<std::filesystem::path> inputs; // every file read, for the build's dependency tracking
};

// A fault in an input, with the file and line it was found at.
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the manifest and everything it names. Throws InputError.
Compiled CompileManifest(const std::filesystem::path& manifest);

// Parses the text of one string-table file into (id, UTF-16 text) pairs; `where` names the file in errors.
std::vector<std::pair<std::uint32_t, std::u16string>> ParseStringTable(const std::string& text,
                                                                       const std::string& where);

// Packs strings into RT_STRING blocks of 16 (see resource_table.h).
std::vector<Resource> PackStringBlocks(const std::vector<std::pair<std::uint32_t, std::u16string>>& strings);

} // namespace platform::rc
