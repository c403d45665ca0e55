// Rendering values into script text.
#include "transfer/value_render.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace transfer {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void appendDigits(std::string& out, std::int64_t v) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr);
}

void appendUnsigned(std::string& out, std::uint64_t v) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr);
}

// `width` digits with leading zeros (a negative number keeps its sign in front).
void appendPadded(std::string& out, int v, int width) {
    if (v < 0) {
        out += '-';
        v = -v;
    }
    char buf[12];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    for (auto n = res.ptr - buf; n < width; ++n)
        out += '0';
    out.append(buf, res.ptr);
}

void appendTime(std::string& out, const db::DateTime& t) {
    appendPadded(out, t.hour, 2);
    out += ':';
    appendPadded(out, t.minute, 2);
    out += ':';
    appendPadded(out, t.second, 2);
    if (t.nanosecond != 0) {
        // Fractions of a second (extended date/time columns keep them) are kept, trimmed.
        char buf[10];
        int ns = t.nanosecond;
        for (int i = 8; i >= 0; --i) {
            buf[i] = static_cast<char>('0' + ns % 10);
            ns /= 10;
        }
        int len = 9;
        while (len > 0 && buf[len - 1] == '0')
            --len;
        out += '.';
        out.append(buf, static_cast<std::size_t>(len));
    }
}

// A time of day alone is stored on the zero date, and is written alone; a date alone at
// midnight. `timeAlone` false writes the zero date too: MySQL reads a bare '15:04:05' into a
// DATETIME column as the date 2015-04-05, and '00:00:00' as its zero date, which reads as Null.
void appendDateTime(std::string& out, const db::DateTime& t, bool timeAlone = true) {
    if (timeAlone && t.isZeroDate()) {
        appendTime(out, t);
        return;
    }
    const auto two = [](int v) { return v >= 0 && v < 100; };
    if (t.year >= 0 && t.year <= 9999 && two(t.month) && two(t.day) && two(t.hour) &&
        two(t.minute) && two(t.second) && t.nanosecond == 0) {
        // The common case: fixed-width fields written into one buffer, appended once.
        char b[19];
        const auto put = [&b](int at, int v, int width) {
            for (int k = at + width - 1; k >= at; --k) {
                b[k] = static_cast<char>('0' + v % 10);
                v /= 10;
            }
        };
        put(0, t.year, 4);
        b[4] = '-';
        put(5, t.month, 2);
        b[7] = '-';
        put(8, t.day, 2);
        b[10] = ' ';
        put(11, t.hour, 2);
        b[13] = ':';
        put(14, t.minute, 2);
        b[16] = ':';
        put(17, t.second, 2);
        out.append(b, t.isMidnight() ? 10 : sizeof b);
        return;
    }
    appendPadded(out, t.year, 4);
    out += '-';
    appendPadded(out, t.month, 2);
    out += '-';
    appendPadded(out, t.day, 2);
    if (t.isMidnight()) return;
    out += ' ';
    appendTime(out, t);
}

// The shortest text of a Single that still denotes it when read the way servers read numbers:
// as a double first, then rounded to single precision. The shortest text of a float can lie
// beyond the float range as a double (FLT_MAX's "3.4028235e38" is above FLT_MAX, which a
// FLOAT column rejects), or, rarely, round twice to a neighbour; then the float's exact value as
// a double is written instead.
void appendSingle(std::string& out, float f) {
    std::string text = db::formatSingle(f);
    if (std::isfinite(f)) {
        double d = 0;
        const auto res = std::from_chars(text.data(), text.data() + text.size(), d);
        const bool ok =
            res.ec == std::errc() && std::fabs(d) <= FLT_MAX && static_cast<float>(d) == f;
        if (!ok) text = db::formatDouble(static_cast<double>(f));
    }
    out += text;
}

void appendHex(std::string& out, const db::Bytes& bytes) {
    const std::size_t start = out.size();
    out.resize(start + bytes.size() * 2);
    char* p = out.data() + start;
    for (auto b : bytes) {
        *p++ = kHexDigits[b >> 4];
        *p++ = kHexDigits[b & 15];
    }
}

// A CR LF pair in a text for Access: the text's piece so far ends, the break follows as its two
// characters, and the next piece begins.
constexpr std::string_view kAccessLineBreak = "' & Chr(13) & Chr(10) & '";
constexpr std::string_view kEmptyFirstPiece = "'' & ";
constexpr std::string_view kEmptyLastPiece = " & ''";

}  // namespace

void appendValueText(std::string& out, const db::Value& value) {
    using K = db::Value::Kind;
    switch (value.kind()) {
        case K::Null:
            return;
        case K::Boolean:
            out += value.asBoolean() ? "True" : "False";
            return;
        case K::Integer:
            appendDigits(out, value.asInteger());
            return;
        case K::Unsigned:
            appendUnsigned(out, value.asUnsigned());
            return;
        case K::Single:
            appendSingle(out, value.asSingle());
            return;
        case K::Double:
            out += db::formatDouble(value.asDouble());
            return;
        case K::Currency:
            out += value.asCurrency().toString();
            return;
        case K::Decimal:
            out += value.asDecimal().toString();
            return;
        case K::DateTime:
            appendDateTime(out, value.asDateTime());
            return;
        case K::Text:
            out += value.asText();
            return;
        case K::Binary:
            appendHex(out, value.asBinary());
            return;
        case K::Guid:
            out += db::guidToString(value.asGuid());
            return;
    }
}

std::string valueText(const db::Value& value) {
    std::string s;
    appendValueText(s, value);
    return s;
}

void appendQuotedText(std::string& out, Direction target, std::string_view text) {
    if (text.empty()) {
        out += "NULL";
        return;
    }
    const bool mysql = target == Direction::AccessToMySql;
    const std::size_t start = out.size();
    out += '\'';
    const char* p = text.data();
    const char* const end = p + text.size();
    const char* run = p;  // start of the characters not yet copied
    while (p != end) {
#if defined(__SSE2__)
        // Sixteen characters at a time are passed over when none of them may need changing.
        if (end - p >= 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i special =
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\'')),
                                          _mm_cmpeq_epi8(v, _mm_set1_epi8('\r'))),
                             _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\\')),
                                          _mm_cmpeq_epi8(v, _mm_setzero_si128())));
            const int found = _mm_movemask_epi8(special);
            if (found == 0) {
                p += 16;
                continue;
            }
            p += __builtin_ctz(static_cast<unsigned>(found));  // to the first that may
        }
#endif
        const char c = *p;
        const char* replacement = nullptr;
        std::size_t skip = 1;
        if (c == '\'') {
            replacement = "''";
        } else if (c == '\r') {
            // A line break stays in the value and out of the line: MySQL reads the escapes,
            // Access joins the pieces of the text.
            if (p + 1 != end && p[1] == '\n') {
                replacement = mysql ? "\\r\\n" : kAccessLineBreak.data();
                skip = 2;
            }
        } else if (mysql && c == '\\') {
            replacement = "\\\\";
        } else if (mysql && c == '\0') {
            replacement = "\\0";
        }
        if (!replacement) {
            ++p;
            continue;
        }
        out.append(run, p);
        out += replacement;
        p += skip;
        run = p;
    }
    out.append(run, end);
    out += '\'';
    if (!mysql) {
        // No empty piece before a leading line break or after a trailing one.
        if (text.ends_with("\r\n")) out.resize(out.size() - kEmptyLastPiece.size());
        if (text.starts_with("\r\n")) out.erase(start, kEmptyFirstPiece.size());
    }
}

void appendRenderedValue(std::string& out, Direction target, const db::Value& value) {
    using K = db::Value::Kind;
    switch (value.kind()) {
        case K::Null:
            out += "NULL";
            return;
        case K::Boolean:
            if (target == Direction::AccessToMySql)
                out += value.asBoolean() ? "1" : "0";
            else
                out += value.asBoolean() ? "'True'" : "'False'";
            return;
        case K::Text:
            appendQuotedText(out, target, value.asText());
            return;
        case K::Binary: {
            const auto& bytes = value.asBinary();
            if (bytes.empty()) {
                out += "NULL";
                return;
            }
            out += "X'";
            appendHex(out, bytes);
            out += '\'';
            return;
        }
        case K::DateTime:
            out += '\'';
            appendDateTime(out, value.asDateTime(),
                           /*timeAlone=*/target == Direction::MySqlToAccess);
            out += '\'';
            return;
        default:
            // Numbers and GUIDs: their text holds no character that needs escaping.
            out += '\'';
            appendValueText(out, value);
            out += '\'';
            return;
    }
}

std::string renderedValue(Direction target, const db::Value& value) {
    std::string s;
    appendRenderedValue(s, target, value);
    return s;
}

}  // namespace transfer
