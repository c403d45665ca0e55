// Walking the rows of a table in storage order: its data pages in page order, the rows of each
// page in slot order.
//
// The pages come from the table's usage map of owned pages. A page in the map that is not a data
// page at all means rows were lost (a page zeroed or overwritten): the scan fails there rather
// than end early. A data page of another table holds none of this one's rows and is passed by
// (unless every page must be the table's own, as the catalogue's must). Deleted rows are
// skipped. An overflow row holds, instead of the row, a pointer to where the row now lives (row
// number, then three-byte page); the scan follows it, guarding against pointers that loop. The
// rows an overflow row points to are marked deleted in their own slot, so each row is seen once.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "db/jet/base/byte_reader.h"
#include "db/jet/page/pager.h"
#include "db/jet/table/table_def.h"

namespace jet {

class DataPage;

class TableScan {
  public:
    // Reads the table's usage map. Throws Corrupt when it cannot be read. With `ownPagesOnly`
    // a data page of another owner in the map is damage too.
    TableScan(Pager& pager, const TableDef& table, bool ownPagesOnly = false);

    // Moves to the next live row; false at the end. Throws Corrupt for a damaged page or
    // overflow pointer.
    bool next();
    // The current row's bytes. REQUIRES: the last next() returned true. Valid until next().
    const ByteReader& row() const { return *row_; }
    // Where the current row's slot is (for an overflow row: the slot that points to it).
    // REQUIRES: the last next() returned true.
    std::uint32_t currentPage() const { return pages_[pageIndex_]; }
    std::uint16_t currentSlot() const { return static_cast<std::uint16_t>(nextRow_ - 1); }

    // The number of live rows, counted from the slot tables (overflow pointers are not
    // followed), or `limit` when there are at least that many. Does not move the scan.
    std::uint64_t countRows(std::uint64_t limit = UINT64_MAX);

  private:
    bool loadPage(std::size_t index);
    // Whether page `number`, read as `dp`, holds rows of the table; throws Corrupt when it is
    // no data page (or, with ownPagesOnly, another's).
    bool holdsRows(const DataPage& dp, std::uint32_t number) const;
    ByteReader followOverflow(const ByteReader& pointer);

    Pager& pager_;
    const TableDef& table_;
    bool ownPagesOnly_;
    std::vector<std::uint32_t> pages_;
    std::size_t pageIndex_ = 0;
    PageRef page_;
    std::optional<ByteReader> pageReader_;
    std::uint16_t rowsOnPage_ = 0;
    std::uint16_t nextRow_ = 0;
    PageRef overflowPage_;
    std::optional<ByteReader> overflowReader_;
    std::optional<ByteReader> row_;
    bool started_ = false;
};

}  // namespace jet
