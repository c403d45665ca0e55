// Column metadata of MySQL results.
#include "db/mysql/mysql_fields.h"

#include <algorithm>

namespace db::mysql {

namespace {

bool isUnsigned(const MYSQL_FIELD& f) {
    return (f.flags & UNSIGNED_FLAG) != 0;
}
bool isBinary(const MYSQL_FIELD& f) {
    return f.charsetnr == kBinaryCharset;
}

// Bytes a character of the field's character set takes at most (1 for unknown sets).
unsigned maxBytesPerChar(const MYSQL_FIELD& f) {
    const MARIADB_CHARSET_INFO* cs = mariadb_get_charset_by_nr(f.charsetnr);
    return cs && cs->char_maxlen > 0 ? cs->char_maxlen : 1;
}

// DECIMAL's display length counts a sign (signed columns) and a point (scale > 0).
int decimalPrecision(const MYSQL_FIELD& f) {
    long digits = static_cast<long>(f.length);
    if (f.decimals > 0) --digits;
    if (!isUnsigned(f) && digits > 0) --digits;
    return static_cast<int>(std::max(digits, 1L));
}

// Digits of fractional seconds: 0..6, or 0 when an expression leaves them open.
int fractionDigits(const MYSQL_FIELD& f) {
    return f.decimals <= 6 ? static_cast<int>(f.decimals) : 0;
}

struct IntegerType {
    int code;
    int unsignedCode;
    long bytes;
    int precision;
    int unsignedPrecision;
};

IntegerType integerType(enum_field_types t) {
    switch (t) {
        case MYSQL_TYPE_TINY:
            return {adtype::kTinyInt, adtype::kUnsignedTinyInt, 1, 3, 3};
        case MYSQL_TYPE_SHORT:
            return {adtype::kSmallInt, adtype::kUnsignedSmallInt, 2, 5, 5};
        case MYSQL_TYPE_INT24:
            return {adtype::kInteger, adtype::kUnsignedInt, 4, 7, 8};
        case MYSQL_TYPE_LONG:
            return {adtype::kInteger, adtype::kUnsignedInt, 4, 10, 10};
        default:  // MYSQL_TYPE_LONGLONG
            return {adtype::kBigInt, adtype::kUnsignedBigInt, 8, 19, 20};
    }
}

}  // namespace

FieldInfo describeField(const MYSQL_FIELD& f) {
    FieldInfo info;
    info.name.assign(f.name, f.name_length);
    info.nullable = (f.flags & NOT_NULL_FLAG) == 0;
    info.autoIncrement = (f.flags & AUTO_INCREMENT_FLAG) != 0;
    const long length = static_cast<long>(f.length);
    switch (f.type) {
        case MYSQL_TYPE_TINY:
        case MYSQL_TYPE_SHORT:
        case MYSQL_TYPE_INT24:
        case MYSQL_TYPE_LONG:
        case MYSQL_TYPE_LONGLONG: {
            const IntegerType it = integerType(f.type);
            info.type = isUnsigned(f) ? it.unsignedCode : it.code;
            info.definedSize = it.bytes;
            info.precision = isUnsigned(f) ? it.unsignedPrecision : it.precision;
            break;
        }
        case MYSQL_TYPE_YEAR:
            info.type = adtype::kSmallInt;
            info.definedSize = 2;
            info.precision = 4;
            break;
        case MYSQL_TYPE_FLOAT:
            info.type = adtype::kSingle;
            info.definedSize = 4;
            info.precision = 7;
            break;
        case MYSQL_TYPE_DOUBLE:
            info.type = adtype::kDouble;
            info.definedSize = 8;
            info.precision = 15;
            break;
        case MYSQL_TYPE_DECIMAL:
        case MYSQL_TYPE_NEWDECIMAL:
            info.type = adtype::kNumeric;
            info.precision = decimalPrecision(f);
            info.scale = static_cast<int>(f.decimals);
            info.definedSize = length;
            break;
        case MYSQL_TYPE_DATE:
        case MYSQL_TYPE_NEWDATE:
            info.type = adtype::kDBDate;
            info.definedSize = length;
            break;
        case MYSQL_TYPE_TIME:
        case MYSQL_TYPE_TIME2:
            info.type = adtype::kDBTime;
            info.definedSize = length;
            info.scale = fractionDigits(f);
            break;
        case MYSQL_TYPE_DATETIME:
        case MYSQL_TYPE_DATETIME2:
        case MYSQL_TYPE_TIMESTAMP:
        case MYSQL_TYPE_TIMESTAMP2:
            info.type = adtype::kDBTimeStamp;
            info.definedSize = length;
            info.scale = fractionDigits(f);
            break;
        case MYSQL_TYPE_BIT:
            if (f.length <= 1) {
                info.type = adtype::kBoolean;
                info.definedSize = 1;
            } else {
                info.type = adtype::kBinary;
                info.definedSize = (length + 7) / 8;
            }
            break;
        case MYSQL_TYPE_STRING:
        case MYSQL_TYPE_ENUM:
        case MYSQL_TYPE_SET:
            if (isBinary(f) && f.type == MYSQL_TYPE_STRING) {
                info.type = adtype::kBinary;
                info.definedSize = length;
            } else {
                info.type = adtype::kChar;
                info.definedSize = length / maxBytesPerChar(f);
            }
            break;
        case MYSQL_TYPE_VAR_STRING:
        case MYSQL_TYPE_VARCHAR:
            if (isBinary(f)) {
                info.type = adtype::kVarBinary;
                info.definedSize = length;
            } else {
                info.type = adtype::kVarChar;
                info.definedSize = length / maxBytesPerChar(f);
            }
            break;
        case MYSQL_TYPE_TINY_BLOB:
        case MYSQL_TYPE_MEDIUM_BLOB:
        case MYSQL_TYPE_LONG_BLOB:
        case MYSQL_TYPE_BLOB:
        case MYSQL_TYPE_JSON:
            if (isBinary(f) && f.type != MYSQL_TYPE_JSON) {
                info.type = adtype::kLongVarBinary;
                info.definedSize = length;
            } else {
                info.type = adtype::kLongVarChar;
                info.definedSize = length / maxBytesPerChar(f);
            }
            break;
        case MYSQL_TYPE_GEOMETRY:
            info.type = adtype::kLongVarBinary;
            info.definedSize = length;
            break;
        case MYSQL_TYPE_NULL:
            info.type = adtype::kVarChar;
            info.definedSize = 0;
            break;
        default:
            // Types no result column should have; read them as text so nothing is lost.
            info.type = isBinary(f) ? adtype::kLongVarBinary : adtype::kLongVarChar;
            info.definedSize = length;
            break;
    }
    return info;
}

ColumnShape columnShapeFor(const MYSQL_FIELD& f) {
    switch (f.type) {
        case MYSQL_TYPE_TINY:
        case MYSQL_TYPE_SHORT:
        case MYSQL_TYPE_INT24:
        case MYSQL_TYPE_LONG:
        case MYSQL_TYPE_LONGLONG:
            return {isUnsigned(f) ? ColumnKind::Unsigned : ColumnKind::Signed};
        case MYSQL_TYPE_YEAR:
            return {ColumnKind::Signed};
        case MYSQL_TYPE_FLOAT:
            return {ColumnKind::Single};
        case MYSQL_TYPE_DOUBLE:
            return {ColumnKind::Double};
        case MYSQL_TYPE_DECIMAL:
        case MYSQL_TYPE_NEWDECIMAL:
            return {ColumnKind::Decimal, decimalPrecision(f), static_cast<int>(f.decimals)};
        case MYSQL_TYPE_DATE:
        case MYSQL_TYPE_NEWDATE:
            return {ColumnKind::Date};
        case MYSQL_TYPE_TIME:
        case MYSQL_TYPE_TIME2:
            return {ColumnKind::Time, 0, fractionDigits(f)};
        case MYSQL_TYPE_DATETIME:
        case MYSQL_TYPE_DATETIME2:
        case MYSQL_TYPE_TIMESTAMP:
        case MYSQL_TYPE_TIMESTAMP2:
            return {ColumnKind::DateTime, 0, fractionDigits(f)};
        case MYSQL_TYPE_BIT:
            return {f.length <= 1 ? ColumnKind::Bit1 : ColumnKind::Binary};
        case MYSQL_TYPE_GEOMETRY:
            return {ColumnKind::Binary};
        case MYSQL_TYPE_NULL:
            return {ColumnKind::Null};
        case MYSQL_TYPE_JSON:
            return {ColumnKind::Text};
        default:
            return {isBinary(f) ? ColumnKind::Binary : ColumnKind::Text};
    }
}

}  // namespace db::mysql
