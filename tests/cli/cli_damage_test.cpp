// Damaged files through dunmorrow-cli: a file whose catalogue lost a page is damaged for
// `tables` and `check` alike; lost rows, row counts above what can be read and usage maps that
// list pages of the wrong kind are problems, while the counts Access leaves behind in sound
// files stay notes; a sound file whose free-page map is a reference map with most of its slots
// left as Access leaves them checks clean and takes writes; and nothing is written into a file
// whose structures are damaged, nor into an index whose entries are out of order.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/cli/commands.h"
#include "db/jet/database/database.h"
#include "db/jet/table/free_pages.h"
#include "db/jet/table/usage_map.h"
#include "tests/cli/cli_run.h"
#include "tests/support/run_program.h"
#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

using clitest::CliRun;
using clitest::run;

Bytes readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& p, const Bytes& b) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

std::uint32_t get32(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

constexpr std::size_t kPage = 4096;

// The data pages of table `name` of a Jet 4 file, from its usage map.
std::vector<std::uint32_t> dataPagesOf(const fs::path& file, const std::string& name,
                                       std::uint32_t* tableDefPage = nullptr) {
    auto db = jet::Database::open(file.string(), {});
    const jet::CatalogEntry* e = db->catalog().findTable(name);
    if (!e) return {};
    const auto def = db->tableDef(*e);
    if (tableDefPage) *tableDefPage = def->page;
    return jet::UsageMap::readReference(db->pager(), def->ownedPagesRef)->pages();
}

void zeroPage(const fs::path& file, std::uint32_t page) {
    Bytes b = readFile(file);
    std::fill_n(b.begin() + static_cast<std::ptrdiff_t>(page * kPage), kPage, 0);
    writeFile(file, b);
}

class CliDamage : public testing::Test {
  protected:
    void SetUp() override {
        DM_REQUIRE_FIXTURE("access/V2003/test2V2003.mdb");
        file_ = dir_.copyFixture("access/V2003/test2V2003.mdb");
    }
    testenv::TempDir dir_;
    fs::path file_;
};

TEST_F(CliDamage, ALostPageOfTheCatalogueMakesTheFileDamagedForTablesAndCheck) {
    std::uint32_t catalogue = 0;
    const Bytes b = readFile(file_);
    for (std::uint32_t p = 3; p < b.size() / kPage && !catalogue; ++p)
        if (b[p * kPage] == 0x01 && get32(b, p * kPage + 4) == 2) catalogue = p;
    ASSERT_NE(catalogue, 0u);
    zeroPage(file_, catalogue);

    const CliRun tables = run({"tables", file_.string()});
    EXPECT_EQ(tables.status, 1);
    EXPECT_EQ(tables.out, "");
    EXPECT_EQ(tables.err,
              "dunmorrow-cli: The database file is damaged: the usage map of a "
              "table lists a page that is not a data page; rows were lost (page " +
                  std::to_string(catalogue) + ", offset 0).\n");
    const CliRun check = run({"check", file_.string()});
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(check.out,
              "problem: catalogue: The database file is damaged: the usage map of a "
              "table lists a page that is not a data page; rows were lost (page " +
                  std::to_string(catalogue) +
                  ", offset 0).\nThe file cannot be opened to check it further: 1 "
                  "problem.\n");
}

TEST_F(CliDamage, AZeroedDataPageIsAProblemAndTheDumpFailsRatherThanLoseRows) {
    const auto pages = dataPagesOf(file_, "MSP_PROJECTS");
    ASSERT_FALSE(pages.empty());
    zeroPage(file_, pages.front());
    const CliRun check = run({"check", file_.string()});
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.out.find("problem: pages: The usage map of table \"MSP_PROJECTS\" lists page " +
                             std::to_string(pages.front()) +
                             ", which must be its data pages but is no page of a known kind (its "
                             "first byte is 0).\n"),
              std::string::npos)
        << check.out;
    const CliRun dump = run({"dump", file_.string(), "MSP_PROJECTS"});
    EXPECT_EQ(dump.status, 1);
    EXPECT_NE(dump.err.find("rows were lost"), std::string::npos) << dump.err;
}

TEST_F(CliDamage, ARowCountAboveTheRowsIsAProblemOneBelowANote) {
    std::uint32_t tdef = 0;
    ASSERT_FALSE(dataPagesOf(file_, "MSP_PROJECTS", &tdef).empty());
    Bytes b = readFile(file_);
    const std::size_t countAt = tdef * kPage + 16;  // the row count of a Jet 4 definition
    const std::uint32_t rows = get32(b, countAt);
    put32(b, countAt, rows + 5);
    writeFile(file_, b);
    CliRun check = run({"check", file_.string()});
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(
        check.out.find("problem: catalogue: The definition of table \"MSP_PROJECTS\" counts " +
                       std::to_string(rows + 5) + " rows, but only " + std::to_string(rows) +
                       " can be read: the others were lost.\n"),
        std::string::npos)
        << check.out;

    // A count behind the rows, as Access leaves some in sound files, is a note.
    ASSERT_GT(rows, 0u);
    put32(b, countAt, rows - 1);
    writeFile(file_, b);
    check = run({"check", file_.string()});
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_NE(
        check.out.find("note: catalogue: The definition of table \"MSP_PROJECTS\" counts " +
                       std::to_string(rows - 1) + " rows; it has " + std::to_string(rows) + ".\n"),
        std::string::npos)
        << check.out;
}

TEST_F(CliDamage, NothingIsWrittenIntoAFileWhoseStructuresAreDamaged) {
    const auto pages = dataPagesOf(file_, "MSP_PROJECTS");
    ASSERT_FALSE(pages.empty());
    {
        // The free-page map says a page of rows is free: a write would hand it to another table.
        jet::OpenOptions o;
        o.mode = jet::OpenMode::ReadWrite;
        auto db = jet::Database::open(file_.string(), o);
        db->beginTransaction();
        jet::FreePageMap(db->pager()).markFree(pages.front());
        db->commitTransaction();
    }
    const Bytes damaged = readFile(file_);
    const CliRun exec = run({"exec", file_.string()}, "CREATE TABLE t (a INTEGER)\n");
    EXPECT_EQ(exec.status, 1);
    EXPECT_EQ(exec.err,
              "dunmorrow-cli: line 1: CREATE TABLE t (a INTEGER)\n"
              "dunmorrow-cli: Nothing was written to \"" +
                  file_.string() +
                  "\": the file is damaged, and writing would damage it further. Page " +
                  std::to_string(pages.front()) +
                  " is listed as free but belongs to the rows of table "
                  "\"MSP_PROJECTS\".\n"
                  "dunmorrow-cli: the lines before line 1 are in effect.\n");
    EXPECT_EQ(readFile(file_), damaged) << "the damaged file was written";

    // A usage map that cannot be read: refused too, naming the table.
    std::uint32_t tdef = 0;
    dataPagesOf(file_, "MSP_PROJECTS", &tdef);
    Bytes b = readFile(file_);
    const std::uint32_t mapPage = get32(b, tdef * kPage + 55) >> 8;
    std::fill_n(b.begin() + static_cast<std::ptrdiff_t>(mapPage * kPage), kPage, 0);
    writeFile(file_, b);
    const CliRun again = run({"exec", file_.string()}, "CREATE TABLE t (a INTEGER)\n");
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("The definition or a usage map of table \""), std::string::npos)
        << again.err;
    EXPECT_EQ(readFile(file_), b);
}

// Damaged copies that a write once made worse, each with the damage it had: the script that
// wrote into them is refused at its first line, naming the damage the check names, and the
// file is left as it was.
struct DamagedWrite {
    const char* name;
    const char* fixture;
    // Damages the file's bytes; pages are 4096 bytes (every fixture here is a Jet 4 file).
    void (*damage)(Bytes&);
    // The problem the check reports, which the refusal names.
    const char* problem;
    // The refusal comes from the check before the first write (true), or from the index the
    // write reached (false).
    bool beforeWriting;
};

void flipBit(Bytes& b, std::uint32_t page, std::size_t offset, std::uint8_t bit) {
    b[page * kPage + offset] ^= bit;
}

const DamagedWrite kDamagedWrites[] = {
    // A bit set in an entry of MSysObjects' index "Id": its entries out of order. The write's
    // new entry went into the page at the place the broken order gave it.
    {"CatalogueIndexOutOfOrder", "access/V2000/delTestV2000.mdb",
     [](Bytes& b) { flipBit(b, 8, 354, 0x40); },
     "table 'MSysObjects', index 'Id': The database file is damaged: index page: the index "
     "entries are out of order (page 8, offset 660).",
     false},
    {"CatalogueNameIndexOutOfOrder", "access/V2000/bigIndexTestV2000.mdb",
     [](Bytes& b) { flipBit(b, 7, 468, 0x01); },
     "table 'MSysObjects', index 'ParentIdName': The database file is damaged: index page: the "
     "index entries are out of order (page 7, offset 893).",
     false},
    {"PermissionIndexOutOfOrder", "access/V2003/overflowTestV2003.mdb",
     [](Bytes& b) { flipBit(b, 9, 854, 0x10); },
     "table 'MSysACEs', index 'ObjectId': The database file is damaged: index page: the index "
     "entries are out of order (page 9, offset 858).",
     false},
    // A data page of MSysACEs overwritten by a copy of a long-value page: rows of the table were
    // lost, and its map lists a page that is not its own.
    {"PermissionPageOverwritten", "access/V2003/queryTestV2003.mdb",
     [](Bytes& b) { std::copy_n(b.begin() + 31 * kPage, kPage, b.begin() + 41 * kPage); },
     "The usage map of table \"MSysACEs\" lists page 41, which must be its data pages but is a "
     "long-value page.",
     true},
};

void PrintTo(const DamagedWrite& c, std::ostream* os) {
    *os << c.name;
}

class CliDamagedWrite : public testing::TestWithParam<DamagedWrite> {};

TEST_P(CliDamagedWrite, TheWriteIsRefusedNamingTheDamageAndTheFileStaysAsItWas) {
    const DamagedWrite& c = GetParam();
    DM_REQUIRE_FIXTURE(c.fixture);
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture(c.fixture);
    Bytes b = readFile(file);
    c.damage(b);
    writeFile(file, b);

    const CliRun before = run({"check", file.string()});
    ASSERT_EQ(before.status, 1);
    ASSERT_NE(before.out.find(c.problem), std::string::npos) << before.out;

    // What the damaged files went through: a table created, filled, copied and dropped.
    const std::string create =
        "CREATE TABLE zz_attack (id INTEGER PRIMARY KEY, t TEXT(50), m MEMO, d DATETIME)";
    std::string script = create + "\n";
    for (int i = 0; i < 40; ++i)
        script += "INSERT INTO zz_attack VALUES (" + std::to_string(i) + ", 'row " +
                  std::to_string(i) + "', '" +
                  std::string(static_cast<std::size_t>(i * 97 % 5000), 'm') + "', #2024-01-" +
                  (i % 28 < 9 ? "0" : "") + std::to_string(1 + i % 28) + "#)\n";
    script += "SELECT * INTO zz_copy FROM zz_attack\nDROP TABLE zz_attack\n";
    const CliRun exec = run({"exec", file.string()}, script);
    EXPECT_EQ(exec.status, 1);
    const std::string why =
        c.beforeWriting ? "Nothing was written to \"" + file.string() +
                              "\": the file is damaged, and writing would damage it "
                              "further. " +
                              c.problem
                        : std::string(c.problem).substr(std::string(c.problem).find(": ") + 2);
    EXPECT_EQ(exec.err, "dunmorrow-cli: line 1: " + create + "\ndunmorrow-cli: " + why +
                            "\ndunmorrow-cli: the lines before line 1 are in effect.\n");
    EXPECT_EQ(readFile(file), b) << "the damaged file was written";
    const CliRun after = run({"check", file.string()});
    EXPECT_EQ(after.out, before.out);
}

INSTANTIATE_TEST_SUITE_P(Attack, CliDamagedWrite, testing::ValuesIn(kDamagedWrites),
                         [](const testing::TestParamInfo<DamagedWrite>& testInfo) {
                             return std::string(testInfo.param.name);
                         });

// testV2000.mdb with its free-page map turned into a reference map as Access does when the
// file outgrows the inline one: the row keeps its length and the old bitmap's bytes, its first
// slot points to a new usage-map page, and the slots past the end of the file hold what the
// bitmap held there (0 for pages in use, 0xFF for the pages past the end of the file).
fs::path withReferenceFreeMap(const testenv::TempDir& dir) {
    const fs::path file = dir.copyFixture("access/V2000/testV2000.mdb");
    Bytes b = readFile(file);
    const std::uint32_t pages = static_cast<std::uint32_t>(b.size() / kPage);
    const std::size_t row = kPage + ((b[kPage + 14] | (b[kPage + 15] << 8)) & 0x1FFF);
    EXPECT_EQ(b[row], 0x00) << "the fixture's map is no longer inline";
    // The inline map: its first page, then a bit per page to the end of page 1.
    const std::uint32_t first = get32(b, row + 1);
    const std::size_t bits = (2 * kPage - (row + 5)) * 8;
    Bytes map(kPage, 0);
    map[0] = 0x05;
    map[1] = 0x01;
    for (std::uint32_t p = 0; p < (kPage - 4) * 8; ++p) {
        bool free = p > pages;  // past the end of the file with its new page
        if (p >= first && p < pages && p - first < bits)
            free = (b[row + 5 + (p - first) / 8] >> ((p - first) % 8)) & 1;
        if (free) map[4 + p / 8] |= static_cast<std::uint8_t>(1u << (p % 8));
    }
    b[row] = 0x01;
    put32(b, row + 1, pages);
    b.insert(b.end(), map.begin(), map.end());
    writeFile(file, b);
    return file;
}

TEST(CliReferenceFreeMap, ASoundFileWithAReferenceFreePageMapChecksCleanAndTakesWrites) {
    DM_REQUIRE_FIXTURE("access/V2000/testV2000.mdb");
    testenv::TempDir dir;
    const fs::path file = withReferenceFreeMap(dir);
    {
        // The slot the report named: past the end of the file, holding old bitmap bytes.
        const Bytes b = readFile(file);
        const std::size_t row = kPage + ((b[kPage + 14] | (b[kPage + 15] << 8)) & 0x1FFF);
        EXPECT_EQ(get32(b, row + 1 + 4 * 24), 4294967168u);
    }
    CliRun check = run({"check", file.string()});
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_NE(check.out.find("): no problems.\n"), std::string::npos) << check.out;

    std::string script = "CREATE TABLE Added (id INTEGER PRIMARY KEY, t TEXT(200))\n";
    for (int i = 0; i < 400; ++i)
        script += "INSERT INTO Added VALUES (" + std::to_string(i) + ", '" +
                  std::string(150, static_cast<char>('a' + i % 26)) + "')\n";
    script += "DROP TABLE Table1\n";
    const CliRun exec = run({"exec", file.string()}, script);
    EXPECT_EQ(exec.status, 0) << exec.err;
    check = run({"check", file.string()});
    EXPECT_EQ(check.status, 0) << check.out;
    const CliRun dump = run({"dump", file.string(), "Added"});
    EXPECT_EQ(std::count(dump.out.begin(), dump.out.end(), '\n'), 401);
    if (!testenv::findOnPath("mdb-export").empty()) {
        const auto exported = testenv::runProgram({"mdb-export", file.string(), "Added"});
        EXPECT_EQ(exported.status, 0);
        EXPECT_EQ(std::count(exported.out.begin(), exported.out.end(), '\n'), 401);
    }
}

}  // namespace
