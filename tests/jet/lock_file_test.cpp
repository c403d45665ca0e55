// Lock files beside databases: their names, the refusals another program meets (a real second
// process), stale lock files left by a crash, and connections of one program sharing a file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "db/jet/base/error.h"
#include "db/jet/database/database.h"
#include "db/jet/page/lock_file.h"
#include "tests/support/other_program.h"
#include "tests/support/run_program.h"
#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;

jet::OpenOptions rw() {
    jet::OpenOptions o;
    o.mode = jet::OpenMode::ReadWrite;
    return o;
}

// Opens `path` in another program and returns what happened there: "opened" or the error text.
std::string openInAnotherProcess(const std::string& path, jet::OpenMode mode) {
    const auto r = testenv::runProgram(
        {JET_TEST_CHILD, "open", path, mode == jet::OpenMode::ReadWrite ? "rw" : "ro"});
    return r.status == 0 ? r.out : "the child failed: " + r.err;
}

// Writes a page of `path` in another program: "wrote" or the error text.
std::string writeInAnotherProcess(const std::string& path) {
    const auto r = testenv::runProgram({JET_TEST_CHILD, "write", path});
    return r.status == 0 ? r.out : "the child failed: " + r.err;
}

std::string hostName() {
    char buf[256] = {};
    ::gethostname(buf, sizeof buf - 1);
    return buf;
}

TEST(LockFile, NamesFollowTheDatabaseKind) {
    EXPECT_EQ(jet::lockFilePathFor("/a/Orders.mdb"), "/a/Orders.ldb");
    EXPECT_EQ(jet::lockFilePathFor("/a/Orders.MDB"), "/a/Orders.ldb");
    EXPECT_EQ(jet::lockFilePathFor("/a/Orders.accdb"), "/a/Orders.laccdb");
    EXPECT_EQ(jet::lockFilePathFor("/a/Orders.ACCDB"), "/a/Orders.laccdb");
    EXPECT_EQ(jet::lockFilePathFor("/a/Orders.accde"), "/a/Orders.laccdb");
    EXPECT_EQ(jet::lockFilePathFor("/a/Orders.mde"), "/a/Orders.ldb");
    EXPECT_EQ(jet::lockFilePathFor("/a/Orders"), "/a/Orders.ldb");
    EXPECT_EQ(jet::lockFilePathFor("/a.b/Orders"), "/a.b/Orders.ldb");
    EXPECT_EQ(jet::lockFilePathFor("Orders.v2.accdb"), "Orders.v2.laccdb");
}

// The records of a lock file: for each 64-byte slot, the computer name and the user name.
std::vector<std::pair<std::string, std::string>> records(const fs::path& lock) {
    std::ifstream in(lock, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<std::pair<std::string, std::string>> out;
    for (std::size_t at = 0; at + 64 <= bytes.size(); at += 64)
        out.emplace_back(std::string(bytes.c_str() + at), std::string(bytes.c_str() + at + 32));
    return out;
}

TEST(LockFile, EveryoneWhoOpensTheFileTakesASlotAndTheLastOneRemovesIt) {
    DM_REQUIRE_FIXTURE("access/empty/empty2007.accdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/empty/empty2007.accdb");
    const fs::path lock = dir.path() / "empty2007.laccdb";
    {
        auto reader = jet::Database::open(file.string(), {});
        ASSERT_TRUE(fs::exists(lock)) << "a reader holds no lock file, as Access keeps one";
        const auto r = records(lock);
        ASSERT_EQ(r.size(), 1u);
        EXPECT_EQ(r[0].first, hostName().substr(0, 31));
        EXPECT_FALSE(r[0].second.empty()) << "no user name";
        EXPECT_EQ(reader->lock()->slot(), 0);
    }
    EXPECT_FALSE(fs::exists(lock)) << "the last reader left the lock file behind";
    {
        auto db = jet::Database::open(file.string(), rw());
        db->beginTransaction();
        db->commitTransaction();
        EXPECT_TRUE(fs::exists(lock)) << "the writer let go of the file between transactions";
        EXPECT_EQ(records(lock).size(), 1u);
        auto second = jet::Database::open(file.string(), rw());  // same program: one slot
        EXPECT_EQ(second->lock()->slot(), 0);
        second.reset();
        EXPECT_TRUE(fs::exists(lock)) << "removed while the first connection still has it";
        // Another program that reads takes the next slot while this one writes... and is
        // refused, letting its slot go.
        EXPECT_EQ(
            openInAnotherProcess(file.string(), jet::OpenMode::ReadOnly)
                .rfind("The database \"" + file.string() + "\" is being changed by another program",
                       0),
            0u);
    }
    EXPECT_FALSE(fs::exists(lock));
}

TEST(LockFile, ReadersInTwoProgramsHoldTwoSlotsAndBlockAWriterNamingThem) {
    DM_REQUIRE_FIXTURE("access/V2003/test2V2003.mdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/V2003/test2V2003.mdb");
    const fs::path lock = dir.path() / "test2V2003.ldb";
    ASSERT_FALSE(fs::exists(lock));
    testenv::OtherProgram first({JET_TEST_CHILD, "hold-read", file.string()});
    ASSERT_EQ(first.firstLine(), "ready");
    testenv::OtherProgram second({JET_TEST_CHILD, "hold-read", file.string()});
    ASSERT_EQ(second.firstLine(), "ready");
    const auto r = records(lock);
    ASSERT_EQ(r.size(), 2u) << "two readers, two records";
    const std::string who = "user " + r[0].second + " on computer " + hostName();
    EXPECT_EQ(writeInAnotherProcess(file.string()),
              "The database \"" + file.string() + "\" is open in another program (" + who +
                  ", and 1 other). Close it there and try again.");
    first.kill();
    EXPECT_EQ(writeInAnotherProcess(file.string()), "The database \"" + file.string() +
                                                        "\" is open in another program (" + who +
                                                        "). Close it there and try again.");
    second.kill();
    EXPECT_EQ(writeInAnotherProcess(file.string()), "wrote");
}

TEST(LockFile, ALockFileThatIsALinkOrNoPlainFileIsRefusedAndLeftAlone) {
    DM_REQUIRE_FIXTURE("access/empty/empty.mdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/empty/empty.mdb");
    const fs::path lock = dir.path() / "empty.ldb";
    const fs::path victim = dir.path() / "victim.txt";
    std::ofstream(victim) << "keep me";
    fs::create_symlink(victim, lock);
    const std::string refusal = "The lock file \"" + lock.string() +
                                "\" is a symbolic link; the database is not opened through it. "
                                "Remove the link and try again.";
    EXPECT_EQ(writeInAnotherProcess(file.string()), refusal);
    EXPECT_EQ(openInAnotherProcess(file.string(), jet::OpenMode::ReadOnly), refusal);
    std::ifstream in(victim);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "keep me");
    EXPECT_TRUE(fs::is_symlink(lock));

    // A link to nowhere is not created through either.
    fs::remove(lock);
    fs::create_symlink(dir.path() / "made-through-the-link", lock);
    EXPECT_EQ(writeInAnotherProcess(file.string()), refusal);
    EXPECT_FALSE(fs::exists(dir.path() / "made-through-the-link"));

    // A pipe would make the opening wait forever.
    fs::remove(lock);
    ASSERT_EQ(::mkfifo(lock.c_str(), 0644), 0);
    EXPECT_EQ(openInAnotherProcess(file.string(), jet::OpenMode::ReadOnly),
              "The lock file \"" + lock.string() +
                  "\" is not a plain file; the database is not opened with it. Remove it and try "
                  "again.");
    fs::remove(lock);
    EXPECT_EQ(writeInAnotherProcess(file.string()), "wrote");
}

TEST(LockFile, AnotherProgramIsRefusedWhileOneWrites) {
    DM_REQUIRE_FIXTURE("access/empty/empty.mdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/empty/empty.mdb");
    auto db = jet::Database::open(file.string(), rw());
    db->beginTransaction();
    db->commitTransaction();  // the file is this program's until it closes it
    std::string user;
    {
        std::ifstream in(dir.path() / "empty.ldb", std::ios::binary);
        std::string record((std::istreambuf_iterator<char>(in)), {});
        user = std::string(record.c_str() + 32);
    }
    const std::string refusal = "The database \"" + file.string() +
                                "\" is being changed by another program (user " + user +
                                " on computer " + hostName() + "). Close it there and try again.";
    EXPECT_EQ(openInAnotherProcess(file.string(), jet::OpenMode::ReadWrite), refusal);
    EXPECT_EQ(openInAnotherProcess(file.string(), jet::OpenMode::ReadOnly), refusal);
    db.reset();
    EXPECT_EQ(writeInAnotherProcess(file.string()), "wrote");
}

TEST(LockFile, AWriterIsRefusedWhileAnotherProgramHasTheFileOpen) {
    DM_REQUIRE_FIXTURE("access/empty/empty.mdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/empty/empty.mdb");
    auto reader = jet::Database::open(file.string(), {});
    EXPECT_EQ(openInAnotherProcess(file.string(), jet::OpenMode::ReadWrite), "opened")
        << "opening for writing is not writing yet";
    EXPECT_EQ(writeInAnotherProcess(file.string()),
              "The database \"" + file.string() + "\" is open in another program (user " +
                  records(dir.path() / "empty.ldb")[0].second + " on computer " + hostName() +
                  "). Close it there and try again.");
    reader.reset();
    EXPECT_EQ(writeInAnotherProcess(file.string()), "wrote");
}

TEST(LockFile, AStaleLockFileLeftByACrashDoesNotBlock) {
    DM_REQUIRE_FIXTURE("access/empty/empty2010.accdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/empty/empty2010.accdb");
    const fs::path lock = dir.path() / "empty2010.laccdb";
    // A writer that is killed keeps no lock: the operating system drops it with the process.
    testenv::OtherProgram writer({JET_TEST_CHILD, "hold", file.string()});
    EXPECT_EQ(writer.firstLine(), "ready");
    ASSERT_TRUE(fs::exists(lock));
    EXPECT_EQ(writeInAnotherProcess(file.string())
                  .rfind("The database \"" + file.string() +
                             "\" is being changed by another "
                             "program",
                         0),
              0u);
    writer.kill();
    ASSERT_TRUE(fs::exists(lock)) << "the lock file stays behind after a crash";
    auto db = jet::Database::open(file.string(), rw());
    db->beginTransaction();
    db->pager().allocatePage(jet::page_type::kData);
    db->commitTransaction();
    db.reset();
    EXPECT_FALSE(fs::exists(lock));

    // Garbage in a lock file nobody holds does not block either.
    std::ofstream(lock) << "MACHINE-THAT-CRASHED\0\0\0";
    EXPECT_EQ(writeInAnotherProcess(file.string()), "wrote");
}

TEST(LockFile, ConnectionsOfOneProgramTakeTurnsAndSeeEachOthersCommits) {
    DM_REQUIRE_FIXTURE("access/empty/empty2019.accdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/empty/empty2019.accdb");
    auto a = jet::Database::open(file.string(), rw());
    auto b = jet::Database::open(file.string(), rw());
    const std::uint32_t pages = a->pager().pageCount();
    a->beginTransaction();
    try {
        b->beginTransaction();
        FAIL() << "two connections of one program wrote at once";
    } catch (const jet::Error& e) {
        EXPECT_EQ(e.kind(), jet::ErrorKind::Locked);
        EXPECT_EQ(e.message(), "The database \"" + file.string() +
                                   "\" is being changed by another connection of this program; "
                                   "finish that first.");
    }
    // Enough pages that the file grows whatever is free in it.
    for (int i = 0; i < 40; ++i)
        a->pager().allocatePage(jet::page_type::kData);
    a->commitTransaction();
    const std::uint32_t grown = a->pager().pageCount();
    EXPECT_GT(grown, pages);
    b->refresh();
    EXPECT_EQ(b->pager().pageCount(), grown) << "the second connection reads a stale file";
    b->beginTransaction();
    b->pager().allocatePage(jet::page_type::kData);
    b->commitTransaction();
    a->refresh();
    EXPECT_EQ(a->pager().pageCount(), grown + 1);
}

}  // namespace
