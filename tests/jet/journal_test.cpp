// The rollback journal: a commit cut short at every write leaves a file that opens exactly as it
// was before the transaction; torn and foreign journals; early writes of a long transaction
// (spills) undone by a rollback; read-only opens that find a journal.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <fstream>

#include "db/jet/base/error.h"
#include "db/jet/database/database.h"
#include "db/jet/page/journal.h"
#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& p, const Bytes& b) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// True when the journal at `path` is there and would be played back (its header is valid).
bool liveJournal(const std::string& path) {
    const Bytes b = readFile(path);
    return b.size() >= 32 && std::memcmp(b.data(), "DMJRNL2", 8) == 0;
}

jet::OpenOptions rw() {
    jet::OpenOptions o;
    o.mode = jet::OpenMode::ReadWrite;
    return o;
}

// A transaction that changes pages of the file and appends new ones.
void changeALot(jet::Database& db) {
    jet::Pager& pager = db.pager();
    for (int i = 0; i < 12; ++i)
        pager.allocatePage(jet::page_type::kData)->bytes[64] = static_cast<std::uint8_t>(i + 1);
    for (std::uint32_t p : {2u, 3u, 5u})
        pager.writablePage(p)->bytes[2000] ^= 0xA5;
}

TEST(Journal, ChecksumsAreTheCrc32OfZipFiles) {
    const std::string check = "123456789";
    const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(check.data()), check.size());
    EXPECT_EQ(jet::crc32(bytes), 0xCBF43926u);
    EXPECT_EQ(jet::crc32({}), 0u);
    // Whatever the lengths of the pieces, continuing gives the checksum of the whole.
    Bytes page(4096 + 13);
    for (std::size_t i = 0; i < page.size(); ++i)
        page[i] = static_cast<std::uint8_t>(i * 131 + 7);
    const std::uint32_t whole = jet::crc32(page);
    for (std::size_t cut : {0u, 1u, 7u, 8u, 9u, 4096u, 4109u})
        EXPECT_EQ(jet::crc32(std::span(page).subspan(cut), jet::crc32(std::span(page).first(cut))),
                  whole)
            << cut;
}

TEST(Journal, ACommitCutShortAtAnyWriteIsUndoneOnTheNextOpen) {
    DM_REQUIRE_FIXTURE("access/V2003/test2V2003.mdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/V2003/test2V2003.mdb");
    const Bytes original = readFile(file);
    const std::string journal = jet::journalPathFor(file.string());

    // How many writes a whole commit makes.
    std::uint64_t writes = 0;
    {
        auto faulty = std::make_unique<jet::FaultyFile>(
            jet::openPosixFile(file.string(), jet::OpenMode::ReadWrite), jet::FaultyFile::Plan{});
        jet::FaultyFile* counter = faulty.get();
        auto db = jet::Database::open(std::move(faulty), jet::journalBeside(file.string()), rw());
        db->beginTransaction();
        changeALot(*db);
        db->commitTransaction();
        writes = counter->writes();
        writeFile(file, original);
    }
    ASSERT_GT(writes, 10u);

    for (std::uint64_t crashAt = 0; crashAt < writes; ++crashAt) {
        SCOPED_TRACE("crash after " + std::to_string(crashAt) + " writes");
        writeFile(file, original);
        jet::FaultyFile::Plan plan;
        plan.crashAfterWrites = crashAt == 0 ? 0 : crashAt;
        if (crashAt == 0) plan.failWrite = 1;
        auto faulty = std::make_unique<jet::FaultyFile>(
            jet::openPosixFile(file.string(), jet::OpenMode::ReadWrite), plan);
        auto db = jet::Database::open(std::move(faulty), jet::journalBeside(file.string()), rw());
        db->beginTransaction();
        changeALot(*db);
        try {
            db->commitTransaction();
            FAIL() << "the commit did not notice the crash";
        } catch (const jet::Error& e) {
            EXPECT_EQ(e.kind(), jet::ErrorKind::Io);
        }
        db.reset();
        // The machine "stopped": whatever reached the file stays; the journal undoes it.
        jet::Database::open(file.string(), {}).reset();
        EXPECT_FALSE(fs::exists(journal));
        EXPECT_EQ(readFile(file), original);
    }
}

TEST(Journal, ATornLastRecordIsIgnoredAndTheFileCutBack) {
    testenv::TempDir dir;
    const fs::path file = dir.path() / "pages.bin";
    Bytes now(4 * 4096, 0x11);
    writeFile(file, now);
    Bytes page1(4096, 0x01), page2(4096, 0x02);
    {
        // A transaction that wrote pages 1 and 2 (0x11 now) and appended page 3.
        auto store = jet::journalBeside(file.string());
        auto jfile = store->create();
        jet::Journal j(*jfile, 4096, 3 * 4096, std::span(now).first(4096));
        j.append(1, page1);
        j.announce(1, std::span(now).subspan(4096, 4096));
        j.announce(2, std::span(now).subspan(8192, 4096));
        j.sync();
        j.append(2, page2);
        j.sync();
    }
    const std::string jpath = jet::journalPathFor(file.string());
    fs::resize_file(jpath, fs::file_size(jpath) - 100);  // the last record is torn

    auto db = jet::openPosixFile(file.string(), jet::OpenMode::ReadWrite);
    auto store = jet::journalBeside(file.string());
    const jet::ReplayResult r = jet::replayJournal(*db, *store, 4096);
    EXPECT_TRUE(r.found);
    EXPECT_FALSE(r.ignored) << r.note;
    EXPECT_EQ(r.pagesRestored, 1u);
    EXPECT_TRUE(r.truncated);
    EXPECT_FALSE(fs::exists(jpath));
    db.reset();
    Bytes want(3 * 4096, 0x11);
    std::copy(page1.begin(), page1.end(), want.begin() + 4096);
    EXPECT_EQ(readFile(file), want);
}

TEST(Journal, AChangedRecordStopsThePlayback) {
    testenv::TempDir dir;
    const fs::path file = dir.path() / "pages.bin";
    const Bytes now(3 * 4096, 0x11);
    writeFile(file, now);
    {
        auto store = jet::journalBeside(file.string());
        auto jfile = store->create();
        jet::Journal j(*jfile, 4096, 3 * 4096, std::span(now).first(4096));
        j.append(1, Bytes(4096, 0x01));
        j.append(2, Bytes(4096, 0x02));
        j.announce(1, std::span(now).subspan(4096, 4096));
        j.announce(2, std::span(now).subspan(8192, 4096));
        j.sync();
    }
    // Damage one byte of the first record's page: neither record may be played back.
    const std::string jpath = jet::journalPathFor(file.string());
    Bytes jb = readFile(jpath);
    jb[32 + 8 + 10] ^= 1;
    writeFile(jpath, jb);
    auto db = jet::openPosixFile(file.string(), jet::OpenMode::ReadWrite);
    auto store = jet::journalBeside(file.string());
    EXPECT_EQ(jet::replayJournal(*db, *store, 4096).pagesRestored, 0u);
    db.reset();
    EXPECT_EQ(readFile(file), Bytes(3 * 4096, 0x11));
}

TEST(Journal, AnUnfinishedHeaderMeansTheFileWasNeverTouched) {
    testenv::TempDir dir;
    const fs::path file = dir.path() / "pages.bin";
    writeFile(file, Bytes(3 * 4096, 0x11));
    const std::string jpath = jet::journalPathFor(file.string());
    writeFile(jpath, Bytes{'D', 'M', 'J', 'R', 'N'});
    auto db = jet::openPosixFile(file.string(), jet::OpenMode::ReadWrite);
    auto store = jet::journalBeside(file.string());
    const auto r = jet::replayJournal(*db, *store, 4096);
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.pagesRestored, 0u);
    EXPECT_FALSE(r.truncated);
    EXPECT_FALSE(fs::exists(jpath));
    db.reset();
    EXPECT_EQ(readFile(file), Bytes(3 * 4096, 0x11));
}

TEST(Journal, AJournalOfAnotherPageSizeIsIgnored) {
    testenv::TempDir dir;
    const fs::path file = dir.path() / "pages.bin";
    const Bytes now(3 * 4096, 0x11);
    writeFile(file, now);
    {
        auto store = jet::journalBeside(file.string());
        auto jfile = store->create();
        jet::Journal j(*jfile, 2048, 3 * 4096, std::span(now).first(2048));
        j.append(1, Bytes(2048, 0x01));
        j.sync();
    }
    auto db = jet::openPosixFile(file.string(), jet::OpenMode::ReadWrite);
    auto store = jet::journalBeside(file.string());
    const jet::ReplayResult r = jet::replayJournal(*db, *store, 4096);
    EXPECT_TRUE(r.ignored);
    EXPECT_EQ(r.pagesRestored, 0u);
    EXPECT_EQ(r.note, "The journal \"" + jet::journalPathFor(file.string()) +
                          "\" beside the file was left by a program that stopped while writing, "
                          "but not to this file: its pages are of 2048 bytes. It was not played "
                          "back, and is left as it is.");
    db.reset();
    EXPECT_EQ(readFile(file), now);
    EXPECT_TRUE(fs::exists(jet::journalPathFor(file.string())));
}

// A commit of changeALot() into `file` that stops after `writes` writes to the file, as a
// killed program would, leaving its journal.
void crashWhileCommitting(const fs::path& file, std::uint64_t writes) {
    jet::FaultyFile::Plan plan;
    plan.crashAfterWrites = writes;
    auto faulty = std::make_unique<jet::FaultyFile>(
        jet::openPosixFile(file.string(), jet::OpenMode::ReadWrite), plan);
    auto db = jet::Database::open(std::move(faulty), jet::journalBeside(file.string()), rw());
    db->beginTransaction();
    changeALot(*db);
    EXPECT_THROW(db->commitTransaction(), jet::Error);
}

TEST(Journal, AJournalLeftBesideAnotherFileIsNeverPlayedBackNotEvenByAReader) {
    DM_REQUIRE_FIXTURE("access/V2003/test2V2003.mdb");
    DM_REQUIRE_FIXTURE("access/V2003/delTestV2003.mdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/V2003/test2V2003.mdb");
    const std::string journal = jet::journalPathFor(file.string());
    crashWhileCommitting(file, 6);
    ASSERT_TRUE(jet::journalIsLive(*jet::journalBeside(file.string())));
    const Bytes journalBytes = readFile(journal);

    // Another database copied over the name: opening it, even to read, leaves both alone. A
    // shorter one is told by its length; one as long, grown with empty pages, by its header.
    Bytes longer = readFile(testenv::fixturesDir() / "access/V2003/delTestV2003.mdb");
    const Bytes shorter = longer;
    ASSERT_LT(shorter.size(), fs::file_size(file));
    longer.resize(fs::file_size(file), 0);
    const std::pair<const Bytes*, std::string> others[] = {
        {&shorter, "the file is shorter than it was when that transaction began"},
        {&longer, "its header page is not the one that transaction began with"}};
    for (const auto& [other, why] : others) {
        writeFile(file, *other);
        for (jet::OpenMode mode : {jet::OpenMode::ReadOnly, jet::OpenMode::ReadWrite}) {
            jet::OpenOptions o;
            o.mode = mode;
            auto db = jet::Database::open(file.string(), o);
            EXPECT_TRUE(db->recovery().found);
            EXPECT_TRUE(db->recovery().ignored);
            EXPECT_EQ(db->recovery().pagesRestored, 0u);
            EXPECT_EQ(db->recovery().note,
                      "The journal \"" + journal +
                          "\" beside the file was left by a program that stopped while writing, "
                          "but not to this file: " +
                          why + ". It was not played back, and is left as it is.");
            db.reset();
            EXPECT_EQ(readFile(file), *other);
            EXPECT_EQ(readFile(journal), journalBytes) << "the journal was changed";
        }
    }

    // The same file, changed by another program since the crash: a page the transaction wrote
    // holds something else now.
    const fs::path second = dir.copyFixture("access/V2003/test2V2003.mdb", "second.mdb");
    crashWhileCommitting(second, 6);
    Bytes changed = readFile(second);
    changed[2 * 4096 + 3000] ^= 0x40;  // page 2, which the transaction wrote
    writeFile(second, changed);
    auto db = jet::Database::open(second.string(), {});
    EXPECT_TRUE(db->recovery().ignored);
    EXPECT_NE(db->recovery().note.find("page 2 holds neither what the journal kept of it nor "
                                       "what that transaction wrote there"),
              std::string::npos)
        << db->recovery().note;
    db.reset();
    EXPECT_EQ(readFile(second), changed);
}

TEST(Journal, APageTornInTheMiddleOfItsWriteIsStillTheJournalsAndIsRestored) {
    DM_REQUIRE_FIXTURE("access/V2003/test2V2003.mdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/V2003/test2V2003.mdb");
    const Bytes original = readFile(file);
    // What the whole commit writes.
    {
        auto db = jet::Database::open(file.string(), rw());
        db->beginTransaction();
        changeALot(*db);
        db->commitTransaction();
    }
    const Bytes after = readFile(file);
    writeFile(file, original);
    crashWhileCommitting(file, 1);  // new pages only: the old ones are as they were
    // The machine stopped while page 3 was being written: its first four sectors (the changed
    // byte among them) reached the disk, the rest did not.
    Bytes torn = readFile(file);
    std::copy_n(after.begin() + 3 * 4096, 4 * 512, torn.begin() + 3 * 4096);
    ASSERT_NE(Bytes(torn.begin() + 3 * 4096, torn.begin() + 4 * 4096),
              Bytes(original.begin() + 3 * 4096, original.begin() + 4 * 4096));
    writeFile(file, torn);
    auto db = jet::Database::open(file.string(), {});
    EXPECT_FALSE(db->recovery().ignored) << db->recovery().note;
    EXPECT_GT(db->recovery().pagesRestored, 0u);
    db.reset();
    EXPECT_EQ(readFile(file), original);
}

TEST(Journal, TheJournalIsAsPrivateAsTheDatabaseAndNeverWrittenThroughALink) {
    DM_REQUIRE_FIXTURE("access/empty/empty2003.mdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/empty/empty2003.mdb");
    const std::string journal = jet::journalPathFor(file.string());
    const mode_t mask = ::umask(022);
    for (fs::perms mode :
         {fs::perms::owner_read | fs::perms::owner_write,
          fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read,
          fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
              fs::perms::group_write | fs::perms::others_read | fs::perms::others_write}) {
        fs::permissions(file, mode);
        auto db = jet::Database::open(file.string(), rw());
        db->beginTransaction();
        changeALot(*db);
        db->commitTransaction();  // the journal stays while the database is open
        ASSERT_TRUE(fs::exists(journal));
        EXPECT_EQ(fs::status(journal).permissions(), mode);
    }
    ::umask(mask);

    const fs::path victim = dir.path() / "victim.txt";
    std::ofstream(victim) << "keep me";
    fs::create_symlink(victim, journal);
    {
        auto db = jet::Database::open(file.string(), rw());
        db->beginTransaction();
        changeALot(*db);
        db->commitTransaction();
        EXPECT_FALSE(fs::is_symlink(journal)) << "the journal was written through the link";
    }
    std::ifstream in(victim);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "keep me");
}

TEST(Journal, EarlyWritesOfALongTransactionAreUndoneByRollback) {
    DM_REQUIRE_FIXTURE("access/empty/empty2010.accdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/empty/empty2010.accdb");
    const Bytes original = readFile(file);
    auto db = jet::Database::open(file.string(), rw());
    db->pager().setSpillLimit(16);
    db->beginTransaction();
    for (int round = 0; round < 5; ++round) {
        changeALot(*db);
        db->pager().spillIfLarge();
    }
    EXPECT_NE(readFile(file), original) << "nothing was written early";
    EXPECT_TRUE(liveJournal(jet::journalPathFor(file.string())));
    // A statement after the spill is undone on its own.
    const std::uint32_t pages = db->pager().pageCount();
    EXPECT_THROW(db->writeStatement([&] {
        changeALot(*db);
        throw jet::Error(jet::ErrorKind::Syntax, "no");
    }),
                 jet::Error);
    EXPECT_EQ(db->pager().pageCount(), pages);
    db->rollbackTransaction();
    EXPECT_EQ(readFile(file), original);
    EXPECT_FALSE(liveJournal(jet::journalPathFor(file.string())));

    // The same, committed: every change is there.
    db->beginTransaction();
    for (int round = 0; round < 5; ++round) {
        changeALot(*db);
        db->pager().spillIfLarge();
    }
    db->commitTransaction();
    EXPECT_EQ(readFile(file).size(), original.size() + 60 * 4096);
    const Bytes after = readFile(file);
    EXPECT_EQ(after[2 * 4096 + 2000], original[2 * 4096 + 2000] ^ 0xA5)
        << "five flips of the same byte leave it flipped";
}

TEST(Journal, AReadOnlyOpenRepairsTheFileFirst) {
    DM_REQUIRE_FIXTURE("access/empty/empty2003.mdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/empty/empty2003.mdb");
    const Bytes original = readFile(file);
    {
        jet::FaultyFile::Plan plan;
        plan.crashAfterWrites = 3;
        auto faulty = std::make_unique<jet::FaultyFile>(
            jet::openPosixFile(file.string(), jet::OpenMode::ReadWrite), plan);
        auto db = jet::Database::open(std::move(faulty), jet::journalBeside(file.string()), rw());
        db->beginTransaction();
        changeALot(*db);
        EXPECT_THROW(db->commitTransaction(), jet::Error);
    }
    ASSERT_TRUE(fs::exists(jet::journalPathFor(file.string())));
    ASSERT_NE(readFile(file), original);
    auto db = jet::Database::open(file.string(), {});
    EXPECT_TRUE(db->recovery().found);
    EXPECT_GT(db->recovery().pagesRestored, 0u);
    EXPECT_EQ(readFile(file), original);
    EXPECT_FALSE(fs::exists(jet::journalPathFor(file.string())));
}

TEST(Journal, MemoryDatabasesKeepTheirJournalInMemory) {
    DM_REQUIRE_FIXTURE("access/empty/empty2016.accdb");
    const Bytes original = readFile(testenv::fixturesDir() / "access/empty/empty2016.accdb");
    auto store = std::make_unique<jet::MemoryJournalStore>();
    // The database owns its store and frees it on closing; this one sees the same journal and
    // outlives it.
    const std::unique_ptr<jet::MemoryJournalStore> journal = store->share();
    auto mem = std::make_unique<jet::MemoryFile>(original);
    jet::MemoryFile* bytes = mem.get();
    auto db = jet::Database::open(std::move(mem), std::move(store), rw());
    db->pager().setSpillLimit(16);
    db->beginTransaction();
    changeALot(*db);
    changeALot(*db);
    db->pager().spillIfLarge();
    EXPECT_TRUE(journal->exists());
    EXPECT_NE(bytes->bytes(), original);
    db->rollbackTransaction();
    EXPECT_TRUE(journal->bytes().size() < 8 ||
                std::memcmp(journal->bytes().data(), "DMJRNL2", 8) != 0)
        << "the journal still promises a transaction";
    EXPECT_EQ(bytes->bytes(), original);
    db.reset();
    EXPECT_FALSE(journal->exists()) << "closing the database left its journal";
}

}  // namespace

namespace {

TEST(Journal, AVoidJournalIsLeftAloneByReadersAndRemovedByWriters) {
    DM_REQUIRE_FIXTURE("access/empty/empty2003.mdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/empty/empty2003.mdb");
    const Bytes original = readFile(file);
    const std::string journal = jet::journalPathFor(file.string());
    // What a program killed between two transactions leaves: a voided header, old records.
    Bytes voided(32 + 4 + 4096 + 4, 0);
    std::fill(voided.begin() + 36, voided.end(), 0x5A);
    writeFile(journal, voided);
    {
        auto db = jet::Database::open(file.string(), {});
        EXPECT_FALSE(db->recovery().found);
    }
    EXPECT_TRUE(fs::exists(journal));
    EXPECT_EQ(readFile(file), original);
    {
        auto db = jet::Database::open(file.string(), rw());
        db->beginTransaction();
        EXPECT_FALSE(fs::exists(journal)) << "the first writer kept a void journal";
        db->rollbackTransaction();
    }
    EXPECT_EQ(readFile(file), original);
}

}  // namespace

namespace {

TEST(Journal, StatementsOfALongTransactionWriteEarlyOnTheirOwn) {
    DM_REQUIRE_FIXTURE("access/empty/empty2007.accdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/empty/empty2007.accdb");
    const Bytes original = readFile(file);
    auto db = jet::Database::open(file.string(), rw());
    db->pager().setSpillLimit(16);
    db->beginTransaction();
    for (int i = 0; i < 100; ++i)
        db->writeStatement([&] { db->pager().allocatePage(jet::page_type::kData); });
    EXPECT_LE(db->pager().dirtyPages(), 16u) << "dirty pages piled up between statements";
    db->rollbackTransaction();
    EXPECT_EQ(readFile(file), original);
}

}  // namespace
