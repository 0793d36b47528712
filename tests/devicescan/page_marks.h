// Reading scanned pages back from every form the push scan writes (the page stream's BMP, TIFF, JPEG, the images of
// a PDF, the page JPEGs of an OFD package) and telling which page of the simulated device each one is, from the mark
// cells the device prints on it: cell 0 always black, cells 1-8 the sheet number (bit 0 first), cell 9 black on a
// back side.
#pragma once

#include "companions/scandrv/TestPage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <tiffio.h>
#include <unzip.h>

namespace pagemarks {

// One page as grey values, rows from the top.
struct GreyImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> grey;
    int at(int x, int y) const { return grey[static_cast<size_t>(y) * width + x]; }
};

struct Marks {
    bool valid = false; // cell 0 is black where the device prints it
    int sheet = 0;
    bool back = false;
};

// The marks of a page scanned from the bed's top-left corner at the given resolution, the document lying where the
// device puts it by default.
inline Marks ReadMarks(const GreyImage& image, int dpiX, int dpiY, const scandrv::Placement& placement = {}) {
    Marks marks;
    auto black = [&](int cell, bool& inside) {
        scandrv::Point centre = scandrv::MarkCellCentre(cell);
        scandrv::Point bed = scandrv::DocumentToBed(placement, centre.x, centre.y);
        scandrv::Point pixel = scandrv::BedToPixel(bed, 0, 0, dpiX, dpiY);
        const int x = static_cast<int>(pixel.x + 0.5), y = static_cast<int>(pixel.y + 0.5);
        inside = x >= 0 && y >= 0 && x < image.width && y < image.height;
        return inside && image.at(x, y) < 100;
    };
    bool inside = false;
    marks.valid = black(0, inside);
    for (int bit = 0; bit < 8; ++bit)
        if (black(bit + 1, inside))
            marks.sheet |= 1 << bit;
    marks.back = black(9, inside);
    return marks;
}

// "img-" and twelve digits of date and time, "-", a three-digit number and the extension.
inline bool IsOutputName(const std::string& name, const std::string& extension) {
    const std::string tail = "." + extension;
    if (name.size() != 4 + 12 + 1 + 3 + tail.size() || name.compare(0, 4, "img-") != 0 || name[16] != '-' ||
        name.compare(20, std::string::npos, tail) != 0)
        return false;
    for (size_t i : {4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 17, 18, 19})
        if (name[i] < '0' || name[i] > '9')
            return false;
    return true;
}

inline std::vector<unsigned char> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

inline int Get32(const unsigned char* p) {
    int v;
    std::memcpy(&v, p, 4);
    return v;
}

// A BMP file as the scan thread writes it (top-down, 1, 8 or 24 bits, grey palette below 24).
inline bool FromBmp(const std::vector<unsigned char>& bmp, GreyImage& out) {
    if (bmp.size() < 54 || bmp[0] != 'B' || bmp[1] != 'M')
        return false;
    const int offBits = Get32(&bmp[10]);
    const int width = Get32(&bmp[18]);
    const int height = Get32(&bmp[22]);
    const int bits = bmp[28] | bmp[29] << 8;
    const size_t stride = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
    const int rows = height < 0 ? -height : height;
    if (bmp.size() < offBits + stride * rows)
        return false;
    out.width = width;
    out.height = rows;
    out.grey.assign(static_cast<size_t>(width) * rows, 0);
    for (int y = 0; y < rows; ++y) {
        const unsigned char* row = &bmp[offBits + stride * (height < 0 ? y : rows - 1 - y)];
        for (int x = 0; x < width; ++x) {
            unsigned char g;
            if (bits == 24)
                g = scandrv::GreyOf({row[3 * x + 2], row[3 * x + 1], row[3 * x]});
            else if (bits == 8)
                g = row[x];
            else
                g = (row[x / 8] >> (7 - x % 8)) & 1 ? 255 : 0;
            out.grey[static_cast<size_t>(y) * width + x] = g;
        }
    }
    return true;
}

inline bool FromJpeg(const unsigned char* data, size_t size, GreyImage& out) {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    errors.error_exit = [](j_common_ptr) { throw 1; };
    try {
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
        jpeg_read_header(&info, TRUE);
        info.out_color_space = JCS_GRAYSCALE;
        jpeg_start_decompress(&info);
        out.width = static_cast<int>(info.output_width);
        out.height = static_cast<int>(info.output_height);
        out.grey.assign(static_cast<size_t>(out.width) * out.height, 0);
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = &out.grey[static_cast<size_t>(info.output_scanline) * out.width];
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
        jpeg_destroy_decompress(&info);
        return true;
    } catch (int) {
        jpeg_destroy_decompress(&info);
        return false;
    }
}

inline bool FromJpegFile(const std::string& path, GreyImage& out) {
    std::vector<unsigned char> bytes = ReadAll(path);
    return !bytes.empty() && FromJpeg(bytes.data(), bytes.size(), out);
}

inline bool FromTiffFile(const std::string& path, GreyImage& out) {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (!tiff)
        return false;
    uint32_t width = 0, height = 0;
    uint16_t bits = 0, samples = 1, photometric = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.grey.assign(static_cast<size_t>(width) * height, 0);
    std::vector<unsigned char> row(static_cast<size_t>(TIFFScanlineSize(tiff)));
    bool good = true;
    for (uint32_t y = 0; y < height && good; ++y) {
        good = TIFFReadScanline(tiff, row.data(), y) == 1;
        for (uint32_t x = 0; x < width && good; ++x) {
            unsigned char g;
            if (samples == 3)
                g = scandrv::GreyOf({row[3 * x], row[3 * x + 1], row[3 * x + 2]});
            else if (bits == 8)
                g = row[x];
            else
                g = (row[x / 8] >> (7 - x % 8)) & 1 ? 255 : 0;
            if (photometric == PHOTOMETRIC_MINISWHITE)
                g = static_cast<unsigned char>(255 - g);
            out.grey[static_cast<size_t>(y) * width + x] = g;
        }
    }
    TIFFClose(tiff);
    return good;
}

// Every image XObject of a PDF in file order: DCTDecode images through the JPEG decoder, one-bit DeviceGray rows as
// they stand (1 = white).
inline std::vector<GreyImage> FromPdfFile(const std::string& path) {
    std::vector<unsigned char> bytes = ReadAll(path);
    std::string text(bytes.begin(), bytes.end());
    std::vector<GreyImage> images;
    auto number = [&](size_t from, size_t to, const char* key) {
        size_t at = text.find(key, from);
        return at == std::string::npos || at > to ? -1 : std::atoi(text.c_str() + at + std::strlen(key));
    };
    for (size_t at = text.find("/Subtype"); at != std::string::npos; at = text.find("/Subtype", at + 1)) {
        size_t value = text.find_first_not_of(" \r\n", at + 8);
        if (text.compare(value, 6, "/Image") != 0)
            continue;
        size_t streamAt = text.find("stream", at);
        if (streamAt == std::string::npos)
            break;
        size_t dictStart = text.rfind("obj", at);
        const int width = number(dictStart, streamAt, "/Width ");
        const int height = number(dictStart, streamAt, "/Height ");
        const int length = number(dictStart, streamAt, "/Length ");
        size_t data = streamAt + 6;
        if (text.compare(data, 2, "\r\n") == 0)
            data += 2;
        else
            data += 1;
        if (length < 0 || data + length > bytes.size())
            break;
        GreyImage image;
        if (text.substr(dictStart, streamAt - dictStart).find("/DCTDecode") != std::string::npos) {
            if (!FromJpeg(&bytes[data], static_cast<size_t>(length), image))
                continue;
        } else {
            image.width = width;
            image.height = height;
            image.grey.assign(static_cast<size_t>(width) * height, 0);
            const size_t stride = (static_cast<size_t>(width) + 7) / 8;
            if (stride * height > static_cast<size_t>(length))
                continue;
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    image.grey[static_cast<size_t>(y) * width + x] =
                        (bytes[data + stride * y + x / 8] >> (7 - x % 8)) & 1 ? 255 : 0;
        }
        images.push_back(std::move(image));
        at = data + length;
    }
    return images;
}

// The page JPEGs of an OFD package, in the order of the document's pages (Page_0, Page_1, ...), read through the
// image each page's content names.
inline std::vector<GreyImage> FromOfdFile(const std::string& path) {
    std::vector<GreyImage> images;
    unzFile zip = unzOpen(path.c_str());
    if (!zip)
        return images;
    auto entry = [&](const std::string& name, std::vector<unsigned char>& out) {
        if (unzLocateFile(zip, name.c_str(), 1) != UNZ_OK)
            return false;
        unz_file_info info{};
        unzGetCurrentFileInfo(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0);
        out.assign(info.uncompressed_size, 0);
        unzOpenCurrentFile(zip);
        const int read = out.empty() ? 0 : unzReadCurrentFile(zip, out.data(), static_cast<unsigned>(out.size()));
        unzCloseCurrentFile(zip);
        return read == static_cast<int>(out.size());
    };
    std::vector<unsigned char> res;
    entry("Doc_0/DocumentRes.xml", res);
    const std::string resources(res.begin(), res.end());
    for (int page = 0;; ++page) {
        std::vector<unsigned char> content;
        if (!entry("Doc_0/Pages/Page_" + std::to_string(page) + "/Content.xml", content))
            break;
        const std::string xml(content.begin(), content.end());
        // <ofd:ImageObject ... ResourceID="n"> names the MultiMedia whose MediaFile is the JPEG.
        size_t id = xml.find("ResourceID=\"");
        if (id == std::string::npos)
            break;
        const std::string resourceId = xml.substr(id + 12, xml.find('"', id + 12) - id - 12);
        size_t media = resources.find("ID=\"" + resourceId + "\"");
        size_t file = resources.find("<ofd:MediaFile>", media);
        if (media == std::string::npos || file == std::string::npos)
            break;
        const std::string name = resources.substr(file + 15, resources.find("</ofd:MediaFile>", file) - file - 15);
        std::vector<unsigned char> jpeg;
        GreyImage image;
        if (!entry("Doc_0/Res/" + name, jpeg) || !FromJpeg(jpeg.data(), jpeg.size(), image))
            break;
        images.push_back(std::move(image));
    }
    unzClose(zip);
    return images;
}

} // namespace pagemarks
