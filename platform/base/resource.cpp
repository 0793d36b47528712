#include "platform/base/resource.h"

#include "platform/base/module.h"
#include "platform/base/resource_table.h"
#include "platform/base/winbase.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <tuple>
#include <vector>

namespace platform::resource {
namespace {

// The compiled resources of the module this copy of platform is linked into. Registered during static
// initialisation, so the list must exist before any other static object asks for it.
struct OwnTables {
    std::mutex lock;
    std::vector<const Table*> tables;
};
OwnTables& Own() {
    static OwnTables own;
    return own;
}

bool Valid(const Table* table) {
    return table && table->magic == kTableMagic && table->version == kTableVersion;
}

const Entry* FindIn(const Table* table, std::uint32_t type, std::uint32_t id) {
    const Entry* begin = table->entries;
    const Entry* end = begin + table->count;
    const Entry* it = std::lower_bound(begin, end, std::make_tuple(type, id), [](const Entry& e, const auto& key) {
        return std::make_tuple(e.type, e.id) < key;
    });
    return it != end && it->type == type && it->id == id ? it : nullptr;
}

const Entry* Find(HMODULE module, std::uint32_t type, std::uint32_t id) {
    if (!module)
        module = GetModuleHandleW(nullptr);
    if (module == ThisModule()) {
        std::lock_guard<std::mutex> guard(Own().lock);
        for (const Table* table : Own().tables)
            if (const Entry* entry = FindIn(table, type, id))
                return entry;
    }
    const DWORD error = GetLastError();
    const auto* table = reinterpret_cast<const Table*>(GetProcAddress(module, kDataModuleSymbol));
    SetLastError(error);
    return Valid(table) ? FindIn(table, type, id) : nullptr;
}

} // namespace

void RegisterModuleTable(const Table* table) {
    if (!Valid(table))
        return;
    std::lock_guard<std::mutex> guard(Own().lock);
    Own().tables.push_back(table);
}

} // namespace platform::resource

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
    if (!IS_INTRESOURCE(name) || !IS_INTRESOURCE(type)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const auto* entry = platform::resource::Find(module, static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(type)),
                                                 static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(name)));
    if (!entry) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(const_cast<platform::resource::Entry*>(entry));
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
    if (!resource) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return const_cast<void*>(reinterpret_cast<const platform::resource::Entry*>(resource)->data);
}

LPVOID LockResource(HGLOBAL data) {
    return data;
}

DWORD SizeofResource(HMODULE, HRSRC resource) {
    return resource ? reinterpret_cast<const platform::resource::Entry*>(resource)->size : 0;
}

BOOL FreeResource(HGLOBAL) {
    return FALSE;
}

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size) {
    if (!buffer || size < 0)
        return 0;
    const WORD key = LOWORD(id);
    HRSRC block = FindResourceW(instance, MAKEINTRESOURCEW((key >> 4) + 1), RT_STRING);
    if (!block) {
        if (size > 0)
            buffer[0] = 0;
        return 0;
    }
    // A block is 16 strings of { WORD length; WCHAR text[length] } (resource_table.h).
    const auto* p = static_cast<const WCHAR*>(LockResource(LoadResource(instance, block)));
    const WCHAR* end = p + SizeofResource(instance, block) / sizeof(WCHAR);
    for (int skip = key & 15; skip > 0 && p < end; --skip)
        p += *p + 1;
    if (p >= end) {
        if (size > 0)
            buffer[0] = 0;
        return 0;
    }
    const int length = *p;
    if (size == 0) {
        *reinterpret_cast<const WCHAR**>(buffer) = p + 1;
        return length;
    }
    const int copied = std::min(length, size - 1);
    std::memcpy(buffer, p + 1, static_cast<size_t>(copied) * sizeof(WCHAR));
    buffer[copied] = 0;
    return copied;
}
