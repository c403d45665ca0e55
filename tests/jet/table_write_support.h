// A writable copy of an Access fixture for the table-writing tests: statements through the
// engine's SQL front end, rows read back through its reader, and the same file through mdbtools.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "db/jet/database/database.h"
#include "db/jet/sql/executor.h"
#include "db/value.h"
#include "tests/support/test_env.h"

namespace tablewrite {

class WritableCopy {
  public:
    // Copies the fixture `relative` (see testenv::fixturesDir()) and opens it for writing.
    explicit WritableCopy(const std::string& relative, std::string password = {});
    ~WritableCopy();

    const std::filesystem::path& path() const { return path_; }
    jet::Database& db() { return *db_; }

    // Runs one statement; a failure fails the test with the statement and the error.
    void exec(const std::string& sql);
    // Runs one statement that must be refused; returns the error (kind and sentence).
    jet::Error refused(const std::string& sql);

    // Every row of `table`, in storage order, read by the engine.
    std::vector<std::vector<db::Value>> rows(const std::string& table);
    bool hasTable(const std::string& table);

    // Closes and opens the file again (what a later program sees).
    void reopen();
    // Closes the file (for tools that must see it unlocked); reopen() opens it again.
    void close();

    // mdb-export of `table`: the header line and one line per row, fields separated by tabs,
    // text unquoted, binary as hexadecimal, dates as ISO 8601.
    std::vector<std::string> mdbExport(const std::string& table);
    std::string mdbExportRaw(const std::string& table);
    // mdb-tables -1 of the file: one table name a line.
    std::string mdbTables();
    // mdb-schema of the file for MySQL, with indexes, relationships, NOT NULL and defaults: the
    // lines that are neither blank nor comments, each with its runs of blanks and tabs made one
    // blank and none at its ends.
    std::vector<std::string> mdbSchema();

    std::vector<std::uint8_t> bytes() const;

  private:
    testenv::TempDir dir_;
    std::filesystem::path path_;
    std::string password_;
    std::unique_ptr<jet::Database> db_;
    std::unique_ptr<jet::sql::Session> session_;
};

// What is wrong with the table `name` of `db`: an index entry without its row or a row without
// its index entry, a page of the table that the file lists as free, a row count in the
// definition that differs from the rows. Empty when nothing is.
std::vector<std::string> checkTable(jet::Database& db, const std::string& name);
// The engine's integrity check (check.h), and checkTable() of every table of the catalogue,
// system tables included.
std::vector<std::string> checkAllTables(jet::Database& db);

std::vector<std::string> splitLines(const std::string& text);
std::vector<std::string> splitFields(const std::string& line);

}  // namespace tablewrite
