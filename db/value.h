// The variant value of a field: what a record set hands out and a statement takes in.
//
// A Value is one of Null, Boolean, a signed or unsigned whole number, Single, Double, Currency
// (exact, a 64-bit count of ten-thousandths), Decimal (exact, digits with precision and scale),
// a date and time (civil fields, exact to the nanosecond), Text (UTF-8), Binary (bytes) or a GUID.
// Values are plain data: copyable, comparable, with no ties to the connection that produced them.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace db {

using Bytes = std::vector<std::uint8_t>;

// An exact decimal number: sign, unscaled digits, precision and scale.
// The value is (negative ? -1 : 1) * unscaled * 10^-scale. `unscaled` holds decimal digits only,
// without leading zeros ("0" for zero); zero is never negative.
struct Decimal {
    bool negative = false;
    std::string unscaled = "0";
    int precision = 18;
    int scale = 0;

    // Parses "-123.45", "+7", ".5", "1e3" is not accepted. Throws db::Error on bad text.
    // The scale is the number of digits after the point unless `scale` >= 0 forces one
    // (digits are then padded or the text is rejected when it would lose digits).
    static Decimal parse(std::string_view text, int precision = -1, int scale = -1);
    // "-123.4500": the point and exactly `scale` digits after it; no point when scale is 0.
    std::string toString() const;
    void appendTo(std::string& out) const;  // toString(), appended to `out`
    friend bool operator==(const Decimal&, const Decimal&) = default;
};

// A calendar date and time of day. Day 0 of the Access and ADO date scale is 1899-12-30.
struct DateTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int nanosecond = 0;

    friend auto operator<=>(const DateTime&, const DateTime&) = default;

    bool isMidnight() const { return hour == 0 && minute == 0 && second == 0 && nanosecond == 0; }
    bool isZeroDate() const { return year == 1899 && month == 12 && day == 30; }

    // Days from 1899-12-30 to this date (negative before it), ignoring the time of day.
    std::int64_t daysSinceEpoch() const;
    static DateTime fromDays(std::int64_t days);

    // Access's double: whole days since 1899-12-30, the fraction the time of day. Before the
    // epoch the fraction still counts forward from midnight, so -1.25 is 1899-12-29 06:00.
    // Rounded to the millisecond, as Access keeps it.
    static DateTime fromOleDate(double oleDate);
    double toOleDate() const;

    // "YYYY-MM-DD HH:MM:SS" with ".fffffffff" trimmed of trailing zeros when there is a fraction.
    std::string toIsoString(char separator = ' ') const;
    void appendIso(std::string& out, char separator = ' ') const;  // toIsoString(), appended
    // Validates the fields (month 1..12, day within the month, time in range).
    bool isValid() const;
};

// The 16 bytes of a GUID in display order: {00112233-4455-6677-8899-AABBCCDDEEFF}. A type of its
// own rather than an alias, so Value::Kind::Guid names the kind without hiding the type.
struct Guid : std::array<std::uint8_t, 16> {};

std::string guidToString(const Guid& guid);  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case
void appendGuid(std::string& out, const Guid& guid);  // guidToString(), appended to `out`
bool parseGuid(std::string_view text, Guid& out);     // with or without braces

// Currency: a count of ten-thousandths of a unit.
struct Currency {
    std::int64_t scaled = 0;
    friend auto operator<=>(const Currency&, const Currency&) = default;
    std::string toString() const;           // "-12.3400": always four digits after the point
    void appendTo(std::string& out) const;  // toString(), appended to `out`
};

class Value {
  public:
    enum class Kind : std::uint8_t {
        Null,
        Boolean,
        Integer,   // signed whole number (Byte, Integer, Long Integer, BIGINT ...)
        Unsigned,  // unsigned whole number above the signed range (BIGINT UNSIGNED)
        Single,
        Double,
        Currency,
        Decimal,
        DateTime,
        Text,
        Binary,
        Guid,
    };

    Value() = default;  // Null
    static Value null() { return Value(); }
    static Value boolean(bool b) { return Value(Storage(std::in_place_index<1>, b)); }
    static Value integer(std::int64_t i) { return Value(Storage(std::in_place_index<2>, i)); }
    static Value unsignedInteger(std::uint64_t u) {
        return Value(Storage(std::in_place_index<3>, u));
    }
    static Value single(float f) { return Value(Storage(std::in_place_index<4>, f)); }
    static Value doubleValue(double d) { return Value(Storage(std::in_place_index<5>, d)); }
    static Value currency(Currency c) { return Value(Storage(std::in_place_index<6>, c)); }
    static Value decimal(Decimal d) { return Value(Storage(std::in_place_index<7>, std::move(d))); }
    static Value dateTime(DateTime t) { return Value(Storage(std::in_place_index<8>, t)); }
    static Value text(std::string utf8) {
        return Value(Storage(std::in_place_index<9>, std::move(utf8)));
    }
    static Value binary(Bytes b) { return Value(Storage(std::in_place_index<10>, std::move(b))); }
    static Value guid(Guid g) { return Value(Storage(std::in_place_index<11>, g)); }

    // Makes this value an empty Text and returns the text to fill in; text this value held
    // already lends its room, so a value reused row after row allocates once.
    std::string& assignText() {
        if (auto* p = std::get_if<std::string>(&v_)) {
            p->clear();
            return *p;
        }
        return v_.emplace<std::string>();
    }

    Kind kind() const { return static_cast<Kind>(v_.index()); }
    bool isNull() const { return kind() == Kind::Null; }

    // Accessors. REQUIRES: kind() is the matching kind (checked; a mismatch throws db::Error).
    bool asBoolean() const;
    std::int64_t asInteger() const;
    std::uint64_t asUnsigned() const;
    float asSingle() const;
    double asDouble() const;
    Currency asCurrency() const;
    const Decimal& asDecimal() const;
    const DateTime& asDateTime() const;
    const std::string& asText() const;
    const Bytes& asBinary() const;
    const Guid& asGuid() const;

    // A plain, locale-independent rendering for diagnostics and tools: numbers with a decimal
    // point (Single and Double in the shortest form that reads back the same), Currency and
    // Decimal exactly, dates as ISO 8601 with a space, binary as lower-case hexadecimal, GUIDs in
    // braces, Booleans as "True"/"False", Null as "".
    std::string toDebugString() const;
    // toDebugString(), appended to `out` (no string of its own is made).
    void appendDebugString(std::string& out) const;

    friend bool operator==(const Value&, const Value&) = default;

  private:
    using Storage = std::variant<std::monostate, bool, std::int64_t, std::uint64_t, float, double,
                                 Currency, Decimal, DateTime, std::string, Bytes, Guid>;
    explicit Value(Storage s) : v_(std::move(s)) {}
    Storage v_;
};

// Shortest decimal text that reads back as the same number, no exponent, no trailing zeros
// ("0.1", "3", "-1.5", "1e+20" becomes "100000000000000000000"). Infinity and NaN: "inf", "nan".
std::string formatDouble(double d);
std::string formatSingle(float f);
std::string toHex(const Bytes& bytes);  // lower case, two digits a byte
// The same three, appended to `out`.
void appendDouble(std::string& out, double d);
void appendSingle(std::string& out, float f);
void appendHex(std::string& out, const Bytes& bytes);
// The decimal digits of `v`, appended to `out` (a sign first when it is negative).
void appendInteger(std::string& out, std::int64_t v);
void appendUnsigned(std::string& out, std::uint64_t v);

}  // namespace db
