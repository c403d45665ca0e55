// Index keys: the bytes an index entry stores for the values of a row.
//
// A key is the concatenation, for each column of the index in order, of a flag byte and the
// column's value bytes. The bytes compare as unsigned bytes in the index's order, so descending
// columns store every byte inverted.
//
//   flag        ascending 0x7F, descending 0x80; a null value is the flag 0x00 (descending
//               0xFF) alone
//   Yes/No      never null: 0x00 for Yes, 0xFF for No (inverted when descending)
//   Byte        the byte
//   Integer, Long Integer, Large Number, Currency, complex ids
//               big-endian two's complement with the sign bit inverted
//   Single, Double, Date/Time
//               big-endian IEEE: the sign bit inverted for positive numbers, every bit for
//               negative ones
//   Binary, Replication ID
//               the bytes (a GUID in display order) in groups of eight, each followed by 0x09
//               when more follow, the last padded with zeros and followed by its length
//   Date/Time Extended
//               its 42 bytes in five groups of eight, each followed by 0x09, then two bytes
//               and 00 00 00 00 00 00 02
//   Text, Memo  the sort key of the text in the column's sort order (text_collation.h)
//
// Decimal columns, calculated columns and column kinds the engine does not interpret have no
// established key: an index over one of them cannot be written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/jet/format/format.h"
#include "db/jet/index/text_collation.h"
#include "db/jet/table/row_codec.h"
#include "db/jet/table/table_def.h"
#include "db/jet/table/value_codec.h"

namespace jet {

// The key maker of one physical index of a table.
class IndexKeyMaker {
  public:
    // REQUIRES: `index` is one of `table`'s indexes; both outlive the maker.
    IndexKeyMaker(const Format& format, const TableDef& table, const PhysicalIndex& index);

    // Why keys of this index cannot be made (a sentence naming the column and its kind), or
    // nothing when they can. A damaged definition naming a column the table lacks is also a
    // reason.
    const std::optional<std::string>& unsupported() const { return unsupported_; }

    // The key of `row`. REQUIRES: !unsupported(). Throws Error(NotSupported) for a text
    // character without an established code, naming the column; Corrupt for unreadable values.
    std::vector<std::uint8_t> key(const RowView& row, const ValueDecoder& values) const;

    // The number of the index's columns that are null in `row` (Yes/No is never null).
    std::size_t nullCount(const RowView& row, const ValueDecoder& values) const;
    std::size_t columnCount() const { return columns_.size(); }

  private:
    struct Column {
        const ColumnDef* def = nullptr;
        ColumnDecoder decoder;
        bool ascending = true;
        const TextCollation* collation = nullptr;
    };
    // Appends the flag and value bytes of `c` in `row`.
    void appendColumn(const Column& c, const RowView& row, const ValueDecoder& values,
                      std::vector<std::uint8_t>& out) const;

    std::vector<Column> columns_;
    std::optional<std::string> unsupported_;
};

// Why an index over `column` cannot have its keys written (a sentence naming the column and its
// kind), or nothing when it can. For the writer of a new table to refuse an index before it
// writes anything.
std::optional<std::string> indexKeyUnsupported(const Format& format, const ColumnDef& column);

// The key bytes of one Binary value (also used for GUIDs), appended to `out`.
void appendBinaryKey(std::span<const std::uint8_t> bytes, bool ascending,
                     std::vector<std::uint8_t>& out);

}  // namespace jet
