// Damaged files: empty, truncated, random, and copies of real files with chosen structures
// broken (bad page numbers, loops in page chains, impossible counts and lengths). Every one gives
// a jet::Error that says what is wrong; none crashes, hangs or reads out of bounds (the fuzz
// target runs the same under the address sanitizer).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "db/jet/database/database.h"
#include "db/jet/table/data_page.h"
#include "db/jet/table/table_reader.h"
#include "db/jet/table/usage_map.h"
#include "tests/support/access_files.h"
#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

struct Outcome {
    bool ok = false;
    jet::ErrorKind kind = jet::ErrorKind::Engine;
    std::string message;
    std::uint64_t rows = 0;  // rows read, all tables together
    // The tables whose rows, counted from the data pages, were not the rows read.
    std::vector<std::string> miscounted;
};

// Opens the file and reads every row of every table, system tables included.
Outcome readEverything(std::unique_ptr<jet::File> file) {
    Outcome o;
    try {
        auto db = jet::Database::open(std::move(file), {});
        for (const auto& e : db->catalog().entries()) {
            if (e.type != jet::object_type::kTable) continue;
            auto reader = db->openTable(e);
            const auto count = reader->rowCount();
            std::vector<db::Value> row;
            std::uint64_t n = 0;
            while (reader->next(row))
                ++n;
            o.rows += n;
            if (n != count) o.miscounted.push_back(e.name);
        }
        o.ok = true;
    } catch (const jet::Error& e) {
        o.kind = e.kind();
        o.message = e.message();
    }
    return o;
}

Outcome readEverything(const Bytes& bytes) {
    return readEverything(std::make_unique<jet::MemoryFile>(bytes));
}

Bytes fixtureBytes(const std::string& rel) {
    return testenv::readFile(testenv::fixturesDir() / rel);
}

// Where things are in a file: page offsets and a table's data pages, found with the engine.
struct Map {
    explicit Map(const Bytes& bytes)
        : db(jet::Database::open(std::make_unique<jet::MemoryFile>(bytes), {})) {}
    const jet::Format& f() { return db->format(); }
    std::size_t page(std::uint32_t n) { return std::size_t{n} * f().pageSize; }
    std::uint32_t tdef(const std::string& table) {
        return db->catalog().findTable(table)->tableDefPage();
    }
    std::vector<std::uint32_t> dataPages(const std::string& table) {
        auto def = db->tableDef(*db->catalog().findTable(table));
        std::vector<std::uint32_t> out;
        const auto map = jet::UsageMap::readReference(db->pager(), def->ownedPagesRef);
        for (auto p : map->pages()) {
            const auto pg = db->pager().page(p);
            if (pg->bytes[0] == jet::page_type::kData) out.push_back(p);
        }
        return out;
    }
    std::unique_ptr<jet::Database> db;
};

void put16(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint16_t get16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

void expectCorrupt(const Bytes& bytes, const std::string& mentions) {
    const Outcome o = readEverything(bytes);
    ASSERT_FALSE(o.ok) << "expected damage (" << mentions << ") to be found";
    EXPECT_EQ(o.kind, jet::ErrorKind::Corrupt) << o.message;
    EXPECT_NE(o.message.find(mentions), std::string::npos) << o.message;
    EXPECT_EQ(o.message.rfind("The database file is damaged: ", 0), 0u) << o.message;
}

const char* kJet4 = "access/V2000/test2V2000.mdb";
const char* kJet3 = "access/V1997/testV1997.mdb";
const char* kAce = "access/V2010/testV2010.accdb";

TEST(DamagedFiles, EmptyShortAndForeignFilesAreNotDatabases) {
    EXPECT_EQ(readEverything(Bytes{}).kind, jet::ErrorKind::NotDatabase);
    EXPECT_EQ(readEverything(Bytes{}).message,
              "\"memory\" is not an Access database: it is empty.");
    EXPECT_EQ(readEverything(Bytes(10, 0)).kind, jet::ErrorKind::NotDatabase);
    std::mt19937 rng(7);
    Bytes noise(8192);
    for (auto& b : noise)
        b = static_cast<std::uint8_t>(rng());
    EXPECT_EQ(readEverything(noise).kind, jet::ErrorKind::NotDatabase);
    DM_REQUIRE_FIXTURE(kJet4);
    // The header of an Access file and nothing else.
    Bytes header = fixtureBytes(kJet4);
    header.resize(100);
    EXPECT_EQ(readEverything(header).kind, jet::ErrorKind::NotDatabase);
    // An unknown version.
    Bytes future = fixtureBytes(kJet4);
    future[0x14] = 0x42;
    EXPECT_EQ(readEverything(future).kind, jet::ErrorKind::NotSupported);
}

TEST(DamagedFiles, TruncatedFilesNameTheMissingPage) {
    DM_REQUIRE_FIXTURE(kJet4);
    const Bytes whole = fixtureBytes(kJet4);
    for (std::size_t pages : {1u, 2u, 3u, 10u}) {
        Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(pages * 4096));
        const Outcome o = readEverything(cut);
        ASSERT_FALSE(o.ok) << pages;
        EXPECT_EQ(o.kind, jet::ErrorKind::Corrupt) << o.message;
        EXPECT_NE(o.message.find("but the file has only " + std::to_string(pages) + " pages"),
                  std::string::npos)
            << o.message;
    }
    // Cut through the middle of a page: the partial page does not count.
    Bytes ragged(whole.begin(), whole.begin() + 4096 * 2 + 1000);
    EXPECT_EQ(readEverything(ragged).kind, jet::ErrorKind::Corrupt);
}

TEST(DamagedFiles, ABadTableDefinitionPageIsFound) {
    DM_REQUIRE_FIXTURE(kJet4);
    Bytes b = fixtureBytes(kJet4);
    b[2 * 4096] = jet::page_type::kData;  // the catalogue's definition is no longer one
    expectCorrupt(b, "the page is not a table definition");
}

TEST(DamagedFiles, LoopingTableDefinitionPagesAreFound) {
    DM_REQUIRE_FIXTURE(kJet4);
    Bytes b = fixtureBytes(kJet4);
    Map m(b);
    const std::uint32_t t = m.tdef("MSP_PROJECTS");  // a definition of two pages
    const std::uint32_t second =
        get16(b, m.page(t) + 4) | (std::uint32_t{get16(b, m.page(t) + 6)} << 16);
    ASSERT_NE(second, 0u);
    put32(b, m.page(second) + 4, t);
    expectCorrupt(b, "form a loop");
}

TEST(DamagedFiles, UsageMapsThatPointOutsideTheFileOrAreOfNoKind) {
    DM_REQUIRE_FIXTURE(kAce);
    const Bytes original = fixtureBytes(kAce);
    Map m(original);
    const std::uint32_t t = m.tdef("Table1");
    const std::size_t ref = m.page(t) + m.f().tdefOwnedPagesOffset;
    {
        Bytes b = original;
        put32(b, ref, (0x00FFFFu << 8) | (b[ref] & 0xFF));  // the map's page beyond the end
        expectCorrupt(b, "a reference to page 65535");
    }
    {
        Bytes b = original;
        put32(b, ref, (1u << 8) | 0x40);  // row 64 of page 1, which has no such row
        expectCorrupt(b, "usage map");
    }
    {
        // The map row itself says it is of a kind that does not exist.
        Bytes b = original;
        const std::uint32_t r = b[ref];
        const std::uint32_t p = b[ref + 1] | (b[ref + 2] << 8) | (b[ref + 3] << 16);
        const std::size_t slot = m.page(p) + m.f().dataRowTableOffset + 2 * r;
        const std::size_t start = m.page(p) + (get16(b, slot) & jet::kRowOffsetMask);
        b[start] = 0x07;
        expectCorrupt(b, "a usage map of unknown kind");
    }
}

TEST(DamagedFiles, ImpossibleCountsAreFound) {
    DM_REQUIRE_FIXTURE(kJet4);
    const Bytes original = fixtureBytes(kJet4);
    Map m(original);
    const std::uint32_t t = m.tdef("MSP_PROJECTS");
    {
        Bytes b = original;
        put16(b, m.page(t) + m.f().tdefColumnCountOffset, 0xFFFF);
        put16(b, m.page(t) + m.f().tdefMaxColumnsOffset, 0xFFFF);
        expectCorrupt(b, "column count does not fit");
    }
    {
        Bytes b = original;
        put32(b, m.page(t) + m.f().tdefIndexCountOffset, 0x7FFFFFFF);
        expectCorrupt(b, "index count does not fit");
    }
    {
        Bytes b = original;
        const auto pages = m.dataPages("MSP_PROJECTS");
        ASSERT_FALSE(pages.empty());
        put16(b, m.page(pages[0]) + m.f().dataRowCountOffset, 0xFFFF);
        expectCorrupt(b, "the row count does not fit the page");
    }
}

TEST(DamagedFiles, RowSlotsOutsideThePageAreFound) {
    DM_REQUIRE_FIXTURE(kJet3);
    Bytes b = fixtureBytes(kJet3);
    Map m(b);
    const auto pages = m.dataPages("Table1");
    ASSERT_FALSE(pages.empty());
    const std::size_t slot1 = m.page(pages[0]) + m.f().dataRowTableOffset + 2;
    put16(b, slot1, 0x0004);  // row 1 would start inside the page header
    expectCorrupt(b, "a row slot points outside the page's row area");
}

TEST(DamagedFiles, OverflowPointersThatLoopAreFound) {
    DM_REQUIRE_FIXTURE(kAce);
    Bytes b = fixtureBytes(kAce);
    Map m(b);
    const auto pages = m.dataPages("Table1");
    ASSERT_FALSE(pages.empty());
    const std::size_t slot0 = m.page(pages[0]) + m.f().dataRowTableOffset;
    const std::uint16_t start = get16(b, slot0) & jet::kRowOffsetMask;
    put16(b, slot0, static_cast<std::uint16_t>(start | jet::kRowOverflowFlag));
    // The row now says it moved to row 0 of its own page.
    put32(b, m.page(pages[0]) + start, pages[0] << 8);
    expectCorrupt(b, "overflow rows point to each other in a loop");
}

TEST(DamagedFiles, LongValueChainsThatLoopAreFound) {
    DM_REQUIRE_FIXTURE(kJet4);
    Bytes b = fixtureBytes(kJet4);
    Map m(b);
    // Find the long-value reference of the OLE object of MSP_PROJECTS in its row.
    auto reader = m.db->openTable("MSP_PROJECTS");
    std::uint32_t firstLink = 0;
    for (const auto& d : reader->columns()) {
        if (d.def->type != jet::ColumnType::Ole) continue;
        const auto pages = m.dataPages("MSP_PROJECTS");
        for (auto p : pages) {
            const auto page = m.db->pager().page(p);
            const jet::ByteReader r(page->span(), "page", p);
            const jet::DataPage dp(r, m.f());
            for (std::uint16_t i = 0; i < dp.rowCount(); ++i) {
                if (dp.slot(i).deleted) continue;
                const jet::ByteReader row = dp.row(i);
                const jet::RowView view(row, m.f(), true);
                bool present = false;
                const auto ref = view.varBytes(*d.def, present);
                if (present && ref.size() == 12 && (ref[3] & 0xC0) == 0)
                    firstLink = ref[4] | (ref[5] << 8) | (ref[6] << 16) | (ref[7] << 24);
            }
        }
    }
    ASSERT_NE(firstLink, 0u) << "the fixture's OLE object is no longer a chain";
    // Point the first part's link back at itself: the value can never be completed.
    {
        const std::uint32_t page = firstLink >> 8, row = firstLink & 0xFF;
        const std::size_t slot = m.page(page) + m.f().dataRowTableOffset + 2 * row;
        const std::size_t start = m.page(page) + (get16(b, slot) & jet::kRowOffsetMask);
        put32(b, start, firstLink);
    }
    expectCorrupt(b, "the pages of a long value form a loop");
}

// The values table of a version-history column holds, besides its key and the owning row's
// id, the date of each version and its text. A table definition changed by one byte (the first
// letter of either column's name) leaves the table without it: that is damage, not a row read
// past its end, nor versions dated 1899-12-30.
TEST(DamagedFiles, AVersionHistoryWithoutItsDateOrTextColumnIsDamage) {
    const char* file = "access/V2007/complexDataTestV2007.accdb";
    DM_REQUIRE_FIXTURE(file);
    const Bytes original = fixtureBytes(file);
    ASSERT_TRUE(readEverything(original).ok);
    Map m(original);
    const jet::CatalogEntry* values = nullptr;
    for (const auto& e : m.db->catalog().entries())
        if (e.name.rfind("f_", 0) == 0 && e.name.find("_VersionHistory_") != std::string::npos)
            values = &e;
    ASSERT_NE(values, nullptr) << "the fixture has no version history any more";
    const std::size_t start = m.page(values->tableDefPage());
    for (const std::string name : {"Modified_F9B5E312", "append-memo-data"}) {
        SCOPED_TRACE(name);
        Bytes utf16;
        for (char c : name) {
            utf16.push_back(static_cast<std::uint8_t>(c));
            utf16.push_back(0);
        }
        const auto page = original.begin() + static_cast<std::ptrdiff_t>(start);
        const auto at = std::search(page, page + m.f().pageSize, utf16.begin(), utf16.end());
        ASSERT_NE(at, page + m.f().pageSize) << "the column is not on the definition page";
        Bytes b = original;
        b[static_cast<std::size_t>(at - original.begin())] ^= 0x01;
        expectCorrupt(b, "lacks the date or the text of its versions");
    }
}

// Flips random bytes of real files and reads everything: the outcome is success or a jet::Error,
// whatever is flipped. (Anything else would escape as another exception, or crash the test.)
TEST(DamagedFiles, RandomDamageGivesErrorsNotCrashes) {
    const char* files[] = {kJet3,
                           kJet4,
                           kAce,
                           "access/V2007/complexDataTestV2007.accdb",
                           "access/V2010/calcFieldTestV2010.accdb",
                           "access/encrypted/db-enc.mdb",
                           "access/V2003/overflowTestV2003.mdb"};
    std::mt19937 rng(20240611);
    int damaged = 0;
    for (const char* f : files) {
        DM_REQUIRE_FIXTURE(f);
        const Bytes original = fixtureBytes(f);
        // Sound, the file reads whole, and each table has as many rows as its pages count.
        const Outcome sound = readEverything(original);
        ASSERT_TRUE(sound.ok) << f << ": " << sound.message;
        EXPECT_GT(sound.rows, 0u) << f;
        EXPECT_TRUE(sound.miscounted.empty()) << f << ": " << sound.miscounted.front();
        for (int round = 0; round < 60; ++round) {
            Bytes b = original;
            const int flips = 1 + static_cast<int>(rng() % 16);
            for (int k = 0; k < flips; ++k) {
                // Mostly the catalogue's pages and the start of the file, where damage matters.
                const std::size_t limit =
                    (rng() % 4 == 0) ? b.size() : std::min<std::size_t>(b.size(), 6 * 4096);
                const std::size_t at = rng() % limit;
                b[at] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
            }
            const Outcome o = readEverything(b);
            if (!o.ok) {
                ++damaged;
                EXPECT_FALSE(o.message.empty());
            }
        }
    }
    EXPECT_GT(damaged, 0);
}

TEST(DamagedFiles, FailingReadsAreReportedAsIoErrors) {
    DM_REQUIRE_FIXTURE(kJet4);
    const Bytes original = fixtureBytes(kJet4);
    for (std::uint64_t n = 1; n <= 12; ++n) {
        jet::FaultyFile::Plan plan;
        plan.failRead = n;
        const Outcome o = readEverything(
            std::make_unique<jet::FaultyFile>(std::make_unique<jet::MemoryFile>(original), plan));
        ASSERT_FALSE(o.ok) << n;
        EXPECT_EQ(o.kind, jet::ErrorKind::Io) << o.message;
        EXPECT_NE(o.message.find("injected read fault"), std::string::npos);
    }
}

}  // namespace
