// The SQL front end of the Access dialect: every statement form, the type names and their
// synonyms, literals, and the exact messages of statements it refuses.
#include <gtest/gtest.h>

#include "db/jet/base/error.h"
#include "db/jet/sql/parser.h"

namespace {

using namespace jet::sql;
using jet::ColumnType;

std::string errorOf(std::string_view sql) {
    try {
        parse(sql);
    } catch (const jet::Error& e) {
        return e.message();
    }
    return "(no error)";
}

CreateTableStatement create(std::string_view sql) {
    return std::get<CreateTableStatement>(parse(sql));
}

DeclaredType typeOf(const std::string& type) {
    return create("CREATE TABLE t (c " + type + ")").columns.at(0).type;
}

TEST(SqlParser, SelectFormsKeepTheirTableAndTop) {
    auto s = std::get<SelectStatement>(parse("SELECT * FROM `Order Details`"));
    EXPECT_EQ(s.table, "Order Details");
    EXPECT_FALSE(s.top);
    s = std::get<SelectStatement>(parse("select top 5 * from [T 1];"));
    EXPECT_EQ(s.table, "T 1");
    EXPECT_EQ(*s.top, 5u);
    s = std::get<SelectStatement>(parse("SELECT a1.* FROM t AS a1"));
    EXPECT_EQ(s.table, "t");
}

TEST(SqlParser, SelectIntoInBothForms) {
    auto s =
        std::get<SelectIntoStatement>(parse("SELECT a1.* INTO `New Name` FROM `Old Name` AS a1;"));
    EXPECT_EQ(s.target, "New Name");
    EXPECT_EQ(s.source, "Old Name");
    s = std::get<SelectIntoStatement>(parse("SELECT * INTO b FROM a"));
    EXPECT_EQ(s.target, "b");
    EXPECT_EQ(s.source, "a");
    s = std::get<SelectIntoStatement>(parse("SELECT a.* INTO b FROM a"));
    EXPECT_EQ(s.source, "a");
    EXPECT_EQ(errorOf("SELECT x.* INTO b FROM a AS a1"),
              "Syntax error in the statement \"SELECT x.* INTO b FROM a AS a1\": 'x.*' names no "
              "table of the FROM clause.");
}

TEST(SqlParser, CreateTableWithEveryQuotingAndConstraint) {
    const auto s = create(
        "CREATE TABLE `My Table`([ID] COUNTER PRIMARY KEY, `Name` VARCHAR (50) NOT NULL, "
        "Note TEXT WITH COMPRESSION, Amount DECIMAL(12, 4) NULL);");
    EXPECT_EQ(s.table, "My Table");
    ASSERT_EQ(s.columns.size(), 4u);
    EXPECT_EQ(s.columns[0].name, "ID");
    EXPECT_TRUE(s.columns[0].type.autoNumber);
    EXPECT_EQ(s.columns[0].type.type, ColumnType::Long);
    EXPECT_EQ(s.primaryKey, std::vector<std::string>{"ID"});
    EXPECT_EQ(s.columns[1].type.type, ColumnType::Text);
    EXPECT_EQ(s.columns[1].type.size, 50);
    EXPECT_EQ(s.columns[1].type.written, "VARCHAR (50)");
    EXPECT_TRUE(s.columns[1].notNull);
    EXPECT_EQ(s.columns[2].type.type, ColumnType::Memo);
    EXPECT_TRUE(s.columns[2].compressed);
    EXPECT_EQ(s.columns[3].type.type, ColumnType::Decimal);
    EXPECT_EQ(s.columns[3].type.precision, 12);
    EXPECT_EQ(s.columns[3].type.scale, 4);
    EXPECT_FALSE(s.columns[3].notNull);
}

TEST(SqlParser, TableLevelPrimaryKeyWithName) {
    const auto s = create("CREATE TABLE t (a INT, b INT, CONSTRAINT pk_t PRIMARY KEY (b, a))");
    EXPECT_EQ(s.primaryKey, (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(s.primaryKeyName, "pk_t");
    EXPECT_EQ(errorOf("CREATE TABLE t (a INT PRIMARY KEY, PRIMARY KEY (a))"),
              "Syntax error in the statement \"CREATE TABLE t (a INT PRIMARY KEY, PRIMARY KEY "
              "(a))\": the table has more than one primary key.");
}

TEST(SqlParser, TextWithoutLengthIsMemoButVarcharAndCharAreText255) {
    EXPECT_EQ(typeOf("TEXT").type, ColumnType::Memo);
    EXPECT_EQ(typeOf("TEXT(10)").type, ColumnType::Text);
    EXPECT_EQ(typeOf("TEXT(10)").size, 10);
    for (const char* t : {"VARCHAR", "CHAR", "NVARCHAR", "NCHAR", "CHARACTER", "STRING",
                          "NATIONAL CHAR VARYING", "character varying"}) {
        EXPECT_EQ(typeOf(t).type, ColumnType::Text) << t;
        EXPECT_EQ(typeOf(t).size, 255) << t;
    }
    EXPECT_EQ(typeOf("nchar (10)").size, 10);
    EXPECT_EQ(typeOf("Char (10)").size, 10);
}

TEST(SqlParser, EverySynonymMapsToItsAccessType) {
    const std::vector<std::pair<const char*, ColumnType>> cases = {
        {"MEMO", ColumnType::Memo},
        {"LONGTEXT", ColumnType::Memo},
        {"ntext", ColumnType::Memo},
        {"BIT", ColumnType::Boolean},
        {"YESNO", ColumnType::Boolean},
        {"BOOLEAN", ColumnType::Boolean},
        {"LOGICAL", ColumnType::Boolean},
        {"BYTE", ColumnType::Byte},
        {"tinyint", ColumnType::Byte},
        {"SMALLINT", ColumnType::Integer},
        {"SHORT", ColumnType::Integer},
        {"INT", ColumnType::Long},
        {"INTEGER", ColumnType::Long},
        {"LONG", ColumnType::Long},
        {"BIGINT", ColumnType::BigInt},
        {"REAL", ColumnType::Single},
        {"SINGLE", ColumnType::Single},
        {"FLOAT", ColumnType::Double},
        {"DOUBLE", ColumnType::Double},
        {"MONEY", ColumnType::Currency},
        {"CURRENCY", ColumnType::Currency},
        {"DATETIME", ColumnType::DateTime},
        {"DATE", ColumnType::DateTime},
        {"TIME", ColumnType::DateTime},
        {"TIMESTAMP", ColumnType::DateTime},
        {"DECIMAL", ColumnType::Decimal},
        {"NUMERIC", ColumnType::Decimal},
        {"IMAGE", ColumnType::Ole},
        {"OLEOBJECT", ColumnType::Ole},
        {"LONGBINARY", ColumnType::Ole},
        {"UNIQUEIDENTIFIER", ColumnType::Guid},
        {"GUID", ColumnType::Guid},
        {"COUNTER", ColumnType::Long},
        {"AUTOINCREMENT", ColumnType::Long},
        {"BINARY(16)", ColumnType::Binary},
        {"VARBINARY (50)", ColumnType::Binary},
    };
    for (const auto& [name, type] : cases)
        EXPECT_EQ(typeOf(name).type, type) << name;
    EXPECT_TRUE(typeOf("AUTOINCREMENT").autoNumber);
    EXPECT_FALSE(typeOf("INT").autoNumber);
    EXPECT_EQ(typeOf("DECIMAL").precision, 18);
    EXPECT_EQ(typeOf("DECIMAL").scale, 0);
    EXPECT_EQ(typeOf("numeric(18, 0)").precision, 18);
    EXPECT_EQ(typeOf("DECIMAL(5)").precision, 5);
    EXPECT_EQ(typeOf("BINARY").size, 510);
    EXPECT_EQ(typeOf("VarBinary (50)").size, 50);
}

TEST(SqlParser, TypeSizesOutsideTheirRangesAreRefused) {
    EXPECT_EQ(errorOf("CREATE TABLE t (c TEXT(256))"),
              "Syntax error in the statement \"CREATE TABLE t (c TEXT(256))\": column 'c': a text "
              "column holds from 1 to 255 characters, not 256.");
    EXPECT_EQ(errorOf("CREATE TABLE t (c VARCHAR(0))"),
              "Syntax error in the statement \"CREATE TABLE t (c VARCHAR(0))\": column 'c': a "
              "text column holds from 1 to 255 characters, not 0.");
    EXPECT_EQ(errorOf("CREATE TABLE t (c DECIMAL(29,2))"),
              "Syntax error in the statement \"CREATE TABLE t (c DECIMAL(29,2))\": column 'c': "
              "the precision of a decimal column is from 1 to 28, not 29.");
    EXPECT_EQ(errorOf("CREATE TABLE t (c DECIMAL(5,6))"),
              "Syntax error in the statement \"CREATE TABLE t (c DECIMAL(5,6))\": column 'c': "
              "the scale of a decimal column is from 0 to its precision (5), not 6.");
    EXPECT_EQ(errorOf("CREATE TABLE t (c INT(4))"),
              "Syntax error in the statement \"CREATE TABLE t (c INT(4))\": column 'c': the type "
              "INT takes no size.");
    EXPECT_EQ(errorOf("CREATE TABLE t (c BINARY(511))"),
              "Syntax error in the statement \"CREATE TABLE t (c BINARY(511))\": column 'c': a "
              "binary column holds from 1 to 510 bytes, not 511.");
}

TEST(SqlParser, TypesAccessDoesNotKnowAreNamed) {
    for (const char* t : {"BLOB", "MEDIUMINT", "sql_variant", "xml", "smalldatetime"}) {
        const std::string sql = std::string("CREATE TABLE t (c ") + t + ")";
        EXPECT_NE(errorOf(sql).find("is not a data type Access knows"), std::string::npos) << t;
    }
    EXPECT_EQ(errorOf("CREATE TABLE t (c BLOB)"),
              "Syntax error in the statement \"CREATE TABLE t (c BLOB)\": column 'c': BLOB is not "
              "a data type Access knows.");
    EXPECT_EQ(errorOf("CREATE TABLE t (c Double(18,0))"),
              "Syntax error in the statement \"CREATE TABLE t (c Double(18,0))\": column 'c': the "
              "type DOUBLE takes no size.");
    EXPECT_EQ(errorOf("CREATE TABLE t (c)"),
              "Syntax error in the statement \"CREATE TABLE t (c)\": the column 'c' has no data "
              "type.");
}

TEST(SqlParser, InsertWithAndWithoutColumnList) {
    auto s = std::get<InsertStatement>(parse(
        "INSERT INTO `T` VALUES('7', NULL, 'don''t', -1.5E3, X'00ff10', TRUE, #2024-05-01#)"));
    EXPECT_EQ(s.table, "T");
    EXPECT_TRUE(s.columns.empty());
    ASSERT_EQ(s.values.size(), 7u);
    EXPECT_EQ(s.values[0].kind, Literal::Kind::Text);
    EXPECT_EQ(s.values[0].text, "7");
    EXPECT_EQ(s.values[1].kind, Literal::Kind::Null);
    EXPECT_EQ(s.values[2].text, "don't");
    EXPECT_EQ(s.values[3].kind, Literal::Kind::Number);
    EXPECT_EQ(s.values[3].text, "-1.5E3");
    EXPECT_EQ(s.values[4].kind, Literal::Kind::Binary);
    EXPECT_EQ(s.values[4].bytes, (std::vector<std::uint8_t>{0x00, 0xFF, 0x10}));
    EXPECT_EQ(s.values[5].kind, Literal::Kind::Boolean);
    EXPECT_TRUE(s.values[5].boolean);
    EXPECT_EQ(s.values[6].kind, Literal::Kind::Date);
    EXPECT_EQ(s.values[6].text, "2024-05-01");

    s = std::get<InsertStatement>(parse("insert into t ([a b], c) values ('', x'');"));
    EXPECT_EQ(s.columns, (std::vector<std::string>{"a b", "c"}));
    EXPECT_EQ(s.values[0].kind, Literal::Kind::Text);
    EXPECT_EQ(s.values[0].text, "");
    EXPECT_TRUE(s.values[1].bytes.empty());
}

TEST(SqlParser, TextLiteralsKeepEverythingButDoubledApostrophes) {
    const auto s = std::get<InsertStatement>(
        parse("INSERT INTO t VALUES('C:\\temp\\', '''; DROP TABLE x; --', '\xF0\x9F\x98\x80')"));
    EXPECT_EQ(s.values[0].text, "C:\\temp\\");
    EXPECT_EQ(s.values[1].text, "'; DROP TABLE x; --");
    EXPECT_EQ(s.values[2].text, "\xF0\x9F\x98\x80");
}

TEST(SqlParser, BadInsertsAreRefusedWithTheirStatement) {
    EXPECT_EQ(errorOf("INSERT INTO t (a, b) VALUES (1)"),
              "Syntax error in the statement \"INSERT INTO t (a, b) VALUES (1)\": the statement "
              "names 2 columns but gives 1 values.");
    EXPECT_EQ(errorOf("INSERT INTO t VALUES ('a)"),
              "Syntax error in the statement \"INSERT INTO t VALUES ('a)\": a text literal is not "
              "closed.");
    EXPECT_EQ(errorOf("INSERT INTO t VALUES (X'ABC')"),
              "Syntax error in the statement \"INSERT INTO t VALUES (X'ABC')\": the binary literal "
              "X'ABC' has an odd number of digits.");
    EXPECT_EQ(errorOf("INSERT INTO t VALUES (X'GG')"),
              "Syntax error in the statement \"INSERT INTO t VALUES (X'GG')\": the binary literal "
              "X'GG' holds a character that is not a hexadecimal digit.");
    EXPECT_EQ(errorOf("INSERT INTO t VALUES (1 2)"),
              "Syntax error in the statement \"INSERT INTO t VALUES (1 2)\": expected a comma or "
              "\")\" after value 1.");
    EXPECT_EQ(errorOf("INSERT INTO t VALUES (abc)"),
              "Syntax error in the statement \"INSERT INTO t VALUES (abc)\": 'abc' is not a "
              "value.");
    EXPECT_EQ(errorOf("INSERT INTO t VALUES (1);;"),
              "Syntax error in the statement \"INSERT INTO t VALUES (1);;\": unexpected text after "
              "the end of the statement.");
}

TEST(SqlParser, DropTableAndTrailingSemicolon) {
    EXPECT_EQ(std::get<DropTableStatement>(parse("DROP TABLE `Orders`;")).table, "Orders");
    EXPECT_EQ(std::get<DropTableStatement>(parse("  drop table [a b]  ")).table, "a b");
    EXPECT_EQ(errorOf("DROP TABLE"),
              "Syntax error in the statement \"DROP TABLE\": expected a table name after DROP "
              "TABLE.");
}

TEST(SqlParser, StatementsTheEngineCannotRunAreNamed) {
    EXPECT_EQ(errorOf("UPDATE t SET a = 1"),
              "The statement \"UPDATE t SET a = 1\" is not one the Access engine can run.");
    EXPECT_EQ(errorOf("SELECT a FROM t"),
              "The statement \"SELECT a FROM t\" is not one the Access engine can run.");
    EXPECT_EQ(errorOf("SELECT * FROM t WHERE a = 1"),
              "The statement \"SELECT * FROM t WHERE a = 1\" is not one the Access engine can "
              "run.");
    EXPECT_EQ(errorOf("DROP INDEX i ON t"),
              "The statement \"DROP INDEX i ON t\" is not one the Access engine can run.");
    EXPECT_EQ(errorOf("   "), "The statement is empty.");
    EXPECT_EQ(errorOf("CREATE TABLE t (a INT UNIQUE)"),
              "The statement \"CREATE TABLE t (a INT UNIQUE)\" uses UNIQUE on column 'a', which "
              "the Access engine cannot create yet.");
}

TEST(SqlParser, NumbersRunningIntoWordsAreRefused) {
    EXPECT_EQ(errorOf("INSERT INTO t VALUES (12abc)"),
              "Syntax error in the statement \"INSERT INTO t VALUES (12abc)\": a number runs into "
              "the word after it.");
}

TEST(SqlParser, ColumnDefaultsAndAutoNumberSeeds) {
    const auto s = std::get<CreateTableStatement>(
        parse("CREATE TABLE t (id COUNTER(100, 1), a TEXT(5) DEFAULT 'x' NOT NULL, b INT NOT NULL "
              "DEFAULT -3, c DATETIME DEFAULT now(), d DATE DEFAULT Date ( ), e BIT DEFAULT "
              "False, f DATETIME DEFAULT #2024-05-01#, g INT DEFAULT (7), h INT DEFAULT NULL)"));
    ASSERT_EQ(s.columns.size(), 9u);
    EXPECT_TRUE(s.columns[0].type.autoNumber);
    EXPECT_EQ(s.columns[0].type.seed, 100u);
    EXPECT_FALSE(s.columns[0].defaultValue.has_value());
    const auto& a = *s.columns[1].defaultValue;
    EXPECT_EQ(a.kind, ColumnDefault::Kind::Value);
    EXPECT_EQ(a.value.kind, Literal::Kind::Text);
    EXPECT_EQ(a.value.text, "x");
    EXPECT_TRUE(s.columns[1].notNull);
    EXPECT_EQ(s.columns[2].defaultValue->value.text, "-3");
    EXPECT_TRUE(s.columns[2].notNull);
    EXPECT_EQ(s.columns[3].defaultValue->kind, ColumnDefault::Kind::Now);
    EXPECT_EQ(s.columns[4].defaultValue->kind, ColumnDefault::Kind::Date);
    EXPECT_EQ(s.columns[5].defaultValue->value.kind, Literal::Kind::Boolean);
    EXPECT_FALSE(s.columns[5].defaultValue->value.boolean);
    EXPECT_EQ(s.columns[6].defaultValue->value.kind, Literal::Kind::Date);
    EXPECT_EQ(s.columns[7].defaultValue->value.text, "7");
    EXPECT_EQ(s.columns[8].defaultValue->value.kind, Literal::Kind::Null);
    EXPECT_EQ(typeOf("AUTOINCREMENT").seed, 1u);
    EXPECT_EQ(typeOf("DATETIME2").type, ColumnType::ExtDateTime);
    EXPECT_EQ(errorOf("CREATE TABLE t (c DATETIME DEFAULT Now(1))"),
              "Syntax error in the statement \"CREATE TABLE t (c DATETIME DEFAULT Now(1))\": "
              "expected \")\" after Now( in the default of column 'c'.");
    EXPECT_EQ(errorOf("CREATE TABLE t (c INT DEFAULT)"),
              "Syntax error in the statement \"CREATE TABLE t (c INT DEFAULT)\": expected a "
              "value.");
}

TEST(SqlParser, CreateIndexInEveryForm) {
    auto s =
        std::get<CreateIndexStatement>(parse("CREATE INDEX [By Name] ON `T` (a, b DESC, c ASC)"));
    EXPECT_EQ(s.name, "By Name");
    EXPECT_EQ(s.table, "T");
    ASSERT_EQ(s.columns.size(), 3u);
    EXPECT_EQ(s.columns[1].name, "b");
    EXPECT_TRUE(s.columns[0].ascending);
    EXPECT_FALSE(s.columns[1].ascending);
    EXPECT_TRUE(s.columns[2].ascending);
    EXPECT_FALSE(s.unique || s.primary || s.disallowNull || s.ignoreNull);
    s = std::get<CreateIndexStatement>(parse("create unique index u on t (a) with primary;"));
    EXPECT_TRUE(s.unique && s.primary);
    EXPECT_TRUE(std::get<CreateIndexStatement>(parse("CREATE INDEX u ON t (a) WITH DISALLOW NULL"))
                    .disallowNull);
    EXPECT_TRUE(std::get<CreateIndexStatement>(parse("CREATE INDEX u ON t (a) WITH IGNORE NULL"))
                    .ignoreNull);
    EXPECT_EQ(errorOf("CREATE INDEX u ON t (a) WITH CLUSTER"),
              "Syntax error in the statement \"CREATE INDEX u ON t (a) WITH CLUSTER\": expected "
              "PRIMARY, DISALLOW NULL or IGNORE NULL after WITH.");
    EXPECT_EQ(errorOf("CREATE INDEX u t (a)"),
              "Syntax error in the statement \"CREATE INDEX u t (a)\": expected ON.");
    EXPECT_EQ(errorOf("CREATE INDEX u ON t (a b)"),
              "Syntax error in the statement \"CREATE INDEX u ON t (a b)\": expected a comma or "
              "\")\" after the column 'a' of the index.");
    EXPECT_EQ(errorOf("CREATE VIEW v AS SELECT * FROM t"),
              "The statement \"CREATE VIEW v AS SELECT * FROM t\" is not one the Access engine can "
              "run.");
}

TEST(SqlParser, AlterTableAddsConstraintsOnly) {
    auto s = std::get<AddConstraintStatement>(
        parse("ALTER TABLE `Orders` ADD CONSTRAINT `FK1` FOREIGN KEY (`a`, b) REFERENCES "
              "[Customers] (x, `y`) ON UPDATE CASCADE ON DELETE SET NULL"));
    EXPECT_EQ(s.table, "Orders");
    EXPECT_EQ(s.name, "FK1");
    EXPECT_EQ(s.kind, AddConstraintStatement::Kind::ForeignKey);
    EXPECT_EQ(s.columns, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(s.referencedTable, "Customers");
    EXPECT_EQ(s.referencedColumns, (std::vector<std::string>{"x", "y"}));
    EXPECT_TRUE(s.cascadeUpdates);
    EXPECT_EQ(s.onDelete, AddConstraintStatement::OnDelete::SetNull);
    s = std::get<AddConstraintStatement>(
        parse("alter table o add constraint f foreign key (a) references c (x) on delete cascade "
              "on update no action;"));
    EXPECT_FALSE(s.cascadeUpdates);
    EXPECT_EQ(s.onDelete, AddConstraintStatement::OnDelete::Cascade);
    s =
        std::get<AddConstraintStatement>(parse("ALTER TABLE o ADD CONSTRAINT f FOREIGN KEY (a) "
                                               "REFERENCES c (x) ON DELETE NO ACTION"));
    EXPECT_EQ(s.onDelete, AddConstraintStatement::OnDelete::NoAction);
    s = std::get<AddConstraintStatement>(
        parse("ALTER TABLE o ADD CONSTRAINT pk PRIMARY KEY (a, b)"));
    EXPECT_EQ(s.kind, AddConstraintStatement::Kind::PrimaryKey);
    EXPECT_EQ(s.columns.size(), 2u);
    s = std::get<AddConstraintStatement>(parse("ALTER TABLE o ADD CONSTRAINT u UNIQUE (a)"));
    EXPECT_EQ(s.kind, AddConstraintStatement::Kind::Unique);

    EXPECT_EQ(errorOf("ALTER TABLE o ADD CONSTRAINT f FOREIGN KEY (a, b) REFERENCES c (x)"),
              "Syntax error in the statement \"ALTER TABLE o ADD CONSTRAINT f FOREIGN KEY (a, b) "
              "REFERENCES c (x)\": the foreign key has 2 columns but references 1.");
    EXPECT_EQ(errorOf("ALTER TABLE o ADD CONSTRAINT f FOREIGN KEY (a) REFERENCES c (x) ON "
                      "DELETE RESTRICT"),
              "Syntax error in the statement \"ALTER TABLE o ADD CONSTRAINT f FOREIGN KEY (a) "
              "REFERENCES c (x) ON DELETE RESTRICT\": expected CASCADE, SET NULL or NO ACTION "
              "after ON DELETE.");
    EXPECT_EQ(errorOf("ALTER TABLE o ADD CONSTRAINT f FOREIGN KEY (a) REFERENCES c (x) ON "
                      "UPDATE CASCADE ON UPDATE CASCADE"),
              "Syntax error in the statement \"ALTER TABLE o ADD CONSTRAINT f FOREIGN KEY (a) "
              "REFERENCES c (x) ON UPDATE CASCADE ON UPDATE CASCADE\": ON UPDATE is given twice.");
    EXPECT_EQ(errorOf("ALTER TABLE o ADD CONSTRAINT f KEY (a)"),
              "Syntax error in the statement \"ALTER TABLE o ADD CONSTRAINT f KEY (a)\": expected "
              "PRIMARY KEY, UNIQUE or FOREIGN KEY after the constraint name.");
    // Changes of columns stay outside what the engine runs.
    EXPECT_EQ(errorOf("ALTER TABLE o DROP CONSTRAINT f"),
              "The statement \"ALTER TABLE o DROP CONSTRAINT f\" is not one the Access engine can "
              "run.");
    try {
        parse("ALTER TABLE o ADD CONSTRAINT c CHECK (a = 1)");
        ADD_FAILURE() << "parsed";
    } catch (const jet::Error& e) {
        EXPECT_EQ(e.kind(), jet::ErrorKind::NotSupported);
        EXPECT_EQ(e.message(),
                  "The statement \"ALTER TABLE o ADD CONSTRAINT c CHECK (a = 1)\" "
                  "adds a CHECK constraint, which the Access engine cannot create.");
    }
}

}  // namespace
