// Adjusting the values no Access column holds.
#include "transfer/row_adjust.h"

#include "db/connection.h"
#include "db/sql_names.h"

namespace transfer {

namespace {

bool isAccessDateField(int type) {
    return type == db::adtype::kDBDate || type == db::adtype::kDBTimeStamp ||
           type == db::adtype::kDate;
}

constexpr std::int64_t kNanosPerSecond = 1'000'000'000;
constexpr std::int64_t kSecondsPerDay = 86'400;

void appendTwo(std::string& out, std::int64_t v) {
    out += static_cast<char>('0' + v / 10);
    out += static_cast<char>('0' + v % 10);
}

}  // namespace

std::string timeText(const db::DateTime& t, int fractionDigits) {
    // Nanoseconds from the zero date's midnight; the duration is that, signed.
    const std::int64_t days = t.daysSinceEpoch();
    std::int64_t total =
        ((days * kSecondsPerDay + t.hour * 3600 + t.minute * 60 + t.second) * kNanosPerSecond) +
        t.nanosecond;
    std::string out;
    if (total < 0) {
        out += '-';
        total = -total;
    }
    const std::int64_t seconds = total / kNanosPerSecond;
    const std::int64_t nanos = total % kNanosPerSecond;
    const std::int64_t hours = seconds / 3600;
    if (hours < 10) out += '0';
    out += std::to_string(hours);
    out += ':';
    appendTwo(out, seconds / 60 % 60);
    out += ':';
    appendTwo(out, seconds % 60);
    if (fractionDigits > 0) {
        std::string digits = std::to_string(nanos + kNanosPerSecond).substr(1);  // nine digits
        out += '.';
        out += digits.substr(0, static_cast<std::size_t>(std::min(fractionDigits, 9)));
    } else if (nanos != 0) {
        // An expression's TIME whose digits are not declared: as many as the value has.
        std::string digits = std::to_string(nanos + kNanosPerSecond).substr(1);
        while (!digits.empty() && digits.back() == '0')
            digits.pop_back();
        out += '.' + digits;
    }
    return out;
}

RowAdjuster::RowAdjuster(Direction target, const std::vector<db::FieldInfo>& fields) {
    fixes_.assign(fields.size(), Fix::None);
    fractions_.assign(fields.size(), 0);
    if (target != Direction::MySqlToAccess) return;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].type == db::adtype::kDBTime) {
            fixes_[i] = Fix::TimeText;
            fractions_[i] = fields[i].scale;
            active_ = true;
        } else if (isAccessDateField(fields[i].type)) {
            fixes_[i] = Fix::AccessDate;
            active_ = true;
        }
    }
}

const std::vector<db::Value>& RowAdjuster::adjust(const std::vector<db::Value>& row) {
    if (!active_) return row;
    out_ = row;
    for (std::size_t i = 0; i < out_.size() && i < fixes_.size(); ++i) {
        db::Value& v = out_[i];
        switch (fixes_[i]) {
            case Fix::None:
                break;
            case Fix::TimeText:
                if (v.kind() == db::Value::Kind::DateTime)
                    v = db::Value::text(timeText(v.asDateTime(), fractions_[i]));
                break;
            case Fix::AccessDate:
                // The server's spelling of a date that is no calendar date, or one before the
                // year 100, Access's first.
                if (v.kind() == db::Value::Kind::Text ||
                    (v.kind() == db::Value::Kind::DateTime && v.asDateTime().year < 100))
                    v = db::Value::null();
                break;
        }
    }
    return out_;
}

std::vector<UnholdableDates> countUnholdableDates(db::Connection& source, const std::string& table,
                                                  const std::vector<db::FieldInfo>& fields) {
    std::vector<std::string> columns;
    std::string sql;
    for (const auto& f : fields) {
        if (f.type != db::adtype::kDBDate && f.type != db::adtype::kDBTimeStamp) continue;
        const std::string c = db::quoteMySqlName(f.name);
        // Date arithmetic gives NULL for a value that is no calendar date.
        sql += std::string(sql.empty() ? "SELECT " : ", ") + "SUM(" + c + " IS NOT NULL AND (" + c +
               " + INTERVAL 0 DAY IS NULL OR " + c + " < '0100-01-01'))";
        columns.push_back(f.name);
    }
    if (columns.empty()) return {};
    sql += " FROM " + db::quoteMySqlName(table);
    auto rs = source.execute(sql);
    std::vector<UnholdableDates> out;
    if (!rs || rs->state() == db::kAdStateClosed || rs->eof()) return out;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const db::Value& v = rs->field(i).value();
        long long n = 0;
        if (v.kind() == db::Value::Kind::Integer) n = v.asInteger();
        if (v.kind() == db::Value::Kind::Unsigned) n = static_cast<long long>(v.asUnsigned());
        if (v.kind() == db::Value::Kind::Decimal) n = std::atoll(v.asDecimal().unscaled.c_str());
        if (n > 0) out.push_back({columns[i], n});
    }
    return out;
}

std::string unholdableDatesNote(const std::string& table, const UnholdableDates& dates) {
    return "Table \"" + table + "\", column \"" + dates.column +
           "\": " + std::to_string(dates.count) + (dates.count == 1 ? " value is" : " values are") +
           " no date Access holds (0000-00-00, a zero month or day, or a year before 100) and " +
           (dates.count == 1 ? "goes" : "go") + " as NULL.";
}

}  // namespace transfer
