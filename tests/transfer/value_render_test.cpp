// Values in script text: escaping per target, locale-independent numbers and dates, binary as
// hexadecimal, NULL for Null and empty values.
#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <locale>
#include <string>
#include <vector>

#include "db/value.h"
#include "transfer/value_render.h"

using db::Value;
using transfer::Direction;
using transfer::renderedValue;

namespace {

std::string my(const Value& v) {
    return renderedValue(Direction::AccessToMySql, v);
}
std::string acc(const Value& v) {
    return renderedValue(Direction::MySqlToAccess, v);
}
Value text(std::string s) {
    return Value::text(std::move(s));
}
Value date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ns = 0) {
    db::DateTime t;
    t.year = y;
    t.month = mo;
    t.day = d;
    t.hour = h;
    t.minute = mi;
    t.second = s;
    t.nanosecond = ns;
    return Value::dateTime(t);
}

// A numeric facet that would put a comma where the point goes and group digits.
struct CommaPunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

}  // namespace

TEST(TextForMySql, BackslashesAreDoubledSoTheyArriveAsWritten) {
    EXPECT_EQ(my(text("C:\\temp")), "'C:\\\\temp'");
    EXPECT_EQ(my(text("ends with \\")), "'ends with \\\\'");
    // A backslash before an apostrophe must not escape the doubled apostrophe.
    EXPECT_EQ(my(text("a\\'b")), "'a\\\\''b'");
    EXPECT_EQ(my(text("\\")), "'\\\\'");
}

TEST(TextForMySql, NulIsWrittenAsBackslashZero) {
    EXPECT_EQ(my(text(std::string("a\0b", 3))), "'a\\0b'");
    EXPECT_EQ(my(text(std::string(1, '\0'))), "'\\0'");
}

TEST(TextForAccess, OnlyApostrophesAreDoubled) {
    EXPECT_EQ(acc(text("C:\\temp\\")), "'C:\\temp\\'");
    EXPECT_EQ(acc(text("don't")), "'don''t'");
    EXPECT_EQ(acc(text(std::string("a\0b", 3))), std::string("'a\0b'", 5));
}

TEST(TextForBothTargets, ApostrophesAreDoubledAndHostileTextStaysInsideTheLiteral) {
    for (Direction t : {Direction::AccessToMySql, Direction::MySqlToAccess}) {
        EXPECT_EQ(renderedValue(t, text("'; DROP TABLE x; --")), "'''; DROP TABLE x; --'");
        EXPECT_EQ(renderedValue(t, text("''")), "''''''");
        EXPECT_EQ(renderedValue(t, text("back`tick")), "'back`tick'");
        EXPECT_EQ(renderedValue(t, text("tab\there")), "'tab\there'");
        // Characters outside the Basic Multilingual Plane pass byte for byte.
        EXPECT_EQ(renderedValue(t, text("\xF0\x9F\x98\x80 ok")), "'\xF0\x9F\x98\x80 ok'");
    }
}

TEST(TextForBothTargets, LineBreaksStayInTheValueAndOutOfTheLine) {
    // MySQL reads \r\n inside a quoted text as CR LF.
    EXPECT_EQ(my(text("a\r\nb\r\nc")), "'a\\r\\nb\\r\\nc'");
    EXPECT_EQ(my(text("\r\n")), "'\\r\\n'");
    EXPECT_EQ(my(text("\r\r\n\n")), "'\r\\r\\n\n'");
    // Access joins the pieces of a text; no empty piece before or after a break at either end.
    EXPECT_EQ(acc(text("a\r\nb")), "'a' & Chr(13) & Chr(10) & 'b'");
    EXPECT_EQ(acc(text("\r\n")), "Chr(13) & Chr(10)");
    EXPECT_EQ(acc(text("\r\nit's\r\n")), "Chr(13) & Chr(10) & 'it''s' & Chr(13) & Chr(10)");
    EXPECT_EQ(acc(text("a\r\n\r\nb")), "'a' & Chr(13) & Chr(10) & '' & Chr(13) & Chr(10) & 'b'");
    EXPECT_EQ(acc(text("\r\r\n\n")), "'\r' & Chr(13) & Chr(10) & '\n'");
    // Texts that only look like pieces stay one text.
    EXPECT_EQ(acc(text("'' & x")), "''''' & x'");
    EXPECT_EQ(acc(text("x & ''")), "'x & '''''");
    // A lone CR or LF stays as it is, for both.
    for (Direction t : {Direction::AccessToMySql, Direction::MySqlToAccess}) {
        EXPECT_EQ(renderedValue(t, text("a\rb\nc")), "'a\rb\nc'");
        EXPECT_EQ(renderedValue(t, text("x\r")), "'x\r'");
    }
}

TEST(TextForBothTargets, EveryCharacterAtEveryPlaceOfALongTextFollowsItsRule) {
    // Long runs are passed over many characters at a time: each character that may change,
    // and its neighbours, at every place of texts around that step, for both targets.
    const auto quoted = [](const std::string& t, bool mysql) {
        std::string out = "'";
        for (char c : t) {
            if (c == '\'')
                out += "''";
            else if (mysql && c == '\\')
                out += "\\\\";
            else if (mysql && c == '\0')
                out += "\\0";
            else
                out += c;
        }
        return out + "'";
    };
    // The text split at its CR LF pairs: MySQL gets one text with \r\n between the pieces,
    // Access the pieces joined by the break's characters, without an empty first or last one.
    const auto expected = [&](const std::string& t, bool mysql) {
        std::vector<std::string> pieces{""};
        for (std::size_t i = 0; i < t.size(); ++i) {
            if (t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n') {
                pieces.emplace_back();
                ++i;
            } else {
                pieces.back() += t[i];
            }
        }
        std::string out;
        if (mysql) {
            out = "'";
            for (std::size_t i = 0; i < pieces.size(); ++i) {
                const std::string q = quoted(pieces[i], true);
                out += (i ? "\\r\\n" : "") + q.substr(1, q.size() - 2);
            }
            return out + "'";
        }
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            const bool edge = pieces.size() > 1 && (i == 0 || i + 1 == pieces.size());
            if (i) out += std::string(out.empty() ? "" : " & ") + "Chr(13) & Chr(10)";
            if (!(edge && pieces[i].empty()))
                out += (out.empty() ? "" : " & ") + quoted(pieces[i], false);
        }
        return out;
    };
    const std::string specials[] = {"'",  "\r\n",     "\r", "\n", "\\", std::string(1, '\0'),
                                    "\t", "\xC3\xA9", "&"};
    for (std::size_t length : {15u, 16u, 17u, 31u, 32u, 40u})
        for (std::size_t at = 0; at < length; ++at)
            for (const auto& special : specials) {
                std::string t(length, 'k');
                t.replace(at, 1, special);
                EXPECT_EQ(my(text(t)), expected(t, true)) << "at " << at << " of " << length;
                EXPECT_EQ(acc(text(t)), expected(t, false)) << "at " << at << " of " << length;
            }
}

TEST(TextForBothTargets, EmptyTextAndNullAreNull) {
    for (Direction t : {Direction::AccessToMySql, Direction::MySqlToAccess}) {
        EXPECT_EQ(renderedValue(t, text("")), "NULL");
        EXPECT_EQ(renderedValue(t, Value::null()), "NULL");
    }
}

TEST(BinaryValues, AreHexadecimalLiteralsAndEmptyBinaryIsNull) {
    const Value bytes = Value::binary({0x00, 0xFF, 0x10, 0x27, 0x5C, 0x0D, 0x0A});
    EXPECT_EQ(my(bytes), "X'00FF10275C0D0A'");
    EXPECT_EQ(acc(bytes), "X'00FF10275C0D0A'");
    EXPECT_EQ(my(Value::binary({0xAB})), "X'AB'");  // an odd number of bytes loses nothing
    EXPECT_EQ(my(Value::binary({})), "NULL");
    EXPECT_EQ(acc(Value::binary({})), "NULL");
}

TEST(Booleans, AreOneAndZeroForMySqlAndWordsForAccess) {
    EXPECT_EQ(my(Value::boolean(true)), "1");
    EXPECT_EQ(my(Value::boolean(false)), "0");
    EXPECT_EQ(acc(Value::boolean(true)), "'True'");
    EXPECT_EQ(acc(Value::boolean(false)), "'False'");
}

TEST(Numbers, WholeNumbersAreDecimalDigitsInQuotes) {
    EXPECT_EQ(my(Value::integer(7)), "'7'");
    EXPECT_EQ(my(Value::integer(-2147483648LL)), "'-2147483648'");
    EXPECT_EQ(acc(Value::integer(std::numeric_limits<std::int64_t>::min())),
              "'-9223372036854775808'");
    EXPECT_EQ(my(Value::unsignedInteger(18446744073709551615ULL)), "'18446744073709551615'");
}

TEST(Numbers, SingleAndDoubleTakeTheShortestTextThatReadsBack) {
    EXPECT_EQ(my(Value::single(3.75f)), "'3.75'");
    EXPECT_EQ(my(Value::single(0.1f)), "'0.1'");
    EXPECT_EQ(my(Value::doubleValue(0.1)), "'0.1'");
    EXPECT_EQ(my(Value::doubleValue(1.0 / 3.0)), "'0.3333333333333333'");
    EXPECT_EQ(my(Value::doubleValue(-1.5)), "'-1.5'");
    EXPECT_EQ(my(Value::doubleValue(1e20)), "'100000000000000000000'");
    EXPECT_EQ(my(Value::doubleValue(1.25e-7)), "'0.000000125'");
    // The shortest text of FLT_MAX, read as a double, lies above FLT_MAX: the exact value goes.
    EXPECT_EQ(acc(Value::single(FLT_MAX)), "'340282346638528860000000000000000000000'");
    EXPECT_EQ(my(Value::single(-FLT_MAX)), "'-340282346638528860000000000000000000000'");
    EXPECT_EQ(my(Value::single(1.0f / 3.0f)), "'0.33333334'");
    const std::string big = transfer::valueText(Value::doubleValue(DBL_MAX));
    EXPECT_EQ(std::stod(big), DBL_MAX);
}

TEST(Numbers, EverySingleReadsBackThroughADoubleAsItself) {
    // Every 4099th bit pattern: normal, subnormal, both signs, the extremes of each binade.
    for (std::uint64_t bits = 0; bits < 0x100000000ULL; bits += 4099) {
        float f;
        const auto b = static_cast<std::uint32_t>(bits);
        std::memcpy(&f, &b, sizeof f);
        if (!std::isfinite(f)) continue;
        const std::string t = transfer::valueText(Value::single(f));
        const double d = std::strtod(t.c_str(), nullptr);
        ASSERT_LE(std::fabs(d), FLT_MAX) << t;
        ASSERT_EQ(static_cast<float>(d), f) << t;
    }
}

TEST(Numbers, CurrencyAndDecimalAreExact) {
    EXPECT_EQ(my(Value::currency({37500})), "'3.7500'");
    EXPECT_EQ(acc(Value::currency({std::numeric_limits<std::int64_t>::max()})),
              "'922337203685477.5807'");
    EXPECT_EQ(my(Value::decimal(db::Decimal::parse("-12345678901234567890.1234"))),
              "'-12345678901234567890.1234'");
    EXPECT_EQ(acc(Value::decimal(db::Decimal::parse("0.50"))), "'0.50'");
}

TEST(Numbers, DoNotFollowTheLocale) {
    const std::locale saved =
        std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
    EXPECT_EQ(my(Value::doubleValue(1234567.25)), "'1234567.25'");
    EXPECT_EQ(my(Value::single(3.75f)), "'3.75'");
    EXPECT_EQ(my(Value::integer(1234567)), "'1234567'");
    EXPECT_EQ(my(Value::currency({12345670000})), "'1234567.0000'");
    std::locale::global(saved);
}

TEST(Dates, DateAndTimeDateAloneAtMidnightTimeAloneOnTheZeroDate) {
    EXPECT_EQ(my(date(2026, 8, 12, 15, 4, 5)), "'2026-08-12 15:04:05'");
    EXPECT_EQ(acc(date(2026, 8, 12, 15, 4, 5)), "'2026-08-12 15:04:05'");
    EXPECT_EQ(acc(date(2026, 8, 12)), "'2026-08-12'");
    EXPECT_EQ(my(date(2026, 8, 12)), "'2026-08-12'");
    EXPECT_EQ(acc(date(1899, 12, 30, 15, 4, 5)), "'15:04:05'");
    EXPECT_EQ(acc(date(1899, 12, 30)), "'00:00:00'");
    EXPECT_EQ(transfer::valueText(date(1899, 12, 30, 15, 4, 5)), "15:04:05");
    EXPECT_EQ(my(date(1899, 12, 29, 6)), "'1899-12-29 06:00:00'");
    EXPECT_EQ(my(date(100, 1, 1)), "'0100-01-01'");
    EXPECT_EQ(my(date(9999, 12, 31, 23, 59, 59)), "'9999-12-31 23:59:59'");
    EXPECT_EQ(my(date(1, 2, 3, 0, 0, 1)), "'0001-02-03 00:00:01'");
    // Fields past four and two digits (never read from a file) are written whole.
    EXPECT_EQ(my(date(12345, 1, 2, 3, 4, 5)), "'12345-01-02 03:04:05'");
    EXPECT_EQ(acc(date(2026, 8, 12, 100, 4, 5)), "'2026-08-12 100:04:05'");
}

TEST(Dates, ATimeAloneKeepsItsZeroDateForMySql) {
    // MySQL would read '15:04:05' into a DATETIME column as 2015-04-05, and '00:00:00' as its
    // zero date.
    EXPECT_EQ(my(date(1899, 12, 30, 15, 4, 5)), "'1899-12-30 15:04:05'");
    EXPECT_EQ(my(date(1899, 12, 30)), "'1899-12-30'");
    EXPECT_EQ(my(date(1899, 12, 30, 0, 0, 0, 250000000)), "'1899-12-30 00:00:00.25'");
}

TEST(Dates, FractionsOfASecondAreKept) {
    EXPECT_EQ(my(date(2021, 6, 14, 22, 45, 12, 345678900)), "'2021-06-14 22:45:12.3456789'");
    EXPECT_EQ(acc(date(2000, 1, 1, 0, 0, 0, 500000000)), "'2000-01-01 00:00:00.5'");
}

TEST(Guids, AreWrittenInBracesInQuotes) {
    db::Guid g{};
    ASSERT_TRUE(db::parseGuid("{6A4D0E8E-1C1F-4E2A-9B3C-0123456789AB}", g));
    EXPECT_EQ(my(Value::guid(g)), "'{6A4D0E8E-1C1F-4E2A-9B3C-0123456789AB}'");
}

TEST(ValueText, IsThePlainTextBeforeQuoting) {
    EXPECT_EQ(transfer::valueText(Value::null()), "");
    EXPECT_EQ(transfer::valueText(Value::boolean(true)), "True");
    EXPECT_EQ(transfer::valueText(text("a\r\nb")), "a\r\nb");
    EXPECT_EQ(transfer::valueText(Value::binary({1, 0xAB})), "01AB");
}
