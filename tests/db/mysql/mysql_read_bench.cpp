// Benchmark: reading a large MySQL result through Connection and Recordset.
//
// Fills a ten-column table in a scratch database on the test server (DM_TEST_MYSQL_*), then
// prints the time to run "SELECT *" (the server's work and the transfer into client memory), the
// time to walk every row converting every value, the client library alone fetching the same rows
// without conversion for comparison, and the process's peak memory.
//
//     mysql_read_bench [rows]        (default 1000000)
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "db/connection.h"
#include "db/error.h"
#include "db/mysql/mysql_session.h"
#include "tests/support/mysql_scratch.h"
#include "tests/support/test_env.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

long peakKilobytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    if (testenv::mysqlServer().host.empty()) {
        std::fprintf(stderr, "Set DM_TEST_MYSQL_HOST, _PORT, _USER and _PASSWORD first.\n");
        return 2;
    }
    try {
        testenv::MySqlScratch scratch;
        scratch.exec(
            "CREATE TABLE bench (id INT PRIMARY KEY, big BIGINT, name VARCHAR(40), price "
            "DECIMAL(12,2), ratio DOUBLE, placed DATETIME, born DATE, note TEXT, tag VARBINARY(8), "
            "flag TINYINT)");
        scratch.exec("CREATE TABLE k (x INT PRIMARY KEY)");
        scratch.exec("SET SESSION max_recursive_iterations = 1000000");
        scratch.exec(
            "INSERT INTO k WITH RECURSIVE s(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM s WHERE x "
            "< 999) SELECT x FROM s");
        auto start = Clock::now();
        scratch.exec(
            "INSERT INTO bench SELECT n, n * 1000003, CONCAT('Customer name ', n), n / 100, n / 7, "
            "'2024-01-15 09:30:00' + INTERVAL n SECOND, '1990-01-01' + INTERVAL (n % 10000) DAY, "
            "IF(n % 3 = 0, NULL, 'A short note about the order'), UNHEX(HEX(n)), n % 2 FROM "
            "(SELECT a.x * 1000 + b.x AS n FROM k a CROSS JOIN k b) s WHERE n < " +
            std::to_string(rows));
        std::printf("rows: %ld, ten columns; filling took %.2f s\n", rows, secondsSince(start));

        db::Connection c;
        c.setCursorLocation(db::kAdUseClient);
        c.open(scratch.connectionString());
        const long before = peakKilobytes();
        start = Clock::now();
        auto rs = c.execute("SELECT * FROM bench");
        const double query = secondsSince(start);
        start = Clock::now();
        long seen = 0, nulls = 0;
        for (; !rs->eof(); rs->moveNext()) {
            for (const db::Value& v : rs->row())
                nulls += v.isNull();
            ++seen;
        }
        const double walk = secondsSince(start);
        std::printf("Connection::execute (server work and transfer): %.2f s\n", query);
        std::printf(
            "walking %ld rows, converting every value:     %.2f s  (%.0f rows/s, %ld "
            "nulls)\n",
            seen, walk, seen / walk, nulls);
        rs.reset();
        std::printf("peak memory: %ld MB (%ld MB before the query)\n", peakKilobytes() / 1024,
                    before / 1024);

        // The client library alone: the same rows fetched without any conversion.
        db::mysql::MySqlTarget t;
        t.host = testenv::mysqlServer().host;
        t.port = static_cast<unsigned>(std::atoi(testenv::mysqlServer().port.c_str()));
        t.user = testenv::mysqlServer().user;
        t.password = testenv::mysqlServer().password;
        t.database = scratch.name();
        MYSQL* m = mysql_init(nullptr);
        unsigned tcp = MYSQL_PROTOCOL_TCP;
        mysql_optionsv(m, MYSQL_OPT_PROTOCOL, &tcp);
        mysql_optionsv(m, MYSQL_SET_CHARSET_NAME, "utf8mb4");
        if (!mysql_real_connect(m, t.host.c_str(), t.user.c_str(), t.password.c_str(),
                                t.database.c_str(), t.port, nullptr, 0)) {
            std::fprintf(stderr, "%s\n", mysql_error(m));
            return 1;
        }
        start = Clock::now();
        mysql_query(m, "SELECT * FROM bench");
        MYSQL_RES* r = mysql_store_result(m);
        const double rawQuery = secondsSince(start);
        start = Clock::now();
        unsigned long bytes = 0;
        while (MYSQL_ROW row = mysql_fetch_row(r)) {
            const unsigned long* len = mysql_fetch_lengths(r);
            for (unsigned i = 0; i < 10; ++i)
                bytes += row[i] ? len[i] : 0;
        }
        const double rawWalk = secondsSince(start);
        mysql_free_result(r);
        mysql_close(m);
        std::printf("client library alone: query %.2f s, walk %.2f s (%lu bytes of values)\n",
                    rawQuery, rawWalk, bytes);
    } catch (const db::Error& e) {
        std::fprintf(stderr, "%s\n", e.description().c_str());
        return 1;
    }
    return 0;
}
