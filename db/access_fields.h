// How the columns of Access tables appear as fields: their type codes, sizes, precision and
// scale, as the platform's Access provider reports them.
//
//   Access type            code  name                   size
//   Yes/No                 11    adBoolean              2
//   Byte                   17    adUnsignedTinyInt      1
//   Integer                2     adSmallInt             2
//   Long Integer           3     adInteger              4
//   Currency               6     adCurrency             8    precision 19, scale 4
//   Single                 4     adSingle               4
//   Double                 5     adDouble               8
//   Date/Time              7     adDate                 8
//   Text                   202   adVarWChar             characters (130 adWChar when fixed)
//   Memo                   203   adLongVarWChar         0 (unbounded)
//   OLE Object             205   adLongVarBinary        0 (unbounded)
//   Binary                 204   adVarBinary            bytes (128 adBinary when fixed)
//   Replication ID         72    adGUID                 16
//   Decimal                131   adNumeric              precision and scale of the column
//   Large Number           20    adBigInt               8
//   Date/Time Extended     135   adDBTimeStamp          16
//   complex columns        203   adLongVarWChar         0: their values as text
//   unknown kinds          204/128 binary               their bytes
#pragma once

#include "db/backend.h"
#include "db/jet/format/format.h"
#include "db/jet/table/value_codec.h"

namespace db {

FieldInfo accessFieldInfo(const jet::ColumnDecoder& column, const jet::Format& format);

}  // namespace db
