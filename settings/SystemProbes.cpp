#include "settings/SystemProbes.h"

#include "settings/DebugOutput.h"

#include <cstdint>
#include <memory>

bool IsA4Country() {
    int size = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY, nullptr, 0);
    if (size <= 0) {
        DebugPrint(u"GetLocaleInfoW error");
        return false;
    }
    std::unique_ptr<WCHAR[]> text(new (std::nothrow) WCHAR[static_cast<size_t>(size) + 1]());
    if (!text) {
        DebugPrint(u"MEMALLOC error");
        return false;
    }
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY, text.get(), size) <= 0) {
        DebugPrint(u"GetLocaleInfoW error");
        return false;
    }
    const int country = _wtoi(text.get());
    const bool letter =
        country == 1 || country == 2 || (country >= 50 && country <= 59) || (country >= 500 && country <= 599);
    return !letter;
}

BOOL CheckDibMemory(int width, int height, int pixelType) {
    const std::int64_t w = width;
    const std::int64_t h = height;
    std::int64_t size;
    if (pixelType == 0)
        size = (((w + 7) / 8 + 3) / 4 * 4) * h + 48;
    else if (pixelType == 1)
        size = ((w + 3) / 4 * 4) * h + 1064;
    else
        size = ((3 * w + 3) / 4 * 4) * h + 40;
    DebugPrintA("dwDIBSize 1: %lld", static_cast<long long>(size));
    HGLOBAL block = size > 0 ? GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(size)) : nullptr;
    if (!block) {
        DebugPrintA("checkMem fasle");
        return FALSE;
    }
    DebugPrintA("hDIB value:%x", static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(block)));
    DebugPrintA("checkMem ok");
    GlobalFree(block);
    return TRUE;
}
