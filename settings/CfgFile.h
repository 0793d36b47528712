// The tree settings file: named nodes that hold either child nodes or a block of raw bytes.
//
// A node on disk (no header, no byte-order mark, numbers as decimal text):
//   <object:NAME,type:TYPE,len:LEN,childobjs:COUNT>   then LF when LEN <= 0, nothing when LEN > 0
//   the COUNT children, recursively            (a node with children)
//   or exactly LEN raw bytes                   (a node without children)
//   <endobj> LF
// The whole file is the serialisation of the root. A tag is at most 255 bytes.
#pragma once

#include "platform/base/windows.h"

#include <cstdint>
#include <string>
#include <vector>

struct CfgObject {
    char name[128] = {};              // UTF-8, terminated
    char type[128] = {};              // "null", "binary" or "string"
    std::int32_t childobjs = 0;       // number of children
    std::int32_t len = 0;             // bytes of data; 0 for containers
    char* data = nullptr;             // len + 32 bytes, zero beyond the data; null when len <= 0
    CfgObject* parent = nullptr;      // null for the root
    std::vector<CfgObject*> children; // owned, in file order
};

struct CfgFile {
    WCHAR path[MAX_PATH] = {};
    CfgObject* root = nullptr;
};

// Loads the file, creating it with the default content when it does not exist. Null when the path is null, the
// file can neither be created nor opened, or it holds no well-formed tree.
CfgFile* LoadCfgFile(const WCHAR* path);
// Writes the tree to a temporary file beside the target and renames it over the target, so an interrupted save
// keeps the previous content. FALSE when nothing could be written.
bool SaveCfgFile(CfgFile* file);
// What can still be read of a file that LoadCfgFile refuses because it was cut short (see ParseCfgTree); null when
// even that fails. Reads the file only.
CfgFile* SalvageCfgFile(const WCHAR* path);
void CloseCfgFile(CfgFile* file);
// Writes the new-file tree: root "cfgobj" with the child "version" holding the INI [TWAIN] "Version".
bool CreateDefaultCfgFile(const WCHAR* path);

// The in-memory forms of the writer and the loader, used by the file operations above.
std::string SerializeCfgTree(const CfgObject* root);
// Null for an empty, truncated or damaged tree. With `salvage`, a tree cut short keeps its whole nodes: the nodes
// still open end with the file and a node whose data was cut is left out.
CfgObject* ParseCfgTree(const char* bytes, size_t size, bool salvage = false);
CfgObject* NewCfgObject(const char* name, const char* type, const void* data, std::int32_t len);
void DeleteCfgObject(CfgObject* node);

// The INI [TWAIN] "Version" narrowed to single-byte text (the content of the "version" node, without its zero).
std::string ReadNarrowVersion();
