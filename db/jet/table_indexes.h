// The indexes of one table as rows come and go: every physical index gets the entry of each new
// row and loses that of each deleted one, B-tree pages included (index_btree.h), so no index is
// ever stale.
//
// What the index flags ask (0x01 unique, 0x02 ignore nulls, 0x08 required):
// - an index that ignores nulls holds no entry for a row whose key columns are all null;
// - a unique index refuses a second row with the same key, except rows whose key columns are
//   all null;
// - a required index (a primary key) refuses a row with a null key column.
// Refusals are Constraint errors naming the index and the table; check() makes them before
// anything is written, and requireWritable() refuses, before anything is written, a table with
// an index whose keys the engine cannot make (index_key.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/jet/index_btree.h"
#include "db/jet/index_key.h"
#include "db/jet/pager.h"
#include "db/jet/row_codec.h"
#include "db/jet/table_def.h"
#include "db/jet/value_codec.h"

namespace jet {

class TableIndexes {
  public:
    // REQUIRES: `def` outlives this object; `tableName` is for messages.
    TableIndexes(Pager& pager, const TableDef& def, std::string tableName);
    ~TableIndexes();

    bool empty() const { return indexes_.empty(); }

    // Throws NotSupported naming the index when the keys of one of the indexes cannot be made.
    void requireWritable() const;
    // Throws Constraint when `row` would break a unique or required index. NotSupported when a
    // text key holds a character without a known code in the index's sort order.
    void check(const RowView& row, const ValueDecoder& values);
    // Adds the entries of `row`, which now lives at `id`.
    void insert(const RowView& row, const ValueDecoder& values, RowId id);
    // Removes the entries of `row`, which lives at `id`.
    void remove(const RowView& row, const ValueDecoder& values, RowId id);

    // Every page the indexes use: their trees and the usage-map pages of their maps.
    std::vector<std::uint32_t> pages();

  private:
    struct Index;
    // The key of `row` for index `i`, or nothing when the index holds no entry for it.
    std::optional<std::vector<std::uint8_t>> keyOf(Index& i, const RowView& row,
                                                   const ValueDecoder& values);
    Pager& pager_;
    const TableDef& def_;
    std::string tableName_;
    std::vector<std::unique_ptr<Index>> indexes_;
};

}  // namespace jet
