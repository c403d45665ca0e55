// What the tests find around them: the fixtures beside the checkout, scratch folders, and the
// MariaDB server the test command started.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace testenv {

// The fixtures folder: $DM_FIXTURES, else ../shared/fixtures beside the checkout.
std::filesystem::path fixturesDir();
// Every Access file among the fixtures ("access/V2003/test2V2003.mdb", ...): the .mdb and .accdb
// files under access/, sorted. Other files (the lock files readers keep beside a file while
// other tests read it) are passed over, even as they come and go during the walk.
std::vector<std::string> accessFixtureFiles();
// The unencrypted Jet 4 and ACE fixtures ("access/V2000/testV2000.mdb", ...), sorted: the files
// the round trips send whole.
std::vector<std::string> unencryptedJet4AndAceFixtures();
// True when running under CI (CI=true), where a missing fixture or server is a failure.
bool underCi();

// The MariaDB server of the test command (DM_TEST_MYSQL_HOST, _PORT, _USER, _PASSWORD).
struct MySqlServer {
    std::string host;
    std::string port;
    std::string user;
    std::string password;
};
// Empty host when the environment names no server.
MySqlServer mysqlServer();

// A folder that is removed with everything in it when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    // Copies a fixture (relative to fixturesDir()) into this folder, writable, and returns the
    // copy.
    std::filesystem::path copyFixture(const std::string& relative,
                                      const std::string& newName = {}) const;

  private:
    std::filesystem::path path_;
};

}  // namespace testenv

// Skips the test when the fixture is absent (fails under CI).
#define DM_REQUIRE_FIXTURE(relative)                                              \
    do {                                                                          \
        if (!std::filesystem::exists(::testenv::fixturesDir() / (relative))) {    \
            if (::testenv::underCi()) FAIL() << "missing fixture " << (relative); \
            GTEST_SKIP() << "fixture " << (relative) << " not found under "       \
                         << ::testenv::fixturesDir();                             \
        }                                                                         \
    } while (0)

// Skips the test when no MariaDB server is configured (fails under CI).
#define DM_REQUIRE_MYSQL()                                                       \
    do {                                                                         \
        if (::testenv::mysqlServer().host.empty()) {                             \
            if (::testenv::underCi()) FAIL() << "no MariaDB server configured";  \
            GTEST_SKIP() << "no MariaDB server configured (DM_TEST_MYSQL_HOST)"; \
        }                                                                        \
    } while (0)
