// Right-angle turns, counter-clockwise, worked in 64 x 64 tiles so that both images are walked in cache-sized
// pieces whichever way the rows run.
#include "companions/effects/Effects.h"

#include <algorithm>
#include <cstring>

namespace tonalis {

namespace {

struct At {
    int y, x;
};

// Calls copy(destinationRow, destinationColumn, sourceRow, sourceColumn) for every destination pixel, tile by tile.
template <typename SourceOf, typename Copy> void ForEachTile(const Image& destination, SourceOf sourceOf, Copy copy) {
    constexpr int kTile = 64;
    for (int r0 = 0; r0 < destination.height; r0 += kTile) {
        const int r1 = std::min(r0 + kTile, destination.height);
        for (int c0 = 0; c0 < destination.width; c0 += kTile) {
            const int c1 = std::min(c0 + kTile, destination.width);
            for (int r = r0; r < r1; ++r)
                for (int c = c0; c < c1; ++c) {
                    At s = sourceOf(r, c);
                    copy(r, c, s.y, s.x);
                }
        }
    }
}

template <typename SourceOf> void Turn(const Image& source, const Image& destination, SourceOf sourceOf) {
    switch (source.channels) {
    case 0: // 1 bit: the destination rows are cleared, then the set bits are copied
        for (int r = 0; r < destination.height; ++r)
            std::memset(destination.Row(r), 0, (static_cast<std::size_t>(destination.width) + 7) / 8);
        ForEachTile(destination, sourceOf, [&](int r, int c, int sy, int sx) {
            if ((source.Row(sy)[sx >> 3] >> (7 - (sx & 7))) & 1)
                destination.Row(r)[c >> 3] |= static_cast<std::uint8_t>(0x80u >> (c & 7));
        });
        return;
    case 1:
        ForEachTile(destination, sourceOf,
                    [&](int r, int c, int sy, int sx) { destination.Row(r)[c] = source.Row(sy)[sx]; });
        return;
    default:
        ForEachTile(destination, sourceOf, [&](int r, int c, int sy, int sx) {
            std::memcpy(destination.Row(r) + 3 * static_cast<std::size_t>(c),
                        source.Row(sy) + 3 * static_cast<std::size_t>(sx), 3);
        });
        return;
    }
}

} // namespace

void RotateImage(int angle, const Image& source, const Image& destination) {
    const int w = source.width, h = source.height;
    switch (angle) {
    case 90: // the right column becomes the top row
        Turn(source, destination, [w](int r, int c) { return At{c, w - 1 - r}; });
        return;
    case 180:
        Turn(source, destination, [w, h](int r, int c) { return At{h - 1 - r, w - 1 - c}; });
        return;
    default: // 270: the left column, read upwards, becomes the top row
        Turn(source, destination, [h](int r, int c) { return At{h - 1 - c, r}; });
        return;
    }
}

} // namespace tonalis
