// Value and its exact numeric and calendar parts.
#include "db/value.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "db/error.h"

namespace db {

namespace {

[[noreturn]] void wrongKind(const char* wanted) {
    throw Error(errc::kGeneric, std::string("The value is not of the kind ") + wanted + ".");
}

// Days from 1970-01-01 for a proleptic Gregorian date (after H. Hinnant's civil algorithms).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

const std::int64_t kEpochFrom1970 = daysFromCivil(1899, 12, 30);

// Turns the shortest scientific form "d.dddde±x" into plain positional notation.
std::string plainFromScientific(const char* first, const char* last) {
    std::string s(first, last);
    std::string sign;
    if (!s.empty() && s[0] == '-') {
        sign = "-";
        s.erase(0, 1);
    }
    const auto e = s.find('e');
    if (e == std::string::npos) return sign + s;
    const int exponent = std::atoi(s.c_str() + e + 1);
    std::string digits;
    for (std::size_t i = 0; i < e; ++i)
        if (s[i] != '.') digits += s[i];
    // value = 0.digits * 10^(exponent + 1)
    const int pointPos = exponent + 1;  // digits before the point
    std::string out;
    if (pointPos <= 0) {
        out = "0." + std::string(static_cast<std::size_t>(-pointPos), '0') + digits;
    } else if (static_cast<std::size_t>(pointPos) >= digits.size()) {
        out = digits + std::string(static_cast<std::size_t>(pointPos) - digits.size(), '0');
    } else {
        out = digits.substr(0, static_cast<std::size_t>(pointPos)) + "." +
              digits.substr(static_cast<std::size_t>(pointPos));
    }
    return sign + out;
}

template <typename F>
std::string formatShortest(F value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    if (value == 0) return std::signbit(value) ? "-0" : "0";
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    return plainFromScientific(buf, res.ptr);
}

}  // namespace

// ---- Decimal ----

Decimal Decimal::parse(std::string_view text, int precision, int scale) {
    auto bad = [&] {
        return Error(errc::kConstraint, "'" + std::string(text) + "' is not a decimal number.");
    };
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::string intPart, fracPart;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            (point ? fracPart : intPart) += c;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            throw bad();
        }
    }
    if (intPart.empty() && fracPart.empty()) throw bad();
    if (scale >= 0) {
        if (fracPart.size() > static_cast<std::size_t>(scale)) {
            // Digits beyond the scale must be zeros; anything else would be lost.
            for (std::size_t k = static_cast<std::size_t>(scale); k < fracPart.size(); ++k)
                if (fracPart[k] != '0') throw bad();
            fracPart.resize(static_cast<std::size_t>(scale));
        }
        fracPart.append(static_cast<std::size_t>(scale) - fracPart.size(), '0');
    }
    Decimal d;
    d.scale = static_cast<int>(fracPart.size());
    std::string all = intPart + fracPart;
    const auto nz = all.find_first_not_of('0');
    d.unscaled = nz == std::string::npos ? "0" : all.substr(nz);
    d.negative = negative && d.unscaled != "0";
    const int digits = static_cast<int>(d.unscaled.size());
    if (precision >= 0) {
        if (digits > precision && d.unscaled != "0") throw bad();
        d.precision = precision;
    } else {
        d.precision = std::max(digits, std::max(d.scale, 1));
    }
    return d;
}

std::string Decimal::toString() const {
    std::string digits = unscaled.empty() ? "0" : unscaled;
    std::string out;
    if (scale > 0) {
        if (digits.size() <= static_cast<std::size_t>(scale))
            digits.insert(0, static_cast<std::size_t>(scale) + 1 - digits.size(), '0');
        out = digits.substr(0, digits.size() - static_cast<std::size_t>(scale)) + "." +
              digits.substr(digits.size() - static_cast<std::size_t>(scale));
    } else {
        out = digits;
    }
    return (negative && unscaled != "0" ? "-" : "") + out;
}

// ---- DateTime ----

std::int64_t DateTime::daysSinceEpoch() const {
    return daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
           kEpochFrom1970;
}

DateTime DateTime::fromDays(std::int64_t days) {
    DateTime t;
    civilFromDays(days + kEpochFrom1970, t.year, t.month, t.day);
    return t;
}

DateTime DateTime::fromOleDate(double oleDate) {
    if (!std::isfinite(oleDate) || std::fabs(oleDate) > 1e9)
        throw Error(errc::kOverflow, "The date value is outside the range of dates.");
    const double whole = std::trunc(oleDate);
    const double fraction = std::fabs(oleDate - whole);
    auto days = static_cast<std::int64_t>(whole);
    auto ms = static_cast<std::int64_t>(std::llround(fraction * 86400000.0));
    if (ms >= 86400000) {
        ms -= 86400000;
        days += 1;
    }
    DateTime t = fromDays(days);
    t.hour = static_cast<int>(ms / 3600000);
    t.minute = static_cast<int>(ms / 60000 % 60);
    t.second = static_cast<int>(ms / 1000 % 60);
    t.nanosecond = static_cast<int>(ms % 1000) * 1000000;
    return t;
}

double DateTime::toOleDate() const {
    const double days = static_cast<double>(daysSinceEpoch());
    const double fraction = (hour * 3600.0 + minute * 60.0 + second + nanosecond / 1e9) / 86400.0;
    return days >= 0 ? days + fraction : days - fraction;
}

std::string DateTime::toIsoString(char separator) const {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d%c%02d:%02d:%02d", year, month, day, separator,
                  hour, minute, second);
    std::string s = buf;
    if (nanosecond != 0) {
        std::snprintf(buf, sizeof buf, ".%09d", nanosecond);
        std::string frac = buf;
        while (frac.back() == '0')
            frac.pop_back();
        s += frac;
    }
    return s;
}

bool DateTime::isValid() const {
    if (month < 1 || month > 12 || day < 1) return false;
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int dim = kDays[month - 1];
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && leap) dim = 29;
    return day <= dim && hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 &&
           second < 60 && nanosecond >= 0 && nanosecond < 1000000000;
}

// ---- GUID and Currency ----

std::string guidToString(const Guid& g) {
    char buf[40];
    std::snprintf(buf, sizeof buf,
                  "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g[0],
                  g[1], g[2], g[3], g[4], g[5], g[6], g[7], g[8], g[9], g[10], g[11], g[12], g[13],
                  g[14], g[15]);
    return buf;
}

bool parseGuid(std::string_view text, Guid& out) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
    if (text.size() != 36) return false;
    std::size_t k = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != '-') return false;
            ++i;
            continue;
        }
        int byte = 0;
        for (int n = 0; n < 2; ++n, ++i) {
            const char c = text[i];
            int v;
            if (c >= '0' && c <= '9')
                v = c - '0';
            else if (c >= 'a' && c <= 'f')
                v = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                v = c - 'A' + 10;
            else
                return false;
            byte = byte * 16 + v;
        }
        out[k++] = static_cast<std::uint8_t>(byte);
    }
    return k == 16;
}

std::string Currency::toString() const {
    const bool neg = scaled < 0;
    // Work in unsigned to keep INT64_MIN exact.
    const std::uint64_t mag =
        neg ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%s%llu.%04llu", neg ? "-" : "",
                  static_cast<unsigned long long>(mag / 10000),
                  static_cast<unsigned long long>(mag % 10000));
    return buf;
}

// ---- Value ----

bool Value::asBoolean() const {
    if (auto p = std::get_if<bool>(&v_)) return *p;
    wrongKind("Boolean");
}
std::int64_t Value::asInteger() const {
    if (auto p = std::get_if<std::int64_t>(&v_)) return *p;
    wrongKind("Integer");
}
std::uint64_t Value::asUnsigned() const {
    if (auto p = std::get_if<std::uint64_t>(&v_)) return *p;
    wrongKind("Unsigned");
}
float Value::asSingle() const {
    if (auto p = std::get_if<float>(&v_)) return *p;
    wrongKind("Single");
}
double Value::asDouble() const {
    if (auto p = std::get_if<double>(&v_)) return *p;
    wrongKind("Double");
}
Currency Value::asCurrency() const {
    if (auto p = std::get_if<Currency>(&v_)) return *p;
    wrongKind("Currency");
}
const Decimal& Value::asDecimal() const {
    if (auto p = std::get_if<Decimal>(&v_)) return *p;
    wrongKind("Decimal");
}
const DateTime& Value::asDateTime() const {
    if (auto p = std::get_if<DateTime>(&v_)) return *p;
    wrongKind("DateTime");
}
const std::string& Value::asText() const {
    if (auto p = std::get_if<std::string>(&v_)) return *p;
    wrongKind("Text");
}
const Bytes& Value::asBinary() const {
    if (auto p = std::get_if<Bytes>(&v_)) return *p;
    wrongKind("Binary");
}
const Guid& Value::asGuid() const {
    if (auto p = std::get_if<Guid>(&v_)) return *p;
    wrongKind("Guid");
}

std::string Value::toDebugString() const {
    switch (kind()) {
        case Kind::Null:
            return "";
        case Kind::Boolean:
            return asBoolean() ? "True" : "False";
        case Kind::Integer:
            return std::to_string(asInteger());
        case Kind::Unsigned:
            return std::to_string(asUnsigned());
        case Kind::Single:
            return formatSingle(asSingle());
        case Kind::Double:
            return formatDouble(asDouble());
        case Kind::Currency:
            return asCurrency().toString();
        case Kind::Decimal:
            return asDecimal().toString();
        case Kind::DateTime:
            return asDateTime().toIsoString(' ');
        case Kind::Text:
            return asText();
        case Kind::Binary:
            return toHex(asBinary());
        case Kind::Guid:
            return guidToString(asGuid());
    }
    return "";
}

std::string formatDouble(double d) {
    return formatShortest(d);
}
std::string formatSingle(float f) {
    return formatShortest(f);
}

std::string toHex(const Bytes& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string s;
    s.reserve(bytes.size() * 2);
    for (auto b : bytes) {
        s += kDigits[b >> 4];
        s += kDigits[b & 15];
    }
    return s;
}

}  // namespace db
