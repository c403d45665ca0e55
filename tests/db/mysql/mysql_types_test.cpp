// Every MySQL column type through a real server: the type code and field description it reports,
// and the value each kind of content arrives as (limits, NULL, zero dates, exact decimals,
// utf8mb4 text, bytes with NUL in them, bits, times beyond a day). Each case runs twice: as a
// SELECT (prepared, binary rows) and through a stored procedure (plain text rows).
#include <gtest/gtest.h>

#include <map>

#include "db/connection.h"
#include "db/error.h"
#include "tests/support/mysql_scratch.h"
#include "tests/support/test_env.h"

using db::DateTime;
using db::Value;

namespace {

constexpr const char* kCreate =
    "CREATE TABLE all_types ("
    " id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,"
    " ti TINYINT, tiu TINYINT UNSIGNED, si SMALLINT, siu SMALLINT UNSIGNED, yr YEAR,"
    " mi MEDIUMINT, miu MEDIUMINT UNSIGNED, i INT, iu INT UNSIGNED, bi BIGINT,"
    " biu BIGINT UNSIGNED, f FLOAT, d DOUBLE, dec65 DECIMAL(65,30), dec10 DECIMAL(10,2) UNSIGNED,"
    " dt DATE, tm TIME(6), dtm DATETIME(6), ts TIMESTAMP NULL DEFAULT NULL,"
    " c CHAR(10), e ENUM('red','green'), st SET('a','b','c'), vc VARCHAR(80),"
    " tt TINYTEXT, tx TEXT, mt MEDIUMTEXT, lt LONGTEXT, js JSON,"
    " bn BINARY(4), vb VARBINARY(8), tb TINYBLOB, bl BLOB, mb MEDIUMBLOB, lb LONGBLOB, pt POINT,"
    " b1 BIT(1), b10 BIT(10), nn VARCHAR(5) NOT NULL DEFAULT '')";

struct Expected {
    const char* name;
    int type;
    long definedSize;
};

// What each column reports: the codes of the platform's data-access layer, sizes in characters
// for text and in bytes for everything else.
const Expected kExpected[] = {
    {"id", 3, 4},
    {"ti", 16, 1},
    {"tiu", 17, 1},
    {"si", 2, 2},
    {"siu", 18, 2},
    {"yr", 2, 2},
    {"mi", 3, 4},
    {"miu", 19, 4},
    {"i", 3, 4},
    {"iu", 19, 4},
    {"bi", 20, 8},
    {"biu", 21, 8},
    {"f", 4, 4},
    {"d", 5, 8},
    {"dec65", 131, 67},
    {"dec10", 131, 11},
    {"dt", 133, 10},
    {"tm", 134, 17},
    {"dtm", 135, 26},
    {"ts", 135, 19},
    {"c", 129, 10},
    {"e", 129, 5},
    {"st", 129, 5},
    {"vc", 200, 80},
    {"tt", 201, 255},
    {"tx", 201, 65535},
    {"mt", 201, 16777215},
    {"lt", 201, 1073741823},
    {"js", 201, 1073741823},
    {"bn", 128, 4},
    {"vb", 204, 8},
    {"tb", 205, 255},
    {"bl", 205, 65535},
    {"mb", 205, 16777215},
    {"lb", 205, 4294967295},
    {"pt", 205, 4294967295},
    {"b1", 11, 1},
    {"b10", 128, 2},
    {"nn", 200, 5},
};

class MySqlTypes : public ::testing::Test {
  protected:
    void SetUp() override {
        DM_REQUIRE_MYSQL();
        scratch_ = std::make_unique<testenv::MySqlScratch>();
        scratch_->exec(kCreate);
        scratch_->exec("CREATE PROCEDURE row_of(k INT) SELECT * FROM all_types WHERE id = k");
        scratch_->exec("CREATE PROCEDURE all_rows() SELECT * FROM all_types");
        connection_.setCursorLocation(db::kAdUseClient);
        connection_.open(scratch_->connectionString());
    }

    std::unique_ptr<testenv::MySqlScratch> scratch_;
    db::Connection connection_;
};

// Runs with GetParam() false as SELECT, true through the procedures.
class MySqlTypesBothWays : public MySqlTypes, public ::testing::WithParamInterface<bool> {
  protected:
    std::unique_ptr<db::Recordset> allRows() {
        return connection_.execute(GetParam() ? "CALL all_rows()" : "SELECT * FROM all_types");
    }
    // The row with `id`, each column by name.
    std::map<std::string, Value> row(int id) {
        const std::string k = std::to_string(id);
        auto rs = connection_.execute(GetParam() ? "CALL row_of(" + k + ")"
                                                 : "SELECT * FROM all_types WHERE id = " + k);
        EXPECT_EQ(rs->recordCount(), 1);
        std::map<std::string, Value> out;
        for (int i = 0; i < rs->fieldCount(); ++i) {
            const db::Field f = rs->field(static_cast<std::size_t>(i));
            out[f.name()] = f.value();
        }
        return out;
    }
};

INSTANTIATE_TEST_SUITE_P(Protocols, MySqlTypesBothWays, ::testing::Values(false, true),
                         [](const auto& testInfo) { return testInfo.param ? "Text" : "Prepared"; });

DateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ns = 0) {
    return DateTime{y, mo, d, h, mi, s, ns};
}

db::Bytes bytes(std::initializer_list<int> list) {
    db::Bytes b;
    for (int v : list)
        b.push_back(static_cast<std::uint8_t>(v));
    return b;
}

}  // namespace

TEST_P(MySqlTypesBothWays, EveryColumnReportsItsTypeCodeAndSize) {
    auto rs = allRows();
    ASSERT_EQ(rs->fieldCount(), static_cast<int>(std::size(kExpected)));
    for (std::size_t i = 0; i < std::size(kExpected); ++i) {
        const db::Field f = rs->field(i);
        EXPECT_EQ(f.name(), kExpected[i].name);
        EXPECT_EQ(f.type(), kExpected[i].type) << kExpected[i].name;
        EXPECT_EQ(f.definedSize(), kExpected[i].definedSize) << kExpected[i].name;
    }
    const db::FieldInfo& id = rs->field("id").info();
    EXPECT_FALSE(id.nullable);
    EXPECT_TRUE(id.autoIncrement);
    EXPECT_FALSE(rs->field("nn").info().nullable);
    EXPECT_TRUE(rs->field("vc").info().nullable);
    EXPECT_FALSE(rs->field("vc").info().autoIncrement);
    EXPECT_EQ(rs->field("dec65").precision(), 65);
    EXPECT_EQ(rs->field("dec65").numericScale(), 30);
    EXPECT_EQ(rs->field("dec10").precision(), 10);
    EXPECT_EQ(rs->field("dec10").numericScale(), 2);
    EXPECT_EQ(rs->field("i").precision(), 10);
    EXPECT_EQ(rs->field("biu").precision(), 20);
    EXPECT_EQ(rs->field("tm").numericScale(), 6);
}

TEST_P(MySqlTypesBothWays, LimitsAndContentArriveExactly) {
    scratch_->exec(
        "INSERT INTO all_types (ti, tiu, si, siu, yr, mi, miu, i, iu, bi, biu, f, d, dec65, dec10,"
        " dt, tm, dtm, ts, c, e, st, vc, tt, tx, mt, lt, js, bn, vb, tb, bl, mb, lb, pt, b1, b10)"
        " VALUES (-128, 255, -32768, 65535, 2024, -8388608, 16777215, -2147483648, 4294967295,"
        " -9223372036854775808, 18446744073709551615, 1.5, 0.1,"
        " '-99999999999999999999999999999999999.999999999999999999999999999999', '12345678.90',"
        " '2024-02-29', '838:59:59', '2024-01-15 09:30:00.123456', '2038-01-19 03:14:07',"
        " 'abc  ', 'green', 'c,a', '😀 Ærø 上海 ''quoted'' \\\\ back', 'tiny', 'text',"
        " 'medium', 'long', '{\"a\": [1, 2]}', X'00FF', X'00010200', X'00', X'610062',"
        " X'FFFE00', X'000102', ST_GeomFromText('POINT(1 2)'), b'1', b'1000000001')");
    auto v = row(1);
    EXPECT_EQ(v["id"], Value::integer(1));
    EXPECT_EQ(v["ti"], Value::integer(-128));
    EXPECT_EQ(v["tiu"], Value::integer(255));
    EXPECT_EQ(v["si"], Value::integer(-32768));
    EXPECT_EQ(v["siu"], Value::integer(65535));
    EXPECT_EQ(v["yr"], Value::integer(2024));
    EXPECT_EQ(v["mi"], Value::integer(-8388608));
    EXPECT_EQ(v["miu"], Value::integer(16777215));
    EXPECT_EQ(v["i"], Value::integer(-2147483648LL));
    EXPECT_EQ(v["iu"], Value::integer(4294967295LL));
    EXPECT_EQ(v["bi"], Value::integer(INT64_MIN));
    EXPECT_EQ(v["biu"], Value::unsignedInteger(UINT64_MAX));
    EXPECT_EQ(v["f"], Value::single(1.5f));
    EXPECT_EQ(v["d"], Value::doubleValue(0.1));
    ASSERT_EQ(v["dec65"].kind(), Value::Kind::Decimal);
    EXPECT_EQ(v["dec65"].asDecimal().toString(),
              "-99999999999999999999999999999999999.999999999999999999999999999999");
    EXPECT_EQ(v["dec65"].asDecimal().precision, 65);
    EXPECT_EQ(v["dec65"].asDecimal().scale, 30);
    EXPECT_EQ(v["dec10"].asDecimal().toString(), "12345678.90");
    EXPECT_EQ(v["dt"], Value::dateTime(at(2024, 2, 29)));
    EXPECT_EQ(v["tm"], Value::dateTime(at(1900, 2, 2, 22, 59, 59)));
    EXPECT_EQ(v["dtm"], Value::dateTime(at(2024, 1, 15, 9, 30, 0, 123456000)));
    EXPECT_EQ(v["ts"], Value::dateTime(at(2038, 1, 19, 3, 14, 7)));
    EXPECT_EQ(v["c"], Value::text("abc"));  // CHAR drops trailing blanks, as the server reads it
    EXPECT_EQ(v["e"], Value::text("green"));
    EXPECT_EQ(v["st"], Value::text("a,c"));
    EXPECT_EQ(v["vc"], Value::text("😀 Ærø 上海 'quoted' \\ back"));
    EXPECT_EQ(v["tt"], Value::text("tiny"));
    EXPECT_EQ(v["tx"], Value::text("text"));
    EXPECT_EQ(v["mt"], Value::text("medium"));
    EXPECT_EQ(v["lt"], Value::text("long"));
    EXPECT_EQ(v["js"], Value::text("{\"a\": [1, 2]}"));
    EXPECT_EQ(v["bn"], Value::binary(bytes({0x00, 0xFF, 0x00, 0x00})));  // padded to 4
    EXPECT_EQ(v["vb"], Value::binary(bytes({0x00, 0x01, 0x02, 0x00})));
    EXPECT_EQ(v["tb"], Value::binary(bytes({0x00})));
    EXPECT_EQ(v["bl"], Value::binary(bytes({'a', 0x00, 'b'})));
    EXPECT_EQ(v["mb"], Value::binary(bytes({0xFF, 0xFE, 0x00})));
    EXPECT_EQ(v["lb"], Value::binary(bytes({0x00, 0x01, 0x02})));
    ASSERT_EQ(v["pt"].kind(), Value::Kind::Binary);
    EXPECT_EQ(v["pt"].asBinary().size(), 25u);  // SRID and the point's well-known binary
    EXPECT_EQ(v["b1"], Value::boolean(true));
    EXPECT_EQ(v["b10"], Value::binary(bytes({0x02, 0x01})));
    EXPECT_EQ(v["nn"], Value::text(""));
}

TEST_P(MySqlTypesBothWays, NullInEveryColumn) {
    scratch_->exec("INSERT INTO all_types (id) VALUES (2)");
    for (const auto& [name, value] : row(2)) {
        if (name == "id" || name == "nn") continue;
        EXPECT_TRUE(value.isNull()) << name << " = " << value.toDebugString();
    }
}

TEST_P(MySqlTypesBothWays, ZeroDatesAreNullAndNegativeTimesRunBackward) {
    scratch_->exec(
        "INSERT INTO all_types (id, dt, dtm, ts, tm, b1, biu, f, d, dec10) VALUES (3,"
        " '0000-00-00', '0000-00-00 00:00:00', '0000-00-00 00:00:00', '-01:30:00.5', b'0', 5,"
        " -0.25, 1.7976931348623157e308, 0)");
    auto v = row(3);
    EXPECT_TRUE(v["dt"].isNull());
    EXPECT_TRUE(v["dtm"].isNull());
    EXPECT_TRUE(v["ts"].isNull());
    EXPECT_EQ(v["tm"], Value::dateTime(at(1899, 12, 29, 22, 29, 59, 500000000)));
    EXPECT_EQ(v["b1"], Value::boolean(false));
    EXPECT_EQ(v["biu"], Value::integer(5));  // unsigned, but within the signed range
    EXPECT_EQ(v["f"], Value::single(-0.25f));
    EXPECT_EQ(v["d"], Value::doubleValue(1.7976931348623157e308));
    EXPECT_EQ(v["dec10"].asDecimal().toString(), "0.00");
}

TEST_P(MySqlTypesBothWays, LongAndNulFilledValuesKeepEveryByte) {
    // 300,032 bytes cycling through every byte value, and 100,000 four-byte characters.
    scratch_->exec("INSERT INTO all_types (id, lt) VALUES (4, REPEAT('😀', 100000))");
    std::string hex;
    for (int b = 0; b < 256; ++b) {
        char h[3];
        std::snprintf(h, sizeof h, "%02X", b);
        hex += h;
    }
    scratch_->exec("UPDATE all_types SET lb = REPEAT(UNHEX('" + hex + "'), 1172) WHERE id = 4");
    auto v = row(4);
    ASSERT_EQ(v["lb"].kind(), Value::Kind::Binary);
    const db::Bytes& b = v["lb"].asBinary();
    ASSERT_EQ(b.size(), 256u * 1172u);
    for (std::size_t k = 0; k < b.size(); ++k)
        if (b[k] != static_cast<std::uint8_t>(k % 256)) {
            ADD_FAILURE() << "byte " << k << " is " << int(b[k]);
            break;
        }
    ASSERT_EQ(v["lt"].kind(), Value::Kind::Text);
    std::string emoji;
    for (int k = 0; k < 100000; ++k)
        emoji += "😀";
    EXPECT_EQ(v["lt"].asText(), emoji);
}

TEST_F(MySqlTypes, ExpressionsAndEscapesInTheStatementText) {
    auto rs = connection_.execute(
        "SELECT NULL AS n, 1.5 AS dec1, 'a\\0b' AS nul, X'00' AS bin, CAST(2 AS UNSIGNED) AS u, "
        "CAST('12:00:00' AS TIME) AS t, 'é' AS e");
    ASSERT_FALSE(rs->eof());
    EXPECT_TRUE(rs->field("n").value().isNull());
    EXPECT_EQ(rs->field("dec1").type(), 131);
    EXPECT_EQ(rs->field("dec1").value().asDecimal().toString(), "1.5");
    EXPECT_EQ(rs->field("nul").value(), Value::text(std::string("a\0b", 3)));
    EXPECT_EQ(rs->field("nul").type(), 200);
    EXPECT_EQ(rs->field("bin").value(), Value::binary(bytes({0})));
    EXPECT_EQ(rs->field("bin").type(), 204);
    EXPECT_EQ(rs->field("u").value(), Value::integer(2));
    EXPECT_EQ(rs->field("t").value(), Value::dateTime(at(1899, 12, 30, 12)));
    EXPECT_EQ(rs->field("e").value(), Value::text("é"));
}

TEST_F(MySqlTypes, SessionSpeaksUtf8mb4) {
    auto rs = connection_.execute(
        "SELECT @@character_set_client, @@character_set_connection, @@character_set_results");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(rs->field(static_cast<std::size_t>(i)).value(), Value::text("utf8mb4"));
}

TEST_F(MySqlTypes, FloatKeepsEveryBitWhenSelected) {
    // The text protocol would give 16777200, 123457000 and 3.14159 here.
    scratch_->exec("CREATE TABLE f (id INT PRIMARY KEY, v FLOAT)");
    scratch_->exec(
        "INSERT INTO f VALUES (1, 16777216), (2, 123456789), (3, 3.14159274), (4, -1.17549435e-38),"
        " (5, 3.4028e38)");
    auto rs = connection_.execute("SELECT v FROM f ORDER BY id");
    const float expected[] = {16777216.0f, 123456792.0f, 3.14159274f, -1.17549435e-38f, 3.4028e38f};
    for (float e : expected) {
        ASSERT_FALSE(rs->eof());
        EXPECT_EQ(rs->field("v").value(), Value::single(e));
        rs->moveNext();
    }
    EXPECT_TRUE(rs->eof());
}

TEST_F(MySqlTypes, InvalidDatesKeepTheServersSpellingBothWays) {
    scratch_->exec("SET SESSION sql_mode = 'ALLOW_INVALID_DATES'");
    scratch_->exec(
        "INSERT INTO all_types (id, dt, dtm) VALUES (5, '2024-00-00', '2023-02-30 12:00:00.5')");
    for (const char* sql : {"SELECT dt, dtm FROM all_types WHERE id = 5", "CALL row_of(5)"}) {
        auto rs = connection_.execute(sql);
        EXPECT_EQ(rs->field("dt").value(), Value::text("2024-00-00")) << sql;
        EXPECT_EQ(rs->field("dtm").value(), Value::text("2023-02-30 12:00:00.500000")) << sql;
    }
}

TEST_F(MySqlTypes, RowsStayReadableAfterTheConnectionCloses) {
    scratch_->exec("INSERT INTO all_types (id, vc) VALUES (1, 'one'), (2, 'two')");
    auto rs = connection_.execute("SELECT vc FROM all_types ORDER BY id");
    connection_.close();
    EXPECT_EQ(rs->recordCount(), 2);
    EXPECT_EQ(rs->field("vc").value(), Value::text("one"));
    rs->moveNext();
    EXPECT_EQ(rs->field("vc").value(), Value::text("two"));
    rs->moveNext();
    EXPECT_TRUE(rs->eof());
}

TEST_F(MySqlTypes, QueriesOfEveryShape) {
    // Leading blanks and lower case, a parenthesised query, a common table expression, a query
    // that stores into a variable, and a placeholder (which is no SQL outside prepared use).
    EXPECT_EQ(connection_.execute(" \r\n\tselect 1 AS a")->field("a").value(), Value::integer(1));
    EXPECT_EQ(connection_.execute("(SELECT 2 AS a)")->field("a").value(), Value::integer(2));
    EXPECT_EQ(connection_.execute("WITH c AS (SELECT 3 AS a) SELECT a FROM c")->field("a").value(),
              Value::integer(3));
    EXPECT_EQ(connection_.execute("SELECT 4 INTO @x")->state(), db::kAdStateClosed);
    EXPECT_EQ(connection_.execute("SELECT @x AS a")->field("a").value(), Value::integer(4));
    try {
        connection_.execute("SELECT ? AS a");
        ADD_FAILURE() << "a placeholder ran";
    } catch (const db::Error& e) {
        EXPECT_EQ(e.number(), db::errc::kSyntax);
    }
    try {
        connection_.execute("SELECT 1; SELECT 2");
        ADD_FAILURE() << "two queries ran";
    } catch (const db::Error& e) {
        EXPECT_EQ(e.number(), db::errc::kSyntax);
        EXPECT_NE(e.description().find("near 'SELECT 2'"), std::string::npos);
    }
    try {
        connection_.execute("SELECT * FROM absent");
        ADD_FAILURE() << "no such table, yet no error";
    } catch (const db::Error& e) {
        EXPECT_EQ(e.number(), db::errc::kNoSuchTable);
        EXPECT_EQ(e.description(), "Table '" + scratch_->name() + ".absent' doesn't exist");
    }
}
