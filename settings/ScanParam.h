// The scan-settings record the scanning window keeps and the settings store saves byte for byte (612 bytes,
// little-endian 32-bit integers).
//
// offset  field
//      0  connection: 0 USB, 1 network device from discovery, 2 network address entered by hand
//      4  char[256] address of the discovered device (terminated)
//    260  char[256] address entered by hand (terminated)
//    516  source: 0 flatbed, 1 feeder, 2 feeder duplex
//    520  colour mode: 2 colour, 1 grey, 0 black and white
//    524  resolution index          528  paper index          532  horizontal flag
//    536  adv[0..3] brightness per channel    552  adv[4..7] contrast    568  adv[8..11] tone curve preset
//    584  adv[12] gamma x 10   588  adv[13] threshold   592  adv[14] descreen   596  adv[15] fading correction
//    600  adv[16] rotation     604  adv[17] auto-deskew 608  adv[18] unit index of the size display
#pragma once

#include <cstddef>
#include <cstdint>

struct ScanParam {
    std::int32_t portType;
    char szFoundAddress[256];
    char szHostAddress[256];
    std::int32_t source;
    std::int32_t colorMode;
    std::int32_t resolution;
    std::int32_t paperSize;
    std::int32_t horizontal;
    std::int32_t adv[19];
};

static_assert(sizeof(ScanParam) == 612);
static_assert(offsetof(ScanParam, szFoundAddress) == 4);
static_assert(offsetof(ScanParam, szHostAddress) == 260);
static_assert(offsetof(ScanParam, source) == 516);
static_assert(offsetof(ScanParam, colorMode) == 520);
static_assert(offsetof(ScanParam, resolution) == 524);
static_assert(offsetof(ScanParam, paperSize) == 528);
static_assert(offsetof(ScanParam, horizontal) == 532);
static_assert(offsetof(ScanParam, adv) == 536);

inline constexpr int kScanParamSize = 612;
