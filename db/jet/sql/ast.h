// The statements of the Access dialect as plain structures, produced by the parser.
//
//   SELECT [TOP n] * FROM name
//   SELECT * INTO new FROM old [[AS] alias]           SELECT alias.* INTO new FROM old [AS] alias
//   CREATE TABLE name (column type [NOT NULL | NULL] [PRIMARY KEY] [WITH COMPRESSION], ...
//                      [, [CONSTRAINT name] PRIMARY KEY (column, ...)])
//   INSERT INTO name [(column, ...)] VALUES (literal, ...)
//   DROP TABLE name
//
// Each may end with ";". Names are bare, `quoted` or [bracketed]. Column types are resolved to
// the Access type they mean while parsing (see declared_types.h); literals stay as written, and are
// converted to a column's type only when the row is built (see value_convert.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "db/jet/sql/declared_types.h"

namespace jet::sql {

struct SelectStatement {
    std::string table;
    std::optional<std::uint64_t> top;  // TOP n
};

struct SelectIntoStatement {
    std::string target;
    std::string source;
};

struct ColumnDefinition {
    std::string name;
    DeclaredType type;
    bool notNull = false;
    bool compressed = false;  // WITH COMPRESSION: text kept in the compressed form
};

struct CreateTableStatement {
    std::string table;
    std::vector<ColumnDefinition> columns;
    // The columns of the primary key in key order (empty: none), and its name ("" when the
    // statement gives none).
    std::vector<std::string> primaryKey;
    std::string primaryKeyName;
};

// A value as the statement writes it.
struct Literal {
    enum class Kind { Null, Text, Number, Binary, Boolean, Date };
    Kind kind = Kind::Null;
    std::string text;                 // Text: the value; Number: the digits with sign; Date: as
                                      // written between the # signs
    std::vector<std::uint8_t> bytes;  // Binary
    bool boolean = false;             // Boolean (TRUE / FALSE)
};

struct InsertStatement {
    std::string table;
    std::vector<std::string> columns;  // empty: every column in table order
    std::vector<Literal> values;
};

struct DropTableStatement {
    std::string table;
};

using Statement = std::variant<SelectStatement, SelectIntoStatement, CreateTableStatement,
                               InsertStatement, DropTableStatement>;

}  // namespace jet::sql
