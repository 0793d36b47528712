#include "companions/scandrv/RowRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace scandrv {

RowRenderer::RowRenderer(const ScanSettings& settings, const Placement& placement)
    : m_settings(settings), m_placement(placement), m_width(std::max(0, settings.PixelsPerLine())),
      m_rowBytes(settings.RowBytes()) {
    double rad = placement.skewDegrees * M_PI / 180;
    m_cos = std::cos(rad);
    m_sin = std::sin(rad);
    m_cx = placement.left + placement.width / 2;
    m_cy = placement.top + placement.height / 2;
    ColourIndex(kWhite);
    SetPage(1, false);
}

int RowRenderer::ColourIndex(Rgb colour) {
    for (std::size_t i = 0; i < m_colours.size(); ++i)
        if (m_colours[i].r == colour.r && m_colours[i].g == colour.g && m_colours[i].b == colour.b)
            return static_cast<int>(i);
    m_colours.push_back(colour);
    std::uint8_t grey = GreyOf(colour);
    if (m_settings.colour == 0)
        grey = grey < m_settings.threshold ? 0x00 : 0xFF; // a set bit is white
    m_greys.push_back(grey);
    if (m_settings.colour >= 2) {
        std::vector<std::uint8_t> row(static_cast<std::size_t>(m_width) * 3);
        for (std::size_t i = 0; i + 2 < row.size(); i += 3) {
            row[i] = colour.r;
            row[i + 1] = colour.g;
            row[i + 2] = colour.b;
        }
        m_rows.push_back(std::move(row));
    }
    return static_cast<int>(m_colours.size() - 1);
}

void RowRenderer::SetPage(int page, bool back) {
    m_runs.clear();
    const double toRow = m_settings.yres / 1200.0;
    for (const Box& box : DocumentBoxes(m_placement.width, m_placement.height, page, back)) {
        double yMin = std::numeric_limits<double>::max(), yMax = std::numeric_limits<double>::lowest();
        for (Point corner : {DocumentToBed(m_placement, box.u0, box.v0), DocumentToBed(m_placement, box.u1, box.v0),
                             DocumentToBed(m_placement, box.u1, box.v1), DocumentToBed(m_placement, box.u0, box.v1)}) {
            yMin = std::min(yMin, corner.y);
            yMax = std::max(yMax, corner.y);
        }
        // Rows whose centre can fall inside, with a row of slack on both sides.
        double first = (yMin - m_settings.top) * toRow - 1.5, last = (yMax - m_settings.top) * toRow + 0.5;
        m_runs.push_back({box, ColourIndex(box.colour), first, last});
    }
}

void RowRenderer::Fill(std::uint8_t* out, int x0, int x1, int colourIndex) const {
    if (x0 >= x1)
        return;
    switch (m_settings.colour) {
    case 0: {
        std::uint8_t value = m_greys[static_cast<std::size_t>(colourIndex)];
        int firstByte = x0 >> 3, lastByte = (x1 - 1) >> 3;
        std::uint8_t headMask = static_cast<std::uint8_t>(0xFFu >> (x0 & 7));
        std::uint8_t tailMask = static_cast<std::uint8_t>(0xFFu << (7 - ((x1 - 1) & 7)));
        if (firstByte == lastByte) {
            std::uint8_t mask = headMask & tailMask;
            out[firstByte] = static_cast<std::uint8_t>((out[firstByte] & ~mask) | (value & mask));
            return;
        }
        out[firstByte] = static_cast<std::uint8_t>((out[firstByte] & ~headMask) | (value & headMask));
        std::memset(out + firstByte + 1, value, static_cast<std::size_t>(lastByte - firstByte - 1));
        out[lastByte] = static_cast<std::uint8_t>((out[lastByte] & ~tailMask) | (value & tailMask));
        return;
    }
    case 1:
        std::memset(out + x0, m_greys[static_cast<std::size_t>(colourIndex)], static_cast<std::size_t>(x1 - x0));
        return;
    default:
        std::memcpy(out + static_cast<std::size_t>(x0) * 3, m_rows[static_cast<std::size_t>(colourIndex)].data(),
                    static_cast<std::size_t>(x1 - x0) * 3);
        return;
    }
}

void RowRenderer::Render(int y, std::uint8_t* out) const {
    const double bedY = m_settings.top + (y + 0.5) * 1200.0 / m_settings.yres;
    const double dy = bedY - m_cy;
    const double pixel = 1200.0 / m_settings.xres;
    const double halfW = m_placement.width / 2, halfH = m_placement.height / 2;

    // The interval of bed x where the row's centre line lies inside a box, as pixel indexes [x0, x1).
    auto span = [&](const Box& b, int& x0, int& x1) {
        double lo = std::numeric_limits<double>::lowest(), hi = std::numeric_limits<double>::max();
        // u = dx cos - dy sin must lie in [u0, u1); v = dx sin + dy cos in [v0, v1) (centred coordinates).
        double u0 = b.u0 - halfW, u1 = b.u1 - halfW, v0 = b.v0 - halfH, v1 = b.v1 - halfH;
        lo = std::max(lo, (u0 + dy * m_sin) / m_cos);
        hi = std::min(hi, (u1 + dy * m_sin) / m_cos);
        if (m_sin > 1e-12) {
            lo = std::max(lo, (v0 - dy * m_cos) / m_sin);
            hi = std::min(hi, (v1 - dy * m_cos) / m_sin);
        } else if (m_sin < -1e-12) {
            lo = std::max(lo, (v1 - dy * m_cos) / m_sin);
            hi = std::min(hi, (v0 - dy * m_cos) / m_sin);
        } else if (dy * m_cos < v0 || dy * m_cos >= v1) {
            x0 = x1 = 0;
            return;
        }
        if (lo >= hi) {
            x0 = x1 = 0;
            return;
        }
        auto toPixel = [&](double dx) {
            double x = std::ceil((m_cx + dx - m_settings.left) / pixel - 0.5);
            return static_cast<int>(std::clamp(x, 0.0, static_cast<double>(m_width)));
        };
        x0 = toPixel(lo);
        x1 = toPixel(hi);
    };

    // The paper first, with white only around it, so most bytes are written once.
    int p0 = 0, p1 = 0;
    const Run& paper = m_runs.front();
    if (y >= paper.yFirst && y <= paper.yLast)
        span(paper.box, p0, p1);
    if (p0 >= p1)
        p0 = p1 = 0;
    if (m_settings.colour == 0) {
        std::memset(out, 0xFF, m_rowBytes);
    } else {
        Fill(out, 0, p0, 0);
        Fill(out, p1, m_width, 0);
    }
    Fill(out, p0, p1, paper.colourIndex);
    for (std::size_t i = 1; i < m_runs.size(); ++i) {
        const Run& run = m_runs[i];
        if (y < run.yFirst || y > run.yLast)
            continue;
        int x0, x1;
        span(run.box, x0, x1);
        Fill(out, x0, x1, run.colourIndex);
    }
}

} // namespace scandrv
