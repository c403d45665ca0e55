// Reading the rows of one table as values, column by column in column-number order: the scan of
// its data pages (table_scan.h), each row decoded column by column (value_codec.h), long values
// followed through the pager, text in the file's code page.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/jet/table/table_def.h"
#include "db/jet/table/table_scan.h"
#include "db/jet/table/value_codec.h"
#include "db/value.h"

namespace jet {

class TableReader {
  public:
    // Prepares the decoders; `complex` holds, for each complex column (by column number), the
    // rendered values of its rows (a complex column without them yields its ids). The reader
    // must not outlive `pager` or `codePage`.
    TableReader(Pager& pager, const CodePage& codePage, std::string name,
                std::shared_ptr<const TableDef> def, std::vector<ColumnDecoder> decoders,
                std::map<std::uint16_t, ComplexValueMap> complex);

    const std::string& name() const { return name_; }
    const TableDef& def() const { return *def_; }
    // One decoder per column, in column-number order.
    const std::vector<ColumnDecoder>& columns() const { return decoders_; }

    // The number of rows, counted from the data pages (the definition's own count can be
    // stale), or `limit` when there are at least that many (counting stops there). Counted
    // once, without moving the reader.
    std::uint64_t rowCount(std::uint64_t limit = UINT64_MAX);
    // Fills `row` with the values of the next row and returns true, or returns false at the
    // end. Throws Corrupt for a damaged row; the reader may not be used after that.
    bool next(std::vector<db::Value>& row);
    // The page and slot of the row next() returned last.
    std::uint32_t currentPage() const { return scan_.currentPage(); }
    std::uint16_t currentSlot() const { return scan_.currentSlot(); }

  private:
    Pager& pager_;
    std::string name_;
    std::shared_ptr<const TableDef> def_;
    std::vector<ColumnDecoder> decoders_;
    std::map<std::uint16_t, ComplexValueMap> complex_;
    TableScan scan_;
    ValueDecoder values_;
    bool hasVar_;
    std::optional<std::uint64_t> count_;  // rows counted ...
    std::uint64_t countLimit_ = 0;        // ... with this limit
};

}  // namespace jet
