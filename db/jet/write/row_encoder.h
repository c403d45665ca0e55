// Building the bytes of one row, the inverse of row_codec.h (Jet 4 and later; Jet 3 files are
// never written).
//
// A row carries every column number up to the table's highest (deleted columns count, and are
// null): the column count is the definition's maxColumns. Fixed-length columns sit at their
// offsets in the fixed part, which always has its full size (a null value leaves zeros); the
// variable-length values follow in variable-index order, a deleted or null one taking no bytes;
// then the offset table (from the end of the last value down to the start of the first), the
// number of variable entries, and the null mask. A table without variable-length columns has no
// offset table and no count.
#pragma once

#include <cstdint>
#include <vector>

#include "db/jet/format/format.h"
#include "db/jet/table/table_def.h"

namespace jet {

// One column's part of a row.
struct RowField {
    // The null-mask bit: the column has a value (for Yes/No columns, the value itself).
    bool present = false;
    // The stored bytes: for fixed columns exactly the column's fixed size, for variable ones the
    // value (a long value's reference, or the reference followed by the value kept inline).
    std::vector<std::uint8_t> bytes;
};

// The bytes of a row of `def` whose fields, one per entry of def.columns and in that order, are
// `fields`. REQUIRES: fields.size() == def.columns.size(); fixed fields that are present have the
// column's fixed size.
std::vector<std::uint8_t> encodeRow(const Format& format, const TableDef& def,
                                    const std::vector<RowField>& fields);

// The same, into `out` (its earlier contents are dropped).
void encodeRowInto(const Format& format, const TableDef& def, const std::vector<RowField>& fields,
                   std::vector<std::uint8_t>& out);

// The size encodeRow() would give, without building it.
std::size_t encodedRowSize(const Format& format, const TableDef& def,
                           const std::vector<RowField>& fields);

// The fixed size of `c` in a row (0 for Yes/No, which lives in the null mask; 0 for variable
// columns).
std::uint16_t fixedFieldSize(const ColumnDef& c);

}  // namespace jet
