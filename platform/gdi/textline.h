// A line of text as ExtTextOutW draws it, for controls that place a caret and a selection on it (the edit control).
#pragma once

#include "platform/gdi/wingdi.h"

#include <vector>

namespace platform::gdi {

// Positions are logical x offsets from where ExtTextOutW starts the line (x with TA_LEFT); on a right-to-left DC
// they grow to the left like every logical coordinate there. Indexes are UTF-16 units.
struct TextLineMetrics {
    int width = 0;
    std::vector<int> caret; // size + 1 entries: where the caret stands before each unit, and after the line
    struct Span {
        int from = 0, to = 0;     // from <= to
        bool rightToLeft = false; // the unit reads right to left (Hebrew, Arabic)
    };
    std::vector<Span> spans; // what each unit covers (a selection fills these)
    bool mirrored = false;   // the DC's layout is right to left

    // The caret index (0..size) nearest to logical offset x.
    int indexAt(int x) const;
};

// Lays out `count` units of `text` with the DC's font and reading order (ETO_RTLREADING in `options` reverses it,
// as it does for ExtTextOutW). Empty metrics when the DC or its font is unusable.
TextLineMetrics MeasureTextLine(HDC dc, const WCHAR* text, int count, UINT options);

} // namespace platform::gdi
