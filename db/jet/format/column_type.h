// The column types of Access files: their codes in table definitions and how they are stored.
//
//   code  type                 stored as
//   0x01  Yes/No               a bit of the row's null mask, no bytes of its own
//   0x02  Byte                 1 byte, unsigned
//   0x03  Integer              2 bytes, signed
//   0x04  Long Integer         4 bytes, signed (AutoNumber too)
//   0x05  Currency             8 bytes, signed count of ten-thousandths
//   0x06  Single               4 bytes, IEEE single
//   0x07  Double               8 bytes, IEEE double
//   0x08  Date/Time            8 bytes, a double: days since 1899-12-30, fraction the time
//   0x09  Binary               up to 255 bytes, variable (fixed when the column says so)
//   0x0A  Text                 up to 255 characters, variable (fixed when the column says so)
//   0x0B  OLE Object           a long-value reference (see long_value.h)
//   0x0C  Memo                 a long-value reference holding text
//   0x0F  Replication ID       16 bytes, a GUID
//   0x10  Decimal              17 bytes: sign, then a 128-bit magnitude as four little-endian
//                              32-bit words, most significant first; precision and scale in
//                              the column
//   0x12  complex (ACE)        4 bytes: the id of the row's values in a hidden table
//   0x13  Large Number (ACE 16) 8 bytes, signed
//   0x14  Date/Time Extended (ACE 17)  42 ASCII bytes: 19 digits of days since 0001-01-01,
//                              ":", 12 digits of seconds, 7 digits of 100 ns, ":7", NUL
//
// Codes 0x0D and 0x11 are kinds Access uses internally; they and any other code are read as
// their raw bytes.
#pragma once

#include <cstdint>

namespace jet {

enum class ColumnType : std::uint8_t {
    Boolean = 0x01,
    Byte = 0x02,
    Integer = 0x03,
    Long = 0x04,
    Currency = 0x05,
    Single = 0x06,
    Double = 0x07,
    DateTime = 0x08,
    Binary = 0x09,
    Text = 0x0A,
    Ole = 0x0B,
    Memo = 0x0C,
    Guid = 0x0F,
    Decimal = 0x10,
    Complex = 0x12,
    BigInt = 0x13,
    ExtDateTime = 0x14,
    Unknown = 0xFF,  // any other code: read as raw bytes
};

// The type for a stored code (Unknown for codes the engine does not interpret).
ColumnType columnTypeFromCode(std::uint8_t code);

// Bytes a fixed-length value of `type` takes in a row; 0 for variable-length types.
std::uint16_t fixedSizeOf(ColumnType type);

// True for Memo and OLE Object, whose values live outside the row.
inline bool isLongValue(ColumnType t) {
    return t == ColumnType::Memo || t == ColumnType::Ole;
}

const char* columnTypeName(ColumnType type);  // "Text", "Long Integer", ...

}  // namespace jet
