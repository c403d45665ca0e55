// Which lines count as literal INSERTs that may be merged, and how they are taken apart.
#include <gtest/gtest.h>

#include "review/statement_shape.h"

using review::parseLiteralInsert;
using review::SqlDialect;

namespace {

const SqlDialect kDefault{};
const SqlDialect kNoBackslash{false, false};
const SqlDialect kAnsi{true, true};

bool qualifies(std::string_view sql, const SqlDialect& d = kDefault) {
    return parseLiteralInsert(sql, d).has_value();
}

}  // namespace

TEST(LiteralInsert, TakesTheTransferLinesApart) {
    const auto a = parseLiteralInsert("INSERT INTO `Orders` VALUES('7', NULL, 'don''t')", kDefault);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->head, "INSERT INTO `Orders` VALUES");
    EXPECT_EQ(a->values, "('7', NULL, 'don''t')");
    EXPECT_EQ(a->table, "Orders");
    EXPECT_EQ(a->schema, "");

    const auto b = parseLiteralInsert(
        "insert into shop.`my``table` (`a`, b)  values ( -1.5e3 , X'00ff', 0x1F, b'101', TRUE,"
        " DEFAULT, 'a' \"b\" ) , (2, .5, +3, false, null, 0b11, '')  ;  ",
        kDefault);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->head, "insert into shop.`my``table` (`a`, b)  values ");
    EXPECT_EQ(b->values,
              "( -1.5e3 , X'00ff', 0x1F, b'101', TRUE, DEFAULT, 'a' \"b\" ) , (2, .5, +3, false, "
              "null, 0b11, '')");
    EXPECT_EQ(b->schema, "shop");
    EXPECT_EQ(b->table, "my`table");

    const auto c = parseLiteralInsert("INSERT t VALUE()", kDefault);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->values, "()");
    EXPECT_EQ(c->table, "t");
}

TEST(LiteralInsert, ReadsQuotesAsTheServerDoes) {
    // With backslash escapes, \' does not end the string.
    const auto a = parseLiteralInsert("INSERT INTO t VALUES('C:\\\\temp\\'', 'x\\\\')", kDefault);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->values, "('C:\\\\temp\\'', 'x\\\\')");
    // Without them the same text ends early and what follows is no literal.
    EXPECT_FALSE(qualifies("INSERT INTO t VALUES('a\\', 'b')x", kNoBackslash));
    EXPECT_TRUE(qualifies("INSERT INTO t VALUES('a\\', 'b')", kNoBackslash));
    EXPECT_FALSE(qualifies("INSERT INTO t VALUES('a\\', 'b')", kDefault));  // unterminated
    // Under ANSI_QUOTES a double-quoted word is a column name, not a value.
    EXPECT_TRUE(qualifies("INSERT INTO t VALUES(\"x\")", kDefault));
    EXPECT_FALSE(qualifies("INSERT INTO t VALUES(\"x\")", kAnsi));
    EXPECT_TRUE(qualifies("INSERT INTO \"t\" VALUES('x')", kAnsi));
    // Quotes, semicolons and comment marks inside strings are text.
    EXPECT_TRUE(qualifies("INSERT INTO t VALUES('); DROP TABLE x; -- ', '/* # */')"));
    // Line breaks inside a value (lone CR or LF) are part of the string.
    EXPECT_TRUE(qualifies("INSERT INTO t VALUES('a\nb', 'c\rd')"));
}

TEST(LiteralInsert, RefusesAnythingButLiteralValues) {
    const char* const refused[] = {
        "INSERT INTO t VALUES(NOW())",
        "INSERT INTO t VALUES(LAST_INSERT_ID(), 1)",
        "INSERT INTO t VALUES((SELECT 1))",
        "INSERT INTO t VALUES(1 + 1)",
        "INSERT INTO t VALUES(-'5')",
        "INSERT INTO t VALUES(--5)",
        "INSERT INTO t VALUES(@v)",
        "INSERT INTO t VALUES(a)",
        "INSERT INTO t VALUES(_utf8mb4'x')",
        "INSERT INTO t VALUES(N'x')",
        "INSERT INTO t VALUES(1abc)",
        "INSERT IGNORE INTO t VALUES(1)",
        "INSERT LOW_PRIORITY INTO t VALUES(1)",
        "INSERT INTO t VALUES(1) ON DUPLICATE KEY UPDATE a = 1",
        "INSERT INTO t VALUES(1); INSERT INTO t VALUES(2)",
        "INSERT INTO t VALUES(1) -- note",
        "INSERT INTO t VALUES(1) # note",
        "INSERT INTO t /* note */ VALUES(1)",
        "INSERT INTO t VALUES(1",
        "INSERT INTO t VALUES('open",
        "INSERT INTO t SELECT 1",
        "INSERT INTO t SET a = 1",
        "INSERT INTO t (a + 1) VALUES(1)",
        "INSERT INTO t PARTITION (p0) VALUES(1)",
        "INSERT INTO t VALUES(1),",
        "INSERT INTO t VALUES(1) 2",
        "INSERT INTO VALUES(1)",
        "REPLACE INTO t VALUES(1)",
        "UPDATE t SET a = 1",
        "CREATE TABLE `t`(`a` INT)",
        "",
        "   ",
        " INSERT",
    };
    for (const char* sql : refused)
        EXPECT_FALSE(qualifies(sql)) << sql;
}

TEST(LeadingKeyword, UpperCasesTheFirstWord) {
    EXPECT_EQ(review::leadingKeyword("  insert into t"), "INSERT");
    EXPECT_EQ(review::leadingKeyword("Start Transaction"), "START");
    EXPECT_EQ(review::leadingKeyword("/*!40101 SET NAMES utf8 */"), "");
    EXPECT_EQ(review::leadingKeyword("(SELECT 1)"), "");
    EXPECT_EQ(review::leadingKeyword(""), "");
    EXPECT_TRUE(review::containsIgnoringCase("set AutoCommit = 0", "AUTOCOMMIT"));
    EXPECT_FALSE(review::containsIgnoringCase("SET NAMES utf8mb4", "AUTOCOMMIT"));
}
