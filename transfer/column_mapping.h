// The default column mapping: the CREATE TABLE statement a send command writes when the user
// does not customise the column types, and the statement heads and DROP line around it.
//
// A column's type is chosen from the lower-cased name of its field type ("advarwchar"), by the
// first row of the target's table whose text occurs in that name:
//
//   MySQL target                        Access target
//   "char" (long text: LONGTEXT) text   "char"             TEXT
//   "single"            FLOAT           "decimal"          DECIMAL(p,s)
//   adbigint            BIGINT          "single"           REAL
//   "int"               INT             adbigint           BIGINT or DECIMAL(20,0) (*)
//   "date"              text            adunsignedbigint   DECIMAL(20,0)
//   "currency"          text            adunsignedint      INT (8 digits, MEDIUMINT) or (*)
//   "bool"              text            "int"              INT
//   "double"            DOUBLE          "adlongvarbinary"  OLEOBJECT
//   "binary"            LONGBLOB        "binary"           OLEOBJECT
//   anything else       text            "numeric"          DECIMAL(p,s)
//                                       "date"             DATETIME
//                                       "timestamp"        DATETIME, or Date/Time Extended (**)
//                                       "double"           FLOAT
//                                       anything else      VARCHAR
//
// (*) Large Number (BIGINT) where the Access file has it (db::AccessFileFeatures), else a
// Decimal of 20 digits, which holds every 64-bit value; an unsigned 64-bit value may pass Large
// Number's range and always takes the Decimal. (**) With fractions of a second, in a file that
// has Date/Time Extended. A MySQL TIME ("addbtime") takes the last row: as text, since it may
// pass 24 hours or be negative, which no Access date holds.
//
// Long text is "adlongvarwchar" or "adlongvarchar"; "binary" covers fixed, variable and long
// binary alike, which a text column would not keep byte for byte. Names are written between
// backticks with every backtick inside doubled (db::quoteMySqlName), for both targets: the
// Access engine refuses the doubled backtick of a name it cannot hold rather than read it as
// something else, and the send refuses such names before it writes anything. p and s are the
// field's precision and scale, the precision at most 28 (Access's limit).
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "db/access_features.h"
#include "db/backend.h"
#include "transfer/direction.h"

namespace transfer {

// What follows a column's quoted name in a CREATE TABLE statement, made from the type chosen
// for it: field `field` of the source table (counted from 0), named `targetName` in the target,
// of type `type`; `defaultMapping` is true when the type is the default mapping's (which a
// send that carries keys may narrow for a key column). A send without keys has none, and the
// type stands alone.
using ColumnDecorator = std::function<std::string(std::size_t field, const std::string& targetName,
                                                  const std::string& type, bool defaultMapping)>;

// "CREATE TABLE " + quoted table + "("
std::string createTableHead(std::string_view table);
// "DROP TABLE " + quoted table
std::string dropTableStatement(std::string_view table);

// The lower-cased type name of a field's type code ("" for an unlisted code).
std::string lowerTypeName(int typeCode);

// The column type the default mapping gives a field of `typeCode` ("INT", "text",
// "DECIMAL(10,2)"); `features` are those of the Access file an Access target is.
std::string defaultColumnType(Direction target, int typeCode, int precision, int scale,
                              const db::AccessFileFeatures& features = {});

// Appends one definition with its trailing comma: quoted name + " " + type + ",".
void appendDefaultColumn(std::string& statement, Direction target, std::string_view fieldName,
                         int typeCode, int precision, int scale,
                         const db::AccessFileFeatures& features = {});

// Completes a statement head with one definition per field: the last character (the comma after
// the last definition) is removed and ")" is appended, ");" for an Access target.
void completeDefaultCreate(std::string& statement, Direction target,
                           std::span<const db::FieldInfo> fields,
                           const db::AccessFileFeatures& features = {});

// The Access type of whole numbers that pass Long Integer's range: "BIGINT" (Large Number) when
// every value fits 64 bits signed and the file has Large Number, else "DECIMAL(20,0)".
std::string wholeNumberType(bool fitsLargeNumber, const db::AccessFileFeatures& features);

// The Access type of a date and time with `fractionDigits` digits of seconds: Date/Time
// Extended where the file has it and there are fractions, else "DATETIME" (milliseconds).
inline constexpr std::string_view kExtendedDateTimeType = "DATETIME2";
std::string dateTimeType(int fractionDigits, const db::AccessFileFeatures& features);

// The DECIMAL(p,s) of a field: the precision limited to 1..28; the scale the field's, as far as
// the field's whole digits, or at least half the precision, are left for whole numbers.
std::string decimalType(int precision, int scale, bool upperCase = true);

}  // namespace transfer
