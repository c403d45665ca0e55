// The Default Value property of a column: the expression Access stores for it, and the value a
// row gets from it when an insert leaves the column out.
//
// Access keeps the default as the text of an expression. The engine writes, for a default given
// as a value: a number as its digits ("0", "-1.5"), text between double quotes with a double quote
// inside doubled ("""Ann"""), Yes/No as Yes or No, a date and time between number signs
// (#2024-05-01#, #2024-05-01 10:11:12#), and the functions Now() and Date(). When it reads one
// (its own, or one Access wrote), it understands those forms, text between apostrophes, True/False,
// an expression written with a leading "=", and Time(); any other expression it cannot evaluate,
// and a row that leaves the column out stays Null there, as before.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "db/jet/table/table_def.h"
#include "db/value.h"

namespace jet {

// A default as the engine evaluates it.
struct ColumnDefaultValue {
    enum class Kind { Value, Now, Date, Time };
    Kind kind = Kind::Value;
    db::Value value;  // Kind::Value: the value as the expression writes it (a text, a number
                      // as text, a Yes/No), still to be converted to the column's type
};

// The expression Access stores for the default `value` of `column` (converted to the column's
// type). Nothing for Null (no default).
std::optional<std::string> defaultExpression(const db::Value& value, const ColumnDef& column);
std::string defaultExpression(ColumnDefaultValue::Kind function);  // "Now()", "Date()", "Time()"

// What the expression `text` means, or nothing when the engine cannot evaluate it.
std::optional<ColumnDefaultValue> parseDefaultExpression(std::string_view text);

// The value a new row gets from `d` in `column` of `table`, now. Throws Constraint when the value
// does not fit the column (value_convert.h).
db::Value evaluateDefault(const ColumnDefaultValue& d, const ColumnDef& column,
                          std::string_view table);

}  // namespace jet
