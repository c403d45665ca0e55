// Default Value expressions: written from values, read back into values.
#include "db/jet/write/column_default.h"

#include <ctime>

#include "db/jet/write/value_convert.h"

namespace jet {

namespace {

std::string trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n'))
        --e;
    return std::string(s.substr(b, e - b));
}

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return out;
}

// A number as an expression writes it: a sign, digits with at most one point, an exponent.
bool isNumber(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    bool digits = false, point = false;
    for (; i < s.size(); ++i) {
        if (s[i] >= '0' && s[i] <= '9') {
            digits = true;
        } else if (s[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!digits) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
        const std::size_t start = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i;
        if (i == start) return false;
    }
    return i == s.size();
}

// The text between the quotes `q` of `s` (which starts and ends with one), doubled quotes undone;
// nothing when a quote inside is not doubled.
std::optional<std::string> unquote(std::string_view s, char q) {
    std::string out;
    for (std::size_t i = 1; i + 1 < s.size(); ++i) {
        if (s[i] == q) {
            if (i + 2 < s.size() && s[i + 1] == q) {
                out.push_back(q);
                ++i;
                continue;
            }
            return std::nullopt;
        }
        out.push_back(s[i]);
    }
    return out;
}

db::DateTime localNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return db::DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                        tm.tm_min,         tm.tm_sec,     0};
}

std::string twoDigits(int v) {
    return std::string(1, static_cast<char>('0' + v / 10)) + static_cast<char>('0' + v % 10);
}

}  // namespace

std::string defaultExpression(ColumnDefaultValue::Kind function) {
    switch (function) {
        case ColumnDefaultValue::Kind::Now:
            return "Now()";
        case ColumnDefaultValue::Kind::Date:
            return "Date()";
        case ColumnDefaultValue::Kind::Time:
            return "Time()";
        case ColumnDefaultValue::Kind::Value:
            break;
    }
    return {};
}

std::optional<std::string> defaultExpression(const db::Value& v, const ColumnDef& column) {
    switch (v.kind()) {
        case db::Value::Kind::Null:
            return std::nullopt;
        case db::Value::Kind::Boolean:
            return v.asBoolean() ? "Yes" : "No";
        case db::Value::Kind::Text: {
            std::string out = "\"";
            for (char c : v.asText()) {
                if (c == '"') out.push_back('"');
                out.push_back(c);
            }
            return out + "\"";
        }
        case db::Value::Kind::DateTime: {
            const db::DateTime& t = v.asDateTime();
            // A time of day alone (on the zero date) is written as Access shows it.
            if (t.isZeroDate() && !t.isMidnight() && column.type == ColumnType::DateTime)
                return "#" + twoDigits(t.hour) + ":" + twoDigits(t.minute) + ":" +
                       twoDigits(t.second) + "#";
            if (t.isMidnight()) return "#" + t.toIsoString().substr(0, 10) + "#";
            return "#" + t.toIsoString() + "#";
        }
        case db::Value::Kind::Integer:
        case db::Value::Kind::Unsigned:
        case db::Value::Kind::Single:
        case db::Value::Kind::Double:
        case db::Value::Kind::Currency:
        case db::Value::Kind::Decimal: {
            std::string text = v.toDebugString();
            // Currency keeps four places; the expression needs none of the trailing zeros.
            if (v.kind() == db::Value::Kind::Currency && text.find('.') != std::string::npos) {
                while (text.back() == '0')
                    text.pop_back();
                if (text.back() == '.') text.pop_back();
            }
            return text;
        }
        case db::Value::Kind::Binary:
        case db::Value::Kind::Guid:
            break;
    }
    return std::nullopt;
}

std::optional<ColumnDefaultValue> parseDefaultExpression(std::string_view text) {
    std::string s = trim(text);
    if (!s.empty() && s.front() == '=') s = trim(std::string_view(s).substr(1));
    if (s.empty()) return std::nullopt;
    ColumnDefaultValue d;
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front()) {
        auto inner = unquote(s, s.front());
        if (!inner) return std::nullopt;
        d.value = db::Value::text(std::move(*inner));
        return d;
    }
    if (s.size() >= 2 && s.front() == '#' && s.back() == '#') {
        d.value = db::Value::text(trim(std::string_view(s).substr(1, s.size() - 2)));
        return d;
    }
    std::string u = upper(s);
    // A function call: its name, then "()" with blanks allowed around the parentheses.
    std::string compact;
    for (char c : u)
        if (c != ' ' && c != '\t') compact.push_back(c);
    if (compact == "NOW()") {
        d.kind = ColumnDefaultValue::Kind::Now;
        return d;
    }
    if (compact == "DATE()") {
        d.kind = ColumnDefaultValue::Kind::Date;
        return d;
    }
    if (compact == "TIME()") {
        d.kind = ColumnDefaultValue::Kind::Time;
        return d;
    }
    if (u == "TRUE" || u == "YES" || u == "ON") {
        d.value = db::Value::boolean(true);
        return d;
    }
    if (u == "FALSE" || u == "NO" || u == "OFF") {
        d.value = db::Value::boolean(false);
        return d;
    }
    if (isNumber(s)) {
        d.value = db::Value::text(s);
        return d;
    }
    return std::nullopt;
}

db::Value evaluateDefault(const ColumnDefaultValue& d, const ColumnDef& column,
                          std::string_view table) {
    db::Value v;
    switch (d.kind) {
        case ColumnDefaultValue::Kind::Value:
            v = d.value;
            break;
        case ColumnDefaultValue::Kind::Now:
            v = db::Value::dateTime(localNow());
            break;
        case ColumnDefaultValue::Kind::Date: {
            db::DateTime t = localNow();
            t.hour = t.minute = t.second = 0;
            v = db::Value::dateTime(t);
            break;
        }
        case ColumnDefaultValue::Kind::Time: {
            const db::DateTime now = localNow();
            db::DateTime t;
            t.hour = now.hour;
            t.minute = now.minute;
            t.second = now.second;
            v = db::Value::dateTime(t);
            break;
        }
    }
    // Yes/No given to a column of another kind: Access's -1 and 0.
    if (v.kind() == db::Value::Kind::Boolean && column.type != ColumnType::Boolean &&
        column.type != ColumnType::Text && column.type != ColumnType::Memo)
        v = db::Value::integer(v.asBoolean() ? -1 : 0);
    return convertValue(v, column, table);
}

}  // namespace jet
