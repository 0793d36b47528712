// JPEG encoder over libjpeg-turbo. Every page becomes a three-component (YCbCr) JPEG, grey and one-bit pages
// included, because the PDF writers embed them as DeviceRGB.
#include "platform/gdiplus/imagedata.h"

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

namespace platform::gdiplus {
namespace {

constexpr long kDefaultQuality = 75;
constexpr size_t kBlock = 1 << 16;

struct Destination {
    jpeg_destination_mgr manager{};
    FileSink* sink = nullptr;
    std::vector<JOCTET> buffer;
};

void InitDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
    dest->manager.next_output_byte = dest->buffer.data();
    dest->manager.free_in_buffer = dest->buffer.size();
}

boolean EmptyBuffer(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
    if (!dest->sink->write(dest->buffer.data(), dest->buffer.size())) {
        // A full disk ends the encoding at once rather than after the whole page.
        cinfo->err->msg_code = JERR_FILE_WRITE;
        cinfo->err->error_exit(reinterpret_cast<j_common_ptr>(cinfo));
    }
    dest->manager.next_output_byte = dest->buffer.data();
    dest->manager.free_in_buffer = dest->buffer.size();
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
    dest->sink->write(dest->buffer.data(), dest->buffer.size() - dest->manager.free_in_buffer);
}

struct ErrorManager {
    jpeg_error_mgr base{};
    std::jmp_buf jump;
};

[[noreturn]] void OnError(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}
void OnMessage(j_common_ptr) {}

// Kept apart from EncodeJpeg so that no object with a destructor lives in the frame that longjmp crosses.
bool Compress(jpeg_compress_struct& cinfo, Destination& dest, const ImageData& image, long quality, BYTE* bgrRow) {
    jpeg_create_compress(&cinfo);
    cinfo.dest = &dest.manager;
    cinfo.image_width = static_cast<JDIMENSION>(image.width);
    cinfo.image_height = static_cast<JDIMENSION>(image.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, static_cast<int>(quality), TRUE);
    cinfo.density_unit = 1; // dots per inch
    cinfo.X_density = static_cast<UINT16>(std::lround(std::fmin(image.dpiX, 65535.0f)));
    cinfo.Y_density = static_cast<UINT16>(std::lround(std::fmin(image.dpiY, 65535.0f)));
    jpeg_start_compress(&cinfo, TRUE);
    bool direct = image.bitsPerPixel == 24;
    for (int y = 0; y < image.height; ++y) {
        JSAMPROW row = direct ? const_cast<JSAMPROW>(image.row(y)) : bgrRow;
        if (!direct)
            RowToBgr(image, y, bgrRow);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    return true;
}

} // namespace

Gdiplus::Status EncodeJpeg(const ImageData& image, const Gdiplus::EncoderParameters* parameters, const WCHAR* path) {
    long quality = QualityParameter(parameters, kDefaultQuality);
    if (image.width > JPEG_MAX_DIMENSION || image.height > JPEG_MAX_DIMENSION)
        return Gdiplus::InvalidParameter;
    std::vector<BYTE> bgrRow(static_cast<size_t>(image.width) * 3);
    FileSink sink(path);
    if (!sink.ok())
        return Gdiplus::Win32Error;

    Destination dest;
    dest.sink = &sink;
    dest.buffer.resize(kBlock);
    dest.manager.init_destination = InitDestination;
    dest.manager.empty_output_buffer = EmptyBuffer;
    dest.manager.term_destination = TermDestination;

    ErrorManager errors;
    jpeg_compress_struct cinfo{};
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnError;
    errors.base.output_message = OnMessage;
    volatile bool done = false;
    if (setjmp(errors.jump) == 0)
        done = Compress(cinfo, dest, image, quality, bgrRow.data());
    jpeg_destroy_compress(&cinfo);
    if (!done)
        return Gdiplus::GenericError;
    return sink.commit() ? Gdiplus::Ok : Gdiplus::Win32Error;
}

} // namespace platform::gdiplus
