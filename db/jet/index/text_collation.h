// Text in index keys: the sort orders Access encodes text columns with.
//
// An index does not store text, it stores a sort key that makes the bytes compare in the sort
// order of the column. Letter case is dropped; accents, and characters that only break ties,
// are kept after the main part. Each character has one of these kinds in a sort order
// (text_collation_codes.h): an inline code of 1 to 8 bytes, with or without an extra code of 1
// to 3 bytes (one for each sort element of the character: an accent, a width, ...); an
// unprintable code (apostrophe, hyphen, control characters); a modifier (combining marks),
// which changes the extra code of the character before it; a kana, which is an inline code
// with a flag for small kana; ignored; or unknown. The key of one text value (before the
// column's start flag) is:
//
//   inline codes   the inline code of each character that has one
//   01             end of the inline codes
//   extra codes    for each character with an inline code, in order, its extra code or 02
//                  (none), a modifier adding its byte to the last of these before it (or, before
//                  any, standing first on its own); trailing bytes 00 to 02 are left out
//   01 01          only when the text has kana or unprintable characters, followed by:
//   kana flags     when it has kana: a flag for each (02 small, 03 not), trailing 03 left out,
//                  two bits each, three to a byte (bits 5-4, 3-2, 1-0 of 80 | ...); then
//                  FF 02 80 FF 80, and one more FF when unprintable characters follow
//   01 + unprintables
//                  when it has unprintable characters: for each, the big-endian 16-bit value
//                  0x8000 | (7 + 4 × the number of extra-code bytes before it, every character
//                  before it with an inline code counted as having one, a modifier standing
//                  first not counted), 06 and its code
//   00             end of the value
//
// The text is cut to 255 characters and trailing spaces are dropped first. In a descending
// column the whole value, with one more 00, is inverted, and a final 00 follows.
//
// Two sort orders are known: "General Legacy" (files before Access 2010, and later files that
// keep it) and "General" (Access 2010 and later). Their codes cover the Basic Multilingual
// Plane. NUL, the few characters whose published codes are not trusted, and every surrogate
// but the halves of U+1F600 to U+1F64F in General have no established code and are refused
// rather than guessed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/jet/format/format.h"

namespace jet {

struct ColumnDef;

class TextCollation {
  public:
    enum class Order { GeneralLegacy, General };

    // The collation of text column `column` in a file of `format`, or nullptr when its sort
    // order is not one the engine can write keys for (Jet 3's, another language's, or a
    // version it does not know).
    static const TextCollation* forColumn(const Format& format, const ColumnDef& column);
    static const TextCollation& get(Order order);

    Order order() const { return order_; }
    // "General Legacy", "General".
    const char* name() const;

    // Appends the key of `text` (UTF-16 code units) to `out`. Throws Error(NotSupported)
    // "cannot index the character U+XXXX in this sort order (...)" for a character whose code
    // is not known, leaving `out` as it was.
    void appendKey(std::u16string_view text, bool ascending, std::vector<std::uint8_t>& out) const;

    // The first character of `text` whose code is not known, or -1 when every one is.
    long firstUnknown(std::u16string_view text) const;

  private:
    explicit TextCollation(Order order) : order_(order) {}
    Order order_;
};

// UTF-8 to UTF-16 code units (invalid sequences become U+FFFD).
std::u16string toUtf16(std::string_view utf8);

}  // namespace jet
