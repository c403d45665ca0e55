// Benchmark: filling the table browser's lists with many tables.
//
//   browser_listing_benchmark [--names N] [--tables M]
//       inserts N names (default 20,000) in random order into a table list, times "Select All"
//       on it, and, when the test server is configured (DM_TEST_MYSQL_*), creates M tables
//       (default 2,000) in a scratch database and times the MySQL listing of them.
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise. Figures go to standard
// output; nothing is asserted.
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "browser/form2.h"
#include "browser/list_tables.h"
#include "browser/table_list.h"
#include "tests/support/mysql_scratch.h"
#include "tests/support/test_env.h"
#include "ui/program_state.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

long argValue(int argc, char** argv, const char* name, long fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) return std::atol(argv[i + 1]);
    return fallback;
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    testenv::TempDir settings;
    setenv("XDG_CONFIG_HOME", settings.path().c_str(), 1);
    QApplication app(argc, argv);
    const long names = argValue(argc, argv, "--names", 20000);
    const long tables = argValue(argc, argv, "--tables", 2000);

    browser::Form2 form;
    std::mt19937 random(7);
    auto t0 = Clock::now();
    for (long i = 0; i < names; ++i)
        form.list1()->addItem(QString("Table_%1").arg(random() % 1000000000u));
    std::printf("sorted insertion: %ld names in %.3f s (%.1f us a name)\n", names, seconds(t0),
                seconds(t0) * 1e6 / static_cast<double>(names));
    t0 = Clock::now();
    form.pushButton10Click();
    std::printf("Select All over %ld items: %.3f s\n", names, seconds(t0));

    if (testenv::mysqlServer().host.empty()) {
        std::printf("MySQL listing: skipped (no DM_TEST_MYSQL_HOST)\n");
        return 0;
    }
    testenv::MySqlScratch scratch;
    t0 = Clock::now();
    for (long i = 0; i < tables; ++i)
        scratch.exec("CREATE TABLE `t" + std::to_string((i * 7919) % tables) + "` (id INT)");
    std::printf("created %ld tables in %.3f s\n", tables, seconds(t0));
    const db::LoginFields login = scratch.login();
    ui::setLoginProvider([&] { return login; });
    t0 = Clock::now();
    browser::listMySqlTables(*form.list2());
    std::printf("MySQL listing: %d tables in %.3f s\n", form.list2()->listCount(), seconds(t0));
    ui::setLoginProvider({});
    return 0;
}
