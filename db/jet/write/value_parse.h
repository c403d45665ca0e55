// Numbers and dates written as text, read exactly: what the conversions of values into columns
// (value_convert.h) and of literals (sql/literal_convert.h) accept.
//
// Numbers: "[+-]digits[.digits][e[+-]digits]", one side of the point possibly empty, blanks
// around allowed; read as exact decimals, so that a column rounds them to its places once.
// Dates and times: 'YYYY-MM-DD', 'YYYY-MM-DD HH:MM[:SS[.fff]]' (or a T between them),
// 'HH:MM[:SS]' (a time on 1899-12-30), 'M/D/YYYY [HH:MM[:SS]]', and the same between # signs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "db/value.h"

namespace jet {

// An exact decimal number: (negative ? -1 : 1) × digits × 10^exponent, digits without leading
// zeros ("" for zero).
struct ExactNumber {
    bool negative = false;
    std::string digits;
    int exponent = 0;

    bool isZero() const { return digits.empty(); }
};  // `s` without the blanks (space, tab, line breaks) around it.
std::string_view trimBlanks(std::string_view s);

// Reads a number as above. Returns false for anything else.
bool parseExact(std::string_view text, ExactNumber& out);

// The number rounded to `scale` places after the point, half to even, as a whole count of
// 10^-scale in decimal digits; false when it needs more than `maxDigits` digits.
bool roundExact(const ExactNumber& n, int scale, std::size_t maxDigits, std::string& out);

// The number as a double, correctly rounded; false when it is beyond the double range.
bool exactToDouble(const ExactNumber& n, double& out);

ExactNumber exactFromInteger(std::int64_t v);

// Compares two digit strings without leading zeros as numbers: -1, 0 or 1.
int compareDigits(const std::string& a, const std::string& b);

// Parses the date and time forms above. Returns false when `text` is none of them or names a
// date that does not exist.
bool parseDateTime(std::string_view text, db::DateTime& out);

}  // namespace jet
