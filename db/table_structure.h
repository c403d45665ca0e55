// What a table is besides its columns and rows: which columns must hold a value, number
// themselves, have a default or a description; its primary key, its other indexes, and the
// foreign keys it enforces. Plain data, the same for both kinds of database, read by
// Connection::tableStructure() from the Access file's own structures or from the MySQL server's
// information_schema.
//
// Names are as the source spells them (UTF-8). Column order is the table's column order.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace db {

// A column's default value as the source declares it.
struct ColumnDefault {
    enum class Kind {
        None,              // no default (or a default of NULL)
        Text,              // `text` is the text
        Number,            // `text` is the number as written: "-12", "3.5"
        Boolean,           // `text` is "1" or "0"
        DateTime,          // `text` is "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS[.fff]"
        CurrentTimestamp,  // the moment the row is made (Now(), CURRENT_TIMESTAMP)
        CurrentDate,       // the day the row is made (Date(), CURRENT_DATE)
        Expression,        // anything else; `text` is the source's own spelling
    };
    Kind kind = Kind::None;
    std::string text;
};

struct ColumnStructure {
    std::string name;
    bool required = false;        // NOT NULL, Access's "Required" (or a column that is never Null)
    bool autoIncrement = false;   // AUTO_INCREMENT, Access AutoNumber counting up
    bool replicationId = false;   // Access AutoNumber of Replication IDs (GUIDs it makes)
    bool allowZeroLength = true;  // Access text: an empty text is a value ("AllowZeroLength")
    ColumnDefault defaultValue;
    std::string description;  // COMMENT, Access's "Description"
    // What the source calls the column's type: MySQL's COLUMN_TYPE ("int(10) unsigned",
    // "enum('a','b')"), or Access's type name ("Long Integer"). For messages.
    std::string sourceType;
    // The most characters a text column holds (bytes for binary, 38 for a Replication ID as
    // its text); 0 when unbounded (Memo, LONGTEXT) or not text.
    std::uint32_t length = 0;
    // Something the source does that no statement carries ("on update CURRENT_TIMESTAMP"),
    // named in the notes of a send; empty when there is none.
    std::string unsupported;
};

struct IndexColumn {
    std::string name;
    bool descending = false;
    int prefixLength = 0;  // MySQL: the index covers only this many leading characters (0: all)
};

struct IndexStructure {
    enum class Kind { Plain, FullText, Spatial };
    std::string name;
    bool primary = false;
    bool unique = false;       // primary keys are unique too
    bool ignoreNulls = false;  // Access: rows with a Null in the key are left out of the index
    bool required = false;     // Access: every row must have a value in the key
    Kind kind = Kind::Plain;
    std::vector<IndexColumn> columns;  // in key order
};

enum class ReferentialAction { NoAction, Restrict, Cascade, SetNull, SetDefault };

// A foreign key of this table (the referencing one), enforced by the source.
struct ForeignKeyStructure {
    std::string name;
    std::vector<std::string> columns;  // of this table, in key order
    std::string referencedTable;
    std::vector<std::string> referencedColumns;  // in the same order
    ReferentialAction onUpdate = ReferentialAction::Restrict;
    ReferentialAction onDelete = ReferentialAction::Restrict;
};

struct TableStructure {
    std::string name;
    bool isView = false;  // a view (MySQL) or saved query: no keys of its own
    std::vector<ColumnStructure> columns;
    std::vector<IndexStructure> indexes;  // the primary key first, when there is one
    std::vector<ForeignKeyStructure> foreignKeys;
    // The value the next row's AutoNumber / AUTO_INCREMENT would get, when the table has one.
    std::optional<std::uint64_t> nextAutoNumber;

    // The column named `name` (ignoring ASCII letter case), or nullptr.
    const ColumnStructure* column(std::string_view name) const;
    // The primary key, or nullptr.
    const IndexStructure* primaryKey() const;
};

// "RESTRICT", "CASCADE", "SET NULL", "NO ACTION", "SET DEFAULT".
const char* referentialActionName(ReferentialAction action);

}  // namespace db
