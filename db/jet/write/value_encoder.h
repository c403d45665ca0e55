// Values to column bytes: the inverse of value_codec.h for every type the engine writes.
//
// REQUIRES of every function: the value has the kind convertValue() (value_convert.h) gives the
// column's type, and is not Null. Fixed-length types take exactly fixedSizeOf() bytes (Text and
// Binary columns marked fixed take the column's length: text padded with blanks, binary with
// zeros). Text is UTF-16LE; a column marked for compression stores the compressed form instead
// whenever that is shorter and possible (text_codec.h describes it; a character whose low byte
// is zero cannot be stored compressed).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "db/jet/table/table_def.h"
#include "db/value.h"

namespace jet {

// Memo values longer than this many characters are never stored compressed.
inline constexpr std::size_t kMaxCompressedMemoChars = 1024;

// The stored bytes of `value` for `column`: the whole value for fixed and variable types; for
// Memo and OLE Object the bytes of the long value itself (the reference is long_value_writer.h's
// business).
std::vector<std::uint8_t> encodeValue(const ColumnDef& column, const db::Value& value);

// The same, into `out` (whose earlier contents are dropped; its room is kept for the next value).
void encodeValueInto(const ColumnDef& column, const db::Value& value,
                     std::vector<std::uint8_t>& out);

// Text as Jet 4 and later store it; compressed when `compress` and it is shorter.
std::vector<std::uint8_t> encodeText(std::string_view utf8, bool compress);

// The 17 bytes of a Decimal: sign (0x80 negative), then the magnitude as four 32-bit words,
// most significant first, each little-endian.
std::vector<std::uint8_t> encodeDecimal(const db::Decimal& d);

// The 16 bytes of a GUID as columns store them.
std::vector<std::uint8_t> encodeGuid(const db::Guid& g);

// The 42 bytes of a Date/Time Extended value (see column_type.h).
std::vector<std::uint8_t> encodeExtendedDate(const db::DateTime& t);

}  // namespace jet
