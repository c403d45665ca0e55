// What CREATE TABLE carries beyond names and types, in every version the engine writes:
// AutoNumbers that start at a seed and continue after the values given, Required columns,
// defaults (stored as Access stores them, applied to the inserts that leave their column out),
// text columns that keep '' as '', texts written in pieces with their line breaks, Large Number at
// its extremes and Date/Time Extended where the version has them and a clear refusal where it has
// not. Read back by the engine, after reopening, and by mdbtools.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "db/jet/base/error.h"
#include "db/jet/catalog/catalog.h"
#include "db/jet/format/text_codec.h"
#include "db/jet/write/column_default.h"
#include "tests/jet/table_write_support.h"

namespace {

using tablewrite::WritableCopy;

// The property `name` of `column` in the table `table`: its type code and its value as text
// (Yes/No as "Yes"/"No"); "" when there is none.
std::string property(WritableCopy& copy, const std::string& table, const std::string& column,
                     const std::string& name, std::uint8_t* type = nullptr) {
    const jet::CatalogEntry* e = copy.db().catalog().findTable(table);
    if (!e) return "(no table)";
    for (const auto& m : copy.db().properties(*e)) {
        if (m.name != column) continue;
        const jet::Property* p = m.find(name);
        if (!p) continue;
        if (type) *type = p->type;
        if (p->type == 1) return !p->value.empty() && p->value[0] ? "Yes" : "No";
        std::string s;
        jet::appendUtf16le(s, jet::ByteSpan(p->value.data(), p->value.size()));
        return s;
    }
    return "";
}

bool hasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class ColumnRules : public ::testing::TestWithParam<std::string> {};

TEST_P(ColumnRules, DefaultsAreStoredAsAccessStoresThemAndFillTheColumnsAnInsertLeavesOut) {
    DM_REQUIRE_FIXTURE(GetParam());
    WritableCopy copy(GetParam());
    copy.exec(
        "CREATE TABLE `Defaults` (`Id` COUNTER, `Name` VARCHAR(50) NOT NULL DEFAULT 'anon', "
        "`Quote` TEXT(40) DEFAULT 'it''s \"x\"', `Score` INT DEFAULT -5, `Ratio` DOUBLE DEFAULT "
        "(-1.5), `Price` CURRENCY DEFAULT 12.5, `Vip` BIT DEFAULT TRUE, `Day` DATETIME DEFAULT "
        "#2024-05-01#, `At` DATETIME DEFAULT '2024-05-01 10:11:12', `Made` DATETIME DEFAULT "
        "Now(), `Born` DATE DEFAULT Date(), `Plain` INT, `Gone` INT DEFAULT NULL)");
    std::uint8_t type = 0;
    EXPECT_EQ(property(copy, "Defaults", "Name", "DefaultValue", &type), "\"anon\"");
    EXPECT_EQ(type, 12);  // a Memo, as Access keeps it
    EXPECT_EQ(property(copy, "Defaults", "Quote", "DefaultValue"), "\"it's \"\"x\"\"\"");
    EXPECT_EQ(property(copy, "Defaults", "Score", "DefaultValue"), "-5");
    EXPECT_EQ(property(copy, "Defaults", "Ratio", "DefaultValue"), "-1.5");
    EXPECT_EQ(property(copy, "Defaults", "Price", "DefaultValue"), "12.5");
    EXPECT_EQ(property(copy, "Defaults", "Vip", "DefaultValue"), "Yes");
    EXPECT_EQ(property(copy, "Defaults", "Day", "DefaultValue"), "#2024-05-01#");
    EXPECT_EQ(property(copy, "Defaults", "At", "DefaultValue"), "#2024-05-01 10:11:12#");
    EXPECT_EQ(property(copy, "Defaults", "Made", "DefaultValue"), "Now()");
    EXPECT_EQ(property(copy, "Defaults", "Born", "DefaultValue"), "Date()");
    EXPECT_EQ(property(copy, "Defaults", "Plain", "DefaultValue"), "");
    EXPECT_EQ(property(copy, "Defaults", "Gone", "DefaultValue"), "");
    EXPECT_EQ(property(copy, "Defaults", "Name", "Required"), "Yes");
    EXPECT_EQ(property(copy, "Defaults", "Score", "Required"), "");

    copy.exec("INSERT INTO `Defaults` (`Plain`) VALUES (1)");
    // A value given, Null given, and the columns left out.
    copy.exec(
        "INSERT INTO `Defaults` (`Name`, `Score`, `Vip`, `Day`, `Made`) VALUES ('Bo', NULL, "
        "FALSE, NULL, '2001-02-03')");
    copy.reopen();
    const auto rows = copy.rows("Defaults");
    ASSERT_EQ(rows.size(), 2u);
    const auto& r = rows[0];
    EXPECT_EQ(r[1], db::Value::text("anon"));
    EXPECT_EQ(r[2], db::Value::text("it's \"x\""));
    EXPECT_EQ(r[3], db::Value::integer(-5));
    EXPECT_EQ(r[4], db::Value::doubleValue(-1.5));
    EXPECT_EQ(r[5], db::Value::currency({125000}));
    EXPECT_EQ(r[6], db::Value::boolean(true));
    EXPECT_EQ(r[7], db::Value::dateTime({2024, 5, 1, 0, 0, 0, 0}));
    EXPECT_EQ(r[8], db::Value::dateTime({2024, 5, 1, 10, 11, 12, 0}));
    ASSERT_EQ(r[9].kind(), db::Value::Kind::DateTime);  // now
    EXPECT_GE(r[9].asDateTime().year, 2024);
    ASSERT_EQ(r[10].kind(), db::Value::Kind::DateTime);  // today, at midnight
    EXPECT_TRUE(r[10].asDateTime().isMidnight());
    EXPECT_EQ(r[10].asDateTime().day, r[9].asDateTime().day);
    EXPECT_EQ(r[11], db::Value::integer(1));
    EXPECT_TRUE(r[12].isNull());
    const auto& given = rows[1];
    EXPECT_EQ(given[1], db::Value::text("Bo"));
    EXPECT_TRUE(given[3].isNull());  // Null given is Null, not the default
    EXPECT_EQ(given[6], db::Value::boolean(false));
    EXPECT_TRUE(given[7].isNull());
    EXPECT_EQ(given[9], db::Value::dateTime({2001, 2, 3, 0, 0, 0, 0}));
    EXPECT_EQ(given[4], db::Value::doubleValue(-1.5));  // left out: its default

    // mdbtools reads the defaults and the Required column.
    const auto schema = copy.mdbSchema();
    EXPECT_TRUE(hasLine(schema, "`Name` varchar (50) NOT NULL DEFAULT 'anon',"))
        << testing::PrintToString(schema);
    EXPECT_TRUE(hasLine(schema, "`Score` int DEFAULT -5,")) << testing::PrintToString(schema);
    EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{});
}

TEST_P(ColumnRules, DefaultsTheColumnCannotHoldAreRefusedBeforeAnythingIsWritten) {
    DM_REQUIRE_FIXTURE(GetParam());
    WritableCopy copy(GetParam());
    const auto before = copy.bytes();
    auto refused = [&](const std::string& sql) { return copy.refused(sql).message(); };
    EXPECT_EQ(refused("CREATE TABLE t (n INT DEFAULT 'abc')"),
              "The value 'abc' cannot be stored in the column 'n' (Long Integer) of table 't': "
              "it is not a number.");
    EXPECT_EQ(refused("CREATE TABLE t (b BYTE DEFAULT 300)"),
              "The value '300' cannot be stored in the column 'b' (Byte) of table 't': it is "
              "outside the range from 0 to 255.");
    EXPECT_EQ(refused("CREATE TABLE t (n INT DEFAULT Now())"),
              "The column 'n' of table 't' cannot have a default: Now() is a date, and the column "
              "is Long Integer.");
    EXPECT_EQ(refused("CREATE TABLE t (id COUNTER DEFAULT 1)"),
              "The column 'id' of table 't' cannot have a default: an AutoNumber column numbers "
              "its rows itself.");
    EXPECT_EQ(refused("CREATE TABLE t (b VARBINARY(4) DEFAULT X'00')"),
              "The column 'b' of table 't' cannot have a default: Access keeps defaults of "
              "Binary(4) columns only as expressions the engine does not write.");
    const jet::Error e = copy.refused("CREATE TABLE t (d DATETIME DEFAULT CURRENT_TIMESTAMP)");
    EXPECT_EQ(e.kind(), jet::ErrorKind::NotSupported);
    EXPECT_EQ(e.message(),
              "The statement \"CREATE TABLE t (d DATETIME DEFAULT CURRENT_TIMESTAMP)\" gives the "
              "column 'd' the default CURRENT_TIMESTAMP, which the Access engine cannot store; a "
              "default is a number, a text, TRUE or FALSE, a date, Now() or Date().");
    EXPECT_EQ(refused("CREATE TABLE t (a INT DEFAULT 1 DEFAULT 2)"),
              "Syntax error in the statement \"CREATE TABLE t (a INT DEFAULT 1 DEFAULT 2)\": the "
              "column 'a' has more than one default.");
    EXPECT_EQ(refused("CREATE TABLE t (a COUNTER, b AUTOINCREMENT)"),
              "The table 't' cannot have two AutoNumber columns ('a' and 'b').");
    EXPECT_FALSE(copy.hasTable("t"));
    copy.close();
    EXPECT_EQ(copy.bytes(), before);
}

TEST_P(ColumnRules, AutoNumbersStartAtTheirSeedAndGoOnAfterTheHighestValueGiven) {
    DM_REQUIRE_FIXTURE(GetParam());
    WritableCopy copy(GetParam());
    copy.exec("CREATE TABLE n (id COUNTER(1000, 1) NOT NULL, v TEXT(5))");
    copy.exec("INSERT INTO n (v) VALUES ('a')");
    copy.exec("INSERT INTO n (id, v) VALUES (5000, 'b')");
    copy.exec("INSERT INTO n (v) VALUES ('c')");
    copy.reopen();
    copy.exec("INSERT INTO n (v) VALUES ('d')");
    std::vector<std::int64_t> ids;
    for (const auto& row : copy.rows("n"))
        ids.push_back(row[0].asInteger());
    EXPECT_EQ(ids, (std::vector<std::int64_t>{1000, 5000, 5001, 5002}));
    const auto exported = copy.mdbExport("n");
    ASSERT_EQ(exported.size(), 5u);
    EXPECT_EQ(exported[1], "1000\ta");
    EXPECT_EQ(exported[4], "5002\td");
    EXPECT_TRUE(hasLine(copy.mdbSchema(), "`id` int not null auto_increment unique NOT NULL,"))
        << testing::PrintToString(copy.mdbSchema());

    EXPECT_EQ(copy.refused("CREATE TABLE m (id COUNTER(1, 2))").message(),
              "Syntax error in the statement \"CREATE TABLE m (id COUNTER(1, 2))\": column 'id': "
              "an AutoNumber column can only count by 1.");
    EXPECT_EQ(copy.refused("CREATE TABLE m (id COUNTER(0, 1))").message(),
              "Syntax error in the statement \"CREATE TABLE m (id COUNTER(0, 1))\": column 'id': "
              "an AutoNumber column starts at a number from 1 to 2147483647, not 0.");
    EXPECT_EQ(copy.refused("CREATE TABLE m (id COUNTER(5))").message(),
              "Syntax error in the statement \"CREATE TABLE m (id COUNTER(5))\": column 'id': the "
              "type COUNTER takes a seed and an increment.");
}

TEST_P(ColumnRules, RequiredColumnsRefuseNullAndTextColumnsKeepTheEmptyText) {
    DM_REQUIRE_FIXTURE(GetParam());
    WritableCopy copy(GetParam());
    copy.exec("CREATE TABLE r (a TEXT(10) NOT NULL, m MEMO NOT NULL, n INT)");
    EXPECT_EQ(property(copy, "r", "a", "AllowZeroLength"), "Yes");
    EXPECT_EQ(property(copy, "r", "m", "AllowZeroLength"), "Yes");
    EXPECT_EQ(property(copy, "r", "n", "AllowZeroLength"), "");
    copy.exec("INSERT INTO r VALUES ('', '', 1)");
    EXPECT_EQ(copy.refused("INSERT INTO r VALUES (NULL, 'x', 2)").message(),
              "The column 'a' of table 'r' requires a value, but the row leaves it Null.");
    EXPECT_EQ(copy.refused("INSERT INTO r (a) VALUES ('x')").message(),
              "The column 'm' of table 'r' requires a value, but the row leaves it Null.");
    copy.exec("SELECT * INTO r2 FROM r");
    EXPECT_EQ(property(copy, "r2", "a", "AllowZeroLength"), "Yes");
    copy.reopen();
    for (const char* table : {"r", "r2"}) {
        const auto rows = copy.rows(table);
        ASSERT_EQ(rows.size(), 1u) << table;
        EXPECT_EQ(rows[0][0], db::Value::text("")) << table;
        EXPECT_EQ(rows[0][1], db::Value::text("")) << table;
    }
    // mdb-export prints an empty text as it prints Null; the row is there.
    const auto exported = copy.mdbExport("r");
    ASSERT_EQ(exported.size(), 2u);
    EXPECT_EQ(exported[1], "(null)\t(null)\t1");
    EXPECT_TRUE(hasLine(copy.mdbSchema(), "`a` varchar (10) NOT NULL,"));
}

TEST_P(ColumnRules, TextsWrittenInPiecesKeepTheirLineBreaks) {
    DM_REQUIRE_FIXTURE(GetParam());
    WritableCopy copy(GetParam());
    copy.exec(
        "CREATE TABLE notes (id INT, line TEXT(40), body MEMO DEFAULT Chr(13) & 'a' & Chr(13) & "
        "Chr(10) & 'b')");
    copy.exec(
        "INSERT INTO notes VALUES (1, 'one' & Chr(13) & Chr(10) & 'two', Chr(13) & "
        "Chr(10) & 'it''s' & Chr(13)&Chr(10))");
    copy.exec("INSERT INTO notes VALUES (2, '' & Chr(9) & '', 'x' & Chr(0) & 'y')");
    copy.exec("INSERT INTO notes (id) VALUES (3)");
    // A piece that is not a text or Chr(code 0 to 127) is refused, and nothing is written.
    EXPECT_EQ(copy.refused("INSERT INTO notes VALUES (4, 'a' &, 'b')").kind(),
              jet::ErrorKind::Syntax);
    EXPECT_NE(copy.refused("INSERT INTO notes VALUES (4, 'a' & 5, 'b')")
                  .message()
                  .find("\"&\" must be followed by a 'text' or Chr(code)"),
              std::string::npos);
    EXPECT_NE(copy.refused("INSERT INTO notes VALUES (4, Chr(128), 'b')")
                  .message()
                  .find("Chr takes a character code from 0 to 127"),
              std::string::npos);
    EXPECT_NE(copy.refused("INSERT INTO notes VALUES (4, Chr(-1), 'b')")
                  .message()
                  .find("Chr takes a character code from 0 to 127"),
              std::string::npos);
    copy.reopen();
    const auto rows = copy.rows("notes");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][1], db::Value::text("one\r\ntwo"));
    EXPECT_EQ(rows[0][2], db::Value::text("\r\nit's\r\n"));
    EXPECT_EQ(rows[1][1], db::Value::text("\t"));
    EXPECT_EQ(rows[1][2], db::Value::text(std::string("x\0y", 3)));
    EXPECT_EQ(rows[2][2], db::Value::text("\ra\r\nb"));
}

TEST_P(ColumnRules, LargeNumbersHoldTheirExtremesWhereTheVersionHasThem) {
    DM_REQUIRE_FIXTURE(GetParam());
    WritableCopy copy(GetParam());
    if (!copy.db().format().largeNumber) {
        EXPECT_EQ(copy.refused("CREATE TABLE big (n BIGINT)").message(),
                  "The column 'n' cannot be BIGINT: this database (" +
                      std::string(copy.db().format().name) +
                      ") has no Large Number type, which came with Access 2016.");
        return;
    }
    copy.exec("CREATE TABLE big (id COUNTER, n BIGINT NOT NULL DEFAULT 9223372036854775807)");
    EXPECT_EQ(property(copy, "big", "n", "DefaultValue"), "9223372036854775807");
    copy.exec("INSERT INTO big (n) VALUES (-9223372036854775808)");
    copy.exec("INSERT INTO big (n) VALUES ('9223372036854775807')");
    copy.exec("INSERT INTO big (n) VALUES (0)");
    copy.exec("INSERT INTO big (id) VALUES (10)");
    EXPECT_EQ(copy.refused("INSERT INTO big (n) VALUES (9223372036854775808)").message(),
              "The value '9223372036854775808' cannot be stored in the column 'n' (Large Number) "
              "of table 'big': it is outside the range from -9223372036854775808 to "
              "9223372036854775807.");
    EXPECT_EQ(copy.refused("CREATE UNIQUE INDEX ux ON big (n DESC)").message(),
              "The index 'ux' cannot be made on table 'big': the value 9223372036854775807 of "
              "column 'n' is in more than one row, and the index allows each value only once.");
    copy.exec("CREATE INDEX ix ON big (n DESC)");
    copy.reopen();
    std::vector<db::Value> values;
    for (const auto& row : copy.rows("big"))
        values.push_back(row[1]);
    const auto max = db::Value::integer(std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(values,
              (std::vector<db::Value>{db::Value::integer(std::numeric_limits<std::int64_t>::min()),
                                      max, db::Value::integer(0), max}));
    // mdbtools 1.0 reads the rows but not Large Number values (it prints them as Null).
    EXPECT_EQ(copy.mdbExport("big").size(), 5u);
    EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{});
}

TEST_P(ColumnRules, DateTimeExtendedWhereTheVersionHasIt) {
    DM_REQUIRE_FIXTURE(GetParam());
    WritableCopy copy(GetParam());
    if (!copy.db().format().extendedDate) {
        EXPECT_EQ(copy.refused("CREATE TABLE d (at DATETIME2)").message(),
                  "The column 'at' cannot be Date/Time Extended in " +
                      std::string(copy.db().format().name) + ".");
        return;
    }
    copy.exec("CREATE TABLE d (at DATETIME2 DEFAULT '2024-05-01 10:11:12.1234567', x INT)");
    EXPECT_EQ(property(copy, "d", "at", "DefaultValue"), "#2024-05-01 10:11:12.1234567#");
    copy.exec("INSERT INTO d (at) VALUES ('0001-01-01 00:00:00')");
    copy.exec("INSERT INTO d (at) VALUES ('9999-12-31 23:59:59.9999999')");
    copy.exec("INSERT INTO d (x) VALUES (1)");
    copy.exec("CREATE INDEX ix ON d (at)");
    copy.reopen();
    const auto rows = copy.rows("d");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0], db::Value::dateTime({1, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(rows[1][0], db::Value::dateTime({9999, 12, 31, 23, 59, 59, 999999900}));
    EXPECT_EQ(rows[2][0], db::Value::dateTime({2024, 5, 1, 10, 11, 12, 123456700}));
    EXPECT_EQ(tablewrite::checkAllTables(copy.db()), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(EveryWritableVersion, ColumnRules,
                         ::testing::Values("access/empty/empty.mdb", "access/empty/empty2003.mdb",
                                           "access/empty/empty2007.accdb",
                                           "access/empty/empty2010.accdb",
                                           "access/empty/empty2016.accdb",
                                           "access/empty/empty2019.accdb"),
                         [](const auto& testInfo) {
                             std::string n = testInfo.param.substr(testInfo.param.rfind('/') + 1);
                             for (char& c : n)
                                 if (c == '.') c = '_';
                             return n;
                         });

// ---- the expressions, without files ----

TEST(DefaultExpressions, AccessFormsReadBackAsValuesAndFunctions) {
    using Kind = jet::ColumnDefaultValue::Kind;
    auto value = [](const char* text) {
        const auto d = jet::parseDefaultExpression(text);
        EXPECT_TRUE(d.has_value()) << text;
        return d ? d->value : db::Value::text("(none)");
    };
    EXPECT_EQ(value("0"), db::Value::text("0"));
    EXPECT_EQ(value(" -1.5E3 "), db::Value::text("-1.5E3"));
    EXPECT_EQ(value("\"it\"\"s\""), db::Value::text("it\"s"));
    EXPECT_EQ(value("'a''b'"), db::Value::text("a'b"));
    EXPECT_EQ(value("=\"x\""), db::Value::text("x"));
    EXPECT_EQ(value("#1/2/2003#"), db::Value::text("1/2/2003"));
    EXPECT_EQ(value("Yes"), db::Value::boolean(true));
    EXPECT_EQ(value("false"), db::Value::boolean(false));
    EXPECT_EQ(jet::parseDefaultExpression("now ( )")->kind, Kind::Now);
    EXPECT_EQ(jet::parseDefaultExpression("=Date()")->kind, Kind::Date);
    EXPECT_EQ(jet::parseDefaultExpression("Time()")->kind, Kind::Time);
    for (const char* unknown : {"", "GenGUID()", "Format(Now(),\"yyyy\")", "\"open", "1+1", "abc",
                                "\"a\"\"", "1.2.3", "-"})
        EXPECT_FALSE(jet::parseDefaultExpression(unknown).has_value()) << unknown;
}

}  // namespace
