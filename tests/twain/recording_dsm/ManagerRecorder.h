// The notifications an engine running in the test process sends to the application's manager, taken by the
// recording manager (RECORDING_DSM_PATH) that PLATFORM_TWAIN_DSM names while a recorder exists.
#pragma once

#include "platform/twain/twain.h"

#include <algorithm>
#include <cstdlib>
#include <dlfcn.h>
#include <vector>

namespace transfer_test {

class ManagerRecorder {
public:
    ManagerRecorder() {
        m_library = dlopen(RECORDING_DSM_PATH, RTLD_NOW);
        setenv("PLATFORM_TWAIN_DSM", RECORDING_DSM_PATH, 1);
        if (m_library != nullptr) {
            m_take = reinterpret_cast<size_t (*)(TW_UINT16*, size_t)>(dlsym(m_library, "RecordedMessages"));
            m_clear = reinterpret_cast<void (*)()>(dlsym(m_library, "ClearRecordedMessages"));
            m_setHandler = reinterpret_cast<void (*)(void (*)(void*), void*)>(dlsym(m_library, "SetXferReadyHandler"));
            Clear();
        }
    }
    ~ManagerRecorder() {
        OnXferReady(nullptr, nullptr);
        unsetenv("PLATFORM_TWAIN_DSM");
        if (m_library != nullptr)
            dlclose(m_library);
    }
    ManagerRecorder(const ManagerRecorder&) = delete;
    ManagerRecorder& operator=(const ManagerRecorder&) = delete;

    std::vector<TW_UINT16> Messages() const {
        std::vector<TW_UINT16> messages(256);
        messages.resize(m_take != nullptr ? std::min<size_t>(m_take(messages.data(), messages.size()), 256) : 0);
        return messages;
    }
    int Count(TW_UINT16 msg) const {
        int n = 0;
        for (TW_UINT16 m : Messages())
            n += m == msg ? 1 : 0;
        return n;
    }
    void Clear() {
        if (m_clear != nullptr)
            m_clear();
    }
    // The application's answer to MSG_XFERREADY, run inside the notification (null: none).
    void OnXferReady(void (*handler)(void*), void* context) {
        if (m_setHandler != nullptr)
            m_setHandler(handler, context);
    }

private:
    void* m_library = nullptr;
    size_t (*m_take)(TW_UINT16*, size_t) = nullptr;
    void (*m_clear)() = nullptr;
    void (*m_setHandler)(void (*)(void*), void*) = nullptr;
};

} // namespace transfer_test
