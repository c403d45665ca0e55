// The table of type names and the checks of their sizes.
#include "db/jet/sql/declared_types.h"

namespace jet::sql {

namespace {

enum class Family {
    VarText,  // Text(n), Text(255) without a length
    Text,     // TEXT: Text(n), Memo without a length
    Memo,
    Fixed,  // a type without arguments
    Counter,
    Decimal,
    Binary,
};

struct Name {
    const char* name;
    Family family;
    ColumnType type;
};

constexpr Name kNames[] = {
    {"TEXT", Family::Text, ColumnType::Text},
    {"VARCHAR", Family::VarText, ColumnType::Text},
    {"CHAR", Family::VarText, ColumnType::Text},
    {"NVARCHAR", Family::VarText, ColumnType::Text},
    {"NCHAR", Family::VarText, ColumnType::Text},
    {"CHARACTER", Family::VarText, ColumnType::Text},
    {"CHARACTER VARYING", Family::VarText, ColumnType::Text},
    {"NATIONAL CHARACTER", Family::VarText, ColumnType::Text},
    {"NATIONAL CHAR", Family::VarText, ColumnType::Text},
    {"NATIONAL CHARACTER VARYING", Family::VarText, ColumnType::Text},
    {"NATIONAL CHAR VARYING", Family::VarText, ColumnType::Text},
    {"STRING", Family::VarText, ColumnType::Text},
    {"ALPHANUMERIC", Family::VarText, ColumnType::Text},
    {"MEMO", Family::Memo, ColumnType::Memo},
    {"LONGTEXT", Family::Memo, ColumnType::Memo},
    {"NTEXT", Family::Memo, ColumnType::Memo},
    {"LONGCHAR", Family::Memo, ColumnType::Memo},
    {"NOTE", Family::Memo, ColumnType::Memo},
    {"BIT", Family::Fixed, ColumnType::Boolean},
    {"YESNO", Family::Fixed, ColumnType::Boolean},
    {"BOOLEAN", Family::Fixed, ColumnType::Boolean},
    {"LOGICAL", Family::Fixed, ColumnType::Boolean},
    {"LOGICAL1", Family::Fixed, ColumnType::Boolean},
    {"BYTE", Family::Fixed, ColumnType::Byte},
    {"TINYINT", Family::Fixed, ColumnType::Byte},
    {"INTEGER1", Family::Fixed, ColumnType::Byte},
    {"SMALLINT", Family::Fixed, ColumnType::Integer},
    {"SHORT", Family::Fixed, ColumnType::Integer},
    {"INTEGER2", Family::Fixed, ColumnType::Integer},
    {"INT", Family::Fixed, ColumnType::Long},
    {"INTEGER", Family::Fixed, ColumnType::Long},
    {"LONG", Family::Fixed, ColumnType::Long},
    {"INTEGER4", Family::Fixed, ColumnType::Long},
    {"COUNTER", Family::Counter, ColumnType::Long},
    {"AUTOINCREMENT", Family::Counter, ColumnType::Long},
    {"BIGINT", Family::Fixed, ColumnType::BigInt},
    {"REAL", Family::Fixed, ColumnType::Single},
    {"SINGLE", Family::Fixed, ColumnType::Single},
    {"FLOAT4", Family::Fixed, ColumnType::Single},
    {"IEEESINGLE", Family::Fixed, ColumnType::Single},
    {"FLOAT", Family::Fixed, ColumnType::Double},
    {"DOUBLE", Family::Fixed, ColumnType::Double},
    {"FLOAT8", Family::Fixed, ColumnType::Double},
    {"IEEEDOUBLE", Family::Fixed, ColumnType::Double},
    {"NUMBER", Family::Fixed, ColumnType::Double},
    {"MONEY", Family::Fixed, ColumnType::Currency},
    {"CURRENCY", Family::Fixed, ColumnType::Currency},
    {"DATETIME", Family::Fixed, ColumnType::DateTime},
    {"DATE", Family::Fixed, ColumnType::DateTime},
    {"TIME", Family::Fixed, ColumnType::DateTime},
    {"TIMESTAMP", Family::Fixed, ColumnType::DateTime},
    {"DATETIME2", Family::Fixed, ColumnType::ExtDateTime},
    {"DATETIMEEXTENDED", Family::Fixed, ColumnType::ExtDateTime},
    {"DECIMAL", Family::Decimal, ColumnType::Decimal},
    {"NUMERIC", Family::Decimal, ColumnType::Decimal},
    {"DEC", Family::Decimal, ColumnType::Decimal},
    {"BINARY", Family::Binary, ColumnType::Binary},
    {"VARBINARY", Family::Binary, ColumnType::Binary},
    {"BINARY VARYING", Family::Binary, ColumnType::Binary},
    {"BIT VARYING", Family::Binary, ColumnType::Binary},
    {"IMAGE", Family::Fixed, ColumnType::Ole},
    {"OLEOBJECT", Family::Fixed, ColumnType::Ole},
    {"LONGBINARY", Family::Fixed, ColumnType::Ole},
    {"GENERAL", Family::Fixed, ColumnType::Ole},
    {"UNIQUEIDENTIFIER", Family::Fixed, ColumnType::Guid},
    {"GUID", Family::Fixed, ColumnType::Guid},
};

const Name* find(std::string_view upper) {
    for (const auto& n : kNames)
        if (upper == n.name) return &n;
    return nullptr;
}

}  // namespace

bool isTypeNamePrefix(std::string_view upper) {
    auto startsWith = [&](std::string_view name) {
        return name.size() >= upper.size() && name.substr(0, upper.size()) == upper &&
               (name.size() == upper.size() || name[upper.size()] == ' ');
    };
    for (const auto& n : kNames)
        if (startsWith(n.name)) return true;
    return false;
}

std::optional<DeclaredType> resolveType(std::string_view upper,
                                        const std::vector<std::int64_t>& args,
                                        std::string& problem) {
    const Name* n = find(upper);
    if (!n) {
        problem = std::string(upper) + " is not a data type Access knows";
        return std::nullopt;
    }
    const std::string name(upper);
    DeclaredType t;
    t.type = n->type;
    auto noArgs = [&]() {
        if (args.empty()) return true;
        problem = "the type " + name + " takes no size";
        return false;
    };
    switch (n->family) {
        case Family::Memo:
        case Family::Fixed:
            if (!noArgs()) return std::nullopt;
            return t;
        case Family::Counter:
            // The numbering starts where the definition says; an increment other than 1 would
            // need a property the engine does not keep.
            if (!args.empty()) {
                if (args.size() != 2) {
                    problem = "the type " + name + " takes a seed and an increment";
                    return std::nullopt;
                }
                if (args[1] != 1) {
                    problem = "an AutoNumber column can only count by 1";
                    return std::nullopt;
                }
                if (args[0] < 1 || args[0] > 0x7FFFFFFF) {
                    problem = "an AutoNumber column starts at a number from 1 to 2147483647, not " +
                              std::to_string(args[0]);
                    return std::nullopt;
                }
                t.seed = static_cast<std::uint32_t>(args[0]);
            }
            t.autoNumber = true;
            return t;
        case Family::Text:
        case Family::VarText:
            if (args.empty()) {
                if (n->family == Family::Text) {
                    t.type = ColumnType::Memo;
                    return t;
                }
                t.size = kMaxTextLength;
                return t;
            }
            if (args.size() != 1) {
                problem = "the type " + name + " takes one length";
                return std::nullopt;
            }
            if (args[0] < 1 || args[0] > kMaxTextLength) {
                problem =
                    "a text column holds from 1 to 255 characters, not " + std::to_string(args[0]);
                return std::nullopt;
            }
            t.size = static_cast<std::uint16_t>(args[0]);
            return t;
        case Family::Binary:
            if (args.size() > 1) {
                problem = "the type " + name + " takes one length";
                return std::nullopt;
            }
            t.size = kMaxBinaryLength;
            if (!args.empty()) {
                if (args[0] < 1 || args[0] > kMaxBinaryLength) {
                    problem =
                        "a binary column holds from 1 to 510 bytes, not " + std::to_string(args[0]);
                    return std::nullopt;
                }
                t.size = static_cast<std::uint16_t>(args[0]);
            }
            return t;
        case Family::Decimal: {
            if (args.size() > 2) {
                problem = "the type " + name + " takes a precision and a scale";
                return std::nullopt;
            }
            const std::int64_t p = args.empty() ? 18 : args[0];
            const std::int64_t s = args.size() < 2 ? 0 : args[1];
            if (p < 1 || p > kMaxDecimalPrecision) {
                problem =
                    "the precision of a decimal column is from 1 to 28, not " + std::to_string(p);
                return std::nullopt;
            }
            if (s < 0 || s > p) {
                problem = "the scale of a decimal column is from 0 to its precision (" +
                          std::to_string(p) + "), not " + std::to_string(s);
                return std::nullopt;
            }
            t.precision = static_cast<std::uint8_t>(p);
            t.scale = static_cast<std::uint8_t>(s);
            return t;
        }
    }
    return t;
}

}  // namespace jet::sql
