// The executor.
#include "db/jet/sql/executor.h"

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

Session::Session(Database& db) : db_(db), writer_(std::make_unique<TableWriter>(db)) {}
Session::~Session() = default;

std::unique_ptr<QueryResult> Session::execute(std::string_view sql) {
    Statement statement = parse(sql);
    return std::visit(
        [&](auto& s) -> std::unique_ptr<QueryResult> {
            using T = std::decay_t<decltype(s)>;
            if constexpr (std::is_same_v<T, SelectStatement>) {
                return std::make_unique<QueryResult>(db_.openTable(s.table), s.top);
            } else if constexpr (std::is_same_v<T, CreateTableStatement>) {
                writer_->createTable(s);
            } else if constexpr (std::is_same_v<T, InsertStatement>) {
                writer_->insert(std::move(s));
            } else if constexpr (std::is_same_v<T, DropTableStatement>) {
                writer_->dropTable(s.table);
            } else if constexpr (std::is_same_v<T, SelectIntoStatement>) {
                writer_->selectInto(s);
            } else if constexpr (std::is_same_v<T, CreateIndexStatement>) {
                writer_->createIndex(s);
            } else if constexpr (std::is_same_v<T, AddConstraintStatement>) {
                writer_->addConstraint(s);
            } else {
                static_assert(sizeof(T) == 0, "a statement without its writer");
            }
            return nullptr;
        },
        statement);
}

std::unique_ptr<QueryResult> execute(Database& db, std::string_view sql) {
    Session session(db);
    return session.execute(sql);
}

}  // namespace jet::sql
