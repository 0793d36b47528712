#include "platform/base/registry.h"

#include "platform/base/path.h"
#include "platform/base/readfile.h"
#include "platform/base/winbase.h"
#include "platform/base/wstring.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

// Hive file layout (UTF-8 text, one record a line; names are quoted with \\ \" \n \r escapes; data is hex):
//   platform-registry 1
//   key "Software\Vendor\Product"
//   value "Language" 1 456e676c69736800
// A value belongs to the key line before it. The root key of a hive has no line of its own. A line that cannot be
// read stays as it is, after the values of the key it follows.
namespace platform::registry {
namespace {

constexpr const char* kHeader = "platform-registry 1";

struct Value {
    std::u16string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct Key {
    std::u16string path; // components joined by backslashes, no leading or trailing one
    std::vector<Value> values;
    std::vector<std::string> unreadable; // lines after the key line that could not be read, as they stand
};

struct Hive {
    std::vector<std::string> unreadable; // lines before the first key that could not be read
    std::vector<Key> keys;
};

// An open key: the predefined root it hangs from and its path below that root.
struct OpenKey {
    HKEY root;
    std::u16string path;
};

// The open keys, built on first use: a library's InitInstance may open keys before this file's static objects exist.
struct Handles {
    std::mutex lock;
    std::set<OpenKey*> open;
};
Handles& OpenKeys() {
    static Handles handles;
    return handles;
}

bool SameName(const std::u16string& a, const std::u16string& b) {
    return _wcsicmp(a.c_str(), b.c_str()) == 0;
}

bool IsPredefined(HKEY key) {
    return key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER || key == HKEY_CLASSES_ROOT;
}

// The file of a predefined root's hive.
std::string HiveFile(HKEY root) {
    const WCHAR* dos = root == HKEY_LOCAL_MACHINE  ? u"C:\\Registry\\HKLM.reg"
                       : root == HKEY_CURRENT_USER ? u"C:\\Registry\\HKCU.reg"
                                                   : u"C:\\Registry\\HKCR.reg";
    return path::ToHostPath(dos);
}

// Resolves a key handle to (root, path); false for a handle that is not open.
bool Locate(HKEY key, HKEY& root, std::u16string& keyPath) {
    if (IsPredefined(key)) {
        root = key;
        keyPath.clear();
        return true;
    }
    std::lock_guard<std::mutex> guard(OpenKeys().lock);
    auto* open = reinterpret_cast<OpenKey*>(key);
    if (!OpenKeys().open.count(open))
        return false;
    root = open->root;
    keyPath = open->path;
    return true;
}

// "A\\B\\\\C\\" -> "A\\B\\C": empty components are dropped.
std::u16string Join(const std::u16string& base, const WCHAR* subKey) {
    std::u16string out = base;
    std::u16string component;
    auto flush = [&] {
        if (component.empty())
            return;
        if (!out.empty())
            out += u'\\';
        out += component;
        component.clear();
    };
    for (const WCHAR* p = subKey; p && *p; ++p) {
        if (*p == u'\\')
            flush();
        else
            component += *p;
    }
    flush();
    return out;
}

std::string Quote(const std::u16string& text) {
    std::string out = "\"";
    for (const char c : ToUtf8(text)) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out + "\"";
}

// Reads a quoted name at in's position; false when the text is not one.
bool Unquote(std::istream& in, std::u16string& out) {
    in >> std::ws;
    if (in.get() != '"')
        return false;
    std::string text;
    for (int c = in.get(); c != '"'; c = in.get()) {
        if (c == EOF)
            return false;
        if (c == '\\') {
            const int e = in.get();
            c = e == 'n' ? '\n' : e == 'r' ? '\r' : e;
            if (e == EOF)
                return false;
        }
        text += static_cast<char>(c);
    }
    out = ToUtf16(text);
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Two digits a byte, in one pass: values of several MiB (a long "Language" string) are read as fast as copied.
bool ParseHex(const std::string& hex, std::vector<BYTE>& out) {
    if (hex.size() % 2)
        return false;
    out.clear();
    out.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexDigit(hex[i]);
        const int low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0)
            return false;
        out.push_back(static_cast<BYTE>(high << 4 | low));
    }
    return true;
}

// One line of the hive into `hive`; false when it is no record this version can read.
bool ParseLine(const std::string& line, Hive& hive) {
    std::istringstream fields(line);
    std::string kind;
    fields >> kind;
    if (kind == "key") {
        Key key;
        if (!Unquote(fields, key.path))
            return false;
        hive.keys.push_back(std::move(key));
        return true;
    }
    if (kind == "value" && !hive.keys.empty()) {
        Value value;
        std::string hex;
        if (!Unquote(fields, value.name) || !(fields >> value.type))
            return false;
        fields >> hex; // empty data has no hex field
        if (!ParseHex(hex, value.data))
            return false;
        hive.keys.back().values.push_back(std::move(value));
        return true;
    }
    return false;
}

// The lines of a hive file into `hive`; unreadable lines are kept with the key they follow.
void ParseHive(const std::string& text, Hive& hive) {
    bool first = true;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back(); // a hive that went through an editor with CR LF line ends
        const bool header = first && line == kHeader;
        first = false;
        if (header || line.find_first_not_of(" \t") == std::string::npos)
            continue;
        if (!ParseLine(line, hive))
            (hive.keys.empty() ? hive.unreadable : hive.keys.back().unreadable).push_back(std::move(line));
    }
}

// A missing hive is empty. A line that cannot be read is kept as it stands, with the key it follows, and written
// back with it, so that a damaged line costs nothing but itself. False (and an empty hive) when the hive exists
// but cannot be read: then it must not be written either, or everything in it would be lost.
bool Load(HKEY root, Hive& hive) {
    hive = Hive();
    std::string text;
    if (!file::ReadWholeFile(HiveFile(root), text)) {
        struct stat status {};
        return lstat(HiveFile(root).c_str(), &status) != 0 && errno == ENOENT;
    }
    try {
        ParseHive(text, hive);
    } catch (const std::bad_alloc&) {
        hive = Hive(); // too large to hold: as unreadable as a damaged disk
        return false;
    }
    return true;
}

Hive Load(HKEY root) {
    Hive hive;
    Load(root, hive);
    return hive;
}

// Written to a temporary file beside the hive, then renamed over it: a reader sees the old or the new hive whole.
bool Save(HKEY root, const Hive& hive) {
    const std::filesystem::path file = HiveFile(root);
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    std::ostringstream out;
    out << kHeader << "\n";
    for (const std::string& line : hive.unreadable)
        out << line << "\n";
    for (const Key& key : hive.keys) {
        out << "key " << Quote(key.path) << "\n";
        for (const Value& value : key.values) {
            out << "value " << Quote(value.name) << " " << value.type << " ";
            static const char kDigits[] = "0123456789abcdef";
            for (const BYTE b : value.data)
                out << kDigits[b >> 4] << kDigits[b & 15];
            out << "\n";
        }
        for (const std::string& line : key.unreadable)
            out << line << "\n";
    }
    const std::string temp = file.string() + "." + std::to_string(getpid()) + ".tmp";
    {
        std::ofstream tempFile(temp, std::ios::binary | std::ios::trunc);
        if (!tempFile || !(tempFile << out.str()) || !tempFile.flush())
            return false;
    }
    if (std::rename(temp.c_str(), file.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

// Serialises read-modify-write of one hive across threads and processes.
class HiveLock {
public:
    explicit HiveLock(HKEY root) {
        const std::filesystem::path file = HiveFile(root);
        std::error_code error;
        std::filesystem::create_directories(file.parent_path(), error);
        m_fd = open((file.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd >= 0)
            flock(m_fd, LOCK_EX);
    }
    ~HiveLock() {
        if (m_fd >= 0)
            close(m_fd); // releases the lock
    }
    HiveLock(const HiveLock&) = delete;
    HiveLock& operator=(const HiveLock&) = delete;

private:
    int m_fd = -1;
};

Key* FindKey(Hive& hive, const std::u16string& keyPath) {
    for (Key& key : hive.keys)
        if (SameName(key.path, keyPath))
            return &key;
    return nullptr;
}

// The root key exists in every hive, as on Windows, even when nothing was ever stored under it.
bool KeyExists(Hive& hive, const std::u16string& keyPath) {
    return keyPath.empty() || FindKey(hive, keyPath);
}

Value* FindValue(Key& key, const WCHAR* name) {
    const std::u16string wanted = name ? name : u"";
    for (Value& value : key.values)
        if (SameName(value.name, wanted))
            return &value;
    return nullptr;
}

HKEY NewHandle(HKEY root, const std::u16string& keyPath) {
    auto open = std::make_unique<OpenKey>(OpenKey{root, keyPath});
    std::lock_guard<std::mutex> guard(OpenKeys().lock);
    OpenKeys().open.insert(open.get());
    return reinterpret_cast<HKEY>(open.release());
}

} // namespace
} // namespace platform::registry

using namespace platform::registry;

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM, PHKEY result) {
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    HKEY root = nullptr;
    std::u16string base;
    if (!Locate(key, root, base))
        return ERROR_INVALID_HANDLE;
    const std::u16string keyPath = Join(base, subKey);
    Hive hive = Load(root);
    if (!KeyExists(hive, keyPath))
        return ERROR_FILE_NOT_FOUND;
    *result = NewHandle(root, keyPath);
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY result,
                     LPDWORD disposition) {
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    HKEY root = nullptr;
    std::u16string base;
    if (!Locate(key, root, base))
        return ERROR_INVALID_HANDLE;
    const std::u16string keyPath = Join(base, subKey);

    HiveLock lock(root);
    Hive hive;
    if (!Load(root, hive))
        return ERROR_CANTREAD; // rewriting a hive that cannot be read would empty it
    const bool existed = KeyExists(hive, keyPath);
    if (!existed) {
        // Every missing key on the way is created too.
        std::u16string partial;
        for (size_t start = 0; start <= keyPath.size();) {
            size_t end = keyPath.find(u'\\', start);
            if (end == std::u16string::npos)
                end = keyPath.size();
            partial = keyPath.substr(0, end);
            if (!FindKey(hive, partial))
                hive.keys.push_back(Key{partial, {}, {}});
            start = end + 1;
        }
        if (!Save(root, hive))
            return ERROR_CANTWRITE;
    }
    if (disposition)
        *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    *result = NewHandle(root, keyPath);
    return ERROR_SUCCESS;
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD cbData) {
    if (data && !cbData)
        return ERROR_INVALID_PARAMETER;
    HKEY root = nullptr;
    std::u16string keyPath;
    if (!Locate(key, root, keyPath))
        return ERROR_INVALID_HANDLE;
    Hive hive = Load(root);
    Key* found = FindKey(hive, keyPath);
    Value* value = found ? FindValue(*found, valueName) : nullptr;
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    if (type)
        *type = value->type;
    const auto size = static_cast<DWORD>(value->data.size());
    if (!cbData)
        return ERROR_SUCCESS;
    if (data && *cbData < size) {
        *cbData = size;
        return ERROR_MORE_DATA;
    }
    if (data && size)
        std::memcpy(data, value->data.data(), size);
    *cbData = size;
    return ERROR_SUCCESS;
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD cbData) {
    if (!data && cbData)
        return ERROR_INVALID_PARAMETER;
    HKEY root = nullptr;
    std::u16string keyPath;
    if (!Locate(key, root, keyPath))
        return ERROR_INVALID_HANDLE;

    HiveLock lock(root);
    Hive hive;
    if (!Load(root, hive))
        return ERROR_CANTREAD; // rewriting a hive that cannot be read would empty it
    Key* found = FindKey(hive, keyPath);
    if (!found) {
        if (!keyPath.empty())
            return ERROR_KEY_DELETED; // the key went away while it was open
        hive.keys.push_back(Key{u"", {}, {}});
        found = &hive.keys.back();
    }
    Value* value = FindValue(*found, valueName);
    if (!value) {
        found->values.push_back(Value{valueName ? valueName : u"", REG_NONE, {}});
        value = &found->values.back();
    }
    value->type = type;
    value->data.assign(data, data + cbData);
    return Save(root, hive) ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName) {
    HKEY root = nullptr;
    std::u16string keyPath;
    if (!Locate(key, root, keyPath))
        return ERROR_INVALID_HANDLE;

    HiveLock lock(root);
    Hive hive;
    if (!Load(root, hive))
        return ERROR_CANTREAD; // rewriting a hive that cannot be read would empty it
    Key* found = FindKey(hive, keyPath);
    Value* value = found ? FindValue(*found, valueName) : nullptr;
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    found->values.erase(found->values.begin() + (value - found->values.data()));
    return Save(root, hive) ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

LONG RegCloseKey(HKEY key) {
    if (IsPredefined(key))
        return ERROR_SUCCESS;
    std::unique_ptr<OpenKey> open;
    std::lock_guard<std::mutex> guard(OpenKeys().lock);
    auto* candidate = reinterpret_cast<OpenKey*>(key);
    if (!OpenKeys().open.erase(candidate))
        return ERROR_INVALID_HANDLE;
    open.reset(candidate);
    return ERROR_SUCCESS;
}
