// dunmorrow-cli: its commands in-process (output and status), and the program itself (streams
// and exit status as a script sees them).
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "app/cli/commands.h"
#include "app/cli/tsv.h"
#include "tests/support/access_files.h"
#include "tests/support/run_program.h"
#include "tests/support/test_env.h"

namespace {

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

std::string fixture(const std::string& rel) {
    return (testenv::fixturesDir() / rel).string();
}

TEST(CliTables, PrintsTheUserTablesOnePerLine) {
    DM_REQUIRE_FIXTURE("access/V2010/testV2010.accdb");
    const CliRun r = run({"tables", fixture("access/V2010/testV2010.accdb")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Table1\nTable2\nTable3\nTable4\n");
    EXPECT_EQ(r.err, "");
}

TEST(CliDump, PrintsAHeaderAndTheRows) {
    DM_REQUIRE_FIXTURE("access/V2010/testV2010.accdb");
    const CliRun r = run({"dump", fixture("access/V2010/testV2010.accdb"), "Table1"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "A\tB\tC\tD\tE\tF\tG\tH\tI\n"
              "a\tb\t0\t0\t0\t0\t1981-12-12T00:00:00\t0.0000\t0\n"
              "abcdefg\thijklmnop\t2\t222\t333333333\t444.555\t1974-09-21T00:00:00\t3.5000\t1\n");
}

TEST(CliDump, EscapesAndRendersEveryKindOfValue) {
    DM_REQUIRE_FIXTURE("access/V2003/testUnicodeCompV2003.mdb");
    DM_REQUIRE_FIXTURE("access/V1997/testIndexCodesV1997.mdb");
    DM_REQUIRE_FIXTURE("access/V2010/binIdxTestV2010.accdb");
    const CliRun text = run({"dump", fixture("access/V2003/testUnicodeCompV2003.mdb"), "Table"});
    ASSERT_EQ(text.status, 0) << text.err;
    // Control characters inside values never break the lines or the fields.
    // (The value holds the characters from 1 on: 9, 10 and 13 are escaped, the others kept.)
    EXPECT_NE(text.out.find("\n8\t\x01\x02\x03\x04\x05\x06\a\b\\t\\n\v\f\\r\x0e"),
              std::string::npos);
    EXPECT_EQ(text.out.find('\r'), std::string::npos);
    const CliRun codes = run({"dump", fixture("access/V1997/testIndexCodesV1997.mdb"), "Table14"});
    EXPECT_NE(codes.out.find("\ta\\\\a\n"), std::string::npos);  // a backslash
    const CliRun guid = run({"dump", fixture("access/V1997/testIndexCodesV1997.mdb"), "Table13"});
    EXPECT_NE(guid.out.find("{8E39276A-BCA8-4AC4-891E-49911D8438DD}"), std::string::npos);
    const CliRun bin = run({"dump", fixture("access/V2010/binIdxTestV2010.accdb"), "Test"});
    EXPECT_NE(bin.out.find("6162636465666768696a"), std::string::npos);
    EXPECT_NE(bin.out.find("\\N"), std::string::npos);
}

TEST(CliTsv, FieldRendering) {
    EXPECT_EQ(cli::formatField(db::Value::null()), "\\N");
    EXPECT_EQ(cli::formatField(db::Value::text("a\tb\nc\rd\\e")), "a\\tb\\nc\\rd\\\\e");
    EXPECT_EQ(cli::formatField(db::Value::text(std::string("x\0y", 3))), "x\\0y");
    EXPECT_EQ(cli::formatField(db::Value::text("\\N")), "\\\\N");  // never mistaken for NULL
    EXPECT_EQ(cli::formatField(db::Value::boolean(true)), "1");
    EXPECT_EQ(cli::formatField(db::Value::doubleValue(0.1)), "0.1");
    EXPECT_EQ(cli::formatField(db::Value::currency({-5})), "-0.0005");
    EXPECT_EQ(cli::formatField(db::Value::binary({0xAB, 0x01})), "ab01");
    db::DateTime t{1899, 12, 29, 6, 0, 0, 500000000};
    EXPECT_EQ(cli::formatField(db::Value::dateTime(t)), "1899-12-29T06:00:00.5");
}

// The dump appends fields into one buffer: escapes at either end, side by side, and in text
// longer than a block, without disturbing what the buffer held.
TEST(CliTsv, AppendedFieldsEscapeEveryRun) {
    std::string out = "head\t";
    cli::appendField(out, db::Value::text(std::string("\\\t\0\r\n", 5)));
    EXPECT_EQ(out, "head\t\\\\\\t\\0\\r\\n");
    out.clear();
    cli::appendField(out, db::Value::text("\tmiddle\n"));
    cli::appendField(out, db::Value::text(""));
    cli::appendField(out, db::Value::null());
    EXPECT_EQ(out, "\\tmiddle\\n\\N");
    std::string longText(300000, 'a');
    longText[0] = '\n';
    longText[150000] = '\\';
    longText.back() = '\t';
    out.clear();
    cli::appendField(out, db::Value::text(longText));
    ASSERT_EQ(out.size(), longText.size() + 3);
    EXPECT_EQ(out.substr(0, 3), "\\na");
    EXPECT_EQ(out.substr(150000, 4), "a\\\\a");
    EXPECT_EQ(out.substr(out.size() - 3), "a\\t");
    out = "x";
    cli::appendField(out, db::Value::dateTime(db::DateTime{1850, 1, 2, 3, 4, 5, 0}));
    cli::appendField(out, db::Value::boolean(false));
    EXPECT_EQ(out, "x1850-01-02T03:04:050");
}

TEST(CliTsv, EveryByteAtEveryPlaceEscapesAsItsOwnRule) {
    // Runs are passed over many bytes at a time; each byte value, at each place of texts longer
    // and shorter than that step, is escaped exactly when it is one of the five.
    const auto expected = [](const std::string& text) {
        std::string out;
        for (char c : text) {
            switch (c) {
                case '\t':
                    out += "\\t";
                    break;
                case '\n':
                    out += "\\n";
                    break;
                case '\r':
                    out += "\\r";
                    break;
                case '\0':
                    out += "\\0";
                    break;
                case '\\':
                    out += "\\\\";
                    break;
                default:
                    out += c;
            }
        }
        return out;
    };
    for (std::size_t length : {1u, 7u, 8u, 15u, 16u, 17u, 33u})
        for (std::size_t at = 0; at < length; ++at)
            for (int b = 0; b < 256; ++b) {
                std::string text(length, 'q');
                text[at] = static_cast<char>(b);
                std::string out = "h";
                cli::appendField(out, db::Value::text(text));
                ASSERT_EQ(out, "h" + expected(text))
                    << "byte " << b << " at " << at << " of " << length;
            }
}

TEST(CliErrors, GoToStandardErrorWithAStatus) {
    DM_REQUIRE_FIXTURE("access/V2010/testV2010.accdb");
    const std::string f = fixture("access/V2010/testV2010.accdb");
    CliRun r = run({"dump", f, "Nope"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "dunmorrow-cli: The Access engine cannot find the table 'Nope'. Make sure it exists "
              "and that its name is spelled correctly.\n");
    r = run({"tables", "/nonexistent/x.mdb"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "dunmorrow-cli: Could not find file \"/nonexistent/x.mdb\".\n");
    // A name longer than the system takes is a file that cannot be found, for every command.
    const std::string tooLong = "/tmp/" + std::string(5000, 'a');
    for (const char* command : {"tables", "check", "exec"}) {
        r = run({command, tooLong});
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_EQ(r.err, "dunmorrow-cli: Could not find file \"" + tooLong + "\".\n") << command;
    }
    r = run({"dump", f});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Usage: dunmorrow-cli dump FILE TABLE [--password-file F]"),
              std::string::npos);
    r = run({"tables", f, "--pasword", "x"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("unknown option --pasword"), std::string::npos);
    r = run({"tables", f, "--password"});
    EXPECT_EQ(r.status, 2);
    r = run({"frobnicate"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "dunmorrow-cli: unknown command \"frobnicate\"; see dunmorrow-cli --help\n");
    r = run({});
    EXPECT_EQ(r.status, 2);
}

TEST(CliPassword, IsPassedToTheEngine) {
    DM_REQUIRE_FIXTURE("access/V2000/testV2000.mdb");
    testenv::TempDir dir;
    const auto copy = dir.copyFixture("access/V2000/testV2000.mdb");
    testenv::setDatabasePassword(copy, "pw");
    CliRun r = run({"tables", copy.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "dunmorrow-cli: Not a valid password.\n");
    r = run({"tables", copy.string(), "--password", "pw"});
    EXPECT_EQ(r.status, 0) << r.err;
    r = run({"dump", copy.string(), "Table1", "--password=pw"});
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST(CliHelp, SaysHowValuesArePrinted) {
    const CliRun r = run({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* part :
         {"tables FILE [--password-file F]", "dump FILE TABLE [--password-file F]", "\\N",
          "\\t, \\n, \\r", "\\\\", "decimal point", "ISO 8601", "hexadecimal", "standard error"})
        EXPECT_NE(r.out.find(part), std::string::npos) << part;
    EXPECT_EQ(run({"dump", "--help"}).status, 0);
}

TEST(CliProgram, WritesRowsToStandardOutputAndErrorsToStandardError) {
    DM_REQUIRE_FIXTURE("access/encrypted/db97-enc.mdb");
    const auto ok = testenv::runProgram(
        {DM_CLI_PATH, "dump", fixture("access/encrypted/db97-enc.mdb"), "Table1"});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ok.err, "");
    EXPECT_GT(std::count(ok.out.begin(), ok.out.end(), '\n'), 1);
    const auto bad =
        testenv::runProgram({DM_CLI_PATH, "tables", fixture("access/encrypted/db2007-enc.accdb")});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(bad.err, "dunmorrow-cli: Not a valid password.\n");  // encrypted, no password given
}

}  // namespace
