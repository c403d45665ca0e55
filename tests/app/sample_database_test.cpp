// The sample database the build puts beside the program: its tables use every common column
// type, hold a few hundred rows of varied values, are what the generator's statements make, and
// are read by mdbtools.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "app/sample/sample_database.h"
#include "db/jet/check/check.h"
#include "db/jet/database/database.h"
#include "db/jet/table/table_reader.h"
#include "tests/jet/table_write_support.h"
#include "tests/support/run_program.h"
#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;

const fs::path kBuilt = DM_SAMPLE_DATABASE;

std::map<std::string, std::vector<std::vector<db::Value>>> contents(jet::Database& db) {
    std::map<std::string, std::vector<std::vector<db::Value>>> out;
    for (const auto& name : db.userTableNames()) {
        auto reader = db.openTable(name);
        std::vector<db::Value> row;
        while (reader->next(row))
            out[name].push_back(row);
    }
    return out;
}

std::unique_ptr<jet::Database> openBuilt() {
    return jet::Database::open(kBuilt.string(), jet::OpenOptions{});
}

TEST(SampleDatabase, IsBuiltBesideTheProgramAsAJet4File) {
    ASSERT_TRUE(fs::exists(kBuilt)) << kBuilt;
    EXPECT_EQ(kBuilt.parent_path().filename(), "Samples");
    const auto db = openBuilt();
    EXPECT_EQ(db->format().version, jet::Version::Jet4);
    EXPECT_EQ(db->userTableNames(),
              (std::vector<std::string>{"Customers", "Products", "Orders", "Order Details"}));
    const jet::CheckReport report = jet::checkDatabase(*db);
    EXPECT_TRUE(report.ok()) << ::testing::PrintToString(report.problems());
    EXPECT_EQ(tablewrite::checkAllTables(*db), std::vector<std::string>{});
}

TEST(SampleDatabase, UsesEveryCommonColumnType) {
    const auto db = openBuilt();
    std::set<jet::ColumnType> types;
    bool autoNumber = false;
    for (const auto& name : db->userTableNames()) {
        const auto def = db->tableDef(*db->catalog().findTable(name));
        for (const auto& c : def->columns) {
            types.insert(c.type);
            autoNumber = autoNumber || c.autoNumber();
        }
    }
    using T = jet::ColumnType;
    for (T t : {T::Boolean, T::Byte, T::Integer, T::Long, T::Currency, T::Single, T::Double,
                T::DateTime, T::Binary, T::Text, T::Ole, T::Memo, T::Guid, T::Decimal})
        EXPECT_TRUE(types.count(t)) << jet::columnTypeName(t);
    EXPECT_TRUE(autoNumber);
}

TEST(SampleDatabase, HoldsAFewHundredVariedRows) {
    const auto db = openBuilt();
    const auto rows = contents(*db);
    EXPECT_EQ(rows.at("Customers").size(), 120u);
    EXPECT_EQ(rows.at("Products").size(), 150u);
    EXPECT_EQ(rows.at("Orders").size(), 300u);
    EXPECT_GE(rows.at("Order Details").size(), 300u);

    // Nulls, apostrophes, text beyond Latin-1 and beyond the BMP, a memo longer than a page,
    // binary data, extremes of the number types and dates around the start of the date scale.
    bool nullText = false, apostrophe = false, cyrillic = false, emoji = false, longMemo = false,
         emptyMemo = false;
    for (const auto& r : rows.at("Customers")) {
        nullText = nullText || r[2].isNull();
        apostrophe = apostrophe || r[1].asText().find('\'') != std::string::npos;
        cyrillic = cyrillic || r[1].asText().find("Северный") != std::string::npos;
        if (!r[9].isNull()) {
            longMemo = longMemo || r[9].asText().size() > 4096;
            emptyMemo = emptyMemo || r[9].asText().empty();
        }
    }
    bool maxShort = false, minShort = false, bigPicture = false, oldDate = false;
    for (const auto& r : rows.at("Products")) {
        emoji = emoji || r[1].asText().find("😀") != std::string::npos;
        maxShort = maxShort || r[3] == db::Value::integer(32767);
        minShort = minShort || r[3] == db::Value::integer(-32768);
        bigPicture = bigPicture || (!r[12].isNull() && r[12].asBinary().size() > 4096);
        oldDate = oldDate || (!r[8].isNull() && r[8].asDateTime().year < 1800);
    }
    EXPECT_TRUE(nullText);
    EXPECT_TRUE(apostrophe);
    EXPECT_TRUE(cyrillic);
    EXPECT_TRUE(emoji);
    EXPECT_TRUE(longMemo);
    EXPECT_TRUE(emptyMemo);
    EXPECT_TRUE(maxShort);
    EXPECT_TRUE(minShort);
    EXPECT_TRUE(bigPicture);
    EXPECT_TRUE(oldDate);
}

TEST(SampleDatabase, IsWhatTheStatementsMakeEveryTime) {
    testenv::TempDir dir;
    const fs::path again = dir.path() / "sample.mdb";
    sample::writeSampleDatabase(again.string());
    const auto a = openBuilt();
    const auto b = jet::Database::open(again.string(), jet::OpenOptions{});
    EXPECT_EQ(contents(*a), contents(*b));
}

TEST(SampleDatabase, IsReadByMdbTools) {
    if (testenv::findOnPath("mdb-export").empty()) {
        if (testenv::underCi()) FAIL() << "mdb-export is not installed";
        GTEST_SKIP() << "mdb-export is not installed";
    }
    const auto db = openBuilt();
    const auto rows = contents(*db);
    const auto listed = testenv::runProgram({"mdb-tables", "-1", kBuilt.string()});
    EXPECT_EQ(listed.out, "Customers\nProducts\nOrders\nOrder Details\n");
    for (const auto& [name, tableRows] : rows) {
        // -e escapes line breaks inside values, so that one row is one line.
        const auto exported =
            testenv::runProgram({"mdb-export", "-e", "-b", "hex", kBuilt.string(), name});
        ASSERT_EQ(exported.status, 0) << exported.err;
        std::istringstream in(exported.out);
        std::size_t lines = 0;
        for (std::string l; std::getline(in, l);)
            ++lines;
        EXPECT_EQ(lines, tableRows.size() + 1) << name;
    }
}

}  // namespace
