// Every table of every unencrypted fixture, read by the engine, equals what an independent
// reader read from it (fixtures/expected/): the same user tables, columns in the same order, the
// same rows with the same values.
#include <gtest/gtest.h>

#include <set>

#include "db/jet/database/database.h"
#include "db/jet/table/table_reader.h"
#include "tests/support/expected_dump.h"
#include "tests/support/test_env.h"

namespace {

std::vector<std::string> dumps() {
    return testenv::listExpectedDumps(testenv::fixturesDir() / "expected");
}

std::string testName(const testing::TestParamInfo<std::string>& info) {
    std::string n;
    for (char c : info.param)
        n += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return n;
}

class OracleDump : public testing::TestWithParam<std::string> {};

TEST(OracleDumps, ArePresent) {
    DM_REQUIRE_FIXTURE("expected/README.md");
    EXPECT_GE(dumps().size(), 40u);
}

TEST_P(OracleDump, EveryTableEqualsTheOracle) {
    const std::string fixture = testenv::fixtureOfDump(GetParam());
    DM_REQUIRE_FIXTURE(fixture);
    const auto expected =
        testenv::readExpectedDump(testenv::fixturesDir() / "expected" / GetParam());
    auto db = jet::Database::open((testenv::fixturesDir() / fixture).string(), {});

    std::set<std::string> wantNames, gotNames;
    for (const auto& t : expected)
        wantNames.insert(t.name);
    for (const auto& n : db->userTableNames())
        gotNames.insert(n);
    EXPECT_EQ(gotNames, wantNames);

    for (const auto& want : expected) {
        SCOPED_TRACE("table " + want.name);
        auto reader = db->openTable(want.name);
        const auto& cols = reader->columns();
        ASSERT_EQ(cols.size(), want.columns.size());
        for (std::size_t i = 0; i < cols.size(); ++i)
            EXPECT_EQ(cols[i].def->name, want.columns[i].name) << "column " << i;
        EXPECT_EQ(reader->rowCount(), want.rows.size());

        std::vector<db::Value> row;
        std::size_t n = 0;
        int failures = 0;
        while (reader->next(row)) {
            ASSERT_LT(n, want.rows.size()) << "more rows than the oracle has";
            const auto& wantRow = want.rows[n];
            ASSERT_EQ(wantRow.size(), row.size()) << "row " << n;
            for (std::size_t i = 0; i < row.size() && failures < 20; ++i) {
                const std::string diff = testenv::compareValue(want.columns[i], wantRow[i], row[i]);
                if (!diff.empty()) {
                    ADD_FAILURE() << "row " << n << ", column " << want.columns[i].name << ": "
                                  << diff;
                    ++failures;
                }
            }
            ++n;
        }
        EXPECT_EQ(n, want.rows.size()) << "rows read";
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, OracleDump, testing::ValuesIn(dumps()), testName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(OracleDump);

}  // namespace
