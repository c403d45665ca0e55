// The ends of every value range, sent by dunmorrow-cli as a user sends them: a MySQL database
// of whole numbers at their limits, times past a day and below zero, zero dates and dates no
// Access file holds, fractions of a second, ENUM, SET, JSON and geometry goes into a new Access
// file of every writable format and back into MySQL; Access files of every format with their
// own extremes go into MySQL and back into new Access files. Each way by the default mapping,
// by the proposed types and with the keys, every value is compared with the rule of its type,
// and the values that no Access column holds are named in the notes with their count.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "db/access_features.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "db/type_names.h"
#include "tests/support/mysql_scratch.h"
#include "tests/support/run_program.h"
#include "tests/support/test_env.h"
#include "tests/transfer/round_trip_values.h"

namespace {

namespace fs = std::filesystem;
namespace ad = db::adtype;

const std::vector<std::string> kFormats = {"jet4", "ace12", "ace14", "ace16", "ace17"};

// How a column's values are compared.
enum class Kind {
    Whole,  // a whole number, by its digits
    Time,   // a MySQL TIME, by the server's text of it
    Date,   // a date and time, to the digits of a second the column keeps
    Text,   // text (or a number whose text names it exactly)
    Bytes,  // binary, byte for byte
};

struct Column {
    std::string name;
    Kind kind;
    int fraction = 0;  // digits of a second the source column keeps
};

// A row of values as compared: nullopt for Null.
using Line = std::vector<std::optional<std::string>>;

struct Date {
    long year = 0;
    int month = 0, day = 0, hour = 0, minute = 0, second = 0;
    long nanos = 0;
};

// "Y-M-D[( |T)H:M:S[.digits]]", as a server or a text column spells a date.
std::optional<Date> parseDate(const std::string& s) {
    Date d;
    int used = 0;
    if (std::sscanf(s.c_str(), "%ld-%d-%d%n", &d.year, &d.month, &d.day, &used) != 3) return {};
    std::size_t i = static_cast<std::size_t>(used);
    if (i < s.size() && (s[i] == ' ' || s[i] == 'T')) {
        if (std::sscanf(s.c_str() + i + 1, "%d:%d:%d%n", &d.hour, &d.minute, &d.second, &used) != 3)
            return {};
        i += 1 + static_cast<std::size_t>(used);
        if (i < s.size() && s[i] == '.') {
            long scale = 100'000'000;
            for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, scale /= 10)
                d.nanos += (s[i] - '0') * scale;
        }
    }
    if (i != s.size()) return {};
    return d;
}

// A date with `digits` digits of its second (the rest cut), nine digits always written.
std::string dateText(Date d, int digits) {
    long unit = 1'000'000'000;
    for (int k = 0; k < digits; ++k)
        unit /= 10;
    d.nanos -= d.nanos % unit;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04ld-%02d-%02d %02d:%02d:%02d.%09ld", d.year, d.month, d.day,
                  d.hour, d.minute, d.second, d.nanos);
    return buf;
}

// No Access date holds the zero date, a zero month or day, or a year before 100.
bool accessHolds(const Date& d) {
    return d.year >= 100 && d.month != 0 && d.day != 0;
}

std::optional<std::string> compared(const db::Value& v, Kind kind, int digits = 9) {
    if (v.isNull()) return std::nullopt;
    if (kind == Kind::Date) {
        if (v.kind() == db::Value::Kind::DateTime) {
            const db::DateTime& t = v.asDateTime();
            return dateText({t.year, t.month, t.day, t.hour, t.minute, t.second, t.nanosecond},
                            digits);
        }
        const auto d = parseDate(testenv::arrivedText(v));
        if (!d) return "(no date: " + testenv::arrivedText(v) + ")";
        return dateText(*d, digits);
    }
    std::string text = testenv::arrivedText(v);
    if (kind == Kind::Whole) {  // YEAR 0 is "0000" in the server's text
        const std::size_t sign = text.rfind('-', 0) == 0 ? 1 : 0;
        while (text.size() > sign + 1 && text[sign] == '0')
            text.erase(sign, 1);
    }
    return text;
}

struct Read {
    std::vector<db::FieldInfo> fields;
    std::vector<Line> lines;
};

// The rows of `sql` as compared by the kinds of `columns` (one a field, in order).
Read read(const std::string& connectionString, const std::string& sql,
          const std::vector<Column>& columns, const std::vector<int>& digits = {}) {
    db::Connection c;
    c.setCursorLocation(db::kAdUseClient);
    c.open(connectionString);
    db::Recordset rs;
    rs.open(sql, c);
    Read out;
    EXPECT_EQ(rs.fieldCount(), static_cast<int>(columns.size())) << sql;
    for (int i = 0; i < rs.fieldCount(); ++i)
        out.fields.push_back(rs.field(static_cast<std::size_t>(i)).info());
    for (; !rs.eof(); rs.moveNext()) {
        Line line;
        for (std::size_t i = 0; i < columns.size(); ++i)
            line.push_back(
                compared(rs.row().at(i), columns[i].kind, digits.empty() ? 9 : digits[i]));
        out.lines.push_back(std::move(line));
    }
    // In the order of the first column, a whole number: rows keep no order of their own.
    std::sort(out.lines.begin(), out.lines.end(), [](const Line& a, const Line& b) {
        return std::stoll(a.at(0).value_or("0")) < std::stoll(b.at(0).value_or("0"));
    });
    return out;
}

std::string shown(const std::optional<std::string>& v) {
    if (!v) return "(Null)";
    return v->size() > 80 ? v->substr(0, 80) + "... (" + std::to_string(v->size()) + " bytes)" : *v;
}

void expectSameLines(const std::vector<Line>& got, const std::vector<Line>& want,
                     const std::vector<Column>& columns) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t r = 0; r < want.size(); ++r)
        for (std::size_t c = 0; c < columns.size(); ++c)
            EXPECT_TRUE(got[r][c] == want[r][c])
                << "row " << r + 1 << ", column " << columns[c].name << ": got " << shown(got[r][c])
                << ", want " << shown(want[r][c]);
}

std::string accessString(const std::string& path) {
    return db::buildAccessConnectionString(db::LoginFields{}, path, "");
}

std::string selectAll(const std::string& table, bool mysql) {
    return "SELECT * FROM " + (mysql ? "`" + table + "`" : "[" + table + "]");
}

class ValueRanges : public ::testing::Test {
  protected:
    void SetUp() override { ::setenv("DUNMORROW_MYSQL_PASSWORD", password().c_str(), 1); }
    void TearDown() override { ::unsetenv("DUNMORROW_MYSQL_PASSWORD"); }
    static std::string password() { return testenv::mysqlServer().password; }

    std::string address(const testenv::MySqlScratch& db) const {
        const auto s = testenv::mysqlServer();
        return "mysql://" + s.user + "@" + s.host + ":" + s.port + "/" + db.name();
    }
    testenv::ProgramResult cli(std::vector<std::string> args) {
        args.insert(args.begin(), DM_CLI_PATH);
        return testenv::runProgram(args);
    }
    std::string fileFor(const std::string& stem, const std::string& format) {
        return (dir.path() / (stem + "-" + format + (format == "jet4" ? ".mdb" : ".accdb")))
            .string();
    }

    testenv::TempDir dir;
};

// The sends of one round: by the default mapping or the proposed types, with or without keys.
struct Way {
    bool proposed;
    bool keys;
    std::string name() const {
        return std::string(proposed ? "proposed types" : "default mapping") +
               (keys ? ", keys" : "");
    }
    std::vector<std::string> options() const {
        std::vector<std::string> o = {"--quiet"};
        if (proposed) o.push_back("--proposed-types");
        if (keys) o.push_back("--keys");
        return o;
    }
};
const std::vector<Way> kWays = {{false, false}, {true, false}, {false, true}, {true, true}};

struct SourceTable {
    std::string name;
    std::vector<Column> columns;
};

// Whole numbers at both ends of every MySQL integer type, times, dates and the text-like types.
std::vector<SourceTable> makeMySqlExtremes(testenv::MySqlScratch& db) {
    db.exec(
        "CREATE TABLE ints (id INT NOT NULL PRIMARY KEY, b BIGINT, bu BIGINT UNSIGNED, "
        "iu INT UNSIGNED, i INT, t TINYINT, tu TINYINT UNSIGNED, s SMALLINT, su SMALLINT "
        "UNSIGNED, m MEDIUMINT, mu MEDIUMINT UNSIGNED, y YEAR, KEY big (b), UNIQUE KEY ubig (bu))");
    db.exec(
        "INSERT INTO ints VALUES "
        "(1, -9223372036854775808, 18446744073709551615, 4294967295, -2147483648, -128, 255, "
        "-32768, 65535, -8388608, 16777215, 1901), "
        "(2, 9223372036854775807, 0, 0, 2147483647, 127, 0, 32767, 0, 8388607, 0, 2155), "
        "(3, -1, 9223372036854775808, 2147483648, 0, -1, 1, -1, 32768, -1, 8388608, 0), "
        "(4, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL)");
    // The server keeps zero dates and zero parts only when its mode lets it.
    db.exec("SET SESSION sql_mode = ''");
    db.exec(
        "CREATE TABLE times (id INT NOT NULL PRIMARY KEY, t TIME, t6 TIME(6), d DATE, "
        "dt DATETIME, dt3 DATETIME(3), dt6 DATETIME(6), ts TIMESTAMP(6) NULL DEFAULT NULL)");
    db.exec(
        "INSERT INTO times VALUES "
        "(1, '838:59:59', '-838:59:59.000000', '0000-00-00', '0000-00-00 00:00:00', "
        "'1000-01-01 00:00:00.000', '9999-12-31 23:59:59.999999', '1970-01-01 00:00:01.000000'), "
        "(2, '-00:00:01', '00:00:00.000001', '9999-12-31', '0099-12-31 23:59:59', "
        "'2024-02-29 12:34:56.789', '2024-02-29 12:34:56.123456', '2038-01-19 03:14:07.999999'), "
        "(3, '24:00:00', '-00:00:00.500000', '0100-01-01', '0100-01-01 00:00:00', "
        "'2000-00-15 00:00:00.000', '0001-01-01 00:00:00.000001', NULL), "
        "(4, NULL, NULL, '2024-00-00', NULL, NULL, '2000-01-01 00:00:00.000999', NULL)");
    // The longest ENUM member and the longest SET list come after a first row of short ones.
    std::string wideMembers, wideAll;
    for (int k = 0; k < 40; ++k) {
        char m[24];
        std::snprintf(m, sizeof m, "member%02d", k);
        wideMembers += std::string(k ? "," : "") + "'" + m + "'";
        wideAll += std::string(k ? "," : "") + m;
    }
    db.exec(
        "CREATE TABLE texts (id INT NOT NULL PRIMARY KEY, "
        "e ENUM('a', 'Ødegård 上海 and the longest member', ''), "
        "st SET('x', 'yy', 'zzz', 'Ø'), wide SET(" +
        wideMembers + "), j JSON, g GEOMETRY, p POINT)");
    std::string big = "{\"text\": \"";
    while (big.size() < 100'000)
        big += "Ødegård 上海 ";
    big += "\", \"n\": [1, -2.5e300, null, true]}";
    db.exec(
        "INSERT INTO texts VALUES (1, 'a', 'x', 'member00', '{\"k\": 1}', POINT(0, 0), "
        "POINT(1.5, -2.25)), "
        "(2, 'Ødegård 上海 and the longest member', 'x,yy,zzz,Ø', '" +
        wideAll + "', '" + big +
        "', ST_GeomFromText('POLYGON((0 0, 10 0, 10 10, 0 10, 0 0), (1 1, 2 1, 2 2, 1 1))'), "
        "POINT(-1e308, 1e308)), "
        "(3, '', '', '', '[]', ST_GeomFromText('GEOMETRYCOLLECTION EMPTY'), NULL), "
        "(4, NULL, NULL, NULL, NULL, NULL, NULL)");
    db.exec("SET SESSION sql_mode = DEFAULT");
    const auto whole = [](std::initializer_list<const char*> names) {
        std::vector<Column> out;
        for (const char* n : names)
            out.push_back({n, Kind::Whole});
        return out;
    };
    return {
        {"ints", whole({"id", "b", "bu", "iu", "i", "t", "tu", "s", "su", "m", "mu", "y"})},
        {"times",
         {{"id", Kind::Whole},
          {"t", Kind::Time},
          {"t6", Kind::Time},
          {"d", Kind::Date},
          {"dt", Kind::Date},
          {"dt3", Kind::Date, 3},
          {"dt6", Kind::Date, 6},
          {"ts", Kind::Date, 6}}},
        {"texts",
         {{"id", Kind::Whole},
          {"e", Kind::Text},
          {"st", Kind::Text},
          {"wide", Kind::Text},
          {"j", Kind::Text},
          {"g", Kind::Bytes},
          {"p", Kind::Bytes}}},
    };
}

// What the source holds, as the server writes it: times and dates in its own text.
std::vector<Line> sourceLines(testenv::MySqlScratch& db, const SourceTable& t) {
    std::string sql = "SELECT ";
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        const std::string c = "`" + t.columns[i].name + "`";
        const Kind k = t.columns[i].kind;
        sql += (i ? ", " : "") + (k == Kind::Time || k == Kind::Date || k == Kind::Whole
                                      ? "CAST(" + c + " AS CHAR)"
                                      : c);
    }
    sql += " FROM `" + t.name + "` ORDER BY `id`";
    std::vector<Column> asText = t.columns;
    for (auto& c : asText)
        if (c.kind == Kind::Date) c.kind = Kind::Text;  // the server's own text, unparsed
    return read(db.connectionString(), sql, asText).lines;
}

TEST_F(ValueRanges, MySqlExtremesGoIntoEveryAccessFormatAndComeBack) {
    DM_REQUIRE_MYSQL();
    testenv::MySqlScratch source;
    const std::vector<SourceTable> tables = makeMySqlExtremes(source);
    for (const Way& way : kWays) {
        for (const std::string& format : kFormats) {
            SCOPED_TRACE(way.name() + ", " + format);
            const std::string home = fileFor("extremes" + std::to_string(&way - &kWays[0]), format);
            std::vector<std::string> args = {"to-access", address(source), home,
                                             "--all",     "--format",      format};
            for (const auto& o : way.options())
                args.push_back(o);
            const auto there = cli(args);
            ASSERT_EQ(there.status, 0) << there.err;
            const db::AccessFileFeatures features = db::accessFileFeatures(home);
            testenv::MySqlScratch back;
            args = {"to-mysql", home, address(back), "--all"};
            for (const auto& o : way.options())
                args.push_back(o);
            const auto returned = cli(args);
            ASSERT_EQ(returned.status, 0) << returned.err;
            EXPECT_EQ(returned.err, "");

            std::string notes;
            for (const SourceTable& t : tables) {
                SCOPED_TRACE(t.name);
                const std::vector<Line> sent = sourceLines(source, t);
                const Read access = read(accessString(home), selectAll(t.name, false), t.columns);
                // What the Access file must hold: every value as it was, each date to the
                // digits its column keeps and Null where no Access date holds it, an empty
                // text Null unless the keys go too.
                std::vector<int> digits;
                for (std::size_t c = 0; c < t.columns.size(); ++c) {
                    const Column& col = t.columns[c];
                    const int type = access.fields[c].type;
                    if (col.kind == Kind::Date) {
                        const bool extended = type == ad::kDBTimeStamp;
                        EXPECT_EQ(extended, features.extendedDate && col.fraction > 0) << col.name;
                        digits.push_back(extended ? 6 : 3);
                    } else {
                        digits.push_back(9);
                    }
                    // Large Number where the file has it; no Access type holds BIGINT UNSIGNED's
                    // top half but the Decimal.
                    if (col.name == "b" || col.name == "iu") {
                        EXPECT_EQ(type, features.largeNumber ? ad::kBigInt : ad::kNumeric);
                    }
                    if (col.name == "bu") {
                        EXPECT_EQ(type, ad::kNumeric);
                    }
                }
                std::vector<Line> want = sent;
                for (Line& line : want)
                    for (std::size_t c = 0; c < t.columns.size(); ++c) {
                        auto& v = line[c];
                        if (!v) continue;
                        if (t.columns[c].kind == Kind::Date) {
                            const auto d = parseDate(*v);
                            ASSERT_TRUE(d) << *v;
                            v = accessHolds(*d) ? std::optional(dateText(*d, digits[c]))
                                                : std::nullopt;
                        } else if (v->empty() && t.columns[c].kind == Kind::Text && !way.keys) {
                            v.reset();
                        }
                    }
                expectSameLines(access.lines, want, t.columns);
                // The notes name each column whose values went as Null, with their count.
                for (std::size_t c = 0; c < t.columns.size(); ++c) {
                    if (t.columns[c].kind != Kind::Date) continue;
                    long n = 0;
                    for (const Line& line : sent)
                        if (line[c] && !accessHolds(*parseDate(*line[c]))) ++n;
                    if (n == 0) continue;
                    notes += "dunmorrow-cli: note: Table \"" + t.name + "\", column \"" +
                             t.columns[c].name + "\": " + std::to_string(n) +
                             (n == 1 ? " value is" : " values are") +
                             " no date Access holds (0000-00-00, a zero month or day, or a year "
                             "before 100) and " +
                             (n == 1 ? "goes" : "go") + " as NULL.\n";
                }
                // And back in MySQL, what the Access file held.
                const Read mysql =
                    read(back.connectionString(), selectAll(t.name, true), t.columns);
                std::vector<Line> held = access.lines;
                if (!way.keys)
                    for (Line& line : held)
                        for (auto& v : line)
                            if (v && v->empty()) v.reset();
                expectSameLines(mysql.lines, held, t.columns);
            }
            // The notes say it, a line for each such column.
            std::vector<std::string> got, want;
            std::istringstream gotLines(there.err), wantLines(notes);
            for (std::string line; std::getline(gotLines, line);)
                if (line.find("no date Access holds") != std::string::npos) got.push_back(line);
            for (std::string line; std::getline(wantLines, line);)
                want.push_back(line);
            std::sort(got.begin(), got.end());
            std::sort(want.begin(), want.end());
            EXPECT_EQ(got, want) << there.err;
            EXPECT_NE(notes, "");
            // Large Number comes back as BIGINT.
            if (!way.proposed) {
                EXPECT_EQ(back.scalar("SELECT DATA_TYPE FROM information_schema.COLUMNS WHERE "
                                      "TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'ints' AND "
                                      "COLUMN_NAME = 'b'"),
                          features.largeNumber ? "bigint" : "text");
            }
            const auto check = cli({"check", home});
            EXPECT_EQ(check.status, 0) << check.out;
        }
    }
}

// An Access file of `format` made by the engine, with the extremes of each Access type it has.
std::vector<Column> makeAccessExtremes(const std::string& cliPath, const std::string& file,
                                       const std::string& format) {
    EXPECT_EQ(testenv::runProgram({cliPath, "new", file, "--format", format}).status, 0);
    const db::AccessFileFeatures f = db::accessFileFeatures(file);
    std::vector<Column> columns = {{"id", Kind::Whole}, {"bt", Kind::Whole},   {"si", Kind::Whole},
                                   {"li", Kind::Whole}, {"dt", Kind::Date, 3}, {"cu", Kind::Text},
                                   {"de", Kind::Text}};
    std::string create =
        "CREATE TABLE a (id INT NOT NULL, bt BYTE, si SMALLINT, li INT, dt DATETIME, cu MONEY, "
        "de DECIMAL(28,0)";
    std::vector<std::vector<std::string>> rows = {
        {"1", "0", "-32768", "-2147483648", "'0100-01-01 00:00:00'", "-922337203685477.5808",
         "-9999999999999999999999999999"},
        {"2", "255", "32767", "2147483647", "'9999-12-31 23:59:59.999'", "922337203685477.5807",
         "9999999999999999999999999999"},
        {"3", "1", "-1", "-1", "'1899-12-29 23:59:59.999'", "0.0001", "1"},
        {"4", "NULL", "NULL", "NULL", "NULL", "NULL", "NULL"}};
    if (f.largeNumber) {
        create += ", lg BIGINT";
        columns.push_back({"lg", Kind::Whole});
    }
    std::vector<std::string> lg = {"-9223372036854775808", "9223372036854775807", "-1", "NULL"};
    std::vector<std::string> dx = {"'0001-01-01 00:00:00'", "'9999-12-31 23:59:59.9999999'",
                                   "'2024-02-29 12:34:56.1234567'", "NULL"};
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (f.largeNumber) rows[r].push_back(lg[r]);
        if (f.extendedDate) rows[r].push_back(dx[r]);
    }
    if (f.extendedDate) {
        create += ", dx DATETIME2";
        columns.push_back({"dx", Kind::Date, 7});
    }
    std::string script = create + ")\n";
    for (const auto& row : rows) {
        script += "INSERT INTO a VALUES (";
        for (std::size_t c = 0; c < row.size(); ++c)
            script += (c ? ", " : "") + row[c];
        script += ")\n";
    }
    script +=
        "ALTER TABLE a ADD CONSTRAINT pk PRIMARY KEY (id)\n"
        "CREATE UNIQUE INDEX uli ON a (li)\n"
        "CREATE INDEX byDay ON a (dt DESC, si)\n";
    const auto made = testenv::runProgram({cliPath, "exec", file}, script);
    EXPECT_EQ(made.status, 0) << made.err;
    return columns;
}

TEST_F(ValueRanges, AccessExtremesOfEveryFormatGoToMySqlAndComeBack) {
    DM_REQUIRE_MYSQL();
    for (const std::string& format : kFormats) {
        SCOPED_TRACE(format);
        const std::string original = fileFor("access-extremes", format);
        const std::vector<Column> columns = makeAccessExtremes(DM_CLI_PATH, original, format);
        const db::AccessFileFeatures features = db::accessFileFeatures(original);
        const std::vector<Line> sent =
            read(accessString(original), selectAll("a", false), columns).lines;
        ASSERT_EQ(sent.size(), 4u);
        for (const Way& way : kWays) {
            SCOPED_TRACE(way.name());
            testenv::MySqlScratch mysql;
            std::vector<std::string> args = {"to-mysql", original, address(mysql), "a"};
            for (const auto& o : way.options())
                args.push_back(o);
            const auto there = cli(args);
            ASSERT_EQ(there.status, 0) << there.err;
            // By the default mapping a date is text, which MySQL and Access index otherwise.
            const bool dateAsText = way.keys && !way.proposed;
            EXPECT_EQ(there.err, dateAsText ? "dunmorrow-cli: note: Table \"a\": MySQL keys the "
                                              "index \"byDay\" by the first 766 characters of "
                                              "\"dt\", which may hold more.\n"
                                            : "");
            // By the default mapping a date goes as its text, every digit kept; as proposed,
            // DATETIME(3) keeps Date/Time's milliseconds and DATETIME(6) six of Date/Time
            // Extended's seven digits (the test server cuts the seventh).
            std::vector<int> digits;
            for (const Column& c : columns)
                digits.push_back(c.kind == Kind::Date && way.proposed ? std::min(c.fraction, 6)
                                                                      : 9);
            const Read arrived = read(mysql.connectionString(), selectAll("a", true), columns);
            std::vector<Line> want = sent;
            for (Line& line : want)
                for (std::size_t c = 0; c < columns.size(); ++c)
                    if (line[c] && columns[c].kind == Kind::Date)
                        line[c] = dateText(*parseDate(*line[c]), digits[c]);
            expectSameLines(arrived.lines, want, columns);
            const auto type = [&](const char* column) {
                return mysql.scalar(
                    "SELECT COLUMN_TYPE FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = "
                    "DATABASE() AND TABLE_NAME = 'a' AND COLUMN_NAME = '" +
                    std::string(column) + "'");
            };
            if (features.largeNumber) {
                EXPECT_EQ(type("lg").rfind("bigint", 0), 0u) << type("lg");
            }
            if (way.proposed) {
                EXPECT_EQ(type("bt").rfind("tinyint", 0), 0u) << type("bt");
                EXPECT_NE(type("bt").find("unsigned"), std::string::npos) << type("bt");
            }

            // Back into a new file of the same format: what MySQL held, but a Date/Time Extended
            // value before the year 100, which the notes name.
            const std::string home =
                fileFor("access-back" + std::to_string(&way - &kWays[0]), format);
            args = {"to-access", address(mysql), home, "a", "--format", format};
            for (const auto& o : way.options())
                args.push_back(o);
            const auto returned = cli(args);
            ASSERT_EQ(returned.status, 0) << returned.err;
            std::vector<Line> held = want;
            std::string notes = dateAsText ? "dunmorrow-cli: note: Table \"a\": the index "
                                             "\"byDay\" is left out: Access cannot index \"dt\", "
                                             "which the send makes a Memo or OLE Object.\n"
                                           : "";
            for (Line& line : held)
                for (std::size_t c = 0; c < columns.size(); ++c)
                    if (line[c] && columns[c].kind == Kind::Date && way.proposed &&
                        !accessHolds(*parseDate(*line[c]))) {
                        line[c].reset();
                        notes += "dunmorrow-cli: note: Table \"a\", column \"" + columns[c].name +
                                 "\": 1 value is no date Access holds (0000-00-00, a zero month "
                                 "or day, or a year before 100) and goes as NULL.\n";
                    }
            EXPECT_EQ(returned.err, notes);
            // Large Number comes back as Large Number, by either mapping.
            const Read back = read(accessString(home), selectAll("a", false), columns);
            for (std::size_t c = 0; c < columns.size(); ++c)
                if (columns[c].name == "lg") {
                    EXPECT_EQ(back.fields[c].type, ad::kBigInt);
                }
            expectSameLines(back.lines, held, columns);
            const auto check = cli({"check", home});
            EXPECT_EQ(check.status, 0) << check.out;
        }
    }
}

}  // namespace
