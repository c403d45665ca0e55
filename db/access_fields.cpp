// Field descriptions of Access columns.
#include "db/access_fields.h"

namespace db {

FieldInfo accessFieldInfo(const jet::ColumnDecoder& column, const jet::Format& format) {
    using jet::ColumnType;
    const jet::ColumnDef& def = *column.def;
    FieldInfo f;
    f.name = def.name;
    f.nullable = !def.autoNumber();
    f.autoIncrement = def.autoNumber() && (def.type == ColumnType::Long);
    const bool fixed = def.fixed();
    switch (column.valueType) {
        case ColumnType::Boolean:
            f.type = adtype::kBoolean;
            f.definedSize = 2;
            f.nullable = false;
            break;
        case ColumnType::Byte:
            f.type = adtype::kUnsignedTinyInt;
            f.definedSize = 1;
            f.precision = 3;
            break;
        case ColumnType::Integer:
            f.type = adtype::kSmallInt;
            f.definedSize = 2;
            f.precision = 5;
            break;
        case ColumnType::Long:
            f.type = adtype::kInteger;
            f.definedSize = 4;
            f.precision = 10;
            break;
        case ColumnType::BigInt:
            f.type = adtype::kBigInt;
            f.definedSize = 8;
            f.precision = 19;
            break;
        case ColumnType::Currency:
            f.type = adtype::kCurrency;
            f.definedSize = 8;
            f.precision = 19;
            f.scale = 4;
            break;
        case ColumnType::Single:
            f.type = adtype::kSingle;
            f.definedSize = 4;
            f.precision = 7;
            break;
        case ColumnType::Double:
            f.type = adtype::kDouble;
            f.definedSize = 8;
            f.precision = 15;
            break;
        case ColumnType::DateTime:
            f.type = adtype::kDate;
            f.definedSize = 8;
            break;
        case ColumnType::ExtDateTime:
            f.type = adtype::kDBTimeStamp;
            f.definedSize = 16;
            break;
        case ColumnType::Text: {
            f.type = fixed ? adtype::kWChar : adtype::kVarWChar;
            long chars = format.unicodeText ? def.length / 2 : def.length;
            if (column.calculated || chars > 255 || chars <= 0) chars = 255;
            f.definedSize = chars;
            break;
        }
        case ColumnType::Memo:
        case ColumnType::Complex:
            f.type = adtype::kLongVarWChar;
            f.definedSize = 0;
            break;
        case ColumnType::Ole:
            f.type = adtype::kLongVarBinary;
            f.definedSize = 0;
            break;
        case ColumnType::Guid:
            f.type = adtype::kGuid;
            f.definedSize = 16;
            break;
        case ColumnType::Decimal:
            f.type = adtype::kNumeric;
            f.definedSize = 19;
            f.precision = column.calculated ? 28 : def.precision;
            f.scale = column.calculated ? 0 : def.scale;
            break;
        case ColumnType::Binary:
        case ColumnType::Unknown:
            f.type = fixed ? adtype::kBinary : adtype::kVarBinary;
            f.definedSize = def.length;
            break;
    }
    return f;
}

}  // namespace db
