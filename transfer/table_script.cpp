// Writing one table's rows into the script.
#include "transfer/table_script.h"

#include "transfer/column_mapping.h"

namespace transfer {

std::vector<db::FieldInfo> fieldInfos(const db::Recordset& rs) {
    std::vector<db::FieldInfo> out;
    const int n = rs.fieldCount();
    out.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        out.push_back(rs.field(static_cast<std::size_t>(i)).info());
    return out;
}

void completeDefaultCreate(std::string& statement, Direction target, const db::Recordset& rs) {
    const auto fields = fieldInfos(rs);
    completeDefaultCreate(statement, target, std::span<const db::FieldInfo>(fields));
}

ProgressPacer::ProgressPacer(long total, std::chrono::milliseconds interval)
    : total_(total), interval_(interval), lastReport_(std::chrono::steady_clock::now()) {
    nextPercentRow_ = total_ > 0 ? (total_ + 99) / 100 : 1;
}

bool ProgressPacer::due(long done) {
    if (done >= total_) return true;
    if (done >= nextPercentRow_) {
        // The first row whose share reaches the next whole per cent: ceil(total * p / 100).
        percent_ = static_cast<int>(done * 100 / total_) + 1;
        nextPercentRow_ = (total_ * percent_ + 99) / 100;
        lastReport_ = std::chrono::steady_clock::now();
        sinceClockCheck_ = 0;
        return true;
    }
    // Reading the clock costs little, but not nothing: look at it every 64 rows.
    if (++sinceClockCheck_ < 64) return false;
    sinceClockCheck_ = 0;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastReport_ < interval_) return false;
    lastReport_ = now;
    return true;
}

void reserveForRows(ScriptBuilder& script, std::size_t tableStart, long done, long total) {
    if (done <= 0 || total <= done) return;
    const double perRow = static_cast<double>(script.text().size() - tableStart) / done;
    script.reserve(script.text().size() +
                   static_cast<std::size_t>(perRow * 1.05 * static_cast<double>(total - done)));
}

void appendTableRows(ScriptBuilder& script, db::Recordset& rs, std::string_view table,
                     const RowProgress& progress) {
    script.beginRows(table);
    const long total = rs.recordCount();
    ProgressPacer pacer(total);
    const std::size_t start = script.text().size();
    for (long k = 0; k < total; ++k) {
        if (k == kReserveSampleRows) reserveForRows(script, start, k, total);
        script.appendRow(rs.row());
        if (progress && pacer.due(k + 1)) progress(k + 1, total);
        rs.moveNext();
    }
}

}  // namespace transfer
