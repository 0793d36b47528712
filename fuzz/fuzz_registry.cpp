// The registry hive file (C:\Registry\HKLM.reg): whatever it holds, opening its keys and reading its values stays
// within the caller's buffers, and a value set through the API rewrites the hive so that every value that was read
// before reads back the same.

#include "FuzzSupport.h"

#include "platform/base/registry.h"
#include "platform/base/windows.h"
#include "platform/base/wstring.h"
#include "settings/Language.h"

#include <string>
#include <vector>

namespace {

struct Read {
    LONG result;
    DWORD type;
    std::vector<BYTE> data;
};

// The first quoted text after `word` on each line that starts with it: the names the hive claims to hold, so the
// lookups meet them. Escapes are taken as the hive writes them.
std::vector<std::u16string> QuotedAfter(const std::string& text, const std::string& word) {
    std::vector<std::u16string> names;
    size_t pos = 0;
    while (pos < text.size() && names.size() < 16) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.compare(0, word.size(), word) != 0)
            continue;
        const size_t open = line.find('"');
        if (open == std::string::npos)
            continue;
        std::string name;
        for (size_t i = open + 1; i < line.size() && line[i] != '"'; ++i)
            name += line[i] == '\\' && i + 1 < line.size() ? line[++i] : line[i];
        names.push_back(platform::ToUtf16(name));
    }
    return names;
}

Read Query(HKEY key, const std::u16string& name) {
    Read read{};
    DWORD size = 0;
    read.result = RegQueryValueExW(key, name.c_str(), nullptr, &read.type, nullptr, &size);
    if (read.result != ERROR_SUCCESS)
        return read;
    // Exactly the size asked for, so a write past it is caught; then one byte short of it.
    read.data.resize(size);
    DWORD got = size;
    read.result = RegQueryValueExW(key, name.c_str(), nullptr, &read.type, read.data.data(), &got);
    fuzz::Check(read.result == ERROR_SUCCESS && got == size, "a value reads in the size its query reported");
    if (size > 0) {
        std::vector<BYTE> shorter(size); // a real buffer even for a one-byte value; it claims one byte less
        DWORD small = size - 1;
        fuzz::Check(RegQueryValueExW(key, name.c_str(), nullptr, nullptr, shorter.data(), &small) == ERROR_MORE_DATA,
                    "a value that does not fit says so");
    }
    return read;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Root();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    fuzz::WriteDosFile(u"C:\\Registry\\HKLM.reg", text.data(), text.size());
    const std::vector<std::u16string> keys = QuotedAfter(text, "key ");
    const std::vector<std::u16string> values = QuotedAfter(text, "value ");

    std::vector<std::vector<Read>> before;
    for (const std::u16string& path : keys) {
        HKEY key = nullptr;
        before.emplace_back();
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            continue;
        for (const std::u16string& name : values)
            before.back().push_back(Query(key, name));
        RegCloseKey(key);
    }
    ChooseLanguageNumber(12);

    // A value set anywhere rewrites the whole hive; what could be read before reads the same after.
    HKEY created = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Fuzz", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created,
                        &disposition) != ERROR_SUCCESS)
        return 0;
    const BYTE marker[] = {1, 2, 3};
    const LONG set = RegSetValueExW(created, u"Marker", 0, REG_BINARY, marker, sizeof marker);
    RegCloseKey(created);
    if (set != ERROR_SUCCESS)
        return 0;
    for (size_t k = 0; k < keys.size(); ++k) {
        if (before[k].empty())
            continue;
        HKEY key = nullptr;
        fuzz::Check(RegOpenKeyExW(HKEY_LOCAL_MACHINE, keys[k].c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS,
                    "a key that opened before a rewrite of the hive opens after it");
        for (size_t v = 0; v < values.size(); ++v) {
            if (_wcsicmp(values[v].c_str(), u"Marker") == 0)
                continue; // the value just set
            const Read after = Query(key, values[v]);
            const Read& was = before[k][v];
            fuzz::Check(after.result == was.result && after.type == was.type && after.data == was.data,
                        "a value reads the same after the hive was rewritten");
        }
        RegCloseKey(key);
    }
    return 0;
}
