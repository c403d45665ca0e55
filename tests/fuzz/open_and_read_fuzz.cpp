// libFuzzer target: opens the input as an Access file and reads everything in it (the catalogue,
// every table definition, every row of every table, the properties of every object, the tables
// schema and a query per table). A damaged input may only ever end in a jet::Error; anything
// else (a crash, an out-of-bounds read, another exception, a hang) is a finding.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "db/jet/base/error.h"
#include "db/jet/database/database.h"
#include "db/jet/sql/executor.h"
#include "db/jet/table/table_reader.h"

namespace {

void readEverything(jet::Database& db) {
    (void)db.schema();
    (void)db.userTableNames();
    std::vector<db::Value> row;
    for (const auto& e : db.catalog().entries()) {
        try {
            (void)db.properties(e);
        } catch (const jet::Error&) {
        }
        if (e.type != jet::object_type::kTable) continue;
        try {
            auto reader = db.openTable(e);
            (void)reader->rowCount();
            while (reader->next(row)) {
                for (const auto& v : row)
                    (void)v.toDebugString();
            }
        } catch (const jet::Error&) {
        }
    }
    for (const auto& name : db.userTableNames()) {
        try {
            auto result = jet::sql::execute(db, "SELECT TOP 3 * FROM [" + name + "]");
            (void)result->rowCount();
            while (result->next(row)) {
            }
        } catch (const jet::Error&) {
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        auto file = std::make_unique<jet::MemoryFile>(std::vector<std::uint8_t>(data, data + size));
        jet::OpenOptions options;
        options.cachePages = 64;
        auto db = jet::Database::open(std::move(file), options);
        readEverything(*db);
    } catch (const jet::Error&) {
        // A clear error is the expected end for damaged input.
    }
    return 0;
}
