// The pages of a table, made and freed: what a new table takes before its first row, and what
// DROP TABLE gives back.
//
// A new table, as Access makes one: its definition on a page of its own (more when it is long);
// a data page holding its usage maps as rows — the map of its pages (row 0), the map of its
// pages with free space (row 1), one map per index (its root page marked), then two per Memo or
// OLE Object column (its long-value pages, and those with free space); and an empty leaf page as
// the root of every index. It has no data page until its first row.
//
// Dropping a table frees its data pages (those its map lists that name it as their owner), the
// long-value pages its rows use, its index pages, its definition pages, the usage-map pages of
// its reference maps, and the page of its maps when nothing else lives there (otherwise only its
// map rows are marked deleted). A page is freed only when it is certain to be the table's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/jet/page/pager.h"
#include "db/jet/table/table_def.h"
#include "db/jet/write/table_def_writer.h"

namespace jet {

struct NewIndex {
    std::string name;
    std::vector<std::uint16_t> columns;  // column numbers, in key order
    bool primaryKey = false;
};

// Writes the pages of a new, empty table with these columns and indexes and returns the first
// page of its definition (which is also the low 24 bits of its catalogue id). Throws
// NotSupported for a name longer than Access allows, and what the pager throws.
// REQUIRES: a statement is open.
std::uint32_t createTableStorage(Pager& pager, const std::vector<ColumnPlan>& columns,
                                 const std::vector<NewIndex>& indexes, SortOrder sortOrder);

// The same for a definition laid out by the caller: `def` holds its columns (laid out as
// layoutColumns() does), its sort order and kind, and its indexes with their names, columns,
// flags and primary key; the usage maps, index roots and definition pages are made here.
std::uint32_t createTableStorage(Pager& pager, NewTableDef def);

// The storage of a new index of the table `def`, which exists: an empty leaf as its root, and
// the usage map of its pages (listing the root) as a row beside the table's own maps when their
// page has room, else on a new page. REQUIRES: a statement is open.
struct IndexStorage {
    std::uint32_t rootPage = 0;
    std::uint32_t usageMapRef = 0;
};
IndexStorage createIndexStorage(Pager& pager, const TableDef& def);

// Frees the pages of the table `def`, as above. `indexPages` are the pages of its indexes
// (TableIndexes::pages()). Its rows must no longer be needed; the catalogue is the caller's.
// REQUIRES: a statement is open.
void freeTableStorage(Pager& pager, const TableDef& def,
                      const std::vector<std::uint32_t>& indexPages);

}  // namespace jet
