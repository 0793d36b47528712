// Resources of the user side: bitmaps (packed DIBs in a module's resources, or .bmp files) and images.
#include "platform/user/internal.h"

#include "platform/base/path.h"

#include <fstream>
#include <iterator>
#include <vector>

using namespace platform::user;

HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name) {
    HRSRC res = FindResourceW(instance, name, RT_BITMAP);
    if (!res)
        return nullptr;
    HGLOBAL data = LoadResource(instance, res);
    const void* dib = LockResource(data);
    if (!dib || SizeofResource(instance, res) < sizeof(BITMAPINFOHEADER))
        return nullptr;
    return platform::gdi::CreateBitmapFromDib(static_cast<const BITMAPINFO*>(dib), nullptr);
}

HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int, int, UINT flags) {
    if (type == IMAGE_CURSOR)
        return LoadCursorW(instance, name);
    if (type == IMAGE_ICON)
        return LoadIconW(instance, name);
    if (type != IMAGE_BITMAP)
        return nullptr;
    if (!(flags & LR_LOADFROMFILE))
        return LoadBitmapW(instance, name);
    if (!name || IS_INTRESOURCE(name))
        return nullptr;
    std::ifstream file(platform::path::ToHostPath(name), std::ios::binary);
    if (!file)
        return nullptr;
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return platform::gdi::CreateBitmapFromBmpFile(bytes.data(), bytes.size());
}
