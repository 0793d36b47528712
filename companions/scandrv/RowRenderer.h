// Generates the rows of a page side of the test document (TestPage.h) for one scan setting.
//
// A row is painted as runs: each box of the page meets a row in one interval of pixels, found analytically, and
// the interval is filled from a precomputed row of the box's colour (memcpy for colour, memset for grey, whole
// bytes plus two edge masks for black and white). Nothing is computed per pixel.
#pragma once

#include "companions/scandrv/TestPage.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace scandrv {

// The scan settings the rows depend on. Area in 1/1200 inch; colour 0 black and white, 1 grey, 2 and 3 colour.
struct ScanSettings {
    int xres = 0, yres = 0, colour = 2, left = 0, top = 0, right = 0, bottom = 0, threshold = 128, source = 0;

    int PixelsPerLine() const { return static_cast<int>(static_cast<long long>(right - left) * xres / 1200); }
    int Lines() const { return static_cast<int>(static_cast<long long>(bottom - top) * yres / 1200); }
    int BitsPerPixel() const { return colour == 0 ? 1 : colour == 1 ? 8 : 24; }
    std::size_t RowBytes() const { return (static_cast<std::size_t>(PixelsPerLine()) * BitsPerPixel() + 7) / 8; }
};

class RowRenderer {
public:
    RowRenderer(const ScanSettings& settings, const Placement& placement);

    // Chooses the page side whose rows Render produces next (page = sheet number in the job, 1-based).
    void SetPage(int page, bool back);
    // Writes row y (0 = top) of the current page side: exactly RowBytes() bytes.
    void Render(int y, std::uint8_t* out) const;

    std::size_t RowBytes() const { return m_rowBytes; }

private:
    struct Run {
        Box box;
        int colourIndex;      // into m_colours
        double yFirst, yLast; // rows the rotated box can touch
    };

    int ColourIndex(Rgb colour);
    void Fill(std::uint8_t* out, int x0, int x1, int colourIndex) const;

    ScanSettings m_settings;
    Placement m_placement;
    int m_width = 0;
    std::size_t m_rowBytes = 0;
    double m_cos = 1, m_sin = 0, m_cx = 0, m_cy = 0;
    std::vector<Run> m_runs;
    std::vector<Rgb> m_colours;
    std::vector<std::uint8_t> m_greys;             // per colour: grey value, or 0x00/0xFF in black and white
    std::vector<std::vector<std::uint8_t>> m_rows; // per colour: a whole row of it (colour mode only)
};

} // namespace scandrv
