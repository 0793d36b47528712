// The JPEG frame-header walk of the PDF and OFD writers: whatever a page JPEG holds, the walk ends, a frame it finds
// has a size the writers can place, a PDF built on it is as long as its end said it would be, and an OFD document
// is written or nothing reaches its path.

#include "FuzzSupport.h"

#include "devicescan/JpegPdfDocument.h"
#include "devicescan/OfdWriter.h"
#include "platform/base/windows.h"

#include <filesystem>
#include <vector>

namespace {

constexpr const WCHAR* kPage = u"C:\\Temp\\Jpg1.tmp";
constexpr const WCHAR* kPdf = u"C:\\Temp\\out.pdf";
constexpr const WCHAR* kOfd = u"C:\\Temp\\out.ofd";

bool Exists(const WCHAR* dos) {
    std::error_code ignored;
    return std::filesystem::exists(platform::path::ToHostPath(dos), ignored);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Root();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::WriteDosFile(kPage, data, size);
    JpegFrame frame;
    bool read = false;
    {
        HANDLE file =
            CreateFileW(kPage, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        fuzz::Check(file != INVALID_HANDLE_VALUE, "the page opens");
        read = ReadJpegFrame(file, frame);
        CloseHandle(file);
    }
    if (read)
        fuzz::Check(frame.width >= 1 && frame.width <= 65535 && frame.height >= 1 && frame.height <= 65535 &&
                        frame.components >= 0 && frame.components <= 255,
                    "a frame found has the size and components a frame header can hold");

    // The PDF of that one page.
    JpegPdfDocument* doc = PDF_CreateDocument(827, 1169);
    fuzz::Check(doc != nullptr, "a document is made");
    const DWORD added = PDF_AddJpeg(kPage, doc, 827, 1169, 300, static_cast<DWORD>(size));
    const bool placeable = read && (frame.components == 1 || frame.components == 3 || frame.components == 4);
    fuzz::Check((added == 0) == placeable, "a page is added exactly when its frame names 1, 3 or 4 components");
    if (added == 0) {
        LONGLONG total = 0;
        fuzz::Check(PDF_EndDocument(doc, &total) == 0, "a document of one page ends");
        if (PDF_ToFile(doc, kPdf) == 0) {
            std::error_code ignored;
            fuzz::Check(static_cast<LONGLONG>(std::filesystem::file_size(platform::path::ToHostPath(kPdf), ignored)) ==
                            total,
                        "the PDF is as long as its end said");
        }
    } else {
        PDF_FreeDocument(doc);
    }
    DeleteFileW(kPdf);

    // The OFD of that page, at the size the frame gives (the requested size when it has none).
    const int width = read ? frame.width : 2480;
    const int height = read ? frame.height : 3508;
    OfdWriter writer;
    const int written = writer.SaveAsOfd({CString(kPage)}, {width}, {height}, 300, kOfd);
    fuzz::Check(written == 1 ? Exists(kOfd) && !Exists(kPage) : !Exists(kOfd),
                "an OFD is written and its page removed, or nothing reaches its path");
    DeleteFileW(kOfd);
    return 0;
}
