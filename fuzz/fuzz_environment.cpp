// The environment values the system reads: "kvxTWAINtest" (the switched debug lines) and the locale variables
// behind the language choice. Whatever they hold, the switch is on exactly for a one-character value, a switched
// line is written exactly then, the variable reads back whole through every reader (narrow, wide, expanded) or
// reports the size it needs, and the language chosen is one of the system's.
//
// Input: the values of kvxTWAINtest, LC_ALL, LC_MESSAGES and LANG, separated by bytes 0 (a missing part leaves the
// variable unset).

#include "FuzzSupport.h"

#include "platform/base/windows.h"
#include "platform/base/wstring.h"
#include "settings/DebugOutput.h"
#include "settings/IniPath.h"
#include "settings/Language.h"

#include <string>
#include <vector>

namespace {

std::vector<std::u16string> g_lines;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Root();
    platform::debug::SetSink([](std::u16string_view line) { g_lines.emplace_back(line); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* names[] = {"kvxTWAINtest", "LC_ALL", "LC_MESSAGES", "LANG"};
    std::vector<std::string> values;
    std::string part;
    for (size_t i = 0; i <= size && values.size() < 4; ++i) {
        if (i == size || data[i] == 0) {
            values.push_back(part);
            part.clear();
        } else {
            part += static_cast<char>(data[i]);
        }
    }
    for (size_t i = 0; i < 4; ++i) {
        if (i < values.size())
            setenv(names[i], values[i].c_str(), 1);
        else
            unsetenv(names[i]);
    }
    const std::string& value = values[0];

    // The switch and its line.
    int cache = -1;
    g_lines.clear();
    DebugSwitchLine(cache, "DevMon_AbortScan nret ", -7);
    const bool on = value.size() == 1;
    fuzz::Check(IsDebugSwitchOn(cache) == on, "the switch is on exactly for a one-character value");
    fuzz::Check(on ? g_lines.size() == 1 && g_lines[0] == u"DevMon_AbortScan nret :-7" : g_lines.empty(),
                "a switched line is written exactly while the switch is on");

    // The narrow reader: the whole value with room for it, the size it needs without.
    std::vector<char> narrow(value.size() + 1, '\x55');
    fuzz::Check(GetEnvironmentVariableA("kvxTWAINtest", narrow.data(), static_cast<DWORD>(narrow.size())) ==
                        value.size() &&
                    std::string(narrow.data()) == value,
                "the narrow reader gives the whole value");
    fuzz::Check(GetEnvironmentVariableA("kvxTWAINtest", narrow.data(), static_cast<DWORD>(value.size())) ==
                    value.size() + 1,
                "a short narrow buffer is told the size it needs");
    // The wide reader and the expansion agree with each other.
    const DWORD needed = GetEnvironmentVariableW(u"kvxTWAINtest", nullptr, 0);
    std::vector<WCHAR> wide(needed + 1, 0x5555);
    fuzz::Check(GetEnvironmentVariableW(u"kvxTWAINtest", wide.data(), needed) + 1 == needed && wide[needed - 1] == 0,
                "the wide reader gives the value in the size it asked for");
    const DWORD expandedSize = ExpandEnvironmentStringsW(u"[%kvxTWAINtest%]", nullptr, 0);
    std::vector<WCHAR> expanded(expandedSize, 0x5555);
    fuzz::Check(ExpandEnvironmentStringsW(u"[%kvxTWAINtest%]", expanded.data(), expandedSize) == expandedSize &&
                    std::u16string(expanded.data()) == u"[" + std::u16string(wide.data()) + u"]",
                "the expansion holds the value as the wide reader gives it");

    // The language from the locale variables.
    const int system = LanguageFromSystemLcid();
    fuzz::Check(system >= 0 && system <= 21, "the system's language is one of the 22");
    const int chosen = ChooseLanguageNumber(kIniDropCharsDataSource);
    fuzz::Check(chosen >= 0 && chosen <= 21, "the language chosen is one of the 22");
    WCHAR decimal[8] = {};
    GetLocaleInfoW(GetUserDefaultLCID(), LOCALE_SDECIMAL, decimal, 8);
    return 0;
}
