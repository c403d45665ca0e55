// Reading stored MySQL results row by row.
#include "db/mysql/mysql_cursor.h"

#include "db/mysql/mysql_values.h"

namespace db::mysql {

StoredResultCursor::StoredResultCursor(ResultHandle result) : result_(std::move(result)) {
    const unsigned n = mysql_num_fields(result_.get());
    const MYSQL_FIELD* f = mysql_fetch_fields(result_.get());
    fields_.reserve(n);
    shapes_.reserve(n);
    for (unsigned i = 0; i < n; ++i) {
        fields_.push_back(describeField(f[i]));
        shapes_.push_back(columnShapeFor(f[i]));
    }
    count_ = static_cast<long>(mysql_num_rows(result_.get()));
}

bool StoredResultCursor::next(std::vector<Value>& row) {
    MYSQL_ROW r = mysql_fetch_row(result_.get());
    if (!r) return false;
    const unsigned long* lengths = mysql_fetch_lengths(result_.get());
    const std::size_t n = shapes_.size();
    row.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        row[i] = convertValue(shapes_[i], r[i], lengths[i]);
    return true;
}

}  // namespace db::mysql
