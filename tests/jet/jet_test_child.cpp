// A second program for the engine's tests: what another process does to a database while a test
// holds it, or while a test kills it.
//
//   jet_test_child open PATH ro|rw   prints "opened", or the error message, and ends
//   jet_test_child write PATH        opens PATH for writing and writes a page in a transaction;
//                                    prints "wrote", or the error message, and ends
//   jet_test_child hold PATH         opens PATH for writing, opens a transaction and writes a
//                                    page, prints "ready" and waits to be killed
//   jet_test_child hold-read PATH    opens PATH for reading, prints "ready" and waits
//   jet_test_child sql PATH SCRIPT G [N]  runs the lines of the file SCRIPT as statements, G to a
//                                    transaction; prints "committed K" once K lines are durable;
//                                    with N, kills itself (SIGKILL) just before the Nth write,
//                                    flush or truncation of any file it opened, else prints
//                                    "writes W", how many there were
//   jet_test_child stamp PATH N G    runs N statements, each taking a page and stamping its
//                                    number into it, G to a transaction; prints
//                                    "committed K" once K statements are durable
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "db/jet/base/error.h"
#include "db/jet/database/database.h"
#include "db/jet/page/file.h"
#include "db/jet/sql/executor.h"

namespace {

// Counts the writes, flushes and truncations of every file the engine opens, and kills the
// program just before the one numbered `killAt` (0: never), as a crash at that moment would.
std::uint64_t gWrites = 0;
std::uint64_t gKillAt = 0;

void beforeWrite() {
    if (++gWrites == gKillAt) ::raise(SIGKILL);
}

class KillingFile : public jet::File {
  public:
    explicit KillingFile(std::unique_ptr<jet::File> inner) : inner_(std::move(inner)) {}
    std::uint64_t size() const override { return inner_->size(); }
    void read(std::uint64_t offset, std::span<std::uint8_t> out) const override {
        inner_->read(offset, out);
    }
    void write(std::uint64_t offset, std::span<const std::uint8_t> data) override {
        beforeWrite();
        inner_->write(offset, data);
    }
    void sync() override {
        beforeWrite();
        inner_->sync();
    }
    void truncate(std::uint64_t length) override {
        beforeWrite();
        inner_->truncate(length);
    }
    const std::string& name() const override { return inner_->name(); }
    bool writable() const override { return inner_->writable(); }

  private:
    std::unique_ptr<jet::File> inner_;
};

// One statement of the crash test: a new empty data page carrying its statement's number in its
// free space, where readers of the page never look.
void stampPage(jet::Database& db, std::uint32_t n) {
    const jet::Format& f = db.format();
    auto p = db.pager().allocatePage(jet::page_type::kData);
    const auto free = static_cast<std::uint16_t>(f.pageSize - f.dataRowTableOffset);
    p->bytes[f.dataFreeSpaceOffset] = static_cast<std::uint8_t>(free);
    p->bytes[f.dataFreeSpaceOffset + 1] = static_cast<std::uint8_t>(free >> 8);
    const char tag[4] = {'S', 'T', 'M', 'P'};
    std::memcpy(p->bytes.data() + 100, tag, 4);
    for (int i = 0; i < 4; ++i)
        p->bytes[104 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(n >> (8 * i));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: jet_test_child open PATH ro|rw | write PATH | hold PATH | hold-read "
                     "PATH | stamp PATH N G\n");
        return 2;
    }
    const std::string command = argv[1];
    const std::string path = argv[2];
    try {
        jet::OpenOptions options;
        if (command == "open") {
            options.mode = argc > 3 && std::strcmp(argv[3], "rw") == 0 ? jet::OpenMode::ReadWrite
                                                                       : jet::OpenMode::ReadOnly;
            auto db = jet::Database::open(path, options);
            std::printf("opened");
            return 0;
        }
        if (command == "stamp" && argc > 4) {
            options.mode = jet::OpenMode::ReadWrite;
            auto db = jet::Database::open(path, options);
            db->pager().setSpillLimit(16);  // early writes behind the journal, too
            const int count = std::atoi(argv[3]);
            const int group = std::atoi(argv[4]);
            for (int i = 0; i < count; ++i) {
                if (i % group == 0) db->beginTransaction();
                db->writeStatement([&] { stampPage(*db, static_cast<std::uint32_t>(i)); });
                db->pager().spillIfLarge();
                if ((i + 1) % group == 0 || i + 1 == count) {
                    db->commitTransaction();
                    std::printf("committed %d\n", i + 1);
                    std::fflush(stdout);
                }
            }
            return 0;
        }
        if (command == "sql" && argc > 4) {
            if (argc > 5) {
                gKillAt = std::strtoull(argv[5], nullptr, 10);
                jet::setFileLayer([](std::unique_ptr<jet::File> f, const std::string&) {
                    return std::unique_ptr<jet::File>(std::make_unique<KillingFile>(std::move(f)));
                });
            }
            options.mode = jet::OpenMode::ReadWrite;
            auto db = jet::Database::open(path, options);
            jet::sql::Session session(*db);
            std::ifstream script(argv[3]);
            std::vector<std::string> lines;
            for (std::string line; std::getline(script, line);)
                lines.push_back(line);
            const std::size_t group = static_cast<std::size_t>(std::atoi(argv[4]));
            for (std::size_t i = 0; i < lines.size(); ++i) {
                if (i % group == 0) db->beginTransaction();
                session.execute(lines[i]);
                if ((i + 1) % group == 0 || i + 1 == lines.size()) {
                    db->commitTransaction();
                    std::printf("committed %zu\n", i + 1);
                    std::fflush(stdout);
                }
            }
            db.reset();
            if (argc > 5) std::printf("writes %llu\n", static_cast<unsigned long long>(gWrites));
            return 0;
        }
        if (command == "write") {
            options.mode = jet::OpenMode::ReadWrite;
            auto db = jet::Database::open(path, options);
            db->beginTransaction();
            db->pager().allocatePage(jet::page_type::kData);
            db->commitTransaction();
            std::printf("wrote");
            return 0;
        }
        if (command == "hold-read") {
            auto db = jet::Database::open(path, options);
            std::printf("ready\n");
            std::fflush(stdout);
            for (;;)
                ::pause();
        }
        if (command == "hold") {
            options.mode = jet::OpenMode::ReadWrite;
            auto db = jet::Database::open(path, options);
            db->beginTransaction();
            db->pager().allocatePage(jet::page_type::kData);
            std::printf("ready\n");
            std::fflush(stdout);
            for (;;)
                ::pause();
        }
    } catch (const jet::Error& e) {
        std::printf("%s", e.message().c_str());
        return 0;
    }
    std::fprintf(stderr, "unknown command %s\n", command.c_str());
    return 2;
}
