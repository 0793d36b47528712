// The lines of the debug channel (OutputDebugString), collected from every thread while captured.
#pragma once

#include "platform/base/testing.h"

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

class DebugLines {
public:
    DebugLines() = default;
    ~DebugLines() { Release(); }
    DebugLines(const DebugLines&) = delete;
    DebugLines& operator=(const DebugLines&) = delete;

    // From now on every line comes here instead of where the environment sends it.
    void Capture() {
        platform::debug::SetSink([this](std::u16string_view line) {
            std::lock_guard lock(m_lock);
            m_lines.emplace_back(line);
        });
        m_capturing = true;
    }
    // The channel goes back to the environment's choice; the lines collected stay.
    void Release() {
        if (m_capturing)
            platform::debug::SetSink({});
        m_capturing = false;
    }

    // Whether a line holds `text`; how many do.
    bool Has(std::u16string_view text) const { return Count(text) > 0; }
    int Count(std::u16string_view text) const {
        std::lock_guard lock(m_lock);
        int n = 0;
        for (const std::u16string& line : m_lines)
            n += line.find(text) != std::u16string::npos;
        return n;
    }
    // The lines so far.
    std::vector<std::u16string> Lines() const {
        std::lock_guard lock(m_lock);
        return m_lines;
    }
    // Every line so far for a failure message: one a line, characters beyond ASCII as '?'.
    std::string Text() const {
        std::lock_guard lock(m_lock);
        std::string out;
        for (const std::u16string& line : m_lines) {
            for (char16_t c : line)
                out += c < 0x80 ? static_cast<char>(c) : '?';
            if (out.empty() || out.back() != '\n')
                out += '\n';
        }
        return out;
    }
    void Clear() {
        std::lock_guard lock(m_lock);
        m_lines.clear();
    }

private:
    mutable std::mutex m_lock;
    std::vector<std::u16string> m_lines;
    bool m_capturing = false;
};

} // namespace testsupport
