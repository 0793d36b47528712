#include "imaging/CImage.h"

#include <algorithm>
#include <cstring>
#include <new>

std::atomic<BOOL> g_bHostPhotoshop{FALSE};

IMPLEMENT_DYNAMIC(CImage, CObject)

namespace {
constexpr std::uint64_t kPhotoshopThreshold = 104857600; // 100 MiB
constexpr std::uint64_t kPhotoshopExtra = 262144000;     // 250 MiB
constexpr std::uint64_t kRetryStep = 10485760;           // 10 MiB
constexpr int kPreviewResolution = 75;                   // a preview starts white
} // namespace

CImage::CImage() {
    Init();
}

CImage::~CImage() {
    Destroy();
}

void CImage::Init() {
    m_pBits = m_pPalette = m_pDisplayData = nullptr;
    m_wSamplesPerPixel = m_wBitsPerSample = 0;
    m_nWidth = m_nHeight = m_nXResolution = m_nYResolution = 0;
    m_nReadPos = m_nReadableSize = 0;
    m_pMapData = nullptr;
    m_pBitmapInfo = nullptr;
    EnsureBitmapInfo();
}

// Destroy frees the drawing header too; an image created again after it gets a new one.
void CImage::EnsureBitmapInfo() {
    if (!m_pBitmapInfo)
        m_pBitmapInfo = new (std::nothrow) BYTE[kBitmapInfoSize]();
}

std::uint64_t CImage::InMemorySize() const {
    if (m_nWidth <= 0 || m_nHeight <= 0)
        return 0;
    const std::uint64_t w = static_cast<std::uint64_t>(m_nWidth);
    const std::uint64_t h = static_cast<std::uint64_t>(m_nHeight);
    switch (BitsPerPixel()) {
    case 1: // room for the page and for its 90-degree turned form, with three spare rows
        return std::max((w + 7) / 8 * (h + 3), (h + 10) / 8 * w);
    case 4:
        return (w * h + 1) / 2;
    case 8:
        return w * h;
    case 16:
        return 2 * w * h;
    case 24:
        return 3 * w * h;
    case 48:
        return 6 * w * h;
    default:
        return 0;
    }
}

std::uint64_t CImage::MappedSize() const {
    if (m_nWidth <= 0 || m_nHeight <= 0)
        return 0;
    const std::uint64_t rowBytes = (static_cast<std::uint64_t>(m_nWidth) * BitsPerPixel() + 7) >> 3;
    return rowBytes * static_cast<std::uint64_t>(m_nHeight);
}

std::uint64_t CImage::ReadableSize() const {
    if (m_nWidth <= 0 || m_nHeight <= 0)
        return 0;
    const std::uint64_t w = static_cast<std::uint64_t>(m_nWidth);
    const std::uint64_t h = static_cast<std::uint64_t>(m_nHeight);
    if (m_wBitsPerSample == 1)
        return (w + 7) / 8 * h;
    return w * h * m_wSamplesPerPixel * m_wBitsPerSample / 8;
}

void CImage::ResetRead() {
    m_nReadPos = 0;
    m_nReadableSize = static_cast<unsigned>(std::min<std::uint64_t>(ReadableSize(), UINT32_MAX));
}

// Drops the old pixels and palette and takes the new format; the pixels themselves are made by the caller.
void CImage::SetFormat(WORD spp, WORD bps, int width, int height, int xRes, int yRes) {
    EnsureBitmapInfo();
    FreePalette();
    FreeBits();
    m_wSamplesPerPixel = spp;
    m_wBitsPerSample = bps;
    m_nWidth = width;
    m_nHeight = height;
    m_nXResolution = xRes;
    m_nYResolution = yRes;
    CreatePalette();
}

BOOL CImage::Create(WORD spp, WORD bps, int width, int height, int xRes, int yRes) {
    SetFormat(spp, bps, width, height, xRes, yRes);
    return CreateNewImage();
}

BOOL CImage::CreateMapped(WORD spp, WORD bps, int width, int height, int xRes, int yRes) {
    SetFormat(spp, bps, width, height, xRes, yRes);
    return CreateNewImageData();
}

BOOL CImage::CreateNewImage() {
    const std::uint64_t size = InMemorySize();
    if (size == 0 || size > SIZE_MAX)
        return FALSE;
    std::uint64_t request = size;
    if (g_bHostPhotoshop && size > kPhotoshopThreshold)
        request = size + kPhotoshopExtra;
    try {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(request));
        BYTE* bits = block ? static_cast<BYTE*>(GlobalLock(block)) : nullptr;
        // Back off in 10 MiB steps, never below the size the image needs.
        while (!bits && request >= size + kRetryStep) {
            if (block)
                GlobalFree(block);
            request -= kRetryStep;
            block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(request));
            bits = block ? static_cast<BYTE*>(GlobalLock(block)) : nullptr;
        }
        if (!bits) {
            if (block)
                GlobalFree(block);
            GetLastError();
            return FALSE;
        }
        m_pBits = bits;
    } catch (...) {
        throw "Create New Image: Out of Memory!";
    }
    if (m_nXResolution == kPreviewResolution)
        std::memset(m_pBits, 0xFF, static_cast<size_t>(size));
    return TRUE;
}

BOOL CImage::CreateNewImageData() {
    const std::uint64_t size = MappedSize();
    // One section holds at most 4 GiB - 1 bytes; a zero-byte page has nothing to map.
    if (size == 0 || size > UINT32_MAX)
        return FALSE;
    try {
        m_pMapData = new Data_MapFile;
        if (m_pMapData->MapFile_Create(static_cast<unsigned>(size), CString()) == 0)
            return TRUE;
    } catch (...) {
        throw "Create New Image DATA error!";
    }
    // A section that was not created is no mapped data: readers then answer -1 instead of using it.
    delete m_pMapData;
    m_pMapData = nullptr;
    return FALSE;
}

void* CImage::GetDataHandle(unsigned offset, unsigned length, BYTE** data) {
    return m_pMapData ? m_pMapData->GetDataHandle(offset, length, data) : nullptr;
}

void CImage::ReleaseDataHandle(void* view) {
    if (m_pMapData)
        m_pMapData->ReleaseDataHandle(view);
}

int CImage::ReadMappedData(void* buffer, unsigned size, unsigned* read) {
    if (!m_pMapData || !buffer || !read)
        return -1;
    const unsigned remaining = m_nReadableSize > m_nReadPos ? m_nReadableSize - m_nReadPos : 0;
    *read = std::min(size, remaining);
    if (*read == 0)
        return 0; // at the end: nothing to map, nothing to copy
    try {
        BYTE* data = nullptr;
        void* view = GetDataHandle(m_nReadPos, *read, &data);
        if (!view)
            return -1;
        std::memcpy(buffer, data, *read);
        ReleaseDataHandle(view);
    } catch (...) {
        return -1;
    }
    m_nReadPos += *read;
    return 0;
}

BOOL CImage::CreatePalette() {
    size_t bytes = 0;
    switch (BitsPerPixel()) {
    case 1:
        bytes = 6;
        break;
    case 4:
        bytes = 48;
        break;
    case 8:
        bytes = 768;
        break;
    default:
        return TRUE;
    }
    m_pPalette = new (std::nothrow) BYTE[bytes]();
    if (!m_pPalette)
        throw "Create Pallette: Out of Memory!";
    return TRUE;
}

void CImage::FreeBits() {
    if (m_pBits) {
        HGLOBAL block = GlobalHandle(m_pBits);
        GlobalUnlock(block);
        GlobalFree(block);
        m_pBits = nullptr;
    }
    delete m_pMapData; // closes the section and deletes the temporary file
    m_pMapData = nullptr;
}

void CImage::FreePalette() {
    delete[] m_pPalette;
    m_pPalette = nullptr;
}

void CImage::FreeDisplayData() {
    if (m_pDisplayData) {
        HGLOBAL block = GlobalHandle(m_pDisplayData);
        GlobalUnlock(block);
        GlobalFree(block);
        m_pDisplayData = nullptr;
    }
}

int CImage::Destroy() {
    delete[] m_pBitmapInfo;
    m_pBitmapInfo = nullptr;
    FreePalette();
    FreeBits();
    FreeDisplayData();
    return 1;
}

BYTE* CImage::GetBits() {
    return m_pBits;
}
BYTE* CImage::GetPalette() {
    return m_pPalette;
}
WORD CImage::GetSamplesPerPixel() {
    return m_wSamplesPerPixel;
}
WORD CImage::GetBitsPerSample() {
    return m_wBitsPerSample;
}
int CImage::GetWidth() {
    return m_nWidth;
}
int CImage::GetHeight() {
    return m_nHeight;
}
int CImage::SetWidth(int width) {
    return m_nWidth = width;
}
int CImage::SetHeight(int height) {
    return m_nHeight = height;
}
int CImage::GetXResolution() {
    return m_nXResolution;
}
int CImage::GetYResolution() {
    return m_nYResolution;
}
