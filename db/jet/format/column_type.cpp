// Column type codes and sizes.
#include "db/jet/format/column_type.h"

namespace jet {

ColumnType columnTypeFromCode(std::uint8_t code) {
    switch (code) {
        case 0x01:
        case 0x02:
        case 0x03:
        case 0x04:
        case 0x05:
        case 0x06:
        case 0x07:
        case 0x08:
        case 0x09:
        case 0x0A:
        case 0x0B:
        case 0x0C:
        case 0x0F:
        case 0x10:
        case 0x12:
        case 0x13:
        case 0x14:
            return static_cast<ColumnType>(code);
        default:
            return ColumnType::Unknown;
    }
}

std::uint16_t fixedSizeOf(ColumnType type) {
    switch (type) {
        case ColumnType::Boolean:
            return 0;
        case ColumnType::Byte:
            return 1;
        case ColumnType::Integer:
            return 2;
        case ColumnType::Long:
        case ColumnType::Single:
        case ColumnType::Complex:
            return 4;
        case ColumnType::Currency:
        case ColumnType::Double:
        case ColumnType::DateTime:
        case ColumnType::BigInt:
            return 8;
        case ColumnType::Guid:
            return 16;
        case ColumnType::Decimal:
            return 17;
        case ColumnType::ExtDateTime:
            return 42;
        default:
            return 0;
    }
}

const char* columnTypeName(ColumnType type) {
    switch (type) {
        case ColumnType::Boolean:
            return "Yes/No";
        case ColumnType::Byte:
            return "Byte";
        case ColumnType::Integer:
            return "Integer";
        case ColumnType::Long:
            return "Long Integer";
        case ColumnType::Currency:
            return "Currency";
        case ColumnType::Single:
            return "Single";
        case ColumnType::Double:
            return "Double";
        case ColumnType::DateTime:
            return "Date/Time";
        case ColumnType::Binary:
            return "Binary";
        case ColumnType::Text:
            return "Text";
        case ColumnType::Ole:
            return "OLE Object";
        case ColumnType::Memo:
            return "Memo";
        case ColumnType::Guid:
            return "Replication ID";
        case ColumnType::Decimal:
            return "Decimal";
        case ColumnType::Complex:
            return "Complex";
        case ColumnType::BigInt:
            return "Large Number";
        case ColumnType::ExtDateTime:
            return "Date/Time Extended";
        case ColumnType::Unknown:
            break;
    }
    return "Unknown";
}

}  // namespace jet
