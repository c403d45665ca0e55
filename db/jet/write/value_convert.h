// Values on their way into a row: a value read from another table, or one a literal of an INSERT
// gave (sql/literal_convert.h), turned into the value the column stores, the way Access converts
// it. Texts that hold numbers and dates are read by value_parse.h.
//
//   column type          accepts
//   Yes/No               TRUE/FALSE; numbers (0 is No, anything else Yes); the texts 'True',
//                        'False', 'Yes', 'No', 'On', 'Off' (any letter case) and numbers as text
//   Byte ... Large Number, Currency, Decimal, Single, Double
//                        numbers, and texts that hold a number ('12', ' -3.5 ', '1E3'); whole
//                        number and Currency and Decimal columns round to their places, half to
//                        even (2.5 is 2, 3.5 is 4), as Access's own conversion does
//   Date/Time            'YYYY-MM-DD', 'YYYY-MM-DD HH:MM[:SS[.fff]]' (or a T between them),
//                        'HH:MM[:SS]' (a time on 1899-12-30), 'M/D/YYYY [HH:MM[:SS]]', the same
//                        between # signs, and numbers (days since 1899-12-30); years 100 to 9999
//   Text, Memo           texts; numbers and TRUE/FALSE as their text; binary literals as UTF-16
//                        code units (low byte first; an odd last byte is a unit of its own)
//   Binary, OLE Object   binary literals; texts as their UTF-16 bytes
//   Replication ID       '{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}', with or without the braces
//
// A value that does not fit (not a number, out of the type's range, too long for the column, a
// date that does not exist) is refused with a Constraint error whose sentence names the table,
// the column and its type. Null stays Null; whether the column may be Null is the caller's test.
#pragma once

#include <string>
#include <string_view>

#include "db/jet/table/table_def.h"
#include "db/jet/write/value_parse.h"
#include "db/value.h"

namespace jet {

// The value `column` of `table` stores for `value` (a value of any kind, as a reader returns
// it). Throws Constraint as above.
db::Value convertValue(const db::Value& value, const ColumnDef& column, std::string_view table);

// The same, taking `value` over: text into a text column and bytes into a binary one are
// checked and kept, not copied.
db::Value convertTakenValue(db::Value&& value, const ColumnDef& column, std::string_view table);

// Throws the Constraint error of a value that `column` of `table` cannot store: `shown` is the
// value as the sentence shows it, `why` the reason.
[[noreturn]] void refuseValue(const ColumnDef& column, std::string_view table,
                              const std::string& shown, const std::string& why);

// A value as messages show it: text between apostrophes (shortened when long), binary values
// by their size, everything else as it reads ("42", "2024-05-01 10:00:00", "True").
std::string describeValue(const db::Value& value);

// "Text(50)", "Long Integer", "Decimal(18,2)": the column's type as messages show it.
std::string describeColumnType(const ColumnDef& column);

}  // namespace jet
