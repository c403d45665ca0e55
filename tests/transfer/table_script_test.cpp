// One table's rows from a record set, and how often the window side hears of them.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "db/connection.h"
#include "db/error.h"
#include "transfer/column_mapping.h"
#include "transfer/table_script.h"

using db::Value;
using transfer::Direction;

namespace {

std::vector<db::FieldInfo> twoFields() {
    db::FieldInfo a;
    a.name = "ID";
    a.type = db::adtype::kInteger;
    db::FieldInfo b;
    b.name = "Name";
    b.type = db::adtype::kVarWChar;
    return {a, b};
}

// A cursor that promises more rows than it yields.
class ShortCursor : public db::MemoryCursor {
  public:
    using MemoryCursor::MemoryCursor;
    long recordCount() override { return MemoryCursor::recordCount() + 1; }
};

}  // namespace

TEST(TableRows, EveryRowInOrderWithTheLastOneReported) {
    db::Recordset rs(std::make_unique<db::MemoryCursor>(
        twoFields(), std::vector<std::vector<Value>>{{Value::integer(1), Value::text("a'b")},
                                                     {Value::integer(2), Value::null()},
                                                     {Value::null(), Value::text("\r\n")}}));
    transfer::ScriptBuilder script(Direction::AccessToMySql);
    std::string create = transfer::createTableHead("T");
    transfer::completeDefaultCreate(create, Direction::AccessToMySql, rs);
    script.appendCreateTable(create);
    std::vector<std::pair<long, long>> reports;
    transfer::appendTableRows(script, rs, "T", [&](long d, long t) { reports.emplace_back(d, t); });
    script.endTable();
    EXPECT_EQ(script.text(),
              "CREATE TABLE `T`(`ID` INT,`Name` text)\r\n\r\n"
              "INSERT INTO `T` VALUES('1', 'a''b')\r\n"
              "INSERT INTO `T` VALUES('2', NULL)\r\n"
              "INSERT INTO `T` VALUES(NULL, '\\r\\n')\r\n"
              "\r\n");
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), std::make_pair(3L, 3L));
    EXPECT_TRUE(rs.eof());
}

TEST(TableRows, AnEmptyTableWritesNoRowAndReportsNothing) {
    db::Recordset rs(
        std::make_unique<db::MemoryCursor>(twoFields(), std::vector<std::vector<Value>>{}));
    transfer::ScriptBuilder script(Direction::MySqlToAccess);
    int reports = 0;
    transfer::appendTableRows(script, rs, "E", [&](long, long) { ++reports; });
    EXPECT_EQ(script.text(), "");
    EXPECT_EQ(reports, 0);
}

TEST(TableRows, ARecordSetThatEndsEarlyFailsWithItsEndOfDataError) {
    db::Recordset rs(std::make_unique<ShortCursor>(
        twoFields(), std::vector<std::vector<Value>>{{Value::integer(1), Value::text("x")}}));
    transfer::ScriptBuilder script(Direction::AccessToMySql);
    try {
        transfer::appendTableRows(script, rs, "T");
        FAIL() << "no error";
    } catch (const db::Error& e) {
        EXPECT_EQ(e.number(), db::errc::kEof);
    }
    // The rows before the failure stay in the script; the failing statement is the last one.
    EXPECT_EQ(script.text(), "INSERT INTO `T` VALUES('1', 'x')\r\n");
    EXPECT_EQ(script.lastStatement(), "INSERT INTO `T` VALUES('1', 'x')");
}

TEST(ProgressPacer, ReportsEveryWholePerCentAndTheLastRow) {
    for (long total : {1L, 3L, 99L, 100L, 150L, 1001L, 123457L}) {
        transfer::ProgressPacer pacer(total, std::chrono::hours(1));
        std::set<long> percents;
        long reports = 0;
        long last = 0;
        for (long done = 1; done <= total; ++done) {
            if (!pacer.due(done)) continue;
            ++reports;
            percents.insert(done * 100 / total);
            last = done;
        }
        EXPECT_EQ(last, total) << total;
        EXPECT_LE(reports, 101) << total;
        // Every whole per cent the bar can show is shown.
        for (long p = 1; p <= 100; ++p) {
            const long firstRow = (total * p + 99) / 100;
            if (firstRow <= total) {
                EXPECT_TRUE(percents.count(firstRow * 100 / total)) << total << " " << p;
            }
        }
    }
}

TEST(ProgressPacer, SlowRowsAreReportedByTime) {
    transfer::ProgressPacer pacer(1000000, std::chrono::milliseconds(0));
    long reports = 0;
    for (long done = 1; done <= 5000; ++done)
        if (pacer.due(done)) ++reports;
    // No whole per cent is reached in 5000 of a million rows; the clock decides (every 64 rows).
    EXPECT_GE(reports, 5000 / 64 - 1);
    EXPECT_LE(reports, 5000 / 64 + 1);
}
