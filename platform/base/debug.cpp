// The debug channel: OutputDebugString goes to a test's sink, to stderr with PLATFORM_DEBUG=1, or nowhere.
#include "platform/base/kernel.h"
#include "platform/base/lifetime.h"
#include "platform/base/testing.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::mutex g_sinkLock;

// Built on first use and kept past every static destructor: libraries write debug lines from those.
std::function<void(std::u16string_view)>& Sink() {
    static auto* sink = platform::KeepUntilUnload(new std::function<void(std::u16string_view)>);
    return *sink;
}

bool ToStderr() {
    const char* value = std::getenv("PLATFORM_DEBUG");
    return value && std::strcmp(value, "1") == 0;
}

// Lines from several threads are written whole.
void Emit(std::u16string_view wide, std::string_view narrow) {
    std::lock_guard guard(g_sinkLock);
    if (auto& sink = Sink()) {
        if (narrow.data())
            sink(platform::ToUtf16(narrow));
        else
            sink(wide);
        return;
    }
    if (!ToStderr())
        return;
    // Each call is one line, as a debugger shows it.
    std::string text = narrow.data() ? std::string(narrow) : platform::ToUtf8(wide);
    if (text.empty() || text.back() != '\n')
        text += '\n';
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

} // namespace

void OutputDebugStringW(LPCWSTR text) {
    if (text)
        Emit(std::u16string_view(text), std::string_view());
}

void OutputDebugStringA(LPCSTR text) {
    if (text)
        Emit(std::u16string_view(), std::string_view(text));
}

BOOL IsDebuggerPresent() {
    return FALSE;
}

namespace platform::debug {

void SetSink(std::function<void(std::u16string_view)> sink) {
    std::lock_guard guard(g_sinkLock);
    Sink() = std::move(sink);
}

} // namespace platform::debug
