// The script runner against an Access file on a disk that fills up in the middle of the run:
// the result names the first line that may not be in effect, every line before it is in the
// file and none from it on, nothing else of the file changed, and the file is sound. The disk is
// the engine's file layer over the real files, with a budget of free bytes that the database
// and its journal share.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/error.h"
#include "db/jet/check/check.h"
#include "db/jet/database/database.h"
#include "db/jet/page/file.h"
#include "db/jet/page/journal.h"
#include "db/jet/table/table_reader.h"
#include "review/script_executor.h"
#include "tests/support/run_program.h"
#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;
using Status = review::ExecutionResult::Status;

// Every file under `folder` lives on a disk with `free` bytes left.
class FullDisk {
  public:
    FullDisk(const fs::path& folder, std::uint64_t free)
        : free_(std::make_shared<std::uint64_t>(free)) {
        const std::string prefix = folder.string() + "/";
        auto space = free_;
        jet::setFileLayer([prefix, space](std::unique_ptr<jet::File> f, const std::string& path) {
            if (path.rfind(prefix, 0) != 0) return f;
            jet::FaultyFile::Plan plan;
            plan.freeSpace = space;
            return std::unique_ptr<jet::File>(
                std::make_unique<jet::FaultyFile>(std::move(f), plan));
        });
    }
    ~FullDisk() { jet::setFileLayer(nullptr); }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;
    std::uint64_t left() const { return *free_; }

  private:
    std::shared_ptr<std::uint64_t> free_;
};

using Rows = std::vector<std::vector<db::Value>>;

std::map<std::string, Rows> everyTable(const fs::path& file) {
    auto db = jet::Database::open(file.string(), {});
    std::map<std::string, Rows> out;
    for (const auto& name : db->userTableNames()) {
        auto reader = db->openTable(name);
        std::vector<db::Value> row;
        Rows& rows = out[name];
        while (reader->next(row))
            rows.push_back(row);
    }
    return out;
}

struct Case {
    const char* name;
    bool transactions;
    std::uint64_t freeBytes;  // what the disk has left when the run starts
    int rows;
    std::size_t longest;  // the longest long value, in characters
    std::size_t group;    // lines to a transaction
};

std::string note(const Case& c, int i) {
    return std::string(c.longest / 6 + static_cast<std::size_t>(i * 37) % (c.longest * 5 / 6),
                       static_cast<char>('a' + i % 26));
}

// Lines of a script, CR LF between them: a table made, then rows with long values.
std::string script(const Case& c) {
    std::string s = "CREATE TABLE `Filled` (`ID` INTEGER PRIMARY KEY, `Note` MEMO)\r\n";
    for (int i = 0; i < c.rows; ++i)
        s += "INSERT INTO `Filled` VALUES (" + std::to_string(i) + ", '" + note(c, i) + "')\r\n";
    return s;
}

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class AccessFullDisk : public ::testing::TestWithParam<Case> {};

TEST_P(AccessFullDisk, NamesTheFirstLineNotInEffectAndLeavesEverythingElseAsItWas) {
    DM_REQUIRE_FIXTURE("access/V2007/test2V2007.accdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/V2007/test2V2007.accdb");
    const auto before = everyTable(file);
    const Case& c = GetParam();
    const review::ScriptText text(script(c));

    review::ExecutionResult r;
    {
        FullDisk disk(dir.path(), GetParam().freeBytes);
        db::Connection cn;
        db::LoginFields login;
        login.accessPath = file.string();
        cn.open(db::buildAccessConnectionString(login));
        review::ExecutionSettings settings;
        settings.direction = transfer::Direction::MySqlToAccess;
        settings.transactions = GetParam().transactions;
        settings.groupLines = c.group;
        settings.groupTime = std::chrono::milliseconds(60000);
        r = review::executeScript(cn, text, settings);
        cn.close();
    }
    ASSERT_NE(r.status, Status::Completed) << "the disk never filled";
    EXPECT_TRUE(r.status == Status::Rejected || r.status == Status::CommitFailed)
        << static_cast<int>(r.status);
    EXPECT_NE(r.description.find("No space left on device"), std::string::npos) << r.description;
    ASSERT_GT(r.line, 50u) << "the disk filled before the first lines were in";

    // Lines 1 .. r.line - 1 (counted from 0) are rows 0 .. r.line - 2.
    const auto after = everyTable(file);
    for (const auto& [name, rows] : before) {
        ASSERT_TRUE(after.count(name)) << name << " is gone";
        EXPECT_EQ(after.at(name), rows) << name << " changed";
    }
    ASSERT_TRUE(after.count("Filled"));
    const Rows& filled = after.at("Filled");
    ASSERT_EQ(filled.size(), r.line - 1)
        << "line " << r.line + 1 << " was named, but the rows in the file say otherwise";
    for (std::size_t i = 0; i < filled.size(); ++i) {
        ASSERT_EQ(filled[i][0], db::Value::integer(static_cast<std::int64_t>(i)));
        ASSERT_EQ(filled[i][1], db::Value::text(note(c, static_cast<int>(i))));
    }
    auto db = jet::Database::open(file.string(), {});
    EXPECT_FALSE(db->recovery().found) << "a journal was left to play back";
    const jet::CheckReport report = jet::checkDatabase(*db);
    EXPECT_TRUE(report.ok()) << testing::PrintToString(report.problems());
    db.reset();
    if (!testenv::findOnPath("mdb-export").empty()) {
        const auto exported = testenv::runProgram({"mdb-export", file.string(), "Filled"});
        EXPECT_EQ(exported.status, 0);
        EXPECT_EQ(std::count(exported.out.begin(), exported.out.end(), '\n'),
                  static_cast<std::ptrdiff_t>(filled.size() + 1));
    }
}

// Grouped: the disk fills while a group of lines is committed (200 lines in each);
// grouped, writing early: while the group's pages are written before it commits (more than the
// engine keeps in memory), which undoes the lines of the group before it too; one by one:
// while a line is committed.
INSTANTIATE_TEST_SUITE_P(Runs, AccessFullDisk,
                         testing::Values(Case{"grouped", true, 6u << 20, 3000, 3500, 200},
                                         Case{"grouped_writing_early", true, 16u << 20, 3200, 12000,
                                              5000},
                                         Case{"one_by_one", false, 2u << 20, 3000, 3500, 1}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
