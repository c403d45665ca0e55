// Values: exact decimals and currency, the Access date scale, GUIDs, shortest numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "db/error.h"
#include "db/value.h"

using db::DateTime;
using db::Decimal;

TEST(DateTimeScale, DaysCountFromTheEndOf1899) {
    EXPECT_EQ(DateTime::fromOleDate(0.0).toIsoString(), "1899-12-30 00:00:00");
    EXPECT_EQ(DateTime::fromOleDate(1.5).toIsoString(), "1899-12-31 12:00:00");
    EXPECT_EQ(DateTime::fromOleDate(45000.0).toIsoString(), "2023-03-15 00:00:00");
}

TEST(DateTimeScale, BeforeTheEpochTheFractionStillCountsForward) {
    EXPECT_EQ(DateTime::fromOleDate(-1.25).toIsoString(), "1899-12-29 06:00:00");
    EXPECT_DOUBLE_EQ(DateTime::fromOleDate(-1.25).toOleDate(), -1.25);
    EXPECT_EQ(DateTime::fromOleDate(-657434.0).toIsoString(), "0100-01-01 00:00:00");
}

TEST(DateTimeScale, RoundsToTheMillisecondAndCarriesIntoTheNextDay) {
    EXPECT_EQ(DateTime::fromOleDate(1.0 - 1e-10).toIsoString(), "1899-12-31 00:00:00");
    DateTime t = DateTime::fromOleDate(2.0 + 1.5 / 86400.0);
    EXPECT_EQ(t.toIsoString(), "1900-01-01 00:00:01.5");
}

TEST(DateTimeScale, RoundTripsCivilDates) {
    for (double d : {-700000.0, -1.0, 0.0, 1.0, 36526.0, 2958465.0}) {
        DateTime t = DateTime::fromOleDate(d);
        EXPECT_EQ(DateTime::fromDays(t.daysSinceEpoch()), t);
        EXPECT_DOUBLE_EQ(t.toOleDate(), d);
    }
    EXPECT_THROW(DateTime::fromOleDate(std::nan("")), db::Error);
}

TEST(DecimalValue, ParsesAndPrintsExactly) {
    EXPECT_EQ(Decimal::parse("-0012.3400").toString(), "-12.3400");
    EXPECT_EQ(Decimal::parse(".5").toString(), "0.5");
    EXPECT_EQ(Decimal::parse("-0.000").toString(), "0.000");
    EXPECT_EQ(Decimal::parse("7", 10, 2).toString(), "7.00");
    EXPECT_EQ(Decimal::parse("12345678901234567890123456.78").unscaled,
              "1234567890123456789012345678");
    EXPECT_THROW(Decimal::parse("1.234", 10, 2), db::Error);
    EXPECT_THROW(Decimal::parse("12345", 4, 0), db::Error);
    EXPECT_THROW(Decimal::parse("1e3"), db::Error);
    EXPECT_THROW(Decimal::parse(""), db::Error);
    EXPECT_THROW(Decimal::parse("-"), db::Error);
}

TEST(CurrencyValue, FourPlacesAlways) {
    EXPECT_EQ(db::Currency{35000}.toString(), "3.5000");
    EXPECT_EQ(db::Currency{-1}.toString(), "-0.0001");
    EXPECT_EQ(db::Currency{std::numeric_limits<std::int64_t>::min()}.toString(),
              "-922337203685477.5808");
}

TEST(GuidValue, DisplayFormAndParsing) {
    db::Guid g{};
    ASSERT_TRUE(db::parseGuid("{0011AABB-ccdd-EEFF-0123-456789abcdef}", g));
    EXPECT_EQ(db::guidToString(g), "{0011AABB-CCDD-EEFF-0123-456789ABCDEF}");
    EXPECT_FALSE(db::parseGuid("{0011AABB-ccdd-EEFF-0123-456789abcde}", g));
    EXPECT_FALSE(db::parseGuid("0011AABB+ccdd-EEFF-0123-456789abcdef", g));
}

TEST(ShortestNumbers, ReadBackTheSameWithoutExponent) {
    EXPECT_EQ(db::formatDouble(0.1), "0.1");
    EXPECT_EQ(db::formatDouble(3.0), "3");
    EXPECT_EQ(db::formatDouble(-1.5), "-1.5");
    EXPECT_EQ(db::formatDouble(1e20), "100000000000000000000");
    EXPECT_EQ(db::formatDouble(1.25e-7), "0.000000125");
    EXPECT_EQ(db::formatSingle(0.1f), "0.1");
    EXPECT_EQ(db::formatSingle(3.4028235e38f), "340282350000000000000000000000000000000");
    EXPECT_EQ(std::stod(db::formatDouble(2.0 / 3.0)), 2.0 / 3.0);
}

TEST(ValueKinds, AccessorsCheckTheKind) {
    db::Value v = db::Value::text("x");
    EXPECT_EQ(v.kind(), db::Value::Kind::Text);
    EXPECT_THROW(v.asInteger(), db::Error);
    EXPECT_TRUE(db::Value().isNull());
    EXPECT_EQ(db::Value::binary({0x00, 0xAB}).toDebugString(), "00ab");
}

// The appending forms add to what the string holds and write what the string forms return,
// for every kind, including the edges of each rendering.
TEST(AppendedRenderings, AddToTheStringAndMatchTheStringForms) {
    const std::vector<db::Value> values = {
        db::Value(),
        db::Value::boolean(true),
        db::Value::integer(std::numeric_limits<std::int64_t>::min()),
        db::Value::integer(0),
        db::Value::unsignedInteger(std::numeric_limits<std::uint64_t>::max()),
        db::Value::single(-3.4028235e38f),
        db::Value::single(1.17549435e-38f),
        db::Value::doubleValue(-0.0),
        db::Value::doubleValue(1.25e-7),
        db::Value::doubleValue(123456.789),
        db::Value::doubleValue(std::numeric_limits<double>::infinity()),
        db::Value::doubleValue(std::nan("")),
        db::Value::currency({std::numeric_limits<std::int64_t>::min()}),
        db::Value::currency({99}),
        db::Value::decimal(Decimal::parse("-0.0042")),
        db::Value::decimal(Decimal::parse("12345678901234567890123456.78")),
        db::Value::dateTime(DateTime{100, 1, 1, 0, 0, 0, 0}),
        db::Value::dateTime(DateTime{1850, 3, 4, 23, 59, 58, 120000000}),
        db::Value::dateTime(DateTime{-5, 1, 1, 0, 0, 0, 0}),
        db::Value::dateTime(DateTime{12000, 12, 31, 1, 2, 3, 1}),
        db::Value::text("tab\there"),
        db::Value::binary({0x00, 0x0F, 0xF0, 0xFF}),
        db::Value::guid({0x00, 0x11, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x01, 0x23, 0x45, 0x67,
                         0x89, 0xAB, 0xCD, 0xEF}),
    };
    const std::vector<std::string> expected = {
        "",
        "True",
        "-9223372036854775808",
        "0",
        "18446744073709551615",
        "-340282350000000000000000000000000000000",
        "0.000000000000000000000000000000000000011754944",
        "-0",
        "0.000000125",
        "123456.789",
        "inf",
        "nan",
        "-922337203685477.5808",
        "0.0099",
        "-0.0042",
        "12345678901234567890123456.78",
        "0100-01-01 00:00:00",
        "1850-03-04 23:59:58.12",
        "-005-01-01 00:00:00",
        "12000-12-31 01:02:03.000000001",
        "tab\there",
        "000ff0ff",
        "{0011AABB-CCDD-EEFF-0123-456789ABCDEF}",
    };
    ASSERT_EQ(values.size(), expected.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        SCOPED_TRACE(expected[i]);
        EXPECT_EQ(values[i].toDebugString(), expected[i]);
        std::string appended = "before|";
        values[i].appendDebugString(appended);
        EXPECT_EQ(appended, "before|" + expected[i]);
    }
    std::string iso = "x";
    DateTime{2024, 2, 29, 7, 8, 9, 0}.appendIso(iso, 'T');
    EXPECT_EQ(iso, "x2024-02-29T07:08:09");
}
