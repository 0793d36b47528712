#include "devicescan/JpegPdfDocument.h"

#include <charconv>
#include <cstdarg>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

namespace {

constexpr DWORD kFailed = ERROR_FUNCTION_FAILED;
// A cross-reference offset has ten digits.
constexpr LONGLONG kMaxOffset = 9999999999LL;

// Formats into a fixed buffer; false when the text does not fit.
template <size_t N> bool Put(char (&buffer)[N], const char* format, ...) __attribute__((format(printf, 2, 3)));
template <size_t N> bool Put(char (&buffer)[N], const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, N, format, args);
    va_end(args);
    return n >= 0 && static_cast<size_t>(n) < N;
}

// "%.2f" whatever the C locale says about the decimal point.
std::string Fixed2(double value) {
    char text[64];
    auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
    return std::string(text, result.ptr);
}

bool PutEntry(JpegPdfDocument* doc, int object, LONGLONG offset) {
    if (object < 0 || object >= static_cast<int>(kPdfMaxXrefEntries) || offset < 0 || offset > kMaxOffset)
        return false;
    return Put(doc->xref[object], "%010lld 00000 %c\r\n", static_cast<long long>(offset), 'n');
}

bool WriteAll(HANDLE file, const void* data, size_t size) {
    const BYTE* p = static_cast<const BYTE*>(data);
    while (size) {
        DWORD chunk = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, p, chunk, &written, nullptr) || written != chunk)
            return false;
        p += chunk;
        size -= chunk;
    }
    return true;
}

// Copies exactly `length` bytes of the JPEG file; the file must be exactly that long.
bool CopyJpeg(HANDLE out, const JpegPdfPage& page) {
    HANDLE in =
        CreateFileW(page.path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (in == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size{};
    bool good = GetFileSizeEx(in, &size) && size.QuadPart == static_cast<LONGLONG>(page.length);
    constexpr DWORD kBlock = 4u << 20;
    std::unique_ptr<BYTE[]> buffer(good ? new (std::nothrow) BYTE[kBlock] : nullptr);
    good = good && buffer;
    DWORD left = page.length;
    while (good && left) {
        DWORD want = left < kBlock ? left : kBlock;
        DWORD got = 0;
        good = ReadFile(in, buffer.get(), want, &got, nullptr) && got == want && WriteAll(out, buffer.get(), got);
        left -= got;
    }
    CloseHandle(in);
    return good;
}

// The image's colour space for its number of components; none for a count PDF has no space for. CMYK JPEGs with
// the Adobe marker hold their samples inverted, which the decode array turns back.
const char* ColorSpaceOf(const JpegFrame& frame) {
    switch (frame.components) {
    case 1:
        return "DeviceGray";
    case 3:
        return "DeviceRGB";
    case 4:
        return frame.adobe ? "DeviceCMYK/Decode[1 0 1 0 1 0 1 0]" : "DeviceCMYK";
    default:
        return nullptr;
    }
}

} // namespace

bool ReadJpegFrame(HANDLE file, JpegFrame& frame) {
    auto read = [file](BYTE* to, DWORD bytes) {
        DWORD got = 0;
        return ReadFile(file, to, bytes, &got, nullptr) && got == bytes;
    };
    BYTE start[2];
    if (!read(start, 2) || start[0] != 0xFF || start[1] != 0xD8)
        return false;
    frame.adobe = false;
    for (;;) {
        BYTE marker = 0;
        if (!read(&marker, 1) || marker != 0xFF)
            return false;
        while (marker == 0xFF) // fill bytes
            if (!read(&marker, 1))
                return false;
        if (marker == 0xD9 || marker == 0xDA)
            return false; // the image ends, or its data begins, before any frame header
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue; // markers without a segment
        BYTE size[2];
        if (!read(size, 2))
            return false;
        const LONGLONG length = (size[0] << 8) | size[1]; // counts itself
        const bool isFrame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (isFrame) {
            // Sample precision, height, width, number of components.
            BYTE header[6];
            if (length < 8 || !read(header, 6))
                return false;
            frame.height = (header[1] << 8) | header[2];
            frame.width = (header[3] << 8) | header[4];
            frame.components = header[5];
            return frame.width > 0 && frame.height > 0;
        }
        LONGLONG rest = length - 2;
        if (rest < 0)
            return false;
        if (marker == 0xEE && rest >= 5) { // APP14: "Adobe" stores CMYK inverted
            BYTE id[5];
            if (!read(id, 5))
                return false;
            frame.adobe = frame.adobe || std::memcmp(id, "Adobe", 5) == 0;
            rest -= 5;
        }
        LARGE_INTEGER skip{};
        skip.QuadPart = rest;
        if (!SetFilePointerEx(file, skip, nullptr, FILE_CURRENT))
            return false;
    }
}

JpegPdfDocument* PDF_CreateDocument(int width, int height) {
    auto* doc = static_cast<JpegPdfDocument*>(std::calloc(1, sizeof(JpegPdfDocument)));
    if (!doc)
        return nullptr;
    doc->pageWidth = width;
    doc->pageHeight = height;
    Put(doc->xref[0], "%010d 65535 f\r\n", 0);
    Put(doc->header, "%%PDF-1.3\r\n%%%c---%c\r\n", 255, 255);
    doc->offset = 18;
    doc->nextObject = 2;
    doc->imageCount = 0;
    return doc;
}

void PDF_FreeDocument(JpegPdfDocument* document) {
    if (!document)
        return;
    for (JpegPdfPage* page = document->first; page;) {
        JpegPdfPage* next = page->next;
        std::free(page);
        page = next;
    }
    std::free(document);
}

DWORD PDF_AddJpeg(const WCHAR* path, JpegPdfDocument* doc, int width, int height, int dpi, DWORD length) {
    if (!doc || !path || doc->pageCount >= kPdfMaxPages || dpi <= 0)
        return kFailed;
    // The JPEG's own size and colours: a page is drawn as large as the image it holds, in the colours it holds.
    HANDLE in =
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (in == INVALID_HANDLE_VALUE)
        return kFailed;
    JpegFrame frame;
    const bool read = ReadJpegFrame(in, frame);
    CloseHandle(in);
    const char* colorSpace = ColorSpaceOf(frame);
    if (!read || colorSpace == nullptr)
        return kFailed;
    width = frame.width;
    height = frame.height;

    auto* page = static_cast<JpegPdfPage*>(std::calloc(1, sizeof(JpegPdfPage)));
    if (!page)
        return kFailed;
    lstrcpynW(page->path, path, MAX_PATH);
    page->length = length;
    page->width = width;
    page->height = height;
    int n = doc->nextObject;
    int k = doc->imageCount;
    page->pageObject = n + 1;
    LONGLONG t = doc->offset;

    std::string content = "q\r\n " + Fixed2(width * 72.0 / dpi) + " 0 0 " + Fixed2(height * 72.0 / dpi) +
                          " 0 0 cm \r\n/I" + std::to_string(k) + " Do\r\nQ\r\n";
    char pageObj[256], contentsObj[256], lengthObj[64], resourcesObj[128];
    bool good = Put(page->imageHead,
                    "\r\n%d 0 obj\r\n<</Type/XObject/Subtype/Image/Filter/DCTDecode/BitsPerComponent 8/ColorSpace/%s"
                    "/Width %d/Height %d/Length %lu>>\r\nstream\r\n",
                    n, colorSpace, width, height, static_cast<unsigned long>(length)) &&
                Put(pageObj,
                    "%d 0 obj\r\n<</Type/Page/Parent 1 0 R/MediaBox[0 0 %d %d]/Contents %d 0 R/Resources %d 0 R>>"
                    "\r\nendobj\r\n",
                    n + 1, static_cast<int>(static_cast<LONGLONG>(width) * 72 / dpi),
                    static_cast<int>(static_cast<LONGLONG>(height) * 72 / dpi), n + 2, n + 4) &&
                Put(contentsObj, "%d 0 obj\r\n<</Length %d 0 R>>stream\r\n%sendstream\r\nendobj\r\n", n + 2, n + 3,
                    content.c_str()) &&
                Put(lengthObj, "%d 0 obj\r\n%ld\r\nendobj\r\n", n + 3, static_cast<long>(content.size())) &&
                Put(resourcesObj, "%d 0 obj\r\n<</ProcSet[/PDF/%s]/XObject<</I%d %d 0 R>>>>\r\nendobj\r\n", n + 4,
                    "ImageB", k, n);
    const char* imageEnd = "\r\nendstream\r\nendobj\r\n";
    // The image object's entry points at its "n 0 obj", after the CR LF that opens its text.
    good = good && PutEntry(doc, n, t + 2);
    auto text = [](const char* s) { return static_cast<LONGLONG>(std::strlen(s)); };
    t += text(page->imageHead) + length + text(imageEnd);
    good = good && PutEntry(doc, n + 1, t);
    t += text(pageObj);
    good = good && PutEntry(doc, n + 2, t);
    t += text(contentsObj);
    good = good && PutEntry(doc, n + 3, t);
    t += text(lengthObj);
    good = good && PutEntry(doc, n + 4, t);
    t += text(resourcesObj);
    good = good && Put(page->following, "%s%s%s%s%s", imageEnd, pageObj, contentsObj, lengthObj, resourcesObj);
    if (!good) {
        std::free(page);
        return kFailed;
    }
    doc->offset = t;
    doc->nextObject = n + 5;
    ++doc->imageCount;
    ++doc->pageCount;
    if (doc->last)
        doc->last->next = page;
    else
        doc->first = page;
    doc->last = page;
    return 0;
}

DWORD PDF_EndDocument(JpegPdfDocument* doc, LONGLONG* totalSize) {
    if (!doc)
        return kFailed;
    int m = doc->nextObject;
    if (!PutEntry(doc, m, doc->offset))
        return kFailed;
    std::string tail = "" + std::to_string(m) + " 0 obj\r\n<</Type/Catalog/Pages 1 0 R>>\r\nendobj\r\n";
    if (!PutEntry(doc, 1, doc->offset + static_cast<LONGLONG>(tail.size())))
        return kFailed;
    std::string kids;
    for (const JpegPdfPage* page = doc->first; page; page = page->next)
        kids += std::to_string(page->pageObject) + " 0 R ";
    if (!kids.empty())
        kids.pop_back();
    tail +=
        "1 0 obj\r\n<</Type /Pages /Kids [" + kids + "] /Count " + std::to_string(doc->pageCount) + ">>\r\nendobj\r\n";
    LONGLONG tableAt = doc->offset + static_cast<LONGLONG>(tail.size());
    tail += "xref\r\n0 " + std::to_string(m + 1) + "\r\n";
    for (int i = 0; i <= m; ++i)
        tail += doc->xref[i];
    tail += "trailer\r\n<</Root " + std::to_string(m) + " 0 R /Size " + std::to_string(m + 1) + ">>\r\n";
    tail += "startxref\r\n" + std::to_string(tableAt) + "\r\n%%EOF\r\n";
    if (tail.size() >= kPdfTailSize)
        return kFailed;
    std::memcpy(doc->tail, tail.data(), tail.size());
    doc->tail[tail.size()] = 0;
    size_t headerLength = std::strlen(doc->header);
    LONGLONG total = doc->offset + static_cast<LONGLONG>(tail.size());
    if (headerLength == 0 || tail.empty() || static_cast<LONGLONG>(headerLength + tail.size()) >= total)
        return kFailed;
    if (totalSize)
        *totalSize = total;
    return 0;
}

DWORD PDF_WriteBuffers(HANDLE file, JpegPdfDocument* doc) {
    if (!doc || !WriteAll(file, doc->header, std::strlen(doc->header)))
        return kFailed;
    for (const JpegPdfPage* page = doc->first; page; page = page->next) {
        if (!WriteAll(file, page->imageHead, std::strlen(page->imageHead)) || !CopyJpeg(file, *page) ||
            !WriteAll(file, page->following, std::strlen(page->following)))
            return kFailed;
    }
    return WriteAll(file, doc->tail, std::strlen(doc->tail)) ? 0 : kFailed;
}

DWORD PDF_ToFile(JpegPdfDocument* doc, const WCHAR* path) {
    DWORD result = 0;
    HANDLE file = path ? CreateFileW(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr)
                       : INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE) {
        result = path ? GetLastError() : ERROR_INVALID_PARAMETER;
        if (result == 0)
            result = kFailed;
    } else {
        result = PDF_WriteBuffers(file, doc);
        if (!CloseHandle(file) && result == 0)
            result = kFailed;
        if (result != 0)
            DeleteFileW(path);
    }
    PDF_FreeDocument(doc);
    if (result != 0)
        OutputDebugStringA(platform::Format("%s:%d", "PDF_ToFile error :", static_cast<int>(result)).c_str());
    return result;
}
