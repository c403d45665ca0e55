// Indexes added to a table that may hold rows already, as CREATE INDEX and ADD CONSTRAINT make
// them: the key of every row made, the keys sorted and checked against what the index asks, the
// tree built bottom up from them (index_builder.h), the definition given the new physical and
// logical index (table_def_editor.h), and the distinct keys counted as Access counts them.
//
// What Access allows is checked first, before anything is written: at most 32 indexes a table
// (the logical ones: those of relationships count), 1 to 10 columns an index, each column once
// and none of them Memo or OLE Object, one primary key, names an index of the table does not
// have. Then the rows: a unique index (a primary key too) refuses a key that two rows share,
// unless the key's columns are all Null there; a required one (a primary key too) refuses a
// row with a Null key column. Each refusal is a sentence naming the index, the table and the
// value or column at fault.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/jet/catalog/catalog.h"
#include "db/jet/database/database.h"
#include "db/jet/table/table_def.h"
#include "db/jet/write/table_def_editor.h"

namespace jet {

inline constexpr std::size_t kMaxIndexesPerTable = 32;
inline constexpr std::size_t kMaxIndexColumns = 10;

struct NewTableIndex {
    std::string name;
    std::vector<IndexColumn> columns;  // column numbers, in key order
    bool unique = false;
    bool required = false;     // no Null in a key column
    bool ignoreNulls = false;  // rows whose key columns are all Null stay out of the index
    bool primaryKey = false;   // unique and required, whatever the two say
};

// Throws what the rules above refuse, before anything is written: Constraint for an index the
// table cannot take (limits, a name taken, a second primary key), NotSupported for a column
// kind that is not indexed or whose keys the engine cannot make, Syntax for a column named
// twice. `logicalIndexesAdded` counts the indexes the same statement adds besides this one.
void checkNewIndex(const Format& format, const TableDef& def, const std::string& table,
                   const NewTableIndex& index, std::size_t logicalIndexesAdded = 0);

// Builds the physical index of `index` over the rows of `def` and adds it to `editor`;
// returns its number. Throws Constraint when the rows break the index, NotSupported when a
// row's key cannot be made. REQUIRES: a statement is open; checkNewIndex() passed.
std::uint32_t buildPhysicalIndex(Database& db, const TableDef& def, const std::string& table,
                                 const NewTableIndex& index, TableDefEditor& editor);

// Adds `index` to the table `entry`, all of the above, and writes the definition. The caller
// tells the database that the schema changed. REQUIRES: a statement is open.
void addTableIndex(Database& db, const CatalogEntry& entry, const NewTableIndex& index);

// The physical index of `def` over exactly `columns` (the same columns in the same order and
// directions, whatever its flags), or -1.
int findPhysicalIndex(const TableDef& def, const std::vector<IndexColumn>& columns);

// The column of `def` with the number `number`, or nullptr.
const ColumnDef* columnByNumber(const TableDef& def, std::uint16_t number);

}  // namespace jet
