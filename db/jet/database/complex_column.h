// Complex columns of ACE files (attachments, multi-value lists, the version history of
// append-only Memo columns): how the engine shows them.
//
// A row stores only a 32-bit id in a complex column. MSysComplexColumns names, for the column's
// ComplexID, a "type" table (its columns say what kind of column it is) and a hidden "flat" table
// that holds the values: the type table's columns, an AutoNumber key and a Long Integer column
// that carries the id of the row the value belongs to.
//
// The engine shows a complex column as text, one entry per value in the order the values are
// stored, entries separated by "; " (no values: the empty text):
//   multi-value list   each value as text ("value1; value4")
//   attachment         the file name of each attachment ("a.txt; b.png")
//   version history    "YYYY-MM-DD HH:MM:SS[.fff]=text" for each version, newest first
//   any other kind     the values of the type columns of each entry, joined with ","
// Reported to the data-access layer as long text, so a transfer keeps what a user sees.
#pragma once

#include "db/jet/table/table_def.h"
#include "db/jet/table/value_codec.h"

namespace jet {

class DatabaseFile;

// Reads the values of complex column `column` of `table`, from the hidden tables as stored.
// Throws Corrupt when the supporting tables cannot be found or read, or lack the columns their
// kind needs.
ComplexValueMap loadComplexValues(DatabaseFile& db, const TableDef& table, const ColumnDef& column);

}  // namespace jet
