// Application restart registration. Nothing here restarts a program after a crash or an update; the registration is
// kept so that tests can see what a program asked for.
#include "platform/base/testing.h"
#include "platform/base/winbase.h"

#include <mutex>
#include <optional>
#include <string>

namespace {

std::mutex g_restartLock;
std::optional<platform::testing::RestartRegistration> g_restart;

} // namespace

HRESULT RegisterApplicationRestart(LPCWSTR commandLine, DWORD flags) {
    const std::u16string line = commandLine ? commandLine : u"";
    if (line.size() > RESTART_MAX_CMD_LINE)
        return E_INVALIDARG;
    std::lock_guard guard(g_restartLock);
    g_restart = platform::testing::RestartRegistration{line, flags};
    return S_OK;
}

namespace platform::testing {

std::optional<RestartRegistration> RegisteredRestart() {
    std::lock_guard guard(g_restartLock);
    return g_restart;
}

void ClearRestartRegistration() {
    std::lock_guard guard(g_restartLock);
    g_restart.reset();
}

} // namespace platform::testing
