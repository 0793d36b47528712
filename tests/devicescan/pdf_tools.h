// Reading back what the PDF writers produce: the standard tools when they are installed, and a small parser of our
// own for the cross-reference table.
#pragma once

#include "tests/platform/gdiplus/page_stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace pdftest {

inline std::string Text(const std::vector<BYTE>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// Every entry of the one cross-reference table, checked against the trailer's startxref.
inline std::vector<long long> XrefOffsets(const std::string& pdf, const std::string& eol) {
    std::vector<long long> offsets;
    size_t start = pdf.rfind("startxref" + eol);
    if (start == std::string::npos)
        return offsets;
    long long table = std::stoll(pdf.substr(start + 9 + eol.size()));
    if (pdf.compare(static_cast<size_t>(table), 4, "xref") != 0)
        return offsets;
    size_t at = static_cast<size_t>(table) + 4 + eol.size();
    size_t space = pdf.find(' ', at);
    size_t lineEnd = pdf.find(eol, space);
    int count = std::stoi(pdf.substr(space + 1, lineEnd - space - 1));
    at = lineEnd + eol.size();
    for (int i = 0; i < count; ++i, at += 20)
        offsets.push_back(std::stoll(pdf.substr(at, 10)));
    return offsets;
}

// Each in-use entry must point at "<n> 0 obj".
inline void ExpectXrefPointsAtObjects(const std::string& pdf, const std::string& eol) {
    std::vector<long long> offsets = XrefOffsets(pdf, eol);
    ASSERT_FALSE(offsets.empty()) << "no cross-reference table found";
    for (size_t n = 1; n < offsets.size(); ++n) {
        std::string head = std::to_string(n) + " 0 obj";
        EXPECT_EQ(pdf.compare(static_cast<size_t>(offsets[n]), head.size(), head), 0)
            << "entry " << n << " points at offset " << offsets[n];
    }
}

struct Pixels {
    int width = 0, height = 0;
    std::vector<BYTE> rgb;
    const BYTE* at(int x, int y) const { return rgb.data() + (static_cast<size_t>(y) * width + x) * 3; }
};

// Renders one page with pdftoppm at `dpi` into RGB pixels; false when pdftoppm is not installed.
inline bool Render(const std::string& pdf, int page, int dpi, Pixels& out) {
    std::string base = pdf + ".render";
    int status = testpage::Tool("pdftoppm", "-q -r " + std::to_string(dpi) + " -f " + std::to_string(page) + " -l " +
                                                std::to_string(page) + " -singlefile '" + pdf + "' '" + base + "'");
    if (status < 0)
        return false;
    EXPECT_EQ(status, 0) << "pdftoppm failed on " << pdf;
    std::vector<BYTE> ppm = testpage::ReadAll(base + ".ppm");
    std::remove((base + ".ppm").c_str());
    int maxValue = 0, consumed = 0;
    if (std::sscanf(reinterpret_cast<const char*>(ppm.data()), "P6 %d %d %d%n", &out.width, &out.height, &maxValue,
                    &consumed) != 3)
        return ADD_FAILURE() << "no picture from pdftoppm", true;
    out.rgb.assign(ppm.begin() + consumed + 1, ppm.end());
    EXPECT_EQ(out.rgb.size(), static_cast<size_t>(out.width) * out.height * 3);
    return true;
}

// qpdf --check on the file when qpdf is installed: no errors, and no warnings but (where the layout has them) the
// empty objects 1, 3 and 4 of the page PDF, which qpdf reads as null.
inline void ExpectQpdfAccepts(const std::string& pdf, bool emptyObjectsAllowed = false) {
    std::string report = pdf + ".qpdf.txt";
    int status = testpage::Tool("qpdf", "--check '" + pdf + "' >'" + report + "' 2>&1");
    std::vector<BYTE> bytes = testpage::ReadAll(report);
    std::remove(report.c_str());
    if (status < 0)
        return;
    std::string text(bytes.begin(), bytes.end());
    if (status == 3 && emptyObjectsAllowed) {
        size_t warnings = 0, empty = 0;
        for (size_t at = text.find("WARNING"); at != std::string::npos; at = text.find("WARNING", at + 1)) {
            ++warnings;
            size_t end = text.find('\n', at);
            if (text.substr(at, end - at).find("empty object treated as null") != std::string::npos)
                ++empty;
        }
        EXPECT_EQ(warnings, empty) << "qpdf --check on " << pdf << ":\n" << text;
        EXPECT_EQ(empty, 3u) << text;
        return;
    }
    EXPECT_EQ(status, 0) << "qpdf --check on " << pdf << ":\n" << text;
}

} // namespace pdftest
