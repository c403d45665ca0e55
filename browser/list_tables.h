// Filling the table browser's two lists from the databases.
//
// Nothing is cached: each call opens its own connection with the login fields as they stand
// and rereads the catalogue, in a worker thread (ui/worker.h), so that the windows keep painting
// and answering however slow the database is; the list is filled on the user-interface thread
// once the names are read. The lists sort the names themselves, so the order the database
// delivers does not show. Neither function catches a failure to open or read a database: it
// reaches the calling command's error report. Both let pending window events run once per table
// while they fill the list.
#pragma once

#include <QString>

namespace browser {

class TableList;

// Fills `list` with the user tables of the Access file `path`, opened with the login's Access
// path and password. The list is cleared first. When no file exists at `path` it shows "Unable
// to access the database" and leaves the list empty. The list has no current item afterwards.
void listAccessTables(TableList& list, const QString& path);

// Fills `list` with the tables of the login's MySQL database ("SHOW TABLES;", client cursor)
// and makes the first item current when there is one. Nothing is selected. A failure leaves the
// list as it was: it is cleared only once the names are read.
void listMySqlTables(TableList& list);

}  // namespace browser
