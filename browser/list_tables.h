// Filling the table browser's two lists from the databases.
//
// Nothing is cached: each call opens its own connection with the login fields as they stand
// and rereads the catalogue. The lists sort the names themselves, so the order the database
// delivers does not show. Neither function catches a failure to open or read a database: it
// reaches the calling command's error report, with the list left as far as it was filled (it is
// cleared first). Both let pending window events run once per table, so the window stays
// responsive however many tables there are.
#pragma once

#include <QString>

namespace browser {

class TableList;

// Fills `list` with the user tables of the Access file `path`, opened with the login's Access
// path and password. When no file exists at `path` it shows "Unable to access the database"
// and leaves the list empty. The list has no current item afterwards.
void listAccessTables(TableList& list, const QString& path);

// Fills `list` with the tables of the login's MySQL database ("SHOW TABLES;", client cursor)
// and makes the first item current when there is one. Nothing is selected.
void listMySqlTables(TableList& list);

}  // namespace browser
