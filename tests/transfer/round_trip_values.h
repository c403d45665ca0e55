// How tests compare a value sent through a script with the value that arrived: both as text
// that names the same value, so that a value read back from another database (where a date may
// come back as text, or a Yes/No as 1) can be held against the value that was sent.
#pragma once

#include <cctype>
#include <cstdlib>
#include <string>

#include "db/value.h"
#include "transfer/value_render.h"

namespace testenv {

// The value a literal of a MySQL script denotes: Booleans 1 and 0, dates as their literal holds
// them, binary as its bytes, everything else as its text, line breaks included.
inline std::string denotedForMySql(const db::Value& v) {
    if (v.kind() == db::Value::Kind::Boolean) return v.asBoolean() ? "1" : "0";
    if (v.kind() == db::Value::Kind::DateTime) {  // a date's literal needs no escapes
        const std::string literal = transfer::renderedValue(transfer::Direction::AccessToMySql, v);
        return literal.substr(1, literal.size() - 2);
    }
    if (v.kind() == db::Value::Kind::Binary)
        return std::string(v.asBinary().begin(), v.asBinary().end());
    return transfer::valueText(v);
}

// A value read back, in the same terms.
inline std::string arrivedText(const db::Value& v) {
    if (v.kind() == db::Value::Kind::Binary)
        return std::string(v.asBinary().begin(), v.asBinary().end());
    if (v.kind() == db::Value::Kind::Boolean) return v.asBoolean() ? "1" : "0";
    return transfer::valueText(v);
}

// Values a script writes as NULL: Null, an empty text, empty binary.
inline bool isNullOnTheWay(const db::Value& v) {
    return v.isNull() || (v.kind() == db::Value::Kind::Text && v.asText().empty()) ||
           (v.kind() == db::Value::Kind::Binary && v.asBinary().empty());
}

// Two kinds of value do not fit the type proposed for their column for MySQL, and lose digits
// when sent as proposed: a calculated Decimal column declares scale 0 but holds values of any
// scale, and a Date/Time Extended value keeps ten-millionths of a second, which MySQL's
// DATETIME(6) does not.
inline bool lostToTheProposedType(const db::Value& v, const std::string& proposed) {
    if (v.kind() == db::Value::Kind::Decimal && proposed.rfind("decimal(", 0) == 0) {
        const int scale = std::atoi(proposed.c_str() + proposed.find(',') + 1);
        return v.asDecimal().scale > scale;
    }
    if (v.kind() != db::Value::Kind::DateTime) return false;
    // DATETIME(n) keeps n digits of the fraction, at most six; Extended has seven.
    int digits = 0;
    if (proposed.rfind("DATETIME(", 0) == 0)
        digits = std::atoi(proposed.c_str() + 9);
    else if (proposed != "DATETIME")
        return false;
    long unit = 1'000'000'000;
    for (int i = 0; i < digits; ++i)
        unit /= 10;
    return v.asDateTime().nanosecond % unit != 0;
}

// True when the server's COLUMN_TYPE is the type proposed for the column: the server spells
// types in lower case, says double for REAL and may add a display width to whole numbers
// ("tinyint(3) unsigned" for TINYINT UNSIGNED).
inline bool isProposedMySqlType(std::string columnType, const std::string& proposed) {
    std::string want = proposed;
    for (char& ch : want)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (want == "real") want = "double";
    for (const char* whole : {"tinyint(", "smallint(", "mediumint(", "int(", "bigint("}) {
        if (columnType.rfind(whole, 0) != 0 || want.rfind(whole, 0) == 0) continue;
        const std::size_t open = std::string(whole).size() - 1;
        const std::size_t close = columnType.find(')', open);
        if (close != std::string::npos) columnType.erase(open, close - open + 1);
    }
    return columnType.rfind(want, 0) == 0;
}

}  // namespace testenv
