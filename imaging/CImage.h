// The image buffer of the data source: a format (samples per pixel, bits per sample, size, resolution) whose pixels
// lie either in one locked global memory block (the 75-dpi previews) or, for a scanned page, in a Data_MapFile that
// is reached window by window.
//
// Rows are stored top row first, each directly after the previous one (a mapped image's rows are whole bytes, not
// padded to 4). Colour pixels are red, green, blue; 16- and 48-bit images hold 16-bit samples, low byte first.
// Allocation failures are thrown as a constant narrow message (const char*), caught by the callers in this module.
#pragma once

#include "imaging/Data_MapFile.h"
#include "platform/base/afxcore.h"

#include <atomic>
#include <cstdint>

// The host flag the engine sets at MSG_OPENDS when the host application is Photoshop: large in-memory images get
// extra room. Defined here, below the engine, because the image buffer reads it.
extern std::atomic<BOOL> g_bHostPhotoshop;

class CDC;
class CRect;

class CImage : public CObject {
    DECLARE_DYNAMIC(CImage)
public:
    static constexpr int kBitmapInfoSize = 1064; // BITMAPINFOHEADER and 256 RGBQUADs, used for drawing

    CImage();
    ~CImage() override;

    // Read position := 0; the readable size is the whole image in bytes.
    virtual void ResetRead();
    // Draws the src rectangle of an in-memory image into dest on the DC (StretchDIBits with rop); clipped to the
    // image; draws nothing for an image without bits or a rectangle outside it. Returns 1.
    virtual int Draw(CDC* pDC, const CRect* dest, const CRect* src, DWORD rop);
    // In-memory image of that format; FALSE when the bits cannot be had (or the depth is not 1, 4, 8, 16, 24, 48).
    virtual BOOL Create(WORD spp, WORD bps, int width, int height, int xRes, int yRes);
    virtual BYTE* GetBits();
    virtual BYTE* GetPalette();
    virtual WORD GetSamplesPerPixel();
    virtual WORD GetBitsPerSample();
    virtual int GetWidth();
    virtual int GetHeight();
    virtual int SetWidth(int width);
    virtual int SetHeight(int height);
    virtual int GetXResolution();
    virtual int GetYResolution();
    // Frees everything; a second call, or the destructor after it, finds nothing left to free. Returns 1.
    virtual int Destroy();
    virtual BOOL CreateNewImage();

    // Mapped image of that format, backed by a temporary file.
    BOOL CreateMapped(WORD spp, WORD bps, int width, int height, int xRes, int yRes);
    BOOL CreateNewImageData();
    // Windows of a mapped image (null when the image has no mapped data); see Data_MapFile.
    void* GetDataHandle(unsigned offset, unsigned length, BYTE** data);
    void ReleaseDataHandle(void* view);
    // Copies the next min(size, what remains) bytes; *read tells how many. 0 = success (also at the end, with 0
    // bytes), -1 when the image has no mapped data or no window can be mapped (the read position then stays).
    int ReadMappedData(void* buffer, unsigned size, unsigned* read);
    BOOL CreatePalette();
    void FreeBits();
    void FreePalette();
    void FreeDisplayData();

    // The drawing steps (imaging/CImageDraw.cpp): the DIB header and colour table of a rectangle, its bottom-up
    // display copy (rows padded to 4 bytes, blue-green-red), and the copy of one rectangle by depth into rows of
    // destRowLen bytes (0 for a depth it does not know).
    void BuildBitmapInfo(const CRect* src);
    void ConstructDisplayData(const CRect* src);
    int CopyRect(BYTE* bits, const CRect* src, BYTE* dest, int destRowLen);
    int CopyRect1(BYTE* bits, const CRect* src, BYTE* dest, int destRowLen);
    int CopyRect4(BYTE* bits, const CRect* src, BYTE* dest, int destRowLen);
    int CopyRect8(BYTE* bits, const CRect* src, BYTE* dest, int destRowLen);
    int CopyRect16(BYTE* bits, const CRect* src, BYTE* dest, int destRowLen);
    int CopyRect24(BYTE* bits, const CRect* src, BYTE* dest, int destRowLen);
    int CopyRect48(BYTE* bits, const CRect* src, BYTE* dest, int destRowLen);
    static void FlipRows(BYTE* data, int rowLen, int rows);
    static void SwapRedBlue(BYTE* data, int rowLen, int rows, int width);
    int StretchToDC(CDC* pDC, const CRect* dest, const CRect* src, DWORD rop);
    const BYTE* GetDisplayData() const { return m_pDisplayData; }

    // Byte sizes in 64 bits: a 1200-dpi A3 page in 48-bit colour overflows 32-bit arithmetic on the way.
    std::uint64_t InMemorySize() const; // the bits an in-memory image asks for (0 for an unknown depth)
    std::uint64_t MappedSize() const;   // whole bytes a row, rows unpadded
    std::uint64_t ReadableSize() const; // what the sequential reader hands out
    Data_MapFile* GetMappedData() { return m_pMapData; }
    // The image's section itself, for the page fixes that put a turned copy in its place.
    Data_MapFile** GetMappedDataSlot() { return &m_pMapData; }
    const BYTE* GetBitmapInfo() const { return m_pBitmapInfo; }
    unsigned GetReadPosition() const { return m_nReadPos; }

protected:
    void Init();
    void EnsureBitmapInfo();
    void SetFormat(WORD spp, WORD bps, int width, int height, int xRes, int yRes);
    int BitsPerPixel() const { return m_wSamplesPerPixel * m_wBitsPerSample; }

    BYTE* m_pBits = nullptr;        // locked GMEM_MOVEABLE block of an in-memory image
    BYTE* m_pPalette = nullptr;     // 3 bytes an entry (R, G, B): 2, 16 or 256 entries for 1, 4, 8 bpp
    BYTE* m_pBitmapInfo = nullptr;  // kBitmapInfoSize bytes, zeroed at construction
    BYTE* m_pDisplayData = nullptr; // drawable copy of the last drawn rectangle (locked global block)
    WORD m_wSamplesPerPixel = 0;
    WORD m_wBitsPerSample = 0;
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nXResolution = 0;
    int m_nYResolution = 0;
    unsigned m_nReadPos = 0;
    unsigned m_nReadableSize = 0;
    Data_MapFile* m_pMapData = nullptr;
};
