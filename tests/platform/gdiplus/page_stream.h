// Test pages as the scan thread makes them: a BMP file (file header, info header, grey palette below 24 bits, rows
// top-down unless asked otherwise) in a stream on global memory, and a fresh C:\ for each test.
#pragma once

#include "platform/base/path.h"
#include "platform/base/testing.h"
#include "platform/base/windows.h"
#include "platform/gdiplus/objidl.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testpage {

struct Page {
    int width = 0;
    int height = 0;
    int bits = 24;
    LONG pelsPerMeter = 11811; // 300 dpi
    bool topDown = true;
    std::vector<BYTE> rows; // top-down, Stride() bytes each, DIB byte order (blue, green, red)

    size_t Stride() const { return ((static_cast<size_t>(width) * bits + 31) / 32) * 4; }
    BYTE* Row(int y) { return rows.data() + Stride() * y; }
    const BYTE* Row(int y) const { return rows.data() + Stride() * y; }
};

// A page with a recognisable pattern: gradients for 8 and 24 bits, a checkerboard of 8-pixel squares for 1 bit.
inline Page MakePage(int width, int height, int bits, LONG pelsPerMeter = 11811) {
    Page page;
    page.width = width;
    page.height = height;
    page.bits = bits;
    page.pelsPerMeter = pelsPerMeter;
    page.rows.assign(page.Stride() * height, 0);
    for (int y = 0; y < height; ++y) {
        BYTE* row = page.Row(y);
        for (int x = 0; x < width; ++x) {
            if (bits == 24) {
                row[x * 3] = static_cast<BYTE>(x * 255 / (width > 1 ? width - 1 : 1)); // blue
                row[x * 3 + 1] = static_cast<BYTE>(y * 255 / (height > 1 ? height - 1 : 1));
                row[x * 3 + 2] = static_cast<BYTE>(255 - x * 255 / (width > 1 ? width - 1 : 1)); // red
            } else if (bits == 8) {
                row[x] = static_cast<BYTE>((x + y) * 255 / (width + height > 2 ? width + height - 2 : 1));
            } else if (((x / 8) + (y / 8)) % 2) {
                row[x / 8] |= static_cast<BYTE>(0x80 >> (x % 8)); // white
            }
        }
    }
    return page;
}

inline void Put16(std::vector<BYTE>& out, unsigned v) {
    out.push_back(static_cast<BYTE>(v));
    out.push_back(static_cast<BYTE>(v >> 8));
}
inline void Put32(std::vector<BYTE>& out, DWORD v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<BYTE>(v >> (8 * i)));
}

inline std::vector<BYTE> BmpFile(const Page& page) {
    DWORD entries = page.bits < 24 ? 1u << page.bits : 0;
    DWORD offBits = 54 + 4 * entries;
    DWORD imageSize = static_cast<DWORD>(page.Stride() * page.height);
    std::vector<BYTE> out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, offBits + imageSize);
    Put32(out, 0);
    Put32(out, offBits);
    Put32(out, 40);
    Put32(out, static_cast<DWORD>(page.width));
    Put32(out, static_cast<DWORD>(page.topDown ? -page.height : page.height));
    Put16(out, 1);
    Put16(out, static_cast<unsigned>(page.bits));
    Put32(out, 0);
    Put32(out, imageSize);
    Put32(out, static_cast<DWORD>(page.pelsPerMeter));
    Put32(out, static_cast<DWORD>(page.pelsPerMeter));
    Put32(out, entries);
    Put32(out, 0);
    for (DWORD i = 0; i < entries; ++i) {
        BYTE grey = static_cast<BYTE>(i * 255 / (entries - 1));
        out.insert(out.end(), {grey, grey, grey, 0});
    }
    for (int i = 0; i < page.height; ++i) {
        const BYTE* row = page.Row(page.topDown ? i : page.height - 1 - i);
        out.insert(out.end(), row, row + page.Stride());
    }
    return out;
}

struct Release {
    void operator()(IStream* stream) const {
        if (stream)
            stream->Release();
    }
};
using StreamPtr = std::unique_ptr<IStream, Release>;

// The stream is left at its end, as the scan thread leaves it.
inline StreamPtr StreamOf(const std::vector<BYTE>& bytes) {
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)))
        return nullptr;
    ULONG written = 0;
    stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    return StreamPtr(stream);
}

inline StreamPtr StreamOf(const Page& page) {
    return StreamOf(BmpFile(page));
}

// A fresh C:\ under the system temporary folder for the test; removed at the end.
class Root {
public:
    Root() {
        std::random_device random;
        m_path = std::filesystem::temp_directory_path() /
                 ("writers-" + std::to_string(random()) + "-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_path / "Temp");
        platform::testing::SetRoot(m_path.string());
    }
    ~Root() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    Root(const Root&) = delete;
    Root& operator=(const Root&) = delete;

    // The POSIX path of a DOS path under this root.
    std::string Host(const std::u16string& dos) const { return platform::path::ToHostPath(dos); }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

inline std::vector<BYTE> ReadAll(const std::string& hostPath) {
    std::ifstream in(hostPath, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool Exists(const std::string& hostPath) {
    return std::filesystem::exists(hostPath);
}

// Files of the process cannot grow beyond `bytes` while this lives: a full disk as writers see it (EFBIG).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved{};
};

// Runs a shell command; -1 when the tool is not installed.
inline int Tool(const std::string& name, const std::string& arguments) {
    if (std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) != 0)
        return -1;
    int status = std::system((name + " " + arguments).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

} // namespace testpage
