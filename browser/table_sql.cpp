// Statements of the delete and rename commands.
#include "browser/table_sql.h"

#include "db/error.h"

namespace browser {

void requireQuotableName(std::string_view name) {
    if (name.find('`') != std::string_view::npos)
        throw db::Error(db::errc::kSyntax,
                        "The table name \"" + std::string(name) +
                            "\" holds a backquote (`), which cannot stand between the backquotes "
                            "of a statement; nothing was sent to the database.");
}

namespace {
std::string quoted(std::string_view name) {
    requireQuotableName(name);
    return "`" + std::string(name) + "`";
}
}  // namespace

std::string accessDeleteTableSql(std::string_view name) {
    return "DROP TABLE " + quoted(name) + ";";
}

std::string dropTableSql(std::string_view name) {
    return "DROP TABLE " + quoted(name);
}

std::string mySqlRenameTableSql(std::string_view oldName, std::string_view newName) {
    const std::string from = quoted(oldName);
    const std::string to = quoted(newName);
    return "RENAME TABLE " + from + " TO " + to;
}

std::string accessCopyTableSql(std::string_view oldName, std::string_view newName) {
    const std::string from = quoted(oldName);
    const std::string to = quoted(newName);
    return "SELECT a1.* INTO " + to + " FROM " + from + " AS a1;";
}

}  // namespace browser
