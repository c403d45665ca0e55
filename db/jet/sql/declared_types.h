// Column types of CREATE TABLE: the names Access accepts, and the Access type each one means.
//
//   written as                                                  Access type
//   TEXT(n) VARCHAR CHAR NVARCHAR NCHAR CHARACTER STRING        Text(n), n from 1 to 255
//   characters;
//     ALPHANUMERIC, CHARACTER VARYING, NATIONAL CHAR[ACTER]     without a length Text(255) —
//     [VARYING]                                                 except TEXT, see below
//   TEXT (no length) MEMO LONGTEXT NTEXT LONGCHAR NOTE          Memo
//   BIT YESNO BOOLEAN LOGICAL LOGICAL1                          Yes/No
//   BYTE TINYINT INTEGER1                                       Byte
//   SMALLINT SHORT INTEGER2                                     Integer
//   INT INTEGER LONG INTEGER4                                   Long Integer
//   COUNTER AUTOINCREMENT [(seed, 1)]                           Long Integer, AutoNumber
//   BIGINT                                                      Large Number (where the file
//                                                               version has it)
//   REAL SINGLE FLOAT4 IEEESINGLE                               Single
//   FLOAT DOUBLE FLOAT8 IEEEDOUBLE NUMBER                       Double
//   MONEY CURRENCY                                              Currency
//   DATETIME DATE TIME TIMESTAMP                                Date/Time
//   DATETIME2 DATETIMEEXTENDED                                  Date/Time Extended (where the
//                                                               file version has it)
//   DECIMAL NUMERIC DEC [(p[, s])]                              Decimal, precision 1..28 (default
//                                                               18), scale 0..p (default 0)
//   BINARY VARBINARY [(n)], BINARY VARYING, BIT VARYING         Binary, 1..510 bytes (default 510)
//   IMAGE OLEOBJECT LONGBINARY GENERAL                          OLE Object
//   UNIQUEIDENTIFIER GUID                                       Replication ID
//
// Names are compared without regard to letter case. A length is given in parentheses, with or
// without a blank before them ("VarChar (50)").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/jet/format/column_type.h"

namespace jet::sql {

struct DeclaredType {
    ColumnType type = ColumnType::Unknown;
    std::uint16_t size = 0;  // Text: characters; Binary: bytes; 0 for the other types
    std::uint8_t precision = 0;
    std::uint8_t scale = 0;
    bool autoNumber = false;  // COUNTER, AUTOINCREMENT
    std::uint32_t seed = 1;   // the first number an AutoNumber hands out: COUNTER(seed, 1)
    std::string written;      // the type as the statement wrote it, for messages
};

inline constexpr std::uint16_t kMaxTextLength = 255;
inline constexpr std::uint16_t kMaxBinaryLength = 510;
inline constexpr std::uint8_t kMaxDecimalPrecision = 28;

// True when `upperWords` (a type's words, upper case, joined by one blank) is a type name, or
// the start of a longer one ("NATIONAL", "CHARACTER"); the parser reads words while this holds.
bool isTypeNamePrefix(std::string_view upperWords);

// The Access type of `upperWords` with the numbers written in parentheses after it. On failure
// returns nothing and sets `problem` to a phrase that says why ("TEXT holds at most 255
// characters", "BLOB is not a data type Access knows").
std::optional<DeclaredType> resolveType(std::string_view upperWords,
                                        const std::vector<std::int64_t>& args,
                                        std::string& problem);

}  // namespace jet::sql
