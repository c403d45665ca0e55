// The code tables of the text sort orders: for every UTF-16 code unit, what it contributes to a
// text index key (text_collation.h), as runs of consecutive units.
#pragma once

#include <cstdint>
#include <span>

namespace jet::sort_codes {

enum Kind : std::uint8_t {
    kNone,         // no code is known: the character is refused
    kIgnored,      // the character leaves nothing in the key
    kInline,       // an inline code, and an extra code when it has one
    kUnprintable,  // a code written among the unprintable characters
    kModifier,     // no code of its own: its extra byte is added to the extra code before it
    kKana,         // an inline code, an extra code when it has one, and a kana flag
    kSmallKana,    // the same for a small kana, whose flag differs
};

// Characters from `first` up to the next run's first: the same kind and extra code, and each
// character's code the code of the one before with its last byte one higher.
struct CodeRun {
    std::uint16_t first;
    std::uint16_t bytes;   // where the code of `first` starts in the table's bytes; its extra
                           // code follows it
    std::uint8_t kind;     // Kind
    std::uint8_t lengths;  // code length (low four bits) | extra code length << 4
};

struct SortTable {
    std::span<const CodeRun> runs;  // in order of `first`, the first at U+0000
    const std::uint8_t* bytes;
};

extern const SortTable kGeneralLegacy;
extern const SortTable kGeneral;

}  // namespace jet::sort_codes
