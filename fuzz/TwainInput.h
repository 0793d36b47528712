// Capability containers as an application hands them to the source, built from fuzz input.
//
// A container record (little-endian):  u16 conType, then the container's bytes as they lie in memory
// (TW_ONEVALUE, TW_ARRAY, TW_ENUMERATION or TW_RANGE). The block is allocated with malloc, as an application's
// allocator does, and never smaller than what its header declares: a source may trust the declared count, and an
// application whose block is shorter than its own header is wrong, not hostile.
#pragma once

#include "platform/twain/twain.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

namespace fuzz {

// Reads fields front to back; past the end every field is zero.
class Reader {
public:
    Reader(const std::uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool empty() const { return m_pos >= m_size; }
    std::uint8_t U8() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    std::uint16_t U16() { return static_cast<std::uint16_t>(U8() | (U8() << 8)); }
    std::uint32_t U32() { return U16() | (static_cast<std::uint32_t>(U16()) << 16); }
    // The next `n` bytes, fewer at the end.
    std::span<const std::uint8_t> Bytes(size_t n) {
        const size_t take = m_pos < m_size ? std::min(n, m_size - m_pos) : 0;
        std::span<const std::uint8_t> out(m_data + m_pos, take);
        m_pos += take;
        return out;
    }

private:
    const std::uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// The capabilities the source's table holds, and two it does not: the capability fuzz target names them by index.
inline constexpr TW_UINT16 kCapabilities[] = {CAP_SUPPORTEDCAPS,
                                              CAP_FEEDERENABLED,
                                              ICAP_PIXELFLAVOR,
                                              ICAP_XFERMECH,
                                              ICAP_PLANARCHUNKY,
                                              ICAP_COMPRESSION,
                                              ICAP_UNITS,
                                              CAP_AUTOFEED,
                                              CAP_FEEDERLOADED,
                                              ICAP_BRIGHTNESS,
                                              ICAP_CONTRAST,
                                              ICAP_ORIENTATION,
                                              ICAP_BITDEPTH,
                                              ICAP_PIXELTYPE,
                                              ICAP_HALFTONES,
                                              ICAP_FRAMES,
                                              ICAP_SUPPORTEDSIZES,
                                              ICAP_XRESOLUTION,
                                              ICAP_YRESOLUTION,
                                              CAP_XFERCOUNT,
                                              ICAP_IMAGEFILEFORMAT,
                                              0x8123 /* app mode */,
                                              0x8124 /* skip scan adjustments */,
                                              CAP_DUPLEXENABLED,
                                              ICAP_THRESHOLD,
                                              0x7777,
                                              0x8125};
inline constexpr TW_UINT16 kCapabilityMessages[] = {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT,
                                                    MSG_SET, MSG_RESET,      MSG_QUERYSUPPORT};

// An item's size as the protocol lays it out (a source may use smaller slots for strings): the most a source can
// read of an item of that type.
inline size_t ItemSize(std::uint16_t type) {
    switch (type) {
    case TWTY_INT8:
    case TWTY_UINT8:
        return 1;
    case TWTY_INT16:
    case TWTY_UINT16:
    case TWTY_BOOL:
        return 2;
    case TWTY_INT32:
    case TWTY_UINT32:
    case TWTY_FIX32:
        return 4;
    case TWTY_FRAME:
        return 16;
    case TWTY_STR32:
        return 34;
    case TWTY_STR64:
        return 66;
    case TWTY_STR128:
        return 130;
    default:
        return 256; // TWTY_STR255 and every type a source does not know: the largest item
    }
}

inline std::uint32_t LoadU32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// The bytes a container's header declares, or 0 when it declares more than any application would hand in.
inline size_t DeclaredSize(std::uint16_t conType, std::span<const std::uint8_t> bytes) {
    constexpr size_t kMax = size_t(4) << 20;
    std::uint8_t head[18] = {};
    std::memcpy(head, bytes.data(), std::min(bytes.size(), sizeof head));
    std::uint16_t type;
    std::memcpy(&type, head, 2);
    const size_t item = ItemSize(type);
    switch (conType) {
    case TWON_ONEVALUE:
        return 2 + std::max<size_t>(item, 4);
    case TWON_RANGE:
        return sizeof(TW_RANGE);
    case TWON_ARRAY: {
        const size_t count = LoadU32(head + 2);
        return count > kMax / item ? 0 : 6 + count * item;
    }
    case TWON_ENUMERATION: {
        const size_t count = LoadU32(head + 2);
        return count > kMax / item ? 0 : 14 + count * item;
    }
    default:
        return bytes.size();
    }
}

// A malloc'ed container holding `bytes`, zero-padded to its declared size; null when it declares too much.
inline void* NewContainer(std::uint16_t conType, std::span<const std::uint8_t> bytes) {
    const size_t declared = DeclaredSize(conType, bytes);
    if (declared == 0 && conType >= TWON_ARRAY && conType <= TWON_ENUMERATION)
        return nullptr;
    const size_t size = std::max({declared, bytes.size(), size_t(1)});
    void* block = std::calloc(1, size);
    if (block != nullptr && !bytes.empty())
        std::memcpy(block, bytes.data(), bytes.size());
    return block;
}

} // namespace fuzz
