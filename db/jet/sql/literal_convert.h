// Literals of an INSERT turned into the values their columns store.
//
// A literal keeps the text it was written with (ast.h); it is converted only when the row is
// built, against its column: NULL stays Null; a text or binary literal is converted as that
// value (value_convert.h says what each column type accepts); TRUE and FALSE go into a text
// column as "True" and "False"; a number goes into a Date/Time column as days since 1899-12-30,
// into every other column as the number written (exact digits for the numeric columns); a
// #date# literal goes into a text column as written between the signs.
#pragma once

#include <string_view>

#include "db/jet/sql/ast.h"
#include "db/jet/table/table_def.h"
#include "db/value.h"

namespace jet {

// The value `column` of `table` stores for `literal`. Throws Constraint as convertValue() does.
// The literal's text may be moved from.
db::Value convertLiteral(sql::Literal literal, const ColumnDef& column, std::string_view table);

}  // namespace jet
