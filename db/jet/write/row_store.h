// Rows on the data pages of a table: adding them as Access does, marking them deleted, and
// walking them with their locations.
//
// A new row goes onto the table's insert page when it fits (its bytes and a slot, and fewer than
// 255 rows on the page); the insert page is the last page of the table's map of pages with free
// space. A page a row no longer fits leaves that map, and the row goes onto a new page, which
// joins both of the table's maps. Rows are packed from the end of the page towards the slot
// table, and the page's free space is what lies between them. Long-value pages work the same
// way, with "LVAL" where a data page names its table, and the usage maps of their column.
//
// A deleted row keeps its bytes; its slot gets the deleted and overflow flags (0xC000), as
// Access marks it. REQUIRES of the writing functions: a statement is open (database.h).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "db/jet/base/byte_reader.h"
#include "db/jet/index/index_page.h"
#include "db/jet/page/pager.h"
#include "db/jet/table/long_value.h"
#include "db/jet/table/table_def.h"

namespace jet {

// Where new rows of one owner go. `owner` is the value data pages carry at their owner offset
// (the table definition's page; "LVAL" as a number for long-value pages); the maps are those of
// the owner's pages and of its pages with free space. `insertPage` remembers the page of the
// last insert between calls (0: look it up); it never outlives the statement that set it unless
// the caller knows the statement was kept.
struct RowHome {
    std::uint32_t owner = 0;
    std::uint32_t ownedPagesRef = 0;
    std::uint32_t freePagesRef = 0;
    std::uint32_t insertPage = 0;
};

// Adds a row holding `bytes` to `home` and returns its location. Throws Constraint when the
// row is longer than a data page may hold, Corrupt when a page of the maps is damaged.
RowId placeRow(Pager& pager, RowHome& home, std::span<const std::uint8_t> bytes);

// Marks row `id` deleted. Throws Corrupt when there is no such row.
void deleteRowAt(Pager& pager, RowId id);

// Calls `visit` for every live row of the table `def` (first page `tableDefPage`), in storage
// order, with the location of its slot and its bytes (followed to where an overflow row points).
// The bytes are valid during the call only. Throws Corrupt for damaged pages.
void forEachRow(Pager& pager, const TableDef& def,
                const std::function<void(RowId, const ByteReader&)>& visit);

}  // namespace jet
