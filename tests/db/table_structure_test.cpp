// Column defaults as the two kinds of database write them, read into what a send can carry: a
// literal as its value, the current moment and day as such, anything else as an expression the
// send names and leaves out. And an Access file's structure as the engine reads it.
#include <gtest/gtest.h>

#include "db/access_structure.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "db/jet/format/column_type.h"
#include "db/mysql/mysql_structure.h"
#include "tests/support/test_env.h"

namespace {

using db::ColumnDefault;
using K = ColumnDefault::Kind;
using jet::ColumnType;

void expectDefault(const ColumnDefault& d, K kind, const std::string& text) {
    EXPECT_EQ(static_cast<int>(d.kind), static_cast<int>(kind)) << text;
    EXPECT_EQ(d.text, text);
}

TEST(AccessDefaults, LiteralsNowDateAndExpressions) {
    expectDefault(db::parseAccessDefault("", ColumnType::Long), K::None, "");
    expectDefault(db::parseAccessDefault("Null", ColumnType::Long), K::None, "");
    expectDefault(db::parseAccessDefault("0", ColumnType::Long), K::Number, "0");
    expectDefault(db::parseAccessDefault("+12.5", ColumnType::Double), K::Number, "12.5");
    expectDefault(db::parseAccessDefault("-1E3", ColumnType::Double), K::Number, "-1E3");
    expectDefault(db::parseAccessDefault("=\"it\"\"s\"", ColumnType::Text), K::Text, "it\"s");
    expectDefault(db::parseAccessDefault("'x'", ColumnType::Text), K::Text, "x");
    expectDefault(db::parseAccessDefault("\"a\" & \"b\"", ColumnType::Text), K::Expression,
                  "\"a\" & \"b\"");
    expectDefault(db::parseAccessDefault("Yes", ColumnType::Boolean), K::Boolean, "1");
    expectDefault(db::parseAccessDefault("-1", ColumnType::Boolean), K::Boolean, "1");
    expectDefault(db::parseAccessDefault("False", ColumnType::Boolean), K::Boolean, "0");
    expectDefault(db::parseAccessDefault(" now ( ) ", ColumnType::DateTime), K::CurrentTimestamp,
                  "");
    expectDefault(db::parseAccessDefault("Date()", ColumnType::DateTime), K::CurrentDate, "");
    expectDefault(db::parseAccessDefault("#2024-02-29#", ColumnType::DateTime), K::DateTime,
                  "2024-02-29");
    expectDefault(db::parseAccessDefault("#1/31/2024 1:05 PM#", ColumnType::DateTime), K::DateTime,
                  "2024-01-31 13:05:00");
    // Not a day of the calendar: left to the notes.
    expectDefault(db::parseAccessDefault("#2023-02-29#", ColumnType::DateTime), K::Expression,
                  "#2023-02-29#");
    expectDefault(db::parseAccessDefault("Date()+7", ColumnType::DateTime), K::Expression,
                  "Date()+7");
}

TEST(MySqlDefaults, MariaDbAndMySqlSpellings) {
    // MariaDB quotes literals and writes NULL; MySQL gives the bare value.
    expectDefault(db::mysql::parseMySqlDefault(false, "", "int", "", true), K::None, "");
    expectDefault(db::mysql::parseMySqlDefault(true, "NULL", "int", "", true), K::None, "");
    expectDefault(db::mysql::parseMySqlDefault(true, "'it''s \\\\ \\n'", "varchar", "", true),
                  K::Text, "it's \\ \n");
    expectDefault(db::mysql::parseMySqlDefault(true, "''", "varchar", "", true), K::Text, "");
    expectDefault(db::mysql::parseMySqlDefault(true, "-1.50", "decimal", "", true), K::Number,
                  "-1.50");
    expectDefault(db::mysql::parseMySqlDefault(true, "'2024-01-02'", "date", "", true), K::DateTime,
                  "2024-01-02");
    expectDefault(db::mysql::parseMySqlDefault(true, "current_timestamp(3)", "datetime", "", true),
                  K::CurrentTimestamp, "");
    expectDefault(db::mysql::parseMySqlDefault(true, "curdate()", "date", "", true), K::CurrentDate,
                  "");
    expectDefault(db::mysql::parseMySqlDefault(true, "b'101'", "bit", "", true), K::Number, "5");
    expectDefault(db::mysql::parseMySqlDefault(true, "(`a` + 1)", "int", "", true), K::Expression,
                  "(`a` + 1)");
    expectDefault(db::mysql::parseMySqlDefault(true, "it's", "varchar", "", false), K::Text,
                  "it's");
    expectDefault(db::mysql::parseMySqlDefault(true, "CURRENT_TIMESTAMP", "timestamp",
                                               "DEFAULT_GENERATED", false),
                  K::CurrentTimestamp, "");
    expectDefault(db::mysql::parseMySqlDefault(true, "7", "int", "", false), K::Number, "7");
}

TEST(AccessStructure, TheIndexFilesKeysAndRelationships) {
    DM_REQUIRE_FIXTURE("access/V2010/indexTestV2010.accdb");
    testenv::TempDir dir;
    const std::string file = dir.copyFixture("access/V2010/indexTestV2010.accdb").string();
    db::Connection c;
    c.open(db::buildAccessConnectionString(db::LoginFields{}, file, ""));
    const db::TableStructure t1 = c.tableStructure("table1");  // letter case ignored
    EXPECT_EQ(t1.name, "Table1");
    ASSERT_NE(t1.primaryKey(), nullptr);
    ASSERT_EQ(t1.primaryKey()->columns.size(), 1u);
    EXPECT_EQ(t1.primaryKey()->columns[0].name, "id");
    EXPECT_TRUE(t1.column("ID")->required);
    // As MSysRelationships has them: one cascading deletes, one updates.
    ASSERT_EQ(t1.foreignKeys.size(), 2u);
    EXPECT_EQ(t1.foreignKeys[0].name, "Table2Table1");
    EXPECT_EQ(t1.foreignKeys[0].columns, (std::vector<std::string>{"otherfk1"}));
    EXPECT_EQ(t1.foreignKeys[0].referencedTable, "Table2");
    EXPECT_EQ(t1.foreignKeys[0].onDelete, db::ReferentialAction::Cascade);
    EXPECT_EQ(t1.foreignKeys[0].onUpdate, db::ReferentialAction::Restrict);
    EXPECT_EQ(t1.foreignKeys[1].name, "Table3Table1");
    EXPECT_EQ(t1.foreignKeys[1].onUpdate, db::ReferentialAction::Cascade);
    EXPECT_EQ(t1.foreignKeys[1].onDelete, db::ReferentialAction::Restrict);
    // The referenced tables have no keys of their own to other tables.
    EXPECT_TRUE(c.tableStructure("Table2").foreignKeys.empty());
    EXPECT_THROW(c.tableStructure("NoSuchTable"), db::Error);
}

}  // namespace
