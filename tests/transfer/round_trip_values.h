// How tests compare a value sent through a script with the value that arrived: both as text
// that names the same value, so that a value read back from another database (where a date may
// come back as text, or a Yes/No as 1) can be held against the value that was sent.
#pragma once

#include <cstdlib>
#include <string>

#include "db/value.h"
#include "transfer/value_render.h"

namespace testenv {

// The value a literal of a MySQL script denotes: Booleans 1 and 0, dates as their literal holds
// them, binary as its bytes, everything else as its text with each CR LF pair one space.
inline std::string denotedForMySql(const db::Value& v) {
    if (v.kind() == db::Value::Kind::Boolean) return v.asBoolean() ? "1" : "0";
    if (v.kind() == db::Value::Kind::DateTime) {  // a date's literal needs no escapes
        const std::string literal = transfer::renderedValue(transfer::Target::MySql, v);
        return literal.substr(1, literal.size() - 2);
    }
    if (v.kind() == db::Value::Kind::Binary)
        return std::string(v.asBinary().begin(), v.asBinary().end());
    std::string t = transfer::valueText(v);
    for (std::size_t p; (p = t.find("\r\n")) != std::string::npos;)
        t.replace(p, 2, " ");
    return t;
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
// DATETIME does not.
inline bool lostToTheProposedType(const db::Value& v, const std::string& proposed) {
    if (v.kind() == db::Value::Kind::Decimal && proposed.rfind("decimal(", 0) == 0) {
        const int scale = std::atoi(proposed.c_str() + proposed.find(',') + 1);
        return v.asDecimal().scale > scale;
    }
    return v.kind() == db::Value::Kind::DateTime && proposed == "DATETIME" &&
           v.asDateTime().nanosecond != 0;
}

}  // namespace testenv
