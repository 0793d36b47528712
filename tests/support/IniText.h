// The text of an INI file a test writes whole, since the programs only read theirs: every value set so far, the
// sections and their keys in name order.
#pragma once

#include "platform/base/wstring.h"

#include <map>
#include <string>

namespace testsupport {

class IniText {
public:
    void Set(const std::u16string& section, const std::u16string& key, const std::u16string& value) {
        m_values[platform::ToUtf8(section)][platform::ToUtf8(key)] = platform::ToUtf8(value);
    }
    std::string Text() const {
        std::string text;
        for (const auto& [name, keys] : m_values) {
            text += "[" + name + "]\n";
            for (const auto& [key, value] : keys)
                text += key + "=" + value + "\n";
        }
        return text;
    }

private:
    std::map<std::string, std::map<std::string, std::string>> m_values;
};

} // namespace testsupport
