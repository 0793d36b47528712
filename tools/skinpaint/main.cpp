// Draws the skin bitmaps of the data source (buttons, dialog backgrounds, tabs) and the pictures the control tests
// use, as 24-bit BMP files. Deterministic: the same program always writes the same bytes, so the files are kept in
// the repository and regenerated only when the look changes.
//
//   skinpaint <resources/quennet folder> [<test data folder> [<viewer data folder>]]
//   skinpaint --velmora <resources/velmora folder>     (the device-scan program's copies, its message box and icon)
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Rgb {
    double r, g, b;
};

constexpr Rgb Hex(std::uint32_t v) {
    return {double((v >> 16) & 0xFF), double((v >> 8) & 0xFF), double(v & 0xFF)};
}

Rgb Mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

class Canvas {
public:
    Canvas(int width, int height, Rgb fill)
        : m_width(width), m_height(height), m_pixels(size_t(width) * height, fill) {}
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    Rgb& At(int x, int y) { return m_pixels[size_t(y) * m_width + x]; }

    // Paints every pixel with the share of its 4 x 4 sub-samples that `inside` accepts (anti-aliased shapes).
    void Cover(const std::function<bool(double, double)>& inside, const std::function<Rgb(int, int)>& colour) {
        for (int y = 0; y < m_height; ++y)
            for (int x = 0; x < m_width; ++x) {
                int hits = 0;
                for (int sy = 0; sy < 4; ++sy)
                    for (int sx = 0; sx < 4; ++sx)
                        hits += inside(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4) ? 1 : 0;
                if (hits)
                    At(x, y) = Mix(At(x, y), colour(x, y), hits / 16.0);
            }
    }
    void Cover(const std::function<bool(double, double)>& inside, Rgb colour) {
        Cover(inside, [colour](int, int) { return colour; });
    }
    void FillRect(int l, int t, int r, int b, Rgb colour) {
        for (int y = std::max(t, 0); y < std::min(b, m_height); ++y)
            for (int x = std::max(l, 0); x < std::min(r, m_width); ++x)
                At(x, y) = colour;
    }
    void MirrorHorizontally() {
        for (int y = 0; y < m_height; ++y)
            std::reverse(m_pixels.begin() + size_t(y) * m_width, m_pixels.begin() + size_t(y + 1) * m_width);
    }

    // A BMP file: 24 bits, bottom-up rows padded to 4 bytes, 2835 pixels a metre (72 dpi).
    bool Save(const std::string& path) const {
        const std::uint32_t stride = (std::uint32_t(m_width) * 3 + 3) & ~3u;
        const std::uint32_t imageSize = stride * std::uint32_t(m_height);
        std::vector<std::uint8_t> out;
        auto u16 = [&](std::uint32_t v) { out.insert(out.end(), {std::uint8_t(v), std::uint8_t(v >> 8)}); };
        auto u32 = [&](std::uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
        out.push_back('B'), out.push_back('M');
        u32(54 + imageSize), u32(0), u32(54);
        u32(40), u32(std::uint32_t(m_width)), u32(std::uint32_t(m_height)), u16(1), u16(24), u32(0), u32(imageSize);
        u32(2835), u32(2835), u32(0), u32(0);
        for (int y = m_height - 1; y >= 0; --y) {
            for (int x = 0; x < m_width; ++x) {
                const Rgb& p = m_pixels[size_t(y) * m_width + x];
                auto byte = [](double v) { return std::uint8_t(std::clamp(std::lround(v), 0L, 255L)); };
                out.insert(out.end(), {byte(p.b), byte(p.g), byte(p.r)});
            }
            out.resize(out.size() + (stride - std::uint32_t(m_width) * 3), 0);
        }
        std::ofstream file(path, std::ios::binary);
        file.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
        return bool(file);
    }

private:
    int m_width;
    int m_height;
    std::vector<Rgb> m_pixels;
};

// Signed distance test of a rounded rectangle [l, r) x [t, b) with corner radius rad.
bool InRoundRect(double x, double y, double l, double t, double r, double b, double rad) {
    if (x < l || x >= r || y < t || y >= b)
        return false;
    const double cx = std::clamp(x, l + rad, r - rad);
    const double cy = std::clamp(y, t + rad, b - rad);
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= rad * rad;
}

// The palette of the light theme.
constexpr Rgb kPage = Hex(0xF6F8FB);     // dialog backgrounds
constexpr Rgb kPanel = Hex(0xFFFFFF);    // message area
constexpr Rgb kFooter = Hex(0xEDF1F6);   // button strip
constexpr Rgb kHairline = Hex(0xD8DEE6); // separators
constexpr Rgb kAccent = Hex(0x2F6FD6);   // hover and pressed borders
constexpr Rgb kAlert = Hex(0xD64545);    // the error mark

struct ButtonLook {
    Rgb top, bottom, border;
};

// A button face over the page colour: a soft vertical gradient in a 1-pixel border with rounded corners.
Canvas Button(int width, int height, const ButtonLook& look) {
    Canvas c(width, height, kPage);
    const double w = width, h = height;
    c.Cover([&](double x, double y) { return InRoundRect(x, y, 0, 0, w, h, 4); }, look.border);
    c.Cover([&](double x, double y) { return InRoundRect(x, y, 1, 1, w - 1, h - 1, 3); },
            [&](int, int y) { return Mix(look.top, look.bottom, double(y) / (height - 1)); });
    return c;
}

// The red round mark with its white "!", centred at (cx, cy).
void AlertMark(Canvas& c, double cx, double cy, double rad) {
    const double k = rad / 18;
    c.Cover([&](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= rad * rad; }, kAlert);
    c.Cover(
        [&](double x, double y) { return InRoundRect(x, y, cx - 2 * k, cy - 11 * k, cx + 2 * k, cy + 4 * k, 2 * k); },
        Hex(0xFFFFFF));
    c.Cover(
        [&](double x, double y) {
            return (x - cx) * (x - cx) + (y - cy - 8.5 * k) * (y - cy - 8.5 * k) <= 2.4 * k * 2.4 * k;
        },
        Hex(0xFFFFFF));
}

// The error dialog's background: white message area, a footer strip for the OK button, and the error mark where
// reading starts. The message text starts 79 pixels in from that side and may run to 268, so the mark sits beside
// it: at the left, or at the right in the right-to-left picture, whose dialog is laid out mirrored.
Canvas ErrorBackground(bool rightToLeft) {
    Canvas c(277, 124, kPage);
    c.FillRect(0, 0, 277, 86, kPanel);
    c.FillRect(0, 86, 277, 87, kHairline);
    c.FillRect(0, 87, 277, 124, kFooter);
    AlertMark(c, rightToLeft ? 277 - 40 : 40, 38, 18);
    return c;
}

// A page tab of the scanning window: the active one is white with an accent underline, the other lies back.
Canvas Tab(bool active) {
    Canvas c(90, 24, kPage);
    const Rgb face = active ? kPanel : Hex(0xE6EBF2);
    c.Cover([](double x, double y) { return InRoundRect(x, y, 0, 0, 90, 28, 4); }, kHairline);
    c.Cover([](double x, double y) { return InRoundRect(x, y, 1, 1, 89, 28, 3); }, face);
    if (active)
        c.FillRect(1, 21, 89, 24, kAccent);
    else
        c.FillRect(0, 23, 90, 24, kHairline);
    return c;
}

// The background of an image-adjustment dialog at its client size: a white area for the controls over the footer
// strip that holds the buttons. Both halves mirror onto themselves, so right-to-left layouts use the same picture.
Canvas AdjustmentBackground(int width, int height, int footerTop) {
    Canvas c(width, height, kPanel);
    c.FillRect(0, footerTop, width, footerTop + 1, kHairline);
    c.FillRect(0, footerTop + 1, width, height, kFooter);
    return c;
}

// The background of an adjustment dialog with a graph: the adjustment background with a frame around the graph,
// centred in the width so that it also holds the graph of the mirrored layout.
Canvas GraphBackground(int width, int height, int footerTop, double top, double bottom, double halfWidth) {
    Canvas c = AdjustmentBackground(width, height, footerTop);
    const double l = width / 2.0 - halfWidth, r = width / 2.0 + halfWidth;
    c.Cover([&](double x, double y) { return InRoundRect(x, y, l, top, r, bottom, 4); }, kHairline);
    c.Cover([&](double x, double y) { return InRoundRect(x, y, l + 1, top + 1, r - 1, bottom - 1, 3); }, kPanel);
    return c;
}

// The device-scan program's message box background: one white panel (its OK button stands inside the message
// area, so there is no footer strip) with the error mark beside the text, which starts 79 pixels in from the side
// where reading starts: the right-to-left picture is the mirror.
Canvas PushErrorBackground(bool rightToLeft) {
    Canvas c(277, 122, kPanel);
    c.FillRect(0, 121, 277, 122, kHairline);
    AlertMark(c, rightToLeft ? 277 - 40 : 40, 38, 18);
    return c;
}

// The device-scan program's icon at `size` pixels: a blue rounded tile with a white sheet and the accent scan line.
// `inside` answers the tile's silhouette, for the icon's alpha.
Canvas PushIcon(int size, std::function<bool(double, double)>& inside) {
    const double k = size / 32.0;
    Canvas c(size, size, Hex(0xFFFFFF));
    inside = [k](double x, double y) { return InRoundRect(x, y, 1 * k, 1 * k, 31 * k, 31 * k, 6 * k); };
    c.Cover(inside, [&](int, int y) { return Mix(Hex(0x4A88EA), Hex(0x2659B0), double(y) / (size - 1)); });
    c.Cover([k](double x, double y) { return InRoundRect(x, y, 9 * k, 6 * k, 23 * k, 26 * k, 1.5 * k); },
            Hex(0xFFFFFF));
    for (int line = 0; line < 3; ++line)
        c.FillRect(int(12 * k), int((10 + 4 * line) * k), int(20 * k), int((10 + 4 * line) * k + std::max(1.0, k)),
                   Hex(0xB8C6DA));
    c.Cover([k](double x, double y) { return x >= 5 * k && x < 27 * k && std::abs(y - 21 * k) < 1.2 * k; },
            Hex(0x7FE0A0));
    return c;
}

// An ICO file of 32-bit images with alpha (the silhouette's coverage) and an all-clear AND mask.
bool WriteIcon(const std::string& folder, const std::string& name, const std::vector<int>& sizes) {
    std::vector<std::uint8_t> out;
    auto u16 = [&](std::vector<std::uint8_t>& v, std::uint32_t x) {
        v.insert(v.end(), {std::uint8_t(x), std::uint8_t(x >> 8)});
    };
    auto u32 = [&](std::vector<std::uint8_t>& v, std::uint32_t x) { u16(v, x & 0xFFFF), u16(v, x >> 16); };
    std::vector<std::vector<std::uint8_t>> images;
    for (int size : sizes) {
        std::function<bool(double, double)> inside;
        Canvas c = PushIcon(size, inside);
        std::vector<std::uint8_t> image;
        const std::uint32_t maskStride = ((std::uint32_t(size) + 31) / 32) * 4;
        u32(image, 40), u32(image, std::uint32_t(size)), u32(image, std::uint32_t(size) * 2), u16(image, 1);
        u16(image, 32), u32(image, 0), u32(image, std::uint32_t(size) * size * 4 + maskStride * size);
        u32(image, 0), u32(image, 0), u32(image, 0), u32(image, 0);
        for (int y = size - 1; y >= 0; --y)
            for (int x = 0; x < size; ++x) {
                int hits = 0;
                for (int sy = 0; sy < 4; ++sy)
                    for (int sx = 0; sx < 4; ++sx)
                        hits += inside(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4) ? 1 : 0;
                const Rgb& p = c.At(x, y);
                auto byte = [](double v) { return std::uint8_t(std::clamp(std::lround(v), 0L, 255L)); };
                image.insert(image.end(), {byte(p.b), byte(p.g), byte(p.r), byte(hits * 255.0 / 16)});
            }
        image.resize(image.size() + maskStride * size, 0);
        images.push_back(std::move(image));
    }
    u16(out, 0), u16(out, 1), u16(out, std::uint32_t(sizes.size()));
    std::uint32_t offset = 6 + 16 * std::uint32_t(sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        out.insert(out.end(), {std::uint8_t(sizes[i]), std::uint8_t(sizes[i]), 0, 0});
        u16(out, 1), u16(out, 32), u32(out, std::uint32_t(images[i].size())), u32(out, offset);
        offset += std::uint32_t(images[i].size());
    }
    for (const auto& image : images)
        out.insert(out.end(), image.begin(), image.end());
    const std::string path = folder + "/" + name;
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
    if (!file)
        std::fprintf(stderr, "skinpaint: cannot write %s\n", path.c_str());
    return bool(file);
}

// The scanning window's background (client size): the preview side and the settings side as two soft cards on the
// page colour, and the button strip under the settings. The right-to-left picture is its mirror; the app-mode
// picture is taller, with the panes' strip between the cards and the buttons.
Canvas WindowBackground(int width, int height, bool rightToLeft, bool appMode) {
    Canvas c(width, height, kPage);
    auto card = [&](double l, double t, double r, double b) {
        c.Cover([&](double x, double y) { return InRoundRect(x, y, l, t, r, b, 6); }, kHairline);
        c.Cover([&](double x, double y) { return InRoundRect(x, y, l + 1, t + 1, r - 1, b - 1, 5); }, kPanel);
    };
    card(4, 4, 416, appMode ? 600 : height - 4); // preview, its tools, scroll bars and size strip
    card(418, 4, width - 4, 486);                // settings
    if (appMode) {
        card(4, 600, width - 4, 768); // the panes
        c.FillRect(0, 768, width, height, kFooter);
        c.FillRect(0, 768, width, 769, kHairline);
    } else {
        c.FillRect(418, 490, width - 4, height - 4, kFooter);
        c.FillRect(418, 490, width - 4, 491, kHairline);
    }
    if (rightToLeft)
        c.MirrorHorizontally();
    return c;
}

// The progress window's background: the message area and the strip with Cancel.
Canvas ProgressBackground() {
    Canvas c(300, 126, kPanel);
    c.FillRect(0, 88, 300, 89, kHairline);
    c.FillRect(0, 89, 300, 126, kFooter);
    return c;
}

enum class Tool { Select, ZoomIn, ZoomOut, Hand, Clear, RotateLeft, RotateRight };
enum class Face { Normal, Pressed, Hover, Disabled };

double Dist(double x, double y, double cx, double cy) {
    return std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy));
}

// Distance from (x, y) to the segment a-b.
double SegmentDist(double x, double y, double ax, double ay, double bx, double by) {
    const double dx = bx - ax, dy = by - ay;
    const double t = std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return Dist(x, y, ax + t * dx, ay + t * dy);
}

// A 28 x 28 tool button of the preview: a rounded face and the tool's glyph.
Canvas ToolButton(Tool tool, Face face) {
    Canvas c(28, 28, kPanel);
    const ButtonLook looks[] = {{Hex(0xFFFFFF), Hex(0xF1F4F8), Hex(0xC3CBD6)},
                                {Hex(0xD9E6FA), Hex(0xCCDDF7), kAccent},
                                {Hex(0xF4F8FF), Hex(0xE4EEFD), kAccent},
                                {Hex(0xF6F7F9), Hex(0xF6F7F9), Hex(0xE1E5EA)}};
    const ButtonLook& look = looks[static_cast<int>(face)];
    c.Cover([](double x, double y) { return InRoundRect(x, y, 0, 0, 28, 28, 5); }, look.border);
    c.Cover([](double x, double y) { return InRoundRect(x, y, 1, 1, 27, 27, 4); },
            [&](int, int y) { return Mix(look.top, look.bottom, y / 27.0); });
    const Rgb ink = face == Face::Disabled ? Hex(0xB4BCC7) : face == Face::Pressed ? Hex(0x1F4E9C) : Hex(0x3A4A5E);
    const double w = 1.6; // stroke width
    auto stroke = [&](double ax, double ay, double bx, double by) {
        c.Cover([=](double x, double y) { return SegmentDist(x, y, ax, ay, bx, by) <= w / 2; }, ink);
    };
    auto ring = [&](double cx, double cy, double r) {
        c.Cover([=](double x, double y) { return std::abs(Dist(x, y, cx, cy) - r) <= w / 2; }, ink);
    };
    switch (tool) {
    case Tool::Select: // a dashed frame with the pointer at its corner
        for (double x = 6; x < 20; x += 4) {
            stroke(x, 7, std::min(x + 2, 20.0), 7);
            stroke(x, 19, std::min(x + 2, 20.0), 19);
        }
        for (double y = 7; y < 19; y += 4) {
            stroke(6, y, 6, std::min(y + 2, 19.0));
            stroke(20, y, 20, std::min(y + 2, 19.0));
        }
        c.Cover(
            [](double x, double y) {
                // the arrow head: a triangle from (15, 14) down to (23, 22) and (15, 24)
                const double u = x - 15, v = y - 14;
                return u >= 0 && v >= 0 && u <= v && u * 1.25 + (10 - v) * 0.0 <= 8 && v <= 10 - u * 0.2;
            },
            ink);
        break;
    case Tool::ZoomIn:
    case Tool::ZoomOut:
        ring(12, 12, 6);
        stroke(16.5, 16.5, 22, 22);
        stroke(9, 12, 15, 12);
        if (tool == Tool::ZoomIn)
            stroke(12, 9, 12, 15);
        break;
    case Tool::Hand: // four arrows: move the picture
        stroke(14, 5, 14, 23);
        stroke(5, 14, 23, 14);
        for (auto [ax, ay, dx, dy] : {std::array<double, 4>{14, 5, 1, 1}, {14, 23, 1, -1}, {5, 14, 1, 1},
                                     {23, 14, -1, 1}}) {
            if (ay == 5 || ay == 23) {
                stroke(ax, ay, ax - 3, ay + 3 * dy);
                stroke(ax, ay, ax + 3, ay + 3 * dy);
            } else {
                stroke(ax, ay, ax + 3 * dx, ay - 3);
                stroke(ax, ay, ax + 3 * dx, ay + 3);
            }
        }
        break;
    case Tool::Clear: // a page with a cross
        stroke(8, 6, 17, 6);
        stroke(8, 6, 8, 22);
        stroke(8, 22, 20, 22);
        stroke(20, 9, 20, 22);
        stroke(17, 6, 20, 9);
        stroke(11, 11, 17, 17);
        stroke(17, 11, 11, 17);
        break;
    case Tool::RotateLeft:
    case Tool::RotateRight: {
        const bool left = tool == Tool::RotateLeft;
        c.Cover(
            [=](double x, double y) {
                const double d = Dist(x, y, 14, 15);
                const double a = std::atan2(y - 15, left ? 14 - x : x - 14);
                return std::abs(d - 7) <= w / 2 && a > -2.4;
            },
            ink);
        const double tip = left ? 7 : 21;
        stroke(tip, 15, tip - 3, 11);
        stroke(tip, 15, tip + 3, 11);
        break;
    }
    }
    return c;
}

// The app-mode panes' button: an arrow up (the panes can be folded away) or down (unfold them).
Canvas ExpandButton(bool up, bool hover) {
    Canvas c = ToolButton(Tool::Clear, hover ? Face::Hover : Face::Normal);
    const ButtonLook look = hover ? ButtonLook{Hex(0xF4F8FF), Hex(0xE4EEFD), kAccent}
                                  : ButtonLook{Hex(0xFFFFFF), Hex(0xF1F4F8), Hex(0xC3CBD6)};
    c.Cover([](double x, double y) { return InRoundRect(x, y, 1, 1, 27, 27, 4); },
            [&](int, int y) { return Mix(look.top, look.bottom, y / 27.0); });
    const Rgb ink = Hex(0x3A4A5E);
    const double tipY = up ? 10 : 18, baseY = up ? 17 : 11;
    c.Cover([=](double x, double y) { return SegmentDist(x, y, 14, tipY, 8, baseY) <= 0.9; }, ink);
    c.Cover([=](double x, double y) { return SegmentDist(x, y, 14, tipY, 20, baseY) <= 0.9; }, ink);
    return c;
}

bool Write(const Canvas& c, const std::string& folder, const std::string& name) {
    const std::string path = folder + "/" + name;
    if (!c.Save(path)) {
        std::fprintf(stderr, "skinpaint: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

bool WriteScanWindow(const std::string& out) {
    bool ok = true;
    ok &= Write(WindowBackground(780, 604, false, false), out, "main_background.bmp");
    ok &= Write(WindowBackground(780, 604, true, false), out, "main_background_rtl.bmp");
    ok &= Write(WindowBackground(780, 812, false, true), out, "main_background_app.bmp");
    ok &= Write(ProgressBackground(), out, "progress_background.bmp");
    const std::pair<Tool, const char*> tools[] = {{Tool::Select, "select"},     {Tool::ZoomIn, "zoom_in"},
                                                  {Tool::ZoomOut, "zoom_out"},  {Tool::Hand, "hand"},
                                                  {Tool::Clear, "clear"},       {Tool::RotateLeft, "rotate_left"},
                                                  {Tool::RotateRight, "rotate_right"}};
    const std::pair<Face, const char*> faces[] = {
        {Face::Normal, "normal"}, {Face::Pressed, "pressed"}, {Face::Hover, "hover"}, {Face::Disabled, "disabled"}};
    for (const auto& [tool, toolName] : tools)
        for (const auto& [face, faceName] : faces)
            ok &= Write(ToolButton(tool, face), out, std::string("tool_") + toolName + "_" + faceName + ".bmp");
    ok &= Write(ExpandButton(true, false), out, "expand_up.bmp");
    ok &= Write(ExpandButton(true, true), out, "expand_up_hover.bmp");
    ok &= Write(ExpandButton(false, false), out, "expand_down.bmp");
    ok &= Write(ExpandButton(false, true), out, "expand_down_hover.bmp");
    return ok;
}

// The settings pages' background at the pages' client size (the frame they are placed on): the body of the two
// tabs above it, a panel in the colour the manual-duplex box paints itself with, in a hairline frame.
Canvas SettingsPageBackground() {
    constexpr int kWidth = 318, kHeight = 326;
    Canvas c(kWidth, kHeight, kPanel);
    c.Cover([](double x, double y) { return InRoundRect(x, y, 0, 0, kWidth, kHeight, 4); }, kHairline);
    c.Cover([](double x, double y) { return InRoundRect(x, y, 1, 1, kWidth - 1, kHeight - 1, 3); }, Hex(0xF9F9F9));
    return c;
}

enum class Adjust { BrightContrast, Gamma, Histogram, Curve };

// An adjustment button of the advanced page, drawn at its natural size: a 40 x 35 face at the top left (the
// smallest of the four buttons) on the page colour, which fills the larger buttons' last pixels.
Canvas AdjustButton(Adjust kind, Face face) {
    Canvas c(43, 39, Hex(0xF9F9F9));
    const ButtonLook looks[] = {{Hex(0xFFFFFF), Hex(0xF1F4F8), Hex(0xC3CBD6)},
                                {Hex(0xD9E6FA), Hex(0xCCDDF7), kAccent},
                                {Hex(0xF4F8FF), Hex(0xE4EEFD), kAccent},
                                {Hex(0xF6F7F9), Hex(0xF6F7F9), Hex(0xE1E5EA)}};
    const ButtonLook& look = looks[static_cast<int>(face)];
    c.Cover([](double x, double y) { return InRoundRect(x, y, 0, 0, 40, 35, 5); }, look.border);
    c.Cover([](double x, double y) { return InRoundRect(x, y, 1, 1, 39, 34, 4); },
            [&](int, int y) { return Mix(look.top, look.bottom, y / 34.0); });
    const bool disabled = face == Face::Disabled;
    const Rgb ink = disabled ? Hex(0xB4BCC7) : face == Face::Pressed ? Hex(0x1F4E9C) : Hex(0x3A4A5E);
    const Rgb red = disabled ? Hex(0xD9C4C4) : Hex(0xD64545);
    const Rgb green = disabled ? Hex(0xC4D6C8) : Hex(0x2E9E4F);
    const Rgb blue = disabled ? Hex(0xC4CCD9) : Hex(0x2F6FD6);
    const double w = 1.6;
    auto stroke = [&](double ax, double ay, double bx, double by, Rgb colour) {
        c.Cover([=](double x, double y) { return SegmentDist(x, y, ax, ay, bx, by) <= w / 2; }, colour);
    };
    // A curve y(t) for t in 0..1 drawn in the 22 x 22 box at (9, 6), the origin at its bottom left.
    auto plot = [&](const std::function<double(double)>& f, Rgb colour) {
        constexpr int kSteps = 24;
        for (int i = 0; i < kSteps; ++i) {
            const double t0 = double(i) / kSteps, t1 = double(i + 1) / kSteps;
            stroke(9 + 22 * t0, 28 - 22 * f(t0), 9 + 22 * t1, 28 - 22 * f(t1), colour);
        }
    };
    switch (kind) {
    case Adjust::BrightContrast: // the contrast disc, one half filled, with the rays of brightness
        c.Cover([](double x, double y) { return std::abs(Dist(x, y, 20, 17.5) - 7) <= 0.8; }, ink);
        c.Cover([](double x, double y) { return Dist(x, y, 20, 17.5) <= 7 && x <= 20; }, ink);
        for (int i = 0; i < 8; ++i) {
            const double a = i * 3.14159265358979 / 4;
            stroke(20 + 10 * std::cos(a), 17.5 + 10 * std::sin(a), 20 + 13 * std::cos(a), 17.5 + 13 * std::sin(a),
                   ink);
        }
        break;
    case Adjust::Gamma: // the axes, the straight line of gamma 1 and a gamma curve above it
        stroke(9, 6, 9, 28, ink);
        stroke(9, 28, 31, 28, ink);
        plot([](double t) { return t; }, disabled ? ink : Hex(0xA8B2BF));
        plot([](double t) { return std::pow(t, 1 / 2.2); }, blue);
        break;
    case Adjust::Histogram: { // bars on a base line
        const double heights[] = {5, 11, 18, 21, 15, 9, 4};
        for (int i = 0; i < 7; ++i)
            c.FillRect(9 + 3 * i, int(28 - heights[i]), 9 + 3 * i + 2, 28, ink);
        stroke(8, 28.5, 31, 28.5, ink);
        break;
    }
    case Adjust::Curve: // a tone curve per channel over the frame of the graph
        stroke(9, 6, 9, 28, Hex(0xA8B2BF));
        stroke(9, 28, 31, 28, Hex(0xA8B2BF));
        plot([](double t) { return t + 0.22 * std::sin(2 * 3.14159265358979 * t); }, red);
        plot([](double t) { return t; }, green);
        plot([](double t) { return t - 0.22 * std::sin(2 * 3.14159265358979 * t); }, blue);
        break;
    }
    return c;
}

// The picture the preview shows while there is no scan (730 x 912): the empty glass of the flatbed, a soft light
// gradient. Feeder sources show plain white instead.
Canvas BlankPreviewPage() {
    constexpr int kWidth = 730, kHeight = 912;
    Canvas c(kWidth, kHeight, kPanel);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            c.At(x, y) = Mix(Hex(0xFBFCFD), Hex(0xE9EDF2), (double(x) / kWidth + double(y) / kHeight) / 2);
    return c;
}

bool WriteSettingsPages(const std::string& out) {
    bool ok = Write(SettingsPageBackground(), out, "settings_page_background.bmp");
    const std::pair<Adjust, const char*> kinds[] = {{Adjust::BrightContrast, "brightcontrast"},
                                                    {Adjust::Gamma, "gamma"},
                                                    {Adjust::Histogram, "histogram"},
                                                    {Adjust::Curve, "curve"}};
    const std::pair<Face, const char*> faces[] = {
        {Face::Normal, "normal"}, {Face::Pressed, "pressed"}, {Face::Hover, "hover"}, {Face::Disabled, "disabled"}};
    for (const auto& [kind, kindName] : kinds)
        for (const auto& [face, faceName] : faces)
            ok &= Write(AdjustButton(kind, face), out, std::string("adjust_") + kindName + "_" + faceName + ".bmp");
    ok &= Write(BlankPreviewPage(), out, "preview_blank.bmp");
    return ok;
}

// Test pictures: plain colours (so a test can tell the states apart by one pixel), a mask whose corners are white,
// and a 2-colour tile.
bool WriteTestData(const std::string& folder) {
    bool ok = true;
    const std::pair<const char*, std::uint32_t> solids[] = {{"solid_normal.bmp", 0x2040C0},
                                                            {"solid_down.bmp", 0xC02020},
                                                            {"solid_over.bmp", 0x20A040},
                                                            {"solid_disabled.bmp", 0x808080},
                                                            {"solid_focus.bmp", 0xC0A020}};
    for (const auto& [name, colour] : solids)
        ok &= Write(Canvas(40, 20, Hex(colour)), folder, name);
    Canvas mask(40, 20, Hex(0x000000));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x) {
            const int dx = std::min(x, 39 - x), dy = std::min(y, 19 - y);
            if (dx + dy < 6) // a 6-pixel diagonal cut at each corner
                mask.At(x, y) = Hex(0xFFFFFF);
        }
    ok &= Write(mask, folder, "mask_corners.bmp");
    Canvas tile(7, 5, Hex(0xFFFF00));
    tile.FillRect(0, 0, 1, 5, Hex(0x0000FF));
    tile.FillRect(0, 0, 7, 1, Hex(0x0000FF));
    ok &= Write(tile, folder, "tile.bmp");
    ok &= Write(Canvas(40, 20, Hex(0xFFFFFF)), folder, "mask_empty.bmp");
    return ok;
}

// The viewer's round tool button: faces for normal, hover and down, and the mask that cuts the circle out.
bool WriteViewerData(const std::string& folder) {
    auto inside = [](double x, double y) { return (x - 12) * (x - 12) + (y - 12) * (y - 12) <= 11.5 * 11.5; };
    auto face = [&](Rgb fill, Rgb ring) {
        Canvas c(24, 24, Hex(0xFFFFFF));
        c.Cover(inside, ring);
        c.Cover([](double x, double y) { return (x - 12) * (x - 12) + (y - 12) * (y - 12) <= 10.5 * 10.5; }, fill);
        c.Cover([](double x, double y) { return std::abs(x - 12) < 1.2 && std::abs(y - 12) < 6; }, Hex(0xFFFFFF));
        c.Cover([](double x, double y) { return std::abs(y - 12) < 1.2 && std::abs(x - 12) < 6; }, Hex(0xFFFFFF));
        return c;
    };
    bool ok = true;
    ok &= Write(face(kAccent, Hex(0x2659B0)), folder, "round_normal.bmp");
    ok &= Write(face(Hex(0x4A88EA), kAccent), folder, "round_hover.bmp");
    ok &= Write(face(Hex(0x1F4E9C), Hex(0x183E7C)), folder, "round_down.bmp");
    Canvas mask(24, 24, Hex(0xFFFFFF));
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x)
            if (inside(x + 0.5, y + 0.5))
                mask.At(x, y) = Hex(0x000000);
    ok &= Write(mask, folder, "round_mask.bmp");
    return ok;
}

// A round mark at (cx, cy) with a white glyph: a question mark ('?') or an information mark ('i').
void GlyphMark(Canvas& c, double cx, double cy, double rad, Rgb colour, char glyph) {
    const double k = rad / 18;
    c.Cover([&](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= rad * rad; }, colour);
    auto dot = [&](double dx, double dy, double r) {
        c.Cover([&](double x, double y) { return (x - cx - dx) * (x - cx - dx) + (y - cy - dy) * (y - cy - dy) <= r * r; },
                Hex(0xFFFFFF));
    };
    if (glyph == 'i') {
        dot(0, -8.5 * k, 2.4 * k);
        c.Cover(
            [&](double x, double y) { return InRoundRect(x, y, cx - 2 * k, cy - 3 * k, cx + 2 * k, cy + 11 * k, 2 * k); },
            Hex(0xFFFFFF));
        return;
    }
    // '?': the upper part of a ring, open at its lower left, and a stem down from its lower right, then the dot.
    const double ringY = cy - 4 * k, outer = 7.5 * k, inner = 3.8 * k;
    c.Cover(
        [&](double x, double y) {
            const double dx = x - cx, dy = y - ringY, d2 = dx * dx + dy * dy;
            return d2 <= outer * outer && d2 >= inner * inner && !(dx < 0 && dy > 0);
        },
        Hex(0xFFFFFF));
    c.Cover(
        [&](double x, double y) { return InRoundRect(x, y, cx - 2 * k, ringY + 2 * k, cx + 2 * k, cy + 6 * k, 1 * k); },
        Hex(0xFFFFFF));
    dot(0, 10 * k, 2.3 * k);
}

// The question and notice boxes' background: the error box's panel and footer with a mark of their own left of the
// text. Those boxes are laid out mirrored in a right-to-left language, so that picture has the mark on the right,
// the mark itself unmirrored: a question mark reads the same in every language.
Canvas WarningBackground(char glyph, bool rightToLeft) {
    Canvas c(277, 124, kPage);
    c.FillRect(0, 0, 277, 86, kPanel);
    c.FillRect(0, 86, 277, 87, kHairline);
    c.FillRect(0, 87, 277, 124, kFooter);
    GlyphMark(c, rightToLeft ? 277 - 40 : 40, 38, 18, glyph == '?' ? Hex(0xE0A020) : kAccent, glyph);
    return c;
}

// An app-mode pane's background: a white card with a hairline edge (the window places it on its own card).
Canvas PaneBackground(int width, int height) {
    Canvas c(width, height, kPanel);
    c.FillRect(0, 0, width, 1, kHairline);
    c.FillRect(0, height - 1, width, height, kHairline);
    c.FillRect(0, 0, 1, height, kHairline);
    c.FillRect(width - 1, 0, width, height, kHairline);
    return c;
}

// The port dialog's background (and the about box's): a neutral shade from near white at the top to a light grey
// at the bottom. The port dialog's three radios paint grey 249, 240 and 230 behind themselves; they sit at the
// heights (33, 87 and 149 pixels) where the shade has those values.
Canvas ShadedBackground() {
    const int width = 375, height = 237;
    Canvas c(width, height, kPanel);
    for (int y = 0; y < height; ++y) {
        const double v = 254.2 - 0.163 * (y + 0.5);
        c.FillRect(0, y, width, y + 1, Rgb{v, v, v});
    }
    return c;
}

// The shared push-button skin, in both deliverables.
bool WriteButtons(const std::string& out) {
    bool ok = true;
    ok &= Write(Button(81, 22, {Hex(0xFFFFFF), Hex(0xF1F4F8), Hex(0xC3CBD6)}), out, "button_normal.bmp");
    ok &= Write(Button(81, 22, {Hex(0xD9E6FA), Hex(0xCCDDF7), kAccent}), out, "button_pressed.bmp");
    ok &= Write(Button(81, 22, {Hex(0xF4F8FF), Hex(0xE4EEFD), kAccent}), out, "button_hover.bmp");
    ok &= Write(Button(81, 22, {Hex(0xF1F2F4), Hex(0xF1F2F4), Hex(0xDDE1E6)}), out, "button_disabled.bmp");
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--velmora") {
        bool ok = WriteButtons(argv[2]);
        ok &= Write(PushErrorBackground(false), argv[2], "error_background.bmp");
        ok &= Write(PushErrorBackground(true), argv[2], "error_background_rtl.bmp");
        ok &= WriteIcon(argv[2], "velmora.ico", {32, 16});
        return ok ? 0 : 1;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: skinpaint <resources folder> [<test data folder> [<viewer data folder>]]\n"
                             "       skinpaint --velmora <resources/velmora folder>\n");
        return 2;
    }
    const std::string out = argv[1];
    bool ok = WriteButtons(out);
    ok &= Write(ErrorBackground(false), out, "error_background.bmp");
    ok &= Write(ErrorBackground(true), out, "error_background_rtl.bmp");
    ok &= Write(Tab(true), out, "tab_active.bmp");
    ok &= Write(Tab(false), out, "tab_inactive.bmp");
    ok &= Write(WarningBackground('?', false), out, "warning_background.bmp");
    ok &= Write(WarningBackground('?', true), out, "warning_background_rtl.bmp");
    ok &= Write(WarningBackground('i', false), out, "notice_background.bmp");
    ok &= Write(WarningBackground('i', true), out, "notice_background_rtl.bmp");
    ok &= Write(AdjustmentBackground(399, 203, 166), out, "gamma_background.bmp");
    ok &= Write(AdjustmentBackground(397, 443, 406), out, "brightcontrast_background.bmp");
    ok &= Write(GraphBackground(283, 401, 360, 46, 237, 94.5), out, "curve_background.bmp");
    ok &= Write(GraphBackground(244, 300, 265, 40, 177, 111), out, "histogram_background.bmp");
    ok &= WriteScanWindow(out);
    ok &= Write(PaneBackground(294, 136), out, "pane_background.bmp");
    ok &= Write(ShadedBackground(), out, "shaded_background.bmp");
    ok &= Write(PaneBackground(258, 136), out, "info_pane_background.bmp");
    ok &= Write(AdjustmentBackground(393, 401, 356), out, "setting_info_background.bmp");
    ok &= Write(AdjustmentBackground(423, 243, 198), out, "save_background.bmp");
    ok &= WriteSettingsPages(out);
    if (argc > 2)
        ok &= WriteTestData(argv[2]);
    if (argc > 3)
        ok &= WriteViewerData(argv[3]);
    return ok ? 0 : 1;
}
