// One table's part of a send command's script, written from an open record set of the source
// table: the default CREATE TABLE statement, and the INSERT lines of its rows.
//
// The window side of a send command (progress bar, letting events run) is reached through a
// callback that this code calls sparingly: when the share of rows done reaches a new whole per
// cent and, on slow rows, at least every few milliseconds, so that a big table costs no
// measurable time in widget work.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "db/connection.h"
#include "transfer/script_builder.h"

namespace transfer {

// The field descriptions of an open record set, in field order.
std::vector<db::FieldInfo> fieldInfos(const db::Recordset& rs);

// Completes `statement` (a head from createTableHead) by the default mapping of rs's fields.
void completeDefaultCreate(std::string& statement, Direction target, const db::Recordset& rs);

// Called while rows are written: `done` rows of `total` are in the script (1 <= done <= total).
using RowProgress = std::function<void(long done, long total)>;

// Decides when a row is worth reporting: at each new whole per cent, and at least every
// `interval` while rows keep coming. The last row is always reported.
class ProgressPacer {
  public:
    explicit ProgressPacer(long total,
                           std::chrono::milliseconds interval = std::chrono::milliseconds(30));
    // True when row `done` (counted from 1) should be reported.
    bool due(long done);

  private:
    long total_;
    long nextPercentRow_;
    int percent_ = 0;
    std::chrono::steady_clock::duration interval_;
    std::chrono::steady_clock::time_point lastReport_;
    unsigned sinceClockCheck_ = 0;
};

// After the first kReserveSampleRows rows of a table, grows the script once to the size those
// rows predict for all `total` (and a little more), so that a big table's text does not pass
// through repeated doublings of its buffer. `tableStart` is the script's size before the rows.
inline constexpr long kReserveSampleRows = 512;
void reserveForRows(ScriptBuilder& script, std::size_t tableStart, long done, long total);

// Appends one INSERT line per row of `rs`, from its current row on, RecordCount rows in all, as
// the record set reports them (the rows are stepped with MoveNext; a record set that ends early
// fails with its end-of-data error). `progress` may be empty.
void appendTableRows(ScriptBuilder& script, db::Recordset& rs, std::string_view table,
                     const RowProgress& progress = {});

}  // namespace transfer
