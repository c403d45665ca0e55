// Rows on data pages (type 0x01) and long-value pages: the slot table and the row bounds.
//
// A data page starts with a small header and a table of two-byte row slots; the rows fill the
// page from its end towards the slots, so row 0 ends at the end of the page and row i ends where
// row i-1 starts.
//
//   offset (Jet 3 / Jet 4+)  size  meaning
//   0                        1     page type 0x01
//   2                        2     free space on the page
//   4                        4     page of the owning table definition ("LVAL" on long-value pages)
//   8 / 12                   2     number of row slots
//   10 / 14                  2×n   row slots: the row's start offset in the low 13 bits,
//                                  0x4000 overflow (the row holds a pointer to the real row),
//                                  0x8000 deleted
#pragma once

#include <cstdint>
#include <span>

#include "db/jet/base/byte_reader.h"
#include "db/jet/format/format.h"

namespace jet {

inline constexpr std::uint16_t kRowDeletedFlag = 0x8000;
inline constexpr std::uint16_t kRowOverflowFlag = 0x4000;
inline constexpr std::uint16_t kRowOffsetMask = 0x1FFF;

struct RowSlot {
    std::uint16_t start = 0;  // offset of the row's first byte
    std::uint16_t end = 0;    // offset just past its last byte
    bool deleted = false;
    bool overflow = false;
};

// Reads the slot table of data pages.
class DataPage {
  public:
    // REQUIRES: `page` is the reader over a whole page. Throws Corrupt when the slot table does
    // not fit the page.
    DataPage(const ByteReader& page, const Format& format);

    std::uint8_t type() const { return page_.u8(0); }
    std::uint32_t owner() const { return page_.u32(format_.dataOwnerOffset); }
    // The number of row slots.
    std::uint16_t rowCount() const { return rowCount_; }
    // The bounds of row `row`. Throws Corrupt when a row that is not deleted does not lie inside
    // the page's row area (a deleted row's bounds are returned unchecked).
    // REQUIRES: row < rowCount().
    RowSlot slot(std::uint16_t row) const;
    // The bytes of row `row` (deleted or not).
    ByteReader row(std::uint16_t row) const;

  private:
    const ByteReader& page_;
    const Format& format_;
    std::uint16_t rowCount_;
};

// ---- writing ----
//
// Rows of a data page are kept packed: row 0 ends at the end of the page, row i ends where row
// i-1 starts, and the free space (offset 2) is what lies between the end of the slot table and
// the start of the last row. The functions below keep those rules.

// The free space a page with these rows would have. REQUIRES: a valid slot table.
std::size_t dataPageFreeSpace(std::span<const std::uint8_t> page, const Format& format);

// Replaces the bytes of row `row` of the data page `page` (deleted or not, keeping its flags)
// with `bytes`, which may be longer or shorter, moving the rows after it and updating the free
// space. Returns false and changes nothing when the page has no room for the new length.
// Throws Corrupt when the slot table does not fit the page. REQUIRES: row < the row count.
bool replaceDataPageRow(std::span<std::uint8_t> page, const Format& format, std::uint16_t row,
                        std::span<const std::uint8_t> bytes);

// Makes the zero-filled page image `page` an empty data page of `owner` (a table definition's
// page, or "LVAL"): its type, the constant 0x01, the free space, the owner, no rows.
void startDataPage(std::span<std::uint8_t> page, const Format& format, std::uint32_t owner);

// Appends `bytes` as a row to the data page `page` when it fits (its bytes and a slot, and fewer
// rows than the format allows), packed below the lowest row; returns the row number, or -1 and
// changes nothing. Throws Corrupt when the slot table does not fit the page.
int appendDataPageRow(std::span<std::uint8_t> page, const Format& format,
                      std::span<const std::uint8_t> bytes);

// Marks row `row` deleted, as Access does: its slot gets the deleted and overflow flags, its
// bytes stay. REQUIRES: row < the row count.
void markDataPageRowDeleted(std::span<std::uint8_t> page, const Format& format, std::uint16_t row);

}  // namespace jet
