// Values as they are written into the statements of a script.
//
// Every value is written the same way in every locale: numbers with a decimal point and no
// grouping (Single and Double in the shortest text that reads back as the same number — for a
// Single, read back through a double as servers read it — Currency and Decimal exactly), dates as
// 'YYYY-MM-DD HH:MM:SS' ('YYYY-MM-DD' at midnight; for Access a time on the zero date 1899-12-30
// alone, 'HH:MM:SS', while MySQL, which would read a bare time as a date, gets the zero date
// written out), binary as a hexadecimal literal X'…'. A statement stays on one line and a text
// keeps its line breaks: a CR LF pair is written \r\n for MySQL, and for Access the text is
// written in pieces joined with the break's characters ('one' & Chr(13) & Chr(10) & 'two'); a
// lone CR or LF stays as it is.
#pragma once

#include <string>
#include <string_view>

#include "db/value.h"
#include "transfer/direction.h"

namespace transfer {

// `fallback` when `value` is Null, else `value`. The result refers to one of the two arguments:
// use it before either goes.
inline const db::Value& NullToDefault(const db::Value& value, const db::Value& fallback) {
    return value.isNull() ? fallback : value;
}

// The value as plain text, before quoting: text unchanged (CR LF kept), whole numbers in decimal
// digits, Single/Double shortest, Currency/Decimal exact, dates as above (a time on the zero date
// alone), Booleans "True" and
// "False", binary as upper-case hexadecimal digits, GUIDs in braces, Null as "".
std::string valueText(const db::Value& value);
void appendValueText(std::string& out, const db::Value& value);

// Appends the value as one item of a VALUES list for `target`:
//   - Null, an empty text and empty binary: NULL;
//   - binary: X'0A1B…';
//   - Booleans: 1 and 0 unquoted for MySQL, 'True' and 'False' for Access;
//   - everything else quoted: apostrophes doubled, CR LF pairs written as above, and for MySQL
//     also every backslash doubled and NUL written as \0.
void appendRenderedValue(std::string& out, Direction target, const db::Value& value);
std::string renderedValue(Direction target, const db::Value& value);

// Appends `text` between apostrophes, escaped for `target` as above (CR LF pairs become one
// space). An empty text is written as NULL.
void appendQuotedText(std::string& out, Direction target, std::string_view text);

}  // namespace transfer
