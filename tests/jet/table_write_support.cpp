// The writable copies of fixtures used by the table-writing tests.
#include "tests/jet/table_write_support.h"

#include <gtest/gtest.h>

#include <fstream>

#include <set>

#include "db/jet/base/error.h"
#include "db/jet/catalog/catalog.h"
#include "db/jet/check/check.h"
#include "db/jet/index/index_btree.h"
#include "db/jet/index/index_key.h"
#include "db/jet/table/table_reader.h"
#include "db/jet/table/usage_map.h"
#include "db/jet/write/row_store.h"
#include "tests/support/run_program.h"

namespace tablewrite {

WritableCopy::WritableCopy(const std::string& relative, std::string password)
    : password_(std::move(password)) {
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
    options.password = password_;
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

std::vector<std::string> WritableCopy::mdbSchema() {
    const auto r = testenv::runProgram({"mdb-schema", "--indexes", "--relations", "--not-null",
                                        "--default-values", path_.string(), "mysql"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines;
    for (const auto& line : splitLines(r.out)) {
        std::string tidy;
        for (char c : line) {
            if (c == '\t') c = ' ';
            if (c == ' ' && (tidy.empty() || tidy.back() == ' ')) continue;
            tidy.push_back(c);
        }
        while (!tidy.empty() && tidy.back() == ' ')
            tidy.pop_back();
        if (!tidy.empty() && tidy.rfind("--", 0) != 0) lines.push_back(tidy);
    }
    return lines;
}

std::vector<std::uint8_t> WritableCopy::bytes() const {
    std::ifstream in(path_, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> checkTable(jet::Database& db, const std::string& name) {
    std::vector<std::string> problems;
    const jet::CatalogEntry* entry = db.catalog().findTable(name);
    if (!entry) return {"no table " + name};
    const auto def = db.tableDef(*entry);
    jet::Pager& pager = db.pager();
    const jet::Format& f = db.format();
    std::vector<std::pair<jet::RowId, std::vector<std::uint8_t>>> rows;
    jet::forEachRow(pager, *def, [&](jet::RowId id, const jet::ByteReader& row) {
        rows.emplace_back(id, std::vector<std::uint8_t>(row.span().begin(), row.span().end()));
    });
    // Access itself leaves the counts of its system tables behind.
    if (rows.size() != def->rowCount && jet::foldName(name).rfind("MSYS", 0) != 0)
        problems.push_back(name + ": the definition counts " + std::to_string(def->rowCount) +
                           " rows, the pages hold " + std::to_string(rows.size()));
    const jet::ValueDecoder values(pager, db.codePage());
    for (std::size_t i = 0; i < def->indexes.size(); ++i) {
        const auto& index = def->indexes[i];
        jet::IndexKeyMaker keys(f, *def, index);
        if (keys.unsupported()) continue;
        std::set<std::pair<std::vector<std::uint8_t>, jet::RowId>> expected, actual;
        try {
            for (const auto& [id, bytes] : rows) {
                const jet::ByteReader r(bytes, "row");
                const jet::RowView view(r, f, def->varColumns > 0);
                if ((index.flags & 0x02) && keys.nullCount(view, values) == keys.columnCount())
                    continue;
                expected.emplace(keys.key(view, values), id);
            }
        } catch (const jet::Error& e) {
            // Rows Access wrote may hold characters whose keys the engine does not know.
            if (e.kind() != jet::ErrorKind::NotSupported) throw;
            continue;
        }
        jet::ReadOnlyIndexPages pages(pager);
        jet::IndexTree tree(pages, f, index.firstPage, def->page);
        tree.forEach([&](const jet::IndexEntry& e) { actual.emplace(e.key, e.row); });
        if (expected != actual)
            problems.push_back(name + ": index " + std::to_string(i) + " holds " +
                               std::to_string(actual.size()) + " entries, the rows give " +
                               std::to_string(expected.size()) + " (or other ones)");
        for (std::uint32_t p : tree.pages())
            if (pager.isFree(p))
                problems.push_back(name + ": index page " + std::to_string(p) + " is free");
    }
    const auto owned = jet::UsageMap::readReference(pager, def->ownedPagesRef);
    for (std::uint32_t p : owned->pages()) {
        const jet::PageRef page = pager.page(p);
        const jet::ByteReader r(page->span(), "page", p);
        if (r.u8(0) == 1 && r.u32(f.dataOwnerOffset) == def->page && pager.isFree(p))
            problems.push_back(name + ": data page " + std::to_string(p) + " is free");
    }
    for (std::uint32_t p : def->pages)
        if (pager.isFree(p))
            problems.push_back(name + ": definition page " + std::to_string(p) + " is free");
    return problems;
}

std::vector<std::string> checkAllTables(jet::Database& db) {
    std::vector<std::string> problems = jet::checkDatabase(db).problems();
    for (const auto& e : db.catalog().entries()) {
        if (e.type != jet::object_type::kTable || e.parentId != db.catalog().tablesContainer())
            continue;
        for (auto& p : checkTable(db, e.name))
            problems.push_back(std::move(p));
    }
    return problems;
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
