// The integrity check of a database: what a reader relies on, checked against the pages.
//
// The storage part (this file's checkStorage) checks
// - the catalogue: every table of MSysObjects has a readable definition, and every row of every
//   table decodes;
// - the pages: every page of the file is the header, the free-page map, free, or claimed by
//   exactly one thing: a table's definition, a data page of a table (in its usage map, with the
//   table as owner), a long-value page of a column, an index page of an index, a page holding
//   usage-map rows, a usage-map bitmap page. A page claimed twice, or listed free and claimed,
//   is a problem;
// - the long values: every Memo and OLE Object value of every row reads whole, and every page
//   of its chain is a long-value page of its own table, neither free nor claimed by another.
// Access itself leaves harmless oddities behind (bits in a usage map for pages that no longer
// belong to the table, pages that belong to nothing until the file is compacted); they are
// reported as notes, not problems, so files Access wrote pass the check.
//
// Other parts (the index entries against the rows, index_check.h) add their findings to the
// same report (check_report.h).
#pragma once

#include "db/jet/check/check_report.h"

namespace jet {

class Database;

// Runs every part of the check. Reading errors do not stop it: each becomes a problem.
CheckReport checkDatabase(Database& db);

// The storage part, adding to `report`.
void checkStorage(Database& db, CheckReport& report);

}  // namespace jet
