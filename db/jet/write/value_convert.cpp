// Conversions of values into the values columns store.
#include "db/jet/write/value_convert.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

#include "db/jet/base/error.h"
#include "db/jet/format/text_codec.h"
#include "db/jet/write/value_parse.h"

namespace jet {

namespace {

using Kind = db::Value::Kind;

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
            const std::string_view t = trimBlanks(v.asText());
            for (const char* yes : {"True", "Yes", "On"})
                if (asciiEqualNoCase(t, yes)) return db::Value::boolean(true);
            for (const char* no : {"False", "No", "Off"})
                if (asciiEqualNoCase(t, no)) return db::Value::boolean(false);
        }
        const ExactNumber n = numberOf(v, "it is neither True nor False nor a number");
        return db::Value::boolean(!n.isZero());
    }

    db::Value toInteger(const db::Value& v, std::int64_t min, std::int64_t max) const {
        if (v.kind() == Kind::Integer && v.asInteger() >= min && v.asInteger() <= max) return v;
        if (v.kind() == Kind::Text) {
            // Plain whole numbers need no exact arithmetic.
            const std::string_view t = trimBlanks(v.asText());
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
        if (!roundExact(n, 0, 19, digits) || compareDigits(digits, bound) > 0)
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
        if (!roundExact(n, 4, 19, digits) ||
            compareDigits(digits, n.negative ? kNegBound : kBound) > 0)
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
        if (!roundExact(n, c_.scale, static_cast<std::size_t>(precision), digits))
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
                const std::string_view t = trimBlanks(v.asText());
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
                if (!exactToDouble(n, d))
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
            if (!exactToDouble(n, days) || std::fabs(days) > 3.0e6)
                refuse_.fail(shownValue(v), "it is outside the dates Access keeps");
            t = db::DateTime::fromOleDate(days);
        }
        // Date/Time Extended holds every year from 1; Date/Time from 100.
        const bool extended = c_.type == ColumnType::ExtDateTime;
        if (!t.isValid() || t.year < (extended ? 1 : 100) || t.year > 9999)
            refuse_.fail(shownValue(v), extended ? "Access keeps dates from the year 1 to 9999"
                                                 : "Access keeps dates from the year 100 to 9999");
        // Date/Time keeps whole milliseconds, and a reader rounds the stored day fraction to
        // them: digits below a millisecond are cut here, so that 23:59:59.9999 stays on its
        // day (and 9999-12-31 in the calendar) and reads back as what was stored.
        if (!extended) t.nanosecond -= t.nanosecond % 1'000'000;
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
            if (db::parseGuid(trimBlanks(v.asText()), g)) return db::Value::guid(g);
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

}  // namespace

std::string describeValue(const db::Value& v) {
    return shownValue(v);
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

db::Value convertTakenValue(db::Value&& value, const ColumnDef& column, std::string_view table) {
    return Converter(column, table).take(std::move(value));
}

void refuseValue(const ColumnDef& column, std::string_view table, const std::string& shown,
                 const std::string& why) {
    Refusal(column, table).fail(shown, why);
}

}  // namespace jet
