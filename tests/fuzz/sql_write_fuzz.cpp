// libFuzzer target: runs the input as SQL statements, one a line, against a new, empty database
// held in memory, through one SQL session (CREATE TABLE, INSERT INTO, DROP TABLE, SELECT … INTO
// and queries). When the first line names a version ("jet4", "ace12", "ace14", "ace16",
// "ace17") the database is of that version; otherwise it is a Jet 4 .mdb.
//
// A statement may be refused with a jet::Error saying why (a syntax error, a missing or taken
// table name, a value that breaks a rule, something not supported). Everything else is a
// finding, and aborts:
// - a crash, a sanitizer report, another exception type, a hang;
// - an error of a kind a sound engine never gives for a file it made itself in memory (Corrupt,
//   Io, Usage, ReadOnly, ...);
// - a refused statement that changed the file: it must leave every byte as it was;
// - a problem found by the integrity check (check.h) in the file opened anew from its bytes
//   after the last line, where every row must read again.
// Inputs are short scripts (at most kMaxLines lines) against a new database made once per
// version and copied, so that they run by the hundred a second even under the sanitizers. With
// DM_FUZZ_VERBOSE set in the environment, the outcome of every statement is printed (for reading
// what a seed or a finding does); with DM_FUZZ_CHECK_EACH set, the integrity check also runs after
// every statement that wrote (to name the statement that broke a file the check at the end finds
// damaged).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/jet/base/error.h"
#include "db/jet/check/check.h"
#include "db/jet/database/database.h"
#include "db/jet/page/file.h"
#include "db/jet/page/journal.h"
#include "db/jet/sql/executor.h"
#include "db/jet/table/table_reader.h"
#include "db/jet/write/new_database.h"

namespace {

constexpr std::size_t kMaxLines = 24;

[[noreturn]] void finding(const std::string& what, std::string_view line) {
    std::fprintf(stderr, "sql_write_fuzz: %s\n  statement: %.*s\n", what.c_str(),
                 static_cast<int>(line.size()), line.data());
    std::abort();
}

const bool kVerbose = std::getenv("DM_FUZZ_VERBOSE") != nullptr;
const bool kCheckEach = std::getenv("DM_FUZZ_CHECK_EACH") != nullptr;

bool isRefusal(jet::ErrorKind kind) {
    switch (kind) {
        case jet::ErrorKind::Syntax:
        case jet::ErrorKind::NoSuchTable:
        case jet::ErrorKind::TableExists:
        case jet::ErrorKind::Constraint:
        case jet::ErrorKind::NotSupported:
            return true;
        default:
            return false;
    }
}

void checkOrAbort(jet::Database& db, const char* when, std::string_view line) {
    jet::CheckReport report = jet::checkDatabase(db);
    if (report.ok()) return;
    std::string what = std::string("the integrity check found problems ") + when + ":";
    for (const auto& p : report.problems())
        what += "\n    " + p;
    finding(what, line);
}

// A file in memory that remembers, from mark() on, the bytes its writes replaced, so that
// unchanged() says whether it holds again exactly what it held at the mark. It costs what the
// writes cost, where a copy of the whole file before every statement cost its size.
class WatchedFile : public jet::MemoryFile {
  public:
    using MemoryFile::MemoryFile;
    void write(std::uint64_t offset, std::span<const std::uint8_t> data) override {
        if (!data.empty()) save(offset, offset + data.size());
        MemoryFile::write(offset, data);
    }
    void truncate(std::uint64_t length) override {
        if (length < size()) save(length, size());
        MemoryFile::truncate(length);
    }
    void mark() {
        markSize_ = size();
        saved_.clear();
    }
    bool unchanged() const {
        if (size() != markSize_) return false;
        for (const auto& [block, old] : saved_) {
            const std::uint64_t from = block * kBlock;
            const std::uint64_t to = std::min<std::uint64_t>(markSize_, from + kBlock);
            if (from >= to) continue;  // past the end at the mark
            if (old.size() < to - from ||
                !std::equal(old.begin(), old.begin() + static_cast<std::ptrdiff_t>(to - from),
                            bytes().begin() + static_cast<std::ptrdiff_t>(from)))
                return false;
        }
        return true;
    }

  private:
    static constexpr std::uint64_t kBlock = 4096;
    // The bytes of each block touched since the mark, as they were before its first change.
    void save(std::uint64_t from, std::uint64_t to) {
        for (std::uint64_t b = from / kBlock; b <= (to - 1) / kBlock; ++b) {
            if (saved_.count(b)) continue;
            const std::uint64_t start = b * kBlock;
            const std::uint64_t end = std::min<std::uint64_t>(size(), start + kBlock);
            std::vector<std::uint8_t>& old = saved_[b];
            if (start < end)
                old.assign(bytes().begin() + static_cast<std::ptrdiff_t>(start),
                           bytes().begin() + static_cast<std::ptrdiff_t>(end));
        }
    }
    std::uint64_t markSize_ = 0;
    std::map<std::uint64_t, std::vector<std::uint8_t>> saved_;
};

const std::vector<std::uint8_t>& emptyImage(jet::Version version) {
    static std::map<int, std::vector<std::uint8_t>> images;
    auto& image = images[static_cast<int>(version)];
    if (image.empty()) image = jet::newDatabaseImage(version);
    return image;
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start <= text.size() && lines.size() < kMaxLines) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

void readRows(jet::sql::QueryResult& result) {
    std::vector<db::Value> row;
    (void)result.rowCount();
    while (result.next(row))
        for (const auto& v : row)
            (void)v.toDebugString();
}

// The file opened again from its bytes, as the next program sees it: it must pass the check
// and every row of every user table must read.
void reopenAndRead(std::vector<std::uint8_t> bytes) {
    std::unique_ptr<jet::Database> db;
    try {
        db = jet::Database::open(std::make_unique<jet::MemoryFile>(std::move(bytes)),
                                 jet::OpenOptions{});
    } catch (const jet::Error& e) {
        finding("the file does not open again: " + e.message(), "(reopening)");
    }
    checkOrAbort(*db, "in the file opened again", "(reopening)");
    for (const auto& name : db->userTableNames()) {
        try {
            auto result = jet::sql::execute(*db, "SELECT * FROM [" + name + "]");
            readRows(*result);
        } catch (const jet::Error& e) {
            finding("a table of the file opened again does not read: " + e.message(), name);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> lines = splitLines(text);

    jet::Version version = jet::Version::Jet4;
    if (!lines.empty()) {
        try {
            version = jet::versionForName(std::string(lines.front()));
            lines.erase(lines.begin());
        } catch (const jet::Error&) {
        }
    }

    auto owned = std::make_unique<WatchedFile>(emptyImage(version));
    WatchedFile* file = owned.get();  // owned by the database from here on
    jet::OpenOptions options;
    options.mode = jet::OpenMode::ReadWrite;
    options.cachePages = 64;
    std::unique_ptr<jet::Database> db;
    try {
        db = jet::Database::open(std::move(owned), std::make_unique<jet::MemoryJournalStore>(),
                                 options);
    } catch (const jet::Error& e) {
        finding("a new database does not open: " + e.message(), "(opening)");
    }

    bool wrote = false;  // a statement that writes was kept
    {
        jet::sql::Session session(*db);
        for (std::string_view line : lines) {
            file->mark();
            try {
                auto result = session.execute(line);
                if (kVerbose)
                    std::fprintf(stderr, "ok: %.*s\n",
                                 static_cast<int>(std::min<std::size_t>(line.size(), 200)),
                                 line.data());
                if (result) {
                    readRows(*result);
                } else {
                    wrote = true;
                    if (kCheckEach) checkOrAbort(*db, "after a statement that wrote", line);
                }
            } catch (const jet::Error& e) {
                if (kVerbose) std::fprintf(stderr, "refused: %s\n", e.message().c_str());
                if (!isRefusal(e.kind())) finding("an unexpected error: " + e.message(), line);
                if (!file->unchanged())
                    finding("a refused statement changed the file (" + e.message() + ")", line);
            }
        }
    }
    // Every statement refused left the new database byte for byte as it was: nothing to check.
    if (!wrote) return 0;
    std::vector<std::uint8_t> bytes = file->bytes();
    db.reset();
    reopenAndRead(std::move(bytes));
    return 0;
}
