// Conversions on insert: what each column type accepts, how it rounds, and the exact sentences
// of the values it refuses.
#include <gtest/gtest.h>

#include "db/jet/base/error.h"
#include "db/jet/sql/ast.h"
#include "db/jet/sql/literal_convert.h"
#include "db/jet/write/value_convert.h"

namespace {

using jet::ColumnDef;
using jet::ColumnType;
using jet::sql::Literal;

ColumnDef column(ColumnType type, std::uint16_t length = 0, std::uint8_t precision = 0,
                 std::uint8_t scale = 0) {
    ColumnDef c;
    c.name = "Col";
    c.type = type;
    c.typeCode = static_cast<std::uint8_t>(type);
    c.length = length;
    c.precision = precision;
    c.scale = scale;
    c.flags = jet::column_flag::kNullable;
    return c;
}

Literal text(std::string s) {
    Literal l;
    l.kind = Literal::Kind::Text;
    l.text = std::move(s);
    return l;
}
Literal number(std::string s) {
    Literal l;
    l.kind = Literal::Kind::Number;
    l.text = std::move(s);
    return l;
}

db::Value conv(const Literal& l, const ColumnDef& c) {
    return jet::convertLiteral(l, c, "T");
}

std::string refusal(const Literal& l, const ColumnDef& c) {
    try {
        conv(l, c);
    } catch (const jet::Error& e) {
        EXPECT_EQ(e.kind(), jet::ErrorKind::Constraint);
        return e.message();
    }
    return "(accepted)";
}

TEST(ValueConvert, WholeNumbersRoundHalfToEvenAndKeepTheirRange) {
    const ColumnDef lng = column(ColumnType::Long);
    EXPECT_EQ(conv(text("12"), lng), db::Value::integer(12));
    EXPECT_EQ(conv(text(" -3 "), lng), db::Value::integer(-3));
    EXPECT_EQ(conv(text("2.5"), lng), db::Value::integer(2));
    EXPECT_EQ(conv(text("3.5"), lng), db::Value::integer(4));
    EXPECT_EQ(conv(text("-2.5"), lng), db::Value::integer(-2));
    EXPECT_EQ(conv(text("2.500001"), lng), db::Value::integer(3));
    EXPECT_EQ(conv(number("1E3"), lng), db::Value::integer(1000));
    EXPECT_EQ(conv(text("2147483647"), lng), db::Value::integer(2147483647));
    EXPECT_EQ(conv(text("-2147483648"), lng), db::Value::integer(-2147483648LL));
    EXPECT_EQ(refusal(text("2147483648"), lng),
              "The value '2147483648' cannot be stored in the column 'Col' (Long Integer) of "
              "table 'T': it is outside the range from -2147483648 to 2147483647.");
    EXPECT_EQ(refusal(text("abc"), lng),
              "The value 'abc' cannot be stored in the column 'Col' (Long Integer) of table 'T': "
              "it is not a number.");
    EXPECT_EQ(refusal(text("1,5"), lng).find("it is not a number") != std::string::npos, true);
    EXPECT_EQ(refusal(text(""), lng).find("it is not a number") != std::string::npos, true);

    const ColumnDef byte = column(ColumnType::Byte);
    EXPECT_EQ(conv(text("255"), byte), db::Value::integer(255));
    EXPECT_EQ(refusal(text("-1"), byte),
              "The value '-1' cannot be stored in the column 'Col' (Byte) of table 'T': it is "
              "outside the range from 0 to 255.");
    EXPECT_EQ(refusal(text("32768"), column(ColumnType::Integer)),
              "The value '32768' cannot be stored in the column 'Col' (Integer) of table 'T': it "
              "is outside the range from -32768 to 32767.");
    const ColumnDef big = column(ColumnType::BigInt);
    EXPECT_EQ(conv(text("-9223372036854775808"), big),
              db::Value::integer(std::numeric_limits<std::int64_t>::min()));
    EXPECT_EQ(
        refusal(text("9223372036854775808"), big).find("outside the range") != std::string::npos,
        true);
    EXPECT_EQ(refusal(text("1e400"), lng).find("outside the range") != std::string::npos, true);
}

TEST(ValueConvert, BooleansFromWordsAndNumbers) {
    const ColumnDef b = column(ColumnType::Boolean);
    for (const char* yes : {"True", "TRUE", "yes", " On ", "-1", "1", "2.5"})
        EXPECT_EQ(conv(text(yes), b), db::Value::boolean(true)) << yes;
    for (const char* no : {"False", "false", "No", "off", "0", "0.0"})
        EXPECT_EQ(conv(text(no), b), db::Value::boolean(false)) << no;
    EXPECT_EQ(conv(number("-1"), b), db::Value::boolean(true));
    EXPECT_EQ(refusal(text("maybe"), b),
              "The value 'maybe' cannot be stored in the column 'Col' (Yes/No) of table 'T': it "
              "is neither True nor False nor a number.");
}

TEST(ValueConvert, CurrencyAndDecimalAreExact) {
    const ColumnDef money = column(ColumnType::Currency);
    EXPECT_EQ(conv(text("1234.5678"), money), db::Value::currency(db::Currency{12345678}));
    EXPECT_EQ(conv(text("0.00005"), money), db::Value::currency(db::Currency{0}));
    EXPECT_EQ(conv(text("0.00015"), money), db::Value::currency(db::Currency{2}));
    EXPECT_EQ(conv(text("-922337203685477.5808"), money),
              db::Value::currency(db::Currency{std::numeric_limits<std::int64_t>::min()}));
    EXPECT_EQ(refusal(text("922337203685477.5808"), money).find("outside the range of Currency") !=
                  std::string::npos,
              true);

    const ColumnDef dec = column(ColumnType::Decimal, 17, 10, 3);
    const db::Value d = conv(text("-1234567.8905"), dec);
    EXPECT_EQ(d.asDecimal().toString(), "-1234567.890");
    EXPECT_EQ(conv(text("0.0005"), dec).asDecimal().toString(), "0.000");
    EXPECT_EQ(conv(text("0.0015"), dec).asDecimal().toString(), "0.002");
    EXPECT_EQ(conv(number("9999999.999"), dec).asDecimal().toString(), "9999999.999");
    EXPECT_EQ(refusal(text("12345678"), dec),
              "The value '12345678' cannot be stored in the column 'Col' (Decimal(10,3)) of table "
              "'T': it has more than 7 digits before the decimal point.");
    const ColumnDef wide = column(ColumnType::Decimal, 17, 28, 0);
    EXPECT_EQ(conv(text("9999999999999999999999999999"), wide).asDecimal().toString(),
              "9999999999999999999999999999");
}

TEST(ValueConvert, FloatingPointNumbers) {
    const ColumnDef dbl = column(ColumnType::Double);
    EXPECT_EQ(conv(text("0.1"), dbl), db::Value::doubleValue(0.1));
    EXPECT_EQ(conv(number("-1.7976931348623157E308"), dbl),
              db::Value::doubleValue(-1.7976931348623157e308));
    EXPECT_EQ(conv(text("4.9E-324"), dbl), db::Value::doubleValue(4.9e-324));
    EXPECT_EQ(refusal(text("1e309"), dbl).find("too large") != std::string::npos, true);
    const ColumnDef sgl = column(ColumnType::Single);
    EXPECT_EQ(conv(text("3.4028235E38"), sgl), db::Value::single(3.4028235e38f));
    EXPECT_EQ(conv(text("0.1"), sgl), db::Value::single(0.1f));
    EXPECT_EQ(refusal(text("3.5E38"), sgl),
              "The value '3.5E38' cannot be stored in the column 'Col' (Single) of table 'T': it "
              "is too large for a Single.");
}

TEST(ValueConvert, DatesInTheirForms) {
    const ColumnDef dt = column(ColumnType::DateTime);
    EXPECT_EQ(conv(text("2024-05-31"), dt).asDateTime(), (db::DateTime{2024, 5, 31, 0, 0, 0, 0}));
    EXPECT_EQ(conv(text("2024-05-31 13:45:07"), dt).asDateTime(),
              (db::DateTime{2024, 5, 31, 13, 45, 7, 0}));
    EXPECT_EQ(conv(text("2024-05-31T13:45"), dt).asDateTime(),
              (db::DateTime{2024, 5, 31, 13, 45, 0, 0}));
    EXPECT_EQ(conv(text("13:45:07"), dt).asDateTime(), (db::DateTime{1899, 12, 30, 13, 45, 7, 0}));
    EXPECT_EQ(conv(text("5/31/2024 1:02:03"), dt).asDateTime(),
              (db::DateTime{2024, 5, 31, 1, 2, 3, 0}));
    EXPECT_EQ(conv(text("2024-05-31 13:45:07.250"), dt).asDateTime().nanosecond, 250000000);
    Literal hash;
    hash.kind = Literal::Kind::Date;
    hash.text = "1899-12-29 06:00:00";
    EXPECT_EQ(conv(hash, dt).asDateTime(), (db::DateTime{1899, 12, 29, 6, 0, 0, 0}));
    EXPECT_EQ(conv(number("-1.25"), dt).asDateTime(), (db::DateTime{1899, 12, 29, 6, 0, 0, 0}));
    EXPECT_EQ(conv(text("0100-01-01"), dt).asDateTime().year, 100);
    EXPECT_EQ(refusal(text("2023-02-29"), dt),
              "The value '2023-02-29' cannot be stored in the column 'Col' (Date/Time) of table "
              "'T': it is not a date and time such as '2024-05-31 13:45:00'.");
    EXPECT_EQ(refusal(text("24:00:00"), dt).find("not a date") != std::string::npos, true);
    EXPECT_EQ(refusal(text("0099-12-31"), dt),
              "The value '0099-12-31' cannot be stored in the column 'Col' (Date/Time) of table "
              "'T': Access keeps dates from the year 100 to 9999.");
}

// Date/Time keeps milliseconds: finer digits are cut, never rounded into the next second, day
// or year. Date/Time Extended keeps ten-millionths of a second.
TEST(ValueConvert, DigitsBelowAMillisecondAreCutFromADateTime) {
    const ColumnDef dt = column(ColumnType::DateTime);
    EXPECT_EQ(conv(text("9999-12-31 23:59:59.999999"), dt).asDateTime(),
              (db::DateTime{9999, 12, 31, 23, 59, 59, 999000000}));
    EXPECT_EQ(conv(text("2038-01-19 03:14:07.9996"), dt).asDateTime(),
              (db::DateTime{2038, 1, 19, 3, 14, 7, 999000000}));
    EXPECT_EQ(conv(text("2024-02-29 12:34:56.123456"), dt).asDateTime().nanosecond, 123000000);
    EXPECT_EQ(conv(text("2024-02-29 12:34:56.000999"), dt).asDateTime().nanosecond, 0);
    const ColumnDef ext = column(ColumnType::ExtDateTime);
    EXPECT_EQ(conv(text("9999-12-31 23:59:59.9999999"), ext).asDateTime().nanosecond, 999999900);
    EXPECT_EQ(conv(text("2024-02-29 12:34:56.123456"), ext).asDateTime().nanosecond, 123456000);
}

TEST(ValueConvert, TextLengthCountsUtf16Units) {
    const ColumnDef t5 = column(ColumnType::Text, 10);  // Text(5)
    EXPECT_EQ(conv(text("abcde"), t5), db::Value::text("abcde"));
    EXPECT_EQ(conv(text("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"), t5).asText().size(), 10u);
    EXPECT_EQ(refusal(text("abcdef"), t5),
              "The value 'abcdef' cannot be stored in the column 'Col' (Text(5)) of table 'T': it "
              "has 6 characters, and the column holds 5.");
    // A character outside the BMP takes two of the column's characters.
    EXPECT_EQ(
        refusal(text("abcd\xF0\x9F\x98\x80"), t5).find("it has 6 characters") != std::string::npos,
        true);
    EXPECT_EQ(conv(number("+3.50"), t5), db::Value::text("3.50"));
    Literal yes;
    yes.kind = Literal::Kind::Boolean;
    yes.boolean = true;
    EXPECT_EQ(conv(yes, t5), db::Value::text("True"));
    Literal bin;
    bin.kind = Literal::Kind::Binary;
    bin.bytes = {'h', 0, 'i', 0, '!'};
    EXPECT_EQ(conv(bin, t5), db::Value::text("hi!"));
    // Long values are shown shortened in messages.
    const std::string longText(300, 'x');
    EXPECT_EQ(refusal(text(longText), t5),
              "The value '" + std::string(40, 'x') +
                  "...' cannot be stored in the column 'Col' (Text(5)) of table 'T': it has 300 "
                  "characters, and the column holds 5.");
    EXPECT_EQ(conv(text(longText), column(ColumnType::Memo)), db::Value::text(longText));
}

TEST(ValueConvert, BinaryGuidAndNull) {
    const ColumnDef bin = column(ColumnType::Binary, 4);
    Literal b;
    b.kind = Literal::Kind::Binary;
    b.bytes = {1, 2, 3, 4};
    EXPECT_EQ(conv(b, bin), db::Value::binary({1, 2, 3, 4}));
    b.bytes.push_back(5);
    EXPECT_EQ(refusal(b, bin),
              "The value of 5 bytes cannot be stored in the column 'Col' (Binary(4)) of table "
              "'T': the column holds 4 bytes.");
    EXPECT_EQ(conv(text("ab"), column(ColumnType::Ole)), db::Value::binary({'a', 0, 'b', 0}));

    const ColumnDef g = column(ColumnType::Guid);
    const db::Value guid = conv(text("{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}"), g);
    EXPECT_EQ(db::guidToString(guid.asGuid()), "{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}");
    EXPECT_EQ(conv(text("0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9"), g), guid);
    EXPECT_EQ(refusal(text("{nope}"), g).find("it is not a GUID") != std::string::npos, true);

    Literal null;
    EXPECT_TRUE(conv(null, column(ColumnType::Long)).isNull());
}

TEST(ValueConvert, ValuesFromOtherTablesKeepTheirExactness) {
    const ColumnDef dec = column(ColumnType::Decimal, 17, 28, 10);
    db::Decimal d;
    d.unscaled = "123456789012345678";
    d.scale = 10;
    d.precision = 28;
    EXPECT_EQ(jet::convertValue(db::Value::decimal(d), dec, "T").asDecimal().toString(),
              "12345678.9012345678");
    EXPECT_EQ(jet::convertValue(db::Value::doubleValue(2.5), column(ColumnType::Long), "T"),
              db::Value::integer(2));
    EXPECT_EQ(jet::convertValue(db::Value::currency({15000}), column(ColumnType::Double), "T"),
              db::Value::doubleValue(1.5));
    EXPECT_EQ(jet::convertValue(db::Value::integer(7), column(ColumnType::Text, 20), "T"),
              db::Value::text("7"));
}

}  // namespace
