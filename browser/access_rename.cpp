// RenameAccessTableByCopy.
#include "browser/access_rename.h"

#include "browser/table_sql.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "db/error.h"
#include "db/table_listing.h"

namespace browser {

namespace {

constexpr std::size_t kMaxNameCharacters = 64;
constexpr int kMaxIntermediateAttempts = 1000;

// The byte length of the first `characters` UTF-8 characters of `s`.
std::size_t prefixBytes(const std::string& s, std::size_t characters) {
    std::size_t i = 0, seen = 0;
    while (i < s.size() && seen < characters) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80)
            ++i;
        ++seen;
    }
    return i;
}

std::size_t characterCount(const std::string& s) {
    std::size_t n = 0;
    for (char c : s)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

// Copies the table to an intermediate name and back under `newName`, which differs from
// `oldName` only in letter case.
void renameThroughIntermediate(db::Connection& cn, const std::string& oldName,
                               const std::string& newName, const std::string& path,
                               const std::string& password) {
    std::string step;
    for (int attempt = 1;; ++attempt) {
        if (attempt > kMaxIntermediateAttempts)
            throw db::Error(db::errc::kTableExists,
                            "No free intermediate name was found for renaming the table " +
                                oldName + " to " + newName + "; nothing was changed.");
        step = intermediateTableName(newName, attempt);
        if (!db::accessTableExists(path, password, step)) break;
    }
    const std::string& intermediate = step;
    cn.execute(accessCopyTableSql(oldName, intermediate));
    try {
        cn.execute(accessDropTableSql(oldName));
    } catch (const db::Error& e) {
        // The table stays as it was (a table in a relationship, say); its copy must not.
        try {
            cn.execute(accessDropTableSql(intermediate));
        } catch (const db::Error&) {
            throw db::Error(e.number(), e.description() + " Its intermediate copy " + intermediate +
                                            " is still in the file.");
        }
        throw;
    }
    try {
        cn.execute(accessCopyTableSql(intermediate, newName));
    } catch (const db::Error& e) {
        throw db::Error(e.number(), e.description() + " The rows of the table " + oldName +
                                        " are kept in the table " + intermediate + ".");
    }
    try {
        cn.execute(accessDropTableSql(intermediate));
    } catch (const db::Error& e) {
        throw db::Error(e.number(), e.description() + " The table is renamed to " + newName +
                                        "; its intermediate copy " + intermediate +
                                        " is still in the file.");
    }
}

}  // namespace

std::string overwriteQuestionText(const std::string& newName) {
    return "Would you like to overwrite " + newName + "?";
}

std::string intermediateTableName(const std::string& newName, int attempt) {
    const std::string suffix = "_renaming" + (attempt > 1 ? std::to_string(attempt) : "");
    const std::size_t room = kMaxNameCharacters - suffix.size();
    std::string base = newName;
    if (characterCount(base) > room) base.resize(prefixBytes(base, room));
    return base + suffix;
}

bool renameAccessTableByCopy(const std::string& oldName, const std::string& newName,
                             const std::string& path, const std::string& password,
                             const OverwriteQuestion& overwrite) {
    db::LoginFields file;
    file.accessPath = path;
    file.accessPassword = password;
    db::Connection cn;
    cn.open(db::buildAccessConnectionString(file, path, password));
    bool result = true;
    if (newName == oldName) {
        // The table already has this name: nothing to do.
    } else if (db::accessTableNamesEqual(oldName, newName)) {
        // The existence check would find the table itself; dropping "the other table" would
        // drop the only copy.
        renameThroughIntermediate(cn, oldName, newName, path, password);
    } else {
        if (db::accessTableExists(path, password, newName)) {
            if (overwrite && overwrite(newName))
                cn.execute(accessDropTableSql(newName));
            else
                result = false;
        }
        if (result) {
            cn.execute(accessCopyTableSql(oldName, newName));
            cn.execute(accessDropTableSql(oldName));
        }
    }
    cn.close();
    return result;
}

}  // namespace browser
