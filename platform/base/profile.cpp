#include "platform/base/profile.h"

#include "platform/base/lifetime.h"
#include "platform/base/path.h"
#include "platform/base/readfile.h"
#include "platform/base/testing.h"
#include "platform/base/winbase.h"
#include "platform/base/wstring.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <ctime>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unordered_map>

namespace platform::profile {
namespace {

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

std::u16string_view Trim(std::u16string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Names compare as _wcsicmp compares them: character by character in lower case.
std::u16string Folded(std::u16string_view name) {
    std::u16string folded(name);
    for (char16_t& c : folded)
        c = towlower(c);
    return folded;
}

// The host path of an INI file name; a name without a folder lies in the Windows folder.
std::string HostPath(const WCHAR* fileName) {
    std::u16string dos = fileName;
    if (dos.find_first_of(u"\\/:") == std::u16string::npos) {
        WCHAR windows[MAX_PATH];
        const UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
        if (n == 0 || n >= MAX_PATH)
            return std::string();
        dos = std::u16string(windows) + u"\\" + dos;
    }
    return path::ToHostPath(dos.c_str());
}

// The file's bytes as UTF-16: a UTF-16 LE (or BE) byte-order mark decides, anything else is 8-bit UTF-8.
std::u16string Decode(const std::string& raw) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(raw[i]); };
    if (raw.size() >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))) {
        const bool little = byte(0) == 0xFF;
        std::u16string text;
        text.reserve(raw.size() / 2);
        for (size_t i = 2; i + 1 < raw.size(); i += 2)
            text.push_back(static_cast<char16_t>(little ? byte(i) | (byte(i + 1) << 8) : (byte(i) << 8) | byte(i + 1)));
        return text;
    }
    const size_t skip = raw.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF ? 3 : 0;
    return ToUtf16(std::string_view(raw).substr(skip));
}

// One pair of matching quotes around a value is removed, as Windows does.
std::u16string_view Unquote(std::u16string_view value) {
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// A file's keys, looked up without reading the file again: the first section of each name and in it the first line
// of each key (a later section of the same name is not looked at). Names are folded; values point into `text`.
struct Profile {
    using Keys = std::unordered_map<std::u16string, std::u16string_view>;
    std::u16string text;
    std::unordered_map<std::u16string, Keys> sections;

    std::optional<std::u16string> Lookup(const WCHAR* section, const WCHAR* key) const {
        const auto found = sections.find(Folded(section));
        if (found == sections.end())
            return std::nullopt;
        const auto value = found->second.find(Folded(key));
        if (value == found->second.end())
            return std::nullopt;
        return std::u16string(value->second);
    }
};

std::shared_ptr<const Profile> Parse(std::u16string text) {
    auto profile = std::make_shared<Profile>();
    profile->text = std::move(text);
    const std::u16string& all = profile->text;
    Profile::Keys* keys = nullptr; // the section being read, null while it repeats an earlier one
    size_t pos = 0;
    while (pos < all.size()) {
        size_t end = all.find_first_of(u"\r\n", pos);
        if (end == std::u16string::npos)
            end = all.size();
        const std::u16string_view line = Trim(std::u16string_view(all).substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line.front() == u';')
            continue;
        if (line.front() == u'[') {
            const size_t close = line.find(u']');
            const std::u16string_view name =
                Trim(line.substr(1, close == std::u16string_view::npos ? line.npos : close - 1));
            const auto [section, isNew] = profile->sections.try_emplace(Folded(name));
            keys = isNew ? &section->second : nullptr;
            continue;
        }
        if (!keys)
            continue;
        const size_t equals = line.find(u'=');
        const std::u16string_view value =
            equals == std::u16string_view::npos ? std::u16string_view() : Unquote(Trim(line.substr(equals + 1)));
        keys->try_emplace(Folded(Trim(line.substr(0, equals))), value);
    }
    return profile;
}

// Files read lately, each kept with the status it had when read. A file whose status is still the same has not
// been written since, so it is not read again: a caller reading key after key of a large INI file reads it once,
// and still sees every change at once. A file changed less than a second before it was read is never kept: a
// second change within the same tick of the file system's clock could leave its status as it was.
struct Cache {
    struct Entry {
        std::string host;
        struct stat status;
        std::shared_ptr<const Profile> profile;
    };
    std::mutex lock;
    std::list<Entry> entries; // the most recent first
    std::atomic<size_t> reads{0};
};
constexpr size_t kCachedFiles = 4;

Cache& TheCache() {
    static auto* cache = KeepUntilUnload(new Cache);
    return *cache;
}

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool Unchanged(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size && SameTime(a.st_mtim, b.st_mtim) &&
           SameTime(a.st_ctim, b.st_ctim);
}

bool SettledBefore(const struct stat& status, const timespec& start) {
    const auto before = [&](const timespec& t) {
        return t.tv_sec < start.tv_sec - 1 || (t.tv_sec == start.tv_sec - 1 && t.tv_nsec < start.tv_nsec);
    };
    return before(status.st_mtim) && before(status.st_ctim);
}

// The file's keys; null when the file is missing or cannot be read.
std::shared_ptr<const Profile> ReadProfile(const WCHAR* fileName) {
    const std::string host = HostPath(fileName);
    if (host.empty())
        return nullptr;
    Cache& cache = TheCache();
    struct stat now {};
    if (stat(host.c_str(), &now) != 0)
        return nullptr;
    {
        std::lock_guard guard(cache.lock);
        for (auto it = cache.entries.begin(); it != cache.entries.end(); ++it) {
            if (it->host == host && Unchanged(it->status, now)) {
                cache.entries.splice(cache.entries.begin(), cache.entries, it);
                return it->profile;
            }
        }
    }
    timespec start{};
    clock_gettime(CLOCK_REALTIME, &start);
    std::string raw;
    struct stat status {};
    if (!file::ReadWholeFile(host, raw, &status))
        return nullptr; // missing, a folder, unreadable: every key reads as absent
    ++cache.reads;
    std::shared_ptr<const Profile> profile;
    try {
        profile = Parse(Decode(raw));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    std::lock_guard guard(cache.lock);
    cache.entries.remove_if([&](const Cache::Entry& entry) { return entry.host == host; });
    if (SettledBefore(status, start)) {
        cache.entries.push_front(Cache::Entry{host, status, profile});
        if (cache.entries.size() > kCachedFiles)
            cache.entries.pop_back();
    }
    return profile;
}

DWORD CopyOut(std::u16string_view value, LPWSTR returned, DWORD size) {
    const size_t copied = std::min<size_t>(value.size(), size - 1);
    std::memcpy(returned, value.data(), copied * sizeof(WCHAR));
    returned[copied] = 0;
    return static_cast<DWORD>(copied);
}

} // namespace
} // namespace platform::profile

size_t platform::testing::ProfileFileReads() {
    return platform::profile::TheCache().reads;
}

DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR returned, DWORD size,
                               LPCWSTR fileName) {
    using namespace platform::profile;
    if (!returned || size == 0)
        return 0;
    if (!section || !key || !fileName) {
        returned[0] = 0;
        return 0;
    }
    const auto profile = ReadProfile(fileName);
    const auto value = profile ? profile->Lookup(section, key) : std::nullopt;
    if (value)
        return CopyOut(*value, returned, size);
    std::u16string_view fallback = defaultValue ? defaultValue : u"";
    while (!fallback.empty() && fallback.back() == u' ')
        fallback.remove_suffix(1);
    return CopyOut(fallback, returned, size);
}

UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT defaultValue, LPCWSTR fileName) {
    WCHAR value[64];
    if (GetPrivateProfileStringW(section, key, u"", value, 64, fileName) == 0)
        return static_cast<UINT>(defaultValue);
    const WCHAR* p = value;
    const bool negative = *p == u'-';
    if (*p == u'-' || *p == u'+')
        ++p;
    long long number = 0;
    for (; *p >= u'0' && *p <= u'9' && number < 0x100000000LL; ++p)
        number = number * 10 + (*p - u'0');
    return static_cast<UINT>(negative ? -number : number);
}
