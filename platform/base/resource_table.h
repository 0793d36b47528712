// The layout of compiled module resources, shared by the resource compiler's output and the run-time lookup.
// Header only and plain data, so a data-only module (a language string library) needs nothing else.
//
// A table lists entries sorted by (type, id), each type its own namespace of ids. Entry data by type:
//   RT_STRING  (6)  block k holds the strings 16*(k-1) .. 16*k-1: 16 times { WORD length; WCHAR text[length] }
//                   (UTF-16, not terminated; length 0 = no string with that id)
//   RT_BITMAP  (2)  the .bmp file without its 14-byte file header: BITMAPINFOHEADER, colour table, pixels
//   RT_CURSOR  (1)  a cursor file (.cur); a cursor drawn as text (.cursor) is compiled into one
//   RT_DIALOG  (5), RT_ICON (3), RT_RCDATA (10)  the source file's bytes, unchanged
// Every data block starts 8-byte aligned.
#pragma once

#include <cstdint>

namespace platform::resource {

inline constexpr std::uint32_t kTableMagic = 0x52534354; // "TCSR"
inline constexpr std::uint32_t kTableVersion = 1;

struct Entry {
    std::uint32_t type;
    std::uint32_t id;
    std::uint32_t size;
    const void* data;
};

struct Table {
    std::uint32_t magic;
    std::uint32_t version;
    std::uint32_t count;
    const Entry* entries;
};

// The one symbol a data-only resource module exports.
inline constexpr const char* kDataModuleSymbol = "platform_resource_table";

// Called by the static initialisation of a module's compiled resources (defined in resource.cpp).
void RegisterModuleTable(const Table* table);

} // namespace platform::resource
