// One table's structure lines.
#include "transfer/table_keys.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "db/sql_names.h"
#include "transfer/value_render.h"

namespace transfer {

namespace {

std::string folded(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string q(const std::string& name) {
    return db::quoteMySqlName(name);
}

std::string quotedName(const std::string& name) {
    return "\"" + name + "\"";
}

// The words of a type up to its first "(" or blank, lower case: "varchar" of "VARCHAR(20)".
std::string baseType(std::string_view type) {
    std::string t = folded(type);
    const std::size_t end = t.find_first_of("( ");
    return end == std::string::npos ? t : t.substr(0, end);
}

// The first number in parentheses of a type: 20 of "VARCHAR(20)"; -1 when there is none.
long typeArgument(std::string_view type) {
    const std::size_t open = type.find('(');
    if (open == std::string_view::npos) return -1;
    long v = 0;
    bool any = false;
    for (std::size_t i = open + 1;
         i < type.size() && std::isdigit(static_cast<unsigned char>(type[i])); ++i) {
        v = v * 10 + (type[i] - '0');
        any = true;
        if (v > 1'000'000) break;
    }
    return any ? v : -1;
}

bool isOneOf(std::string_view s, std::initializer_list<std::string_view> words) {
    return std::find(words.begin(), words.end(), s) != words.end();
}

// What a MySQL column type takes in an index.
struct KeyPart {
    enum class Kind { Fixed, Chars, Bytes } kind = Kind::Fixed;
    bool needsPrefix = false;  // TEXT and BLOB columns are indexed by a prefix only
    long max = 0;              // characters or bytes the column holds (0: unbounded)
};

KeyPart mySqlKeyPart(const std::string& type, std::uint32_t sourceLength) {
    const std::string b = baseType(type);
    KeyPart p;
    if (isOneOf(b, {"varchar", "char", "nvarchar", "nchar"})) {
        p.kind = KeyPart::Kind::Chars;
        p.max = std::max(typeArgument(type), 1L);
    } else if (isOneOf(b, {"tinytext", "text", "mediumtext", "longtext", "json", "enum", "set"})) {
        p.kind = KeyPart::Kind::Chars;
        p.needsPrefix = !isOneOf(b, {"enum", "set"});
        p.max = sourceLength;  // an Access Text column's length; 0 for a Memo
    } else if (isOneOf(b, {"varbinary", "binary"})) {
        p.kind = KeyPart::Kind::Bytes;
        p.max = std::max(typeArgument(type), 1L);
    } else if (isOneOf(b, {"tinyblob", "blob", "mediumblob", "longblob"})) {
        p.kind = KeyPart::Kind::Bytes;
        p.needsPrefix = true;
        p.max = sourceLength;
    }
    return p;
}

bool isDateType(const std::string& type) {
    return isOneOf(baseType(type), {"datetime", "timestamp", "date"});
}

bool isTimestampType(const std::string& type) {
    return isOneOf(baseType(type), {"datetime", "timestamp"});
}

bool isMySqlNumberType(const std::string& type) {
    return isOneOf(baseType(type),
                   {"tinyint", "smallint", "mediumint", "int", "integer", "bigint", "decimal",
                    "numeric", "float", "double", "real", "bit", "year", "bool", "boolean"});
}

bool isMySqlLongType(const std::string& type) {
    const std::string b = baseType(type);
    return b.find("text") != std::string::npos || b.find("blob") != std::string::npos ||
           b == "json" || b == "geometry";
}

bool isAccessIntegerType(const std::string& type) {
    const std::string b = baseType(type);
    if (isOneOf(b, {"int", "integer", "long", "integer4", "smallint", "short", "integer2",
                    "tinyint", "byte", "integer1", "bigint", "counter", "autoincrement"}))
        return true;
    // DECIMAL(20,0) and the like: whole numbers
    if (isOneOf(b, {"decimal", "numeric", "dec"})) {
        const std::size_t comma = type.find(',');
        return comma == std::string::npos ||
               type.find_first_not_of(" 0)", comma + 1) == std::string::npos;
    }
    return false;
}

bool isAccessDateType(const std::string& type) {
    return isOneOf(baseType(type),
                   {"datetime", "date", "time", "timestamp", folded(kExtendedDateTimeType)});
}

// Access indexes no Memo and no OLE Object: TEXT without a length is a Memo.
bool isAccessLongType(const std::string& type) {
    const std::string b = baseType(type);
    if (b == "text") return type.find('(') == std::string::npos;
    return isOneOf(b, {"memo", "longtext", "ntext", "longchar", "note", "oleobject", "image",
                       "longbinary", "general"});
}

// Decimal columns (where BIGINT and BIGINT UNSIGNED go in files without Large Number) have no
// index keys the engine can write.
bool isAccessDecimalType(const std::string& type) {
    return isOneOf(baseType(type), {"decimal", "numeric", "dec"});
}

bool isAccessBooleanType(const std::string& type) {
    return isOneOf(baseType(type), {"bit", "yesno", "boolean", "logical", "logical1"});
}

// A text between apostrophes for `target` ('' for the empty text, which appendQuotedText
// writes as NULL).
std::string quotedText(Direction target, const std::string& text) {
    if (text.empty()) return "''";
    std::string out;
    appendQuotedText(out, target, text);
    return out;
}

std::string kindWord(db::ColumnDefault::Kind k) {
    using K = db::ColumnDefault::Kind;
    switch (k) {
        case K::CurrentTimestamp:
            return "the current date and time";
        case K::CurrentDate:
            return "the current date";
        default:
            return "";
    }
}

// The note for a current-time default that the column's type cannot take.
std::string defaultLeftOut(const std::string& column, db::ColumnDefault::Kind k,
                           const std::string& type) {
    return column + ": the default " + kindWord(k) + " is left out: the column's type " + type +
           " has no such default.";
}

}  // namespace

std::string accessSafeName(const std::string& name) {
    if (db::accessNameProblem(name).empty()) return name;
    std::string out;
    for (unsigned char c : name) {
        if (c < 0x20 || c == '.' || c == '!' || c == '`' || c == '[' || c == ']')
            out += '_';
        else
            out += static_cast<char>(c);
    }
    while (!out.empty() && out.front() == ' ')
        out.erase(out.begin());
    if (out.empty()) out = "Index";
    // At most 64 characters, never inside a UTF-8 sequence.
    std::size_t chars = 0, cut = 0;
    for (; cut < out.size(); ++cut)
        if ((static_cast<unsigned char>(out[cut]) & 0xC0) != 0x80 && ++chars > 64) break;
    out.resize(cut);
    if (!db::accessNameProblem(out).empty()) out = "Index";
    return out;
}

TableKeys::TableKeys(Direction target, db::TableStructure source,
                     std::vector<std::string> fieldNames, db::AccessFileFeatures features,
                     std::size_t foreignKeysSent)
    : target_(target),
      source_(std::move(source)),
      fieldNames_(std::move(fieldNames)),
      features_(features),
      foreignKeysSent_(foreignKeysSent) {
    for (const auto& c : source_.columns)
        if (!c.unsupported.empty())
            note(columnText(c.name) + ": " + c.unsupported + " is not carried.");
}

std::string TableKeys::tableQuoted() const {
    return q(source_.name);
}

std::string TableKeys::columnText(const std::string& sourceColumn) const {
    return "Table " + quotedName(source_.name) + ", column " + quotedName(sourceColumn);
}

ColumnDecorator TableKeys::decorator() {
    return [this](std::size_t field, const std::string& name, const std::string& type,
                  bool defaultMapping) { return decorate(field, name, type, defaultMapping); };
}

void TableKeys::setColumnNotRequired(const std::string& sourceName) {
    notRequired_.push_back(folded(sourceName));
}

bool TableKeys::isKeyColumn(const std::string& sourceColumn) const {
    const std::string f = folded(sourceColumn);
    for (const auto& i : source_.indexes)
        for (const auto& c : i.columns)
            if (folded(c.name) == f) return true;
    for (const auto& k : source_.foreignKeys)
        for (const auto& c : k.columns)
            if (folded(c) == f) return true;
    return false;
}

const TableKeys::Chosen* TableKeys::chosen(const std::string& sourceColumn) const {
    const auto it = chosen_.find(folded(sourceColumn));
    return it == chosen_.end() ? nullptr : &it->second;
}

std::string TableKeys::targetName(const std::string& sourceColumn) const {
    const Chosen* c = chosen(sourceColumn);
    return c ? c->name : std::string();
}

std::string TableKeys::targetType(const std::string& sourceColumn) const {
    const Chosen* c = chosen(sourceColumn);
    return c ? c->type : std::string();
}

std::string TableKeys::decorate(std::size_t field, const std::string& targetName,
                                const std::string& type, bool defaultMapping) {
    const std::string sourceName = field < fieldNames_.size() ? fieldNames_[field] : targetName;
    const db::ColumnStructure* c = source_.column(sourceName);
    if (!c) {
        chosen_[folded(sourceName)] = {targetName, type};
        return type;
    }
    const bool narrow = defaultMapping && isKeyColumn(sourceName);
    return target_ == Direction::AccessToMySql ? mySqlDefinition(*c, targetName, type, narrow)
                                               : accessDefinition(*c, targetName, type, narrow);
}

std::string TableKeys::mySqlDefinition(const db::ColumnStructure& c, const std::string& targetName,
                                       std::string type, bool narrow) {
    using K = db::ColumnDefault::Kind;
    // A key column of Access text: VARCHAR of its length, which MySQL keys whole and lets take
    // part in a foreign key, where TEXT needs a prefix and can take no part.
    if (narrow && type == "text" && c.length > 0)
        type = "VARCHAR(" + std::to_string(c.length) + ")";
    chosen_[folded(c.name)] = {targetName, type};
    std::string out = type;
    const bool notRequired =
        std::find(notRequired_.begin(), notRequired_.end(), folded(c.name)) != notRequired_.end();
    if (c.required && !notRequired) out += " NOT NULL";
    const db::ColumnDefault& d = c.defaultValue;
    const bool longType = isMySqlLongType(type);
    auto literal = [&](const std::string& text) {
        const std::string quoted = quotedText(Direction::AccessToMySql, text);
        return longType ? "(" + quoted + ")" : quoted;
    };
    switch (d.kind) {
        case K::None:
            break;
        case K::Text:
        case K::DateTime:
            out += " DEFAULT " + literal(d.text);
            break;
        case K::Number:
        case K::Boolean:
            out += " DEFAULT " + (isMySqlNumberType(type) ? d.text : literal(d.text));
            break;
        case K::CurrentTimestamp:
            if (isTimestampType(type)) {
                const long fsp = typeArgument(type);
                out += " DEFAULT CURRENT_TIMESTAMP";
                if (fsp > 0) out += "(" + std::to_string(fsp) + ")";
            } else {
                note(defaultLeftOut(columnText(c.name), d.kind, type));
            }
            break;
        case K::CurrentDate:
            if (isDateType(type))
                out += " DEFAULT (CURRENT_DATE)";
            else
                note(defaultLeftOut(columnText(c.name), d.kind, type));
            break;
        case K::Expression:
            note(columnText(c.name) + ": the default " + d.text +
                 " is an expression, which is left out.");
            break;
    }
    if (!c.description.empty())
        out += " COMMENT " + quotedText(Direction::AccessToMySql, c.description);
    if (c.replicationId)
        note(columnText(c.name) +
             ": a Replication ID; its values are kept, but MySQL makes none for new rows.");
    return out;
}

std::string TableKeys::accessDefinition(const db::ColumnStructure& c, const std::string& targetName,
                                        std::string type, bool narrow) {
    using K = db::ColumnDefault::Kind;
    if (narrow && type == "TEXT" && c.length > 0 && c.length <= 255)
        type = "TEXT(" + std::to_string(c.length) + ")";
    bool counter = false;
    if (c.autoIncrement) {
        constexpr std::uint64_t kLongMax = std::numeric_limits<std::int32_t>::max();
        if (!isAccessIntegerType(type))
            note(columnText(c.name) + ": AUTO_INCREMENT is left out: the column's type " + type +
                 " is no whole number.");
        else if (source_.nextAutoNumber && *source_.nextAutoNumber > kLongMax)
            note(columnText(c.name) + ": AUTO_INCREMENT is left out: its next value " +
                 std::to_string(*source_.nextAutoNumber) +
                 " is beyond what an AutoNumber (Long Integer) holds.");
        else
            counter = true;
    }
    // The numbering goes on where the source's stood (and after the highest value sent).
    if (counter)
        type = source_.nextAutoNumber && *source_.nextAutoNumber > 1
                   ? "COUNTER(" + std::to_string(*source_.nextAutoNumber) + ", 1)"
                   : "COUNTER";
    chosen_[folded(c.name)] = {targetName, type};
    std::string out = type;
    const bool notRequired =
        std::find(notRequired_.begin(), notRequired_.end(), folded(c.name)) != notRequired_.end();
    if (c.required && !counter) {
        if (notRequired)
            note(columnText(c.name) +
                 ": NOT NULL is left out, since the values no Access date "
                 "holds are sent as NULL.");
        else
            out += " NOT NULL";
    }
    const db::ColumnDefault& d = c.defaultValue;
    const bool bitColumn = folded(c.sourceType) == "bit(1)";
    switch (counter ? K::None : d.kind) {
        case K::None:
            break;
        case K::Text:
        case K::DateTime:
            out += " DEFAULT " + quotedText(Direction::MySqlToAccess, d.text);
            break;
        case K::Number:
        case K::Boolean:
            if (bitColumn || isAccessBooleanType(type))
                out += std::string(" DEFAULT ") + (d.text == "0" ? "FALSE" : "TRUE");
            else
                out += " DEFAULT " + d.text;
            break;
        case K::CurrentTimestamp:
        case K::CurrentDate:
            if (isAccessDateType(type))
                out += d.kind == K::CurrentTimestamp ? " DEFAULT Now()" : " DEFAULT Date()";
            else
                note(defaultLeftOut(columnText(c.name), d.kind, type));
            break;
        case K::Expression:
            note(columnText(c.name) + ": the default " + d.text +
                 " is an expression, which is left out.");
            break;
    }
    if (!c.description.empty())
        note(columnText(c.name) + ": its comment is not carried (\"" + c.description + "\").");
    return out;
}

std::vector<std::string> TableKeys::afterRowsLines() {
    if (linesMade_) return {};
    linesMade_ = true;
    if (source_.isView) return {};
    return target_ == Direction::AccessToMySql ? mySqlLines() : accessLines();
}

std::vector<std::string> TableKeys::mySqlLines() {
    std::vector<std::string> clauses;
    std::vector<std::string> names;  // index names in use
    for (const auto& index : source_.indexes) {
        std::vector<const Chosen*> cols;
        bool complete = !index.columns.empty();
        for (const auto& ic : index.columns) {
            const Chosen* c = chosen(ic.name);
            if (!c) complete = false;
            cols.push_back(c);
        }
        if (!complete) {
            note("Table " + quotedName(source_.name) + ": the index " + quotedName(index.name) +
                 " names a column the table does not send; it is left out.");
            continue;
        }
        // Bytes each column's part takes: fixed columns a few, text four a character.
        std::vector<KeyPart> parts;
        std::vector<long> want;
        long fixed = 0;
        for (std::size_t k = 0; k < cols.size(); ++k) {
            const db::ColumnStructure* sc = source_.column(index.columns[k].name);
            parts.push_back(mySqlKeyPart(cols[k]->type, sc ? sc->length : 0));
            const KeyPart& p = parts.back();
            const long perUnit = p.kind == KeyPart::Kind::Chars ? kMySqlBytesPerChar : 1;
            if (p.kind == KeyPart::Kind::Fixed) {
                fixed += 8;
                want.push_back(0);
            } else {
                const long limit = kMySqlKeyBytes / perUnit;
                want.push_back(p.max > 0 ? std::min(p.max, limit) : limit);
            }
        }
        // Share what the key may take among its text columns, the shortest served first.
        std::vector<long> given = want;
        long budget = kMySqlKeyBytes - fixed;
        long total = 0;
        for (std::size_t k = 0; k < parts.size(); ++k)
            if (parts[k].kind != KeyPart::Kind::Fixed)
                total += want[k] * (parts[k].kind == KeyPart::Kind::Chars ? kMySqlBytesPerChar : 1);
        if (total > budget) {
            std::vector<std::size_t> order;
            for (std::size_t k = 0; k < parts.size(); ++k)
                if (parts[k].kind != KeyPart::Kind::Fixed) order.push_back(k);
            std::stable_sort(order.begin(), order.end(),
                             [&](std::size_t a, std::size_t b) { return want[a] < want[b]; });
            std::size_t left = order.size();
            for (std::size_t k : order) {
                const long perUnit = parts[k].kind == KeyPart::Kind::Chars ? kMySqlBytesPerChar : 1;
                const long share = std::max(budget / static_cast<long>(left), perUnit);
                given[k] = std::max(1L, std::min(want[k], share / perUnit));
                budget -= given[k] * perUnit;
                --left;
            }
        }
        std::string list;
        for (std::size_t k = 0; k < cols.size(); ++k) {
            if (k) list += ',';
            list += q(cols[k]->name);
            const KeyPart& p = parts[k];
            const bool cut = p.kind != KeyPart::Kind::Fixed && (p.max == 0 || given[k] < p.max);
            if (p.kind != KeyPart::Kind::Fixed && (p.needsPrefix || given[k] < p.max)) {
                list += "(" + std::to_string(given[k]) + ")";
                if (cut)
                    note("Table " + quotedName(source_.name) + ": MySQL keys the index " +
                         quotedName(index.name) + " by the first " + std::to_string(given[k]) +
                         (p.kind == KeyPart::Kind::Chars ? " characters" : " bytes") + " of " +
                         quotedName(cols[k]->name) + ", which may hold more.");
            }
            if (index.columns[k].descending) list += " DESC";
        }
        if (index.primary) {
            clauses.push_back("ADD PRIMARY KEY (" + list + ")");
        } else {
            std::string name = index.name;
            if (folded(name) == "primary" || name.empty()) name = "key_" + name;
            while (std::find(names.begin(), names.end(), folded(name)) != names.end())
                name += "_";
            names.push_back(folded(name));
            clauses.push_back(std::string(index.unique ? "ADD UNIQUE KEY " : "ADD KEY ") + q(name) +
                              " (" + list + ")");
        }
        sentIndexes_.push_back(&index);
    }
    for (const auto& c : source_.columns) {
        if (!c.autoIncrement) continue;
        const Chosen* ch = chosen(c.name);
        if (!ch) continue;
        bool keyed = false;
        for (const auto* i : sentIndexes_)
            if (!i->columns.empty() && folded(i->columns.front().name) == folded(c.name))
                keyed = true;
        if (!keyed) {
            std::string name = c.name;
            while (std::find(names.begin(), names.end(), folded(name)) != names.end())
                name += "_";
            names.push_back(folded(name));
            clauses.push_back("ADD KEY " + q(name) + " (" + q(ch->name) + ")");
            note(columnText(c.name) +
                 ": MySQL numbers only a column that leads an index, so it gets an index of its "
                 "own.");
        }
        std::string modify = "MODIFY " + q(ch->name) + " " + ch->type + " NOT NULL AUTO_INCREMENT";
        if (!c.description.empty())
            modify += " COMMENT " + quotedText(Direction::AccessToMySql, c.description);
        clauses.push_back(modify);
        if (source_.nextAutoNumber)
            clauses.push_back("AUTO_INCREMENT=" + std::to_string(*source_.nextAutoNumber));
        break;  // one numbered column a table
    }
    if (clauses.empty()) return {};
    std::string line = "ALTER TABLE " + tableQuoted() + " ";
    for (std::size_t i = 0; i < clauses.size(); ++i) {
        if (i) line += ", ";
        line += clauses[i];
    }
    return {line};
}

std::vector<std::string> TableKeys::accessLines() {
    std::vector<std::string> lines;
    std::vector<std::string> names;
    const std::size_t capacity =
        kAccessMaxIndexes > foreignKeysSent_ ? kAccessMaxIndexes - foreignKeysSent_ : 0;
    const std::string table = "Table " + quotedName(source_.name);
    for (const auto& index : source_.indexes) {
        const std::string what = "the index " + quotedName(index.name);
        if (index.kind != db::IndexStructure::Kind::Plain) {
            note(table + ": " + what + " is a " +
                 (index.kind == db::IndexStructure::Kind::FullText ? "FULLTEXT" : "SPATIAL") +
                 " index, which Access does not have; it is left out.");
            continue;
        }
        if (index.columns.size() > kAccessMaxIndexColumns) {
            note(table + ": " + what + " has " + std::to_string(index.columns.size()) +
                 " columns, more than the 10 an Access index may have; it is left out.");
            continue;
        }
        if (!index.primary && !index.unique &&
            std::any_of(foreignKeyNames_.begin(), foreignKeyNames_.end(),
                        [&](const std::string& k) { return folded(k) == folded(index.name); }))
            continue;  // the index of a foreign key that goes: the relationship makes its own
        std::string longColumn;
        for (const auto& ic : index.columns)
            if (const Chosen* c = chosen(ic.name); c && isAccessLongType(c->type))
                longColumn = c->name;
        if (!longColumn.empty()) {
            note(table + ": " + what + " is left out: Access cannot index " +
                 quotedName(longColumn) + ", which the send makes a Memo or OLE Object.");
            continue;
        }
        std::string decimalColumn;
        for (const auto& ic : index.columns)
            if (const Chosen* c = chosen(ic.name); c && isAccessDecimalType(c->type))
                decimalColumn = c->name;
        if (!decimalColumn.empty()) {
            note(table + ": " + what + " is left out: this program cannot yet write the index " +
                 "keys of " + quotedName(decimalColumn) + ", which the send makes a Decimal.");
            continue;
        }
        std::string list;
        bool complete = !index.columns.empty(), descending = false;
        for (std::size_t k = 0; k < index.columns.size(); ++k) {
            const auto& ic = index.columns[k];
            const Chosen* c = ic.name.empty() ? nullptr : chosen(ic.name);
            if (!c) {
                complete = false;
                break;
            }
            if (k) list += ", ";
            list += q(c->name);
            if (ic.descending) {
                list += " DESC";
                descending = true;
            }
            if (ic.prefixLength > 0)
                note(table + ": " + what + " keys the whole of " + quotedName(c->name) +
                     " in Access, where MySQL keys its first " + std::to_string(ic.prefixLength) +
                     " characters.");
        }
        if (!complete) {
            note(table + ": " + what +
                 " is on an expression or a column the table does not send; it is left out.");
            continue;
        }
        if (sentIndexes_.size() >= capacity) {
            note(table + ": " + what + " is left out: an Access table has at most 32 indexes" +
                 (foreignKeysSent_ ? ", its relationships' among them." : "."));
            continue;
        }
        std::string name = index.primary ? std::string("PrimaryKey") : accessSafeName(index.name);
        if (!index.primary && folded(name) == "primarykey") name += "1";
        while (std::find(names.begin(), names.end(), folded(name)) != names.end())
            name += "1";
        names.push_back(folded(name));
        if (index.primary && !descending)
            lines.push_back("ALTER TABLE " + tableQuoted() + " ADD CONSTRAINT " + q(name) +
                            " PRIMARY KEY (" + list + ")");
        else
            lines.push_back(std::string(index.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
                            q(name) + " ON " + tableQuoted() + " (" + list + ")" +
                            (index.primary ? " WITH PRIMARY" : ""));
        sentIndexes_.push_back(&index);
    }
    return lines;
}

bool TableKeys::hasUniqueKeyOn(const std::vector<std::string>& columns) const {
    std::vector<std::string> want;
    for (const auto& c : columns)
        want.push_back(folded(c));
    std::sort(want.begin(), want.end());
    for (const auto* i : sentIndexes_) {
        if (!i->unique) continue;
        std::vector<std::string> have;
        for (const auto& c : i->columns)
            have.push_back(folded(c.name));
        std::sort(have.begin(), have.end());
        if (have == want) return true;
    }
    return false;
}

}  // namespace transfer
