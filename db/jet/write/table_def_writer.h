// Writing the definition of a new table (the layout is in table_def.h), as Access writes it.
//
// Columns are numbered in the order given. Fixed-length columns take consecutive offsets in the
// fixed part of rows, without gaps (Yes/No columns take none: they live in the null mask);
// variable-length columns take consecutive variable indexes, and a fixed column records the
// number of variable columns before it. Text and Memo columns carry the database's sort order;
// the other columns its language only. The constant bytes Access puts into every definition
// (0x0659 and 0x0783 markers, the AutoNumber flag, the 0x04 bytes of non-foreign-key indexes)
// are written the same way, so that Access finds nothing unusual.
//
// A definition longer than a page continues on further pages: the first page holds the first
// page-size bytes, every later one an 8-byte header (type, 0x01, free space, next page) and the
// next part. The free space recorded is what the page leaves, minus 8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/jet/format/format.h"
#include "db/jet/table/table_def.h"

namespace jet {

// One column as a statement asks for it.
struct ColumnPlan {
    std::string name;
    ColumnType type = ColumnType::Unknown;
    std::uint16_t size = 0;  // Text: characters; Binary: bytes; ignored for the other types
    std::uint8_t precision = 0;
    std::uint8_t scale = 0;
    bool autoNumber = false;
    bool compressed = false;   // Text and Memo kept in the compressed form
    bool fixedLength = false;  // Text or Binary stored in the fixed part (copies of such columns)
    bool hyperlink = false;    // Memo holding hyperlinks (copies of such columns)
};

// The sort order of the database (header.h: language id in the low 16 bits, version above).
struct SortOrder {
    std::uint16_t language = 0x0409;
    std::uint8_t version = 0;
};

// The columns of a new table, laid out as above. Names are kept as given.
std::vector<ColumnDef> layoutColumns(const std::vector<ColumnPlan>& plans, SortOrder sortOrder);

// An index of a new table: its columns (by column number, ascending), flags (0x01 unique,
// 0x08 required, 0x80 as Access always sets it), and where it lives.
struct IndexPlan {
    std::string name;
    std::vector<std::uint16_t> columns;
    bool primaryKey = false;
    std::uint8_t flags = 0x80;
    std::uint32_t usageMapRef = 0;  // row, then three-byte page
    std::uint32_t rootPage = 0;
};

struct NewTableDef {
    std::vector<ColumnDef> columns;  // from layoutColumns, with the usage maps of long values
    std::vector<IndexPlan> indexes;
    std::uint32_t ownedPagesRef = 0;
    std::uint32_t freePagesRef = 0;
    SortOrder sortOrder;
    std::uint8_t tableKind = 0x4e;  // 0x4e a user table; 0x53 the engine's own system tables
};

// The whole definition, before it is cut into pages. Throws NotSupported when a name is longer
// than the format allows.
std::vector<std::uint8_t> encodeTableDef(const Format& format, const NewTableDef& def);

// How many pages a definition of `size` bytes takes.
std::size_t tableDefPageCount(const Format& format, std::size_t size);

// The page images of the definition `bytes` on `pages` (the first page first). REQUIRES:
// pages.size() == tableDefPageCount(format, bytes.size()).
std::vector<std::vector<std::uint8_t>> paginateTableDef(const Format& format,
                                                        const std::vector<std::uint8_t>& bytes,
                                                        const std::vector<std::uint32_t>& pages);

}  // namespace jet
