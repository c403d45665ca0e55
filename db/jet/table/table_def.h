// Table definitions (pages of type 0x02): columns, indexes and the usage maps of a table.
//
// A definition may span several pages: each page names the next at offset 4 (0: the last); the
// first page is taken whole and every later page from offset 8 on, joined into one buffer. The
// offsets below are in that buffer (Jet 3 / Jet 4 and later).
//
//   offset   size   meaning
//   0        1      page type 0x02
//   4        4      next definition page
//   8        4      length of the definition
//   12 / 16  4      number of rows
//   16 / 20  4      last AutoNumber handed out
//   -  / 28  4      ACE: last complex-value id handed out
//   20 / 40  1      table kind: 0x4e user table, 0x53 system table
//   21 / 41  2      highest number of columns a row may carry (deleted columns count)
//   23 / 43  2      number of variable-length columns
//   25 / 45  2      number of columns
//   27 / 47  4      number of logical indexes
//   31 / 51  4      number of physical indexes
//   35 / 55  4      usage map of the table's data pages (row, then three-byte page)
//   39 / 59  4      usage map of its data pages with free space
//   43 / 63         then, in order:
//     8 / 12 bytes per physical index      its row count
//     18 / 25 bytes per column             the column descriptor (see Format::col…)
//     1 / 2 + name per column              the column names (Jet 3: code page, later UTF-16LE)
//     39 / 52 bytes per physical index     up to 10 × (column number, order), usage map, first
//                                          index page, flags
//     20 / 28 bytes per logical index      number, physical index, foreign-key fields, kind
//     1 / 2 + name per logical index       the index names
//     10 bytes per long-value column       column number, usage maps of its pages; 0xFFFF ends
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/jet/format/column_type.h"
#include "db/jet/format/text_codec.h"
#include "db/jet/page/pager.h"

namespace jet {

namespace column_flag {
inline constexpr std::uint8_t kFixed = 0x01;
inline constexpr std::uint8_t kNullable = 0x02;
inline constexpr std::uint8_t kAutoNumber = 0x04;
inline constexpr std::uint8_t kReplication = 0x10;
inline constexpr std::uint8_t kAutoGuid = 0x40;
inline constexpr std::uint8_t kHyperlink = 0x80;
}  // namespace column_flag

namespace column_ext_flag {
inline constexpr std::uint8_t kCompressedUnicode = 0x01;
inline constexpr std::uint8_t kCalculated = 0xC0;
}  // namespace column_ext_flag

struct ColumnDef {
    std::string name;  // UTF-8
    std::uint8_t typeCode = 0;
    ColumnType type = ColumnType::Unknown;
    std::uint16_t number = 0;       // position in rows' null masks, counting deleted columns
    std::uint16_t varIndex = 0;     // position in rows' variable-offset tables
    std::uint16_t index = 0;        // position among the live columns
    std::uint16_t fixedOffset = 0;  // offset in the fixed part of a row
    std::uint16_t length = 0;       // bytes
    std::uint8_t flags = 0;
    std::uint8_t extFlags = 0;
    std::uint8_t precision = 0;
    std::uint8_t scale = 0;
    std::uint16_t sortOrder = 0;        // text sort order: its language id (1033 "General")
    std::uint8_t sortOrderVersion = 0;  // Jet 4 and later: 0 "General Legacy", 1 "General"
    std::uint16_t codePage = 0;         // Jet 3 text columns
    std::uint32_t complexId = 0;        // ACE complex columns
    // Usage maps of the pages holding this column's long values (0: none).
    std::uint32_t ownedPagesRef = 0;
    std::uint32_t freePagesRef = 0;

    bool fixed() const { return (flags & column_flag::kFixed) != 0; }
    bool autoNumber() const {
        return (flags & (column_flag::kAutoNumber | column_flag::kAutoGuid)) != 0;
    }
    bool hyperlink() const { return (flags & column_flag::kHyperlink) != 0; }
    bool calculated() const { return (extFlags & column_ext_flag::kCalculated) != 0; }
    bool compressedUnicode() const { return (extFlags & column_ext_flag::kCompressedUnicode) != 0; }
};

struct IndexColumn {
    std::uint16_t columnNumber = 0;
    bool ascending = true;
};

struct PhysicalIndex {
    std::uint32_t rowCount = 0;
    std::vector<IndexColumn> columns;
    std::uint32_t usageMapRef = 0;
    std::uint32_t firstPage = 0;
    std::uint8_t flags = 0;  // 0x01 unique, 0x02 ignore nulls, 0x08 required
};

struct LogicalIndex {
    std::string name;
    std::uint32_t number = 0;
    std::uint32_t physicalIndex = 0;
    std::uint8_t kind = 0;  // 0x01 primary key, 0x02 foreign key
    std::uint8_t relatedTableKind = 0;
    std::int32_t relatedIndex = -1;
    std::uint32_t relatedTablePage = 0;
    std::uint8_t cascadeUpdates = 0;
    std::uint8_t cascadeDeletes = 0;
};

struct TableDef {
    std::uint32_t page = 0;            // the first definition page
    std::vector<std::uint32_t> pages;  // every definition page, in order
    std::uint32_t rowCount = 0;
    std::uint32_t autoNumber = 0;
    std::uint32_t complexAutoNumber = 0;
    std::uint8_t tableKind = 0;
    std::uint16_t maxColumns = 0;
    std::uint16_t varColumns = 0;
    std::vector<ColumnDef> columns;  // in column-number order
    std::vector<PhysicalIndex> indexes;
    std::vector<LogicalIndex> logicalIndexes;
    std::uint32_t ownedPagesRef = 0;
    std::uint32_t freePagesRef = 0;

    // The column named `name` (compared without regard to ASCII letter case), or nullptr.
    const ColumnDef* column(std::string_view name) const;
};

// Reads the definition whose first page is `page`. Names are decoded with `codePage` in Jet 3
// files. Throws Corrupt when the page is not a table definition, the chain of its pages loops or
// leaves the file, or a count or offset does not fit the definition.
TableDef readTableDef(Pager& pager, std::uint32_t page, const CodePage& codePage);

}  // namespace jet
