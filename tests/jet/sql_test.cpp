// The SQL front end: the statements it knows, the names in all three spellings, TOP n, and the
// errors for everything else, which name the statement or the table.
#include <gtest/gtest.h>

#include "db/jet/base/error.h"
#include "db/jet/sql/executor.h"
#include "db/jet/sql/lexer.h"
#include "db/jet/sql/parser.h"
#include "tests/support/test_env.h"

namespace {

using jet::sql::parse;
using jet::sql::SelectStatement;

SelectStatement select(const std::string& sql) {
    return std::get<SelectStatement>(parse(sql));
}

std::string syntaxError(const std::string& sql) {
    try {
        parse(sql);
    } catch (const jet::Error& e) {
        EXPECT_EQ(e.kind(), jet::ErrorKind::Syntax) << e.message();
        return e.message();
    }
    ADD_FAILURE() << "parsed: " << sql;
    return "";
}

TEST(SqlParser, NamesBareInBackticksAndInBrackets) {
    EXPECT_EQ(select("SELECT * FROM Orders").table, "Orders");
    EXPECT_EQ(select("SELECT * FROM `Order Details`").table, "Order Details");
    EXPECT_EQ(select("SELECT * FROM [Order Details]").table, "Order Details");
    EXPECT_EQ(select("select * from [a-b.c]").table, "a-b.c");
    EXPECT_EQ(select("SELECT * FROM `SELECT`").table, "SELECT");
    EXPECT_EQ(select("SELECT * FROM Ünïcode").table, "Ünïcode");
    EXPECT_FALSE(select("SELECT * FROM t").top.has_value());
}

TEST(SqlParser, BlanksKeywordCaseAndTheFinalSemicolon) {
    EXPECT_EQ(select("  \tSeLeCt\r\n*\nfRoM  [x] ;  ").table, "x");
    EXPECT_EQ(select("SELECT*FROM[x]").table, "x");
    EXPECT_EQ(select("SELECT * FROM x;").table, "x");
}

TEST(SqlParser, TopTakesAWholeNumber) {
    EXPECT_EQ(select("SELECT top 1 * FROM [x]").top, 1u);
    EXPECT_EQ(select("SELECT TOP 250000 * FROM x").top, 250000u);
    EXPECT_EQ(select("SELECT TOP 0 * FROM x").top, 0u);
    EXPECT_EQ(syntaxError("SELECT TOP * FROM x"),
              "Syntax error in the statement \"SELECT TOP * FROM x\": TOP must be followed by a "
              "whole number.");
    EXPECT_NE(syntaxError("SELECT TOP 1.5 * FROM x").find("whole number"), std::string::npos);
    EXPECT_NE(syntaxError("SELECT TOP 99999999999999999999999 * FROM x").find("too large"),
              std::string::npos);
}

TEST(SqlParser, UnknownStatementsAreNamed) {
    EXPECT_EQ(syntaxError("ALTER TABLE x ADD c INT"),
              "The statement \"ALTER TABLE x ADD c INT\" is not one the Access engine can run.");
    EXPECT_EQ(syntaxError(" SELECT a, b FROM x "),
              "The statement \"SELECT a, b FROM x\" is not one the Access engine can run.");
    EXPECT_EQ(
        syntaxError("SELECT * FROM x WHERE a = 1"),
        "The statement \"SELECT * FROM x WHERE a = 1\" is not one the Access engine can run.");
    EXPECT_EQ(syntaxError("SELECT * FROM x; SELECT * FROM y"),
              "The statement \"SELECT * FROM x; SELECT * FROM y\" is not one the Access engine "
              "can run.");
    EXPECT_EQ(syntaxError("   "), "The statement is empty.");
}

TEST(SqlParser, MalformedStatementsSayWhatIsWrong) {
    EXPECT_EQ(syntaxError("SELECT * FROM [x"),
              "Syntax error in the statement \"SELECT * FROM [x\": a name opened with [ is not "
              "closed.");
    EXPECT_NE(syntaxError("SELECT * FROM `x").find("a name opened with ` is not closed"),
              std::string::npos);
    EXPECT_NE(syntaxError("SELECT * FROM []").find("a quoted name is empty"), std::string::npos);
    EXPECT_NE(syntaxError("SELECT * FROM").find("expected a table name after FROM"),
              std::string::npos);
    EXPECT_NE(syntaxError("SELECT * x").find("expected FROM"), std::string::npos);
    EXPECT_NE(syntaxError("SELECT * FROM x WHERE a = 'open").find("a text literal is not closed"),
              std::string::npos);
    EXPECT_NE(syntaxError("SELECT * FROM x ? y").find("the character '?'"), std::string::npos);
    EXPECT_NE(syntaxError("SELECT * FROM x # y").find("a date literal is not closed"),
              std::string::npos);
}

TEST(SqlLexer, LiteralsOfTheDialect) {
    const auto t = jet::sql::tokenize("'it''s' 12.5 .5 X'0aFF' [a b] `c`");
    ASSERT_EQ(t.size(), 7u);
    EXPECT_EQ(t[0].kind, jet::sql::TokenKind::Text);
    EXPECT_EQ(t[0].text, "it's");
    EXPECT_EQ(t[1].text, "12.5");
    EXPECT_EQ(t[2].text, ".5");
    EXPECT_EQ(t[3].kind, jet::sql::TokenKind::HexBinary);
    EXPECT_EQ(t[3].text, "0aFF");
    EXPECT_EQ(t[4].kind, jet::sql::TokenKind::QuotedName);
    EXPECT_EQ(t[4].text, "a b");
    EXPECT_EQ(t[5].text, "c");
    EXPECT_EQ(t[6].kind, jet::sql::TokenKind::End);
}

TEST(SqlExecutor, TopLimitsTheCountAndTheRows) {
    DM_REQUIRE_FIXTURE("access/V2010/testEmoticonsV2010.accdb");
    auto db = jet::Database::open(
        (testenv::fixturesDir() / "access/V2010/testEmoticonsV2010.accdb").string(), {});
    auto all = jet::sql::execute(*db, "SELECT * FROM [data]");
    EXPECT_EQ(all->rowCount(), 80u);
    for (std::uint64_t top : {0u, 1u, 79u, 80u, 81u, 1000u}) {
        auto r = jet::sql::execute(*db, "SELECT TOP " + std::to_string(top) + " * FROM data");
        const std::uint64_t want = std::min<std::uint64_t>(top, 80);
        EXPECT_EQ(r->rowCount(), want);
        std::vector<db::Value> row;
        std::uint64_t n = 0;
        while (r->next(row))
            ++n;
        EXPECT_EQ(n, want);
    }
}

TEST(SqlExecutor, UnknownTablesQueriesAndNamesInAnyCase) {
    DM_REQUIRE_FIXTURE("access/V2003/queryTestV2003.mdb");
    auto db = jet::Database::open(
        (testenv::fixturesDir() / "access/V2003/queryTestV2003.mdb").string(), {});
    auto kindOf = [&](const std::string& sql, std::string* message = nullptr) {
        try {
            jet::sql::execute(*db, sql);
        } catch (const jet::Error& e) {
            if (message) *message = e.message();
            return e.kind();
        }
        return jet::ErrorKind::Engine;
    };
    std::string message;
    EXPECT_EQ(kindOf("SELECT * FROM [Nowhere]", &message), jet::ErrorKind::NoSuchTable);
    EXPECT_EQ(message,
              "The Access engine cannot find the table 'Nowhere'. Make sure it exists and that its "
              "name is spelled correctly.");
    EXPECT_EQ(kindOf("SELECT * FROM [SelectQuery]", &message), jet::ErrorKind::NotSupported);
    EXPECT_EQ(message, "'SelectQuery' is a saved query, which the Access engine cannot run yet.");
    const auto names = db->userTableNames();
    ASSERT_FALSE(names.empty());
    std::string shouted = names[0];
    for (auto& c : shouted)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(kindOf("SELECT * FROM `" + shouted + "`"), jet::ErrorKind::Engine);
}

}  // namespace
