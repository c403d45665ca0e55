// Running parsed statements against a database.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "db/jet/database/database.h"
#include "db/jet/sql/table_writer.h"
#include "db/jet/table/table_reader.h"

namespace jet::sql {

// The rows of a query: the table's columns, an exact count, the rows in order.
class QueryResult {
  public:
    QueryResult(std::unique_ptr<TableReader> reader, std::optional<std::uint64_t> limit)
        : reader_(std::move(reader)), limit_(limit) {}
    const std::vector<ColumnDecoder>& columns() const { return reader_->columns(); }
    const TableDef& table() const { return reader_->def(); }
    std::uint64_t rowCount();
    bool next(std::vector<db::Value>& row);

  private:
    std::unique_ptr<TableReader> reader_;
    std::optional<std::uint64_t> limit_;
    std::uint64_t produced_ = 0;
};

// Runs statements against one database, remembering between them where each table's rows go
// (table_writer.h). Used from one thread; must not outlive the database.
class Session {
  public:
    explicit Session(Database& db);
    ~Session();
    // Parses and runs `sql`. Returns the rows of a query, nullptr for a statement that writes
    // (CREATE TABLE, INSERT INTO, DROP TABLE, SELECT … INTO, CREATE INDEX, ALTER TABLE … ADD
    // CONSTRAINT), which is atomic. Throws
    // jet::Error: Syntax for a statement the engine does not know, NoSuchTable (naming the
    // table), TableExists, Constraint (a value or a row that breaks a rule, naming the column or
    // index), NotSupported, ReadOnly, Corrupt, Io.
    std::unique_ptr<QueryResult> execute(std::string_view sql);

  private:
    Database& db_;
    std::unique_ptr<TableWriter> writer_;
};

// Runs `sql` in a session of its own (see Session::execute).
std::unique_ptr<QueryResult> execute(Database& db, std::string_view sql);

}  // namespace jet::sql
