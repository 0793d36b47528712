#include "twain/DeviceState.h"

#include "settings/DebugOutput.h"

std::atomic<int> m_devState{0};
std::atomic<HANDLE> g_devStateEvent{nullptr};
std::atomic<int> g_nDevPageCount{0};
std::atomic<int> g_nXferPageCount{0};
std::atomic<int> g_nFrontRotation{0};
std::atomic<BOOL> g_bBackSideRotation{FALSE};
std::atomic<HANDLE> g_hManualDuplexEvent{nullptr};
std::atomic<BYTE> g_bSkipFirstPageSignal{0};
std::atomic<BOOL> g_bDeviceEventsRefused{FALSE};

namespace {
// The events live as long as the module: an open handle would keep the process's handle table after the unload.
struct CloseEventsAtUnload {
    ~CloseEventsAtUnload() {
        if (HANDLE event = g_devStateEvent.exchange(nullptr))
            CloseHandle(event);
        if (HANDLE event = g_hManualDuplexEvent.exchange(nullptr))
            CloseHandle(event);
    }
} s_closeEventsAtUnload;
} // namespace

void SetDevState(int state) {
    DebugPrint(u"SetDevState: %d", state);
    m_devState = state;
}

int GetDevState() {
    DebugPrint(u"GetDevState");
    return m_devState;
}

int BackSideRotation(int frontRotation) {
    switch (frontRotation) {
    case 0:
        return 3;
    case 1:
        return 2;
    case 2:
        return 1;
    case 3:
        return 0;
    default:
        return frontRotation;
    }
}
