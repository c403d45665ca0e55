// Writing and playing back the rollback journal; the journal stores on disk and in memory.
#include "db/jet/page/journal.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <map>
#include <random>
#include <string>

#include "db/jet/base/byte_writer.h"
#include "db/jet/base/error.h"

namespace jet {

namespace {

constexpr std::array<std::uint8_t, 8> kMagic = {'D', 'M', 'J', 'R', 'N', 'L', '2', '\0'};
constexpr std::size_t kHeaderSize = 32;
constexpr std::uint32_t kOriginal = 1;
constexpr std::uint32_t kWritten = 2;
constexpr std::size_t kSector = 512;

// Eight tables for CRC-32 eight bytes at a time ("slicing by eight"): table 0 is the usual
// byte table, table k the CRC of a byte followed by k zero bytes.
using CrcTables = std::array<std::array<std::uint32_t, 256>, 8>;

CrcTables makeCrcTables() {
    CrcTables t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[0][i] = c;
    }
    for (std::uint32_t i = 0; i < 256; ++i)
        for (std::size_t k = 1; k < 8; ++k)
            t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFFu];
    return t;
}

const CrcTables kCrc = makeCrcTables();

// A salt for each journal: a random start, then counting, so journals of one process differ.
std::uint32_t nextSalt() {
    static std::atomic<std::uint32_t> next{[] {
        std::random_device rd;
        return static_cast<std::uint32_t>(rd());
    }()};
    return next.fetch_add(0x9E3779B9u);
}

std::uint32_t recordCrc(std::uint32_t salt, std::uint32_t kind, std::uint32_t n,
                        std::span<const std::uint8_t> payload) {
    std::vector<std::uint8_t> head;
    ByteBuilder b(head);
    b.u32(salt);
    b.u32(kind);
    b.u32(n);
    return crc32(payload, crc32(head));
}

std::size_t sectorsOf(std::uint32_t pageSize) {
    return (pageSize + kSector - 1) / kSector;
}

class PosixJournalStore : public JournalStore {
  public:
    PosixJournalStore(std::string path, std::string databasePath)
        : path_(std::move(path)), databasePath_(std::move(databasePath)) {}
    std::unique_ptr<File> open() override {
        // A symbolic link, or anything but a plain file, is never a journal of ours: it is not
        // read, and the next transaction puts a journal of its own in its place.
        struct stat st;
        if (::lstat(path_.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
        return openPosixFile(path_, OpenMode::ReadOnly, /*followLinks=*/false);
    }
    std::unique_ptr<File> create() override {
        // The journal holds pages of the database: no one may read it who may not read those.
        auto f = createPosixFileLike(path_, databasePath_);
        syncParentDirectory(path_);
        return f;
    }
    void remove() override {
        if (removePosixFile(path_)) syncParentDirectory(path_);
    }
    std::string name() const override { return path_; }

  private:
    std::string path_;
    std::string databasePath_;
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
    const std::uint8_t* p = bytes.data();
    std::size_t n = bytes.size();
    for (; n >= 8; n -= 8, p += 8) {
        const std::uint32_t lo =
            crc ^
            (static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
             (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
        crc = kCrc[7][lo & 0xFFu] ^ kCrc[6][(lo >> 8) & 0xFFu] ^ kCrc[5][(lo >> 16) & 0xFFu] ^
              kCrc[4][lo >> 24] ^ kCrc[3][p[4]] ^ kCrc[2][p[5]] ^ kCrc[1][p[6]] ^ kCrc[0][p[7]];
    }
    for (; n > 0; --n, ++p)
        crc = kCrc[0][(crc ^ *p) & 0xFFu] ^ (crc >> 8);
    return ~crc;
}

std::string journalPathFor(const std::string& databasePath) {
    return databasePath + ".journal";
}

std::unique_ptr<JournalStore> journalBeside(const std::string& databasePath) {
    return std::make_unique<PosixJournalStore>(journalPathFor(databasePath), databasePath);
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
    if (plan_.failRead || plan_.failWrite || plan_.crashAfterWrites || plan_.freeSpace)
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

Journal::Journal(File& file, std::uint32_t pageSize, std::uint64_t originalLength,
                 std::span<const std::uint8_t> header)
    : file_(file), pageSize_(pageSize), salt_(0), end_(0) {
    salt_ = nextSalt();
    std::vector<std::uint8_t> head(kMagic.begin(), kMagic.end());
    ByteBuilder b(head);
    b.u32(pageSize_);
    b.u32(salt_);
    b.u64(originalLength);
    b.u32(crc32(header));
    b.u32(crc32(head));
    buffer_ = std::move(head);
}

void Journal::record(std::uint32_t kind, std::uint32_t n, std::span<const std::uint8_t> payload) {
    ByteBuilder b(buffer_);
    b.u32(kind);
    b.u32(n);
    b.bytes(payload);
    b.u32(recordCrc(salt_, kind, n, payload));
}

void Journal::append(std::uint32_t number, std::span<const std::uint8_t> bytes) {
    record(kOriginal, number, bytes);
}

void Journal::announce(std::uint32_t number, std::span<const std::uint8_t> bytes) {
    ByteBuilder b(announced_);
    b.u32(number);
    for (std::size_t at = 0; at < bytes.size(); at += kSector)
        b.u32(crc32(bytes.subspan(at, std::min(kSector, bytes.size() - at))));
    ++announcedPages_;
}

void Journal::sync() {
    if (announcedPages_ != 0) {
        record(kWritten, announcedPages_, announced_);
        announced_.clear();
        announcedPages_ = 0;
    }
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
           ByteReader(header, "journal header").u32(28) ==
               crc32(std::span<const std::uint8_t>(header).first(28));
}

// The sound records of a journal: where each original lies in it, and what the transaction
// wrote to each page (one list of sector checksums per time it was written).
struct JournalRecords {
    std::map<std::uint32_t, std::uint64_t> originals;  // page -> offset of its bytes
    std::map<std::uint32_t, std::vector<std::vector<std::uint32_t>>> written;
};

JournalRecords readRecords(const File& j, std::uint32_t salt, std::uint32_t pageSize,
                           std::uint64_t originalLength) {
    JournalRecords out;
    const std::uint64_t size = j.size();
    const std::size_t sectors = sectorsOf(pageSize);
    const std::uint64_t writtenEntry = 4 + 4 * std::uint64_t{sectors};
    std::vector<std::uint8_t> head(8), payload, crc(4);
    for (std::uint64_t at = kHeaderSize; at + 12 <= size;) {
        j.read(at, head);
        const ByteReader h(head, "journal record");
        const std::uint32_t kind = h.u32(0);
        const std::uint32_t n = h.u32(4);
        std::uint64_t length;
        if (kind == kOriginal)
            length = pageSize;
        else if (kind == kWritten && n > 0 && n <= size / writtenEntry)
            length = n * writtenEntry;
        else
            break;
        if (at + 8 + length + 4 > size) break;  // torn: never flushed whole
        payload.resize(length);
        j.read(at + 8, payload);
        j.read(at + 8 + length, crc);
        if (ByteReader(crc, "journal record").u32(0) != recordCrc(salt, kind, n, payload)) break;
        if (kind == kOriginal) {
            if (std::uint64_t{n} * pageSize >= originalLength) break;  // past the old end
            out.originals.emplace(n, at + 8);
        } else {
            const ByteReader entries(payload, "journal record");
            for (std::uint64_t e = 0; e < n; ++e) {
                const std::size_t base = static_cast<std::size_t>(e * writtenEntry);
                std::vector<std::uint32_t> sums(sectors);
                for (std::size_t k = 0; k < sectors; ++k)
                    sums[k] = entries.u32(base + 4 + 4 * k);
                out.written[entries.u32(base)].push_back(std::move(sums));
            }
        }
        at += 8 + length + 4;
    }
    return out;
}

// Why `database` is not the file the journal was written for ("" when it is).
std::string mismatch(const File& database, const File& j, const JournalRecords& records,
                     std::uint32_t pageSize, std::uint64_t originalLength,
                     std::uint32_t headerCrc) {
    const std::uint64_t size = database.size();
    if (size < originalLength / pageSize * pageSize)
        return "the file is shorter than it was when that transaction began";
    std::vector<std::uint8_t> now, original(pageSize);
    if (!records.originals.count(0)) {
        now.resize(std::min<std::uint64_t>(pageSize, size));
        database.read(0, now);
        if (now.size() != pageSize || crc32(now) != headerCrc)
            return "its header page is not the one that transaction began with";
    }
    static const std::vector<std::vector<std::uint32_t>> kNone;
    for (const auto& [page, at] : records.originals) {
        const std::uint64_t offset = std::uint64_t{page} * pageSize;
        if (offset >= size) continue;  // cut away with the pages the transaction added
        now.resize(static_cast<std::size_t>(std::min<std::uint64_t>(pageSize, size - offset)));
        database.read(offset, now);
        j.read(at, original);
        auto it = records.written.find(page);
        const auto& writes = it == records.written.end() ? kNone : it->second;
        for (std::size_t from = 0, k = 0; from < now.size(); from += kSector, ++k) {
            const std::size_t n = std::min(kSector, now.size() - from);
            const auto sector = std::span<const std::uint8_t>(now).subspan(from, n);
            if (std::equal(sector.begin(), sector.end(), original.begin() + from)) continue;
            const std::uint32_t sum = crc32(sector);
            const bool wrote = std::any_of(writes.begin(), writes.end(), [&](const auto& sums) {
                return n == kSector && k < sums.size() && sums[k] == sum;
            });
            if (!wrote)
                return "page " + std::to_string(page) +
                       " holds neither what the journal kept of it nor what that transaction "
                       "wrote there";
        }
    }
    return "";
}

ReplayResult ignore(JournalStore& store, const std::string& why) {
    ReplayResult r;
    r.found = true;
    r.ignored = true;
    r.note = "The journal \"" + store.name() +
             "\" beside the file was left by a program that stopped while writing, but not to "
             "this file: " +
             why + ". It was not played back, and is left as it is.";
    return r;
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
    std::vector<std::uint8_t> header;
    if (!validHeader(*j, header)) {
        // Voided by a commit, or never flushed whole: the database was not touched behind it.
        j.reset();
        store.remove();
        return result;
    }
    const ByteReader h(header, "journal header");
    const std::uint32_t journalPageSize = h.u32(8);
    const std::uint32_t salt = h.u32(12);
    const std::uint64_t originalLength = h.u64(16);
    const std::uint32_t headerCrc = h.u32(24);
    if ((pageSize != 0 && journalPageSize != pageSize) || journalPageSize < 512 ||
        journalPageSize > 65536)
        return ignore(store, "its pages are of " + std::to_string(journalPageSize) + " bytes");

    const JournalRecords records = readRecords(*j, salt, journalPageSize, originalLength);
    if (const std::string why =
            mismatch(database, *j, records, journalPageSize, originalLength, headerCrc);
        !why.empty())
        return ignore(store, why);

    std::vector<std::uint8_t> bytes(journalPageSize);
    for (const auto& [page, at] : records.originals) {
        j->read(at, bytes);
        database.write(std::uint64_t{page} * journalPageSize, bytes);
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
