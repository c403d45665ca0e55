// The statements the delete and rename commands send, built by concatenation with the names
// between backquotes.
//
// A name that holds a backquote cannot be written between backquotes without changing the
// statement: "DROP TABLE `a`, `b`" would drop two other tables. Every builder therefore refuses
// such a name with db::Error (errc::kSyntax) before anything is sent, and the command reports
// it as it reports a statement the database rejected.
#pragma once

#include <string>
#include <string_view>

namespace browser {

// Throws db::Error (errc::kSyntax) when `name` holds a backquote.
void requireQuotableName(std::string_view name);

// "DROP TABLE `name`;" — the Access side's delete.
std::string accessDeleteTableSql(std::string_view name);
// "DROP TABLE `name`" — the MySQL side's delete, and the Access rename's drops.
std::string dropTableSql(std::string_view name);
// "RENAME TABLE `old` TO `new`"
std::string mySqlRenameTableSql(std::string_view oldName, std::string_view newName);
// "SELECT a1.* INTO `new` FROM `old` AS a1;"
std::string accessCopyTableSql(std::string_view oldName, std::string_view newName);

}  // namespace browser
