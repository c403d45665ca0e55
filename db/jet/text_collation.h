// Text in index keys: the sort orders Access encodes text columns with.
//
// An index does not store text, it stores a sort key that makes the bytes compare in the sort
// order of the column. Letter case is dropped; accents, and characters that only break ties,
// are kept after the main part. The key of one text value (before the column's start flag) is:
//
//   inline codes   one code (1 to 4 bytes) for each character that has one
//   01             end of the inline codes
//   extra codes    one byte for each character with an inline code, in the same order (02: no
//                  accent); trailing 02 bytes are left out
//   01 01 01       only when the text has unprintable characters (apostrophe, hyphen, control
//                  characters), followed for each of them by the big-endian 16-bit value
//                  0x8000 | (7 + 4 × the number of characters with inline codes before it),
//                  06 and its code
//   00             end of the value
//
// The text is cut to 255 characters and trailing spaces are dropped first. In a descending
// column the whole value, with one more 00, is inverted, and a final 00 follows.
//
// Two sort orders are known: "General Legacy" (files before Access 2010, and later files that
// keep it) and "General" (Access 2010 and later). The code of each character was derived from
// the keys Access itself wrote into the text indexes of real files; characters whose codes no
// such key shows are refused rather than guessed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/jet/format.h"

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
