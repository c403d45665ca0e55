// Access files through the data-access objects: Connection, Recordset, the tables schema and the
// table listing, as the windows use them.
#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/error.h"
#include "db/table_listing.h"
#include "tests/support/access_files.h"
#include "tests/support/expected_dump.h"
#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;

std::string fixture(const std::string& rel) {
    return (testenv::fixturesDir() / rel).string();
}

db::LoginFields loginFor(const std::string& path, const std::string& password = {}) {
    db::LoginFields l;
    l.accessPath = path;
    l.accessPassword = password;
    return l;
}

std::unique_ptr<db::Connection> openAccess(const std::string& path,
                                           const std::string& password = {}) {
    auto cn = std::make_unique<db::Connection>();
    cn->setCursorLocation(db::kAdUseClient);
    cn->open(db::buildAccessConnectionString(loginFor(path, password)));
    return cn;
}

// The error a statement raises, or a default error when it raises none.
template <typename F>
db::Error errorOf(F&& f) {
    try {
        f();
    } catch (const db::Error& e) {
        return e;
    }
    return db::Error(0, "no error");
}

// ---- every fixture through Connection and Recordset ----

class AccessOracle : public testing::TestWithParam<std::string> {};

TEST_P(AccessOracle, EveryTableReadsThroughARecordsetAsTheOracleHasIt) {
    const std::string rel = testenv::fixtureOfDump(GetParam());
    DM_REQUIRE_FIXTURE(rel);
    const auto expected =
        testenv::readExpectedDump(testenv::fixturesDir() / "expected" / GetParam());
    auto cn = openAccess(fixture(rel));
    for (const auto& want : expected) {
        SCOPED_TRACE("table " + want.name);
        db::Recordset rs;
        rs.open("SELECT * FROM [" + want.name + "]", *cn, db::kAdOpenStatic, db::kAdLockOptimistic);
        ASSERT_EQ(rs.fieldCount(), static_cast<int>(want.columns.size()));
        for (std::size_t i = 0; i < want.columns.size(); ++i)
            EXPECT_EQ(rs.field(i).name(), want.columns[i].name);
        EXPECT_EQ(rs.recordCount(), static_cast<long>(want.rows.size()));
        std::size_t n = 0;
        while (!rs.eof()) {
            ASSERT_LT(n, want.rows.size());
            for (std::size_t i = 0; i < want.columns.size(); ++i) {
                const std::string diff =
                    testenv::compareValue(want.columns[i], want.rows[n][i], rs.field(i).value());
                EXPECT_TRUE(diff.empty())
                    << "row " << n << ", " << want.columns[i].name << ": " << diff;
            }
            rs.moveNext();
            ++n;
        }
        EXPECT_EQ(n, want.rows.size());
        // The count is made when first asked for, so asking after the last row counts too.
        EXPECT_EQ(rs.recordCount(), static_cast<long>(want.rows.size()));
        rs.close();
        db::Recordset top;
        top.open("SELECT TOP 2 * FROM [" + want.name + "]", *cn);
        std::size_t stepped = 0;
        for (; !top.eof(); top.moveNext())
            ++stepped;
        EXPECT_EQ(stepped, std::min<std::size_t>(2, want.rows.size()));
        EXPECT_EQ(top.recordCount(), static_cast<long>(stepped));
    }
    cn->close();
}

std::string testName(const testing::TestParamInfo<std::string>& info) {
    std::string n;
    for (char c : info.param)
        n += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return n;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, AccessOracle,
                         testing::ValuesIn(testenv::listExpectedDumps(testenv::fixturesDir() /
                                                                      "expected")),
                         testName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(AccessOracle);

// ---- field type codes ----

// The type code of column `column` of `table` in `file`.
int typeOf(const std::string& file, const std::string& table, const std::string& column) {
    auto cn = openAccess(fixture(file));
    auto rs = cn->execute("SELECT * FROM [" + table + "]");
    return rs->field(column).type();
}

TEST(AccessFieldTypes, AreTheCodesTheAccessProviderReports) {
    DM_REQUIRE_FIXTURE("access/V2010/testV2010.accdb");
    const std::string f = "access/V2010/testV2010.accdb";
    EXPECT_EQ(typeOf(f, "Table1", "A"), 202);                                        // Text
    EXPECT_EQ(typeOf(f, "Table1", "C"), 17);                                         // Byte
    EXPECT_EQ(typeOf(f, "Table1", "D"), 2);                                          // Integer
    EXPECT_EQ(typeOf(f, "Table1", "E"), 3);                                          // Long Integer
    EXPECT_EQ(typeOf(f, "Table1", "F"), 5);                                          // Double
    EXPECT_EQ(typeOf(f, "Table1", "G"), 7);                                          // Date/Time
    EXPECT_EQ(typeOf(f, "Table1", "H"), 6);                                          // Currency
    EXPECT_EQ(typeOf(f, "Table1", "I"), 11);                                         // Yes/No
    EXPECT_EQ(typeOf("access/V1997/testIndexCodesV1997.mdb", "Table5", "data"), 4);  // Single
    EXPECT_EQ(typeOf("access/V1997/testIndexCodesV1997.mdb", "Table13", "data"), 72);  // GUID
    EXPECT_EQ(typeOf("access/V2000/fixedNumericTestV2000.mdb", "test", "col2"), 131);  // Decimal
    EXPECT_EQ(typeOf("access/V2000/fixedNumericTestV2000.mdb", "test", "col1"), 203);  // Memo
    EXPECT_EQ(typeOf("access/V2000/fixedTextTestV2000.mdb", "users", "c_flag_"),
              130);                                                                  // fixed Text
    EXPECT_EQ(typeOf("access/V2010/binIdxTestV2010.accdb", "Test", "BinAsc"), 204);  // Binary
    EXPECT_EQ(typeOf("access/V2019/extDateTestV2019.accdb", "Table1", "DateExt"), 135);
    EXPECT_EQ(typeOf("access/V2007/complexDataTestV2007.accdb", "Table1", "multi-value-data"), 203);
    EXPECT_EQ(typeOf("access/V2010/calcFieldTestV2010.accdb", "Table1", "MonthlySalary"), 6);
    EXPECT_EQ(typeOf("access/V2010/calcFieldTestV2010.accdb", "Table1", "IsRich"), 11);
}

TEST(AccessFieldTypes, OleObjectIs205AndBinaryValuesKeepTheirBytes) {
    DM_REQUIRE_FIXTURE("access/V2000/test2V2000.mdb");
    auto cn = openAccess(fixture("access/V2000/test2V2000.mdb"));
    auto rs = cn->execute("SELECT * FROM [MSP_PROJECTS]");
    int ole = -1;
    for (int i = 0; i < rs->fieldCount(); ++i)
        if (rs->field(static_cast<std::size_t>(i)).type() == 205) ole = i;
    ASSERT_GE(ole, 0);
    const db::Value& v = rs->field(static_cast<std::size_t>(ole)).value();
    ASSERT_EQ(v.kind(), db::Value::Kind::Binary);
    // An OLE object of a Word document, spread over a chain of long-value pages.
    EXPECT_EQ(v.asBinary().size(), 22970u);
    EXPECT_EQ(db::toHex(db::Bytes(v.asBinary().begin(), v.asBinary().begin() + 4)), "151c2d00");
}

TEST(AccessFieldTypes, DecimalAndCurrencyCarryPrecisionAndScale) {
    DM_REQUIRE_FIXTURE("access/V2010/calcFieldTestV2010.accdb");
    auto cn = openAccess(fixture("access/V2010/calcFieldTestV2010.accdb"));
    auto rs = cn->execute("SELECT * FROM [Table1]");
    EXPECT_EQ(rs->field("Popularity").precision(), 18);
    EXPECT_EQ(rs->field("Popularity").numericScale(), 6);
    EXPECT_EQ(rs->field("Salary").precision(), 19);
    EXPECT_EQ(rs->field("Salary").numericScale(), 4);
    EXPECT_EQ(rs->field("Salary").value().asCurrency().scaled, 1000000LL * 10000);
}

// ---- the tables schema ----

std::map<std::string, std::string> schemaOf(const std::string& rel) {
    auto cn = openAccess(fixture(rel));
    auto rs = cn->openSchema(db::kAdSchemaTables);
    std::map<std::string, std::string> out;
    while (!rs->eof()) {
        out[rs->field("TABLE_NAME").value().asText()] = rs->field("TABLE_TYPE").value().asText();
        rs->moveNext();
    }
    rs->close();
    cn->close();
    return out;
}

TEST(AccessSchema, NamesEveryKindOfTableLikeObject) {
    DM_REQUIRE_FIXTURE("access/V2003/queryTestV2003.mdb");
    DM_REQUIRE_FIXTURE("access/V2010/testV2010.accdb");
    const auto s = schemaOf("access/V2010/testV2010.accdb");
    EXPECT_EQ(s.at("Table1"), "TABLE");
    EXPECT_EQ(s.at("MSysObjects"), "SYSTEM TABLE");
    EXPECT_EQ(s.at("MSysNavPaneGroups"), "ACCESS TABLE");
    // The hidden tables that hold the values of complex columns are the engine's own.
    EXPECT_EQ(s.at("f_898C46872CBB42C3B522A0546A9097AC_Data"), "SYSTEM TABLE");
    const auto q = schemaOf("access/V2003/queryTestV2003.mdb");
    EXPECT_EQ(q.at("SelectQuery"), "VIEW");
    // Action queries are not views.
    EXPECT_EQ(q.count("UpdateQuery"), 0u);
    EXPECT_EQ(q.count("DeleteQuery"), 0u);
}

TEST(AccessSchema, HasTheFourColumnsOfTheTablesSchema) {
    DM_REQUIRE_FIXTURE("access/V2010/testV2010.accdb");
    auto cn = openAccess(fixture("access/V2010/testV2010.accdb"));
    auto rs = cn->openSchema(db::kAdSchemaTables);
    ASSERT_EQ(rs->fieldCount(), 4);
    EXPECT_EQ(rs->field(0).name(), "TABLE_CATALOG");
    EXPECT_EQ(rs->field(1).name(), "TABLE_SCHEMA");
    EXPECT_EQ(rs->field(2).name(), "TABLE_NAME");
    EXPECT_EQ(rs->field(3).name(), "TABLE_TYPE");
    EXPECT_TRUE(rs->field("TABLE_CATALOG").value().isNull());
    EXPECT_EQ(rs->recordCount(),
              static_cast<long>(schemaOf("access/V2010/testV2010.accdb").size()));
}

// ---- table listing ----

TEST(AccessTableListing, ListsOnlyUserTables) {
    DM_REQUIRE_FIXTURE("access/V2010/testV2010.accdb");
    const std::string path = fixture("access/V2010/testV2010.accdb");
    const auto names = db::getAccessTableNames(path, loginFor(path));
    ASSERT_TRUE(names.has_value());
    EXPECT_EQ(*names, (std::vector<std::string>{"Table1", "Table2", "Table3", "Table4"}));
}

TEST(AccessTableListing, AFileWithOnlySystemTablesListsNone) {
    DM_REQUIRE_FIXTURE("access/empty/empty2019.accdb");
    const std::string path = fixture("access/empty/empty2019.accdb");
    const auto names = db::getAccessTableNames(path, loginFor(path));
    ASSERT_TRUE(names.has_value());
    EXPECT_TRUE(names->empty());
}

TEST(AccessTableListing, AMissingFileGivesNoCollection) {
    testenv::TempDir dir;
    const std::string path = (dir.path() / "gone.mdb").string();
    EXPECT_FALSE(db::getAccessTableNames(path, loginFor(path)).has_value());
    EXPECT_FALSE(db::getAccessTableNames("", loginFor("")).has_value());
    // A folder is not a file.
    EXPECT_FALSE(
        db::getAccessTableNames(dir.path().string(), loginFor(dir.path().string())).has_value());
    EXPECT_FALSE(db::accessTableExists(path, "", "Table1"));
}

TEST(AccessTableListing, OpensWithTheLoginFieldsNotThePath) {
    DM_REQUIRE_FIXTURE("access/V2010/testV2010.accdb");
    DM_REQUIRE_FIXTURE("access/V2007/oldDatesV2007.accdb");
    // The path only decides whether to look; the connection is built from the login fields.
    const auto names =
        db::getAccessTableNames(fixture("access/V2010/testV2010.accdb"),
                                loginFor(fixture("access/V2007/oldDatesV2007.accdb")));
    ASSERT_TRUE(names.has_value());
    EXPECT_EQ(*names, std::vector<std::string>{"Table1"});
}

TEST(AccessTableListing, TableExistsIgnoresLetterCase) {
    DM_REQUIRE_FIXTURE("access/V2010/testV2010.accdb");
    const std::string path = fixture("access/V2010/testV2010.accdb");
    EXPECT_TRUE(db::accessTableExists(path, "", "table1"));
    EXPECT_TRUE(db::accessTableExists(path, "", "TABLE4"));
    EXPECT_FALSE(db::accessTableExists(path, "", "Table5"));
    // System tables are not user tables.
    EXPECT_FALSE(db::accessTableExists(path, "", "MSysObjects"));
}

// ---- statements and errors ----

TEST(AccessStatements, AcceptTheThreeQueryFormsAndTopN) {
    DM_REQUIRE_FIXTURE("access/V2000/testV2000.mdb");
    auto cn = openAccess(fixture("access/V2000/testV2000.mdb"));
    EXPECT_EQ(cn->execute("SELECT * FROM `Table1`")->recordCount(), 2);
    EXPECT_EQ(cn->execute("SELECT * FROM [table1]")->recordCount(), 2);
    EXPECT_EQ(cn->execute("select * from TABLE1;")->recordCount(), 2);
    auto top = cn->execute("SELECT top 1 * FROM [Table1]");
    EXPECT_EQ(top->recordCount(), 1);
    EXPECT_EQ(top->field("A").value().asText(), "abcdefg");
    top->moveNext();
    EXPECT_TRUE(top->eof());
    EXPECT_EQ(cn->execute("SELECT TOP 100 * FROM [Table1]")->recordCount(), 2);
}

TEST(AccessStatements, AnUnknownTableIsNamed) {
    DM_REQUIRE_FIXTURE("access/V2000/testV2000.mdb");
    auto cn = openAccess(fixture("access/V2000/testV2000.mdb"));
    const db::Error e = errorOf([&] { cn->execute("SELECT * FROM [No Such Table]"); });
    EXPECT_EQ(e.number(), db::errc::kNoSuchTable);
    EXPECT_EQ(e.description(),
              "The Access engine cannot find the table 'No Such Table'. Make sure it exists and "
              "that its name is spelled correctly.");
}

TEST(AccessStatements, AnUnknownStatementIsNamed) {
    DM_REQUIRE_FIXTURE("access/V2000/testV2000.mdb");
    auto cn = openAccess(fixture("access/V2000/testV2000.mdb"));
    const db::Error e = errorOf([&] { cn->execute("UPDATE Table1 SET A = 'x'"); });
    EXPECT_EQ(e.number(), db::errc::kSyntax);
    EXPECT_EQ(e.description(),
              "The statement \"UPDATE Table1 SET A = 'x'\" is not one the Access engine can run.");
}

TEST(AccessStatements, TransactionsAreCountedEvenWithNothingToWrite) {
    DM_REQUIRE_FIXTURE("access/V2000/testV2000.mdb");
    // A transaction locks the file for writing, which a test reading the shared fixture at the
    // same moment would refuse: this one works on its own copy.
    testenv::TempDir dir;
    auto cn = openAccess(dir.copyFixture("access/V2000/testV2000.mdb").string());
    EXPECT_EQ(errorOf([&] { cn->commitTrans(); }).description(), "No transaction is active.");
    cn->beginTrans();
    cn->commitTrans();
    cn->beginTrans();
    cn->rollbackTrans();
    EXPECT_EQ(errorOf([&] { cn->rollbackTrans(); }).number(), db::errc::kGeneric);
}

TEST(AccessOpening, AMissingFileIsReportedWithItsPath) {
    testenv::TempDir dir;
    const std::string path = (dir.path() / "missing.mdb").string();
    const db::Error e = errorOf([&] { openAccess(path); });
    EXPECT_EQ(e.number(), db::errc::kCannotOpen);
    EXPECT_EQ(e.description(), "Could not find file \"" + path + "\".");
}

TEST(AccessOpening, AFileThatIsNotAnAccessDatabaseIsRefused) {
    testenv::TempDir dir;
    const fs::path path = dir.path() / "notes.mdb";
    std::ofstream(path) << "These are not the pages of a database.\n";
    const db::Error e = errorOf([&] { openAccess(path.string()); });
    EXPECT_EQ(e.number(), db::errc::kCannotOpen);
    EXPECT_NE(e.description().find("is not an Access database"), std::string::npos)
        << e.description();
}

TEST(AccessOpening, RcEncodedMdbFilesOpenWithoutAPassword) {
    DM_REQUIRE_FIXTURE("access/encrypted/db-enc.mdb");
    for (const char* f : {"access/encrypted/db-enc.mdb", "access/encrypted/db97-enc.mdb"}) {
        const std::string path = fixture(f);
        const auto names = db::getAccessTableNames(path, loginFor(path));
        ASSERT_TRUE(names.has_value()) << f;
        EXPECT_EQ(*names, std::vector<std::string>{"Table1"}) << f;
        auto cn = openAccess(path);
        EXPECT_GT(cn->execute("SELECT * FROM [Table1]")->recordCount(), 0) << f;
    }
}

TEST(AccessPassword, AWrongPasswordFailsTheOpeningAndTheListing) {
    DM_REQUIRE_FIXTURE("access/V2000/testV2000.mdb");
    testenv::TempDir dir;
    const fs::path copy = dir.copyFixture("access/V2000/testV2000.mdb");
    testenv::setDatabasePassword(copy, "Tr0ub4dor");
    for (const char* wrong : {"", "tr0ub4dor"}) {
        const db::Error e = errorOf([&] { openAccess(copy.string(), wrong); });
        EXPECT_EQ(e.number(), db::errc::kWrongPassword);
        EXPECT_EQ(e.description(), "Not a valid password.");
        // The listing does not catch it: the caller's error report shows it.
        const db::Error l = errorOf(
            [&] { db::getAccessTableNames(copy.string(), loginFor(copy.string(), wrong)); });
        EXPECT_EQ(l.number(), db::errc::kWrongPassword);
    }
    const auto names = db::getAccessTableNames(copy.string(), loginFor(copy.string(), "Tr0ub4dor"));
    ASSERT_TRUE(names.has_value());
    EXPECT_FALSE(names->empty());
    EXPECT_TRUE(db::accessTableExists(copy.string(), "Tr0ub4dor", "table1"));
    EXPECT_EQ(errorOf([&] { db::accessTableExists(copy.string(), "x", "table1"); }).number(),
              db::errc::kWrongPassword);
}

TEST(AccessDamage, ADamagedFileGivesADataAccessError) {
    DM_REQUIRE_FIXTURE("access/V2000/test2V2000.mdb");
    testenv::TempDir dir;
    const fs::path copy = dir.copyFixture("access/V2000/test2V2000.mdb");
    auto bytes = testenv::readFile(copy);
    // Cut the file after its catalogue: the tables' pages are gone.
    bytes.resize(4096 * 8);
    testenv::writeFile(copy, bytes);
    const db::Error e = errorOf([&] {
        auto cn = openAccess(copy.string());
        auto names = db::getAccessTableNames(copy.string(), loginFor(copy.string()));
        for (const auto& n : names.value())
            cn->execute("SELECT * FROM [" + n + "]");
    });
    EXPECT_EQ(e.number(), db::errc::kCorrupt);
    EXPECT_EQ(e.description().rfind("The database file is damaged: ", 0), 0u) << e.description();
}

TEST(AccessEngineStart, AFailedStartIsReportedAsAMissingProvider) {
    db::setAccessEngineStarter([] {
        throw db::Error(db::errc::kProviderNotFound,
                        "Provider cannot be found. It may not be properly installed.");
    });
    const db::Error e = errorOf([] { db::Connection cn; });
    db::setAccessEngineStarter(nullptr);
    EXPECT_EQ(e.number(), 3706);
    // The built-in starter loads the crypto providers; in this build that works.
    EXPECT_NO_THROW(db::startAccessEngine());
}

}  // namespace
