// The executor.
#include "db/jet/sql/executor.h"

#include "db/jet/error.h"
#include "db/jet/sql/parser.h"

namespace jet::sql {

std::uint64_t QueryResult::rowCount() {
    return reader_->rowCount(limit_ ? *limit_ : UINT64_MAX);
}

bool QueryResult::next(std::vector<db::Value>& row) {
    if (limit_ && produced_ >= *limit_) return false;
    if (!reader_->next(row)) return false;
    ++produced_;
    return true;
}

std::unique_ptr<QueryResult> execute(Database& db, std::string_view sql) {
    const Statement statement = parse(sql);
    if (const auto* select = std::get_if<SelectStatement>(&statement))
        return std::make_unique<QueryResult>(db.openTable(select->table), select->top);
    throw Error(ErrorKind::ReadOnly, "The Access engine cannot write to this database yet.");
}

}  // namespace jet::sql
