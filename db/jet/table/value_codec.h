// Column bytes to values: one decoder per column of a table, applied to each row.
//
// Values are db::Value, the vocabulary type shared with the data-access layer: Yes/No as
// Boolean; Byte, Integer, Long Integer and Large Number as Integer; Single and Double as
// themselves; Currency and Decimal exactly; Date/Time and Date/Time Extended as DateTime; Text
// and Memo as UTF-8 Text; Binary and OLE Object as Binary; Replication ID as Guid. Columns of a
// kind the engine does not interpret yield their raw bytes as Binary.
//
// Calculated columns (ACE 14 and later) keep the value Access computed, wrapped: 16 bytes the
// engine does not need, a four-byte length at offset 16 and the value from offset 20; a
// calculated Decimal is the platform's DECIMAL structure, with its own scale.
// Their type is the "ResultType" of the column's properties.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "db/jet/format/column_type.h"
#include "db/jet/format/text_codec.h"
#include "db/jet/page/pager.h"
#include "db/jet/table/row_codec.h"
#include "db/jet/table/table_def.h"
#include "db/value.h"

namespace jet {

// Rendered values of one complex column, by the id a row stores (see complex_column.h).
using ComplexValueMap = std::unordered_map<std::int32_t, std::string>;

struct ColumnDecoder {
    const ColumnDef* def = nullptr;
    ColumnType valueType = ColumnType::Unknown;  // the type of the values (calculated: result)
    bool calculated = false;
    bool variable = false;                           // the bytes are in the variable part of rows
    std::uint16_t fixedSize = 0;                     // bytes in the fixed part, for fixed columns
    const ComplexValueMap* complexValues = nullptr;  // complex columns: their rendered values

    // A decoder for `def`; `resultType` is the type code of a calculated column's values (0 when
    // the column is not calculated or its properties give none).
    static ColumnDecoder make(const ColumnDef& def, std::uint8_t resultType);
};

class ValueDecoder {
  public:
    ValueDecoder(Pager& pager, const CodePage& codePage)
        : pager_(pager), format_(pager.format()), codePage_(codePage) {}

    // The value of column `d` in `row`. Throws Corrupt when the bytes cannot hold a value of the
    // column's type.
    db::Value decode(const ColumnDecoder& d, const RowView& row) const;
    // The same into `out`, reusing the room of the text `out` holds for Text and Memo values
    // (what a reader does row after row).
    void decodeInto(const ColumnDecoder& d, const RowView& row, db::Value& out) const;
    // Whether decode() gives Null, found without decoding the value where its bytes tell.
    bool isNull(const ColumnDecoder& d, const RowView& row) const;

    // Text as the file stores it (Jet 3: the code page; later: UTF-16LE or compressed).
    std::string text(ByteSpan bytes) const;

  private:
    db::Value fromBytes(const ColumnDecoder& d, ByteSpan bytes) const;
    // The bytes of the column's value, or false when it has none (NULL). REQUIRES: not a Yes/No
    // column.
    bool valueBytes(const ColumnDecoder& d, const RowView& row, ByteSpan& bytes) const;
    void appendText(std::string& out, ByteSpan bytes) const;

    Pager& pager_;
    const Format& format_;
    const CodePage& codePage_;
    mutable std::vector<std::uint8_t> longValue_;  // the bytes of the last long value read
};

// Decimal helpers, shared with the tests: the value of a sign and a 128-bit magnitude stored as
// four little-endian 32-bit words, most significant first.
db::Decimal decimalFromWords(bool negative, ByteSpan words, int precision, int scale);
db::Decimal decimalFromMagnitude(bool negative, unsigned __int128 magnitude, int precision,
                                 int scale);

// Date/Time Extended: 42 ASCII bytes. Throws Corrupt when they are not digits where digits
// belong.
db::DateTime extendedDateFromBytes(ByteSpan bytes);

}  // namespace jet
