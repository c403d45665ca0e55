// One table being written: where its rows and long values go, its AutoNumber, its indexes,
// and the rules its columns' properties set. Every table the engine writes — user tables,
// MSysObjects, MSysACEs — gets its rows through here.
//
// Inserting a row, in order: AutoNumber columns left Null get the next number (a value given
// for one moves the counter on when it is higher); required columns must have a value, and text
// columns that do not allow a zero-length text must not get one; Memo and OLE values are
// written (inline when the row has room); the row is encoded; the unique and required indexes
// and the relationships Access enforces (foreign_keys.h) are checked; the row is placed; every
// index gets its entry; the definition's row counts and AutoNumber are brought up to date.
// Everything happens inside the caller's statement, so a refusal at any step leaves nothing behind.
//
// A TableStore stays valid for as long as the table's structure stays as it was (validFor()).
// What can change under it between statements — the row count, the AutoNumber, the page rows
// go to — it reads from the pages each time, so another connection's rows or a rolled-back
// statement leave nothing stale behind. After each row it tells the Database that the
// definition changed, so readers see the new counts.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/jet/catalog/catalog.h"
#include "db/jet/database/database.h"
#include "db/jet/table/table_def.h"
#include "db/jet/write/column_default.h"
#include "db/jet/write/foreign_keys.h"
#include "db/jet/write/row_encoder.h"
#include "db/jet/write/row_store.h"
#include "db/jet/write/table_indexes.h"
#include "db/value.h"

namespace jet {

class TableStore {
  public:
    // Reads what writing needs: the AutoNumber, the properties, the indexes. Throws Corrupt.
    TableStore(Database& db, const CatalogEntry& entry, std::shared_ptr<const TableDef> def);
    ~TableStore();

    const TableDef& def() const { return *def_; }
    const std::string& name() const { return name_; }
    // True when `current` (what the Database reads now) describes the same table as the one this
    // store was made for: the same pages, columns and indexes (row counts may differ).
    bool validFor(const std::shared_ptr<const TableDef>& current) const;

    // Throws NotSupported, before anything is written, when the engine cannot fill this table:
    // calculated or complex columns, an index whose keys it cannot make, a relationship it
    // cannot check.
    void requireWritable() const;

    // Inserts a row. `values` holds one value per column of def().columns, already converted
    // (value_convert.h); Null for a column the row leaves empty. Returns where the row went.
    // Throws Constraint for a broken rule (required, zero length, unique index, row too long).
    // REQUIRES: a statement is open.
    RowId insert(std::vector<db::Value> values);

    // The value a new row gets in column `i` (by position in def().columns) when the insert leaves
    // the column out: its Default Value (column_default.h), or Null when it has none the engine
    // can evaluate. Throws Constraint when the default does not fit the column.
    db::Value defaultValue(std::size_t i) const;

    // Deletes the row at `id` whose bytes are `row`: its index entries, its long values, the
    // row itself, and one from the row count. REQUIRES: a statement is open.
    void remove(RowId id, const ByteReader& row);

  private:
    void updateDefinition(int rowDelta, std::uint32_t autoNumber);

    Database& db_;
    std::shared_ptr<const TableDef> def_;
    std::string name_;
    RowHome home_;
    std::map<std::uint16_t, RowHome> longHomes_;  // by column number
    std::unique_ptr<TableIndexes> indexes_;
    std::vector<std::unique_ptr<ForeignKeyCheck>> foreignKeys_;
    std::optional<Error> foreignKeyRefusal_;  // why a relationship cannot be checked
    std::vector<bool> required_;              // by position in def().columns
    std::vector<bool> noZeroLength_;
    std::vector<std::optional<ColumnDefaultValue>> defaults_;
    // Scratch buffers of insert().
    std::vector<RowField> fields_;
    std::vector<std::vector<std::uint8_t>> longData_;
    std::vector<std::uint8_t> row_;  // by position in def().columns
};

}  // namespace jet
