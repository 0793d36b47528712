// The BMP readers of the image layer: a page in a BMP stream (in memory, read in place, and in a stream of another
// kind, read by copy) as the image codecs decode it and the save dispatch writes it in each file type, and a BMP
// file as the drawing layer turns it into a bitmap.
//
// Input: u8 choice of the file type to write, then the BMP file.

#include "FuzzSupport.h"

#include "devicescan/SaveImage.h"
#include "platform/base/windows.h"
#include "platform/gdi/surface.h"
#include "platform/gdi/wingdi.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/objidl.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// A stream that is none of ours, so the reader cannot look at its bytes in place.
class ForeignStream final : public IStream {
public:
    ForeignStream(const std::uint8_t* data, size_t size) : m_bytes(data, data + size) {}

    HRESULT QueryInterface(REFIID, void** object) override {
        *object = this;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override { return --m_refs; } // lives on the stack of the fuzz function
    HRESULT Read(void* buffer, ULONG size, ULONG* read) override {
        const size_t n = m_pos < m_bytes.size() ? std::min<size_t>(size, m_bytes.size() - m_pos) : 0;
        if (n > 0)
            std::memcpy(buffer, m_bytes.data() + m_pos, n);
        m_pos += n;
        if (read)
            *read = static_cast<ULONG>(n);
        return n == size ? S_OK : S_FALSE;
    }
    HRESULT Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override {
        const long long base = origin == STREAM_SEEK_SET   ? 0
                               : origin == STREAM_SEEK_CUR ? static_cast<long long>(m_pos)
                                                           : static_cast<long long>(m_bytes.size());
        const long long to = base + move.QuadPart;
        if (origin > STREAM_SEEK_END || to < 0)
            return STG_E_INVALIDPOINTER;
        m_pos = static_cast<size_t>(to);
        if (position)
            position->QuadPart = m_pos;
        return S_OK;
    }
    HRESULT SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT Commit(DWORD) override { return S_OK; }
    HRESULT Revert() override { return E_NOTIMPL; }
    HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT Stat(STATSTG* stat, DWORD) override {
        std::memset(stat, 0, sizeof *stat);
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = m_bytes.size();
        return S_OK;
    }
    HRESULT Clone(IStream**) override { return E_NOTIMPL; }

private:
    std::vector<std::uint8_t> m_bytes;
    size_t m_pos = 0;
    ULONG m_refs = 1;
};

struct Releaser {
    void operator()(IStream* stream) const { stream->Release(); }
};

void Inspect(Gdiplus::Image& image) {
    if (image.GetLastStatus() != Gdiplus::Ok)
        return;
    const UINT width = image.GetWidth();
    const UINT height = image.GetHeight();
    fuzz::Check(width > 0 && height > 0, "a decoded image has a size");
    image.GetPixelFormat();
    image.GetHorizontalResolution();
    image.GetVerticalResolution();
}

constexpr int kSaveTypes[] = {SaveTypeBmp, SaveTypeTiff, SaveTypeJpeg, SaveTypeGif,
                              SaveTypePng, SaveTypePdf,  SaveTypeEmf,  SaveTypeWmf};
constexpr const WCHAR* kNames[] = {u"C:\\Temp\\page.bmp", u"C:\\Temp\\page.tif", u"C:\\Temp\\page.jpg",
                                   u"C:\\Temp\\page.gif", u"C:\\Temp\\page.png", u"C:\\Temp\\page.pdf",
                                   u"C:\\Temp\\page.emf", u"C:\\Temp\\page.wmf"};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Root();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const int choice = data[0] % static_cast<int>(std::size(kSaveTypes));
    const std::uint8_t* file = data + 1;
    const size_t fileSize = size - 1;

    HGLOBAL global = GlobalAlloc(GMEM_MOVEABLE, fileSize);
    if (global == nullptr)
        return 0;
    if (fileSize > 0)
        std::memcpy(GlobalLock(global), file, fileSize);
    GlobalUnlock(global);
    IStream* raw = nullptr;
    if (FAILED(CreateStreamOnHGlobal(global, TRUE, &raw)))
        return 0;
    std::unique_ptr<IStream, Releaser> memory(raw);
    {
        std::unique_ptr<Gdiplus::Image> image(Gdiplus::Image::FromStream(memory.get()));
        if (image)
            Inspect(*image);
    }
    SaveImage(memory.get(), kNames[choice], kSaveTypes[choice]);

    ForeignStream foreign(file, fileSize);
    {
        std::unique_ptr<Gdiplus::Bitmap> bitmap(Gdiplus::Bitmap::FromStream(&foreign));
        if (bitmap)
            Inspect(*bitmap);
    }

    if (HBITMAP bitmap = platform::gdi::CreateBitmapFromBmpFile(file, fileSize)) {
        BITMAP info{};
        fuzz::Check(GetObjectW(bitmap, sizeof info, &info) == sizeof info && info.bmWidth > 0 && info.bmHeight > 0,
                    "a bitmap made from a BMP file has a size");
        DeleteObject(bitmap);
    }
    return 0;
}
