// The layout of one row: which columns are null, where each column's bytes are.
//
//   Jet 4 and later                          Jet 3
//   2 bytes   number of columns N            1 byte    number of columns N
//   fixed part: fixed-length columns at      fixed part, as in Jet 4 (from offset 1)
//             their offsets, from offset 2
//   variable part: the variable-length values, in variable-index order
//   ... padding ...
//   2×(V+1)   offsets of the variable        1×(V+1)   offsets, the end offset first,
//             values, reversed: entry V               each counted from the start of the
//             (the end of the last value)             row modulo 256; then the jump table:
//             first, entry 0 last                     J = (row length - 1) / 256 bytes, entry j
//   2 bytes   V, variable columns in the row          the first variable index whose offset
//                                                     is ≥ 256 × (j + 1) (0xFF: unused)
//                                            1 byte    V
//   (N+7)/8   null mask: bit c (low bit first) of the mask is 1 when column number c has a
//             value; for Yes/No columns it is the value itself
//
// Columns whose number is not below N, or whose variable index is not below V, were added after
// the row was written and are null.
#pragma once

#include <array>
#include <cstdint>

#include "db/jet/base/byte_reader.h"
#include "db/jet/format/format.h"
#include "db/jet/table/table_def.h"

namespace jet {

class RowView {
  public:
    // Parses the counts, the null mask and the offset table of `row`; `hasVarColumns` says
    // whether the table has variable-length columns (rows of tables without them have no
    // offset table). Throws Corrupt when they do not fit the row. The reader must outlive the
    // view.
    RowView(const ByteReader& row, const Format& format, bool hasVarColumns);

    std::uint16_t columnCount() const { return columnCount_; }
    // True when column `c` has no value. For Yes/No columns this is the value "No".
    bool isNull(const ColumnDef& c) const {
        if (c.number >= columnCount_) return true;
        return (row_.span()[nullMaskStart_ + c.number / 8] & (1u << (c.number % 8))) == 0;
    }
    // The `size` bytes of fixed column `c`. Throws Corrupt when they lie outside the fixed part.
    ByteSpan fixedBytes(const ColumnDef& c, std::size_t size) const;
    // The bytes of variable column `c`; `present` is false (and the span empty) when the row
    // has fewer variable columns. Throws Corrupt for offsets outside the variable part.
    ByteSpan varBytes(const ColumnDef& c, bool& present) const;

  private:
    const ByteReader& row_;
    const Format& format_;
    std::uint16_t columnCount_ = 0;
    std::size_t nullMaskStart_ = 0;
    std::size_t dataStart_ = 0;  // first byte after the column count
    std::size_t dataLimit_ = 0;  // first byte of the offset table (or of the null mask)
    std::uint16_t varCount_ = 0;
    std::size_t varTableTop_ = 0;                   // Jet 4: offset of entry 0 of the offset table
    std::array<std::uint16_t, 257> jet3Offsets_{};  // Jet 3: the decoded offsets
};

}  // namespace jet
