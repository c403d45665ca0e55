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

// Appends the plain positional form of the shortest scientific form "d.dddde±x".
void appendPlainFromScientific(std::string& out, const char* first, const char* last) {
    if (first != last && *first == '-') {
        out += '-';
        ++first;
    }
    const char* e = first;
    while (e != last && *e != 'e')
        ++e;
    if (e == last) {
        out.append(first, last);
        return;
    }
    int exponent = 0;
    std::from_chars(e + 1 + (e[1] == '+' ? 1 : 0), last, exponent);
    // The digits without the point: at most 17 for a double.
    char digits[32];
    std::size_t count = 0;
    for (const char* p = first; p != e && count < sizeof digits; ++p)
        if (*p != '.') digits[count++] = *p;
    // value = 0.digits * 10^(exponent + 1)
    const int pointPos = exponent + 1;  // digits before the point
    if (pointPos <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-pointPos), '0');
        out.append(digits, count);
    } else if (static_cast<std::size_t>(pointPos) >= count) {
        out.append(digits, count);
        out.append(static_cast<std::size_t>(pointPos) - count, '0');
    } else {
        out.append(digits, static_cast<std::size_t>(pointPos));
        out += '.';
        out.append(digits + pointPos, count - static_cast<std::size_t>(pointPos));
    }
}

template <typename F>
void appendShortest(std::string& out, F value) {
    if (std::isnan(value)) {
        out += "nan";
    } else if (std::isinf(value)) {
        out += value < 0 ? "-inf" : "inf";
    } else if (value == 0) {
        out += std::signbit(value) ? "-0" : "0";
    } else {
        char buf[64];
        auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
        appendPlainFromScientific(out, buf, res.ptr);
    }
}

// Appends `v` as exactly `width` digits, zeros in front.
void appendDigits(std::string& out, unsigned v, int width) {
    char buf[10];
    for (int i = width - 1; i >= 0; --i) {
        buf[i] = static_cast<char>('0' + v % 10);
        v /= 10;
    }
    out.append(buf, static_cast<std::size_t>(width));
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
    std::string out;
    appendTo(out);
    return out;
}

void Decimal::appendTo(std::string& out) const {
    const std::string_view digits = unscaled.empty() ? std::string_view("0") : unscaled;
    if (negative && unscaled != "0") out += '-';
    if (scale <= 0) {
        out += digits;
        return;
    }
    const auto fraction = static_cast<std::size_t>(scale);
    if (digits.size() <= fraction) {
        out += "0.";
        out.append(fraction - digits.size(), '0');
        out += digits;
        return;
    }
    out += digits.substr(0, digits.size() - fraction);
    out += '.';
    out += digits.substr(digits.size() - fraction);
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
    std::string s;
    appendIso(s, separator);
    return s;
}

void DateTime::appendIso(std::string& out, char separator) const {
    const auto two = [](int v) { return v >= 0 && v < 100; };
    if (year >= 0 && year <= 9999 && two(month) && two(day) && two(hour) && two(minute) &&
        two(second)) {
        // Written into a buffer of the text's fixed length and appended once.
        char b[19];
        const auto put = [&b](int at, unsigned v, int width) {
            for (int k = at + width - 1; k >= at; --k) {
                b[k] = static_cast<char>('0' + v % 10);
                v /= 10;
            }
        };
        put(0, static_cast<unsigned>(year), 4);
        b[4] = '-';
        put(5, static_cast<unsigned>(month), 2);
        b[7] = '-';
        put(8, static_cast<unsigned>(day), 2);
        b[10] = separator;
        put(11, static_cast<unsigned>(hour), 2);
        b[13] = ':';
        put(14, static_cast<unsigned>(minute), 2);
        b[16] = ':';
        put(17, static_cast<unsigned>(second), 2);
        out.append(b, sizeof b);
    } else {
        // Fields out of the usual ranges (never read from a file) are printed as they are.
        char buf[96];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d%c%02d:%02d:%02d", year, month, day,
                      separator, hour, minute, second);
        out += buf;
    }
    if (nanosecond != 0) {
        char buf[32];
        std::snprintf(buf, sizeof buf, ".%09d", nanosecond);
        std::string_view frac = buf;
        while (frac.back() == '0')
            frac.remove_suffix(1);
        out += frac;
    }
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
    std::string s;
    appendGuid(s, g);
    return s;
}

void appendGuid(std::string& out, const Guid& g) {
    static const char kDigits[] = "0123456789ABCDEF";
    char buf[38];
    std::size_t n = 0;
    buf[n++] = '{';
    for (std::size_t i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) buf[n++] = '-';
        buf[n++] = kDigits[g[i] >> 4];
        buf[n++] = kDigits[g[i] & 15];
    }
    buf[n++] = '}';
    out.append(buf, n);
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
    std::string s;
    appendTo(s);
    return s;
}

void Currency::appendTo(std::string& out) const {
    const bool neg = scaled < 0;
    // Work in unsigned to keep INT64_MIN exact.
    const std::uint64_t mag =
        neg ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
    if (neg) out += '-';
    appendUnsigned(out, mag / 10000);
    out += '.';
    appendDigits(out, static_cast<unsigned>(mag % 10000), 4);
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
    if (kind() == Kind::Text) return asText();
    std::string s;
    appendDebugString(s);
    return s;
}

void Value::appendDebugString(std::string& out) const {
    switch (kind()) {
        case Kind::Null:
            return;
        case Kind::Boolean:
            out += asBoolean() ? "True" : "False";
            return;
        case Kind::Integer:
            appendInteger(out, asInteger());
            return;
        case Kind::Unsigned:
            appendUnsigned(out, asUnsigned());
            return;
        case Kind::Single:
            appendSingle(out, asSingle());
            return;
        case Kind::Double:
            appendDouble(out, asDouble());
            return;
        case Kind::Currency:
            asCurrency().appendTo(out);
            return;
        case Kind::Decimal:
            asDecimal().appendTo(out);
            return;
        case Kind::DateTime:
            asDateTime().appendIso(out, ' ');
            return;
        case Kind::Text:
            out += asText();
            return;
        case Kind::Binary:
            appendHex(out, asBinary());
            return;
        case Kind::Guid:
            appendGuid(out, asGuid());
            return;
    }
}

std::string formatDouble(double d) {
    std::string s;
    appendDouble(s, d);
    return s;
}
std::string formatSingle(float f) {
    std::string s;
    appendSingle(s, f);
    return s;
}
void appendDouble(std::string& out, double d) {
    appendShortest(out, d);
}
void appendSingle(std::string& out, float f) {
    appendShortest(out, f);
}

std::string toHex(const Bytes& bytes) {
    std::string s;
    appendHex(s, bytes);
    return s;
}

void appendHex(std::string& out, const Bytes& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    const std::size_t start = out.size();
    out.resize(start + bytes.size() * 2);
    char* p = out.data() + start;
    for (auto b : bytes) {
        *p++ = kDigits[b >> 4];
        *p++ = kDigits[b & 15];
    }
}

void appendInteger(std::string& out, std::int64_t v) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr);
}

void appendUnsigned(std::string& out, std::uint64_t v) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr);
}

}  // namespace db
