// Writing and playing back the rollback journal; the journal stores on disk and in memory.
#include "db/jet/page/journal.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <string>

#include "db/jet/base/error.h"

namespace jet {

namespace {

constexpr std::array<std::uint8_t, 8> kMagic = {'D', 'M', 'J', 'R', 'N', 'L', '1', '\0'};
constexpr std::size_t kHeaderSize = 32;

std::array<std::uint32_t, 256> makeCrcTable() {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[i] = c;
    }
    return t;
}

const std::array<std::uint32_t, 256> kCrcTable = makeCrcTable();

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void put64(std::vector<std::uint8_t>& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::uint32_t get32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::uint64_t get64(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint64_t>(get32(b, at)) |
           (static_cast<std::uint64_t>(get32(b, at + 4)) << 32);
}

std::uint32_t recordCrc(std::uint32_t salt, std::uint32_t number,
                        std::span<const std::uint8_t> bytes) {
    std::vector<std::uint8_t> head;
    put32(head, salt);
    put32(head, number);
    return crc32(bytes, crc32(head));
}

class PosixJournalStore : public JournalStore {
  public:
    explicit PosixJournalStore(std::string path) : path_(std::move(path)) {}
    std::unique_ptr<File> open() override {
        struct stat st;
        if (::stat(path_.c_str(), &st) != 0) return nullptr;
        return openPosixFile(path_, OpenMode::ReadOnly);
    }
    std::unique_ptr<File> create() override {
        auto f = createPosixFile(path_);
        syncParentDirectory(path_);
        return f;
    }
    void remove() override {
        if (removePosixFile(path_)) syncParentDirectory(path_);
    }
    std::string name() const override { return path_; }

  private:
    std::string path_;
};

// A file over the shared bytes of a memory journal.
class SharedMemoryFile : public File {
  public:
    struct Bytes {
        bool* exists;
        std::vector<std::uint8_t>* bytes;
    };
    SharedMemoryFile(std::shared_ptr<void> keep, Bytes b) : keep_(std::move(keep)), b_(b) {}
    std::uint64_t size() const override { return b_.bytes->size(); }
    void read(std::uint64_t offset, std::span<std::uint8_t> out) const override {
        const auto& v = *b_.bytes;
        if (offset > v.size() || out.size() > v.size() - offset)
            throw Error(ErrorKind::Io, "Cannot read from the memory journal: it ends at " +
                                           std::to_string(v.size()) + ".");
        std::copy_n(v.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
    }
    void write(std::uint64_t offset, std::span<const std::uint8_t> data) override {
        auto& v = *b_.bytes;
        if (offset + data.size() > v.size()) v.resize(offset + data.size());
        std::copy(data.begin(), data.end(), v.begin() + static_cast<std::ptrdiff_t>(offset));
    }
    void sync() override {}
    void truncate(std::uint64_t length) override { b_.bytes->resize(length); }
    const std::string& name() const override { return name_; }
    bool writable() const override { return true; }

  private:
    std::shared_ptr<void> keep_;
    Bytes b_;
    std::string name_ = "memory journal";
};

}  // namespace

std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc) {
    crc = ~crc;
    for (std::uint8_t b : bytes)
        crc = kCrcTable[(crc ^ b) & 0xFFu] ^ (crc >> 8);
    return ~crc;
}

std::string journalPathFor(const std::string& databasePath) {
    return databasePath + ".journal";
}

std::unique_ptr<JournalStore> journalBeside(const std::string& databasePath) {
    return std::make_unique<PosixJournalStore>(journalPathFor(databasePath));
}

// ---- MemoryJournalStore ----

std::unique_ptr<File> MemoryJournalStore::open() {
    if (!state_->exists) return nullptr;
    return std::make_unique<SharedMemoryFile>(
        state_, SharedMemoryFile::Bytes{&state_->exists, &state_->bytes});
}

std::unique_ptr<File> MemoryJournalStore::create() {
    state_->exists = true;
    state_->bytes.clear();
    std::unique_ptr<File> f = std::make_unique<SharedMemoryFile>(
        state_, SharedMemoryFile::Bytes{&state_->exists, &state_->bytes});
    if (plan_.failRead || plan_.failWrite || plan_.crashAfterWrites)
        f = std::make_unique<FaultyFile>(std::move(f), plan_);
    return f;
}

void MemoryJournalStore::remove() {
    state_->exists = false;
    state_->bytes.clear();
}

std::unique_ptr<MemoryJournalStore> MemoryJournalStore::share() const {
    auto s = std::make_unique<MemoryJournalStore>();
    s->state_ = state_;
    return s;
}

// ---- Journal ----

Journal::Journal(File& file, std::uint32_t pageSize, std::uint64_t originalLength)
    : file_(file), pageSize_(pageSize), salt_(0), end_(0) {
    std::random_device rd;
    salt_ = rd();
    std::vector<std::uint8_t> header(kMagic.begin(), kMagic.end());
    put32(header, pageSize_);
    put32(header, salt_);
    put64(header, originalLength);
    put32(header, crc32(header));
    put32(header, 0);
    buffer_ = std::move(header);
}

void Journal::append(std::uint32_t number, std::span<const std::uint8_t> bytes) {
    put32(buffer_, number);
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    put32(buffer_, recordCrc(salt_, number, bytes));
}

void Journal::sync() {
    if (!buffer_.empty()) {
        file_.write(end_, buffer_);
        end_ += buffer_.size();
        buffer_.clear();
    }
    file_.sync();
}

void Journal::invalidate(File& file) {
    const std::vector<std::uint8_t> zeros(kHeaderSize, 0);
    file.write(0, zeros);
    file.sync();
}

// ---- replay ----

namespace {

bool validHeader(const File& j, std::vector<std::uint8_t>& header) {
    header.assign(kHeaderSize, 0);
    if (j.size() < kHeaderSize) return false;
    j.read(0, header);
    return std::equal(kMagic.begin(), kMagic.end(), header.begin()) &&
           get32(header, 24) == crc32(std::span<const std::uint8_t>(header).first(24));
}

}  // namespace

bool journalIsLive(JournalStore& store) {
    const std::unique_ptr<File> j = store.open();
    std::vector<std::uint8_t> header;
    return j && validHeader(*j, header);
}

ReplayResult replayJournal(File& database, JournalStore& store, std::uint32_t pageSize) {
    ReplayResult result;
    std::unique_ptr<File> j = store.open();
    if (!j) return result;
    result.found = true;
    const std::uint64_t size = j->size();
    std::vector<std::uint8_t> header;
    if (!validHeader(*j, header)) {
        // Voided by a commit, or never flushed whole: the database was not touched behind it.
        j.reset();
        store.remove();
        return result;
    }
    const std::uint32_t journalPageSize = get32(header, 8);
    const std::uint32_t salt = get32(header, 12);
    const std::uint64_t originalLength = get64(header, 16);
    if ((pageSize != 0 && journalPageSize != pageSize) || journalPageSize < 512 ||
        journalPageSize > 65536)
        throwCorrupt("the journal \"" + store.name() +
                     "\" beside the file does not belong to it (its page size is " +
                     std::to_string(journalPageSize) + ")");

    const std::uint64_t recordSize = 8 + std::uint64_t{journalPageSize};
    std::vector<std::uint8_t> record(recordSize);
    for (std::uint64_t at = kHeaderSize; at + recordSize <= size; at += recordSize) {
        j->read(at, record);
        const std::uint32_t number = get32(record, 0);
        const auto bytes = std::span<const std::uint8_t>(record).subspan(4, journalPageSize);
        if (get32(record, 4 + journalPageSize) != recordCrc(salt, number, bytes)) break;
        const std::uint64_t offset = std::uint64_t{number} * journalPageSize;
        if (offset >= originalLength) break;  // no original lies past the old end
        database.write(offset, bytes);
        ++result.pagesRestored;
    }
    if (database.size() != originalLength) {
        database.truncate(originalLength);
        result.truncated = true;
    }
    database.sync();
    j.reset();
    store.remove();
    return result;
}

}  // namespace jet
