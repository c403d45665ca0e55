// The type dialog's rules: proposals and the first-row sizing, the type check, replacement names
// for numeric fields, identifier quotes and the help texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/error.h"
#include "db/value.h"
#include "typecustom/column_proposals.h"
#include "typecustom/field_names.h"
#include "typecustom/type_proposal.h"
#include "typecustom/type_vocabulary.h"

using db::Value;
using transfer::Direction;
using typecustom::IsValidDataType;
using typecustom::proposeType;

namespace {

std::string propose(Direction t, std::string_view name, const Value* first = nullptr, int p = 0,
                    int s = 0, long declared = 0) {
    return proposeType(t, name, p, s, declared, first);
}

}  // namespace

TEST(Proposals, FixedProposalsForBothTargets) {
    const Value some = Value::text("whatever");
    for (const Value* first : {static_cast<const Value*>(nullptr), &some}) {
        for (Direction t : {Direction::MySqlToAccess, Direction::AccessToMySql}) {
            EXPECT_EQ(propose(t, "adBoolean", first), "BIT");
            EXPECT_EQ(propose(t, "adSmallInt", first), "SMALLINT");
            EXPECT_EQ(propose(t, "adInteger", first), "INT");
            for (auto d : {"adDBDate", "adFileTime"})
                EXPECT_EQ(propose(t, d, first), "DATETIME") << d;
        }
    }
}

// Each whole-number type into one that holds its whole range: Access's Byte is 0 to 255, its
// Integer 16 bits signed, its Long Integer 32; MySQL's TINYINT is signed.
TEST(Proposals, WholeNumbersKeepTheirRange) {
    const Direction a = Direction::MySqlToAccess, m = Direction::AccessToMySql;
    EXPECT_EQ(propose(a, "adTinyInt"), "SMALLINT");
    EXPECT_EQ(propose(m, "adTinyInt"), "TINYINT");
    EXPECT_EQ(propose(a, "adUnsignedTinyInt"), "TINYINT");
    EXPECT_EQ(propose(m, "adUnsignedTinyInt"), "TINYINT UNSIGNED");
    EXPECT_EQ(propose(a, "adUnsignedSmallInt"), "INT");
    EXPECT_EQ(propose(m, "adUnsignedSmallInt"), "SMALLINT UNSIGNED");
    EXPECT_EQ(propose(a, "adUnsignedInt", nullptr, 8), "INT");  // MEDIUMINT UNSIGNED
    EXPECT_EQ(propose(a, "adUnsignedInt", nullptr, 10), "decimal(20,0)");
    EXPECT_EQ(propose(m, "adUnsignedInt", nullptr, 10), "INT UNSIGNED");
    EXPECT_EQ(propose(a, "adBigInt", nullptr, 19), "decimal(20,0)");
    EXPECT_EQ(propose(m, "adBigInt", nullptr, 19), "BIGINT");
    EXPECT_EQ(propose(a, "adUnsignedBigInt", nullptr, 20), "decimal(20,0)");
    EXPECT_EQ(propose(m, "adUnsignedBigInt", nullptr, 20), "BIGINT UNSIGNED");
    const db::AccessFileFeatures ace16{true, false};
    EXPECT_EQ(proposeType(a, "adBigInt", 19, 0, 0, nullptr, ace16), "BIGINT");
    EXPECT_EQ(proposeType(a, "adUnsignedInt", 10, 0, 0, nullptr, ace16), "BIGINT");
    EXPECT_EQ(proposeType(a, "adUnsignedBigInt", 20, 0, 0, nullptr, ace16), "decimal(20,0)");
}

// A TIME may pass 24 hours or be negative: text long enough for "-838:59:59" and its fraction.
// Fractions of a second stay.
TEST(Proposals, TimesAndFractionsOfASecondAreKept) {
    const Direction a = Direction::MySqlToAccess, m = Direction::AccessToMySql;
    EXPECT_EQ(propose(a, "adDBTime"), "VARCHAR(10)");
    EXPECT_EQ(propose(a, "adDBTime", nullptr, 0, 3), "VARCHAR(14)");
    EXPECT_EQ(propose(a, "adDBTimeStamp", nullptr, 0, 0), "DATETIME");
    EXPECT_EQ(propose(a, "adDBTimeStamp", nullptr, 0, 6), "DATETIME");
    EXPECT_EQ(proposeType(a, "adDBTimeStamp", 0, 6, 0, nullptr, {true, true}),
              std::string(transfer::kExtendedDateTimeType));
    EXPECT_EQ(propose(a, "adDate"), "DATETIME");
    EXPECT_EQ(propose(m, "adDate"), "DATETIME(3)");  // Access keeps milliseconds
    EXPECT_EQ(propose(m, "adDBTimeStamp"), "DATETIME(6)");
}

TEST(Proposals, NoneRoundsToWholeNumbers) {
    EXPECT_EQ(propose(Direction::MySqlToAccess, "adSingle"), "Real");
    EXPECT_EQ(propose(Direction::AccessToMySql, "adSingle"), "Float");
    EXPECT_EQ(propose(Direction::MySqlToAccess, "adDouble"), "Float");
    EXPECT_EQ(propose(Direction::AccessToMySql, "adDouble"), "Real");
    EXPECT_EQ(propose(Direction::MySqlToAccess, "adCurrency"), "MONEY");
    EXPECT_EQ(propose(Direction::AccessToMySql, "adCurrency"), "decimal(19,4)");
    EXPECT_EQ(propose(Direction::AccessToMySql, "adNumeric", nullptr, 18, 4), "decimal(18,4)");
    EXPECT_EQ(propose(Direction::MySqlToAccess, "adDecimal", nullptr, 10, 2), "decimal(10,2)");
    // Above Access's precision, whole numbers keep room beside the fraction.
    EXPECT_EQ(propose(Direction::MySqlToAccess, "adNumeric", nullptr, 65, 30), "decimal(28,14)");
    EXPECT_EQ(propose(Direction::MySqlToAccess, "adNumeric", nullptr, 40, 20), "decimal(28,14)");
    EXPECT_EQ(propose(Direction::MySqlToAccess, "adNumeric", nullptr, 30, 29), "decimal(28,27)");
    EXPECT_EQ(propose(Direction::MySqlToAccess, "adNumeric", nullptr, 28, 28), "decimal(28,28)");
}

TEST(Proposals, LongTextAndBinaryColumnsAreNotSizedByTheirFirstValue) {
    const Value longText = Value::text(std::string(3, 'x'));
    for (const Value* first : {static_cast<const Value*>(nullptr), &longText}) {
        EXPECT_EQ(propose(Direction::MySqlToAccess, "adLongVarWChar", first), "TEXT");
        EXPECT_EQ(propose(Direction::MySqlToAccess, "adLongVarChar", first), "TEXT");
        EXPECT_EQ(propose(Direction::AccessToMySql, "adLongVarWChar", first), "LongText");
        EXPECT_EQ(propose(Direction::AccessToMySql, "adLongVarChar", first), "LongText");
    }
    const Value bytes = Value::binary({1, 2, 3});
    for (auto b : {"adBinary", "adVarBinary", "adLongVarBinary"}) {
        EXPECT_EQ(propose(Direction::AccessToMySql, b, &bytes), "LongBlob") << b;
        EXPECT_EQ(propose(Direction::MySqlToAccess, b, nullptr), "Image") << b;
    }
}

TEST(FirstRowSizing, LengthsAtTheThreshold) {
    const Value one = Value::text("a");
    const Value v255 = Value::text(std::string(255, 'b'));
    const Value v256 = Value::text(std::string(256, 'c'));
    const Value abc = Value::text("abc");
    for (Direction t : {Direction::MySqlToAccess, Direction::AccessToMySql}) {
        for (auto name : {"adVarChar", "adChar", "adVarWChar", "adWChar"}) {
            EXPECT_EQ(propose(t, name, &one), "VARCHAR(1)");
            EXPECT_EQ(propose(t, name, &v255), "VARCHAR(255)");
            EXPECT_EQ(propose(t, name, &v256), "TEXT");
            EXPECT_EQ(propose(t, name, &abc), "VARCHAR(3)");
        }
    }
}

TEST(FirstRowSizing, NoRowNullAndEmptyTextGive255) {
    const Value null = Value::null();
    const Value empty = Value::text("");
    for (Direction t : {Direction::MySqlToAccess, Direction::AccessToMySql}) {
        EXPECT_EQ(propose(t, "adVarWChar", nullptr), "VARCHAR(255)");
        EXPECT_EQ(propose(t, "adVarWChar", &null), "VARCHAR(255)");
        EXPECT_EQ(propose(t, "adVarWChar", &empty), "VARCHAR(255)");
        EXPECT_EQ(propose(t, "adGUID", nullptr), "VARCHAR(255)");
        EXPECT_EQ(propose(t, "", nullptr), "VARCHAR(255)");
    }
}

TEST(FirstRowSizing, NeverBelowTheDeclaredSize) {
    // A column declared with room for 100 characters whose first value is abc: the later values
    // may be as long as the column allows.
    const Value abc = Value::text("abc");
    const Value null = Value::null();
    const Value v200 = Value::text(std::string(200, 'x'));
    for (Direction t : {Direction::MySqlToAccess, Direction::AccessToMySql}) {
        EXPECT_EQ(propose(t, "adVarWChar", &abc, 0, 0, 100), "VARCHAR(100)");
        EXPECT_EQ(propose(t, "adChar", &abc, 0, 0, 2), "VARCHAR(3)");
        EXPECT_EQ(propose(t, "adVarChar", &v200, 0, 0, 255), "VARCHAR(255)");
        EXPECT_EQ(propose(t, "adVarChar", &abc, 0, 0, 256), "TEXT");
        EXPECT_EQ(propose(t, "adVarChar", &abc, 0, 0, 300), "TEXT");
        EXPECT_EQ(propose(t, "adVarChar", nullptr, 0, 0, 300), "TEXT");
        EXPECT_EQ(propose(t, "adVarChar", &null, 0, 0, 300), "TEXT");
        // With no first value, the declared size alone.
        EXPECT_EQ(propose(t, "adVarChar", nullptr, 0, 0, 20), "VARCHAR(20)");
        EXPECT_EQ(propose(t, "adVarChar", &null, 0, 0, 20), "VARCHAR(20)");
    }
    // The declared size of other kinds counts bytes, not characters: a GUID keeps its 38.
    db::Guid g{};
    const Value guid = Value::guid(g);
    EXPECT_EQ(propose(Direction::AccessToMySql, "adGUID", &guid, 0, 0, 16), "VARCHAR(38)");
    EXPECT_EQ(propose(Direction::AccessToMySql, "adVariant", &abc, 0, 0, 500), "VARCHAR(3)");
}

TEST(FirstRowSizing, CountsCharactersNotBytes) {
    const Value accents = Value::text("Ødegård");                         // 7 characters, 9 bytes
    const Value emoji = Value::text("\xF0\x9F\x98\x80\xF0\x9F\x98\x81");  // 2 characters
    EXPECT_EQ(propose(Direction::AccessToMySql, "adVarWChar", &accents), "VARCHAR(7)");
    EXPECT_EQ(propose(Direction::MySqlToAccess, "adVarChar", &emoji), "VARCHAR(2)");
    // 255 two-byte characters still fit.
    std::string s;
    for (int i = 0; i < 255; ++i)
        s += "\xC3\xA9";
    const Value wide = Value::text(s);
    EXPECT_EQ(propose(Direction::AccessToMySql, "adVarWChar", &wide), "VARCHAR(255)");
}

TEST(FirstRowSizing, UnlistedTypesAreSizedByTheirTextForm) {
    db::Guid g{};
    ASSERT_TRUE(db::parseGuid("{6A4D0E8E-1C1F-4E2A-9B3C-0123456789AB}", g));
    const Value guid = Value::guid(g);
    EXPECT_EQ(propose(Direction::AccessToMySql, "adGUID", &guid), "VARCHAR(38)");
    const Value num = Value::decimal(db::Decimal::parse("-12.50"));
    EXPECT_EQ(propose(Direction::MySqlToAccess, "adVarNumeric", &num), "VARCHAR(6)");
    EXPECT_EQ(propose(Direction::MySqlToAccess, "adEmpty", &num), "VARCHAR(6)");
}

TEST(IsValidDataType, AcceptsNamesFragmentsAndParameterisedTypes) {
    for (auto t : {"int",
                   "INT",
                   "Int",
                   "varchar (50)",
                   "VARCHAR(100)",
                   "NUMERIC(10,2)",
                   "DECIMAL(12,4)",
                   "BINARY(16)",
                   "VARBINARY(200)",
                   "FLOAT",
                   "DATE",
                   "TIME",
                   "e",
                   "",
                   "MEMO",
                   "uniqueidentifier",
                   "xml",
                   "decimal(18, 0)",
                   "nvarchar (50)",
                   "Bit\r\nChar",
                   "nchar(4)",
                   "decimal(19,4)",
                   "LONGBLOB_NOT char(x"})
        EXPECT_TRUE(IsValidDataType(t)) << t;
}

TEST(IsValidDataType, RejectsWhatTheVocabularyLacks) {
    for (auto t : {"DOUBLE", "Double(18,0)", "Float(18,0)", "LONGTEXT", "MEDIUMTEXT", "TINYTEXT",
                   "BLOB", "BOOLEAN", "MEDIUMINT", "OLEOBJECT", "ENUM('a','b')", "LongText",
                   "LongBlob", "int ", " int", "varchr", "xmlx"})
        EXPECT_FALSE(IsValidDataType(t)) << t;
}

TEST(IsValidDataType, TheVocabularyIsTheTwentySevenNamesJoinedByCrLf) {
    const std::string& v = typecustom::dataTypeVocabulary();
    EXPECT_EQ(v.substr(0, 20), "MEMO\r\nbigint\r\nBinary");
    EXPECT_EQ(v.substr(v.size() - 17), "VarChar (50)\r\nxml");
    std::size_t lines = 1;
    for (std::size_t i = v.find("\r\n"); i != std::string::npos; i = v.find("\r\n", i + 2))
        ++lines;
    EXPECT_EQ(lines, 27u);
}

TEST(NumericNames, WhatReadsAsANumber) {
    for (auto n : {"2021", "-5", "3.75", "1E3", "1e-3", "+7", ".5", "5.", " 42 ", "\t1\t", "0"})
        EXPECT_TRUE(typecustom::isNumericName(n)) << n;
    for (auto n : {"", " ", "1E", "1,5", "0x10", "12a", "a12", ".", "-", "1.2.3", "1 2", "E3", "ID",
                   "newfieldname0", "1e3.5"})
        EXPECT_FALSE(typecustom::isNumericName(n)) << n;
}

TEST(NewFieldName, SkipsNamesTheTableHas) {
    std::vector<std::string> names{"ID", "2021", "Name"};
    EXPECT_EQ(typecustom::NewFieldName(names), "newfieldname0");
    names.push_back("newfieldname0");
    EXPECT_EQ(typecustom::NewFieldName(names), "tempid1");
    names.push_back("tempid1");
    EXPECT_EQ(typecustom::NewFieldName(names), "tempid2");
    // "tempid1" alone does not count until "newfieldname0" is taken.
    EXPECT_EQ(typecustom::NewFieldName(std::vector<std::string>{"tempid1"}), "newfieldname0");
    // The comparison respects letter case.
    EXPECT_EQ(typecustom::NewFieldName(std::vector<std::string>{"NewFieldName0"}), "newfieldname0");
    EXPECT_EQ(typecustom::NewFieldName(std::vector<std::string>{}), "newfieldname0");
}

TEST(IdentifierQuotes, SquareBracketsOnlyForTheAccessTag) {
    std::string sql = "CREATE TABLE `T`(";
    typecustom::appendCustomColumn(sql, typecustom::identifierQuotes("ACCESS"), "ID", "INT");
    EXPECT_EQ(sql, "CREATE TABLE `T`([ID] INT,");
    for (auto tag : {"MySQL", "access", ""}) {
        std::string s;
        typecustom::appendCustomColumn(s, typecustom::identifierQuotes(tag), "Name", "TEXT");
        EXPECT_EQ(s, "`Name` TEXT,") << tag;
    }
}

TEST(IdentifierQuotes, BackquotesInsideANameAreDoubledAndBracketsRefuseWhatAccessCannotHold) {
    std::string s;
    typecustom::appendCustomColumn(s, typecustom::identifierQuotes("MySQL"), "x` text) SELECT 1 #",
                                   "TEXT");
    EXPECT_EQ(s, "`x`` text) SELECT 1 #` TEXT,");
    try {
        typecustom::appendCustomColumn(s, typecustom::identifierQuotes("ACCESS"), "a]b", "INT");
        ADD_FAILURE() << "not refused";
    } catch (const db::Error& e) {
        EXPECT_EQ(e.description(),
                  "The column name \"a]b\" cannot be used in an Access file: it holds the "
                  "character \"]\".");
    }
}

TEST(AccessNameSuggestion, ReplacesWhatAccessRefusesAndKeepsTheRest) {
    EXPECT_EQ(typecustom::accessNameSuggestion("a.b"), "a_b");
    EXPECT_EQ(typecustom::accessNameSuggestion("  [x]!`y`"), "_x___y_");
    EXPECT_EQ(typecustom::accessNameSuggestion("tab\there"), "tab_here");
    EXPECT_EQ(typecustom::accessNameSuggestion("   "), "Field");
    EXPECT_EQ(typecustom::accessNameSuggestion(std::string(70, 'n')), std::string(64, 'n'));
    std::string umlauts;
    for (int i = 0; i < 70; ++i)
        umlauts += "\xC3\xA4";
    EXPECT_EQ(typecustom::accessNameSuggestion(umlauts).size(), 128u);  // 64 characters
}

TEST(ProposedStatement, AsTheDialogsOkMakesItWithNothingChanged) {
    using typecustom::ColumnProposal;
    const std::vector<ColumnProposal> columns = {
        {"ID", "INT"}, {"2021", "SMALLINT"}, {"Name`s", "VARCHAR(12)"}, {"7", "BIT"}};
    EXPECT_EQ(typecustom::proposedCreateStatement("CREATE TABLE `T`(",
                                                  transfer::Direction::AccessToMySql, columns),
              "CREATE TABLE `T`(`ID` INT,`newfieldname0` SMALLINT,`Name``s` VARCHAR(12),"
              "`newfieldname0` BIT)");
    EXPECT_EQ(typecustom::proposedCreateStatement(
                  "CREATE TABLE `T`(", transfer::Direction::MySqlToAccess,
                  {{"ID", "INT"}, {"newfieldname0", "TEXT"}, {"3", "BIT"}}),
              "CREATE TABLE `T`([ID] INT,[newfieldname0] TEXT,[tempid1] BIT)");
    // No columns: the head as it stands, for the default mapping to complete.
    EXPECT_EQ(typecustom::proposedCreateStatement("CREATE TABLE `E`(",
                                                  transfer::Direction::AccessToMySql, {}),
              "CREATE TABLE `E`(");
}

TEST(HelpText, AccessHasEightLines) {
    EXPECT_EQ(typecustom::helpText("ACCESS").value(),
              "The following are the Data Types of ACCESS: \r\nText\r\nMemo\r\nINT\r\nDECIMAL\r\n"
              "DATETIME\r\nFLOAT\r\nOLEOBJECT");
}

TEST(HelpText, MySqlListsItsTypesAndOtherTagsHaveNone) {
    EXPECT_EQ(typecustom::helpText("MySQL").value(),
              "The following are the Data Types of MySQL: \r\nText\r\nBit\r\nBoolean\r\nDateTime"
              "\r\nDate\r\nTime\r\nTimestamp\r\nInteger\r\nnumeric(18, 0)\r\nSmallInt\r\nTinyint"
              "\r\nMediumint\r\nBigint\r\nVarChar (50)\r\nChar (50)\r\nDouble(18,0)\r\n"
              "Float(18,0)\r\nTinytext\r\nTinyblob\r\nBlob\r\nMediumtext\r\nMediumblob\r\n"
              "Longtext\r\nLongblob\r\nSet(1,2,3,so on)\r\nEnum(1,2,3,so on)");
    EXPECT_FALSE(typecustom::helpText("Access").has_value());
    EXPECT_FALSE(typecustom::helpText("MYSQL").has_value());
    EXPECT_FALSE(typecustom::helpText("").has_value());
}
