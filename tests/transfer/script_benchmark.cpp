// Benchmark: building the MySQL script of a big table in memory.
//
//   transfer_script_benchmark [--rows N]
//       builds the script of a generated table of N rows (default 1,000,000) of twelve columns
//       of the usual Access kinds, and prints the time, the script's size and the peak memory;
//   transfer_script_benchmark --access FILE --table NAME [--password P]
//       reads the table from an Access file through the data-access layer, builds its script,
//       and runs `mdb-export -I mysql FILE NAME` on the same table for comparison.
//
// Figures go to standard output; nothing is asserted.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/connection_string.h"
#include "transfer/column_mapping.h"
#include "transfer/table_script.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

long peakKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Rows made on the fly, so that the source costs what reading a record set costs: one value per
// field, built anew for every row.
class GeneratedTable : public db::Cursor {
  public:
    explicit GeneratedTable(long rows) : rows_(rows) {
        auto f = [](const char* name, int type, int p = 0, int s = 0) {
            db::FieldInfo i;
            i.name = name;
            i.type = type;
            i.precision = p;
            i.scale = s;
            return i;
        };
        namespace ad = db::adtype;
        fields_ = {f("ID", ad::kInteger),     f("Name", ad::kVarWChar),
                   f("City", ad::kVarWChar),  f("Amount", ad::kCurrency, 19, 4),
                   f("Price", ad::kDouble),   f("Quantity", ad::kSmallInt),
                   f("Ratio", ad::kSingle),   f("Joined", ad::kDate),
                   f("Active", ad::kBoolean), f("Notes", ad::kLongVarWChar),
                   f("Code", ad::kVarWChar),  f("Level", ad::kUnsignedTinyInt)};
    }
    const std::vector<db::FieldInfo>& fields() const override { return fields_; }
    long recordCount() override { return rows_; }
    bool next(std::vector<db::Value>& row) override {
        if (pos_ >= rows_) return false;
        const long i = pos_++;
        seed_ = seed_ * 6364136223846793005ULL + 1442695040888963407ULL;
        const unsigned r = static_cast<unsigned>(seed_ >> 33);
        static const char* const kCities[] = {"London",    "Tromsø",  "D'Arcy's Cove", "C:\\Temp",
                                              "Reykjavík", "Ålesund", "Lyon",          "上海"};
        db::DateTime d = db::DateTime::fromDays(36526 + static_cast<long>(r % 9000));
        if (r & 1) {
            d.hour = static_cast<int>(r % 24);
            d.minute = static_cast<int>(r % 60);
            d.second = static_cast<int>((r >> 7) % 60);
        }
        row.clear();
        row.push_back(db::Value::integer(i + 1));
        row.push_back(db::Value::text("Customer number " + std::to_string(i)));
        row.push_back(db::Value::text(kCities[r % 8]));
        row.push_back(db::Value::currency({static_cast<std::int64_t>(r) * 37}));
        row.push_back(db::Value::doubleValue(static_cast<double>(r) / 1000.0));
        row.push_back(db::Value::integer(static_cast<int>(r % 30000)));
        row.push_back(db::Value::single(static_cast<float>(r % 1000) / 7.0f));
        row.push_back(db::Value::dateTime(d));
        row.push_back(db::Value::boolean(r & 2));
        row.push_back(r % 5 == 0 ? db::Value::null()
                                 : db::Value::text("A note that says it's \"fine\"\r\nand more"));
        row.push_back(db::Value::text("C-" + std::to_string(r % 100000)));
        row.push_back(db::Value::integer(static_cast<int>(r % 256)));
        return true;
    }

  private:
    long rows_;
    long pos_ = 0;
    std::uint64_t seed_ = 42;
    std::vector<db::FieldInfo> fields_;
};

void build(db::Recordset& rs, const std::string& table, const char* what) {
    const long before = peakKiB();
    const auto start = Clock::now();
    transfer::ScriptBuilder script(transfer::Direction::AccessToMySql);
    std::string create = transfer::createTableHead(table);
    transfer::completeDefaultCreate(create, transfer::Direction::AccessToMySql, rs);
    script.appendCreateTable(create);
    long reports = 0;
    transfer::appendTableRows(script, rs, table, [&](long, long) { ++reports; });
    script.endTable();
    const double took = seconds(start);
    const long rows = rs.recordCount();
    std::printf("%s: %ld rows, %d columns\n", what, rows, rs.fieldCount());
    std::printf("  script built in %.3f s (%.0f rows/s), %.1f MiB of text\n", took,
                took > 0 ? static_cast<double>(rows) / took : 0.0,
                static_cast<double>(script.text().size()) / (1024.0 * 1024.0));
    std::printf("  progress reports: %ld\n", reports);
    std::printf("  peak memory: %.1f MiB (%.1f MiB before building)\n", peakKiB() / 1024.0,
                before / 1024.0);
}

// Runs mdb-export with its output thrown away and returns the seconds it took, or -1.
double timeMdbExport(const std::string& file, const std::string& table) {
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, 1);
        execlp("mdb-export", "mdb-export", "-I", "mysql", file.c_str(), table.c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
    long rows = 1000000;
    std::string access, table, password;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--rows"))
            rows = std::atol(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--access"))
            access = argv[i + 1];
        else if (!std::strcmp(argv[i], "--table"))
            table = argv[i + 1];
        else if (!std::strcmp(argv[i], "--password"))
            password = argv[i + 1];
    }
    try {
        if (access.empty()) {
            db::Recordset rs(std::make_unique<GeneratedTable>(rows));
            build(rs, "Generated", "generated table");
            return 0;
        }
        const auto start = Clock::now();
        db::Connection connection;
        connection.setCursorLocation(db::kAdUseClient);
        connection.open(db::buildAccessConnectionString({}, access, password));
        db::Recordset rs;
        rs.open("SELECT * FROM `" + table + "`", connection, db::kAdOpenStatic,
                db::kAdLockOptimistic);
        std::printf("read %s.%s in %.3f s\n", access.c_str(), table.c_str(), seconds(start));
        build(rs, table, "Access table");
        std::printf("  from opening the file to the finished script: %.3f s\n", seconds(start));
        const double mdb = timeMdbExport(access, table);
        if (mdb < 0)
            std::printf("mdb-export -I mysql: not available or failed\n");
        else
            std::printf("mdb-export -I mysql: %.3f s\n", mdb);
    } catch (const db::Error& e) {
        std::fprintf(stderr, "%s\n", e.description().c_str());
        return 1;
    }
    return 0;
}
