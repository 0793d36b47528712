// The command-line splitting the device-scan program starts from: any command line splits into a terminated
// argument block with a null entry after the last, the process's own line (as Velmora reads it) splits the same
// way, and arguments quoted as the system quotes them split back unchanged.
//
// Input: the command line as UTF-16 units (pairs of bytes, little-endian); a unit 0 ends it.

#include "FuzzSupport.h"

#include "platform/base/commandline.h"
#include "platform/base/windows.h"
#include "platform/base/wstring.h"

#include <string>
#include <vector>

namespace {

std::vector<std::u16string> Split(const std::u16string& line) {
    int count = -1;
    LPWSTR* block = CommandLineToArgvW(line.c_str(), &count);
    fuzz::Check(block != nullptr && count >= 1, "a command line splits into at least the program name");
    std::vector<std::u16string> args;
    for (int i = 0; i < count; ++i) {
        fuzz::Check(block[i] != nullptr, "every argument has its text");
        args.emplace_back(block[i]);
    }
    fuzz::Check(block[count] == nullptr, "the argument list ends with a null entry");
    LocalFree(block);
    return args;
}

// Quoted as Windows programs quote an argument for the command line: backslashes doubled before a quote.
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

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Root();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string line;
    for (size_t i = 0; i + 1 < size; i += 2) {
        const char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (unit == 0)
            break;
        line += unit;
    }
    const std::vector<std::u16string> args = Split(line);
    if (line.empty())
        return 0; // the executable's own path alone

    // The arguments after the program name, quoted and split again, come back unchanged.
    std::u16string again = u"prog";
    for (size_t i = 1; i < args.size(); ++i)
        again += u" " + Quote(args[i]);
    const std::vector<std::u16string> back = Split(again);
    fuzz::Check(back.size() == args.size(), "quoted arguments split into as many again");
    for (size_t i = 1; i < args.size(); ++i)
        fuzz::Check(back[i] == args[i], "a quoted argument splits back unchanged");

    // The process's line as the program reads it, from the environment as tests and launchers hand it over. The
    // environment holds UTF-8 without nulls: lone surrogates do not survive it, so only lines that convert are
    // compared.
    const std::string utf8 = platform::ToUtf8(line);
    if (platform::ToUtf16(utf8) == line) {
        setenv(platform::kCommandLineVariable, utf8.c_str(), 1);
        fuzz::Check(Split(GetCommandLineW()) == args, "the process's own line splits as the same text does");
        unsetenv(platform::kCommandLineVariable);
    }
    return 0;
}
