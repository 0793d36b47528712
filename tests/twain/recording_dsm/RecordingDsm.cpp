// The notifications a source sends through DSM_Entry, kept in order until cleared. The test holds the library
// loaded, so the record survives the source's load and free around each notification.
#include "platform/twain/twain.h"

#include <cstddef>
#include <mutex>
#include <vector>

namespace {
std::mutex g_lock;
std::vector<TW_UINT16> g_messages;
// What the application does on MSG_XFERREADY, before the source's call returns (none: nothing).
void (*g_onXferReady)(void*) = nullptr;
void* g_onXferReadyContext = nullptr;
} // namespace

extern "C" {

__attribute__((visibility("default"))) TW_UINT16 DSM_Entry(pTW_IDENTITY, pTW_IDENTITY, TW_UINT32, TW_UINT16,
                                                           TW_UINT16 msg, TW_MEMREF) {
    void (*handler)(void*) = nullptr;
    void* context = nullptr;
    {
        std::lock_guard lock(g_lock);
        g_messages.push_back(msg);
        if (msg == MSG_XFERREADY) {
            handler = g_onXferReady;
            context = g_onXferReadyContext;
        }
    }
    if (handler != nullptr)
        handler(context);
    return TWRC_SUCCESS;
}

// An application that transfers inside the notification: `handler` (null: none) runs with `context` on each
// MSG_XFERREADY, on the source's thread.
__attribute__((visibility("default"))) void SetXferReadyHandler(void (*handler)(void*), void* context) {
    std::lock_guard lock(g_lock);
    g_onXferReady = handler;
    g_onXferReadyContext = context;
}

// Copies up to `max` messages into `out`; answers how many were recorded in all.
__attribute__((visibility("default"))) std::size_t RecordedMessages(TW_UINT16* out, std::size_t max) {
    std::lock_guard lock(g_lock);
    for (std::size_t i = 0; i < g_messages.size() && i < max; ++i)
        out[i] = g_messages[i];
    return g_messages.size();
}

__attribute__((visibility("default"))) void ClearRecordedMessages() {
    std::lock_guard lock(g_lock);
    g_messages.clear();
}
}
