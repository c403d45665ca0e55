// Values of a MySQL table that no Access column of the mapped type holds, made into what one
// does before the rows are written:
//   - TIME (which may pass 24 hours or be negative) goes as its own text, "-838:59:59.5", into
//     the text column the mappings give it, where the data-access layer hands it over as a time
//     on the day scale ("26:00:00" as 1899-12-31 02:00:00);
//   - DATE, DATETIME and TIMESTAMP values that are no date Access holds (the zero date
//     0000-00-00, a zero month or day, a year before 100) go as NULL. How many there are in
//     each column is counted on the server before the table goes (countUnholdableDates), so
//     the notes can name them, and a column with such values is not made Required.
// Every other value, and every value of the other direction, goes as it is.
#pragma once

#include <string>
#include <vector>

#include "db/backend.h"
#include "db/value.h"
#include "transfer/direction.h"

namespace db {
class Connection;
}

namespace transfer {

class RowAdjuster {
  public:
    RowAdjuster(Direction target, const std::vector<db::FieldInfo>& fields);

    // True when some column's values need adjusting.
    bool active() const { return active_; }
    // `row` itself, or a copy with the adjusted values. REQUIRES: one value per field.
    const std::vector<db::Value>& adjust(const std::vector<db::Value>& row);

  private:
    enum class Fix { None, TimeText, AccessDate };
    std::vector<Fix> fixes_;
    std::vector<int> fractions_;
    std::vector<db::Value> out_;
    bool active_ = false;
};

// A duration on the day scale (a MySQL TIME as the data-access layer reads it) as MySQL writes
// it: "[-]H:MM:SS" with at least two digits of hours and `fractionDigits` digits of fraction.
std::string timeText(const db::DateTime& t, int fractionDigits);

struct UnholdableDates {
    std::string column;
    long long count = 0;
};

// For a MySQL source (`source` open on it), the date columns of `table` whose values include
// some no Access date holds, with how many; none when the table has no date column. One query
// over the table. Throws db::Error as the server refuses it.
std::vector<UnholdableDates> countUnholdableDates(db::Connection& source, const std::string& table,
                                                  const std::vector<db::FieldInfo>& fields);

// The sentence of the notes for one such column.
std::string unholdableDatesNote(const std::string& table, const UnholdableDates& dates);

}  // namespace transfer
