// Access files another program holds, through the data-access objects: the refusal a window
// reports, reading beside another reader, the lock file a connection keeps while it is open, and
// files in a folder nothing may be written into.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/error.h"
#include "db/read_only_folders.h"
#include "tests/support/other_program.h"
#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;

std::unique_ptr<db::Connection> openAccess(const std::string& path, int mode) {
    auto cn = std::make_unique<db::Connection>();
    if (mode) cn->setMode(mode);
    db::LoginFields l;
    l.accessPath = path;
    cn->open(db::buildAccessConnectionString(l));
    return cn;
}

std::string hostName() {
    char buf[256] = {};
    ::gethostname(buf, sizeof buf - 1);
    return buf;
}

std::string lockRecordUser(const fs::path& lock) {
    std::ifstream in(lock, std::ios::binary);
    std::string record((std::istreambuf_iterator<char>(in)), {});
    return record.size() >= 64 ? std::string(record.c_str() + 32) : "";
}

TEST(AccessLocking, AFileAnotherProgramWritesIsRefusedWithItsHolder) {
    DM_REQUIRE_FIXTURE("access/V2003/test2V2003.mdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/V2003/test2V2003.mdb");
    testenv::OtherProgram writer({JET_TEST_CHILD, "hold", file.string()});
    ASSERT_EQ(writer.firstLine(), "ready");
    const std::string user = lockRecordUser(dir.path() / "test2V2003.ldb");
    for (int mode : {0, 1, 3}) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        try {
            openAccess(file.string(), mode);
            FAIL() << "the file opened while another program writes it";
        } catch (const db::Error& e) {
            EXPECT_EQ(e.number(), db::errc::kLocked);
            EXPECT_EQ(e.description(), "The database \"" + file.string() +
                                           "\" is being changed by another program (user " + user +
                                           " on computer " + hostName() +
                                           "). Close it there and try again.");
        }
    }
    writer.kill();  // as a crash would: its lock goes with it
    auto cn = openAccess(file.string(), 3);
    EXPECT_EQ(cn->state(), db::kAdStateOpen);
}

TEST(AccessLocking, ReadingBesideAnotherReaderWorks) {
    DM_REQUIRE_FIXTURE("access/V2007/testV2007.accdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/V2007/testV2007.accdb");
    std::ofstream(dir.path() / "testV2007.laccdb") << "";  // so the reader locks it
    testenv::OtherProgram reader({JET_TEST_CHILD, "hold-read", file.string()});
    ASSERT_EQ(reader.firstLine(), "ready");
    // The default mode wants to write, cannot while the other program reads, and reads.
    auto cn = openAccess(file.string(), 0);
    auto rs = cn->openSchema(db::kAdSchemaTables);
    EXPECT_GT(rs->recordCount(), 0);
}

TEST(AccessLocking, EveryConnectionKeepsTheLockFileWhileItIsOpen) {
    DM_REQUIRE_FIXTURE("access/empty/empty2010.accdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/empty/empty2010.accdb");
    const fs::path lock = dir.path() / "empty2010.laccdb";
    {
        auto cn = openAccess(file.string(), 1);
        EXPECT_TRUE(fs::exists(lock)) << "a read-only connection holds no lock file";
        EXPECT_EQ(lockRecordUser(lock).empty(), false);
    }
    EXPECT_FALSE(fs::exists(lock)) << "closing left the lock file behind";
    {
        auto cn = openAccess(file.string(), 3);
        EXPECT_TRUE(fs::exists(lock));
        cn->beginTrans();
        EXPECT_TRUE(fs::exists(lock));
        EXPECT_EQ(
            [&] {
                try {
                    cn->beginTrans();
                } catch (const db::Error& e) {
                    return e.description();
                }
                return std::string("no error");
            }(),
            "A transaction is already active.");
        cn->commitTrans();
        EXPECT_TRUE(fs::exists(lock)) << "the writer let go of the file between transactions";
        cn->close();
        EXPECT_FALSE(fs::exists(lock)) << "closing left the lock file behind";
    }
}

TEST(AccessLocking, AFileOfAReadOnlyFolderIsReadWithoutALockFileAndNeverWritten) {
    DM_REQUIRE_FIXTURE("access/empty/empty2010.accdb");
    testenv::TempDir dir;
    const fs::path file = dir.copyFixture("access/empty/empty2010.accdb");
    const fs::path lock = dir.path() / "empty2010.laccdb";
    db::addReadOnlyFolder((dir.path() / "." / "..").string() + "/" +
                          dir.path().filename().string());
    struct Clear {
        ~Clear() { db::clearReadOnlyFolders(); }
    } clear;
    EXPECT_TRUE(db::inReadOnlyFolder(file.string()));
    EXPECT_FALSE(db::inReadOnlyFolder(dir.path().string() + "-other/x.accdb"));
    for (int mode : {0, 1, 3}) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        const auto before = fs::last_write_time(dir.path());
        auto cn = openAccess(file.string(), mode);
        EXPECT_FALSE(fs::exists(lock)) << "a lock file was made in the read-only folder";
        auto rs = cn->openSchema(db::kAdSchemaTables);
        EXPECT_GT(rs->recordCount(), 0);
        try {
            cn->execute("CREATE TABLE t (a INT)");
            FAIL() << "a table was made in the read-only folder";
        } catch (const db::Error& e) {
            EXPECT_EQ(e.number(), db::errc::kReadOnly);
            if (mode != 1) {
                EXPECT_EQ(e.description(),
                          "The database \"" + file.string() +
                              "\" belongs to the program's installation and is not written "
                              "into. Copy it to a folder of your own to change it.");
            }
        }
        EXPECT_EQ(fs::last_write_time(dir.path()), before) << "something was made in the folder";
        // It is still held shared: another program's writer is kept out while it is read.
        testenv::OtherProgram writer({JET_TEST_CHILD, "write", file.string()});
        EXPECT_NE(writer.firstLine(), "wrote");
    }
}

}  // namespace
