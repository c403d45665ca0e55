// Converting the literals of an INSERT.
#include "db/jet/sql/literal_convert.h"

#include <string>

#include "db/jet/write/value_convert.h"
#include "db/jet/write/value_parse.h"

namespace jet {

db::Value convertLiteral(sql::Literal literal, const ColumnDef& column, std::string_view table) {
    using LK = sql::Literal::Kind;
    auto take = [&](db::Value&& v) { return convertTakenValue(std::move(v), column, table); };
    auto convert = [&](const db::Value& v) { return convertValue(v, column, table); };
    switch (literal.kind) {
        case LK::Null:
            return db::Value::null();
        case LK::Text:
            return take(db::Value::text(std::move(literal.text)));
        case LK::Binary:
            return take(db::Value::binary(std::move(literal.bytes)));
        case LK::Boolean:
            if (column.type == ColumnType::Text || column.type == ColumnType::Memo)
                return convert(db::Value::text(literal.boolean ? "True" : "False"));
            return convert(db::Value::boolean(literal.boolean));
        case LK::Number: {
            if (column.type == ColumnType::DateTime || column.type == ColumnType::ExtDateTime) {
                ExactNumber n;
                double days = 0;
                if (parseExact(literal.text, n) && exactToDouble(n, days))
                    return convert(db::Value::doubleValue(days));
            }
            // Otherwise a number goes in as its text: exact digits for the numeric columns,
            // and the number as written for a text column.
            std::string text = literal.text;
            if (!text.empty() && text[0] == '+') text.erase(0, 1);
            return take(db::Value::text(std::move(text)));
        }
        case LK::Date: {
            if (column.type == ColumnType::Text || column.type == ColumnType::Memo)
                return convert(db::Value::text(literal.text));
            db::DateTime t;
            if (!parseDateTime(literal.text, t))
                refuseValue(column, table, "#" + literal.text + "#",
                            "it is not a date such as #2024-05-31#");
            return convert(db::Value::dateTime(t));
        }
    }
    return db::Value::null();
}

}  // namespace jet
