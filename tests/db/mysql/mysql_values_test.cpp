// Converting the server's text values: dates, times, zero dates, integers at their limits,
// decimals, bits, and text that does not read as its column's kind.
#include <gtest/gtest.h>

#include <cstring>

#include "db/error.h"
#include "db/mysql/mysql_values.h"

using db::DateTime;
using db::Value;
using db::mysql::ColumnKind;
using db::mysql::ColumnShape;
using db::mysql::convertValue;

namespace {

Value conv(ColumnKind kind, const char* text, int precision = 0, int scale = 0) {
    return convertValue(ColumnShape{kind, precision, scale}, text, text ? std::strlen(text) : 0);
}

DateTime dt(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ns = 0) {
    return DateTime{y, mo, d, h, mi, s, ns};
}

}  // namespace

TEST(MySqlValues, NullForEveryKind) {
    for (auto k : {ColumnKind::Null, ColumnKind::Signed, ColumnKind::Unsigned, ColumnKind::Single,
                   ColumnKind::Double, ColumnKind::Decimal, ColumnKind::Date, ColumnKind::Time,
                   ColumnKind::DateTime, ColumnKind::Text, ColumnKind::Binary, ColumnKind::Bit1})
        EXPECT_TRUE(conv(k, nullptr).isNull());
    EXPECT_TRUE(conv(ColumnKind::Null, "x").isNull());
    // An empty string is a value, not NULL.
    EXPECT_EQ(conv(ColumnKind::Text, ""), Value::text(""));
    EXPECT_EQ(conv(ColumnKind::Binary, ""), Value::binary({}));
}

TEST(MySqlValues, TimeIsADurationFromTheZeroDate) {
    DateTime t;
    ASSERT_TRUE(db::mysql::parseMySqlTime("00:00:00", t));
    EXPECT_EQ(t, dt(1899, 12, 30));
    ASSERT_TRUE(db::mysql::parseMySqlTime("23:59:59", t));
    EXPECT_EQ(t, dt(1899, 12, 30, 23, 59, 59));
    ASSERT_TRUE(db::mysql::parseMySqlTime("24:00:00", t));
    EXPECT_EQ(t, dt(1899, 12, 31));
    ASSERT_TRUE(db::mysql::parseMySqlTime("838:59:59", t));
    EXPECT_EQ(t, dt(1900, 2, 2, 22, 59, 59));  // 34 days and 22 hours
    ASSERT_TRUE(db::mysql::parseMySqlTime("12:00:00.123456", t));
    EXPECT_EQ(t, dt(1899, 12, 30, 12, 0, 0, 123456000));
}

TEST(MySqlValues, NegativeTimeCountsBackFromTheZeroDate) {
    DateTime t;
    ASSERT_TRUE(db::mysql::parseMySqlTime("-01:30:00", t));
    EXPECT_EQ(t, dt(1899, 12, 29, 22, 30, 0));
    ASSERT_TRUE(db::mysql::parseMySqlTime("-00:00:00.5", t));
    EXPECT_EQ(t, dt(1899, 12, 29, 23, 59, 59, 500000000));
    ASSERT_TRUE(db::mysql::parseMySqlTime("-24:00:00", t));
    EXPECT_EQ(t, dt(1899, 12, 29));
    ASSERT_TRUE(db::mysql::parseMySqlTime("-838:59:59", t));
    EXPECT_EQ(t, dt(1899, 11, 25, 1, 0, 1));
    ASSERT_TRUE(db::mysql::parseMySqlTime("-00:00:00", t));
    EXPECT_EQ(t, dt(1899, 12, 30));
}

TEST(MySqlValues, MalformedTimesAreRefused) {
    DateTime t;
    for (const char* bad : {"", "-", "12:00", "12:60:00", "12:00:60", "1:2:3", "12:00:00.",
                            "12:00:00x", "ab:00:00", "12:00:00.1234567890"})
        EXPECT_FALSE(db::mysql::parseMySqlTime(bad, t)) << bad;
    EXPECT_THROW(conv(ColumnKind::Time, "nonsense"), db::Error);
}

TEST(MySqlValues, DatesAndDateTimes) {
    EXPECT_EQ(conv(ColumnKind::Date, "2024-02-29"), Value::dateTime(dt(2024, 2, 29)));
    EXPECT_EQ(conv(ColumnKind::Date, "1000-01-01"), Value::dateTime(dt(1000, 1, 1)));
    EXPECT_EQ(conv(ColumnKind::DateTime, "9999-12-31 23:59:59.999999"),
              Value::dateTime(dt(9999, 12, 31, 23, 59, 59, 999999000)));
    EXPECT_EQ(conv(ColumnKind::DateTime, "2024-01-15 09:30:00"),
              Value::dateTime(dt(2024, 1, 15, 9, 30)));
    EXPECT_EQ(conv(ColumnKind::DateTime, "2024-01-15 09:30:00.000001"),
              Value::dateTime(dt(2024, 1, 15, 9, 30, 0, 1000)));
}

TEST(MySqlValues, ZeroDatesAreNull) {
    EXPECT_TRUE(conv(ColumnKind::Date, "0000-00-00").isNull());
    EXPECT_TRUE(conv(ColumnKind::DateTime, "0000-00-00 00:00:00").isNull());
    EXPECT_TRUE(conv(ColumnKind::DateTime, "0000-00-00 00:00:00.000000").isNull());
}

TEST(MySqlValues, DatesThatAreNoCalendarDatesStayText) {
    EXPECT_EQ(conv(ColumnKind::Date, "2024-00-00"), Value::text("2024-00-00"));
    EXPECT_EQ(conv(ColumnKind::Date, "2023-02-29"), Value::text("2023-02-29"));
    EXPECT_EQ(conv(ColumnKind::DateTime, "0000-00-00 12:00:00"),
              Value::text("0000-00-00 12:00:00"));
    EXPECT_THROW(conv(ColumnKind::Date, "yesterday"), db::Error);
    EXPECT_THROW(conv(ColumnKind::DateTime, "2024-01-15"), db::Error);
}

TEST(MySqlValues, IntegersAtTheirLimits) {
    EXPECT_EQ(conv(ColumnKind::Signed, "-9223372036854775808"), Value::integer(INT64_MIN));
    EXPECT_EQ(conv(ColumnKind::Signed, "9223372036854775807"), Value::integer(INT64_MAX));
    EXPECT_EQ(conv(ColumnKind::Unsigned, "9223372036854775807"), Value::integer(INT64_MAX));
    EXPECT_EQ(conv(ColumnKind::Unsigned, "9223372036854775808"),
              Value::unsignedInteger(9223372036854775808ull));
    EXPECT_EQ(conv(ColumnKind::Unsigned, "18446744073709551615"),
              Value::unsignedInteger(UINT64_MAX));
    EXPECT_THROW(conv(ColumnKind::Signed, "9223372036854775808"), db::Error);
    EXPECT_THROW(conv(ColumnKind::Signed, "12x"), db::Error);
    EXPECT_THROW(conv(ColumnKind::Unsigned, "-1"), db::Error);
}

TEST(MySqlValues, DecimalsStayExact) {
    const Value v =
        conv(ColumnKind::Decimal,
             "-99999999999999999999999999999999999.999999999999999999999999999999", 65, 30);
    ASSERT_EQ(v.kind(), Value::Kind::Decimal);
    EXPECT_EQ(v.asDecimal().precision, 65);
    EXPECT_EQ(v.asDecimal().scale, 30);
    EXPECT_TRUE(v.asDecimal().negative);
    EXPECT_EQ(v.asDecimal().toString(),
              "-99999999999999999999999999999999999.999999999999999999999999999999");
    EXPECT_EQ(conv(ColumnKind::Decimal, "0.00", 10, 2).asDecimal().toString(), "0.00");
    EXPECT_EQ(conv(ColumnKind::Decimal, "12", 10, 0).asDecimal().toString(), "12");
    // More digits than the column says (computed columns): kept whole.
    EXPECT_EQ(conv(ColumnKind::Decimal, "123456.789", 4, 1).asDecimal().toString(), "123456.789");
    EXPECT_THROW(conv(ColumnKind::Decimal, "1e5", 10, 0), db::Error);
}

TEST(MySqlValues, FloatingPointAndBits) {
    EXPECT_EQ(conv(ColumnKind::Single, "1.5"), Value::single(1.5f));
    EXPECT_EQ(conv(ColumnKind::Double, "0.1"), Value::doubleValue(0.1));
    EXPECT_EQ(conv(ColumnKind::Double, "1.7976931348623157e308"),
              Value::doubleValue(1.7976931348623157e308));
    EXPECT_EQ(conv(ColumnKind::Double, "-2.2250738585072014e-308"),
              Value::doubleValue(-2.2250738585072014e-308));
    EXPECT_THROW(conv(ColumnKind::Double, "1.5.2"), db::Error);
    const char one = 1, zero = 0;
    EXPECT_EQ(convertValue({ColumnKind::Bit1}, &one, 1), Value::boolean(true));
    EXPECT_EQ(convertValue({ColumnKind::Bit1}, &zero, 1), Value::boolean(false));
    const char bytes[] = {'a', 0, 'b'};
    EXPECT_EQ(convertValue({ColumnKind::Binary}, bytes, 3), Value::binary({'a', 0, 'b'}));
    EXPECT_EQ(convertValue({ColumnKind::Text}, bytes, 3), Value::text(std::string(bytes, 3)));
}
