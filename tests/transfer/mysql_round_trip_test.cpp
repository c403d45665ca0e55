// Scripts for MySQL executed on the real server and read back: every kind of Access value
// arrives with the value it had, and hostile text arrives byte for byte without running anything
// of its own.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <set>
#include <vector>

#include "db/connection.h"
#include "review/script_executor.h"
#include "tests/support/mysql_scratch.h"
#include "tests/support/test_env.h"
#include "tests/transfer/script_runner.h"
#include "transfer/column_mapping.h"
#include "transfer/table_script.h"
#include "transfer/value_render.h"

using db::Value;
using transfer::Direction;
namespace ad = db::adtype;

namespace {

using Rows = std::vector<std::vector<Value>>;

db::FieldInfo field(std::string name, int type, int precision = 0, int scale = 0) {
    db::FieldInfo f;
    f.name = std::move(name);
    f.type = type;
    f.precision = precision;
    f.scale = scale;
    return f;
}

// The script for one table, as the send command writes it with the default mapping.
std::string scriptFor(const std::string& table, const std::vector<db::FieldInfo>& fields, Rows rows,
                      bool drop = false) {
    db::Recordset rs(std::make_unique<db::MemoryCursor>(fields, std::move(rows)));
    transfer::ScriptBuilder script(Direction::AccessToMySql);
    if (drop) script.appendDropTable(table);
    std::string create = transfer::createTableHead(table);
    transfer::completeDefaultCreate(create, Direction::AccessToMySql, rs);
    script.appendCreateTable(create);
    transfer::appendTableRows(script, rs, table);
    script.endTable();
    return script.take();
}

// Executes the script on a session of its own, as the review window does.
int runOn(testenv::MySqlScratch& db, const std::string& script) {
    db::Connection c;
    c.setCursorLocation(db::kAdUseClient);
    c.open(db.connectionString());
    return testenv::runScript(c, script);
}

Rows readBack(testenv::MySqlScratch& db, const std::string& sql) {
    auto rs = db.exec(sql);
    Rows out;
    while (!rs->eof()) {
        out.push_back(rs->row());
        rs->moveNext();
    }
    return out;
}

// What a value denotes once written for MySQL: the text of its literal, or the bytes of a
// binary literal.
std::string denoted(const Value& v) {
    if (v.kind() == Value::Kind::Boolean) return v.asBoolean() ? "1" : "0";
    if (v.kind() == Value::Kind::DateTime) {  // a date's literal needs no escapes
        const std::string literal = transfer::renderedValue(transfer::Direction::AccessToMySql, v);
        return literal.substr(1, literal.size() - 2);
    }
    if (v.kind() == Value::Kind::Binary) {
        const auto& b = v.asBinary();
        return std::string(b.begin(), b.end());
    }
    return transfer::valueText(v);
}

std::string arrived(const Value& v) {
    if (v.kind() == Value::Kind::Binary) {
        const auto& b = v.asBinary();
        return std::string(b.begin(), b.end());
    }
    return transfer::valueText(v);
}

}  // namespace

TEST(MySqlRoundTrip, EveryAccessKindArrivesWithItsValue) {
    DM_REQUIRE_MYSQL();
    testenv::MySqlScratch db;
    db::Guid guid{};
    ASSERT_TRUE(db::parseGuid("{6A4D0E8E-1C1F-4E2A-9B3C-0123456789AB}", guid));
    db::DateTime when;
    when.year = 2026, when.month = 8, when.day = 12, when.hour = 15, when.minute = 4,
    when.second = 5;
    db::DateTime midnight = db::DateTime::fromDays(45000);
    db::DateTime timeOnly;
    timeOnly.hour = 23, timeOnly.minute = 59, timeOnly.second = 58;
    db::Bytes picture;
    for (int i = 0; i < 200000; ++i)
        picture.push_back(static_cast<std::uint8_t>(i * 7));

    const std::vector<db::FieldInfo> fields{
        field("Yes", ad::kBoolean),       field("Byte", ad::kUnsignedTinyInt),
        field("Int", ad::kSmallInt),      field("Long", ad::kInteger),
        field("Money", ad::kCurrency),    field("Single", ad::kSingle),
        field("Double", ad::kDouble),     field("When", ad::kDate),
        field("Text", ad::kVarWChar),     field("Memo", ad::kLongVarWChar),
        field("Ole", ad::kLongVarBinary), field("Guid", ad::kGuid),
        field("Dec", ad::kNumeric, 28, 6)};
    Rows rows{
        {Value::boolean(true), Value::integer(255), Value::integer(-32768), Value::integer(INT_MIN),
         Value::currency({INT64_MIN}), Value::single(-FLT_MIN), Value::doubleValue(DBL_MAX),
         Value::dateTime(when), Value::text("plain"), Value::text(std::string(70000, 'm')),
         Value::binary(picture), Value::guid(guid),
         Value::decimal(db::Decimal::parse("-1234567890123456789012.123456"))},
        {Value::boolean(false), Value::integer(0), Value::integer(32767), Value::integer(INT_MAX),
         Value::currency({INT64_MAX}), Value::single(0.1f),
         Value::doubleValue(-4.9406564584124654e-324), Value::dateTime(midnight),
         Value::text("Ødegård 上海 \xF0\x9F\x98\x80"), Value::text("line\r\nbreak"),
         Value::binary({0x00, 0x27, 0x5C}), Value::null(),
         Value::decimal(db::Decimal::parse("0.000001"))},
        {Value::null(), Value::null(), Value::null(), Value::null(), Value::null(),
         Value::single(FLT_MAX), Value::doubleValue(0.1), Value::dateTime(timeOnly), Value::null(),
         Value::null(), Value::null(), Value::null(), Value::null()},
        {Value::null(), Value::null(), Value::null(), Value::null(), Value::null(),
         Value::single(1.0f / 3.0f), Value::doubleValue(1.0 / 3.0), Value::null(), Value::null(),
         Value::null(), Value::null(), Value::null(), Value::null()},
    };
    const std::string script = scriptFor("Kinds", fields, rows);
    EXPECT_EQ(runOn(db, script), 5);

    const Rows back = readBack(db, "SELECT * FROM `Kinds`");
    ASSERT_EQ(back.size(), rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        ASSERT_EQ(back[r].size(), fields.size());
        for (std::size_t c = 0; c < fields.size(); ++c) {
            const Value& sent = rows[r][c];
            if (sent.isNull()) {
                EXPECT_TRUE(back[r][c].isNull()) << fields[c].name << " row " << r;
                continue;
            }
            EXPECT_EQ(arrived(back[r][c]), denoted(sent)) << fields[c].name << " row " << r;
        }
    }
    // The column types the default mapping chose, as the server reports them.
    EXPECT_EQ(db.scalar("SELECT DATA_TYPE FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = "
                        "DATABASE() AND COLUMN_NAME = 'Memo'"),
              "longtext");
    EXPECT_EQ(db.scalar("SELECT DATA_TYPE FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = "
                        "DATABASE() AND COLUMN_NAME = 'Ole'"),
              "longblob");
    EXPECT_EQ(db.scalar("SELECT DATA_TYPE FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = "
                        "DATABASE() AND COLUMN_NAME = 'Double'"),
              "double");
}

// Line by line, and through the review window's runner, which groups lines into transactions and
// merges the INSERT lines of a table into multi-row statements.
class HostileText : public ::testing::TestWithParam<bool> {};

TEST_P(HostileText, ArrivesByteForByteAndRunsNothing) {
    DM_REQUIRE_MYSQL();
    const bool reviewRunner = GetParam();
    testenv::MySqlScratch db;
    db.exec("CREATE TABLE x (a INT)");
    const std::vector<std::string> corpus{
        "it's",
        "''",
        "\\",
        "ends with a backslash\\",
        "\\'",
        "\\''",
        "'; DROP TABLE x; --",
        "\\'; DROP TABLE x; -- ",
        "`; DROP TABLE x; `",
        std::string("nul\0inside", 10),
        std::string(1, '\0'),
        "lone\rcr",
        "lone\nlf",
        "\n\r",
        "tab\there",
        "%_ wildcards",
        "\\n is not a line break, \\t not a tab, \\0 not a NUL, \\Z not a ^Z",
        "\x1A control-Z",
        "\xF0\x9F\x98\x80\xF0\x9F\x8C\x8D non-BMP",
        "\xE2\x80\xAE right-to-left override",
        std::string(70000, '\\'),
        std::string(35000, '\'') + std::string(35000, 'x'),
    };
    Rows rows;
    for (std::size_t i = 0; i < corpus.size(); ++i)
        // An Access Text field holds at most 255 characters; the long ones go to the Memo only.
        rows.push_back({Value::integer(static_cast<long>(i)),
                        corpus[i].size() <= 255 ? Value::text(corpus[i]) : Value::null(),
                        Value::text(corpus[i])});
    const std::string script = scriptFor("Hostile",
                                         {field("ID", ad::kInteger), field("Short", ad::kVarWChar),
                                          field("Long", ad::kLongVarWChar)},
                                         rows);
    if (reviewRunner) {
        db::Connection c;
        c.setCursorLocation(db::kAdUseClient);
        c.open(db.connectionString());
        const review::ExecutionResult result =
            review::executeScript(c, review::ScriptText(script), review::ExecutionSettings{});
        EXPECT_EQ(result.status, review::ExecutionResult::Status::Completed) << result.description;
        EXPECT_LT(result.statements, corpus.size());  // the rows went merged
    } else {
        EXPECT_EQ(runOn(db, script), 1 + static_cast<int>(corpus.size()));
    }

    const Rows back = readBack(db, "SELECT ID, Short, `Long` FROM `Hostile` ORDER BY ID");
    ASSERT_EQ(back.size(), corpus.size());
    for (std::size_t i = 0; i < corpus.size(); ++i) {
        EXPECT_EQ(back[i][0].asInteger(), static_cast<long>(i));
        if (corpus[i].size() <= 255) {
            EXPECT_EQ(back[i][1].asText(), corpus[i]) << i;
        }
        EXPECT_EQ(back[i][2].asText(), corpus[i]) << i;
    }
    // Nothing but the script's own statements ran: the other table is still there, no more.
    const Rows tables = readBack(db, "SHOW TABLES");
    std::set<std::string> names;
    for (const auto& t : tables)
        names.insert(t[0].asText());
    EXPECT_EQ(names, (std::set<std::string>{"Hostile", "x"}));
}

INSTANTIATE_TEST_SUITE_P(LineByLineAndMerged, HostileText, ::testing::Bool());

TEST(MySqlRoundTrip, EmptyTablesNullRowsAndAnOverwrittenTable) {
    DM_REQUIRE_MYSQL();
    testenv::MySqlScratch db;
    db.exec("CREATE TABLE `Orders` (old INT)");
    db.exec("INSERT INTO `Orders` VALUES (1)");
    const std::vector<db::FieldInfo> fields{field("ID", ad::kInteger),
                                            field("Name", ad::kVarWChar)};
    std::string script =
        scriptFor("Orders", fields,
                  {{Value::null(), Value::null()}, {Value::integer(1), Value::text("\r\n")}},
                  /*drop=*/true);
    script += scriptFor("Empty", fields, {});
    EXPECT_EQ(runOn(db, script), 5);
    const Rows back = readBack(db, "SELECT * FROM `Orders`");
    ASSERT_EQ(back.size(), 2u);
    EXPECT_TRUE(back[0][0].isNull());
    EXPECT_TRUE(back[0][1].isNull());
    EXPECT_EQ(back[1][1].asText(), "\r\n");
    EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM `Empty`"), "0");
}

// An overwritten table whose name holds backquotes: the DROP line drops that one table, and
// the tables its name would spell without the doubled quotes ("a1" and "c3") keep their rows.
TEST(MySqlRoundTrip, AnOverwrittenTableWithBackquotesInItsNameDropsOnlyItself) {
    DM_REQUIRE_MYSQL();
    testenv::MySqlScratch db;
    const std::string table = "a1`, `c3";
    db.exec("CREATE TABLE `a1` (id INT)");
    db.exec("INSERT INTO `a1` VALUES (11)");
    db.exec("CREATE TABLE `c3` (id INT)");
    db.exec("INSERT INTO `c3` VALUES (33)");
    db.exec("CREATE TABLE `a1``, ``c3` (old INT)");
    db.exec("INSERT INTO `a1``, ``c3` VALUES (1), (2)");
    const std::vector<db::FieldInfo> fields{field("ID", ad::kInteger)};
    EXPECT_EQ(runOn(db, scriptFor(table, fields, {{Value::integer(7)}}, /*drop=*/true)), 3);
    EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = "
                        "DATABASE()"),
              "3");
    EXPECT_EQ(db.scalar("SELECT id FROM `a1`"), "11");
    EXPECT_EQ(db.scalar("SELECT id FROM `c3`"), "33");
    const Rows back = readBack(db, "SELECT * FROM `a1``, ``c3`");
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0][0].asInteger(), 7);
}
