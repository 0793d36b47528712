// Streams on global memory and COM apartment start-up.
#include "platform/gdiplus/objidl.h"

#include "platform/base/windows.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <vector>

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_ISequentialStream = {0x0c733a30, 0x2a1c, 0x11ce, {0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3d}};
const IID IID_IStream = {0x0000000c, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace platform::com {
namespace {

class HGlobalStream final : public IStream {
public:
    HGlobalStream(HGLOBAL global, bool deleteOnRelease) : m_global(global), m_deleteOnRelease(deleteOnRelease) {}

    HGLOBAL global() const { return m_global; }
    std::vector<BYTE>& bytes() { return m_bytes; }

    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (!object)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ISequentialStream || riid == IID_IStream) {
            *object = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        ULONG left = --m_refs;
        if (left == 0) {
            if (m_deleteOnRelease && m_global)
                GlobalFree(m_global);
            delete this;
        }
        return left;
    }

    HRESULT Read(void* buffer, ULONG size, ULONG* read) override {
        if (!buffer && size)
            return STG_E_INVALIDPOINTER;
        ULONG n = 0;
        if (m_position < m_bytes.size())
            n = static_cast<ULONG>(std::min<ULONGLONG>(size, m_bytes.size() - m_position));
        if (n)
            std::memcpy(buffer, m_bytes.data() + m_position, n);
        m_position += n;
        if (read)
            *read = n;
        return S_OK;
    }

    HRESULT Write(const void* buffer, ULONG size, ULONG* written) override {
        if (written)
            *written = 0;
        if (!buffer && size)
            return STG_E_INVALIDPOINTER;
        ULONGLONG end = m_position + size;
        if (end > m_bytes.size()) {
            try {
                if (end > m_bytes.capacity())
                    m_bytes.reserve(std::max<ULONGLONG>(end, m_bytes.capacity() * 2));
                m_bytes.resize(end);
            } catch (const std::bad_alloc&) {
                return STG_E_MEDIUMFULL;
            } catch (const std::length_error&) {
                return STG_E_MEDIUMFULL;
            }
        }
        if (size)
            std::memcpy(m_bytes.data() + m_position, buffer, size);
        m_position = end;
        if (written)
            *written = size;
        return S_OK;
    }

    HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) override {
        LONGLONG base = 0;
        switch (origin) {
        case STREAM_SEEK_SET:
            base = 0;
            break;
        case STREAM_SEEK_CUR:
            base = static_cast<LONGLONG>(m_position);
            break;
        case STREAM_SEEK_END:
            base = static_cast<LONGLONG>(m_bytes.size());
            break;
        default:
            return STG_E_INVALIDFUNCTION;
        }
        LONGLONG target = base + move.QuadPart;
        if (target < 0)
            return STG_E_INVALIDFUNCTION;
        m_position = static_cast<ULONGLONG>(target);
        if (newPosition)
            newPosition->QuadPart = m_position;
        return S_OK;
    }

    HRESULT SetSize(ULARGE_INTEGER newSize) override {
        try {
            m_bytes.resize(newSize.QuadPart);
        } catch (...) {
            return STG_E_MEDIUMFULL;
        }
        return S_OK;
    }

    HRESULT CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read, ULARGE_INTEGER* written) override {
        if (!target)
            return STG_E_INVALIDPOINTER;
        ULONGLONG left = m_position < m_bytes.size() ? m_bytes.size() - m_position : 0;
        ULONGLONG n = std::min<ULONGLONG>(size.QuadPart, left);
        ULONGLONG done = 0;
        HRESULT hr = S_OK;
        while (done < n) {
            ULONG chunk = static_cast<ULONG>(std::min<ULONGLONG>(n - done, 1u << 30));
            ULONG put = 0;
            hr = target->Write(m_bytes.data() + m_position + done, chunk, &put);
            done += put;
            if (FAILED(hr) || put != chunk)
                break;
        }
        m_position += done;
        if (read)
            read->QuadPart = done;
        if (written)
            written->QuadPart = done;
        return hr;
    }

    HRESULT Commit(DWORD) override { return S_OK; }
    HRESULT Revert() override { return S_OK; }
    HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }

    HRESULT Stat(STATSTG* stat, DWORD) override {
        if (!stat)
            return STG_E_INVALIDPOINTER;
        *stat = STATSTG{};
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = m_bytes.size();
        return S_OK;
    }

    HRESULT Clone(IStream** clone) override {
        if (clone)
            *clone = nullptr;
        return E_NOTIMPL;
    }

private:
    ~HGlobalStream() = default;

    std::atomic<ULONG> m_refs{1};
    HGLOBAL m_global;
    bool m_deleteOnRelease;
    std::vector<BYTE> m_bytes;
    ULONGLONG m_position = 0;
};

thread_local int t_apartmentCount = 0;

} // namespace
} // namespace platform::com

using platform::com::HGlobalStream;

HRESULT CreateStreamOnHGlobal(HGLOBAL global, BOOL deleteOnRelease, LPSTREAM* stream) {
    if (!stream)
        return E_INVALIDARG;
    *stream = nullptr;
    bool ownHandle = global == nullptr;
    if (ownHandle) {
        global = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 1);
        if (!global)
            return E_OUTOFMEMORY;
    }
    auto* created = new (std::nothrow) HGlobalStream(global, deleteOnRelease != FALSE);
    if (!created) {
        if (ownHandle)
            GlobalFree(global);
        return E_OUTOFMEMORY;
    }
    if (!ownHandle) {
        SIZE_T size = GlobalSize(global);
        const void* data = GlobalLock(global);
        if (size && data) {
            try {
                created->bytes().assign(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
            } catch (...) {
                GlobalUnlock(global);
                created->Release();
                return E_OUTOFMEMORY;
            }
        }
        GlobalUnlock(global);
    }
    *stream = created;
    return S_OK;
}

HRESULT GetHGlobalFromStream(LPSTREAM stream, HGLOBAL* global) {
    if (!global)
        return E_INVALIDARG;
    *global = nullptr;
    // Only our own streams carry a handle.
    auto* ours = dynamic_cast<HGlobalStream*>(stream);
    if (!ours)
        return E_INVALIDARG;
    *global = ours->global();
    return S_OK;
}

bool platform::com::StreamBytes(IStream* stream, const BYTE** data, ULONGLONG* size) {
    auto* ours = dynamic_cast<HGlobalStream*>(stream);
    if (!ours || !data || !size)
        return false;
    *data = ours->bytes().data();
    *size = ours->bytes().size();
    return true;
}

HRESULT CoInitializeEx(LPVOID, DWORD) {
    return platform::com::t_apartmentCount++ == 0 ? S_OK : S_FALSE;
}

HRESULT CoInitialize(LPVOID reserved) {
    return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}

void CoUninitialize() {
    if (platform::com::t_apartmentCount > 0)
        --platform::com::t_apartmentCount;
}
