#include "tools/twainapp/PageTransfer.h"

#include <png.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <memory>

namespace twainapp {

namespace {

double FixToDouble(TW_FIX32 fix) {
    return fix.Whole + fix.Frac / 65536.0;
}

std::uint32_t Get32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

std::uint16_t Get16(const std::uint8_t* p) {
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    if (text.size() < tail.size())
        return false;
    return std::equal(tail.rbegin(), tail.rend(), text.rbegin(),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

TW_UINT16 NativeTransfer(TwainSession& session, ReceivedPage& page, std::string& report) {
    TW_HANDLE handle = nullptr;
    const TW_UINT16 rc = session.NativeXfer(handle);
    if (rc != TWRC_XFERDONE) {
        report = "native transfer: return code " + std::to_string(rc);
        return rc;
    }
    if (handle == nullptr) {
        report = "native transfer: done, but no bitmap came";
        return rc;
    }
    // The bitmap is a block of the C heap (a global handle of the source's platform): the application frees it.
    std::string why;
    const auto* dib = static_cast<const std::uint8_t*>(handle);
    if (PageFromDib(dib, malloc_usable_size(handle), page, why))
        report = "native transfer: a DIB of " + std::to_string(page.width) + " x " + std::to_string(page.height) +
                 " pixels, " + std::to_string(page.bitsPerPixel) + " bits";
    else
        report = "native transfer: " + why;
    std::free(handle);
    return rc;
}

TW_UINT16 MemoryTransfer(TwainSession& session, const TW_IMAGEINFO& info, ReceivedPage& page, std::string& report) {
    TW_SETUPMEMXFER setup{};
    if (session.SetupMemXfer(setup) != TWRC_SUCCESS) {
        report = "memory transfer: DAT_SETUPMEMXFER failed";
        return TWRC_FAILURE;
    }
    const TW_UINT32 size = setup.Preferred != 0 ? setup.Preferred : std::max<TW_UINT32>(setup.MinBufSize, 1);
    std::vector<std::uint8_t> buffer(size);
    page.width = std::max(info.ImageWidth, 0);
    page.height = std::max(info.ImageLength, 0);
    page.bitsPerPixel = info.BitsPerPixel;
    const std::size_t rowBytes = page.RowBytes();
    page.rows.assign(rowBytes * static_cast<std::size_t>(page.height), 0);
    int calls = 0;
    for (;;) {
        TW_IMAGEMEMXFER xfer{};
        xfer.Compression = TWON_DONTCARE16;
        xfer.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
        xfer.Memory.Length = size;
        xfer.Memory.TheMem = buffer.data();
        const TW_UINT16 rc = session.MemXfer(xfer);
        if (rc != TWRC_SUCCESS && rc != TWRC_XFERDONE) {
            report =
                "memory transfer: return code " + std::to_string(rc) + " after " + std::to_string(calls) + " buffers";
            return rc;
        }
        ++calls;
        // Whole rows, or a piece of one row starting at XOffset.
        const std::size_t start = static_cast<std::size_t>(xfer.XOffset) * page.bitsPerPixel / 8;
        for (TW_UINT32 r = 0; r < xfer.Rows && xfer.BytesPerRow != 0; ++r) {
            const std::size_t y = static_cast<std::size_t>(xfer.YOffset) + r;
            const std::size_t from = static_cast<std::size_t>(r) * xfer.BytesPerRow;
            if (y >= static_cast<std::size_t>(page.height) || from >= xfer.BytesWritten || start >= rowBytes)
                break;
            const std::size_t bytes =
                std::min({static_cast<std::size_t>(xfer.BytesPerRow),
                          static_cast<std::size_t>(xfer.BytesWritten) - from, rowBytes - start, buffer.size() - from});
            std::memcpy(page.rows.data() + y * rowBytes + start, buffer.data() + from, bytes);
        }
        if (rc == TWRC_XFERDONE)
            break;
    }
    report = "memory transfer: " + std::to_string(page.height) + " rows in " + std::to_string(calls) + " buffers of " +
             std::to_string(size) + " bytes";
    return TWRC_XFERDONE;
}

TW_UINT16 FileTransfer(TwainSession& session, const std::string& path, std::string& report) {
    TW_SETUPFILEXFER setup{};
    std::strncpy(setup.FileName, path.c_str(), sizeof setup.FileName - 1);
    setup.Format = EndsWith(path, ".tif") || EndsWith(path, ".tiff") ? TWFF_TIFF : TWFF_BMP;
    if (session.SetupFileXfer(setup) != TWRC_SUCCESS) {
        report = "file transfer: DAT_SETUPFILEXFER refused " + path;
        return TWRC_FAILURE;
    }
    const TW_UINT16 rc = session.FileXfer();
    if (rc == TWRC_XFERDONE)
        report =
            std::string("file transfer: the source wrote ") + path + (setup.Format == TWFF_TIFF ? " (TIFF)" : " (BMP)");
    else
        report = "file transfer: return code " + std::to_string(rc);
    return rc;
}

} // namespace

std::string DescribeImageInfo(const TW_IMAGEINFO& info) {
    const char* type = info.PixelType == TWPT_BW     ? "black and white"
                       : info.PixelType == TWPT_GRAY ? "grey"
                       : info.PixelType == TWPT_RGB  ? "colour"
                                                     : "other";
    char line[256];
    std::snprintf(line, sizeof line, "%d x %d pixels, %g x %g dpi, %s, %d bits a pixel (%d x %d), %s", info.ImageWidth,
                  info.ImageLength, FixToDouble(info.XResolution), FixToDouble(info.YResolution), type,
                  info.BitsPerPixel, info.SamplesPerPixel, info.BitsPerSample[0],
                  info.Compression == TWCP_NONE ? "uncompressed" : "compressed");
    return line;
}

TW_UINT16 TransferPage(TwainSession& session, Mechanism mechanism, const TW_IMAGEINFO& info,
                       const std::string& filePath, ReceivedPage& page, std::string& report) {
    page = ReceivedPage{};
    switch (mechanism) {
    case Mechanism::Native:
        return NativeTransfer(session, page, report);
    case Mechanism::Memory:
        return MemoryTransfer(session, info, page, report);
    case Mechanism::File:
        return FileTransfer(session, filePath, report);
    }
    return TWRC_FAILURE;
}

bool PageFromDib(const std::uint8_t* dib, std::size_t size, ReceivedPage& page, std::string& why) {
    if (size < 40 || Get32(dib) < 40) {
        why = "the bitmap has no header";
        return false;
    }
    const auto width = static_cast<std::int32_t>(Get32(dib + 4));
    const auto height = static_cast<std::int32_t>(Get32(dib + 8));
    const int bits = Get16(dib + 14);
    const std::uint32_t compression = Get32(dib + 16);
    std::uint32_t colours = Get32(dib + 32);
    if (colours == 0 && bits <= 8)
        colours = 1U << bits;
    if (width <= 0 || height == 0 || height == INT32_MIN || compression != 0 ||
        (bits != 1 && bits != 8 && bits != 24)) {
        why = "not a page bitmap (" + std::to_string(bits) + " bits, compression " + std::to_string(compression) + ")";
        return false;
    }
    const bool bottomUp = height > 0;
    page.width = width;
    page.height = bottomUp ? height : -height;
    page.bitsPerPixel = bits;
    const std::size_t rowBytes = page.RowBytes();
    const std::size_t stride = (rowBytes + 3) & ~std::size_t{3};
    const std::size_t offset = Get32(dib) + static_cast<std::size_t>(colours) * 4;
    if (offset > size || stride * static_cast<std::size_t>(page.height) > size - offset) {
        why = "the bitmap is shorter than its header says";
        return false;
    }
    page.rows.resize(rowBytes * static_cast<std::size_t>(page.height));
    for (int y = 0; y < page.height; ++y) {
        const std::uint8_t* from = dib + offset + stride * static_cast<std::size_t>(bottomUp ? page.height - 1 - y : y);
        std::uint8_t* to = page.rows.data() + rowBytes * static_cast<std::size_t>(y);
        if (bits == 24) {
            for (std::size_t x = 0; x < rowBytes; x += 3) { // blue-green-red to red-green-blue
                to[x] = from[x + 2];
                to[x + 1] = from[x + 1];
                to[x + 2] = from[x];
            }
        } else {
            std::memcpy(to, from, rowBytes);
        }
    }
    // A one-bit page whose first colour is white stores white as 0: the page keeps set bits for white.
    if (bits == 1 && Get32(dib + Get32(dib)) != 0)
        for (std::uint8_t& b : page.rows)
            b = static_cast<std::uint8_t>(~b);
    return true;
}

bool WritePng(const ReceivedPage& page, int dpi, const std::string& path, std::string& why) {
    if (page.width <= 0 || page.height <= 0 || page.rows.size() < page.RowBytes() * page.height) {
        why = "no page to write";
        return false;
    }
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file) {
        why = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        why = "no memory for the PNG writer";
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        why = "cannot write " + path;
        return false;
    }
    png_init_io(png, file.get());
    const int depth = page.bitsPerPixel == 1 ? 1 : 8;
    const int type = page.bitsPerPixel == 24 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY;
    png_set_IHDR(png, info, static_cast<png_uint_32>(page.width), static_cast<png_uint_32>(page.height), depth, type,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (dpi > 0) {
        const auto perMetre = static_cast<png_uint_32>(dpi / 0.0254 + 0.5);
        png_set_pHYs(png, info, perMetre, perMetre, PNG_RESOLUTION_METER);
    }
    png_set_compression_level(png, 1);
    png_write_info(png, info);
    for (int y = 0; y < page.height; ++y)
        png_write_row(png, const_cast<png_bytep>(page.rows.data() + page.RowBytes() * static_cast<std::size_t>(y)));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    if (std::fflush(file.get()) != 0) {
        why = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace twainapp
