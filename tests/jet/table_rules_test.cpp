// The rules a statement must keep, in copies of real files: refused statements leave the file
// byte for byte as it was and say why, naming the table, the column, the index or the
// relationship; tables Access made (with their indexes, compressed text and relationships) take
// new rows and stay sound.
#include <gtest/gtest.h>

#include "db/jet/base/error.h"
#include "tests/jet/table_write_support.h"

namespace {

using tablewrite::WritableCopy;

// Runs `sql`, which must be refused with `kind` and `message`, and checks that the file did not
// change.
void expectRefused(WritableCopy& copy, const std::string& sql, jet::ErrorKind kind,
                   const std::string& message) {
    const auto before = copy.bytes();
    const jet::Error e = copy.refused(sql);
    EXPECT_EQ(e.kind(), kind) << sql;
    EXPECT_EQ(e.message(), message) << sql;
    EXPECT_EQ(copy.bytes() == before, true) << "the file changed after: " << sql;
    EXPECT_FALSE(std::filesystem::exists(copy.path().string() + "-journal"));
}

TEST(TableRules, ValuesThatDoNotFitNameTheirColumnAndWriteNothing) {
    DM_REQUIRE_FIXTURE("access/empty/empty2010.accdb");
    WritableCopy copy("access/empty/empty2010.accdb");
    copy.exec(
        "CREATE TABLE `T`(`id` INT PRIMARY KEY, `name` VARCHAR(5) NOT NULL, `memo` TEXT, "
        "`qty` SMALLINT)");
    copy.exec("INSERT INTO `T` VALUES('1', 'abc', 'long enough to leave the row: " +
              std::string(200, 'm') + "', '7')");
    const auto rowsBefore = copy.rows("T");

    expectRefused(copy, "INSERT INTO `T` VALUES('2', 'abcdef', NULL, NULL)",
                  jet::ErrorKind::Constraint,
                  "The value 'abcdef' cannot be stored in the column 'name' (Text(5)) of table "
                  "'T': it has 6 characters, and the column holds 5.");
    expectRefused(copy, "INSERT INTO `T` VALUES('2', 'ok', '" + std::string(9000, 'x') + "', 'x')",
                  jet::ErrorKind::Constraint,
                  "The value 'x' cannot be stored in the column 'qty' (Integer) of table 'T': it "
                  "is not a number.");
    expectRefused(copy, "INSERT INTO `T` VALUES('2', NULL, NULL, NULL)", jet::ErrorKind::Constraint,
                  "The column 'name' of table 'T' requires a value, but the row leaves it Null.");
    expectRefused(copy, "INSERT INTO `T` VALUES('1', 'dup', NULL, NULL)",
                  jet::ErrorKind::Constraint,
                  "The row would put a value into the index 'PrimaryKey' of table 'T' that it "
                  "holds already; the index allows each value only once.");
    expectRefused(copy, "INSERT INTO `T` (`name`) VALUES('x')", jet::ErrorKind::Constraint,
                  "The index 'PrimaryKey' of table 'T' cannot hold a Null value, and the row "
                  "leaves one of its columns Null.");
    expectRefused(copy, "INSERT INTO `T` VALUES('3', 'a', NULL)", jet::ErrorKind::Syntax,
                  "The statement gives 3 values, but the table 'T' has 4 columns.");
    expectRefused(copy, "INSERT INTO `T` (`id`, `nope`) VALUES('3', 'a')", jet::ErrorKind::Syntax,
                  "The table 'T' has no column 'nope'.");
    expectRefused(copy, "INSERT INTO `T` (`id`, `ID`) VALUES('3', '4')", jet::ErrorKind::Syntax,
                  "The column 'ID' is named twice in the column list.");
    expectRefused(copy, "INSERT INTO `Nowhere` VALUES('3')", jet::ErrorKind::NoSuchTable,
                  "The Access engine cannot find the table 'Nowhere'. Make sure it exists and "
                  "that its name is spelled correctly.");
    EXPECT_EQ(copy.rows("T"), rowsBefore);
    EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{});

    // The statements after a refused one work as before.
    copy.exec("INSERT INTO `T` (`id`, `name`) VALUES('2', 'two')");
    EXPECT_EQ(copy.rows("T").size(), 2u);
    EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{});
}

TEST(TableRules, SchemaStatementsThatCannotBeDone) {
    DM_REQUIRE_FIXTURE("access/empty/empty2003.mdb");
    WritableCopy copy("access/empty/empty2003.mdb");
    copy.exec("CREATE TABLE Orders (id INT)");
    expectRefused(copy, "CREATE TABLE ORDERS (x INT)", jet::ErrorKind::TableExists,
                  "Table 'Orders' already exists.");
    expectRefused(copy, "CREATE TABLE MSysObjects (x INT)", jet::ErrorKind::TableExists,
                  "Table 'MSysObjects' already exists.");
    expectRefused(copy, "CREATE TABLE [a.b] (x INT)", jet::ErrorKind::Syntax,
                  "'a.b' is not a valid table name: it holds the character \".\".");
    expectRefused(copy, "CREATE TABLE t ([ x] INT)", jet::ErrorKind::Syntax,
                  "' x' is not a valid column name: it starts with a blank.");
    expectRefused(copy, "CREATE TABLE t (x INT, X TEXT)", jet::ErrorKind::Syntax,
                  "The column 'X' is defined more than once in table 't'.");
    expectRefused(copy, "CREATE TABLE t (x BIGINT)", jet::ErrorKind::NotSupported,
                  "The column 'x' cannot be BIGINT: this database (Jet 4 (Access 2000-2003)) "
                  "has no Large Number type, which came with Access 2016.");
    expectRefused(copy, "CREATE TABLE t (x INT, PRIMARY KEY (y))", jet::ErrorKind::Syntax,
                  "The primary key names the column 'y', which the table 't' does not have.");
    expectRefused(copy, "CREATE TABLE t (d DECIMAL(10,2) PRIMARY KEY, x INT)",
                  jet::ErrorKind::NotSupported,
                  "The Access engine cannot yet write to the table 't': in its index "
                  "'PrimaryKey', the index column 'd' is a Decimal column, whose index keys the "
                  "Access engine cannot write yet.");
    expectRefused(copy, "CREATE TABLE t (m MEMO PRIMARY KEY)", jet::ErrorKind::NotSupported,
                  "The column 'm' cannot be part of a primary key: Memo and OLE Object columns "
                  "are not indexed.");
    expectRefused(copy, "CREATE TABLE [" + std::string(65, 'n') + "] (x INT)",
                  jet::ErrorKind::Syntax,
                  "'" + std::string(65, 'n') +
                      "' is not a valid table name: it is longer than 64 characters.");
    expectRefused(copy, "INSERT INTO MSysObjects (Id) VALUES (1)", jet::ErrorKind::Constraint,
                  "The table 'MSysObjects' is a system table; the Access engine does not write "
                  "to it.");
    expectRefused(copy, "DROP TABLE MSysACEs", jet::ErrorKind::Constraint,
                  "The table 'MSysACEs' is a system table; the Access engine does not drop it.");
    expectRefused(copy, "DROP TABLE Nothing", jet::ErrorKind::NoSuchTable,
                  "The Access engine cannot find the table 'Nothing'. Make sure it exists and "
                  "that its name is spelled correctly.");
    expectRefused(copy, "SELECT * INTO orders FROM Orders", jet::ErrorKind::TableExists,
                  "Table 'Orders' already exists.");
    expectRefused(copy, "CREATE TABLE msysLog (x INT)", jet::ErrorKind::Syntax,
                  "'msysLog' is not a valid table name: names beginning with MSys are kept for "
                  "system tables.");
    expectRefused(copy, "SELECT * INTO [MSys Orders] FROM Orders", jet::ErrorKind::Syntax,
                  "'MSys Orders' is not a valid table name: names beginning with MSys are kept "
                  "for system tables.");
    EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{});
}

// Access leaves MSysCompactError, an ordinary table, after a failed compaction: it is listed
// with the user's tables, so it takes rows and can be dropped like them.
TEST(TableRules, AnMSysNamedTableWithoutSystemFlagsIsTheUsers) {
    DM_REQUIRE_FIXTURE("access/V2007/queryTestV2007.accdb");
    WritableCopy copy("access/V2007/queryTestV2007.accdb");
    const auto before = copy.rows("MSysCompactError").size();
    copy.exec("INSERT INTO MSysCompactError (ErrorCode, ErrorDescription) VALUES (7, 'seven')");
    copy.reopen();
    EXPECT_EQ(copy.rows("MSysCompactError").size(), before + 1);
    EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{});
    copy.exec("DROP TABLE MSysCompactError");
    copy.reopen();
    EXPECT_FALSE(copy.hasTable("MSysCompactError"));
    EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{});
}

TEST(TableRules, LargeNumberWhereTheVersionHasIt) {
    DM_REQUIRE_FIXTURE("access/empty/empty2016.accdb");
    WritableCopy copy("access/empty/empty2016.accdb");
    copy.exec("CREATE TABLE big (n BIGINT PRIMARY KEY)");
    copy.exec("INSERT INTO big VALUES ('-9223372036854775808')");
    copy.exec("INSERT INTO big VALUES (9223372036854775807)");
    copy.exec("INSERT INTO big VALUES (0)");
    const auto rows = copy.rows("big");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0], db::Value::integer(std::numeric_limits<std::int64_t>::min()));
    EXPECT_EQ(rows[1][0], db::Value::integer(std::numeric_limits<std::int64_t>::max()));
    EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{});
}

// Text that is not well-formed UTF-8 used to be stored with U+FFFD in place of every bad
// byte: a value other than the one given, and, since the length was counted on the bytes, a
// value longer than its column (three cut-short four-byte sequences counted 6 characters and
// were stored as 9 in a Text(6) column).
TEST(TableRules, TextThatIsNotUtf8IsRefusedAndWritesNothing) {
    for (const char* fixture : {"access/empty/empty2003.mdb", "access/empty/empty2010.accdb"}) {
        SCOPED_TRACE(fixture);
        DM_REQUIRE_FIXTURE(fixture);
        WritableCopy copy(fixture);
        copy.exec("CREATE TABLE u (k TEXT(6) PRIMARY KEY, t TEXT(6), m MEMO)");
        copy.exec("INSERT INTO u VALUES ('ok', '\xC3\xA9t\xC3\xA9', '\xF0\x9F\x98\x80')");
        const auto rowsBefore = copy.rows("u");

        const std::string cut = "\xF0\x9F\x98";  // a four-byte sequence without its last byte
        expectRefused(copy, "INSERT INTO u VALUES ('a', '" + cut + cut + cut + "', NULL)",
                      jet::ErrorKind::Constraint,
                      "The value '\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
                      "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD' cannot be stored in the "
                      "column 't' (Text(6)) of table 'u': it is not valid UTF-8 text (the byte at "
                      "offset 0 begins no character).");
        expectRefused(copy, "INSERT INTO u VALUES ('b', NULL, 'fine until \xFF')",
                      jet::ErrorKind::Constraint,
                      "The value 'fine until \xEF\xBF\xBD' cannot be stored in the column 'm' "
                      "(Memo) of table 'u': it is not valid UTF-8 text (the byte at offset 11 "
                      "begins no character).");
        // A primary key of bad bytes once collided with every other: all became U+FFFD.
        for (const std::string& bad :
             {std::string("\xC3"), std::string("\xC0\x80"), std::string("\xE0\x80\xAF"),
              std::string("\xED\xA0\x80"), std::string("\xF4\x90\x80\x80"), std::string("a\x80")}) {
            const jet::Error e = copy.refused("INSERT INTO u (k) VALUES ('" + bad + "')");
            EXPECT_EQ(e.kind(), jet::ErrorKind::Constraint) << e.message();
            EXPECT_NE(e.message().find("column 'k' (Text(6))"), std::string::npos) << e.message();
            EXPECT_NE(e.message().find("is not valid UTF-8 text"), std::string::npos)
                << e.message();
        }
        expectRefused(copy, "CREATE TABLE [x\xFE] (a INT)", jet::ErrorKind::Syntax,
                      "'x\xEF\xBF\xBD' is not a valid table name: it is not valid UTF-8 text.");
        expectRefused(copy, "CREATE TABLE x ([a\xC3] INT)", jet::ErrorKind::Syntax,
                      "'a\xEF\xBF\xBD' is not a valid column name: it is not valid UTF-8 text.");

        copy.reopen();
        EXPECT_EQ(copy.rows("u"), rowsBefore);
        EXPECT_FALSE(copy.hasTable("x"));
        ASSERT_EQ(rowsBefore.size(), 1u);
        EXPECT_EQ(rowsBefore[0][1], db::Value::text("\xC3\xA9t\xC3\xA9"));
        EXPECT_EQ(rowsBefore[0][2], db::Value::text("\xF0\x9F\x98\x80"));
        EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{});
    }
}

// Tables Access made, with a primary key, plain indexes and two relationships (Table1 holds
// foreign keys into Table2 and Table3).
class AccessTables : public ::testing::TestWithParam<std::string> {};

TEST_P(AccessTables, RowsGoIntoEveryIndexAndRelationshipsAreKept) {
    DM_REQUIRE_FIXTURE(GetParam());
    WritableCopy copy(GetParam());
    const std::size_t before = copy.rows("Table1").size();
    copy.exec("INSERT INTO Table1 VALUES (100, 1, 12, 'new row', 0)");
    // The key columns left out take their Default Value, 0, as in Access; Table3 has no row 0.
    expectRefused(copy, "INSERT INTO Table1 (id, data) VALUES (101, 'no keys')",
                  jet::ErrorKind::Constraint,
                  "The row cannot be added: the relationship 'Table3Table1' requires a row of "
                  "table 'Table3' with the same value in otherfk2, and there is none.");
    copy.exec(
        "INSERT INTO Table1 (id, otherfk1, otherfk2, data, otherfk3) VALUES (101, NULL, NULL, "
        "'no keys', NULL)");
    copy.exec("INSERT INTO Table2 VALUES (50, 'parent')");
    copy.exec("INSERT INTO Table1 VALUES (102, 50, NULL, 'to the new parent', 0)");
    expectRefused(copy, "INSERT INTO Table1 VALUES (103, 99, 12, 'orphan', 0)",
                  jet::ErrorKind::Constraint,
                  "The row cannot be added: the relationship 'Table2Table1' requires a row of "
                  "table 'Table2' with the same value in otherfk1, and there is none.");
    expectRefused(copy, "INSERT INTO Table1 VALUES (0, 1, 12, 'same id', 0)",
                  jet::ErrorKind::Constraint,
                  "The row would put a value into the index 'PrimaryKey' of table 'Table1' that "
                  "it holds already; the index allows each value only once.");
    expectRefused(copy, "DROP TABLE Table2", jet::ErrorKind::Constraint,
                  "The table 'Table2' takes part in a relationship; delete the relationship "
                  "before the table.");
    EXPECT_EQ(copy.rows("Table1").size(), before + 3);
    EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{});
    copy.close();
    const auto exported = copy.mdbExport("Table1");
    EXPECT_NE(std::find(exported.begin(), exported.end(), "100\t1\t12\tnew row\t0"),
              exported.end());
    EXPECT_NE(std::find(exported.begin(), exported.end(), "101\t(null)\t(null)\tno keys\t(null)"),
              exported.end());
    copy.reopen();
    EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{});
}

TEST_P(AccessTables, CopiesAndDropsOfTablesAccessMade) {
    DM_REQUIRE_FIXTURE(GetParam());
    WritableCopy copy(GetParam());
    const auto original = copy.rows("Table3");
    copy.exec("SELECT a1.* INTO `Table3 copy` FROM `Table3` AS a1;");
    EXPECT_EQ(copy.rows("Table3 copy"), original);
    copy.exec("DROP TABLE `Table3 copy`");
    EXPECT_FALSE(copy.hasTable("Table3 copy"));
    EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(IndexFixtures, AccessTables,
                         ::testing::Values("access/V2003/indexTestV2003.mdb",
                                           "access/V2007/indexTestV2007.accdb",
                                           "access/V2010/indexTestV2010.accdb"),
                         [](const auto& testInfo) {
                             std::string n = testInfo.param.substr(testInfo.param.rfind('/') + 1);
                             for (char& c : n)
                                 if (c == '.') c = '_';
                             return n;
                         });

TEST(TableRules, TablesOfAccessWithEveryColumnKind) {
    for (const char* fixture : {"access/V2000/testV2000.mdb", "access/V2010/testV2010.accdb"}) {
        DM_REQUIRE_FIXTURE(fixture);
        WritableCopy copy(fixture);
        // A, B text (A compressed), C byte, D integer, E long, F double, G date, H currency,
        // I Yes/No; two indexes.
        // A character whose key in the index's sort order is not known refuses the row before
        // anything is written.
        const auto before = copy.bytes();
        const jet::Error e = copy.refused(
            "INSERT INTO Table1 VALUES ('x', 'B \xF0\x9F\x9A\x80', 1, 1, 1, 1, NULL, 1, 1)");
        EXPECT_EQ(e.kind(), jet::ErrorKind::NotSupported);
        EXPECT_NE(e.message().find("U+1F680"), std::string::npos) << e.message();
        EXPECT_EQ(copy.bytes() == before, true);
        copy.exec(
            "INSERT INTO Table1 VALUES ('compressed text', 'B is plain', '255', "
            "'-32768', '2147483647', '-1.5E-300', '2024-12-31 23:59:59', "
            "'-922337203685477.5808', 'True')");
        const auto rows = copy.rows("Table1");
        const auto& last = rows.back();
        EXPECT_EQ(last[0], db::Value::text("compressed text"));
        EXPECT_EQ(last[1], db::Value::text("B is plain"));
        EXPECT_EQ(last[2], db::Value::integer(255));
        EXPECT_EQ(last[5], db::Value::doubleValue(-1.5e-300));
        EXPECT_EQ(last[7], db::Value::currency({std::numeric_limits<std::int64_t>::min()}));
        EXPECT_EQ(last[8], db::Value::boolean(true));
        EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{}) << fixture;
        copy.close();
        const auto exported = copy.mdbExport("Table1");
        ASSERT_FALSE(exported.empty());
        const auto fields = tablewrite::splitFields(exported.back());
        ASSERT_EQ(fields.size(), 9u) << exported.back();
        EXPECT_EQ(fields[0], "compressed text");
        EXPECT_EQ(fields[1], "B is plain");
        EXPECT_EQ(fields[6], "2024-12-31 23:59:59");
    }
}

TEST(TableRules, RowsOfATableWithDeletedColumnsCarryTheirGaps) {
    // Columns 1 and 4 of Table1 were deleted: the fixed part keeps their room and the variable
    // part their entries.
    DM_REQUIRE_FIXTURE("access/V2000/delColTestV2000.mdb");
    WritableCopy copy("access/V2000/delColTestV2000.mdb");
    copy.exec("INSERT INTO Table1 VALUES (7, 8, 'new', 'new2')");
    copy.exec("INSERT INTO Table1 (data2) VALUES ('only the last')");
    const auto rows = copy.rows("Table1");
    EXPECT_EQ(rows[rows.size() - 2],
              (std::vector<db::Value>{db::Value::integer(7), db::Value::integer(8),
                                      db::Value::text("new"), db::Value::text("new2")}));
    // The two numbers left out take their columns' Default Value (0), as Access gives them.
    EXPECT_EQ(rows.back(),
              (std::vector<db::Value>{db::Value::integer(0), db::Value::integer(0),
                                      db::Value::null(), db::Value::text("only the last")}));
    EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{});
    copy.close();
    const auto exported = copy.mdbExport("Table1");
    EXPECT_EQ(exported[exported.size() - 2], "7\t8\tnew\tnew2");
    EXPECT_EQ(exported.back(), "0\t0\t(null)\tonly the last");
}

TEST(TableRules, ColumnsAccessComputesOrKeepsElsewhereAreRefusedBeforeWriting) {
    DM_REQUIRE_FIXTURE("access/V2010/calcFieldTestV2010.accdb");
    DM_REQUIRE_FIXTURE("access/V2007/complexDataTestV2007.accdb");
    {
        WritableCopy copy("access/V2010/calcFieldTestV2010.accdb");
        const auto before = copy.bytes();
        const jet::Error e = copy.refused("INSERT INTO Table1 (id) VALUES (1000)");
        EXPECT_EQ(e.kind(), jet::ErrorKind::NotSupported);
        EXPECT_NE(e.message().find("is calculated by Access"), std::string::npos) << e.message();
        EXPECT_EQ(copy.bytes() == before, true);
        // A copy of such a table is refused too; dropping it is not.
        EXPECT_EQ(copy.refused("SELECT * INTO c FROM Table1").kind(), jet::ErrorKind::NotSupported);
        copy.exec("DROP TABLE Table1");
        EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{});
    }
    {
        WritableCopy copy("access/V2007/complexDataTestV2007.accdb");
        const auto before = copy.bytes();
        const jet::Error e = copy.refused("INSERT INTO Table1 (id) VALUES ('x')");
        EXPECT_EQ(e.kind(), jet::ErrorKind::NotSupported);
        EXPECT_NE(e.message().find("holds several values"), std::string::npos) << e.message();
        EXPECT_EQ(copy.refused("DROP TABLE Table1").kind(), jet::ErrorKind::NotSupported);
        EXPECT_EQ(copy.bytes() == before, true);
    }
}

TEST(TableRules, Access97FilesStayReadOnly) {
    DM_REQUIRE_FIXTURE("access/V1997/testV1997.mdb");
    WritableCopy copy("access/V1997/testV1997.mdb");
    const auto before = copy.bytes();
    const jet::Error e = copy.refused("CREATE TABLE t (x INT)");
    EXPECT_EQ(e.kind(), jet::ErrorKind::ReadOnly);
    EXPECT_NE(e.message().find("Access 97"), std::string::npos) << e.message();
    EXPECT_EQ(copy.refused("INSERT INTO Table1 (A) VALUES ('x')").kind(), jet::ErrorKind::ReadOnly);
    EXPECT_EQ(copy.bytes() == before, true);
}

}  // namespace
