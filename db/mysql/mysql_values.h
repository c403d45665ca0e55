// Converting MySQL values into db::Value.
//
// Over the text protocol the server sends every value as text (numbers in decimal, dates as
// "YYYY-MM-DD HH:MM:SS.ffffff") or, for binary strings, as the raw bytes; over the binary protocol
// of prepared statements numbers and dates come as machine values (MYSQL_TIME for dates), and
// only decimals and strings as text. The conversion is chosen once per column (ColumnShape) and
// then applied to each value without any per-value lookup. Both protocols give the same values:
//   - SQL NULL is Null for every kind.
//   - Whole numbers are Integer; an UNSIGNED value above INT64_MAX is Unsigned.
//   - FLOAT is Single, DOUBLE is Double, DECIMAL an exact Decimal with the column's precision and
//     scale.
//   - DATE and DATETIME/TIMESTAMP are DateTime values; the zero date ("0000-00-00", with or
//     without a zero time) is Null. A date the server keeps although it is no calendar date (a
//     zero month or day, allowed by some SQL modes) stays Text with the server's own spelling, so
//     nothing is lost and nothing is mistaken for a real date.
//   - TIME is a signed duration placed on the zero date 1899-12-30 00:00: "26:00:00" is
//     1899-12-31 02:00:00, and a negative time counts back from that midnight, so "-01:30:00" is
//     1899-12-29 22:30:00.
//   - Text, ENUM, SET and JSON are Text (UTF-8, the session's character set); binary strings,
//     BLOBs, spatial values and BIT wider than one bit are Binary; BIT(1) is Boolean.
#pragma once

#include <mysql.h>

#include <cstdint>
#include <string_view>

#include "db/mysql/mysql_fields.h"
#include "db/value.h"

namespace db::mysql {

// Converts one value; `data` is null for SQL NULL. Throws db::Error when the server's text does
// not read as the column's kind (which a well-behaved server never sends).
Value convertValue(const ColumnShape& shape, const char* data, unsigned long length);

// Converts one DATE, DATETIME/TIMESTAMP or TIME value of the binary protocol (`shape.kind` is
// Date, DateTime or Time; `shape.scale` the digits of fractional seconds).
Value convertTemporal(const ColumnShape& shape, const MYSQL_TIME& t);

// The moment `nanoseconds` after (negative: before) 1899-12-30 00:00.
DateTime fromZeroDate(std::int64_t nanoseconds);

// The pieces, exposed for tests. Each returns false when the text is not of its form.
bool parseMySqlDate(std::string_view text, DateTime& out);      // "YYYY-MM-DD"
bool parseMySqlDateTime(std::string_view text, DateTime& out);  // "YYYY-MM-DD HH:MM:SS[.f…]"
bool parseMySqlTime(std::string_view text, DateTime& out);      // "[-]H…H:MM:SS[.f…]"

}  // namespace db::mysql
