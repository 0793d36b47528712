// The known content of the simulated device's pages, shared with the tests that check scanned pages.
//
// A page is a white sheet with one document on it. The document is a rectangle placed at (left, top) with the given
// width and height (all in 1/1200 inch on the scanner's bed), turned by the skew angle about its own centre
// (positive = counter-clockwise as seen on the page). Inside it, in document coordinates (u to the right, v down,
// 1/1200 inch from the document's top-left corner), lie boxes of known colour, painted in order:
//
//   paper     whole document                       light cream
//   frame     four bars of kFrame along the edges  near black
//   patches   red, green, blue squares             at v = 600..1200
//   marks     ten cells of kCell at kMarkPitch     at v = kMarkTop; cell 0 always black, cells 1-8 the page number
//                                                  (bit 0 first; black = 1), cell 9 black on a back side
//   text      bars of 120 high every 300           from v = 2100 to 600 above the bottom, ragged right ends
//
// Boxes are clipped to the inside of the frame, so any document size gives a valid page.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace scandrv {

struct Rgb {
    std::uint8_t r, g, b;
    friend bool operator==(Rgb, Rgb) = default;
};

// The grey value the device delivers for a colour (and thresholds for black and white).
inline std::uint8_t GreyOf(Rgb c) {
    return static_cast<std::uint8_t>((299 * c.r + 587 * c.g + 114 * c.b + 500) / 1000);
}

struct Box {
    double u0, v0, u1, v1; // document coordinates, 1/1200 inch, half-open
    Rgb colour;
};

struct Placement {
    double left = 1200, top = 1200, width = 7200, height = 9600; // 1/1200 inch
    double skewDegrees = 0;
};

struct Point {
    double x, y;
};

inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kPaper{250, 246, 236};
inline constexpr Rgb kFrameColour{20, 20, 20};
inline constexpr Rgb kRed{230, 40, 40};
inline constexpr Rgb kGreen{40, 180, 70};
inline constexpr Rgb kBlue{40, 70, 220};
inline constexpr Rgb kMarkColour{0, 0, 0};
inline constexpr Rgb kTextColour{50, 50, 50};

inline constexpr double kFrame = 36;
inline constexpr double kCell = 240;
inline constexpr double kMarkPitch = 360;
inline constexpr double kMarkLeft = 600;
inline constexpr double kMarkTop = 1500;
inline constexpr int kMarkCells = 10;

// Centre of mark cell i in document coordinates.
inline Point MarkCellCentre(int i) {
    return {kMarkLeft + i * kMarkPitch + kCell / 2, kMarkTop + kCell / 2};
}

// The boxes of one page side; page is the sheet's number in the job (1-based).
inline std::vector<Box> DocumentBoxes(double width, double height, int page, bool back) {
    std::vector<Box> boxes;
    boxes.push_back({0, 0, width, height, kPaper});
    boxes.push_back({0, 0, width, kFrame, kFrameColour});
    boxes.push_back({0, height - kFrame, width, height, kFrameColour});
    boxes.push_back({0, 0, kFrame, height, kFrameColour});
    boxes.push_back({width - kFrame, 0, width, height, kFrameColour});

    std::vector<Box> inner;
    const Rgb patches[3] = {kRed, kGreen, kBlue};
    for (int i = 0; i < 3; ++i)
        inner.push_back({600.0 + i * 800, 600, 1200.0 + i * 800, 1200, patches[i]});
    for (int i = 0; i < kMarkCells; ++i) {
        bool black = i == 0 || (i <= 8 && ((page >> (i - 1)) & 1)) || (i == 9 && back);
        if (black)
            inner.push_back({kMarkLeft + i * kMarkPitch, kMarkTop, kMarkLeft + i * kMarkPitch + kCell, kMarkTop + kCell,
                             kMarkColour});
    }
    for (int k = 0; 2100.0 + k * 300 + 120 <= height - 600; ++k) {
        double right = width - 600 - (k * 577) % 1800;
        inner.push_back({600, 2100.0 + k * 300, right, 2100.0 + k * 300 + 120, kTextColour});
    }
    for (Box b : inner) {
        b.u0 = std::max(b.u0, kFrame);
        b.v0 = std::max(b.v0, kFrame);
        b.u1 = std::min(b.u1, width - kFrame);
        b.v1 = std::min(b.v1, height - kFrame);
        if (b.u0 < b.u1 && b.v0 < b.v1)
            boxes.push_back(b);
    }
    return boxes;
}

// Where a document point lies on the bed (1/1200 inch).
inline Point DocumentToBed(const Placement& p, double u, double v) {
    double rad = p.skewDegrees * M_PI / 180, c = std::cos(rad), s = std::sin(rad);
    double du = u - p.width / 2, dv = v - p.height / 2;
    return {p.left + p.width / 2 + du * c + dv * s, p.top + p.height / 2 - du * s + dv * c};
}

// The document's corners on the bed: top-left, top-right, bottom-right, bottom-left.
inline std::array<Point, 4> DocumentCorners(const Placement& p) {
    return {DocumentToBed(p, 0, 0), DocumentToBed(p, p.width, 0), DocumentToBed(p, p.width, p.height),
            DocumentToBed(p, 0, p.height)};
}

// The pixel whose centre is nearest to a bed point, for a scan of the area starting at (left, top) at xdpi, ydpi.
inline Point BedToPixel(Point bed, int left, int top, int xdpi, int ydpi) {
    return {(bed.x - left) * xdpi / 1200.0 - 0.5, (bed.y - top) * ydpi / 1200.0 - 0.5};
}

} // namespace scandrv
