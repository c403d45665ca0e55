// The structure part of a send.
#include "transfer/send_keys.h"

#include <algorithm>

#include "db/connection.h"
#include "db/sql_names.h"

namespace transfer {

namespace {

std::string folded(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string quotedName(const std::string& name) {
    return "\"" + name + "\"";
}

// At most `most` characters (MySQL's longest name is 64), never cut inside a UTF-8 sequence.
std::string shortened(std::string name, std::size_t most = 64) {
    std::size_t chars = 0, cut = 0;
    for (; cut < name.size(); ++cut)
        if ((static_cast<unsigned char>(name[cut]) & 0xC0) != 0x80 && ++chars > most) break;
    name.resize(cut);
    return name;
}

}  // namespace

SendKeys::SendKeys(Direction target, std::vector<std::string> tables,
                   db::AccessFileFeatures features)
    : target_(target), features_(features) {
    for (const auto& t : tables)
        tables_.push_back(folded(t));
}

SendKeys::~SendKeys() = default;

bool SendKeys::inSend(const std::string& table) const {
    return std::find(tables_.begin(), tables_.end(), folded(table)) != tables_.end();
}

std::optional<db::TableStructure> SendKeys::read(db::Connection& source, const std::string& table,
                                                 std::vector<std::string>& notes) {
    try {
        return source.tableStructure(table);
    } catch (const db::Error& e) {
        notes.push_back(
            "Table " + quotedName(table) +
            ": its keys and indexes could not be read and are not sent: " + e.description());
        return std::nullopt;
    }
}

TableKeys& SendKeys::add(db::TableStructure structure, std::vector<std::string> fieldNames) {
    std::vector<std::string> foreignKeys;
    for (const auto& k : structure.foreignKeys)
        if (inSend(k.referencedTable)) foreignKeys.push_back(k.name);
    added_.push_back(std::make_unique<TableKeys>(
        target_, std::move(structure), std::move(fieldNames), features_, foreignKeys.size()));
    added_.back()->setForeignKeysSent(std::move(foreignKeys));
    return *added_.back();
}

TableKeys* SendKeys::sent(const std::string& table) {
    // The last one added wins: a table sent twice is the one that stays.
    for (auto it = added_.rbegin(); it != added_.rend(); ++it)
        if (folded((*it)->source().name) == folded(table)) return it->get();
    return nullptr;
}

std::vector<std::string> SendKeys::foreignKeyLines(std::vector<std::string>& notes) {
    using A = db::ReferentialAction;
    std::vector<std::string> lines;
    std::vector<std::string> names;  // constraint names in use (folded)
    const bool access = target_ == Direction::MySqlToAccess;
    const std::string sep = access ? ", " : ",";
    for (const auto& child : added_) {
        const db::TableStructure& s = child->source();
        const std::string table = "Table " + quotedName(s.name);
        for (const auto& key : s.foreignKeys) {
            const std::string what = "the foreign key " + quotedName(key.name) + " to " +
                                     quotedName(key.referencedTable);
            TableKeys* parent = sent(key.referencedTable);
            if (!parent || !inSend(key.referencedTable)) {
                notes.push_back(table + ": " + what +
                                " is left out: that table is not part of the send.");
                continue;
            }
            std::string from, to;
            bool complete =
                !key.columns.empty() && key.columns.size() == key.referencedColumns.size();
            for (std::size_t k = 0; complete && k < key.columns.size(); ++k) {
                const std::string a = child->targetName(key.columns[k]);
                const std::string b = parent->targetName(key.referencedColumns[k]);
                if (a.empty() || b.empty()) complete = false;
                if (k) {
                    from += sep;
                    to += sep;
                }
                from += db::quoteMySqlName(a);
                to += db::quoteMySqlName(b);
            }
            if (!complete) {
                notes.push_back(table + ": " + what +
                                " is left out: it names columns the send does not carry.");
                continue;
            }
            if (access && !parent->hasUniqueKeyOn(key.referencedColumns)) {
                notes.push_back(table + ": " + what +
                                " is left out: Access needs a unique index of " +
                                quotedName(key.referencedTable) +
                                " on exactly the columns it references, which the send does not "
                                "make.");
                continue;
            }
            std::string rules;
            if (key.onUpdate == A::Cascade) {
                rules += " ON UPDATE CASCADE";
            } else if (key.onUpdate == A::SetNull && !access) {
                rules += " ON UPDATE SET NULL";
            } else if (key.onUpdate == A::SetNull || key.onUpdate == A::SetDefault) {
                notes.push_back(table + ": " + what +
                                " keeps its rows' keys when the referenced "
                                "key changes (ON UPDATE " +
                                std::string(db::referentialActionName(key.onUpdate)) +
                                " is not carried).");
            }
            if (key.onDelete == A::Cascade)
                rules += " ON DELETE CASCADE";
            else if (key.onDelete == A::SetNull)
                rules += " ON DELETE SET NULL";
            else if (key.onDelete == A::SetDefault)
                notes.push_back(table + ": " + what +
                                " refuses to delete a referenced row (ON DELETE SET DEFAULT is "
                                "not carried).");
            std::string name = access ? accessSafeName(key.name) : shortened(key.name);
            if (name.empty()) name = s.name + "_" + key.referencedTable;
            const std::string base = shortened(name, 58);
            for (int n = 1; std::find(names.begin(), names.end(), folded(name)) != names.end(); ++n)
                name = base + std::to_string(n);
            names.push_back(folded(name));
            lines.push_back("ALTER TABLE " + db::quoteMySqlName(s.name) + " ADD CONSTRAINT " +
                            db::quoteMySqlName(name) + " FOREIGN KEY (" + from + ") REFERENCES " +
                            db::quoteMySqlName(parent->source().name) + " (" + to + ")" + rules);
        }
    }
    return lines;
}

}  // namespace transfer
