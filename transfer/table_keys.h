// The lines a send writes for one table's structure when keys and indexes go with it: what its
// CREATE TABLE column definitions gain, and the lines after its rows.
//
// For a MySQL target (the source an Access file):
//   column definitions   NOT NULL (Required, AutoNumber, primary key columns), DEFAULT
//                        (literals; Now() as CURRENT_TIMESTAMP and Date() as CURRENT_DATE on a
//                        date column), COMMENT (the Description)
//   after the rows       ALTER TABLE `T` ADD PRIMARY KEY (…), ADD UNIQUE KEY `i` (…),
//                        ADD KEY `j` (… DESC), MODIFY `id` INT NOT NULL AUTO_INCREMENT,
//                        AUTO_INCREMENT=n
// For an Access target (the source a MySQL database):
//   column definitions   COUNTER(next, 1) for AUTO_INCREMENT, NOT NULL, DEFAULT literal, DEFAULT
//   Now(),
//                        DEFAULT Date()
//   after the rows       ALTER TABLE `T` ADD CONSTRAINT `PrimaryKey` PRIMARY KEY (…)
//                        CREATE [UNIQUE] INDEX `i` ON `T` (`a`, `b` DESC)
// Foreign keys come after every table of the send (send_keys.h).
//
// Text keys and MySQL's key length: a column of type TEXT or BLOB is indexed by a prefix, and
// the columns of one index may take at most kMySqlKeyBytes (utf8mb4: four bytes a character).
// A key column that the default mapping would make TEXT is made VARCHAR(n) instead when its
// Access column holds at most n characters, and an Access key column the default mapping would
// make a Memo becomes TEXT(n): keys stay exact and foreign keys possible.
//
// What cannot be carried (a default that is an expression, FULLTEXT and SPATIAL indexes, more
// than Access's 32 indexes a table or 10 columns an index, a prefix length) is named in the
// notes, one sentence each.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "db/access_features.h"
#include "db/table_structure.h"
#include "transfer/column_mapping.h"
#include "transfer/direction.h"

namespace transfer {

// InnoDB's longest key (DYNAMIC rows) and the longest prefix it indexes of one column.
inline constexpr int kMySqlKeyBytes = 3072;
inline constexpr int kMySqlBytesPerChar = 4;
// Access's limits.
inline constexpr std::size_t kAccessMaxIndexes = 32;
inline constexpr std::size_t kAccessMaxIndexColumns = 10;

class TableKeys {
  public:
    // `source` is the table's structure; `fieldNames` the source's fields in the order the
    // record set gives them (the decorator's field numbers); `foreignKeysSent` how many of its
    // foreign keys go with the send (Access counts their indexes among the table's 32).
    TableKeys(Direction target, db::TableStructure source, std::vector<std::string> fieldNames,
              db::AccessFileFeatures features = {}, std::size_t foreignKeysSent = 0);

    // The decorator of the table's CREATE TABLE statement (see column_mapping.h). It remembers
    // each column's target name and type for the lines after the rows.
    std::string decorate(std::size_t field, const std::string& targetName, const std::string& type,
                         bool defaultMapping);
    ColumnDecorator decorator();

    // The foreign keys of the table that go with the send (names as the source has them). For
    // an Access target, the index MySQL made for such a key under its name is left to the
    // relationship, which makes its own.
    void setForeignKeysSent(std::vector<std::string> names) { foreignKeyNames_ = std::move(names); }

    // Columns whose values include some no Access date holds (sent as NULL): not made
    // Required. Call before the statement is made.
    void setColumnNotRequired(const std::string& sourceName);

    // The lines that follow the table's rows (none when there is nothing to add).
    std::vector<std::string> afterRowsLines();

    // The sentences the notes get for this table.
    const std::vector<std::string>& notes() const { return notes_; }

    const db::TableStructure& source() const { return source_; }
    // The name and type a source column got in the target ("" when the statement has none).
    std::string targetName(const std::string& sourceColumn) const;
    std::string targetType(const std::string& sourceColumn) const;
    // True when the columns `columns` (source names, any order) are exactly those of the
    // primary key or of a unique index that goes with the table.
    bool hasUniqueKeyOn(const std::vector<std::string>& columns) const;

  private:
    struct Chosen {
        std::string name;  // in the target
        std::string type;  // as the statement has it
    };
    const Chosen* chosen(const std::string& sourceColumn) const;
    bool isKeyColumn(const std::string& sourceColumn) const;
    std::string mySqlDefinition(const db::ColumnStructure& c, const std::string& targetName,
                                std::string type, bool narrow);
    std::string accessDefinition(const db::ColumnStructure& c, const std::string& targetName,
                                 std::string type, bool narrow);
    std::vector<std::string> mySqlLines();
    std::vector<std::string> accessLines();
    void note(const std::string& sentence) { notes_.push_back(sentence); }
    std::string tableQuoted() const;
    std::string columnText(const std::string& sourceColumn) const;  // "Table "T", column "C""

    Direction target_;
    db::TableStructure source_;
    std::vector<std::string> fieldNames_;
    db::AccessFileFeatures features_;
    std::size_t foreignKeysSent_;
    std::map<std::string, Chosen> chosen_;  // by folded source name
    std::vector<std::string> notRequired_;
    std::vector<std::string> foreignKeyNames_;
    std::vector<const db::IndexStructure*> sentIndexes_;  // those the lines after the rows make
    bool linesMade_ = false;
    std::vector<std::string> notes_;
};

// A name Access can hold made from `name`: the characters it refuses become "_", at most 64
// characters. `name` itself when Access holds it.
std::string accessSafeName(const std::string& name);

}  // namespace transfer
