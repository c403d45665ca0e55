// The table reader decodes text and memos straight into the values it reuses row after row;
// every value it gives must equal what the column's general decoder makes of the same bytes, on
// every table of every fixture that opens without a password, and on the rows of a new file
// whose texts change length, kind and nullness from row to row.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "db/jet/base/error.h"
#include "db/jet/database/database.h"
#include "db/jet/sql/executor.h"
#include "db/jet/table/row_codec.h"
#include "db/jet/table/table_reader.h"
#include "db/jet/table/table_scan.h"
#include "db/jet/write/new_database.h"
#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;

// Reads `table` through the reader and, beside it, decodes each row's columns one by one with
// the general decoder; returns the rows compared, failing the test at the first difference.
std::size_t compareTable(jet::Database& db, const std::string& table) {
    auto reader = db.openTable(table);
    jet::TableScan scan(db.pager(), reader->def());
    const jet::ValueDecoder general(db.pager(), db.codePage());
    const bool hasVar = reader->def().varColumns > 0;
    std::vector<db::Value> row;
    std::size_t rows = 0;
    while (reader->next(row)) {
        EXPECT_TRUE(scan.next()) << table << ": the scan ended before the reader";
        if (::testing::Test::HasFailure()) return rows;
        const jet::RowView view(scan.row(), db.pager().format(), hasVar);
        for (std::size_t i = 0; i < row.size(); ++i) {
            const db::Value expected = general.decode(reader->columns()[i], view);
            EXPECT_EQ(row[i], expected)
                << table << " row " << rows << " column " << i << ": " << row[i].toDebugString()
                << " against " << expected.toDebugString();
            if (::testing::Test::HasFailure()) return rows;
        }
        ++rows;
    }
    EXPECT_FALSE(scan.next()) << table << ": the reader ended before the scan";
    return rows;
}

TEST(ReaderPaths, EveryFixtureTableReadsAsTheGeneralDecoderReadsIt) {
    DM_REQUIRE_FIXTURE("access");
    std::size_t tables = 0, rows = 0;
    for (const auto& entry : fs::recursive_directory_iterator(testenv::fixturesDir() / "access")) {
        const auto ext = entry.path().extension();
        if (ext != ".mdb" && ext != ".accdb") continue;
        std::unique_ptr<jet::Database> db;
        try {
            db = jet::Database::open(entry.path().string(), jet::OpenOptions{});
        } catch (const jet::Error&) {
            continue;  // a password or an encryption the test does not give
        }
        for (const auto& name : db->userTableNames()) {
            SCOPED_TRACE(entry.path().string() + " " + name);
            try {
                rows += compareTable(*db, name);
            } catch (const jet::Error&) {
                // A damaged fixture fails both ways; the reader is what the other tests judge.
                continue;
            }
            ++tables;
            if (HasFailure()) return;
        }
    }
    EXPECT_GT(tables, 50u);
    EXPECT_GT(rows, 1000u);
}

TEST(ReaderPaths, ReusedValuesCarryNothingFromTheRowBefore) {
    testenv::TempDir dir;
    const std::string path = (dir.path() / "reuse.mdb").string();
    jet::createDatabase(path, jet::Version::Jet4);
    jet::OpenOptions options;
    options.mode = jet::OpenMode::ReadWrite;
    auto db = jet::Database::open(path, options);
    jet::sql::Session session(*db);
    session.execute("CREATE TABLE [T] ([Id] INTEGER, [Name] TEXT(100), [Note] MEMO)");
    // Long text then short, text then NULL then text, compressible then not, a memo longer
    // than a page (a chain) between short ones, an empty text.
    const std::vector<std::string> names = {
        std::string(90, 'x'), "ab", "NULL", "Zürich", "Москва", "", "plain again", "NULL"};
    std::string longNote;
    while (longNote.size() < 9000)
        longNote += "a long note, Ω and all, ";
    const std::vector<std::string> notes = {longNote, "short", "NULL", longNote + "!",
                                            "Αθήνα",  "",      "x",    "NULL"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto quoted = [](const std::string& s) { return s == "NULL" ? s : "'" + s + "'"; };
        session.execute("INSERT INTO [T] VALUES (" + std::to_string(i) + ", " + quoted(names[i]) +
                        ", " + quoted(notes[i]) + ")");
    }
    EXPECT_EQ(compareTable(*db, "T"), names.size());
    auto reader = db->openTable("T");
    std::vector<db::Value> row;
    for (std::size_t i = 0; i < names.size(); ++i) {
        ASSERT_TRUE(reader->next(row));
        EXPECT_EQ(row[1], names[i] == "NULL" ? db::Value() : db::Value::text(names[i])) << i;
        EXPECT_EQ(row[2], notes[i] == "NULL" ? db::Value() : db::Value::text(notes[i])) << i;
    }
}

}  // namespace
