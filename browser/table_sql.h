// The statements the delete and rename commands send, built by concatenation with the names
// between backquotes.
//
// For MySQL every backquote inside a name is doubled (db::quoteMySqlName), so that any name the
// server holds can be dropped or renamed and no name can end its quotes early: without that,
// "DROP TABLE `a`, `b`" would drop two other tables. For Access a name the file cannot hold
// (a backquote, a period, brackets, ...) is refused with db::Error (errc::kSyntax) before
// anything is sent, and the command reports it as it reports a statement the database rejected.
#pragma once

#include <string>
#include <string_view>

namespace browser {

// "DROP TABLE `name`;" — the Access side's delete.
std::string accessDeleteTableSql(std::string_view name);
// "DROP TABLE `name`" — the MySQL side's delete.
std::string dropTableSql(std::string_view name);
// "DROP TABLE `name`" — the Access rename's drops.
std::string accessDropTableSql(std::string_view name);
// "RENAME TABLE `old` TO `new`"
std::string mySqlRenameTableSql(std::string_view oldName, std::string_view newName);
// "SELECT a1.* INTO `new` FROM `old` AS a1;"
std::string accessCopyTableSql(std::string_view oldName, std::string_view newName);

}  // namespace browser
