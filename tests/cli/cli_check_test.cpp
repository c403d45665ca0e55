// dunmorrow-cli check: the engine's integrity check of a file, its findings and its summary.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/cli/check_command.h"
#include "app/cli/commands.h"
#include "db/jet/check/check.h"
#include "tests/support/run_program.h"
#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = cli::runCommandLine(args, out, err);
    return {status, out.str(), err.str()};
}

TEST(CliCheck, ARealFileHasNoProblems) {
    DM_REQUIRE_FIXTURE("access/V2003/test2V2003.mdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/V2003/test2V2003.mdb");
    const CliRun r = run({"check", file.string()});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.find("problem:"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.rfind("Checked "), r.out.find("Checked ")) << r.out;
    EXPECT_NE(r.out.rfind("): no problems.\n"), std::string::npos) << r.out;
}

TEST(CliCheck, FindsAPageThatIsBothFreeAndUsed) {
    DM_REQUIRE_FIXTURE("access/misc/emptyJet4.mdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/misc/emptyJet4.mdb");
    // Mark page 2, the catalogue's definition, free in the free-page map (row 0 of page 1,
    // an inline map from page 0 whose bitmap starts 5 bytes into the row).
    {
        std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
        std::vector<char> page(4096);
        f.seekg(4096);
        f.read(page.data(), 4096);
        const auto slot =
            static_cast<std::uint8_t>(page[14]) | (static_cast<std::uint8_t>(page[15]) << 8);
        page[(slot & 0x1FFF) + 5] = static_cast<char>(page[(slot & 0x1FFF) + 5] | 0x04);
        f.seekp(4096);
        f.write(page.data(), 4096);
    }
    const CliRun r = run({"check", file.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind("problem: pages: ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("page 2"), std::string::npos) << r.out;
    EXPECT_NE(r.out.rfind(": 1 problem.\n"), std::string::npos) << r.out;
}

TEST(CliCheck, MissingFilesAndWrongPasswordsAreErrors) {
    DM_REQUIRE_FIXTURE("access/V2003/test2V2003.mdb");
    testenv::TempDir dir;
    const fs::path missing = dir.path() / "nope.mdb";
    const CliRun r = run({"check", missing.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "dunmorrow-cli: Could not find file \"" + missing.string() + "\".\n");
    EXPECT_FALSE(fs::exists(missing));
    const fs::path file = dir.copyFixture("access/V2003/test2V2003.mdb");
    ASSERT_EQ(run({"set-password", file.string(), "secret"}).status, 0);
    const CliRun wrong = run({"check", file.string(), "--password", "guess"});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(wrong.err, "dunmorrow-cli: Not a valid password.\n");
    EXPECT_EQ(run({"check", file.string(), "--password=secret"}).status, 0);
    EXPECT_EQ(run({"check"}).status, 2);
}

TEST(CliCheck, TheProgramPrintsTheReportOnStandardOutput) {
    DM_REQUIRE_FIXTURE("access/V2010/testV2010.accdb");
    const auto r = testenv::runProgram(
        {DM_CLI_PATH, "check", (testenv::fixturesDir() / "access/V2010/testV2010.accdb").string()});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.rfind("): no problems.\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "");
}

TEST(CliCheck, ReportText) {
    jet::CheckReport report;
    report.pages = 20;
    report.freePages = 1;
    report.orphanPages = 0;
    report.tables = 4;
    report.rows = 1;
    report.longValues = 2;
    EXPECT_EQ(cli::formatCheckReport(report),
              "Checked 4 tables, 1 row, 2 long values and 20 pages (1 free, 0 unused): no "
              "problems.\n");
    report.note("pages", "Page 9 belongs to nothing.");
    report.problem("indexes", "Index 0 of 'T' lacks a row.");
    report.problem("long values", "A memo of 'T' ends early.");
    EXPECT_EQ(cli::formatCheckReport(report),
              "problem: indexes: Index 0 of 'T' lacks a row.\n"
              "problem: long values: A memo of 'T' ends early.\n"
              "note: pages: Page 9 belongs to nothing.\n"
              "Checked 4 tables, 1 row, 2 long values and 20 pages (1 free, 0 unused): 2 "
              "problems.\n");
}

TEST(CliCheck, IsInTheHelp) {
    const CliRun r = run({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("dunmorrow-cli check FILE [--password P]"), std::string::npos);
}

}  // namespace
