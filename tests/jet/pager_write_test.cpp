// The write path of the pager on copies of real files: dirty pages, commit and rollback,
// savepoints, page allocation from the file's own free-page map, and the page codec of encoded
// files. Checked against the bytes on disk and against what the engine reads back.
#include <gtest/gtest.h>

#include <fstream>

#include "db/jet/base/error.h"
#include "db/jet/check/check.h"
#include "db/jet/database/database.h"
#include "db/jet/table/data_page.h"
#include "db/jet/table/free_pages.h"
#include "db/jet/table/table_reader.h"
#include "db/jet/table/usage_map.h"
#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

jet::OpenOptions rw() {
    jet::OpenOptions o;
    o.mode = jet::OpenMode::ReadWrite;
    return o;
}

// Every user table's rows, as text, for before/after comparisons.
std::vector<std::string> everyRow(jet::Database& db) {
    std::vector<std::string> out;
    for (const auto& name : db.userTableNames()) {
        auto r = db.openTable(name);
        std::vector<db::Value> row;
        while (r->next(row)) {
            std::string line = name + ":";
            for (const auto& v : row)
                line += (v.isNull() ? std::string("NULL") : v.toDebugString()) + "|";
            out.push_back(line);
        }
    }
    return out;
}

// The pages of the file the free-page map lists as free.
std::vector<std::uint32_t> freePages(jet::Database& db) {
    std::vector<std::uint32_t> out;
    for (std::uint32_t p = 0; p < db.pager().pageCount(); ++p)
        if (db.pager().isFree(p)) out.push_back(p);
    return out;
}

const char* const kWritableFixtures[] = {
    "access/empty/empty.mdb",        "access/empty/empty2003.mdb",
    "access/empty/empty2007.accdb",  "access/empty/empty2010.accdb",
    "access/empty/empty2016.accdb",  "access/empty/empty2019.accdb",
    "access/V2003/delTestV2003.mdb", "access/V2007/oldDatesV2007.accdb",
    "access/V2000/testV2000.mdb",
};

class PagerWrite : public testing::TestWithParam<const char*> {};

TEST_P(PagerWrite, CommitWritesThePageAndRollbackLeavesTheFileAlone) {
    DM_REQUIRE_FIXTURE(GetParam());
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture(GetParam());
    const Bytes before = readFile(file);
    const std::uint32_t last = static_cast<std::uint32_t>(before.size() / 4096 - 1);
    {
        auto db = jet::Database::open(file.string(), rw());
        ASSERT_TRUE(db->writable());
        db->beginTransaction();
        auto p = db->pager().writablePage(last);
        p->bytes[100] ^= 0xFF;
        EXPECT_EQ(db->pager().page(last)->bytes[100], p->bytes[100]) << "reads see the write";
        db->rollbackTransaction();
        EXPECT_EQ(db->pager().page(last)->bytes[100], before[last * 4096 + 100]);
    }
    EXPECT_EQ(readFile(file), before) << "a rolled-back transaction changed the file";
    EXPECT_FALSE(fs::exists(jet::journalPathFor(file.string())));
    {
        auto db = jet::Database::open(file.string(), rw());
        db->beginTransaction();
        db->pager().writablePage(last)->bytes[100] ^= 0xFF;
        db->commitTransaction();
    }
    Bytes after = readFile(file);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after[last * 4096 + 100],
              static_cast<std::uint8_t>(before[last * 4096 + 100] ^ 0xFF));
    after[last * 4096 + 100] = before[last * 4096 + 100];
    EXPECT_EQ(after, before) << "the commit changed more than the one byte";
    EXPECT_FALSE(fs::exists(jet::journalPathFor(file.string())));
}

TEST_P(PagerWrite, AllocationTakesTheLowestFreePageThenAppends) {
    DM_REQUIRE_FIXTURE(GetParam());
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture(GetParam());
    auto db = jet::Database::open(file.string(), rw());
    const auto rowsBefore = everyRow(*db);
    const std::uint32_t pages = db->pager().pageCount();
    std::vector<std::uint32_t> freeBefore;
    for (std::uint32_t p : freePages(*db))
        if (p >= 3 && p < pages) freeBefore.push_back(p);

    db->beginTransaction();
    std::vector<std::uint32_t> got;
    for (std::size_t i = 0; i < freeBefore.size() + 3; ++i) {
        auto p = db->pager().allocatePage(jet::page_type::kData);
        EXPECT_EQ(p->bytes[0], jet::page_type::kData);
        EXPECT_EQ(p->bytes[1], 0x01);
        EXPECT_FALSE(db->pager().isFree(p->number));
        got.push_back(p->number);
    }
    std::vector<std::uint32_t> want = freeBefore;
    for (std::uint32_t i = 0; i < 3; ++i)
        want.push_back(pages + i);
    EXPECT_EQ(got, want) << "free pages first, in order, then new pages at the end";
    // Give one back: it is reused first.
    db->pager().freePage(got[0]);
    EXPECT_TRUE(db->pager().isFree(got[0]));
    EXPECT_EQ(db->pager().allocatePage(jet::page_type::kData)->number, got[0]);
    db->commitTransaction();

    auto again = jet::Database::open(file.string(), {});
    EXPECT_EQ(again->pager().pageCount(), pages + 3);
    EXPECT_TRUE(freePages(*again).empty()) << "a page taken is still listed free";
    EXPECT_EQ(everyRow(*again), rowsBefore) << "allocation disturbed the tables";
}

TEST_P(PagerWrite, SavepointRollbackRestoresPagesAndPageCount) {
    DM_REQUIRE_FIXTURE(GetParam());
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture(GetParam());
    const Bytes before = readFile(file);
    auto db = jet::Database::open(file.string(), rw());
    jet::Pager& pager = db->pager();
    const std::uint32_t pages = pager.pageCount();

    db->beginTransaction();
    pager.allocatePage(jet::page_type::kData)->bytes[200] = 7;  // statement 1: kept
    const std::uint32_t afterFirst = pager.pageCount();
    const Bytes map1 = pager.page(jet::kFreePageMapPage)->bytes;
    try {
        db->writeStatement([&] {
            pager.allocatePage(jet::page_type::kData);
            pager.allocatePage(jet::page_type::kTableDef);
            pager.writablePage(2)->bytes[300] ^= 0x55;
            throw jet::Error(jet::ErrorKind::Syntax, "rejected");
        });
        FAIL() << "the statement did not throw";
    } catch (const jet::Error& e) {
        EXPECT_EQ(e.message(), "rejected");
    }
    EXPECT_EQ(pager.pageCount(), afterFirst);
    EXPECT_EQ(pager.page(jet::kFreePageMapPage)->bytes, map1);
    EXPECT_EQ(pager.page(2)->bytes[300], before[2 * 4096 + 300]);
    db->commitTransaction();
    const Bytes after = readFile(file);
    EXPECT_GE(after.size(), std::size_t{pages} * 4096);
    EXPECT_EQ(after.size(), std::size_t{afterFirst} * 4096);
    EXPECT_EQ(Bytes(after.begin() + 2 * 4096, after.begin() + 3 * 4096),
              Bytes(before.begin() + 2 * 4096, before.begin() + 3 * 4096));
}

INSTANTIATE_TEST_SUITE_P(Fixtures, PagerWrite, testing::ValuesIn(kWritableFixtures),
                         [](const auto& testInfo) {
                             std::string n = fs::path(testInfo.param).stem().string();
                             for (char& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

TEST(PagerStatement, BytesWrittenAloneAreUndoneInEveryOrderOfSavepointsAndCopies) {
    // Small changes keep only the bytes they replace; whatever else a savepoint keeps of the
    // same page (a whole copy made before or after them, in it or in the one around it), a
    // rollback gives back exactly the bytes of its own start.
    DM_REQUIRE_FIXTURE("access/empty/empty2003.mdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/empty/empty2003.mdb");
    const Bytes before = readFile(file);
    auto db = jet::Database::open(file.string(), rw());
    jet::Pager& pager = db->pager();
    constexpr std::uint32_t kPage = 2;
    const Bytes original = pager.page(kPage)->bytes;
    const Bytes one{1, 1, 1, 1}, two{2, 2, 2, 2};
    const auto bytesAt = [&](std::size_t at) {
        const auto& b = pager.page(kPage)->bytes;
        return Bytes(b.begin() + static_cast<std::ptrdiff_t>(at),
                     b.begin() + static_cast<std::ptrdiff_t>(at + 4));
    };

    db->beginTransaction();
    // Alone in one savepoint, twice over the same bytes.
    pager.savepoint();
    EXPECT_FALSE(pager.changedSinceSavepoint());
    pager.writeBytes(kPage, 100, one);
    pager.writeBytes(kPage, 100, two);
    EXPECT_TRUE(pager.changedSinceSavepoint());
    EXPECT_EQ(bytesAt(100), two);
    pager.rollbackToSavepoint();
    EXPECT_EQ(pager.page(kPage)->bytes, original);

    // Bytes, then a whole copy of the page in the same savepoint.
    pager.savepoint();
    pager.writeBytes(kPage, 100, one);
    pager.writablePage(kPage)->bytes[500] ^= 0xff;
    pager.writeBytes(kPage, 200, two);
    pager.rollbackToSavepoint();
    EXPECT_EQ(pager.page(kPage)->bytes, original);

    // Bytes in the outer savepoint, then bytes and a copy in an inner one that is kept.
    pager.savepoint();
    pager.writeBytes(kPage, 100, one);
    pager.savepoint();
    pager.writeBytes(kPage, 104, two);
    pager.writablePage(kPage)->bytes[500] ^= 0xff;
    pager.releaseSavepoint();
    EXPECT_EQ(bytesAt(104), two);
    pager.rollbackToSavepoint();
    EXPECT_EQ(pager.page(kPage)->bytes, original);

    // A copy in the outer savepoint, bytes in an inner one rolled back alone, then kept.
    pager.savepoint();
    pager.writablePage(kPage)->bytes[500] ^= 0xff;
    Bytes afterCopy = pager.page(kPage)->bytes;
    pager.savepoint();
    pager.writeBytes(kPage, 100, one);
    pager.rollbackToSavepoint();
    EXPECT_EQ(pager.page(kPage)->bytes, afterCopy);
    pager.savepoint();
    pager.writeBytes(kPage, 100, two);
    pager.releaseSavepoint();
    pager.rollbackToSavepoint();
    EXPECT_EQ(pager.page(kPage)->bytes, original);

    // A reader holding the page while it is rolled back keeps what it saw; the pager does not.
    pager.savepoint();
    pager.writeBytes(kPage, 100, one);
    const jet::PageRef held = pager.page(kPage);
    pager.rollbackToSavepoint();
    EXPECT_EQ(pager.page(kPage)->bytes, original);
    EXPECT_EQ(Bytes(held->bytes.begin() + 100, held->bytes.begin() + 104), one);

    // Past the end of the page: refused, nothing written.
    pager.savepoint();
    EXPECT_THROW(pager.writeBytes(kPage, 4094, one), jet::Error);
    EXPECT_THROW(pager.writeBytes(kPage, std::size_t{1} << 40, one), jet::Error);
    pager.releaseSavepoint();
    EXPECT_EQ(pager.page(kPage)->bytes, original);

    // Kept bytes reach the file at commit; the first rollback left nothing of the rest.
    pager.savepoint();
    pager.writeBytes(kPage, 100, two);
    pager.releaseSavepoint();
    db->commitTransaction();
    Bytes expected = before;
    std::copy(two.begin(), two.end(), expected.begin() + 2 * 4096 + 100);
    EXPECT_EQ(readFile(file), expected);
}

TEST(PagerStatement, RejectedStatementLeavesTheFileByteForByte) {
    DM_REQUIRE_FIXTURE("access/V2003/test2V2003.mdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/V2003/test2V2003.mdb");
    const Bytes before = readFile(file);
    auto db = jet::Database::open(file.string(), rw());
    EXPECT_THROW(db->writeStatement([&] {
        for (int i = 0; i < 50; ++i)
            db->pager().allocatePage(jet::page_type::kData);
        db->pager().freePage(5);
        db->pager().writablePage(2)->bytes[10] = 1;
        throw jet::Error(jet::ErrorKind::Corrupt, "bad value");
    }),
                 jet::Error);
    EXPECT_FALSE(db->inTransaction());
    db.reset();
    EXPECT_EQ(readFile(file), before);
    EXPECT_FALSE(fs::exists(jet::journalPathFor(file.string())));
}

TEST(PagerStatement, StatementsOfATransactionAreKeptOrUndoneTogether) {
    DM_REQUIRE_FIXTURE("access/empty/empty2010.accdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/empty/empty2010.accdb");
    const Bytes before = readFile(file);
    auto db = jet::Database::open(file.string(), rw());
    db->beginTransaction();
    for (int i = 0; i < 3; ++i)
        db->writeStatement([&] { db->pager().allocatePage(jet::page_type::kData); });
    EXPECT_TRUE(db->inTransaction()) << "a statement inside a transaction committed it";
    db->rollbackTransaction();
    EXPECT_EQ(readFile(file), before);

    db->beginTransaction();
    for (int i = 0; i < 3; ++i)
        db->writeStatement([&] { db->pager().allocatePage(jet::page_type::kData); });
    db->commitTransaction();
    EXPECT_EQ(readFile(file).size(), before.size() + 3 * 4096);
}

// A refused statement that wrote nothing keeps what was read of the catalogue and the table
// definitions; one that wrote has them read again, so nothing of its undone pages stays cached.
TEST(PagerStatement, OnlyARefusalThatWroteDropsWhatWasRead) {
    DM_REQUIRE_FIXTURE("access/empty/empty2010.accdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/empty/empty2010.accdb");
    auto db = jet::Database::open(file.string(), rw());
    auto refuse = [&](bool write) {
        EXPECT_THROW(db->writeStatement([&] {
            if (write) db->pager().writablePage(2)->bytes[300] ^= 0x55;
            throw jet::Error(jet::ErrorKind::Constraint, "refused");
        }),
                     jet::Error);
    };
    for (bool inTransaction : {false, true}) {
        SCOPED_TRACE(inTransaction ? "in a transaction" : "on its own");
        if (inTransaction) db->beginTransaction();
        std::uint64_t epoch = db->schemaEpoch();
        refuse(false);
        EXPECT_EQ(db->schemaEpoch(), epoch);
        refuse(true);
        EXPECT_GT(db->schemaEpoch(), epoch);
        epoch = db->schemaEpoch();
        if (inTransaction) {
            // A statement that appends a page has written too.
            EXPECT_THROW(db->writeStatement([&] {
                db->pager().appendPage();
                throw jet::Error(jet::ErrorKind::Constraint, "refused");
            }),
                         jet::Error);
            EXPECT_GT(db->schemaEpoch(), epoch);
            db->rollbackTransaction();
        }
        EXPECT_FALSE(db->inTransaction());
    }
    EXPECT_TRUE(jet::checkDatabase(*db).ok());
}

TEST(PagerStatement, MisuseIsReportedNotIgnored) {
    DM_REQUIRE_FIXTURE("access/empty/empty.mdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/empty/empty.mdb");
    auto db = jet::Database::open(file.string(), rw());
    EXPECT_THROW(db->commitTransaction(), jet::Error);
    EXPECT_THROW(db->pager().writablePage(3), jet::Error);
    db->beginTransaction();
    EXPECT_THROW(db->beginTransaction(), jet::Error);
    for (std::uint32_t p : {0u, 1u, 2u}) {
        try {
            db->pager().freePage(p);
            ADD_FAILURE() << "page " << p << " was freed";
        } catch (const jet::Error& e) {
            EXPECT_EQ(e.kind(), jet::ErrorKind::Corrupt);
        }
    }
    EXPECT_THROW(db->pager().freePage(db->pager().pageCount()), jet::Error);
    db->rollbackTransaction();
}

TEST(PagerReadOnly, ReadOnlyOpensAndJet3FilesRefuseToWrite) {
    DM_REQUIRE_FIXTURE("access/V1997/testV1997.mdb");
    testenv::TempDir dir;
    const fs::path jet3 = dir.copyFixture("access/V1997/testV1997.mdb");
    const Bytes before = readFile(jet3);
    auto db = jet::Database::open(jet3.string(), rw());
    EXPECT_FALSE(db->writable());
    // A transaction only reads there; its first statement is refused before it writes.
    db->beginTransaction();
    try {
        db->writeStatement([&] { db->pager().writablePage(3); });
        FAIL() << "a Jet 3 file accepted a statement";
    } catch (const jet::Error& e) {
        EXPECT_EQ(e.kind(), jet::ErrorKind::ReadOnly);
        EXPECT_EQ(e.message(),
                  "Databases of the Jet 3 (Access 97) format can be read but not written by "
                  "this program.");
    }
    db->commitTransaction();
    EXPECT_THROW(db->commitTransaction(), jet::Error);
    db.reset();
    EXPECT_EQ(readFile(jet3), before);

    const fs::path jet4 = dir.copyFixture("access/empty/empty.mdb");
    auto ro = jet::Database::open(jet4.string(), {});
    try {
        ro->writeStatement([] {});
        FAIL() << "a read-only open accepted a statement";
    } catch (const jet::Error& e) {
        EXPECT_EQ(e.kind(), jet::ErrorKind::ReadOnly);
        EXPECT_EQ(e.message(), "The database \"" + jet4.string() + "\" is open for reading only.");
    }
}

TEST(PagerCodec, EncodedFilesStayEncoded) {
    DM_REQUIRE_FIXTURE("access/encrypted/db-enc.mdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/encrypted/db-enc.mdb");
    std::vector<std::string> rowsBefore;
    std::uint32_t page = 0;
    const Bytes marker = {'P', 'L', 'A', 'I', 'N', 'T', 'E', 'X', 'T', '!'};
    {
        auto db = jet::Database::open(file.string(), rw());
        rowsBefore = everyRow(*db);
        db->beginTransaction();
        auto p = db->pager().allocatePage(jet::page_type::kData);
        page = p->number;
        std::copy(marker.begin(), marker.end(), p->bytes.begin() + 1000);
        db->commitTransaction();
    }
    const Bytes raw = readFile(file);
    EXPECT_EQ(std::search(raw.begin(), raw.end(), marker.begin(), marker.end()), raw.end())
        << "the page was written unencoded";
    auto db = jet::Database::open(file.string(), {});
    const auto p = db->pager().page(page);
    EXPECT_TRUE(std::equal(marker.begin(), marker.end(), p->bytes.begin() + 1000));
    EXPECT_EQ(p->bytes[0], jet::page_type::kData);
    EXPECT_EQ(everyRow(*db), rowsBefore);
}

// Encrypted .accdb files: written pages are enciphered with the file's own scheme and key.
class EncryptedWrite : public testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(EncryptedWrite, PagesStayEnciphered) {
    const auto [fixture, password] = GetParam();
    DM_REQUIRE_FIXTURE(fixture);
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture(fixture);
    jet::OpenOptions o = rw();
    o.password = password;
    const Bytes marker = {'S', 'E', 'C', 'R', 'E', 'T', '-', 'M', 'A', 'R', 'K'};
    std::uint32_t page = 0;
    std::vector<std::string> rowsBefore;
    {
        auto db = jet::Database::open(file.string(), o);
        rowsBefore = everyRow(*db);
        db->beginTransaction();
        auto p = db->pager().allocatePage(jet::page_type::kData);
        page = p->number;
        std::copy(marker.begin(), marker.end(), p->bytes.begin() + 2000);
        db->pager().writablePage(2)->bytes[4000] ^= 0;  // rewritten unchanged
        db->commitTransaction();
    }
    const Bytes raw = readFile(file);
    EXPECT_EQ(std::search(raw.begin(), raw.end(), marker.begin(), marker.end()), raw.end())
        << "the page was written in the clear";
    o.mode = jet::OpenMode::ReadOnly;
    auto db = jet::Database::open(file.string(), o);
    const auto p = db->pager().page(page);
    EXPECT_TRUE(std::equal(marker.begin(), marker.end(), p->bytes.begin() + 2000));
    EXPECT_EQ(everyRow(*db), rowsBefore) << "the page rewritten unchanged came back changed";
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, EncryptedWrite,
    testing::Values(std::make_pair("access/encrypted/db2007-enc.accdb", "Test123"),
                    std::make_pair("access/encrypted/db2013-enc.accdb", "1234")),
    [](const auto& testInfo) {
        std::string n = fs::path(testInfo.param.first).stem().string();
        for (char& c : n)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return n;
    });

TEST(FreePageMap, GrowsWithTheFileAndMarksPagesPastTheEndFree) {
    DM_REQUIRE_FIXTURE("access/empty/empty.mdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/empty/empty.mdb");
    const std::uint32_t want = 1300;  // past the 512 pages the map of this file covers
    {
        auto db = jet::Database::open(file.string(), rw());
        db->beginTransaction();
        while (db->pager().pageCount() < want)
            db->pager().allocatePage(jet::page_type::kData);
        db->commitTransaction();
    }
    auto db = jet::Database::open(file.string(), {});
    EXPECT_EQ(db->pager().pageCount(), want);
    const auto page1 = db->pager().page(jet::kFreePageMapPage);
    const jet::ByteReader r(page1->span(), "page 1", 1);
    const jet::DataPage dp(r, db->format());
    const auto row = dp.row(jet::kFreePageMapRow);
    EXPECT_EQ(row.u8(0), 0x00) << "still an inline map";
    const std::size_t bits = (row.size() - 5) * 8;
    EXPECT_GE(bits, want);
    EXPECT_EQ(bits % 256, 0u);
    // Every page in the file is used, and the pages the map covers past the end are free.
    EXPECT_TRUE(freePages(*db).empty());
    for (std::size_t i = want; i < bits; ++i)
        EXPECT_TRUE((row.u8(5 + i / 8) >> (i % 8)) & 1) << "page " << i << " past the end";
    EXPECT_EQ(jet::dataPageFreeSpace(page1->span(), db->format()),
              r.u16(db->format().dataFreeSpaceOffset));
}

TEST(FreePageMap, BecomesAReferenceMapWhenPageOneIsFull) {
    DM_REQUIRE_FIXTURE("access/empty/empty2007.accdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/empty/empty2007.accdb");
    const std::uint32_t want = 40000;  // an inline map on a 4 KiB page holds about 31,000
    std::vector<std::uint32_t> freed = {3000, 35000, 39000};
    {
        auto db = jet::Database::open(file.string(), rw());
        db->pager().setSpillLimit(2048);
        db->beginTransaction();
        while (db->pager().pageCount() < want) {
            db->pager().allocatePage(jet::page_type::kData);
            db->pager().spillIfLarge();
        }
        for (std::uint32_t p : freed)
            db->pager().freePage(p);
        db->commitTransaction();
    }
    auto db = jet::Database::open(file.string(), rw());
    const auto page1 = db->pager().page(jet::kFreePageMapPage);
    const jet::ByteReader r(page1->span(), "page 1", 1);
    const jet::DataPage dp(r, db->format());
    EXPECT_EQ(dp.row(jet::kFreePageMapRow).u8(0), 0x01) << "a reference map";
    EXPECT_EQ(dp.row(jet::kFreePageMapRow).size(), 69u);
    EXPECT_EQ(freePages(*db), freed);
    db->beginTransaction();
    for (std::uint32_t p : freed)
        EXPECT_EQ(db->pager().allocatePage(jet::page_type::kData)->number, p);
    const std::uint32_t end = db->pager().pageCount();
    EXPECT_EQ(db->pager().allocatePage(jet::page_type::kData)->number, end);
    db->commitTransaction();
}

}  // namespace

namespace {

TEST(PagerWriteTail, AFileEndingInPartOfAPageIsRestoredWhole) {
    DM_REQUIRE_FIXTURE("access/empty/empty2003.mdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/empty/empty2003.mdb");
    {
        std::ofstream out(file, std::ios::binary | std::ios::app);
        out << "a torn last page";
    }
    const Bytes before = readFile(file);
    {
        auto db = jet::Database::open(file.string(), rw());
        db->pager().setSpillLimit(16);
        db->beginTransaction();
        for (int i = 0; i < 40; ++i)
            db->pager().allocatePage(jet::page_type::kData)->bytes[9] = 9;
        db->pager().spillIfLarge();  // the appended pages reach the file
        EXPECT_NE(readFile(file), before);
        db->rollbackTransaction();
    }
    EXPECT_EQ(readFile(file), before);
}

}  // namespace
