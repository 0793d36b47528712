#include "settings/CfgFile.h"

#include "settings/FileHandle.h"
#include "settings/IniPath.h"
#include "settings/SafeFileWrite.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

namespace {

constexpr size_t kTagBufferSize = 256; // a tag holds at most 255 bytes
constexpr size_t kFieldMax = 127;      // a field value fits a 128-byte name or type
constexpr int kCommaRunMax = 130;
constexpr int kDataSlack = 32; // zero bytes behind every data block, so "string" data reads as terminated text
// The store's tree is four levels deep. A file nested far deeper is damaged, and refusing it keeps every recursive
// walk of a tree (writing, searching, freeing) within a few hundred frames.
constexpr int kMaxDepth = 256;

bool FileExists(const WCHAR* path) {
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

bool ReadAll(HANDLE file, std::string& out) {
    char chunk[1024];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr))
            return false;
        if (got == 0)
            return true;
        out.append(chunk, got);
    }
}

void SerializeNode(const CfgObject* node, std::string& out) {
    // The count written is the children actually present; a node with children carries no data, or the reader
    // would take the children's tags for its bytes.
    const bool hasChildren = !node->children.empty();
    const std::int32_t len = (!hasChildren && node->data && node->len > 0) ? node->len : 0;
    // "<object:%s,type:%s,len:%d,childobjs:%d>"
    out.append("<object:").append(node->name).append(",type:").append(node->type);
    out.append(",len:").append(std::to_string(len));
    out.append(",childobjs:").append(std::to_string(node->children.size())).append(">");
    if (len <= 0)
        out += '\n';
    if (hasChildren) {
        for (const CfgObject* child : node->children)
            SerializeNode(child, out);
    } else if (len > 0) {
        out.append(node->data, static_cast<size_t>(len));
    }
    out += "<endobj>\n";
}

// One field value of a tag: after the next ':' up to the next ','. A value that starts with a comma is the run of
// commas there without its last one, so a name made only of commas reads back.
bool ParseTagField(const std::string& text, size_t& pos, std::string& value) {
    size_t colon = text.find(':', pos);
    if (colon == std::string::npos)
        return false;
    size_t start = colon + 1;
    size_t end;
    if (start < text.size() && text[start] == ',') {
        int run = 0;
        while (start + run < text.size() && text[start + run] == ',' && run < kCommaRunMax)
            ++run;
        end = start + run - 1;
    } else {
        end = text.find(',', start);
        if (end == std::string::npos)
            return false;
    }
    if (end - start > kFieldMax)
        return false;
    value.assign(text, start, end - start);
    pos = end;
    return true;
}

CfgObject* ParseObjectTag(const std::string& text, size_t remaining) {
    if (text.compare(0, 6, "object") != 0)
        return nullptr;
    std::string name, type, len, count;
    size_t pos = 6;
    if (!ParseTagField(text, pos, name) || !ParseTagField(text, pos, type) || !ParseTagField(text, pos, len) ||
        !ParseTagField(text, pos, count))
        return nullptr;
    long dataLen = std::strtol(len.c_str(), nullptr, 10);
    if (dataLen > 0 && (static_cast<unsigned long>(dataLen) > remaining || dataLen > INT32_MAX - kDataSlack))
        return nullptr; // the data would run past the end of the file
    auto* node = new CfgObject;
    std::memcpy(node->name, name.data(), name.size());
    std::memcpy(node->type, type.data(), type.size());
    node->childobjs = static_cast<std::int32_t>(std::strtol(count.c_str(), nullptr, 10));
    if (dataLen > 0) {
        node->len = static_cast<std::int32_t>(dataLen);
        node->data = static_cast<char*>(std::calloc(static_cast<size_t>(dataLen) + kDataSlack, 1));
        if (!node->data) {
            delete node;
            return nullptr;
        }
    }
    return node;
}

// The count in a file is only a claim; the operations rely on the children actually read.
void NormaliseChildCounts(CfgObject* node) {
    node->childobjs = static_cast<std::int32_t>(node->children.size());
    for (CfgObject* child : node->children)
        NormaliseChildCounts(child);
}

} // namespace

CfgObject* NewCfgObject(const char* name, const char* type, const void* data, std::int32_t len) {
    auto* node = new CfgObject;
    std::snprintf(node->name, sizeof node->name, "%s", name ? name : "");
    std::snprintf(node->type, sizeof node->type, "%s", type ? type : "");
    // A length without data would make the writer read from nowhere: such a node is stored as one without data.
    if (data && len > 0) {
        node->data = static_cast<char*>(std::calloc(static_cast<size_t>(len) + kDataSlack, 1));
        if (!node->data) {
            delete node;
            return nullptr;
        }
        std::memcpy(node->data, data, static_cast<size_t>(len));
        node->len = len;
    }
    return node;
}

void DeleteCfgObject(CfgObject* node) {
    if (!node)
        return;
    for (CfgObject* child : node->children)
        DeleteCfgObject(child);
    std::free(node->data);
    delete node;
}

std::string SerializeCfgTree(const CfgObject* root) {
    std::string out;
    if (root)
        SerializeNode(root, out);
    return out;
}

CfgObject* ParseCfgTree(const char* bytes, size_t size, bool salvage) {
    enum class State { Outside, InTag, Data };
    State state = State::Outside;
    std::string tag;
    tag.reserve(kTagBufferSize);
    bool tagTooLong = false;
    std::string recent; // the last bytes of the tag, to spot its end words
    bool endWordSeen = false;
    CfgObject* root = nullptr;
    CfgObject* current = nullptr;
    bool rootClosed = false;
    bool damaged = false;
    int depth = 0; // nodes from the root down to the current one
    size_t dataDone = 0;
    // A refused tag opens a stand-in node that collects its subtree, so the subtree's data is still counted and its
    // endobj still matches; the stand-ins are dropped at the end.
    std::vector<CfgObject*> refused;

    size_t i = 0;
    while (i < size && !damaged) {
        char c = bytes[i];
        if (state == State::Data) {
            size_t take = std::min(size - i, static_cast<size_t>(current->len) - dataDone);
            std::memcpy(current->data + dataDone, bytes + i, take);
            dataDone += take;
            i += take;
            if (dataDone == static_cast<size_t>(current->len))
                state = State::Outside;
            continue;
        }
        ++i;
        if (state == State::Outside) {
            if (c == '<') {
                state = State::InTag;
                tag.clear();
                recent.clear();
                tagTooLong = false;
                endWordSeen = false;
            }
            continue;
        }
        // Inside a tag: '>' ends it only once the text holds "childobjs" or "endobj", so a '>' in a name is text.
        // The words are watched on every byte, also past what the tag buffer keeps.
        if (c != '>' || !endWordSeen) {
            if (tag.size() < kTagBufferSize - 2)
                tag += c;
            else
                tagTooLong = true;
            recent += c;
            if (recent.size() > 9) // "childobjs" is the longer word
                recent.erase(0, recent.size() - 9);
            endWordSeen = endWordSeen || recent.ends_with("childobjs") || recent.ends_with("endobj");
            continue;
        }
        tag += ',';
        state = State::Outside;
        if (tag.compare(0, 6, "endobj") == 0) {
            // The root stays current once closed: a later node joins its children, a later endobj changes nothing.
            if (!current) {
                damaged = true; // endobj before any node
            } else if (current->parent) {
                current = current->parent;
                --depth;
            } else {
                rootClosed = true;
            }
            continue;
        }
        if (root && ++depth > kMaxDepth) {
            damaged = true;
            continue;
        }
        CfgObject* node = tagTooLong ? nullptr : ParseObjectTag(tag, size - i);
        if (!node) {
            if (!root) {
                damaged = true; // the root itself is unusable
                continue;
            }
            node = new CfgObject;
            node->parent = current;
            refused.push_back(node);
            current = node;
            continue;
        }
        if (!root) {
            root = node;
            depth = 1;
        } else {
            node->parent = current;
            current->children.push_back(node);
        }
        current = node;
        if (node->len > 0) {
            state = State::Data;
            dataDone = 0;
        }
    }
    if (salvage && !damaged && root && !rootClosed && state == State::Data) {
        // The file ends inside a data block: that node is incomplete and goes; its parent stays open like the rest.
        if (current == root) {
            damaged = true;
        } else {
            auto& siblings = current->parent->children;
            siblings.erase(std::find(siblings.begin(), siblings.end(), current));
            DeleteCfgObject(current);
            current = root;
            state = State::Outside;
        }
    }
    if (salvage && !damaged && root && !rootClosed) {
        // Cut short after whole nodes: the nodes still open end where the file ends.
        current = root;
        rootClosed = true;
        if (state == State::InTag)
            state = State::Outside; // a tag cut in the middle made no node
    }
    for (CfgObject* node : refused)
        DeleteCfgObject(node);
    // An empty file, a cut tag or data block, or nodes still open: the file is not a tree.
    if (damaged || !root || !rootClosed || current != root || state != State::Outside) {
        DeleteCfgObject(root);
        return nullptr;
    }
    NormaliseChildCounts(root);
    return root;
}

std::string ReadNarrowVersion() {
    WCHAR ini[MAX_PATH] = {};
    GetIniPath(ini);
    WCHAR version[MAX_PATH] = {};
    GetPrivateProfileStringW(u"TWAIN", u"Version", u"", version, MAX_PATH, ini);
    char narrow[MAX_PATH * 3] = {};
    WideCharToMultiByte(CP_ACP, 0, version, -1, narrow, sizeof narrow, nullptr, nullptr);
    return narrow;
}

bool CreateDefaultCfgFile(const WCHAR* path) {
    if (!path)
        return false;
    {
        FileHandle probe(CreateFileW(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe.valid())
            return false;
    }
    std::string version = ReadNarrowVersion();
    CfgFile file;
    wcsncpy_s(file.path, MAX_PATH, path, _TRUNCATE);
    file.root = NewCfgObject("cfgobj", "null", nullptr, 0);
    CfgObject* node = NewCfgObject("version", "string", version.c_str(), static_cast<std::int32_t>(version.size() + 1));
    node->parent = file.root;
    file.root->children.push_back(node);
    file.root->childobjs = 1;
    bool saved = SaveCfgFile(&file);
    DeleteCfgObject(file.root);
    return saved;
}

CfgFile* LoadCfgFile(const WCHAR* path) {
    if (!path || wcsnlen(path, MAX_PATH) >= MAX_PATH)
        return nullptr;
    if (!FileExists(path) && !CreateDefaultCfgFile(path))
        return nullptr;
    std::string bytes;
    {
        FileHandle file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid() || !ReadAll(file.get(), bytes))
            return nullptr;
    }
    CfgObject* root = ParseCfgTree(bytes.data(), bytes.size());
    if (!root)
        return nullptr;
    auto* result = new CfgFile;
    wcscpy_s(result->path, MAX_PATH, path);
    result->root = root;
    return result;
}

CfgFile* SalvageCfgFile(const WCHAR* path) {
    if (!path || wcsnlen(path, MAX_PATH) >= MAX_PATH)
        return nullptr;
    std::string bytes;
    {
        FileHandle file(
            CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid() || !ReadAll(file.get(), bytes))
            return nullptr;
    }
    CfgObject* root = ParseCfgTree(bytes.data(), bytes.size(), true);
    if (!root)
        return nullptr;
    auto* result = new CfgFile;
    wcscpy_s(result->path, MAX_PATH, path);
    result->root = root;
    return result;
}

bool SaveCfgFile(CfgFile* file) {
    if (!file || !file->root)
        return false;
    std::string bytes;
    try {
        bytes = SerializeCfgTree(file->root);
    } catch (const std::bad_alloc&) {
        return false;
    }
    // Written beside the target first: a save cut short leaves the previous settings in place.
    return WriteFileReplacing(file->path, bytes.data(), bytes.size());
}

void CloseCfgFile(CfgFile* file) {
    if (!file)
        return;
    DeleteCfgObject(file->root);
    delete file;
}
