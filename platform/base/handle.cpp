// The process's handle table: one table for every kernel object kind, so CloseHandle works on all of them.
#include "platform/base/kernel.h"
#include "platform/base/lifetime.h"

#include <algorithm>
#include <vector>

namespace platform::kernel {

namespace {

// Handle values are multiples of 4 from kBase, as on Windows, so they never look like NULL or the pseudo-handles.
constexpr uintptr_t kBase = 0x1000;
constexpr size_t kMaxHandles = 1 << 20;

struct Table {
    std::mutex lock;
    std::vector<std::shared_ptr<Object>> slots;
    std::vector<size_t> free;
};

// Kept past every static destructor (they may close handles). Freed with the module only when no handle is left
// open: an open object stays the process's, as on Windows (an event a module keeps for its whole life, say).
void FreeIfEmpty(void* object) {
    auto* table = static_cast<Table*>(object);
    if (std::none_of(table->slots.begin(), table->slots.end(), [](const auto& slot) { return slot != nullptr; }))
        delete table;
    else
        platform::KeepForProcess(table);
}

Table& TheTable() {
    static Table* table = [] {
        auto* created = new Table;
        platform::FreeAtUnload(FreeIfEmpty, created);
        return created;
    }();
    return *table;
}

bool SlotOf(HANDLE handle, size_t& slot) {
    auto value = reinterpret_cast<uintptr_t>(handle);
    if (value < kBase || (value & 3) != 0)
        return false;
    slot = (value - kBase) / 4;
    return true;
}

} // namespace

HANDLE AddHandle(std::shared_ptr<Object> object) {
    Table& table = TheTable();
    std::lock_guard guard(table.lock);
    size_t slot;
    if (!table.free.empty()) {
        slot = table.free.back();
        table.free.pop_back();
        table.slots[slot] = std::move(object);
    } else if (table.slots.size() < kMaxHandles) {
        slot = table.slots.size();
        table.slots.push_back(std::move(object));
    } else {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return reinterpret_cast<HANDLE>(kBase + slot * 4);
}

std::shared_ptr<Object> FindHandle(HANDLE handle) {
    size_t slot;
    if (!SlotOf(handle, slot))
        return nullptr;
    Table& table = TheTable();
    std::lock_guard guard(table.lock);
    return slot < table.slots.size() ? table.slots[slot] : nullptr;
}

std::shared_ptr<Object> TakeHandle(HANDLE handle) {
    size_t slot;
    if (!SlotOf(handle, slot))
        return nullptr;
    Table& table = TheTable();
    std::lock_guard guard(table.lock);
    if (slot >= table.slots.size() || !table.slots[slot])
        return nullptr;
    std::shared_ptr<Object> object = std::move(table.slots[slot]);
    table.slots[slot].reset();
    table.free.push_back(slot);
    return object;
}

std::mutex& DispatchLock() {
    static auto* lock = platform::KeepUntilUnload(new std::mutex);
    return *lock;
}

} // namespace platform::kernel

using namespace platform::kernel;

BOOL CloseHandle(HANDLE object) {
    if (object == GetCurrentProcess() || object == GetCurrentThread())
        return TRUE;
    std::shared_ptr<Object> taken = TakeHandle(object);
    if (!taken) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    taken.reset(); // the object's own clean-up (close the file, release the name) runs here
    return TRUE;
}

BOOL DuplicateHandle(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, LPHANDLE target, DWORD, BOOL,
                     DWORD options) {
    if (sourceProcess != GetCurrentProcess() || targetProcess != GetCurrentProcess() || !target) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::shared_ptr<Object> object = (options & DUPLICATE_CLOSE_SOURCE) ? TakeHandle(source) : FindHandle(source);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *target = AddHandle(std::move(object));
    return *target != nullptr;
}

HANDLE GetCurrentProcess() {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
}
HANDLE GetCurrentThread() {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2));
}
