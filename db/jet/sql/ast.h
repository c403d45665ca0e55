// The statements of the Access dialect as plain structures, produced by the parser.
//
//   SELECT [TOP n] * FROM name
//   SELECT * INTO new FROM old [[AS] alias]           SELECT alias.* INTO new FROM old [AS] alias
//   CREATE TABLE name (column type [NOT NULL | NULL] [DEFAULT value] [PRIMARY KEY]
//                      [WITH COMPRESSION], ... [, [CONSTRAINT name] PRIMARY KEY (column, ...)])
//   CREATE [UNIQUE] INDEX name ON table (column [ASC | DESC], ...)
//          [WITH PRIMARY | WITH DISALLOW NULL | WITH IGNORE NULL]
//   ALTER TABLE name ADD CONSTRAINT name PRIMARY KEY (column, ...)
//   ALTER TABLE name ADD CONSTRAINT name UNIQUE (column, ...)
//   ALTER TABLE name ADD CONSTRAINT name FOREIGN KEY (column, ...) REFERENCES table (column, ...)
//          [ON UPDATE CASCADE | ON UPDATE NO ACTION]
//          [ON DELETE CASCADE | ON DELETE SET NULL | ON DELETE NO ACTION]
//   INSERT INTO name [(column, ...)] VALUES (literal, ...)
//   DROP TABLE name
//
// Each may end with ";". Names are bare, `quoted` or [bracketed]. A text literal may be made of
// 'text' and Chr(code) pieces (codes 0 to 127) joined by &, as 'one' & Chr(13) & Chr(10) & 'two'
// writes a line break in a statement that stays on one line. Column types are resolved to
// the Access type they mean while parsing (see declared_types.h); literals stay as written, and are
// converted to a column's type only when the row is built (see literal_convert.h).
//
// What the statements that carry a database's structure mean, as other parts of the program
// write them for an Access file:
// - COUNTER and AUTOINCREMENT make a Long Integer AutoNumber that counts by 1; COUNTER(seed, 1)
//   hands out `seed` first. A value an INSERT gives such a column is kept, and the numbering
//   goes on after the highest value the column holds.
// - NOT NULL makes a column Required. DEFAULT takes a literal (a number, 'text', TRUE/FALSE, a
//   date as #...# or as text), or Now() or Date(); the column's Default Value property holds
//   it as Access writes it (a number as digits, text between double quotes, Yes/No, dates
//   between # signs, Now(), Date()), and an INSERT that leaves the column out stores it.
// - Every new Text and Memo column allows zero-length text: '' is kept as ''.
// - CREATE INDEX builds the index from the rows the table holds already. UNIQUE refuses a value
//   two rows share (the sentence names the value and the index), WITH PRIMARY makes the primary
//   key (unique, no Null), WITH DISALLOW NULL refuses rows with a Null key column, WITH IGNORE
//   NULL leaves rows whose key columns are all Null out of the index. A table holds at most 32
//   indexes (those of its relationships count), an index at most 10 columns.
// - ADD CONSTRAINT … PRIMARY KEY is CREATE UNIQUE INDEX … WITH PRIMARY; … UNIQUE is CREATE
//   UNIQUE INDEX.
// - ADD CONSTRAINT … FOREIGN KEY makes a relationship with enforced referential integrity, as
//   Access keeps one: the referenced columns need a unique index of their table, and every row
//   of the table whose key columns all have a value must find its match there (rows already
//   there, and every row inserted later). The cascade rules are kept with the relationship.
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

// A value as the statement writes it.
struct Literal {
    enum class Kind { Null, Text, Number, Binary, Boolean, Date };
    Kind kind = Kind::Null;
    std::string text;                 // Text: the value; Number: the digits with sign; Date: as
                                      // written between the # signs
    std::vector<std::uint8_t> bytes;  // Binary
    bool boolean = false;             // Boolean (TRUE / FALSE)
};

// The DEFAULT of a column: a literal, or the moment (Now()) or the day (Date()) of the insert.
struct ColumnDefault {
    enum class Kind { Value, Now, Date };
    Kind kind = Kind::Value;
    Literal value;  // Kind::Value
};

struct ColumnDefinition {
    std::string name;
    DeclaredType type;
    bool notNull = false;
    bool compressed = false;  // WITH COMPRESSION: text kept in the compressed form
    std::optional<ColumnDefault> defaultValue;
};

struct CreateTableStatement {
    std::string table;
    std::vector<ColumnDefinition> columns;
    // The columns of the primary key in key order (empty: none), and its name ("" when the
    // statement gives none).
    std::vector<std::string> primaryKey;
    std::string primaryKeyName;
};

struct InsertStatement {
    std::string table;
    std::vector<std::string> columns;  // empty: every column in table order
    std::vector<Literal> values;
};

struct DropTableStatement {
    std::string table;
};

struct IndexColumnName {
    std::string name;
    bool ascending = true;
};

struct CreateIndexStatement {
    std::string name;
    std::string table;
    std::vector<IndexColumnName> columns;
    bool unique = false;
    bool primary = false;       // WITH PRIMARY
    bool disallowNull = false;  // WITH DISALLOW NULL
    bool ignoreNull = false;    // WITH IGNORE NULL
};

// ALTER TABLE … ADD CONSTRAINT.
struct AddConstraintStatement {
    enum class Kind { PrimaryKey, Unique, ForeignKey };
    enum class OnDelete { NoAction, Cascade, SetNull };
    std::string table;
    std::string name;
    Kind kind = Kind::PrimaryKey;
    std::vector<std::string> columns;
    // FOREIGN KEY: the referenced table and its columns, in the order of `columns`.
    std::string referencedTable;
    std::vector<std::string> referencedColumns;
    bool cascadeUpdates = false;
    OnDelete onDelete = OnDelete::NoAction;
};

using Statement =
    std::variant<SelectStatement, SelectIntoStatement, CreateTableStatement, InsertStatement,
                 DropTableStatement, CreateIndexStatement, AddConstraintStatement>;

}  // namespace jet::sql
