// Reading a MySQL table's structure.
#include "db/mysql/mysql_structure.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "db/error.h"
#include "db/sql_names.h"

namespace db::mysql {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

// A string literal that stands for exactly `text`'s bytes whatever the session's SQL mode:
// X'…'.
std::string hexLiteral(std::string_view text) {
    std::string out = "X'";
    for (unsigned char c : text) {
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
    return out + "'";
}

std::string lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The rows of one query, each field read by name.
class Rows {
  public:
    Rows(Backend& session, const std::string& sql) : cursor_(session.execute(sql)) {
        if (!cursor_) return;
        const auto& f = cursor_->fields();
        for (std::size_t i = 0; i < f.size(); ++i)
            names_.push_back(lowered(f[i].name));
    }
    bool next() { return cursor_ && cursor_->next(row_); }
    const Value& at(std::string_view name) const {
        static const Value kNull;
        const std::string wanted = lowered(name);
        for (std::size_t i = 0; i < names_.size(); ++i)
            if (names_[i] == wanted) return row_[i];
        return kNull;
    }
    std::string text(std::string_view name) const {
        const Value& v = at(name);
        switch (v.kind()) {
            case Value::Kind::Null:
                return {};
            case Value::Kind::Text:
                return v.asText();
            case Value::Kind::Binary:
                return std::string(v.asBinary().begin(), v.asBinary().end());
            default:
                return v.toDebugString();
        }
    }
    bool isNull(std::string_view name) const { return at(name).isNull(); }
    long long number(std::string_view name) const {
        const Value& v = at(name);
        if (v.kind() == Value::Kind::Integer) return v.asInteger();
        if (v.kind() == Value::Kind::Unsigned) return static_cast<long long>(v.asUnsigned());
        const std::string t = text(name);
        return t.empty() ? 0 : std::atoll(t.c_str());
    }

  private:
    std::unique_ptr<Cursor> cursor_;
    std::vector<std::string> names_;
    std::vector<Value> row_;
};

bool isOneOf(std::string_view s, std::initializer_list<std::string_view> words) {
    return std::find(words.begin(), words.end(), s) != words.end();
}

bool isTextType(std::string_view t) {
    return isOneOf(t, {"char", "varchar", "tinytext", "text", "mediumtext", "longtext", "enum",
                       "set", "json", "time"});
}
bool isNumberType(std::string_view t) {
    return isOneOf(t, {"tinyint", "smallint", "mediumint", "int", "integer", "bigint", "decimal",
                       "numeric", "float", "double", "real", "year"});
}
bool isDateType(std::string_view t) {
    return isOneOf(t, {"date", "datetime", "timestamp"});
}

// 'it''s \\ x' as MariaDB writes a text default: the text between the quotes, unescaped.
bool unquoteSqlString(std::string_view s, std::string& out) {
    if (s.size() < 2 || s.front() != '\'' || s.back() != '\'') return false;
    out.clear();
    for (std::size_t i = 1; i + 1 < s.size(); ++i) {
        char c = s[i];
        if (c == '\'') {
            if (i + 2 < s.size() && s[i + 1] == '\'') {
                out += '\'';
                ++i;
                continue;
            }
            return false;  // 'a' 'b': not one literal
        }
        if (c == '\\' && i + 2 < s.size()) {
            const char e = s[++i];
            switch (e) {
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case '0':
                    out += '\0';
                    break;
                case 'Z':
                    out += '\x1a';
                    break;
                case 'b':
                    out += '\b';
                    break;
                default:
                    out += e;  // \\ \' \" and any other character stand for themselves
                    break;
            }
            continue;
        }
        out += c;
    }
    return true;
}

// b'101' (or 0b101): its value in decimal digits.
bool bitLiteral(std::string_view s, std::string& out) {
    std::string_view digits;
    if (s.size() >= 3 && (s[0] == 'b' || s[0] == 'B') && s[1] == '\'' && s.back() == '\'')
        digits = s.substr(2, s.size() - 3);
    else if (s.size() >= 3 && s[0] == '0' && (s[1] == 'b' || s[1] == 'B'))
        digits = s.substr(2);
    else
        return false;
    unsigned long long v = 0;
    if (digits.empty() || digits.size() > 64) return false;
    for (char c : digits) {
        if (c != '0' && c != '1') return false;
        v = v * 2 + static_cast<unsigned>(c - '0');
    }
    out = std::to_string(v);
    return true;
}

bool isCurrentTimestamp(std::string_view s) {
    std::string t = lowered(s);
    for (std::string_view prefix : {"current_timestamp", "now", "localtimestamp", "localtime"}) {
        if (t.rfind(prefix, 0) != 0) continue;
        std::string rest = t.substr(prefix.size());
        if (rest.empty()) return prefix != "now";
        // "()" or "(3)"
        if (rest.front() == '(' && rest.back() == ')') {
            const std::string inside = rest.substr(1, rest.size() - 2);
            return inside.find_first_not_of("0123456789") == std::string::npos;
        }
    }
    return false;
}

bool isCurrentDate(std::string_view s) {
    std::string t = lowered(s);
    if (t.size() >= 2 && t.front() == '(' && t.back() == ')') t = t.substr(1, t.size() - 2);
    return t == "curdate()" || t == "current_date()" || t == "current_date";
}

ReferentialAction actionOf(const std::string& rule) {
    const std::string r = lowered(rule);
    if (r == "cascade") return ReferentialAction::Cascade;
    if (r == "set null") return ReferentialAction::SetNull;
    if (r == "set default") return ReferentialAction::SetDefault;
    if (r == "no action") return ReferentialAction::NoAction;
    return ReferentialAction::Restrict;
}

}  // namespace

ColumnDefault parseMySqlDefault(bool present, std::string_view text, std::string_view dataType,
                                std::string_view extra, bool mariaDb) {
    using K = ColumnDefault::Kind;
    if (!present) return {};
    const std::string type = lowered(dataType);
    const bool generated = lowered(extra).find("default_generated") != std::string::npos;
    std::string value;
    if (mariaDb) {
        if (lowered(text) == "null") return {};
        if (unquoteSqlString(text, value)) {
            if (isDateType(type)) return {K::DateTime, value};
            if (isNumberType(type)) return {K::Number, value};
            return {K::Text, value};
        }
    } else if (!generated) {
        value = std::string(text);
        if (isTextType(type)) return {K::Text, value};
        if (isDateType(type)) return {K::DateTime, value};
    }
    // An expression, a number or a bit value.
    if (isCurrentTimestamp(text)) return {K::CurrentTimestamp, {}};
    if (isCurrentDate(text)) return {K::CurrentDate, {}};
    if (bitLiteral(text, value)) return {K::Number, value};
    if (!generated || mariaDb) {
        std::string t(text);
        const bool number = !t.empty() &&
                            t.find_first_not_of("+-0123456789.eE") == std::string::npos &&
                            t.find_first_of("0123456789") != std::string::npos;
        if (number) {
            if (t[0] == '+') t.erase(0, 1);
            return {K::Number, t};
        }
    }
    return {K::Expression, std::string(text)};
}

TableStructure readMySqlTableStructure(Backend& session, std::string_view table) {
    TableStructure s;
    bool mariaDb = false;
    {
        Rows v(session, "SELECT VERSION() AS v");
        if (v.next()) mariaDb = lowered(v.text("v")).find("mariadb") != std::string::npos;
    }
    const std::string where =
        " WHERE TABLE_SCHEMA = DATABASE() AND BINARY TABLE_NAME = " + hexLiteral(table);
    {
        Rows t(
            session,
            "SELECT TABLE_NAME, TABLE_TYPE, AUTO_INCREMENT FROM information_schema.TABLES" + where);
        if (!t.next())
            throw Error(errc::kNoSuchTable,
                        "Table '" + std::string(table) + "' doesn't exist in the database.");
        s.name = t.text("TABLE_NAME");
        s.isView = lowered(t.text("TABLE_TYPE")) == "view";
        if (!t.isNull("AUTO_INCREMENT"))
            s.nextAutoNumber = static_cast<std::uint64_t>(t.number("AUTO_INCREMENT"));
    }
    {
        Rows c(session,
               "SELECT COLUMN_NAME, IS_NULLABLE, COLUMN_DEFAULT, EXTRA, COLUMN_COMMENT, DATA_TYPE, "
               "COLUMN_TYPE, CHARACTER_MAXIMUM_LENGTH FROM information_schema.COLUMNS" +
                   where + " ORDER BY ORDINAL_POSITION");
        while (c.next()) {
            ColumnStructure col;
            col.name = c.text("COLUMN_NAME");
            col.sourceType = c.text("COLUMN_TYPE");
            col.required = c.text("IS_NULLABLE") == "NO";
            const long long length = c.number("CHARACTER_MAXIMUM_LENGTH");
            const std::string dataType = lowered(c.text("DATA_TYPE"));
            if (length > 0 && length <= 65535 && dataType.find("text") == std::string::npos &&
                dataType.find("blob") == std::string::npos)
                col.length = static_cast<std::uint32_t>(length);
            const std::string extra = lowered(c.text("EXTRA"));
            col.description = c.text("COLUMN_COMMENT");
            if (s.isView) {
                // A view's columns take the NOT NULL of what they show; nothing else is theirs.
                s.columns.push_back(std::move(col));
                continue;
            }
            col.autoIncrement = extra.find("auto_increment") != std::string::npos;
            if (const auto on = extra.find("on update"); on != std::string::npos)
                col.unsupported = "ON UPDATE " + c.text("EXTRA").substr(on + 10);
            else if (extra.find("generated") != std::string::npos &&
                     extra.find("default_generated") == std::string::npos)
                col.unsupported = "its value is computed (" + c.text("EXTRA") + ")";
            else if (extra == "virtual" || extra == "persistent" || extra == "stored")
                col.unsupported = "its value is computed (" + c.text("EXTRA") + ")";
            if (!col.autoIncrement)
                col.defaultValue =
                    parseMySqlDefault(!c.isNull("COLUMN_DEFAULT"), c.text("COLUMN_DEFAULT"),
                                      c.text("DATA_TYPE"), c.text("EXTRA"), mariaDb);
            s.columns.push_back(std::move(col));
        }
    }
    if (s.isView) return s;
    if (s.columns.empty() || std::none_of(s.columns.begin(), s.columns.end(),
                                          [](const ColumnStructure& c) { return c.autoIncrement; }))
        s.nextAutoNumber.reset();

    {
        Rows i(session, "SHOW INDEX FROM " + quoteMySqlName(s.name));
        while (i.next()) {
            const std::string name = i.text("Key_name");
            if (s.indexes.empty() || s.indexes.back().name != name) {
                IndexStructure index;
                index.name = name;
                index.primary = name == "PRIMARY";
                index.unique = i.number("Non_unique") == 0;
                const std::string kind = lowered(i.text("Index_type"));
                if (kind == "fulltext") index.kind = IndexStructure::Kind::FullText;
                if (kind == "spatial") index.kind = IndexStructure::Kind::Spatial;
                s.indexes.push_back(std::move(index));
            }
            IndexColumn column;
            column.name = i.text("Column_name");
            column.descending = i.text("Collation") == "D";
            if (!i.isNull("Sub_part")) column.prefixLength = static_cast<int>(i.number("Sub_part"));
            if (column.name.empty()) column.name = i.text("Expression");  // a functional key part
            s.indexes.back().columns.push_back(std::move(column));
        }
        std::stable_partition(s.indexes.begin(), s.indexes.end(),
                              [](const IndexStructure& x) { return x.primary; });
    }
    {
        Rows f(session,
               "SELECT k.CONSTRAINT_NAME, k.COLUMN_NAME, k.REFERENCED_TABLE_NAME, "
               "k.REFERENCED_COLUMN_NAME, r.UPDATE_RULE, r.DELETE_RULE "
               "FROM information_schema.KEY_COLUMN_USAGE k "
               "JOIN information_schema.REFERENTIAL_CONSTRAINTS r "
               "ON r.CONSTRAINT_SCHEMA = k.CONSTRAINT_SCHEMA "
               "AND r.CONSTRAINT_NAME = k.CONSTRAINT_NAME AND r.TABLE_NAME = k.TABLE_NAME "
               "WHERE k.TABLE_SCHEMA = DATABASE() AND BINARY k.TABLE_NAME = " +
                   hexLiteral(s.name) +
                   " AND k.REFERENCED_TABLE_NAME IS NOT NULL "
                   "AND k.REFERENCED_TABLE_SCHEMA = k.TABLE_SCHEMA "
                   "ORDER BY k.CONSTRAINT_NAME, k.ORDINAL_POSITION");
        while (f.next()) {
            const std::string name = f.text("CONSTRAINT_NAME");
            if (s.foreignKeys.empty() || s.foreignKeys.back().name != name) {
                ForeignKeyStructure key;
                key.name = name;
                key.referencedTable = f.text("REFERENCED_TABLE_NAME");
                key.onUpdate = actionOf(f.text("UPDATE_RULE"));
                key.onDelete = actionOf(f.text("DELETE_RULE"));
                s.foreignKeys.push_back(std::move(key));
            }
            s.foreignKeys.back().columns.push_back(f.text("COLUMN_NAME"));
            s.foreignKeys.back().referencedColumns.push_back(f.text("REFERENCED_COLUMN_NAME"));
        }
    }
    return s;
}

}  // namespace db::mysql
