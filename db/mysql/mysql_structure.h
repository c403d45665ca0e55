// The structure of a MySQL table, read from the server's information_schema (columns, foreign
// keys, the next AUTO_INCREMENT value) and SHOW INDEX (indexes in the order they were made, with
// their prefix lengths and descending columns).
//
// The two kinds of server spell a column's default differently in COLUMN_DEFAULT: MariaDB as
// SQL ('text' quoted and escaped, NULL for a default of NULL, expressions as written:
// current_timestamp(), curdate()), MySQL as the bare value with EXTRA marking expressions
// (DEFAULT_GENERATED). Both are read here. What no other database can be told (ON UPDATE
// CURRENT_TIMESTAMP, a generated column) is named in the column's `unsupported`.
#pragma once

#include <string_view>

#include "db/backend.h"
#include "db/table_structure.h"

namespace db::mysql {

// Runs its queries on `session` (the current database). Throws db::Error as the session does,
// and errc::kNoSuchTable when the database has no table or view `table`.
TableStructure readMySqlTableStructure(Backend& session, std::string_view table);

// One COLUMN_DEFAULT as a default, for a column of `dataType` (DATA_TYPE, lower case) with
// EXTRA `extra`; `mariaDb` tells the server's spelling. `present` false: COLUMN_DEFAULT was NULL.
ColumnDefault parseMySqlDefault(bool present, std::string_view text, std::string_view dataType,
                                std::string_view extra, bool mariaDb);

}  // namespace db::mysql
