// The column types the type dialog proposes for the fields of a source table.
//
// A field is judged by its whole type name ("adVarWChar"), compared exactly; character columns
// and columns of types without a fixed proposal are sized by the field's value in the first row
// of the table, character columns never below their declared size. Proposals are chosen so that
// no value loses digits, bytes or characters on the way:
//
//   type names                                      Access target   MySQL target
//   adLongVarWChar, adLongVarChar                   TEXT            LongText
//   adVarChar, adChar, adVarWChar, adWChar          first-row sizing, at least the declared size
//   adBoolean                                       BIT             BIT
//   adCurrency                                      MONEY           decimal(19,4)
//   adSingle                                        Real            Float
//   adDouble                                        Float           Real
//   adNumeric, adDecimal                            decimal(p,s)    decimal(p,s)
//   adTinyInt                                       SMALLINT        TINYINT
//   adUnsignedTinyInt                               TINYINT         TINYINT UNSIGNED
//   adSmallInt                                      SMALLINT        SMALLINT
//   adUnsignedSmallInt                              INT             SMALLINT UNSIGNED
//   adInteger                                       INT             INT
//   adUnsignedInt                                   INT (8 digits)  INT UNSIGNED
//                                                   or (*)
//   adBigInt                                        (*)             BIGINT
//   adUnsignedBigInt                                decimal(20,0)   BIGINT UNSIGNED
//   adDBTime                                        VARCHAR(10+f)   DATETIME
//   adDBTimeStamp                                   DATETIME (**)   DATETIME(6)
//   adDate                                          DATETIME        DATETIME(3)
//   adDBDate, adFileTime                            DATETIME        DATETIME
//   adBinary, adVarBinary, adLongVarBinary          Image           LongBlob
//   any other name, the empty name included         first-row sizing
//
// (*) BIGINT (Large Number) where the Access file has it, else decimal(20,0), which holds every
// 64-bit value. (**) Date/Time Extended for a column with fractions of a second where the file
// has it. A TIME column is text, "-838:59:59" with f digits of fraction, since its values may
// pass 24 hours or be negative.
#pragma once

#include <string>
#include <string_view>

#include "db/access_features.h"
#include "db/value.h"
#include "transfer/direction.h"

namespace typecustom {

// The target tags the callers hand the dialog in mType, compared case-sensitively.
inline constexpr std::string_view kTargetAccess = "ACCESS";
inline constexpr std::string_view kTargetMySql = "MySQL";

// The first-row sizing rule: n characters, the length of the first value's text (non-text values
// measured in the text they are written as, transfer::valueText; 0 when there is no first row,
// `firstValue` null, or the value is Null or empty), raised to `declaredSize` characters when
// the column declares more (0: no declared size). "VARCHAR(255)" when n is 0, "TEXT" when n is
// above 255, else "VARCHAR(n)".
std::string firstRowSizedType(const db::Value* firstValue, long declaredSize = 0);

// The length of a UTF-8 text in characters (code points).
std::size_t characterCount(std::string_view utf8);

// The proposal for a field of type name `typeName` (as DataTypeName gives it) going to
// `target`, with the field's precision, scale and declared size (characters for text).
// `firstValue` is the field's value in the first row, or null for an empty table. `features`
// are those of the Access file an Access target is.
std::string proposeType(transfer::Direction target, std::string_view typeName, int precision,
                        int scale, long definedSize, const db::Value* firstValue,
                        const db::AccessFileFeatures& features = {});

}  // namespace typecustom
