#include "platform/base/commandline.h"

#include "platform/base/module.h"
#include "platform/base/readfile.h"
#include "platform/base/winbase.h"
#include "platform/base/wstring.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

// One argument quoted so that CommandLineToArgvW gives it back unchanged.
std::u16string Quote(const std::u16string& arg) {
    if (!arg.empty() && arg.find_first_of(u" \t\"") == std::u16string::npos)
        return arg;
    std::u16string out = u"\"";
    size_t backslashes = 0;
    for (const char16_t c : arg) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == u'"' ? backslashes * 2 + 1 : backslashes, u'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, u'\\');
    return out + u"\"";
}

std::u16string ProcessCommandLine() {
    if (const char* line = std::getenv(platform::kCommandLineVariable))
        return platform::ToUtf16(line);
    std::string raw;
    platform::file::ReadWholeFile("/proc/self/cmdline", raw);
    std::u16string line;
    size_t start = 0;
    for (size_t i = 0; i <= raw.size(); ++i) {
        if (i < raw.size() && raw[i] != '\0')
            continue;
        if (i > start || i < raw.size()) {
            if (!line.empty())
                line += u' ';
            line += Quote(platform::ToUtf16(raw.substr(start, i - start)));
        }
        start = i + 1;
    }
    return line;
}

std::vector<std::u16string> Split(const WCHAR* p) {
    std::vector<std::u16string> args;
    // The program name ends at the next blank, or at the closing quote, with no backslash processing.
    std::u16string first;
    if (*p == u'"') {
        for (++p; *p && *p != u'"'; ++p)
            first += *p;
        if (*p)
            ++p;
    } else {
        for (; *p && *p != u' ' && *p != u'\t'; ++p)
            first += *p;
    }
    args.push_back(first);
    for (;;) {
        while (*p == u' ' || *p == u'\t')
            ++p;
        if (!*p)
            break;
        std::u16string arg;
        bool quoted = false;
        while (*p && (quoted || (*p != u' ' && *p != u'\t'))) {
            size_t backslashes = 0;
            while (*p == u'\\') {
                ++backslashes;
                ++p;
            }
            if (*p == u'"') {
                arg.append(backslashes / 2, u'\\');
                if (backslashes % 2) {
                    arg += u'"';
                } else if (quoted && p[1] == u'"') {
                    arg += u'"'; // "" inside quotes is a literal quote
                    ++p;
                } else {
                    quoted = !quoted;
                }
                ++p;
            } else {
                arg.append(backslashes, u'\\');
                if (*p && (quoted || (*p != u' ' && *p != u'\t')))
                    arg += *p++;
            }
        }
        args.push_back(arg);
    }
    return args;
}

} // namespace

LPWSTR GetCommandLineW() {
    // Windows hands out one buffer for the life of the process; it is refreshed here so tests may change it.
    static std::mutex lock;
    static std::u16string line;
    std::lock_guard<std::mutex> guard(lock);
    line = ProcessCommandLine();
    return line.data();
}

LPWSTR* CommandLineToArgvW(LPCWSTR cmdLine, int* numArgs) {
    if (!numArgs) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::vector<std::u16string> args;
    if (!cmdLine || !*cmdLine) {
        WCHAR path[MAX_PATH];
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        args.emplace_back(path);
    } else {
        args = Split(cmdLine);
    }
    // One block: the pointer array (with a NULL at the end), then the terminated strings.
    size_t bytes = (args.size() + 1) * sizeof(LPWSTR);
    for (const auto& arg : args)
        bytes += (arg.size() + 1) * sizeof(WCHAR);
    auto* block = static_cast<LPWSTR*>(LocalAlloc(LPTR, bytes));
    if (!block) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto* text = reinterpret_cast<WCHAR*>(block + args.size() + 1);
    for (size_t i = 0; i < args.size(); ++i) {
        block[i] = text;
        std::memcpy(text, args[i].c_str(), (args[i].size() + 1) * sizeof(WCHAR));
        text += args[i].size() + 1;
    }
    *numArgs = static_cast<int>(args.size());
    return block;
}
