// Tab-separated output of values, as dunmorrow-cli prints them.
//
// NULL is \N; tab, line feed, carriage return, NUL and backslash inside a value are written as
// \t, \n, \r, \0 and \\; numbers use a decimal point; Yes/No is 1 or 0; Currency and Decimal are
// exact; dates are ISO 8601 (YYYY-MM-DDTHH:MM:SS with a fraction when there is one); binary is
// lower-case hexadecimal; GUIDs are {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
#pragma once

#include <string>
#include <string_view>

#include "db/value.h"

namespace cli {

std::string escapeField(std::string_view text);
std::string formatField(const db::Value& value);
// The same, appended to `out`: what the dump writes, without a string for each field.
void appendEscapedField(std::string& out, std::string_view text);
void appendField(std::string& out, const db::Value& value);

}  // namespace cli
