// What a MySQL result column is: its field description and how its values are read.
//
// Column metadata from the server (MYSQL_FIELD) becomes a FieldInfo with the type code the
// data-access layer reports for it, and a ColumnKind that picks the conversion of the column's
// text-protocol values (see mysql_values.h). Type codes:
//   TINYINT 16 (UNSIGNED 17), SMALLINT and YEAR 2 (UNSIGNED 18), MEDIUMINT and INT 3
//   (UNSIGNED 19), BIGINT 20 (UNSIGNED 21), FLOAT 4, DOUBLE 5, DECIMAL 131, DATE 133, TIME 134,
//   DATETIME and TIMESTAMP 135, CHAR/ENUM/SET 129, VARCHAR 200, TINYTEXT…LONGTEXT and JSON 201,
//   BINARY 128, VARBINARY 204, TINYBLOB…LONGBLOB and spatial types 205, BIT(1) 11, wider BIT 128.
// Text and binary strings share wire types; they are told apart by the character set number
// (63 is binary).
#pragma once

#include <mysql.h>

#include <cstdint>

#include "db/backend.h"

namespace db::mysql {

enum class ColumnKind : std::uint8_t {
    Null,      // the column of a bare NULL: every value is Null
    Signed,    // whole number that fits in 64 bits signed
    Unsigned,  // whole number of an UNSIGNED column, up to 2^64 - 1
    Single,    // FLOAT
    Double,    // DOUBLE
    Decimal,   // DECIMAL, exact
    Date,      // DATE
    Time,      // TIME, a signed duration
    DateTime,  // DATETIME, TIMESTAMP
    Text,      // character strings, ENUM, SET, JSON
    Binary,    // byte strings, BLOBs, spatial values, BIT wider than one bit
    Bit1,      // BIT(1) as Boolean
};

struct ColumnShape {
    ColumnKind kind = ColumnKind::Text;
    int precision = 0;  // DECIMAL: digits in all
    int scale = 0;      // DECIMAL: digits after the point; DATETIME, TIME: fractional digits
};

inline constexpr unsigned kBinaryCharset = 63;

// The field description the data-access layer reports for `f`.
FieldInfo describeField(const MYSQL_FIELD& f);
// How values of `f` are converted.
ColumnShape columnShapeFor(const MYSQL_FIELD& f);

}  // namespace db::mysql
