// The crash test: another program writes statement after statement into a copy of a real file,
// in transactions, and is killed (SIGKILL) at a random moment; the file then opens, passes the
// integrity check, and holds exactly the first K statements for some K at least as large as
// the last commit the program reported, and a whole number of transactions. Once with pages
// stamped directly, once with a long SQL script (tables with an index and long values created,
// filled and dropped).
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "db/jet/check/check.h"
#include "db/jet/database/database.h"
#include "db/jet/table/table_reader.h"
#include "tests/support/run_program.h"
#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;

struct ChildRun {
    int lastCommitted = 0;
    bool finished = false;
};

// Runs `jet_test_child` with `args` and kills it after `delay`, reading the commits it reports
// until then.
ChildRun runAndKill(const std::vector<std::string>& args, std::chrono::milliseconds delay) {
    ChildRun run;
    int out[2];
    if (::pipe(out) != 0) return run;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::close(out[1]);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(JET_TEST_CHILD));
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(JET_TEST_CHILD, argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    const auto deadline = std::chrono::steady_clock::now() + delay;
    std::string text;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        char buf[256];
        const ssize_t got = ::read(out[0], buf, sizeof buf);
        if (got <= 0) {
            run.finished = true;
            break;
        }
        text.append(buf, static_cast<std::size_t>(got));
    }
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    // Whatever the child printed before it died was a commit that had returned.
    char buf[256];
    ssize_t got;
    while ((got = ::read(out[0], buf, sizeof buf)) > 0)
        text.append(buf, static_cast<std::size_t>(got));
    ::close(out[0]);
    std::size_t at = 0;
    while ((at = text.find("committed ", at)) != std::string::npos) {
        at += 10;
        run.lastCommitted = std::atoi(text.c_str() + at);
    }
    return run;
}

// The statement numbers stamped into the pages of `db`.
std::vector<std::uint32_t> stamps(jet::Database& db) {
    std::vector<std::uint32_t> out;
    for (std::uint32_t p = 3; p < db.pager().pageCount(); ++p) {
        const auto page = db.pager().page(p);
        if (page->bytes[0] == 0x01 && std::memcmp(page->bytes.data() + 100, "STMP", 4) == 0) {
            std::uint32_t n = 0;
            for (int i = 0; i < 4; ++i)
                n |= static_cast<std::uint32_t>(page->bytes[104 + static_cast<std::size_t>(i)])
                     << (8 * i);
            out.push_back(n);
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST(Crash, AKilledWriterLeavesAPrefixOfItsStatements) {
    DM_REQUIRE_FIXTURE("access/V2003/test2V2003.mdb");
    constexpr int kCount = 4000;
    constexpr int kGroup = 50;
    std::mt19937 rng(20240611u);
    testenv::TempDir dir;
    int withCommits = 0;
    for (int round = 0; round < 16; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const fs::path file = dir.copyFixture("access/V2003/test2V2003.mdb");
        const auto delay = std::chrono::milliseconds(5 + rng() % 400);
        const ChildRun run = runAndKill(
            {"stamp", file.string(), std::to_string(kCount), std::to_string(kGroup)}, delay);
        if (run.lastCommitted > 0) ++withCommits;

        auto db = jet::Database::open(file.string(), {});
        const jet::CheckReport report = jet::checkDatabase(*db);
        EXPECT_TRUE(report.ok()) << testing::PrintToString(report.problems());
        const auto got = stamps(*db);
        for (std::size_t i = 0; i < got.size(); ++i)
            ASSERT_EQ(got[i], i) << "not a prefix of the statements";
        EXPECT_GE(got.size(), static_cast<std::size_t>(run.lastCommitted))
            << "a reported commit was lost";
        EXPECT_TRUE(got.size() % kGroup == 0 || got.size() == kCount)
            << got.size() << " statements: part of a transaction survived";
        EXPECT_FALSE(jet::journalIsLive(*jet::journalBeside(file.string())))
            << "reading left a transaction to undo";
        db.reset();
        fs::remove(file);
    }
    // The kills must land while the writer is writing, not all before its first commit.
    EXPECT_GT(withCommits, 3);
}

}  // namespace

namespace {

// The script of the SQL crash test and what each of its prefixes leaves in the file.
struct CrashScript {
    std::vector<std::string> lines;

    static std::string name(int i) { return "Name " + std::to_string(i) + " o'Brien"; }
    static std::string quoted(const std::string& s) {
        std::string out = "'";
        for (char c : s)
            out += c == '\'' ? std::string("''") : std::string(1, c);
        return out + "'";
    }
    static std::string note(int i) {
        if (i % 50 == 0) return std::string(9000, static_cast<char>('a' + i % 26));  // a chain
        if (i % 7 == 0) return std::string(3000, static_cast<char>('A' + i % 26));   // own page
        return "";
    }

    explicit CrashScript(int inserts) {
        lines.push_back(
            "CREATE TABLE `Orders`(`ID` INTEGER PRIMARY KEY, `Name` VARCHAR(40) NOT NULL, "
            "`Note` MEMO, `Amount` CURRENCY, `At` DATETIME);");
        for (int i = 0; i < inserts; ++i) {
            const std::string n = note(i);
            lines.push_back("INSERT INTO `Orders` VALUES(" + std::to_string(i) + ", " +
                            quoted(name(i)) + ", " + (n.empty() ? "NULL" : quoted(n)) + ", '" +
                            std::to_string(i % 1000) + ".25', '2024-03-0" +
                            std::to_string(1 + i % 9) + " 10:20:30')");
            if (i % 400 == 100)
                lines.push_back("CREATE TABLE `Side" + std::to_string(i) + "`(`X` INT)");
            if (i % 400 == 300) lines.push_back("DROP TABLE `Side" + std::to_string(i - 200) + "`");
        }
    }

    // After the first `k` lines: the rows of Orders (-1: no table yet) and the side tables.
    void stateAfter(std::size_t k, int& rows, std::set<std::string>& sides) const {
        rows = -1;
        sides.clear();
        for (std::size_t i = 0; i < k; ++i) {
            const std::string& l = lines[i];
            if (l.rfind("CREATE TABLE `Orders`", 0) == 0)
                rows = 0;
            else if (l.rfind("INSERT", 0) == 0)
                ++rows;
            else if (l.rfind("CREATE TABLE `", 0) == 0)
                sides.insert(l.substr(14, l.find('`', 14) - 14));
            else if (l.rfind("DROP TABLE `", 0) == 0)
                sides.erase(l.substr(12, l.find('`', 12) - 12));
        }
    }
};

TEST(Crash, AKilledScriptLeavesAPrefixOfItsLines) {
    DM_REQUIRE_FIXTURE("access/V2007/test2V2007.accdb");
    constexpr int kInserts = 20000;
    constexpr int kGroup = 200;
    const CrashScript script(kInserts);
    std::mt19937 rng(7091u);
    testenv::TempDir dir;
    const fs::path scriptFile = dir.path() / "script.sql";
    {
        std::ofstream out(scriptFile, std::ios::binary);
        for (const auto& l : script.lines)
            out << l << "\n";
    }
    int withCommits = 0;
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const fs::path file = dir.copyFixture("access/V2007/test2V2007.accdb");
        std::set<std::string> tablesBefore;
        {
            auto db = jet::Database::open(file.string(), {});
            for (const auto& t : db->userTableNames())
                tablesBefore.insert(t);
        }
        const auto delay = std::chrono::milliseconds(20 + rng() % 2000);
        const ChildRun run =
            runAndKill({"sql", file.string(), scriptFile.string(), std::to_string(kGroup)}, delay);
        if (run.lastCommitted > 0) ++withCommits;

        auto db = jet::Database::open(file.string(), {});
        const jet::CheckReport report = jet::checkDatabase(*db);
        EXPECT_TRUE(report.ok()) << testing::PrintToString(report.problems());

        // Which prefix the file holds, from what it holds.
        std::set<std::string> sides;
        for (const auto& t : db->userTableNames())
            if (!tablesBefore.count(t) && t != "Orders") sides.insert(t);
        int rows = -1;
        if (db->catalog().findTable("Orders")) {
            auto reader = db->openTable("Orders");
            std::vector<db::Value> row;
            std::set<std::int64_t> ids;
            rows = 0;
            while (reader->next(row)) {
                const int id = static_cast<int>(row[0].asInteger());
                ids.insert(id);
                ++rows;
                ASSERT_EQ(row[1].asText(), CrashScript::name(id));
                const std::string n = CrashScript::note(id);
                if (n.empty())
                    EXPECT_TRUE(row[2].isNull());
                else
                    EXPECT_EQ(row[2].asText(), n) << "row " << id;
            }
            ASSERT_EQ(ids.size(), static_cast<std::size_t>(rows));
            if (rows > 0) {
                ASSERT_EQ(*ids.rbegin(), rows - 1) << "rows missing in the middle";
            }
        }
        std::size_t k = 0;
        bool found = false;
        for (std::size_t cand = 0; cand <= script.lines.size() && !found; ++cand) {
            int r;
            std::set<std::string> s;
            script.stateAfter(cand, r, s);
            if (r == rows && s == sides) {
                k = cand;
                found = true;
            }
        }
        ASSERT_TRUE(found) << rows << " rows and " << sides.size()
                           << " side tables are no prefix of the script";
        EXPECT_GE(k, static_cast<std::size_t>(run.lastCommitted)) << "a reported commit was lost";
        EXPECT_TRUE(k % kGroup == 0 || k == script.lines.size())
            << k << " lines: part of a transaction survived";
        db.reset();
        fs::remove(file);
    }
    EXPECT_GT(withCommits, 3) << "the kills all came before the first commit";
}

}  // namespace

namespace {

// Another program that reads the file without the journal (mdbtools), after a writer was
// killed at each of its writes in turn: each table must be as the last commit left it or as
// the interrupted transaction would have left it, never anything between.
struct Tables {
    std::map<std::string, std::vector<std::string>> rows;  // table -> its rows, as printed
    std::string error;
};

Tables readWithMdbTools(const std::string& path) {
    Tables t;
    const auto listed = testenv::runProgram({"mdb-tables", "-1", path});
    if (listed.status != 0) {
        t.error = "mdb-tables: " + listed.err;
        return t;
    }
    std::istringstream names(listed.out);
    for (std::string name; std::getline(names, name);) {
        if (name != "Orders" && name.rfind("Side", 0) != 0) continue;
        const auto exported = testenv::runProgram({"mdb-export", "-H", "-d", "|", path, name});
        if (exported.status != 0) {
            t.error = "mdb-export " + name + ": " + exported.err;
            return t;
        }
        std::vector<std::string>& rows = t.rows[name];
        std::istringstream lines(exported.out);
        for (std::string line; std::getline(lines, line);)
            rows.push_back(line);
        std::sort(rows.begin(), rows.end());
    }
    return t;
}

// The script, and the tables as mdb-export prints them after each of its transactions.
struct KillScript {
    static constexpr std::size_t kGroup = 30;
    std::vector<std::string> lines;
    std::vector<std::map<std::string, std::vector<std::string>>> after;  // after k transactions

    KillScript() {
        lines.push_back("CREATE TABLE Orders (ID INTEGER PRIMARY KEY, Name TEXT(40), Note MEMO)");
        std::map<std::string, std::vector<std::string>> state;
        std::vector<std::function<void()>> effects;
        effects.push_back([&state] { state["Orders"]; });
        for (int i = 0; i < 150; ++i) {
            const std::string note = i % 5 == 0 ? std::string(3000, static_cast<char>('a' + i % 26))
                                                : std::string("short");
            lines.push_back("INSERT INTO Orders VALUES (" + std::to_string(i) + ", 'Name " +
                            std::to_string(i) + "', '" + note + "')");
            effects.push_back([&state, i, note] {
                state["Orders"].push_back(std::to_string(i) + "|\"Name " + std::to_string(i) +
                                          "\"|\"" + note + "\"");
            });
            if (i % 40 == 20) {
                const std::string side = "Side" + std::to_string(i);
                lines.push_back("CREATE TABLE " + side + " (X INTEGER)");
                effects.push_back([&state, side] { state[side]; });
                lines.push_back("INSERT INTO " + side + " VALUES (" + std::to_string(i) + ")");
                effects.push_back([&state, side, i] { state[side].push_back(std::to_string(i)); });
            }
            if (i % 40 == 35 && i > 40) {
                const std::string side = "Side" + std::to_string(i - 55);
                lines.push_back("DROP TABLE " + side);
                effects.push_back([&state, side] { state.erase(side); });
            }
        }
        after.push_back(state);
        for (std::size_t k = 0; k < lines.size(); ++k) {
            effects[k]();
            if ((k + 1) % kGroup == 0 || k + 1 == lines.size()) {
                auto sorted = state;
                for (auto& [name, rows] : sorted)
                    std::sort(rows.begin(), rows.end());
                after.push_back(sorted);
            }
        }
    }
};

TEST(Crash, AfterAKillAtAnyWriteOtherReadersSeeEachTableBeforeOrAfterTheTransaction) {
    DM_REQUIRE_FIXTURE("access/V2003/test2V2003.mdb");
    if (testenv::findOnPath("mdb-export").empty()) {
        if (testenv::underCi()) FAIL() << "mdbtools is not installed";
        GTEST_SKIP() << "mdbtools is not installed";
    }
    const KillScript script;
    testenv::TempDir dir;
    const fs::path scriptFile = dir.path() / "script.sql";
    {
        std::ofstream out(scriptFile, std::ios::binary);
        for (const auto& l : script.lines)
            out << l << "\n";
    }
    const std::string group = std::to_string(KillScript::kGroup);
    // How many writes the whole run makes.
    std::uint64_t writes = 0;
    {
        const fs::path file = dir.copyFixture("access/V2003/test2V2003.mdb", "count.mdb");
        const auto r = testenv::runProgram(
            {JET_TEST_CHILD, "sql", file.string(), scriptFile.string(), group, "0"});
        const auto at = r.out.find("writes ");
        ASSERT_NE(at, std::string::npos) << r.out << r.err;
        writes = std::stoull(r.out.substr(at + 7));
        ASSERT_EQ(readWithMdbTools(file.string()).rows, script.after.back());
    }
    ASSERT_GT(writes, 50u);
    const std::uint64_t step = std::max<std::uint64_t>(1, writes / 150);
    int between = 0;
    for (std::uint64_t killAt = 1; killAt <= writes; killAt += step) {
        SCOPED_TRACE("killed at write " + std::to_string(killAt) + " of " + std::to_string(writes));
        const fs::path file = dir.copyFixture("access/V2003/test2V2003.mdb", "killed.mdb");
        const auto r = testenv::runProgram({JET_TEST_CHILD, "sql", file.string(),
                                            scriptFile.string(), group, std::to_string(killAt)});
        std::size_t committed = 0;
        for (std::size_t at = 0; (at = r.out.find("committed ", at)) != std::string::npos;) {
            at += 10;
            committed = std::stoul(r.out.substr(at));
        }
        const std::size_t done =
            committed / KillScript::kGroup +
            (committed == script.lines.size() && committed % KillScript::kGroup ? 1 : 0);
        const auto& old = script.after[done];
        const auto& next = script.after[std::min(done + 1, script.after.size() - 1)];

        // Before this engine opens the file again.
        const Tables seen = readWithMdbTools(file.string());
        ASSERT_EQ(seen.error, "");
        std::set<std::string> names;
        for (const auto* state : {&old, &next, &seen.rows})
            for (const auto& [name, rows] : *state)
                names.insert(name);
        for (const auto& name : names) {
            const auto pick = [&](const auto& state) {
                auto it = state.find(name);
                return it == state.end() ? std::optional<std::vector<std::string>>()
                                         : std::optional<std::vector<std::string>>(it->second);
            };
            const auto got = pick(seen.rows);
            EXPECT_TRUE(got == pick(old) || got == pick(next))
                << name << ": " << (got ? std::to_string(got->size()) + " rows" : "no table")
                << ", but as committed " << (pick(old) ? pick(old)->size() : 0) << " and after "
                << (pick(next) ? pick(next)->size() : 0);
            if (got != pick(old)) ++between;
        }

        // This engine plays the journal back: a committed state, sound, and mdbtools agrees.
        {
            auto db = jet::Database::open(file.string(), {});
            const jet::CheckReport report = jet::checkDatabase(*db);
            EXPECT_TRUE(report.ok()) << testing::PrintToString(report.problems());
        }
        const Tables reopened = readWithMdbTools(file.string());
        EXPECT_TRUE(reopened.rows == old || reopened.rows == next);
        fs::remove(file);
        fs::remove(dir.path() / "killed.mdb.journal");
    }
    // Some kills must land after a table's new state was visible, or the test saw no commit.
    EXPECT_GT(between, 0);
}

}  // namespace
