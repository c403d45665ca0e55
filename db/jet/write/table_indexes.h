// The indexes of one table as rows come and go: every physical index gets the entry of each new
// row and loses that of each deleted one, B-tree pages included (index_btree.h), so no index is
// ever stale.
//
// What the index flags ask (0x01 unique, 0x02 ignore nulls, 0x08 required):
// - an index that ignores nulls holds no entry for a row whose key columns are all null;
// - a unique index refuses a second row with the same key, except rows whose key columns are
//   all null;
// - a required index refuses a row with a null key column;
// - a primary key is both unique and required, whatever its flags say.
// Each index counts the distinct keys it was ever given (in the table definition).
// Refusals are Constraint errors naming the index and the table; check() makes them before
// anything is written, and requireWritable() refuses, before anything is written, a table with
// an index whose keys the engine cannot make (index_key.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/jet/index/index_btree.h"
#include "db/jet/index/index_key.h"
#include "db/jet/page/pager.h"
#include "db/jet/table/row_codec.h"
#include "db/jet/table/table_def.h"
#include "db/jet/table/value_codec.h"

namespace jet {

// The pages of one index, through the pager and the index's usage map (0: none), which lists
// each page the index takes and forgets each it gives back.
class PagerIndexPages : public IndexPages {
  public:
    PagerIndexPages(Pager& pager, std::uint32_t usageMapRef)
        : pager_(pager), usageMapRef_(usageMapRef) {}
    PageRef read(std::uint32_t page) override;
    void write(std::uint32_t page, const std::vector<std::uint8_t>& image) override;
    // In the page's live copy: no image of the page is made.
    void change(std::uint32_t page,
                const std::function<void(std::span<std::uint8_t>)>& edit) override;
    std::uint32_t allocate() override;
    void release(std::uint32_t page) override;

  private:
    Pager& pager_;
    std::uint32_t usageMapRef_;
};

class TableIndexes {
  public:
    // REQUIRES: `def` outlives this object; `tableName` is for messages.
    TableIndexes(Pager& pager, const TableDef& def, std::string tableName);
    ~TableIndexes();

    bool empty() const { return indexes_.empty(); }

    // Throws NotSupported naming the index when the keys of one of the indexes cannot be made.
    void requireWritable() const;
    // Throws Constraint when `row` would break a unique or required index. NotSupported when a
    // text key of any index holds a character without a known code in the index's sort order.
    // Writes nothing.
    void check(const RowView& row, const ValueDecoder& values);
    // Adds the entries of `row`, which now lives at `id` (with the keys check() made for the same
    // row, when it was the last call).
    void insert(const RowView& row, const ValueDecoder& values, RowId id);
    // Removes the entries of `row`, which lives at `id`.
    void remove(const RowView& row, const ValueDecoder& values, RowId id);

    // Every page the indexes use: their trees and the usage-map pages of their maps.
    std::vector<std::uint32_t> pages();

  private:
    struct Index;
    struct Pending {
        std::optional<std::vector<std::uint8_t>> key;  // nothing: the index leaves the row out
        bool newKey = false;                           // the index does not hold the key yet
        bool newKeyKnown = true;  // else the insert finds it out on its way to the leaf
    };
    void countNewKey(const Index& i);
    // The key of `row` for index `i`, or nothing when the index holds no entry for it.
    std::optional<std::vector<std::uint8_t>> keyOf(Index& i, const RowView& row,
                                                   const ValueDecoder& values);
    Pager& pager_;
    const TableDef& def_;
    std::string tableName_;
    std::vector<std::unique_ptr<Index>> indexes_;
    // The keys check() made, for insert() of the same row.
    std::vector<Pending> pending_;
    const RowView* pendingRow_ = nullptr;
};

}  // namespace jet
