// The writable copies of fixtures used by the table-writing tests.
#include "tests/jet/table_write_support.h"

#include <gtest/gtest.h>

#include <fstream>

#include "db/jet/error.h"
#include "db/jet/table_reader.h"
#include "tests/support/run_program.h"

namespace tablewrite {

WritableCopy::WritableCopy(const std::string& relative) {
    path_ = dir_.copyFixture(relative);
    reopen();
}

WritableCopy::~WritableCopy() {
    session_.reset();
    db_.reset();
}

void WritableCopy::close() {
    session_.reset();
    db_.reset();
}

void WritableCopy::reopen() {
    close();
    jet::OpenOptions options;
    options.mode = jet::OpenMode::ReadWrite;
    db_ = jet::Database::open(path_.string(), options);
    session_ = std::make_unique<jet::sql::Session>(*db_);
}

void WritableCopy::exec(const std::string& sql) {
    try {
        session_->execute(sql);
    } catch (const jet::Error& e) {
        ADD_FAILURE() << "the statement " << sql.substr(0, 300) << " failed: " << e.message();
        throw;
    }
}

jet::Error WritableCopy::refused(const std::string& sql) {
    try {
        session_->execute(sql);
    } catch (const jet::Error& e) {
        return e;
    }
    ADD_FAILURE() << "the statement " << sql.substr(0, 300) << " was accepted";
    return jet::Error(jet::ErrorKind::Engine, "(accepted)");
}

std::vector<std::vector<db::Value>> WritableCopy::rows(const std::string& table) {
    auto reader = db_->openTable(table);
    std::vector<std::vector<db::Value>> out;
    std::vector<db::Value> row;
    while (reader->next(row))
        out.push_back(row);
    return out;
}

bool WritableCopy::hasTable(const std::string& table) {
    return db_->catalog().findTable(table) != nullptr;
}

std::string WritableCopy::mdbExportRaw(const std::string& table) {
    const auto r =
        testenv::runProgram({"mdb-export", "-d", "\t", "-Q", "-b", "hex", "-T", "%Y-%m-%d %H:%M:%S",
                             "-0", "(null)", path_.string(), table});
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
}

std::vector<std::string> WritableCopy::mdbExport(const std::string& table) {
    return splitLines(mdbExportRaw(table));
}

std::string WritableCopy::mdbTables() {
    const auto r = testenv::runProgram({"mdb-tables", "-1", path_.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
}

std::vector<std::uint8_t> WritableCopy::bytes() const {
    std::ifstream in(path_, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto nl = text.find('\n', start);
        out.push_back(text.substr(start, nl == std::string::npos ? std::string::npos : nl - start));
        if (nl == std::string::npos) break;
        start = nl + 1;
    }
    return out;
}

std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (true) {
        const auto tab = line.find('\t', start);
        out.push_back(
            line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return out;
        start = tab + 1;
    }
}

}  // namespace tablewrite
