// One page from the source to the application, by each of the three transfer mechanisms, and the page as the
// application keeps it: rows top first, packed (one-bit rows with a set bit for white, grey, or red-green-blue).
#pragma once

#include "tools/twainapp/TwainSession.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace twainapp {

enum class Mechanism { Native, Memory, File };

struct ReceivedPage {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0; // 1, 8 or 24
    std::vector<std::uint8_t> rows;
    std::size_t RowBytes() const { return (static_cast<std::size_t>(width) * bitsPerPixel + 7) / 8; }
};

// What the source reports in DAT_IMAGEINFO, in one line.
std::string DescribeImageInfo(const TW_IMAGEINFO& info);

// Transfers the announced page. Native and memory transfers fill `page`; a file transfer has the source write
// `filePath` (BMP, or TIFF for a name ending in .tif or .tiff). `report` says what came (or why nothing did); the
// return code is the transfer's last.
TW_UINT16 TransferPage(TwainSession& session, Mechanism mechanism, const TW_IMAGEINFO& info,
                       const std::string& filePath, ReceivedPage& page, std::string& report);

// A page as read from a packed DIB (BITMAPINFOHEADER, colour table, rows bottom-up or top-down padded to 4 bytes);
// false, with `why`, for a DIB that is not one of the three page formats or is shorter than it says.
bool PageFromDib(const std::uint8_t* dib, std::size_t size, ReceivedPage& page, std::string& why);

// Writes the page as a PNG file (one-bit pages as one-bit grey); false, with `why`, when it cannot.
bool WritePng(const ReceivedPage& page, int dpi, const std::string& path, std::string& why);

} // namespace twainapp
