// Value conversion for the MySQL backend.
#include "db/mysql/mysql_values.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string>

#include "db/error.h"

namespace db::mysql {

namespace {

constexpr std::int64_t kNanosPerSecond = 1'000'000'000;
constexpr std::int64_t kNanosPerDay = 86'400 * kNanosPerSecond;

// Reads exactly `count` digits at `pos`, advancing it.
bool digits(std::string_view s, std::size_t& pos, std::size_t count, int& out) {
    if (pos + count > s.size()) return false;
    int v = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char c = s[pos + i];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    pos += count;
    out = v;
    return true;
}

bool expect(std::string_view s, std::size_t& pos, char c) {
    if (pos >= s.size() || s[pos] != c) return false;
    ++pos;
    return true;
}

// ".ffffff" (up to nine digits) into nanoseconds; nothing at all is zero.
bool fraction(std::string_view s, std::size_t& pos, int& nanos) {
    nanos = 0;
    if (pos == s.size()) return true;
    if (s[pos] != '.') return false;
    ++pos;
    std::size_t n = 0;
    int v = 0;
    while (pos < s.size() && n < 9 && s[pos] >= '0' && s[pos] <= '9') {
        v = v * 10 + (s[pos++] - '0');
        ++n;
    }
    if (n == 0 || pos != s.size()) return false;
    for (; n < 9; ++n)
        v *= 10;
    nanos = v;
    return true;
}

bool allZeroDigits(std::string_view s) {
    for (char c : s)
        if (c >= '1' && c <= '9') return false;
    return true;
}

[[noreturn]] void unreadable(std::string_view what, std::string_view text) {
    throw Error(errc::kGeneric, "The MySQL server sent \"" + std::string(text) +
                                    "\" where a value of type " + std::string(what) +
                                    " was expected.");
}

template <typename T>
T wholeNumber(std::string_view text, std::string_view what) {
    T v{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) unreadable(what, text);
    return v;
}

template <typename T>
T floating(std::string_view text, std::string_view what) {
    T v{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) unreadable(what, text);
    return v;
}

Value dateValue(std::string_view text, bool (*parse)(std::string_view, DateTime&),
                std::string_view what) {
    DateTime t;
    if (parse(text, t)) return Value::dateTime(t);
    // Not a calendar date: check that only the digits are to blame (the server's shape with a
    // zero or out-of-range month or day), not the form.
    std::string shape(text);
    for (char& c : shape)
        if (c >= '0' && c <= '9') c = '1';
    if (!parse(shape, t)) unreadable(what, text);
    if (allZeroDigits(text)) return Value::null();
    return Value::text(std::string(text));
}

}  // namespace

bool parseMySqlDate(std::string_view s, DateTime& out) {
    std::size_t pos = 0;
    DateTime t;
    if (!digits(s, pos, 4, t.year) || !expect(s, pos, '-') || !digits(s, pos, 2, t.month) ||
        !expect(s, pos, '-') || !digits(s, pos, 2, t.day) || pos != s.size())
        return false;
    if (!t.isValid() || t.year < 1) return false;
    out = t;
    return true;
}

bool parseMySqlDateTime(std::string_view s, DateTime& out) {
    if (s.size() < 19) return false;
    DateTime t;
    if (!parseMySqlDate(s.substr(0, 10), t)) return false;
    std::size_t pos = 10;
    if (!expect(s, pos, ' ') || !digits(s, pos, 2, t.hour) || !expect(s, pos, ':') ||
        !digits(s, pos, 2, t.minute) || !expect(s, pos, ':') || !digits(s, pos, 2, t.second) ||
        !fraction(s, pos, t.nanosecond))
        return false;
    if (!t.isValid()) return false;
    out = t;
    return true;
}

bool parseMySqlTime(std::string_view s, DateTime& out) {
    std::size_t pos = 0;
    const bool negative = !s.empty() && s[0] == '-';
    if (negative) ++pos;
    std::int64_t hours = 0;
    std::size_t hourDigits = 0;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9' && hourDigits < 7) {
        hours = hours * 10 + (s[pos++] - '0');
        ++hourDigits;
    }
    int minutes = 0, seconds = 0, nanos = 0;
    if (hourDigits == 0 || !expect(s, pos, ':') || !digits(s, pos, 2, minutes) ||
        !expect(s, pos, ':') || !digits(s, pos, 2, seconds) || !fraction(s, pos, nanos))
        return false;
    if (minutes > 59 || seconds > 59) return false;
    const std::int64_t total = ((hours * 60 + minutes) * 60 + seconds) * kNanosPerSecond + nanos;
    out = fromZeroDate(negative ? -total : total);
    return true;
}

DateTime fromZeroDate(std::int64_t nanoseconds) {
    // Floor division, so a negative duration lands on an earlier day with a forward time.
    std::int64_t days = nanoseconds / kNanosPerDay;
    std::int64_t rest = nanoseconds % kNanosPerDay;
    if (rest < 0) {
        rest += kNanosPerDay;
        --days;
    }
    DateTime t = DateTime::fromDays(days);
    const std::int64_t secs = rest / kNanosPerSecond;
    t.hour = static_cast<int>(secs / 3600);
    t.minute = static_cast<int>(secs / 60 % 60);
    t.second = static_cast<int>(secs % 60);
    t.nanosecond = static_cast<int>(rest % kNanosPerSecond);
    return t;
}

Value convertTemporal(const ColumnShape& shape, const MYSQL_TIME& t) {
    const auto micros = static_cast<std::int64_t>(t.second_part);
    if (shape.kind == ColumnKind::Time) {
        const std::int64_t hours = std::int64_t{t.day} * 24 + t.hour;
        const std::int64_t total =
            ((hours * 60 + t.minute) * 60 + t.second) * kNanosPerSecond + micros * 1000;
        return Value::dateTime(fromZeroDate(t.neg ? -total : total));
    }
    if (t.year == 0 && t.month == 0 && t.day == 0 && t.hour == 0 && t.minute == 0 &&
        t.second == 0 && micros == 0)
        return Value::null();
    DateTime d{static_cast<int>(t.year),       static_cast<int>(t.month),
               static_cast<int>(t.day),        static_cast<int>(t.hour),
               static_cast<int>(t.minute),     static_cast<int>(t.second),
               static_cast<int>(micros * 1000)};
    if (d.year >= 1 && d.isValid()) return Value::dateTime(d);
    // No calendar date: the server's own spelling, as the text protocol gives it.
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "%04u-%02u-%02u", t.year, t.month, t.day);
    if (shape.kind == ColumnKind::DateTime) {
        n += std::snprintf(buf + n, sizeof buf - n, " %02u:%02u:%02u", t.hour, t.minute, t.second);
        if (shape.scale > 0 && shape.scale <= 6) {
            char frac[16];
            std::snprintf(frac, sizeof frac, "%06lu", t.second_part);
            n += std::snprintf(buf + n, sizeof buf - n, ".%.*s", shape.scale, frac);
        }
    }
    return Value::text(std::string(buf, static_cast<std::size_t>(n)));
}

Value convertValue(const ColumnShape& shape, const char* data, unsigned long length) {
    if (!data) return Value::null();
    const std::string_view text(data, length);
    switch (shape.kind) {
        case ColumnKind::Null:
            return Value::null();
        case ColumnKind::Signed:
            return Value::integer(wholeNumber<std::int64_t>(text, "integer"));
        case ColumnKind::Unsigned: {
            const auto u = wholeNumber<std::uint64_t>(text, "unsigned integer");
            if (u <= static_cast<std::uint64_t>(INT64_MAX))
                return Value::integer(static_cast<std::int64_t>(u));
            return Value::unsignedInteger(u);
        }
        case ColumnKind::Single:
            return Value::single(floating<float>(text, "FLOAT"));
        case ColumnKind::Double:
            return Value::doubleValue(floating<double>(text, "DOUBLE"));
        case ColumnKind::Decimal:
            try {
                return Value::decimal(Decimal::parse(text, shape.precision, shape.scale));
            } catch (const Error&) {
                // A computed column may carry more digits than its declared precision; the
                // value itself still counts, exactly.
                try {
                    return Value::decimal(Decimal::parse(text));
                } catch (const Error&) {
                    unreadable("DECIMAL", text);
                }
            }
        case ColumnKind::Date:
            return dateValue(text, parseMySqlDate, "DATE");
        case ColumnKind::DateTime:
            return dateValue(text, parseMySqlDateTime, "DATETIME");
        case ColumnKind::Time: {
            DateTime t;
            if (!parseMySqlTime(text, t)) unreadable("TIME", text);
            return Value::dateTime(t);
        }
        case ColumnKind::Text:
            return Value::text(std::string(text));
        case ColumnKind::Binary: {
            const auto* p = reinterpret_cast<const std::uint8_t*>(data);
            return Value::binary(Bytes(p, p + length));
        }
        case ColumnKind::Bit1:
            return Value::boolean(length > 0 && data[length - 1] != 0);
    }
    return Value::null();
}

}  // namespace db::mysql
