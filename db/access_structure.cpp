// Reading an Access table's structure.
#include "db/access_structure.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "db/jet/base/error.h"
#include "db/jet/database/database.h"
#include "db/jet/table/table_reader.h"
#include "db/jet/table/value_codec.h"

namespace db {

namespace {

constexpr std::int64_t kRelationNotEnforced = 0x00000002;
constexpr std::int64_t kRelationCascadeUpdates = 0x00000100;
constexpr std::int64_t kRelationCascadeDeletes = 0x00001000;
constexpr std::int64_t kRelationSetNullOnDelete = 0x00002000;

constexpr std::uint8_t kIndexUnique = 0x01;
constexpr std::uint8_t kIndexIgnoreNulls = 0x02;
constexpr std::uint8_t kIndexRequired = 0x08;
constexpr std::uint8_t kLogicalPrimaryKey = 0x01;
constexpr std::uint8_t kLogicalForeignKey = 0x02;

std::string lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string trimmed(std::string_view s) {
    std::size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a])))
        ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1])))
        --b;
    return std::string(s.substr(a, b - a));
}

// The text of a property value: UTF-16LE (compressed or not) in Jet 4 and later, the code page
// in Jet 3.
std::string propertyText(const jet::Property& p, const jet::Format& format,
                         const jet::CodePage& codePage) {
    if (format.unicodeText) return jet::decodeUnicodeText(p.value);
    return codePage.decode(p.value);
}

bool propertyFlag(const jet::Property& p) {
    return !p.value.empty() && p.value[0] != 0;
}

const jet::PropertyMap* mapOf(const std::vector<jet::PropertyMap>& maps, const std::string& name) {
    const std::string folded = jet::foldName(name);
    for (const auto& m : maps)
        if (!m.name.empty() && jet::foldName(m.name) == folded) return &m;
    return nullptr;
}

bool isNumber(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    std::size_t digits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
        ++i;
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
        std::size_t exp = 0;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
            ++i;
            ++exp;
        }
        if (exp == 0) return false;
    }
    return i == s.size();
}

// Reads whole numbers separated by `seps` from `s` into `out`; false when something else is
// there.
bool numbers(std::string_view s, std::string_view seps, std::vector<int>& out) {
    std::size_t i = 0;
    while (i < s.size()) {
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
        long v = 0;
        std::size_t n = 0;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
            v = v * 10 + (s[i] - '0');
            if (++n > 4) return false;
            ++i;
        }
        out.push_back(static_cast<int>(v));
        if (i == s.size()) break;
        if (seps.find(s[i]) == std::string_view::npos) return false;
        ++i;
        if (i == s.size()) return false;
    }
    return true;
}

bool validDay(int y, int m, int d) {
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
    if (d > kDays[m - 1]) return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return !(m == 2 && d == 29 && !leap);
}

std::string twoDigits(int v) {
    return std::string(1, static_cast<char>('0' + v / 10)) + static_cast<char>('0' + v % 10);
}

// #2024-01-31#, #1/31/2024#, either with a time "13:05[:07]" or "1:05[:07] PM": the date as
// "YYYY-MM-DD[ HH:MM:SS]", or "" when it is not one of these.
std::string accessDateLiteral(std::string_view inside) {
    std::string s = trimmed(inside);
    std::string datePart = s, timePart;
    if (const std::size_t space = s.find(' '); space != std::string::npos) {
        datePart = s.substr(0, space);
        timePart = trimmed(s.substr(space + 1));
    }
    std::vector<int> d;
    int y = 0, m = 0, day = 0;
    if (datePart.find('-') != std::string::npos) {
        if (!numbers(datePart, "-", d) || d.size() != 3) return {};
        y = d[0], m = d[1], day = d[2];
    } else {
        if (!numbers(datePart, "/", d) || d.size() != 3) return {};
        m = d[0], day = d[1], y = d[2];
    }
    if (!validDay(y, m, day)) return {};
    std::string out = std::to_string(y);
    while (out.size() < 4)
        out.insert(out.begin(), '0');
    out += "-" + twoDigits(m) + "-" + twoDigits(day);
    if (timePart.empty()) return out;
    int offset = 0;
    std::string upper = timePart;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper.size() > 2 && (upper.ends_with("AM") || upper.ends_with("PM"))) {
        offset = upper.ends_with("PM") ? 12 : 0;
        timePart = trimmed(timePart.substr(0, timePart.size() - 2));
    }
    std::vector<int> t;
    if (!numbers(timePart, ":", t) || t.size() < 2 || t.size() > 3) return {};
    int h = t[0];
    if (upper.ends_with("AM") || upper.ends_with("PM")) {
        if (h < 1 || h > 12) return {};
        h = h % 12 + offset;
    }
    const int min = t[1], sec = t.size() == 3 ? t[2] : 0;
    if (h > 23 || min > 59 || sec > 59) return {};
    if (h == 0 && min == 0 && sec == 0) return out;
    return out + " " + twoDigits(h) + ":" + twoDigits(min) + ":" + twoDigits(sec);
}

// A call of `name` with no arguments: "Now()", "now ( )".
bool isCall(std::string_view s, std::string_view name) {
    std::string compact;
    for (char c : s)
        if (!std::isspace(static_cast<unsigned char>(c))) compact += c;
    return lowered(compact) == lowered(std::string(name) + "()");
}

ReferentialAction deleteRule(std::int64_t grbit) {
    if (grbit & kRelationCascadeDeletes) return ReferentialAction::Cascade;
    if (grbit & kRelationSetNullOnDelete) return ReferentialAction::SetNull;
    return ReferentialAction::Restrict;
}

int columnAt(const jet::TableDef& def, const char* name) {
    const std::string folded = jet::foldName(name);
    for (std::size_t i = 0; i < def.columns.size(); ++i)
        if (jet::foldName(def.columns[i].name) == folded) return static_cast<int>(i);
    return -1;
}

std::vector<ForeignKeyStructure> readRelationships(jet::Database& database,
                                                   const std::string& table) {
    const jet::CatalogEntry* rel = database.catalog().findTable("MSysRelationships");
    if (!rel) return {};
    auto reader = database.openTable(*rel);
    const jet::TableDef& def = reader->def();
    const int name = columnAt(def, "szRelationship"), object = columnAt(def, "szObject"),
              column = columnAt(def, "szColumn"), refObject = columnAt(def, "szReferencedObject"),
              refColumn = columnAt(def, "szReferencedColumn"), grbit = columnAt(def, "grbit"),
              position = columnAt(def, "icolumn");
    if (name < 0 || object < 0 || column < 0 || refObject < 0 || refColumn < 0) return {};
    auto text = [](const Value& v) { return v.kind() == Value::Kind::Text ? v.asText() : ""; };
    struct Part {
        std::int64_t position;
        std::string column, referenced;
    };
    struct Key {
        ForeignKeyStructure key;
        std::vector<Part> parts;
    };
    std::vector<Key> keys;  // in the order the relationships first appear
    const std::string folded = jet::foldName(table);
    std::vector<Value> row;
    while (reader->next(row)) {
        auto at = [&](int i) -> const Value& { return row[static_cast<std::size_t>(i)]; };
        if (jet::foldName(text(at(object))) != folded) continue;
        const std::int64_t flags =
            grbit >= 0 && at(grbit).kind() == Value::Kind::Integer ? at(grbit).asInteger() : 0;
        if (flags & kRelationNotEnforced) continue;
        const std::string relName = text(at(name));
        auto it = std::find_if(keys.begin(), keys.end(),
                               [&](const Key& k) { return k.key.name == relName; });
        if (it == keys.end()) {
            Key k;
            k.key.name = relName;
            k.key.referencedTable = text(at(refObject));
            k.key.onUpdate = (flags & kRelationCascadeUpdates) ? ReferentialAction::Cascade
                                                               : ReferentialAction::Restrict;
            k.key.onDelete = deleteRule(flags);
            keys.push_back(std::move(k));
            it = keys.end() - 1;
        }
        const std::int64_t pos = position >= 0 && at(position).kind() == Value::Kind::Integer
                                     ? at(position).asInteger()
                                     : static_cast<std::int64_t>(it->parts.size());
        it->parts.push_back({pos, text(at(column)), text(at(refColumn))});
    }
    std::vector<ForeignKeyStructure> out;
    for (auto& k : keys) {
        std::stable_sort(k.parts.begin(), k.parts.end(),
                         [](const Part& a, const Part& b) { return a.position < b.position; });
        for (const auto& p : k.parts) {
            k.key.columns.push_back(p.column);
            k.key.referencedColumns.push_back(p.referenced);
        }
        out.push_back(std::move(k.key));
    }
    return out;
}

}  // namespace

ColumnDefault parseAccessDefault(std::string_view expression, jet::ColumnType type) {
    using K = ColumnDefault::Kind;
    std::string s = trimmed(expression);
    if (!s.empty() && s[0] == '=') s = trimmed(std::string_view(s).substr(1));
    ColumnDefault d;
    if (s.empty() || lowered(s) == "null") return d;
    if (isCall(s, "Now")) return {K::CurrentTimestamp, {}};
    if (isCall(s, "Date")) return {K::CurrentDate, {}};
    const char q = s[0];
    if ((q == '"' || q == '\'') && s.size() >= 2 && s.back() == q) {
        // One literal between the quotes, each quote inside it doubled.
        std::string value;
        bool whole = true;
        for (std::size_t i = 1; i + 1 < s.size(); ++i) {
            if (s[i] == q) {
                if (i + 2 < s.size() && s[i + 1] == q) {
                    value += q;
                    ++i;
                    continue;
                }
                whole = false;  // "a" & "b": an expression
                break;
            }
            value += s[i];
        }
        if (whole) return {K::Text, value};
        return {K::Expression, s};
    }
    if (s.size() >= 2 && s.front() == '#' && s.back() == '#') {
        const std::string date = accessDateLiteral(std::string_view(s).substr(1, s.size() - 2));
        if (!date.empty()) return {K::DateTime, date};
        return {K::Expression, s};
    }
    const std::string word = lowered(s);
    if (type == jet::ColumnType::Boolean) {
        if (word == "true" || word == "yes" || word == "on" || word == "-1")
            return {K::Boolean, "1"};
        if (word == "false" || word == "no" || word == "off" || word == "0")
            return {K::Boolean, "0"};
        return {K::Expression, s};
    }
    if (isNumber(s)) {
        if (s[0] == '+') s.erase(0, 1);
        return {K::Number, s};
    }
    if (word == "true" || word == "yes") return {K::Boolean, "1"};
    if (word == "false" || word == "no") return {K::Boolean, "0"};
    return {K::Expression, s};
}

TableStructure readAccessTableStructure(jet::Database& database, std::string_view table) {
    database.refresh();
    const jet::CatalogEntry* entry = database.catalog().findTable(table);
    if (!entry) {
        const std::string folded = jet::foldName(table);
        for (const auto& e : database.catalog().entries())
            if (jet::foldName(e.name) == folded &&
                database.catalog().kindOf(e) == jet::TableKind::View) {
                TableStructure view;
                view.name = e.name;
                view.isView = true;
                return view;
            }
        throw jet::Error(jet::ErrorKind::NoSuchTable,
                         "The Access engine cannot find the table '" + std::string(table) +
                             "'. Make sure it exists and that its name is spelled correctly.");
    }
    const std::string name = entry->name;  // the entry may go when the catalogue is read again
    const auto def = database.tableDef(*entry);
    const std::vector<jet::PropertyMap> props = database.properties(*entry);

    TableStructure s;
    s.name = name;
    bool counts = false;
    std::map<std::uint16_t, const jet::ColumnDef*> byNumber;
    for (const auto& c : def->columns) {
        byNumber[c.number] = &c;
        ColumnStructure col;
        col.name = c.name;
        col.sourceType = jet::columnTypeName(c.type);
        if (c.type == jet::ColumnType::Text)
            col.length = database.format().unicodeText ? c.length / 2u : c.length;
        else if (c.type == jet::ColumnType::Binary)
            col.length = c.length;
        else if (c.type == jet::ColumnType::Guid)
            col.length = 38;  // "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"
        col.autoIncrement = c.autoNumber() && c.type == jet::ColumnType::Long;
        col.replicationId = c.autoNumber() && c.type == jet::ColumnType::Guid;
        col.required = c.autoNumber();
        if (col.autoIncrement) counts = true;
        if (const jet::PropertyMap* m = mapOf(props, c.name)) {
            if (const jet::Property* p = m->find("Required"); p && propertyFlag(*p))
                col.required = true;
            if (const jet::Property* p = m->find("AllowZeroLength"))
                col.allowZeroLength = propertyFlag(*p);
            if (const jet::Property* p = m->find("DefaultValue"); p && !c.autoNumber())
                col.defaultValue = parseAccessDefault(
                    propertyText(*p, database.format(), database.codePage()), c.type);
            if (const jet::Property* p = m->find("Description"))
                col.description = propertyText(*p, database.format(), database.codePage());
        }
        s.columns.push_back(std::move(col));
    }
    if (counts) s.nextAutoNumber = std::uint64_t{def->autoNumber} + 1;

    for (const auto& logical : def->logicalIndexes) {
        if (logical.kind == kLogicalForeignKey) continue;
        if (logical.physicalIndex >= def->indexes.size())
            throw jet::Error(jet::ErrorKind::Corrupt,
                             "The index '" + logical.name + "' of table '" + name +
                                 "' names a physical index the table does not have.");
        const jet::PhysicalIndex& physical = def->indexes[logical.physicalIndex];
        // Access keeps an index of its own on each attachment and multi-value column, over
        // the numbers that link the rows to their values: no index of the values themselves.
        if (std::any_of(physical.columns.begin(), physical.columns.end(), [&](const auto& ic) {
                const auto it = byNumber.find(ic.columnNumber);
                return it != byNumber.end() && it->second->type == jet::ColumnType::Complex;
            }))
            continue;
        IndexStructure index;
        index.name = logical.name;
        index.primary = logical.kind == kLogicalPrimaryKey;
        index.unique = index.primary || (physical.flags & kIndexUnique) != 0;
        index.ignoreNulls = (physical.flags & kIndexIgnoreNulls) != 0;
        index.required = (physical.flags & kIndexRequired) != 0;
        for (const auto& ic : physical.columns) {
            const auto it = byNumber.find(ic.columnNumber);
            if (it == byNumber.end())
                throw jet::Error(jet::ErrorKind::Corrupt,
                                 "The index '" + logical.name + "' of table '" + name +
                                     "' names a column the table does not have.");
            index.columns.push_back({it->second->name, !ic.ascending, 0});
        }
        if (index.primary)
            for (const auto& ic : index.columns)
                for (auto& c : s.columns)
                    if (c.name == ic.name) c.required = true;
        s.indexes.push_back(std::move(index));
    }
    std::stable_partition(s.indexes.begin(), s.indexes.end(),
                          [](const IndexStructure& i) { return i.primary; });
    s.foreignKeys = readRelationships(database, name);
    return s;
}

}  // namespace db
