// Test surroundings.
#include "tests/support/test_env.h"

#include <algorithm>

#include <unistd.h>
#include <cstdlib>
#include <random>

namespace testenv {

namespace fs = std::filesystem;

namespace {
std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}
}  // namespace

fs::path fixturesDir() {
    const std::string e = env("DM_FIXTURES");
    if (!e.empty()) return e;
    // Beside the checkout, or beside the folder that holds it (a worktree in a subfolder).
    const fs::path source(DM_SOURCE_DIR);
    for (const fs::path& base : {source.parent_path(), source.parent_path().parent_path()}) {
        const fs::path candidate = base / "shared" / "fixtures";
        if (fs::is_directory(candidate)) return candidate;
    }
    return source.parent_path() / "shared" / "fixtures";
}

std::vector<std::string> accessFixtureFiles() {
    std::vector<std::string> out;
    const fs::path base = fixturesDir();
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(base / "access", ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        // The name first, without touching the file: a lock file may be gone already.
        const fs::path& p = it->path();
        if (p.extension() != ".mdb" && p.extension() != ".accdb") continue;
        std::error_code kindError;
        if (!it->is_regular_file(kindError)) continue;
        out.push_back(p.lexically_relative(base).generic_string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::string> unencryptedJet4AndAceFixtures() {
    std::vector<std::string> out;
    for (const std::string& f : accessFixtureFiles()) {
        const std::string folder = fs::path(f).parent_path().filename().string();
        for (const char* dir : {"V2000", "V2003", "V2007", "V2010", "V2019", "misc"})
            if (folder == dir && fs::path(f).parent_path().parent_path() == "access")
                out.push_back(f);
    }
    return out;
}

bool underCi() {
    return env("CI") == "true";
}

MySqlServer mysqlServer() {
    return {env("DM_TEST_MYSQL_HOST"), env("DM_TEST_MYSQL_PORT"), env("DM_TEST_MYSQL_USER"),
            env("DM_TEST_MYSQL_PASSWORD")};
}

TempDir::TempDir() {
    std::random_device rd;
    const fs::path base = fs::temp_directory_path();
    for (;;) {
        path_ = base / ("dunmorrow-test-" + std::to_string(::getpid()) + "-" +
                        std::to_string(rd() % 1000000000u));
        if (fs::create_directory(path_)) break;
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

fs::path TempDir::copyFixture(const std::string& relative, const std::string& newName) const {
    const fs::path from = fixturesDir() / relative;
    const fs::path to = path_ / (newName.empty() ? from.filename().string() : newName);
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
    return to;
}

}  // namespace testenv
