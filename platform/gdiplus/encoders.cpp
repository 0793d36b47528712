// The encoder list and Image::Save.
#include "platform/gdiplus/imagedata.h"

#include "platform/base/windows.h"

#include <cstring>

namespace Gdiplus {

const GUID EncoderQuality = {0x1d5be4b5, 0xfa4a, 0x452d, {0x9c, 0xdd, 0x5d, 0xb3, 0x51, 0x05, 0xe7, 0xeb}};
const GUID EncoderCompression = {0xe09d739d, 0xccd4, 0x44ee, {0x8e, 0xba, 0x3f, 0xbf, 0x8b, 0xe4, 0xfc, 0x58}};
const GUID ImageFormatBMP = {0xb96b3cab, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
const GUID ImageFormatEMF = {0xb96b3cac, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
const GUID ImageFormatWMF = {0xb96b3cad, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
const GUID ImageFormatJPEG = {0xb96b3cae, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
const GUID ImageFormatPNG = {0xb96b3caf, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
const GUID ImageFormatGIF = {0xb96b3cb0, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
const GUID ImageFormatTIFF = {0xb96b3cb1, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};

} // namespace Gdiplus

namespace platform::gdiplus {
namespace {

using Encode = Gdiplus::Status (*)(const ImageData&, const Gdiplus::EncoderParameters*, const WCHAR*);

struct Codec {
    CLSID clsid;
    const GUID* format;
    const WCHAR* name;
    const WCHAR* description;
    const WCHAR* extensions;
    const WCHAR* mime;
    Encode encode;
};

constexpr DWORD kCodecFlags = 0x00010007; // encoder, decoder, bitmap format, built in

CLSID EncoderClsid(BYTE last) {
    return {0x557cf400u + last, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
}

const Codec kCodecs[] = {
    {EncoderClsid(0), &Gdiplus::ImageFormatBMP, u"Built-in BMP Codec", u"BMP", u"*.BMP;*.DIB;*.RLE", u"image/bmp",
     EncodeBmp},
    {EncoderClsid(1), &Gdiplus::ImageFormatJPEG, u"Built-in JPEG Codec", u"JPEG", u"*.JPG;*.JPEG;*.JPE;*.JFIF",
     u"image/jpeg", EncodeJpeg},
    {EncoderClsid(2), &Gdiplus::ImageFormatGIF, u"Built-in GIF Codec", u"GIF", u"*.GIF", u"image/gif", EncodeGif},
    {EncoderClsid(5), &Gdiplus::ImageFormatTIFF, u"Built-in TIFF Codec", u"TIFF", u"*.TIF;*.TIFF", u"image/tiff",
     EncodeTiff},
    {EncoderClsid(6), &Gdiplus::ImageFormatPNG, u"Built-in PNG Codec", u"PNG", u"*.PNG", u"image/png", EncodePng},
};
constexpr UINT kCodecCount = sizeof kCodecs / sizeof kCodecs[0];

size_t Chars(const WCHAR* s) {
    return std::char_traits<char16_t>::length(s) + 1;
}

size_t StringBytes(const Codec& codec) {
    return (Chars(codec.name) + Chars(codec.description) + Chars(codec.extensions) + Chars(codec.mime)) * sizeof(WCHAR);
}

} // namespace

long QualityParameter(const Gdiplus::EncoderParameters* parameters, long fallback) {
    if (!parameters)
        return fallback;
    for (UINT i = 0; i < parameters->Count; ++i) {
        const Gdiplus::EncoderParameter& p = parameters->Parameter[i];
        if (p.Guid == Gdiplus::EncoderQuality && p.NumberOfValues >= 1 && p.Value &&
            p.Type == Gdiplus::EncoderParameterValueTypeLong) {
            ULONG value = *static_cast<const ULONG*>(p.Value);
            return value > 100 ? 100 : static_cast<long>(value);
        }
    }
    return fallback;
}

} // namespace platform::gdiplus

namespace Gdiplus {

using platform::gdiplus::kCodecCount;
using platform::gdiplus::kCodecs;

Status GetImageEncodersSize(UINT* numEncoders, UINT* size) {
    if (!numEncoders || !size)
        return InvalidParameter;
    size_t total = kCodecCount * sizeof(ImageCodecInfo);
    for (const auto& codec : kCodecs)
        total += platform::gdiplus::StringBytes(codec);
    *numEncoders = kCodecCount;
    *size = static_cast<UINT>(total);
    return Ok;
}

Status GetImageEncoders(UINT numEncoders, UINT size, ImageCodecInfo* encoders) {
    UINT needCount = 0, needSize = 0;
    GetImageEncodersSize(&needCount, &needSize);
    if (!encoders || numEncoders != needCount || size < needSize)
        return GenericError;
    auto* strings = reinterpret_cast<WCHAR*>(encoders + kCodecCount);
    auto place = [&strings](const WCHAR* s) {
        size_t n = platform::gdiplus::Chars(s);
        std::memcpy(strings, s, n * sizeof(WCHAR));
        const WCHAR* placed = strings;
        strings += n;
        return placed;
    };
    for (UINT i = 0; i < kCodecCount; ++i) {
        ImageCodecInfo& info = encoders[i];
        info = ImageCodecInfo{};
        info.Clsid = kCodecs[i].clsid;
        info.FormatID = *kCodecs[i].format;
        info.CodecName = place(kCodecs[i].name);
        info.DllName = nullptr;
        info.FormatDescription = place(kCodecs[i].description);
        info.FilenameExtension = place(kCodecs[i].extensions);
        info.MimeType = place(kCodecs[i].mime);
        info.Flags = platform::gdiplus::kCodecFlags;
        info.Version = 1;
    }
    return Ok;
}

Status Image::Save(const WCHAR* fileName, const CLSID* encoder, const EncoderParameters* parameters) {
    if (!fileName || !encoder)
        return SetStatus(InvalidParameter);
    if (!m_data)
        return SetStatus(InvalidParameter);
    for (const auto& codec : kCodecs)
        if (codec.clsid == *encoder)
            return SetStatus(codec.encode(*m_data, parameters, fileName));
    return SetStatus(FileNotFound);
}

} // namespace Gdiplus
