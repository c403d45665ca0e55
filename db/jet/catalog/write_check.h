// The check before the first write of a connection: the structures every write relies on.
//
// A write takes pages the free-page map lists as free, and follows a table's usage maps and
// index roots to where rows and keys go. When one of them is damaged a write would make things
// worse: a page listed free that still belongs to a table would be handed to another, a page
// of the wrong kind overwritten. So before a connection writes for the first time (and again
// after another program changed the file), the engine reads
// - the free-page map, which must be readable and list neither the header, the map itself nor
//   the catalogue;
// - every table's definition, its usage maps (of rows, of pages with free space, of each long-
//   value column and index), which must be readable, and the pages they claim, none of which
//   may be claimed twice or be listed as free;
// - every index's root page, which must be an index page of the file;
// - for the system tables, which every change of structure writes into, the pages their maps
//   list, each of which must be of its kind (a data page of the table, a long-value page, an
//   index page);
// and refuses to write when any of it is damaged (database.h). It reads maps, not the pages of
// user tables, so it costs a few pages per table however large the tables are; the integrity check
// (check.h) goes further.
#pragma once

#include <string>
#include <vector>

namespace jet {

class DatabaseFile;

// The problems found, each a sentence; empty when writing may go ahead.
std::vector<std::string> structureProblems(DatabaseFile& db);

}  // namespace jet
