// GDI+ as far as the system uses it: start-up, images read from a stream holding a BMP file (1, 8 and 24 bits),
// the image encoders (BMP, JPEG, GIF, TIFF, PNG) and metafiles recorded as EMF and turned into WMF.
#pragma once

#include "platform/base/wintypes.h"
#include "platform/gdiplus/objidl.h"

#include <memory>

#ifndef MM_ANISOTROPIC
#define MM_ANISOTROPIC 8
#endif

// The GDI metafile handles our metafiles hand out. Their bytes live in memory; CopyMetaFileW writes them to a file.
HMETAFILE SetMetaFileBitsEx(UINT size, const BYTE* data);
UINT GetMetaFileBitsEx(HMETAFILE metafile, UINT size, LPVOID data);
HMETAFILE CopyMetaFileW(HMETAFILE metafile, LPCWSTR fileName);
BOOL DeleteMetaFile(HMETAFILE metafile);
UINT GetEnhMetaFileBits(HENHMETAFILE metafile, UINT size, LPBYTE data);
BOOL DeleteEnhMetaFile(HENHMETAFILE metafile);

namespace platform::gdiplus {
struct ImageData;
class MetafileRecorder;
} // namespace platform::gdiplus

namespace Gdiplus {

using REAL = float;
using ARGB = DWORD;
using PixelFormat = INT;

enum Status {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
    PropertyNotFound = 19,
    PropertyNotSupported = 20,
};

struct GdiplusStartupInput {
    UINT GdiplusVersion = 1;
    void* DebugEventCallback = nullptr;
    BOOL SuppressBackgroundThread = FALSE;
    BOOL SuppressExternalCodecs = FALSE;
};
struct GdiplusStartupOutput {
    void* NotificationHook = nullptr;
    void* NotificationUnhook = nullptr;
};
// Start-up is counted; images work before it too (nothing here needs a background thread).
Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output);
void GdiplusShutdown(ULONG_PTR token);

// Pixel formats: bits 8-15 the bits per pixel, the upper bits flags (indexed, GDI-compatible, alpha, canonical).
constexpr PixelFormat PixelFormatIndexed = 0x00010000;
constexpr PixelFormat PixelFormatGDI = 0x00020000;
constexpr PixelFormat PixelFormatAlpha = 0x00040000;
constexpr PixelFormat PixelFormatCanonical = 0x00200000;
constexpr PixelFormat PixelFormatUndefined = 0;
constexpr PixelFormat PixelFormatDontCare = 0;
constexpr PixelFormat PixelFormat1bppIndexed = 0x00030101;
constexpr PixelFormat PixelFormat4bppIndexed = 0x00030402;
constexpr PixelFormat PixelFormat8bppIndexed = 0x00030803;
constexpr PixelFormat PixelFormat24bppRGB = 0x00021808;
constexpr PixelFormat PixelFormat32bppRGB = 0x00022009;
constexpr PixelFormat PixelFormat32bppARGB = 0x0026200A;
inline UINT GetPixelFormatSize(PixelFormat format) {
    return (static_cast<UINT>(format) >> 8) & 0xff;
}
inline BOOL IsIndexedPixelFormat(PixelFormat format) {
    return (format & PixelFormatIndexed) != 0;
}

enum Unit {
    UnitWorld = 0,
    UnitDisplay = 1,
    UnitPixel = 2,
    UnitPoint = 3,
    UnitInch = 4,
    UnitDocument = 5,
    UnitMillimeter = 6,
};
enum EmfType { EmfTypeEmfOnly = 3, EmfTypeEmfPlusOnly = 4, EmfTypeEmfPlusDual = 5 };
enum MetafileFrameUnit {
    MetafileFrameUnitPixel = UnitPixel,
    MetafileFrameUnitPoint = UnitPoint,
    MetafileFrameUnitInch = UnitInch,
    MetafileFrameUnitDocument = UnitDocument,
    MetafileFrameUnitMillimeter = UnitMillimeter,
    MetafileFrameUnitGdi = 7,
};
enum EmfToWmfBitsFlags {
    EmfToWmfBitsFlagsDefault = 0,
    EmfToWmfBitsFlagsEmbedEmf = 1,
    EmfToWmfBitsFlagsIncludePlaceable = 2,
    EmfToWmfBitsFlagsNoXORClip = 4,
};
enum ColorAdjustType {
    ColorAdjustTypeDefault = 0,
    ColorAdjustTypeBitmap = 1,
    ColorAdjustTypeBrush = 2,
    ColorAdjustTypePen = 3,
    ColorAdjustTypeText = 4,
    ColorAdjustTypeCount = 5,
    ColorAdjustTypeAny = 6,
};
enum ColorMatrixFlags { ColorMatrixFlagsDefault = 0, ColorMatrixFlagsSkipGrays = 1, ColorMatrixFlagsAltGray = 2 };
enum EncoderParameterValueType {
    EncoderParameterValueTypeByte = 1,
    EncoderParameterValueTypeASCII = 2,
    EncoderParameterValueTypeShort = 3,
    EncoderParameterValueTypeLong = 4,
    EncoderParameterValueTypeRational = 5,
    EncoderParameterValueTypeLongRange = 6,
    EncoderParameterValueTypeUndefined = 7,
    EncoderParameterValueTypeRationalRange = 8,
};

// Applied to (R, G, B, A, 1) as a row vector, values 0.0 to 1.0.
struct ColorMatrix {
    REAL m[5][5];
};

struct Rect {
    INT X = 0;
    INT Y = 0;
    INT Width = 0;
    INT Height = 0;
    Rect() = default;
    Rect(INT x, INT y, INT width, INT height) : X(x), Y(y), Width(width), Height(height) {}
};
struct RectF {
    REAL X = 0;
    REAL Y = 0;
    REAL Width = 0;
    REAL Height = 0;
    RectF() = default;
    RectF(REAL x, REAL y, REAL width, REAL height) : X(x), Y(y), Width(width), Height(height) {}
};

struct ImageCodecInfo {
    CLSID Clsid;
    GUID FormatID;
    const WCHAR* CodecName;
    const WCHAR* DllName;
    const WCHAR* FormatDescription;
    const WCHAR* FilenameExtension;
    const WCHAR* MimeType;
    DWORD Flags;
    DWORD Version;
    DWORD SigCount;
    DWORD SigSize;
    const BYTE* SigPattern;
    const BYTE* SigMask;
};

struct EncoderParameter {
    GUID Guid;
    ULONG NumberOfValues;
    ULONG Type; // EncoderParameterValueType
    void* Value;
};
struct EncoderParameters {
    UINT Count;
    EncoderParameter Parameter[1];
};

extern const GUID EncoderQuality;
extern const GUID EncoderCompression;
extern const GUID ImageFormatBMP;
extern const GUID ImageFormatEMF;
extern const GUID ImageFormatWMF;
extern const GUID ImageFormatJPEG;
extern const GUID ImageFormatPNG;
extern const GUID ImageFormatGIF;
extern const GUID ImageFormatTIFF;

// The encoders in order BMP, JPEG, GIF, TIFF, PNG. `size` covers the array and the strings it points into, which
// GetImageEncoders places in the caller's buffer after the array.
Status GetImageEncodersSize(UINT* numEncoders, UINT* size);
Status GetImageEncoders(UINT numEncoders, UINT size, ImageCodecInfo* encoders);

class Graphics;

class Image {
public:
    // Reads a BMP file from the start of the stream (1, 8 or 24 bits, top-down or bottom-up, uncompressed).
    explicit Image(IStream* stream, BOOL useEmbeddedColorManagement = FALSE);
    static Image* FromStream(IStream* stream, BOOL useEmbeddedColorManagement = FALSE);
    virtual ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    // Answers the status of the last failing call, then resets it to Ok (as GDI+ does).
    Status GetLastStatus() const;
    UINT GetWidth();
    UINT GetHeight();
    PixelFormat GetPixelFormat();
    // Dots per inch from the file's pixels per metre (11811 gives 299.9994); 96 when the file has none.
    REAL GetHorizontalResolution();
    REAL GetVerticalResolution();
    Status Save(const WCHAR* fileName, const CLSID* encoder, const EncoderParameters* parameters = nullptr);

protected:
    Image() = default;
    Status SetStatus(Status status) const;

    std::shared_ptr<const platform::gdiplus::ImageData> m_data;
    mutable Status m_lastStatus = Ok;
    friend class Graphics;
};

class Bitmap : public Image {
public:
    explicit Bitmap(IStream* stream, BOOL useEmbeddedColorManagement = FALSE);
    static Bitmap* FromStream(IStream* stream, BOOL useEmbeddedColorManagement = FALSE);
};

class ImageAttributes {
public:
    ImageAttributes() = default;
    // Drawn pixels whose brightness is at least `threshold` become white, the others black.
    Status SetThreshold(REAL threshold, ColorAdjustType type = ColorAdjustTypeDefault);
    Status ClearThreshold(ColorAdjustType type = ColorAdjustTypeDefault);
    Status SetColorMatrix(const ColorMatrix* matrix, ColorMatrixFlags flags = ColorMatrixFlagsDefault,
                          ColorAdjustType type = ColorAdjustTypeDefault);
    Status GetLastStatus() const { return m_lastStatus; }

private:
    bool m_hasThreshold = false;
    REAL m_threshold = 0;
    bool m_hasMatrix = false;
    ColorMatrix m_matrix{};
    mutable Status m_lastStatus = Ok;
    friend class Graphics;
};

// A metafile being recorded into a file. The EMF is complete when the Graphics drawing on it is destroyed (or,
// without one, when the metafile is); our recording writes plain EMF records whatever `type` asks for.
class Metafile : public Image {
public:
    Metafile(const WCHAR* fileName, HDC referenceHdc, EmfType type = EmfTypeEmfPlusDual,
             const WCHAR* description = nullptr);
    ~Metafile() override;

    // Ends the recording and hands over the EMF; the Metafile object is no longer usable afterwards.
    HENHMETAFILE GetHENHMETAFILE();
    // A WMF made from the EMF: a picture of the same size (MM_ANISOTROPIC) and, with EmfToWmfBitsFlagsEmbedEmf, the
    // EMF itself in comment records. Without a buffer answers the size needed; 0 on failure.
    static UINT EmfToWmfBits(HENHMETAFILE emf, UINT bufferSize, LPBYTE buffer, INT mapMode = MM_ANISOTROPIC,
                             INT flags = EmfToWmfBitsFlagsDefault);

private:
    std::unique_ptr<platform::gdiplus::MetafileRecorder> m_recorder;
    friend class Graphics;
};

// Drawing is implemented only onto a recording metafile, which is all the system draws on.
class Graphics {
public:
    explicit Graphics(Image* image);
    static Graphics* FromImage(Image* image);
    ~Graphics();
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;

    Status DrawImage(Image* image, INT x, INT y, INT width, INT height);
    Status DrawImage(Image* image, const Rect& destination, INT srcX, INT srcY, INT srcWidth, INT srcHeight,
                     Unit srcUnit, const ImageAttributes* attributes = nullptr, void* abortCallback = nullptr,
                     void* callbackData = nullptr);
    Status GetLastStatus() const;

private:
    Status SetStatus(Status status) const;

    Metafile* m_target = nullptr;
    mutable Status m_lastStatus = Ok;
};

} // namespace Gdiplus

namespace platform::gdiplus::testing {
// Start-ups not yet shut down: a token shut down twice, or one never given, closes nothing.
size_t OpenSessions();
} // namespace platform::gdiplus::testing
