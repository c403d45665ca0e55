// Page reads, decoding, the least-recently-used cache, and the write path: dirty copies,
// savepoints, journalled write-back.
#include "db/jet/page/pager.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "db/jet/base/byte_writer.h"
#include "db/jet/base/error.h"
#include "db/jet/page/crypto.h"
#include "db/jet/page/journal.h"

namespace jet {

namespace {

[[noreturn]] void misuse(const std::string& what) {
    throw Error(ErrorKind::Usage, "The Access engine was used wrongly: " + what + ".");
}

}  // namespace

void Rc4PageCodec::decode(std::uint32_t pageNumber, std::span<std::uint8_t> page) const {
    std::array<std::uint8_t, 4> key{};
    ByteWriter(key, "page key").u32(0, key_ ^ pageNumber);
    rc4(key, page);
}

Pager::Pager(std::unique_ptr<File> file, const Format& format, std::size_t cachePages,
             std::unique_ptr<JournalStore> journal)
    : file_(std::move(file)),
      format_(&format),
      pageCount_(0),
      capacity_(cachePages < 8 ? 8 : cachePages),
      journalStore_(std::move(journal)) {
    const std::uint64_t pages = file_->size() / format.pageSize;
    pageCount_ = pages > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(pages);
}

Pager::~Pager() {
    // An open transaction that was neither committed nor rolled back is undone; a destructor
    // must not throw, and whatever cannot be restored now is restored from the journal by the
    // next open.
    if (inTransaction_) {
        try {
            rollback();
        } catch (...) {
        }
    }
    // The journal file promises nothing between transactions; a journal left live by a failure
    // (broken_) stays for the next open to play back.
    if (journalFile_ && !broken_) {
        journalFile_.reset();
        try {
            journalStore_->remove();
        } catch (...) {
        }
    }
}

void Pager::setCodec(std::unique_ptr<PageCodec> codec) {
    if (inTransaction_) misuse("the page codec changed inside a transaction");
    codec_ = std::move(codec);
    dropCache();
}

void Pager::dropCache() {
    if (inTransaction_) misuse("the page cache was dropped inside a transaction");
    cache_.clear();
    lru_.clear();
    const std::uint64_t pages = file_->size() / format_->pageSize;
    pageCount_ = pages > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(pages);
}

PageRef Pager::page(std::uint32_t number) {
    if (!dirty_.empty()) {
        auto d = dirty_.find(number);
        if (d != dirty_.end()) {
            ++hits_;
            return d->second;
        }
    }
    auto it = cache_.find(number);
    if (it != cache_.end()) {
        ++hits_;
        lru_.splice(lru_.begin(), lru_, it->second.pos);
        return it->second.page;
    }
    PageRef p = load(number);
    cacheClean(p);
    return p;
}

void Pager::cacheClean(PageRef p) {
    const std::uint32_t number = p->number;
    auto it = cache_.find(number);
    if (it != cache_.end()) {
        it->second.page = std::move(p);
        lru_.splice(lru_.begin(), lru_, it->second.pos);
        return;
    }
    if (cache_.size() >= capacity_) {
        cache_.erase(lru_.back());
        lru_.pop_back();
    }
    lru_.push_front(number);
    cache_.emplace(number, Slot{std::move(p), lru_.begin()});
}

void Pager::uncache(std::uint32_t number) {
    auto it = cache_.find(number);
    if (it == cache_.end()) return;
    lru_.erase(it->second.pos);
    cache_.erase(it);
}

PageRef Pager::load(std::uint32_t number) {
    if (broken_)
        throw Error(ErrorKind::Io,
                    "An earlier write to \"" + file_->name() +
                        "\" failed; close the database and open it again to read it.");
    if (number >= pageCount_)
        throwCorrupt("a reference to page " + std::to_string(number) + ", but the file has only " +
                     std::to_string(pageCount_) + " pages");
    // A full cache gives up its least recently used page. When nothing outside the cache holds
    // that page any more, its buffer takes the new page's bytes: a long scan then reads into the
    // same few buffers instead of allocating and zeroing one per page.
    std::shared_ptr<Page> p;
    if (cache_.size() >= capacity_) {
        const auto victim = cache_.find(lru_.back());
        if (victim->second.page.use_count() == 1)
            p = std::const_pointer_cast<Page>(std::move(victim->second.page));
        cache_.erase(victim);
        lru_.pop_back();
    }
    if (!p) p = std::make_shared<Page>();
    p->number = number;
    p->bytes.resize(format_->pageSize);
    ++reads_;
    file_->read(static_cast<std::uint64_t>(number) * format_->pageSize, p->bytes);
    if (number != 0 && codec_) codec_->decode(number, p->bytes);
    return p;
}

// ---- transactions ----

bool Pager::writable() const {
    return !format_->readOnly && file_->writable() && journalStore_ != nullptr;
}

void Pager::requireTransaction(const char* what) const {
    if (!inTransaction_) misuse(std::string(what) + " outside a transaction");
}

void Pager::requireWritable() const {
    if (writable()) return;
    if (format_->readOnly)
        throw Error(ErrorKind::ReadOnly,
                    std::string("Databases of the ") + format_->name +
                        " format can be read but not written by this program.");
    throw Error(ErrorKind::ReadOnly,
                "The database \"" + file_->name() + "\" is open for reading only.");
}

void Pager::begin() {
    if (broken_)
        throw Error(ErrorKind::Io,
                    "An earlier write to \"" + file_->name() +
                        "\" failed; close the database and open it again before writing to it.");
    requireWritable();
    if (inTransaction_) misuse("a transaction was begun inside another");
    inTransaction_ = true;
    startPages_ = pageCount_;
    startLength_ = file_->size();
    fileTouched_ = false;
    try {
        startHeader_ = pageCount_ > 0 ? page(0)->bytes : std::vector<std::uint8_t>{};
    } catch (...) {
        inTransaction_ = false;
        throw;
    }
    // A file that ends in part of a page loses those bytes to the first page appended: keep
    // them like any page's original, so a rollback restores the file byte for byte.
    const std::uint64_t whole = std::uint64_t{pageCount_} * format_->pageSize;
    if (startLength_ > whole) {
        std::vector<std::uint8_t> tail(format_->pageSize, 0);
        file_->read(whole, std::span<std::uint8_t>(tail).first(startLength_ - whole));
        originals_.emplace(pageCount_, std::move(tail));
    }
}

void Pager::endTransaction() {
    inTransaction_ = false;
    originals_.clear();
    journaled_.clear();
    dirty_.clear();
    savepoints_.clear();
    journal_.reset();
    fileTouched_ = false;
    newPages_.clear();
    freedOldPages_.clear();
    rowsOnNewPagesOnly_ = false;
}

void Pager::savepoint() {
    requireTransaction("a savepoint was set");
    savepoints_.push_back(Savepoint{pageCount_, {}, {}});
}

void Pager::releaseSavepoint() {
    if (savepoints_.empty()) misuse("a savepoint was released that was never set");
    Savepoint top = std::move(savepoints_.back());
    savepoints_.pop_back();
    if (savepoints_.empty()) {
        recycle(top.saved);
        return;
    }
    // The enclosing savepoint keeps the older bytes where it has none of its own. Its own copy
    // of a page makes the inner patches of that page needless; without one, they follow its
    // own patches, and any inner copy of the page (made after them) restores first.
    Savepoint& outer = savepoints_.back();
    for (const Patch& patch : top.patches) {
        if (patch.page >= outer.pageCount || outer.saved.contains(patch.page)) continue;
        outer.patches.push_back(patch);
    }
    for (auto& [number, bytes] : top.saved.entries()) {
        if (number >= outer.pageCount) continue;  // appended after the outer savepoint
        outer.saved.add(number, std::move(bytes));
    }
}

void Pager::rollbackToSavepoint() {
    if (savepoints_.empty()) misuse("a rollback to a savepoint that was never set");
    Savepoint top = std::move(savepoints_.back());
    savepoints_.pop_back();
    for (auto& [number, bytes] : top.saved.entries()) {
        if (number >= top.pageCount) {
            dirty_.erase(number);
            uncache(number);
            continue;
        }
        auto d = dirty_.find(number);
        if (d != dirty_.end() && d->second.use_count() == 1) {
            d->second->bytes = *bytes;
        } else {
            // Spilled since, or shared with readers: a fresh live copy.
            auto p = std::make_shared<Page>();
            p->number = number;
            p->bytes = *bytes;
            dirty_[number] = std::move(p);
            uncache(number);
        }
    }
    for (auto it = top.patches.rbegin(); it != top.patches.rend(); ++it) {
        const PageHandle p = restorablePage(it->page);
        std::memcpy(p->bytes.data() + it->offset, it->old, it->length);
    }
    pageCount_ = top.pageCount;
    recycle(top.saved);
}

PageHandle Pager::restorablePage(std::uint32_t number) {
    auto d = dirty_.find(number);
    if (d != dirty_.end() && d->second.use_count() == 1) return d->second;
    // Written early since (a new page), or shared with readers: a fresh live copy.
    auto p = std::make_shared<Page>(*page(number));
    dirty_[number] = p;
    uncache(number);
    return p;
}

void Pager::rememberOriginal(std::uint32_t number) {
    if (number >= startPages_ || originals_.count(number)) return;
    std::vector<std::uint8_t> bytes(format_->pageSize);
    file_->read(static_cast<std::uint64_t>(number) * format_->pageSize, bytes);
    originals_.emplace(number, std::move(bytes));
}

void Pager::noteWritten(std::uint32_t number) {
    if (savepoints_.empty()) return;
    Savepoint& top = savepoints_.back();
    if (top.saved.contains(number)) return;
    if (number >= top.pageCount) {
        top.saved.add(number, nullptr);
        return;
    }
    top.saved.add(number, savedCopy(page(number)->bytes));
}

Pager::SavedPages::Bytes Pager::savedCopy(const std::vector<std::uint8_t>& bytes) {
    // Most statements save the same few pages again and again: their buffers are used again.
    while (!spareSaved_.empty()) {
        std::shared_ptr<std::vector<std::uint8_t>> b = std::move(spareSaved_.back());
        spareSaved_.pop_back();
        if (b.use_count() != 1) continue;  // still held elsewhere: not ours to change
        b->assign(bytes.begin(), bytes.end());
        return b;
    }
    return std::make_shared<std::vector<std::uint8_t>>(bytes);
}

void Pager::recycle(SavedPages& saved) {
    for (auto& [number, bytes] : saved.entries()) {
        if (!bytes || spareSaved_.size() >= kSpareSavedPages) continue;
        spareSaved_.push_back(std::const_pointer_cast<std::vector<std::uint8_t>>(std::move(bytes)));
    }
}

bool Pager::SavedPages::contains(std::uint32_t page) const {
    if (!index_.empty()) return index_.count(page) != 0;
    for (const auto& e : entries_)
        if (e.first == page) return true;
    return false;
}

void Pager::SavedPages::add(std::uint32_t page, Bytes bytes) {
    if (contains(page)) return;
    entries_.emplace_back(page, std::move(bytes));
    if (entries_.size() == kIndexFrom) {
        for (std::size_t i = 0; i < entries_.size(); ++i)
            index_.emplace(entries_[i].first, i);
    } else if (entries_.size() > kIndexFrom) {
        index_.emplace(page, entries_.size() - 1);
    }
}

PageHandle Pager::writablePage(std::uint32_t number) {
    requireTransaction("a page was written");
    PageHandle live = livePage(number);
    noteWritten(number);
    return live;
}

PageHandle Pager::livePage(std::uint32_t number) {
    auto d = dirty_.find(number);
    if (d != dirty_.end()) return d->second;
    const PageRef clean = page(number);  // throws for a page the file does not have
    rememberOriginal(number);
    auto copy = std::make_shared<Page>(*clean);
    uncache(number);
    dirty_.emplace(number, copy);
    return copy;
}

void Pager::writeBytes(std::uint32_t number, std::size_t offset,
                       std::span<const std::uint8_t> bytes) {
    requireTransaction("a page was written");
    if (offset > format_->pageSize || bytes.size() > format_->pageSize - offset)
        throwCorrupt("a change runs past the end of the page", number);
    const bool patch = !savepoints_.empty() && bytes.size() <= Patch::kMax &&
                       number < savepoints_.back().pageCount &&
                       !savepoints_.back().saved.contains(number);
    const PageHandle live = patch ? livePage(number) : writablePage(number);
    if (patch) {
        Patch p;
        p.page = number;
        p.offset = static_cast<std::uint32_t>(offset);
        p.length = static_cast<std::uint8_t>(bytes.size());
        std::memcpy(p.old, live->bytes.data() + offset, bytes.size());
        savepoints_.back().patches.push_back(p);
    }
    std::memcpy(live->bytes.data() + offset, bytes.data(), bytes.size());
}

PageHandle Pager::appendPage() {
    requireTransaction("a page was appended");
    // Access files end at 2 GiB.
    if (std::uint64_t{pageCount_} + 1 > (std::uint64_t{1} << 31) / format_->pageSize)
        throw Error(ErrorKind::NotSupported,
                    "The database \"" + file_->name() +
                        "\" has reached the largest size an Access database can have (2 GB).");
    auto p = std::make_shared<Page>();
    p->number = pageCount_;
    p->bytes.assign(format_->pageSize, 0);
    ++pageCount_;
    noteWritten(p->number);
    dirty_.emplace(p->number, p);
    return p;
}

void Pager::setAllocator(std::unique_ptr<PageAllocator> allocator) {
    if (inTransaction_)
        throw Error(ErrorKind::Usage, "The page allocator changed in a transaction.");
    allocator_ = std::move(allocator);
}

PageHandle Pager::allocatePage(std::uint8_t type) {
    requireTransaction("a page was allocated");
    if (!allocator_) throw Error(ErrorKind::Engine, "Pages were allocated without an allocator.");
    PageHandle p = allocator_->allocate(type);
    newPages_.insert(p->number);  // reused or appended, the file's old state does not reach it
    return p;
}

void Pager::freePage(std::uint32_t number) {
    requireTransaction("a page was freed");
    if (!allocator_) throw Error(ErrorKind::Engine, "A page was freed without an allocator.");
    allocator_->release(number);
    if (!isNew(number)) freedOldPages_.insert(number);
}

bool Pager::isFree(std::uint32_t number) {
    return allocator_ && allocator_->isFree(number);
}

// ---- write-back ----

std::vector<std::uint8_t> Pager::stored(const Page& page) const {
    std::vector<std::uint8_t> out = page.bytes;
    if (page.number != 0 && codec_) codec_->encode(page.number, out);
    return out;
}

void Pager::ensureJournal() {
    ensureJournalObject();
    for (const auto& [number, bytes] : originals_) {
        if (journaled_.count(number)) continue;
        journal_->append(number, bytes);
        journaled_.insert(number);
    }
    journal_->sync();
}

namespace {

// The order in which pages the old state of the file reaches are overwritten at commit: the
// leaves first, what leads to them last, so that another program reading meanwhile meets each
// table as it was or as it will be.
constexpr std::uint32_t kCatalogueDefinition = 2;  // the page defining MSysObjects

int writeRank(const Page& p, const Format& f) {
    if (p.number == 0) return 6;  // the header
    if (p.number == 1) return 5;  // the free-page map
    const std::uint8_t type = p.bytes[0];
    if (type == page_type::kTableDef) return 3;  // row counts, index roots, map references
    if (type == page_type::kData) {
        const std::uint32_t owner =
            ByteReader(p.span(), "data page", p.number).u32(f.dataOwnerOffset);
        if (owner == kCatalogueDefinition) return 4;  // the catalogue: tables appear and go here
        return 2;  // rows, and the usage maps that make new pages of rows seen
    }
    return 1;  // index pages, usage-map bitmap pages, anything else
}

}  // namespace

void Pager::writeBack(bool spilling) {
    // What each page will hold in the file; pages the journal keeps an original of are
    // announced to it first, so a later replay can tell this file from another.
    struct Out {
        std::uint32_t number;
        int rank;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Out> fresh, old;
    ensureJournalObject();
    // In page order, so that the file is written front to back.
    std::vector<std::uint32_t> numbers;
    numbers.reserve(dirty_.size());
    for (const auto& entry : dirty_)
        numbers.push_back(entry.first);
    std::sort(numbers.begin(), numbers.end());
    for (const std::uint32_t number : numbers) {
        const PageHandle& p = dirty_.at(number);
        const bool isNewPage = isNew(number);
        if (spilling && !isNewPage) continue;  // the old state must stay whole until commit
        Out o{number, isNewPage ? 0 : writeRank(*p, *format_), stored(*p)};
        if (std::uint64_t{number} * format_->pageSize < startLength_)
            journal_->announce(number, o.bytes);
        (isNewPage ? fresh : old).push_back(std::move(o));
    }
    if (spilling && fresh.empty()) return;
    ensureJournal();
    fileTouched_ = true;
    for (const Out& o : fresh)
        file_->write(static_cast<std::uint64_t>(o.number) * format_->pageSize, o.bytes);
    if (!spilling) {
        // New pages are durable before any page the old state reaches shows them.
        if (!fresh.empty() && !old.empty()) file_->sync();
        std::stable_sort(old.begin(), old.end(),
                         [](const Out& a, const Out& b) { return a.rank < b.rank; });
        for (const Out& o : old)
            file_->write(static_cast<std::uint64_t>(o.number) * format_->pageSize, o.bytes);
        const std::uint64_t length = std::uint64_t{pageCount_} * format_->pageSize;
        if (file_->size() > length) file_->truncate(length);
        file_->sync();
    }
    // The written pages are clean now; a later write makes a new live copy.
    for (const std::vector<Out>* list : {&fresh, &old})
        for (const Out& o : *list) {
            auto it = dirty_.find(o.number);
            cacheClean(std::move(it->second));
            dirty_.erase(it);
        }
}

void Pager::ensureJournalObject() {
    if (journal_) return;
    if (!journalFile_) journalFile_ = journalStore_->create();
    journal_ =
        std::make_unique<Journal>(*journalFile_, format_->pageSize, startLength_, startHeader_);
    journaled_.clear();
}

void Pager::spillIfLarge() {
    if (!inTransaction_ || dirty_.size() <= spillLimit_) return;
    // Only new pages may be written early; when most of what is held is old, the memory stays.
    std::size_t fresh = 0;
    for (const auto& [number, p] : dirty_)
        if (isNew(number)) ++fresh;
    if (fresh * 2 < spillLimit_) return;
    try {
        writeBack(true);
    } catch (...) {
        // Whatever reached the file is undone from the originals; the transaction is over.
        try {
            rollback();
        } catch (...) {
        }
        throw;
    }
}

void Pager::commit() {
    requireTransaction("a commit");
    if (!savepoints_.empty()) misuse("a commit inside an open statement");
    if (dirty_.empty() && !fileTouched_) {
        endTransaction();
        return;
    }
    try {
        writeBack(false);
        // The commit point: once the journal is gone the transaction cannot be undone.
        voidJournal();
    } catch (...) {
        try {
            restoreFileFromOriginals();
            voidJournal();
        } catch (...) {
            broken_ = true;
        }
        endTransaction();
        cache_.clear();
        lru_.clear();
        if (!broken_) dropCache();
        throw;
    }
    ++commits_;
    endTransaction();
}

void Pager::voidJournal() {
    if (!journal_) return;
    journal_.reset();
    Journal::invalidate(*journalFile_);
}

void Pager::restoreFileFromOriginals() {
    if (!fileTouched_) return;
    for (const auto& [number, bytes] : originals_)
        file_->write(static_cast<std::uint64_t>(number) * format_->pageSize, bytes);
    file_->truncate(startLength_);
    file_->sync();
}

void Pager::rollback() {
    requireTransaction("a rollback");
    const bool touched = fileTouched_;
    std::vector<std::uint32_t> written;
    for (const auto& [number, bytes] : originals_)
        written.push_back(number);
    try {
        restoreFileFromOriginals();
        if (journal_) voidJournal();
    } catch (...) {
        broken_ = true;
        endTransaction();
        cache_.clear();
        lru_.clear();
        throw;
    }
    endTransaction();
    pageCount_ = startPages_;
    if (touched) {
        cache_.clear();
        lru_.clear();
    } else {
        for (std::uint32_t n : written)
            uncache(n);
    }
    // Pages appended by the transaction are gone.
    for (auto it = cache_.begin(); it != cache_.end();) {
        if (it->first >= pageCount_) {
            lru_.erase(it->second.pos);
            it = cache_.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace jet
