// Conversions of literals and values into the values columns store.
#include "db/jet/write/value_convert.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

#include "db/jet/base/error.h"
#include "db/jet/format/text_codec.h"

namespace jet {

namespace {

using Kind = db::Value::Kind;

// An exact decimal number: (negative ? -1 : 1) × digits × 10^exponent, digits without leading
// zeros ("" for zero).
struct ExactNumber {
    bool negative = false;
    std::string digits;
    int exponent = 0;

    bool isZero() const { return digits.empty(); }
};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Reads "[+-]digits[.digits][e[+-]digits]" (one side of the point may be empty). Returns false
// for anything else.
bool parseExact(std::string_view text, ExactNumber& out) {
    text = trim(text);
    std::size_t i = 0;
    out = ExactNumber{};
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) out.negative = text[i++] == '-';
    std::string all;
    int fraction = 0;
    bool point = false, any = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            all += c;
            any = true;
            if (point) ++fraction;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!any) return false;
    long long exp = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) expNegative = text[i++] == '-';
        if (i >= text.size()) return false;
        for (; i < text.size(); ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
            if (exp < 100000) exp = exp * 10 + (text[i] - '0');
        }
        if (expNegative) exp = -exp;
    }
    if (i != text.size()) return false;
    const auto nz = all.find_first_not_of('0');
    if (nz == std::string::npos) {
        out.negative = false;
        return true;
    }
    all.erase(0, nz);
    // Trailing zeros move into the exponent, so equal numbers have equal digits.
    int trailing = 0;
    while (all.size() > 1 && all.back() == '0') {
        all.pop_back();
        ++trailing;
    }
    out.digits = std::move(all);
    out.exponent = static_cast<int>(exp) - fraction + trailing;
    return true;
}

// The number rounded to `scale` places after the point, half to even, as a whole count of
// 10^-scale; false when it needs more than `maxDigits` digits.
bool scaled(const ExactNumber& n, int scale, std::size_t maxDigits, std::string& out) {
    if (n.isZero()) {
        out = "0";
        return true;
    }
    const long long shift = static_cast<long long>(n.exponent) + scale;
    std::string d = n.digits;
    if (shift >= 0) {
        if (d.size() + static_cast<std::size_t>(shift) > maxDigits) return false;
        d.append(static_cast<std::size_t>(shift), '0');
        out = d;
        return true;
    }
    const std::size_t drop = static_cast<std::size_t>(-shift);
    std::string kept = drop >= d.size() ? std::string() : d.substr(0, d.size() - drop);
    // The dropped part against one half: its first digit, then whether anything follows.
    const std::string rest =
        drop >= d.size() ? std::string(drop - d.size(), '0') + d : d.substr(d.size() - drop);
    const int first = rest[0] - '0';
    bool more = false;
    for (std::size_t k = 1; k < rest.size(); ++k)
        if (rest[k] != '0') more = true;
    const bool lastOdd = !kept.empty() && ((kept.back() - '0') % 2 == 1);
    const bool up = first > 5 || (first == 5 && (more || lastOdd));
    if (kept.empty()) kept = "0";
    if (up) {
        int k = static_cast<int>(kept.size()) - 1;
        while (k >= 0 && kept[static_cast<std::size_t>(k)] == '9') {
            kept[static_cast<std::size_t>(k)] = '0';
            --k;
        }
        if (k < 0)
            kept.insert(kept.begin(), '1');
        else
            ++kept[static_cast<std::size_t>(k)];
    }
    const auto nz = kept.find_first_not_of('0');
    kept = nz == std::string::npos ? "0" : kept.substr(nz);
    if (kept.size() > maxDigits) return false;
    out = kept;
    return true;
}

// The number as a double, correctly rounded; false when it is beyond the double range.
bool toDouble(const ExactNumber& n, double& out) {
    if (n.isZero()) {
        out = 0.0;
        return true;
    }
    // Exponents far outside the double range need no parsing.
    const long long magnitude = static_cast<long long>(n.digits.size()) + n.exponent;
    if (magnitude > 400) return false;
    if (magnitude < -400) {
        out = n.negative ? -0.0 : 0.0;
        return true;
    }
    const std::string text = (n.negative ? "-" : "") + n.digits + "e" + std::to_string(n.exponent);
    double v = 0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), v);
    if (res.ec == std::errc::result_out_of_range) {
        // Underflow gives zero; overflow is out of range.
        if (magnitude < 0) {
            out = n.negative ? -0.0 : 0.0;
            return true;
        }
        return false;
    }
    if (res.ec != std::errc() || !std::isfinite(v)) return false;
    out = v;
    return true;
}

ExactNumber exactFromInteger(std::int64_t v) {
    ExactNumber n;
    if (v == 0) return n;
    n.negative = v < 0;
    const unsigned long long mag =
        v < 0 ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
    parseExact(std::to_string(mag), n);
    n.negative = v < 0;
    return n;
}

int compareDigits(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b) < 0 ? -1 : a.compare(b) > 0 ? 1 : 0;
}

std::string shortened(std::string_view s) {
    constexpr std::size_t kShown = 40;
    if (utf16Length(s) <= kShown) return std::string(s);
    std::string out;
    std::size_t units = 0;
    for (char32_t c : decodeUtf8(s)) {
        units += c >= 0x10000 ? 2 : 1;
        if (units > kShown) break;
        appendUtf8(out, c);
    }
    return out + "...";
}

// Builds the messages of refused values.
class Refusal {
  public:
    Refusal(const ColumnDef& c, std::string_view table) : c_(c), table_(table) {}
    [[noreturn]] void fail(const std::string& shownValue, const std::string& why) const {
        throw Error(ErrorKind::Constraint, "The value " + shownValue +
                                               " cannot be stored in the column '" + c_.name +
                                               "' (" + describeColumnType(c_) + ") of table '" +
                                               std::string(table_) + "': " + why + ".");
    }

  private:
    const ColumnDef& c_;
    std::string_view table_;
};

std::string quoted(std::string_view text) {
    return "'" + shortened(text) + "'";
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

// Text from binary bytes taken as UTF-16 code units, low byte first.
std::string textFromBytes(const db::Bytes& b) {
    std::string out;
    db::Bytes units = b;
    if (units.size() % 2 != 0) units.push_back(0);
    appendUtf16le(out, units);
    return out;
}

// A number of any of the numeric kinds, as an exact number; false for other kinds.
bool exactOf(const db::Value& v, ExactNumber& out) {
    switch (v.kind()) {
        case Kind::Integer:
            out = exactFromInteger(v.asInteger());
            return true;
        case Kind::Unsigned:
            return parseExact(std::to_string(v.asUnsigned()), out);
        case Kind::Single:
            if (!std::isfinite(v.asSingle())) return false;
            return parseExact(db::formatSingle(v.asSingle()), out);
        case Kind::Double:
            if (!std::isfinite(v.asDouble())) return false;
            return parseExact(db::formatDouble(v.asDouble()), out);
        case Kind::Currency:
            return parseExact(v.asCurrency().toString(), out);
        case Kind::Decimal:
            return parseExact(v.asDecimal().toString(), out);
        case Kind::Boolean:
            out = exactFromInteger(v.asBoolean() ? -1 : 0);
            return true;
        default:
            return false;
    }
}

// What a message shows for a value.
std::string shownValue(const db::Value& v) {
    switch (v.kind()) {
        case Kind::Text:
            return quoted(v.asText());
        case Kind::Binary:
            return "of " + std::to_string(v.asBinary().size()) + " bytes";
        default:
            return shortened(v.toDebugString());
    }
}

class Converter {
  public:
    Converter(const ColumnDef& c, std::string_view table) : c_(c), refuse_(c, table) {}

    // As convert(), taking the value over: text into text columns and bytes into binary ones
    // are checked and kept, not copied.
    db::Value take(db::Value&& v) const {
        if (v.kind() == Kind::Text &&
            (c_.type == ColumnType::Text || c_.type == ColumnType::Memo)) {
            if (c_.type == ColumnType::Text)
                checkTextLength(v.asText());
            else
                checkUtf8(v.asText());
            return std::move(v);
        }
        if (v.kind() == Kind::Binary &&
            (c_.type == ColumnType::Binary || c_.type == ColumnType::Ole)) {
            if (c_.type == ColumnType::Binary && v.asBinary().size() > c_.length)
                refuse_.fail(shownValue(v),
                             "the column holds " + std::to_string(c_.length) + " bytes");
            return std::move(v);
        }
        return convert(v);
    }

    db::Value convert(const db::Value& v) const {
        if (v.isNull()) return v;
        switch (c_.type) {
            case ColumnType::Boolean:
                return toBoolean(v);
            case ColumnType::Byte:
                return toInteger(v, 0, 255);
            case ColumnType::Integer:
                return toInteger(v, -32768, 32767);
            case ColumnType::Long:
                return toInteger(v, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max());
            case ColumnType::BigInt:
                return toInteger(v, std::numeric_limits<std::int64_t>::min(),
                                 std::numeric_limits<std::int64_t>::max());
            case ColumnType::Currency:
                return toCurrency(v);
            case ColumnType::Decimal:
                return toDecimal(v);
            case ColumnType::Single:
                return toFloating(v, true);
            case ColumnType::Double:
                return toFloating(v, false);
            case ColumnType::DateTime:
            case ColumnType::ExtDateTime:
                return toDate(v);
            case ColumnType::Text:
            case ColumnType::Memo:
                return toText(v);
            case ColumnType::Binary:
            case ColumnType::Ole:
                return toBinary(v);
            case ColumnType::Guid:
                return toGuid(v);
            case ColumnType::Complex:
            case ColumnType::Unknown:
                break;
        }
        refuse_.fail(shownValue(v), "the Access engine cannot write columns of this kind");
    }

  private:
    ExactNumber numberOf(const db::Value& v, const char* why = "it is not a number") const {
        ExactNumber n;
        if (v.kind() == Kind::Text) {
            if (!parseExact(v.asText(), n)) refuse_.fail(quoted(v.asText()), why);
            return n;
        }
        if (!exactOf(v, n)) refuse_.fail(shownValue(v), why);
        return n;
    }

    db::Value toBoolean(const db::Value& v) const {
        if (v.kind() == Kind::Boolean) return v;
        if (v.kind() == Kind::Text) {
            const std::string_view t = trim(v.asText());
            for (const char* yes : {"True", "Yes", "On"})
                if (equalsNoCase(t, yes)) return db::Value::boolean(true);
            for (const char* no : {"False", "No", "Off"})
                if (equalsNoCase(t, no)) return db::Value::boolean(false);
        }
        const ExactNumber n = numberOf(v, "it is neither True nor False nor a number");
        return db::Value::boolean(!n.isZero());
    }

    db::Value toInteger(const db::Value& v, std::int64_t min, std::int64_t max) const {
        if (v.kind() == Kind::Integer && v.asInteger() >= min && v.asInteger() <= max) return v;
        if (v.kind() == Kind::Text) {
            // Plain whole numbers need no exact arithmetic.
            const std::string_view t = trim(v.asText());
            std::int64_t value = 0;
            const auto res = std::from_chars(t.data(), t.data() + t.size(), value);
            if (!t.empty() && res.ec == std::errc() && res.ptr == t.data() + t.size() &&
                value >= min && value <= max)
                return db::Value::integer(value);
        }
        const ExactNumber n = numberOf(v);
        std::string digits;
        const std::string limit = std::to_string(n.negative ? min : max);
        const std::string bound = limit[0] == '-' ? limit.substr(1) : limit;
        if (!scaled(n, 0, 19, digits) || compareDigits(digits, bound) > 0)
            refuse_.fail(shownValue(v), "it is outside the range from " + std::to_string(min) +
                                            " to " + std::to_string(max));
        // The bound check above keeps the magnitude within the range of the type.
        const unsigned long long mag = std::stoull(digits);
        const std::int64_t value = n.negative && mag != 0 ? static_cast<std::int64_t>(0ULL - mag)
                                                          : static_cast<std::int64_t>(mag);
        if (value < min || value > max)
            refuse_.fail(shownValue(v), "it is outside the range from " + std::to_string(min) +
                                            " to " + std::to_string(max));
        return db::Value::integer(value);
    }

    db::Value toCurrency(const db::Value& v) const {
        if (v.kind() == Kind::Currency) return v;
        const ExactNumber n = numberOf(v);
        std::string digits;
        static const std::string kBound = "9223372036854775807";
        static const std::string kNegBound = "9223372036854775808";
        if (!scaled(n, 4, 19, digits) || compareDigits(digits, n.negative ? kNegBound : kBound) > 0)
            refuse_.fail(shownValue(v),
                         "it is outside the range of Currency (about 922 trillion either way)");
        const unsigned long long mag = std::stoull(digits);
        db::Currency c;
        c.scaled =
            n.negative ? static_cast<std::int64_t>(0ULL - mag) : static_cast<std::int64_t>(mag);
        return db::Value::currency(c);
    }

    db::Value toDecimal(const db::Value& v) const {
        const ExactNumber n = numberOf(v);
        const int precision = c_.precision == 0 ? 18 : c_.precision;
        std::string digits;
        if (!scaled(n, c_.scale, static_cast<std::size_t>(precision), digits))
            refuse_.fail(shownValue(v), "it has more than " + std::to_string(precision - c_.scale) +
                                            " digits before the decimal point");
        db::Decimal d;
        d.unscaled = digits;
        d.negative = n.negative && digits != "0";
        d.precision = precision;
        d.scale = c_.scale;
        return db::Value::decimal(std::move(d));
    }

    db::Value toFloating(const db::Value& v, bool single) const {
        double d = 0;
        if (v.kind() == Kind::Double) {
            d = v.asDouble();
        } else if (v.kind() == Kind::Single) {
            d = v.asSingle();
        } else {
            // from_chars reads decimal text exactly as the exact path would, and is faster.
            bool done = false;
            if (v.kind() == Kind::Text) {
                const std::string_view t = trim(v.asText());
                const char* first = t.data();
                const char* last = t.data() + t.size();
                if (first != last && *first == '+') ++first;
                const bool plain =
                    first != last && (std::isdigit(static_cast<unsigned char>(*first)) ||
                                      *first == '-' || *first == '.');
                if (plain && single) {
                    // Read straight into a Single, so the text is rounded once, not twice.
                    float f = 0;
                    const auto res = std::from_chars(first, last, f, std::chars_format::general);
                    if (res.ec == std::errc() && res.ptr == last && std::isfinite(f))
                        return db::Value::single(f);
                }
                const auto res = std::from_chars(first, last, d, std::chars_format::general);
                done = plain && res.ec == std::errc() && res.ptr == last && std::isfinite(d);
            }
            if (!done) {
                const ExactNumber n = numberOf(v);
                if (!toDouble(n, d))
                    refuse_.fail(shownValue(v), "it is too large for a floating-point number");
            }
        }
        if (!std::isfinite(d)) refuse_.fail(shownValue(v), "it is not a finite number");
        if (single) {
            // Up to half a unit beyond the largest Single, a number still rounds to it.
            static const double kLimit =
                static_cast<double>(std::numeric_limits<float>::max()) + std::ldexp(1.0, 103);
            if (std::fabs(d) >= kLimit) refuse_.fail(shownValue(v), "it is too large for a Single");
            return db::Value::single(static_cast<float>(d));
        }
        return db::Value::doubleValue(d);
    }

    db::Value toDate(const db::Value& v) const {
        db::DateTime t;
        if (v.kind() == Kind::DateTime) {
            t = v.asDateTime();
        } else if (v.kind() == Kind::Text) {
            if (!parseDateTime(v.asText(), t))
                refuse_.fail(quoted(v.asText()),
                             "it is not a date and time such as '2024-05-31 13:45:00'");
        } else {
            double days = 0;
            const ExactNumber n = numberOf(v, "it is not a date");
            if (!toDouble(n, days) || std::fabs(days) > 3.0e6)
                refuse_.fail(shownValue(v), "it is outside the dates Access keeps");
            t = db::DateTime::fromOleDate(days);
        }
        if (!t.isValid() || t.year < 100 || t.year > 9999)
            refuse_.fail(shownValue(v), "Access keeps dates from the year 100 to 9999");
        return db::Value::dateTime(t);
    }

    db::Value toText(const db::Value& v) const {
        std::string text;
        switch (v.kind()) {
            case Kind::Text:
                text = v.asText();
                break;
            case Kind::Binary:
                text = textFromBytes(v.asBinary());
                break;
            case Kind::DateTime: {
                const db::DateTime& t = v.asDateTime();
                if (t.isZeroDate())
                    text = t.toIsoString().substr(11);
                else if (t.isMidnight())
                    text = t.toIsoString().substr(0, 10);
                else
                    text = t.toIsoString();
                break;
            }
            default:
                text = v.toDebugString();
        }
        if (c_.type == ColumnType::Text)
            checkTextLength(text);
        else
            checkUtf8(text);
        return db::Value::text(std::move(text));
    }

    // Text that is not well-formed UTF-8 would be stored with replacement characters in place
    // of the bad bytes (and could then be longer than the column): refused instead.
    void checkUtf8(const std::string& text) const {
        const std::size_t at = invalidUtf8At(text);
        if (at == std::string::npos) return;
        std::string shown;
        for (char32_t c : decodeUtf8(text))
            appendUtf8(shown, c);
        refuse_.fail(quoted(shown), "it is not valid UTF-8 text (the byte at offset " +
                                        std::to_string(at) + " begins no character)");
    }

    void checkTextLength(const std::string& text) const {
        checkUtf8(text);
        const std::size_t max = c_.length / 2;
        // Every character takes at least one byte of UTF-8, so short texts need no counting.
        if (text.size() <= max) return;
        const std::size_t units = utf16Length(text);
        if (units > max)
            refuse_.fail(quoted(text), "it has " + std::to_string(units) +
                                           " characters, and the column holds " +
                                           std::to_string(max));
    }

    db::Value toBinary(const db::Value& v) const {
        db::Bytes bytes;
        if (v.kind() == Kind::Binary) {
            bytes = v.asBinary();
        } else if (v.kind() == Kind::Text) {
            bytes = encodeUtf16le(v.asText());
        } else if (v.kind() == Kind::Guid) {
            const db::Guid& g = v.asGuid();
            bytes.assign(g.begin(), g.end());
        } else {
            refuse_.fail(shownValue(v), "it is not binary data");
        }
        if (c_.type == ColumnType::Binary && bytes.size() > c_.length)
            refuse_.fail(shownValue(db::Value::binary(bytes)),
                         "the column holds " + std::to_string(c_.length) + " bytes");
        return db::Value::binary(std::move(bytes));
    }

    db::Value toGuid(const db::Value& v) const {
        if (v.kind() == Kind::Guid) return v;
        if (v.kind() == Kind::Text) {
            db::Guid g;
            if (db::parseGuid(trim(v.asText()), g)) return db::Value::guid(g);
            refuse_.fail(quoted(v.asText()),
                         "it is not a GUID such as '{00000000-0000-0000-0000-000000000000}'");
        }
        if (v.kind() == Kind::Binary && v.asBinary().size() == 16) {
            db::Guid g;
            std::copy(v.asBinary().begin(), v.asBinary().end(), g.begin());
            return db::Value::guid(g);
        }
        refuse_.fail(shownValue(v), "it is not a GUID");
    }

    const ColumnDef& c_;
    Refusal refuse_;
};

bool readInt(std::string_view s, std::size_t& i, int minDigits, int maxDigits, int& out) {
    int n = 0, v = 0;
    while (i < s.size() && n < maxDigits && s[i] >= '0' && s[i] <= '9') {
        v = v * 10 + (s[i] - '0');
        ++i;
        ++n;
    }
    out = v;
    return n >= minDigits;
}

// "HH:MM[:SS[.fffffffff]]" from position i to the end.
bool parseTime(std::string_view s, std::size_t i, db::DateTime& t) {
    if (!readInt(s, i, 1, 2, t.hour)) return false;
    if (i >= s.size() || s[i] != ':') return false;
    ++i;
    if (!readInt(s, i, 2, 2, t.minute)) return false;
    t.second = 0;
    t.nanosecond = 0;
    if (i < s.size() && s[i] == ':') {
        ++i;
        if (!readInt(s, i, 2, 2, t.second)) return false;
        if (i < s.size() && s[i] == '.') {
            ++i;
            int digits = 0;
            long long ns = 0;
            while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
                if (digits < 9) {
                    ns = ns * 10 + (s[i] - '0');
                    ++digits;
                }
                ++i;
            }
            if (digits == 0) return false;
            while (digits < 9) {
                ns *= 10;
                ++digits;
            }
            t.nanosecond = static_cast<int>(ns);
        }
    }
    if (i != s.size()) return false;
    return t.hour < 24 && t.minute < 60 && t.second < 60;
}

}  // namespace

std::size_t utf16Length(std::string_view utf8) {
    std::size_t n = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) != 0x80) ++n;  // a lead byte: one character
        if ((c & 0xF8) == 0xF0) ++n;  // four-byte sequences are two code units
    }
    return n;
}

bool parseDateTime(std::string_view text, db::DateTime& out) {
    std::string_view s = trim(text);
    if (s.size() >= 2 && s.front() == '#' && s.back() == '#') s = trim(s.substr(1, s.size() - 2));
    db::DateTime t;
    t.year = 1899;
    t.month = 12;
    t.day = 30;
    std::size_t i = 0;
    // A time alone.
    const std::size_t colon = s.find(':');
    const std::size_t dash = s.find('-');
    const std::size_t slash = s.find('/');
    if (colon != std::string_view::npos && dash == std::string_view::npos &&
        slash == std::string_view::npos) {
        if (!parseTime(s, 0, t)) return false;
        out = t;
        return t.isValid();
    }
    if (dash != std::string_view::npos && (slash == std::string_view::npos || dash < slash)) {
        if (!readInt(s, i, 4, 4, t.year) || i >= s.size() || s[i] != '-') return false;
        ++i;
        if (!readInt(s, i, 1, 2, t.month) || i >= s.size() || s[i] != '-') return false;
        ++i;
        if (!readInt(s, i, 1, 2, t.day)) return false;
    } else if (slash != std::string_view::npos) {
        if (!readInt(s, i, 1, 2, t.month) || i >= s.size() || s[i] != '/') return false;
        ++i;
        if (!readInt(s, i, 1, 2, t.day) || i >= s.size() || s[i] != '/') return false;
        ++i;
        if (!readInt(s, i, 4, 4, t.year)) return false;
    } else {
        return false;
    }
    t.hour = t.minute = t.second = t.nanosecond = 0;
    if (i < s.size()) {
        if (s[i] != ' ' && s[i] != 'T') return false;
        while (i < s.size() && (s[i] == ' ' || s[i] == 'T'))
            ++i;
        if (!parseTime(s, i, t)) return false;
    }
    if (!t.isValid()) return false;
    out = t;
    return true;
}

std::string describeColumnType(const ColumnDef& c) {
    switch (c.type) {
        case ColumnType::Text:
            return "Text(" + std::to_string(c.length / 2) + ")";
        case ColumnType::Binary:
            return "Binary(" + std::to_string(c.length) + ")";
        case ColumnType::Decimal:
            return "Decimal(" + std::to_string(c.precision) + "," + std::to_string(c.scale) + ")";
        case ColumnType::Long:
            return c.autoNumber() ? "AutoNumber" : "Long Integer";
        default:
            return columnTypeName(c.type);
    }
}

db::Value convertValue(const db::Value& value, const ColumnDef& column, std::string_view table) {
    return Converter(column, table).convert(value);
}

db::Value convertLiteral(sql::Literal literal, const ColumnDef& column, std::string_view table) {
    using LK = sql::Literal::Kind;
    const Converter conv(column, table);
    switch (literal.kind) {
        case LK::Null:
            return db::Value::null();
        case LK::Text:
            return conv.take(db::Value::text(std::move(literal.text)));
        case LK::Binary:
            return conv.take(db::Value::binary(std::move(literal.bytes)));
        case LK::Boolean:
            if (column.type == ColumnType::Text || column.type == ColumnType::Memo)
                return conv.convert(db::Value::text(literal.boolean ? "True" : "False"));
            return conv.convert(db::Value::boolean(literal.boolean));
        case LK::Number: {
            if (column.type == ColumnType::DateTime || column.type == ColumnType::ExtDateTime) {
                ExactNumber n;
                double days = 0;
                if (parseExact(literal.text, n) && toDouble(n, days))
                    return conv.convert(db::Value::doubleValue(days));
            }
            // Otherwise a number goes in as its text: exact digits for the numeric columns,
            // and the number as written for a text column.
            std::string text = literal.text;
            if (!text.empty() && text[0] == '+') text.erase(0, 1);
            return conv.take(db::Value::text(std::move(text)));
        }
        case LK::Date: {
            if (column.type == ColumnType::Text || column.type == ColumnType::Memo)
                return conv.convert(db::Value::text(literal.text));
            db::DateTime t;
            if (!parseDateTime(literal.text, t))
                Refusal(column, table)
                    .fail("#" + literal.text + "#", "it is not a date such as #2024-05-31#");
            return conv.convert(db::Value::dateTime(t));
        }
    }
    return db::Value::null();
}

}  // namespace jet
