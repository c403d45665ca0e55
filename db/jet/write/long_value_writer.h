// Writing Memo and OLE Object values (the layout of references and chains is in long_value.h).
//
// A value of up to 64 bytes stays inside the row, after its reference, when the row has room.
// A longer one goes onto the long-value pages of its column: as one row when it fits one
// (kind 0x40), else as a chain of rows, each starting with the location of the next (kind 0x00),
// every part but the last as long as a long-value row may be. Long-value pages belong to the
// column's usage maps; columns of older files that have none record their pages in the table's.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "db/jet/page/pager.h"
#include "db/jet/table/table_def.h"
#include "db/jet/write/row_store.h"

namespace jet {

// The reference with the value inside it: what a row stores for a value kept inline.
std::vector<std::uint8_t> inlineLongValue(std::span<const std::uint8_t> data);

// Writes `data` onto long-value pages of `home` (owner kLongValueOwner, the column's maps) and
// returns the 12-byte reference the row stores. REQUIRES: a statement is open; data is not
// empty.
std::vector<std::uint8_t> writeLongValue(Pager& pager, RowHome& home,
                                         std::span<const std::uint8_t> data);

// Marks the long-value rows a reference points to deleted (an inline value has none). Throws
// Corrupt for a reference that leads nowhere.
void deleteLongValue(Pager& pager, std::span<const std::uint8_t> reference);

// Where a column's long values go: its own usage maps, or the table's when it has none.
RowHome longValueHome(const TableDef& table, const ColumnDef& column);

}  // namespace jet
