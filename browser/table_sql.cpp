// Statements of the delete and rename commands.
#include "browser/table_sql.h"

#include "db/sql_names.h"

namespace browser {

std::string accessDeleteTableSql(std::string_view name) {
    return "DROP TABLE " + db::quoteAccessName(name) + ";";
}

std::string dropTableSql(std::string_view name) {
    return "DROP TABLE " + db::quoteMySqlName(name);
}

std::string accessDropTableSql(std::string_view name) {
    return "DROP TABLE " + db::quoteAccessName(name);
}

std::string mySqlRenameTableSql(std::string_view oldName, std::string_view newName) {
    const std::string from = db::quoteMySqlName(oldName);
    const std::string to = db::quoteMySqlName(newName);
    return "RENAME TABLE " + from + " TO " + to;
}

std::string accessCopyTableSql(std::string_view oldName, std::string_view newName) {
    const std::string from = db::quoteAccessName(oldName);
    const std::string to = db::quoteAccessName(newName);
    return "SELECT a1.* INTO " + to + " FROM " + from + " AS a1;";
}

}  // namespace browser
