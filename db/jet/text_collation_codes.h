// The code tables of the text sort orders, sorted by UTF-16 code unit.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace jet::sort_codes {

enum Kind : std::uint8_t {
    kInline,       // `bytes` are the inline code, `extra` the extra code (0x02: none)
    kUnprintable,  // `bytes` are the code written among the unprintable characters
};

struct SortCode {
    std::uint16_t unit;
    Kind kind;
    std::array<std::uint8_t, 4> bytes;
    std::uint8_t length;
    std::uint8_t extra;
};

extern const std::span<const SortCode> kGeneralLegacy;
extern const std::span<const SortCode> kGeneral;

}  // namespace jet::sort_codes
