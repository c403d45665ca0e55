// The default column mapping: the CREATE TABLE statement a send command writes when the user
// does not customise the column types, and the statement heads and DROP line around it.
//
// A column's type is chosen from the lower-cased name of its field type ("advarwchar"), by the
// first row of the target's table whose text occurs in that name:
//
//   MySQL target                        Access target
//   "char" (long text: LONGTEXT) text   "char"            TEXT
//   "single"            FLOAT           "decimal"         DECIMAL(p,s)
//   "int"               INT             "single"          REAL
//   "date"              text            "int"             INT
//   "currency"          text            "adlongvarbinary" OLEOBJECT
//   "bool"              text            "binary"          OLEOBJECT
//   "double"            DOUBLE          "numeric"         DECIMAL(p,s)
//   "binary"            LONGBLOB        "date"            DATETIME
//   anything else       text            "timestamp"       DATETIME
//                                       "double"          FLOAT
//                                       anything else     VARCHAR
//
// Long text is "adlongvarwchar" or "adlongvarchar"; "binary" covers fixed, variable and long
// binary alike, which a text column would not keep byte for byte. Names are written between
// backticks with every backtick inside doubled (db::quoteMySqlName), for both targets: the
// Access engine refuses the doubled backtick of a name it cannot hold rather than read it as
// something else, and the send refuses such names before it writes anything. p and s are the
// field's precision and scale, the precision at most 28 (Access's limit).
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "db/backend.h"
#include "transfer/target.h"

namespace transfer {

// "CREATE TABLE " + quoted table + "("
std::string createTableHead(std::string_view table);
// "DROP TABLE " + quoted table
std::string dropTableStatement(std::string_view table);

// The lower-cased type name of a field's type code ("" for an unlisted code).
std::string lowerTypeName(int typeCode);

// The column type the default mapping gives a field of `typeCode` ("INT", "text",
// "DECIMAL(10,2)").
std::string defaultColumnType(Target target, int typeCode, int precision, int scale);

// Appends one definition with its trailing comma: quoted name + " " + type + ",".
void appendDefaultColumn(std::string& statement, Target target, std::string_view fieldName,
                         int typeCode, int precision, int scale);

// Completes a statement head with one definition per field: the last character (the comma after
// the last definition) is removed and ")" is appended, ");" for an Access target.
void completeDefaultCreate(std::string& statement, Target target,
                           std::span<const db::FieldInfo> fields);

// The DECIMAL(p,s) of a field: the precision limited to 1..28; the scale the field's, as far as
// the field's whole digits, or at least half the precision, are left for whole numbers.
std::string decimalType(int precision, int scale, bool upperCase = true);

}  // namespace transfer
