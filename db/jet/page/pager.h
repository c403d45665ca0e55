// The file as a sequence of fixed-size pages, decoded and cached, read and written.
//
// Reading. The pager reads whole pages through the File, undoes the page encoding of the file
// (RC4 for encoded .mdb files; none for most files) and keeps recently used pages in a bounded
// cache. Page 0, the header, is returned as stored; its masked part is undone by the header
// layer.
//
// Writing. Every change happens inside a transaction and goes through writable copies of pages:
//
//   pager.begin();                               // normally through Database (database.h)
//   PageHandle p = pager.writablePage(n);        // a private copy of page n, marked dirty
//   p->bytes[...] = ...;                         // change it in place
//   PageHandle q = pager.allocatePage(page_type::kData);   // a fresh page (reused or appended)
//   pager.freePage(m);                           // back to the file's free pages
//   pager.commit();                              // durable when it returns
//
// Which pages are free is not the pager's to know: the file keeps them in a usage map, a layer
// above reads and changes it (table/page_allocator.h), and the Database installs it as the
// pager's PageAllocator. The pager itself only grows the file by whole pages (appendPage).
//
// Dirty pages stay in memory until commit (or until spillIfLarge() writes them early). Before
// any page of the file is overwritten, its original bytes are in the rollback journal beside the
// file and the journal is on disk; commit writes the dirty pages (encoded again with the page
// codec, so encoded files stay encoded), flushes the file and then voids the journal — that is
// the moment of commit. A crash at any moment before it leaves a journal that the
// next open plays back (journal.h), restoring the file as it was when the transaction began.
//
// Other programs never read the journal, so the pager also keeps what they see of each table
// whole, before and after the commit. A page the file's old state cannot reach (one the
// free-page map listed free when the transaction began, or one it appended) is "new"; only new
// pages are written early, and a page freed by the transaction is not used again before it
// commits. At commit the new pages go first, then (after a flush) the pages the old state
// reaches, from the leaves up: index and usage-map pages and the table's pages of rows, table
// definitions, then the catalogue, the free-page map and the header. Rows of a multi-statement
// transaction go onto new pages only (setRowsOnNewPagesOnly), so a table's new rows appear to
// other readers at the one write of the page holding its usage map, all at once. A program that
// is killed in the middle of the commit therefore leaves each table to other readers as it was
// before the transaction or as it is after it (its row count and indexes may lag until this
// engine opens the file again and plays the journal back).
//
// Savepoints nest inside a transaction: rollbackToSavepoint() restores every page written since
// the matching savepoint() to the bytes it had then, and the page count too; this is how a
// rejected statement leaves no trace. rollback() restores everything since begin().
//
// What a PageRef and a PageHandle may rely on:
// - A PageRef taken while a page is clean keeps its bytes forever: writing the page makes a new
//   copy. A PageRef taken while a page is dirty shares the live copy and sees later writes.
// - A PageHandle is the live copy of its page until the innermost statement it was taken in
//   ends: a savepoint being released or rolled back, the transaction ending, or spillIfLarge().
//   After that, call writablePage() again; bytes written through an old handle may be lost.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "db/jet/format/format.h"
#include "db/jet/page/file.h"
#include "db/jet/page/journal.h"

namespace jet {

struct Page {
    std::uint32_t number = 0;
    std::vector<std::uint8_t> bytes;
    std::span<const std::uint8_t> span() const { return bytes; }
    std::span<std::uint8_t> mutableSpan() { return bytes; }
};
using PageRef = std::shared_ptr<const Page>;
using PageHandle = std::shared_ptr<Page>;

// Turns the stored form of a page into its plain form and back. Page 0 never passes through it.
class PageCodec {
  public:
    virtual ~PageCodec() = default;
    virtual void decode(std::uint32_t pageNumber, std::span<std::uint8_t> page) const = 0;
    virtual void encode(std::uint32_t pageNumber, std::span<std::uint8_t> page) const = 0;
};

// The RC4 encoding of .mdb pages: each page is RC4 with the four bytes of
// (encoding key XOR page number), little-endian, as key.
class Rc4PageCodec : public PageCodec {
  public:
    explicit Rc4PageCodec(std::uint32_t key) : key_(key) {}
    void decode(std::uint32_t pageNumber, std::span<std::uint8_t> page) const override;
    void encode(std::uint32_t pageNumber, std::span<std::uint8_t> page) const override {
        decode(pageNumber, page);
    }

  private:
    std::uint32_t key_;
};

class Pager;

// Where new pages come from and where freed pages go (table/page_allocator.h).
class PageAllocator {
  public:
    virtual ~PageAllocator() = default;
    virtual PageHandle allocate(std::uint8_t type) = 0;
    virtual void release(std::uint32_t number) = 0;
    virtual bool isFree(std::uint32_t number) = 0;
};

class Pager {
  public:
    static constexpr std::size_t kDefaultCachePages = 1024;
    // spillIfLarge() writes dirty pages early once more than this many are held.
    static constexpr std::size_t kDefaultSpillPages = 8192;

    // REQUIRES: `file` holds at least one page of `format`'s size (checked by the caller).
    // `journal` is where the rollback journal lives; nullptr makes the pager read-only.
    Pager(std::unique_ptr<File> file, const Format& format,
          std::size_t cachePages = kDefaultCachePages,
          std::unique_ptr<JournalStore> journal = nullptr);
    ~Pager();
    Pager(const Pager&) = delete;
    Pager& operator=(const Pager&) = delete;

    const Format& format() const { return *format_; }
    std::uint32_t pageSize() const { return format_->pageSize; }
    // Whole pages in the file, counting pages allocated by the open transaction; a partial page
    // at the end of the file does not count.
    std::uint32_t pageCount() const { return pageCount_; }
    // The page count when the open transaction began (pageCount() outside one).
    std::uint32_t pageCountAtBegin() const { return inTransaction_ ? startPages_ : pageCount_; }
    File& file() { return *file_; }

    // From now on pages other than page 0 are decoded and encoded with `codec` (nullptr: stored
    // plain). REQUIRES: no transaction is open.
    void setCodec(std::unique_ptr<PageCodec> codec);

    // Page `number`, decoded: the live copy when the open transaction wrote it. Throws Corrupt
    // when the file has no such page, Io when it cannot be read.
    PageRef page(std::uint32_t number);

    // Forgets every cached clean page, so the next reads see the file as it is now (after
    // another connection of this program committed to it). REQUIRES: no transaction is open.
    void dropCache();

    // ---- writing ----

    // True when the pager can write: the file is open for writing, the format is one the engine
    // writes, and there is a place for the journal.
    bool writable() const;

    // Throws ReadOnly, saying why, when !writable().
    void requireWritable() const;

    // Opens a transaction. Throws ReadOnly when !writable(), and Usage when one
    // is open already or an earlier failure left the pager unusable.
    void begin();
    bool inTransaction() const { return inTransaction_; }
    // Makes every change of the transaction durable and closes it. On failure (Io) the pager
    // restores the file as it was at begin() when it can (else the journal is left for the next
    // open, and the pager refuses further work) and rethrows; the transaction is closed either
    // way. REQUIRES: inTransaction() and no savepoint open.
    void commit();
    // Undoes every change of the transaction and closes it: the file, and what page() returns,
    // are as they were at begin(). REQUIRES: inTransaction().
    void rollback();

    // Marks a point to come back to; savepoints nest. REQUIRES: inTransaction().
    void savepoint();
    // Forgets the innermost savepoint, keeping its changes in the transaction.
    void releaseSavepoint();
    // Restores every page written since the innermost savepoint, and the page count, and forgets
    // the savepoint. Nothing of the file itself is touched.
    void rollbackToSavepoint();
    std::size_t savepointDepth() const { return savepoints_.size(); }
    // True when a page was written or appended since the innermost savepoint was set (false
    // without one).
    bool changedSinceSavepoint() const {
        return !savepoints_.empty() &&
               (!savepoints_.back().saved.empty() || !savepoints_.back().patches.empty() ||
                pageCount_ != savepoints_.back().pageCount);
    }
    // True when the open transaction wrote or appended a page.
    bool changedInTransaction() const {
        return inTransaction_ && (!dirty_.empty() || !originals_.empty() || fileTouched_ ||
                                  pageCount_ != startPages_);
    }

    // The live, writable copy of page `number` (see the contract on handles above). Throws like
    // page() for a page the file does not have. REQUIRES: inTransaction().
    PageHandle writablePage(std::uint32_t number);
    // Writes `bytes` at `offset` of page `number`. What the innermost savepoint keeps of the
    // page is then only the bytes they replace, not the whole page: for counters a statement
    // changes on a page it otherwise leaves alone. Throws like writablePage(), and Corrupt when
    // the bytes would run past the page. REQUIRES: inTransaction().
    void writeBytes(std::uint32_t number, std::size_t offset, std::span<const std::uint8_t> bytes);

    // A zero-filled page appended at the end of the file, dirty: the one way the file grows.
    // Throws NotSupported when the file would pass the largest size Access allows (2 GiB).
    // REQUIRES: inTransaction().
    PageHandle appendPage();

    // From now on allocatePage(), freePage() and isFree() go to `allocator`, which must not
    // outlive the pager. REQUIRES: no transaction is open.
    void setAllocator(std::unique_ptr<PageAllocator> allocator);
    // A page for new content, from the allocator (page_allocator.h says which page it takes):
    // zero-filled, with the page type `type` and the constant 0x01 in its first two bytes.
    // Throws Engine when no allocator is installed. REQUIRES: inTransaction().
    PageHandle allocatePage(std::uint8_t type);
    // Gives page `number` back to the allocator. REQUIRES: inTransaction(), and that nothing
    // refers to the page.
    void freePage(std::uint32_t number);
    // True when the allocator holds `number` as free (never, without an allocator).
    bool isFree(std::uint32_t number);
    // True when page `number` is new in the open transaction: the file as it was when the
    // transaction began does not reach it (it was free then, or appended since).
    bool isNew(std::uint32_t number) const {
        return number >= startPages_ || newPages_.count(number) != 0;
    }
    // True when the open transaction freed page `number` while the file's old state still
    // reaches it: an allocator does not hand it out again before the commit.
    bool freedSinceBegin(std::uint32_t number) const { return freedOldPages_.count(number) != 0; }
    // While set, rows go onto new pages only (see the top of this file); cleared when the
    // transaction ends. REQUIRES: inTransaction().
    void setRowsOnNewPagesOnly(bool on) { rowsOnNewPagesOnly_ = on; }
    bool rowsOnNewPagesOnly() const { return rowsOnNewPagesOnly_; }

    // Writes dirty pages to the file early (behind the journal) when more than the spill limit
    // are held, to bound the memory of a long transaction (Database statements do it between
    // statements; a long statement may call it between rows). On failure (Io) the whole
    // transaction is rolled back and the error rethrown. REQUIRES: the caller keeps no
    // PageHandle it still means to write through.
    void spillIfLarge();
    void setSpillLimit(std::size_t pages) { spillLimit_ = pages < 16 ? 16 : pages; }
    std::size_t dirtyPages() const { return dirty_.size(); }

    // Cache statistics, for benchmarks.
    std::uint64_t reads() const { return reads_; }
    std::uint64_t hits() const { return hits_; }
    std::uint64_t commits() const { return commits_; }

    // Where the journal lives (nullptr for a pager that cannot write): the database plays it
    // back when another program left one behind.
    JournalStore* journalStore() { return journalStore_.get(); }

  private:
    PageRef load(std::uint32_t number);
    void cacheClean(PageRef page);
    void uncache(std::uint32_t number);
    void requireTransaction(const char* what) const;
    void rememberOriginal(std::uint32_t number);
    void noteWritten(std::uint32_t number);
    std::vector<std::uint8_t> stored(const Page& page) const;
    void writeBack(bool spilling);
    void ensureJournal();
    void ensureJournalObject();
    void voidJournal();
    void restoreFileFromOriginals();
    void endTransaction();

    std::unique_ptr<File> file_;
    const Format* format_;
    std::uint32_t pageCount_;
    std::unique_ptr<PageCodec> codec_;
    std::unique_ptr<PageAllocator> allocator_;
    std::size_t capacity_;
    std::list<std::uint32_t> lru_;  // most recently used first
    struct Slot {
        PageRef page;
        std::list<std::uint32_t>::iterator pos;
    };
    std::unordered_map<std::uint32_t, Slot> cache_;  // clean pages only
    std::uint64_t reads_ = 0;
    std::uint64_t hits_ = 0;
    std::uint64_t commits_ = 0;

    // The transaction.
    std::unique_ptr<JournalStore> journalStore_;
    std::unique_ptr<File> journalFile_;  // made at the first need, deleted when the pager goes
    std::unique_ptr<Journal> journal_;   // the open transaction's, once it needed one
    bool inTransaction_ = false;
    bool broken_ = false;            // a failed commit or rollback left the file to the journal
    std::uint32_t startPages_ = 0;   // page count at begin()
    std::uint64_t startLength_ = 0;  // file length in bytes at begin()
    std::vector<std::uint8_t> startHeader_;       // page 0 as stored at begin(), for the journal
    std::unordered_set<std::uint32_t> newPages_;  // taken from the free-page map since begin()
    std::unordered_set<std::uint32_t> freedOldPages_;  // freed since begin(), reached before it
    bool rowsOnNewPagesOnly_ = false;
    std::map<std::uint32_t, std::vector<std::uint8_t>> originals_;  // stored bytes at begin()
    std::set<std::uint32_t> journaled_;                             // originals in the journal
    std::unordered_map<std::uint32_t, PageHandle> dirty_;           // live copies, not yet written
    bool fileTouched_ = false;  // some page of the file was overwritten or appended (spill)
    std::size_t spillLimit_ = kDefaultSpillPages;

    // The pages written since a savepoint: their bytes at the savepoint, or nullptr for pages
    // appended after it. Most statements write a handful of pages, so they are kept in a flat
    // list, indexed only once the list grows long.
    class SavedPages {
      public:
        using Bytes = std::shared_ptr<const std::vector<std::uint8_t>>;
        bool contains(std::uint32_t page) const;
        // Adds `page` unless it is there already.
        void add(std::uint32_t page, Bytes bytes);
        std::vector<std::pair<std::uint32_t, Bytes>>& entries() { return entries_; }
        bool empty() const { return entries_.empty(); }

      private:
        static constexpr std::size_t kIndexFrom = 32;
        std::vector<std::pair<std::uint32_t, Bytes>> entries_;
        std::unordered_map<std::uint32_t, std::size_t> index_;
    };
    // The bytes of a page that writeBytes() replaced, for a savepoint without a copy of the page.
    struct Patch {
        static constexpr std::size_t kMax = 8;
        std::uint32_t page = 0;
        std::uint32_t offset = 0;
        std::uint8_t length = 0;
        std::uint8_t old[kMax] = {};
    };
    struct Savepoint {
        std::uint32_t pageCount = 0;
        SavedPages saved;
        // In the order they were made; rolled back last to first, after the saved pages.
        std::vector<Patch> patches;
    };
    std::vector<Savepoint> savepoints_;
    // Buffers of saved pages whose savepoint went, for the next savepoint's copies.
    static constexpr std::size_t kSpareSavedPages = 64;
    std::vector<std::shared_ptr<std::vector<std::uint8_t>>> spareSaved_;
    SavedPages::Bytes savedCopy(const std::vector<std::uint8_t>& bytes);
    // The live copy of page `number`, made when the transaction has none; the savepoint is
    // left to the caller.
    PageHandle livePage(std::uint32_t number);
    // The live copy of page `number` for a rollback to write into: one no reader shares.
    PageHandle restorablePage(std::uint32_t number);
    void recycle(SavedPages& saved);
};

}  // namespace jet
