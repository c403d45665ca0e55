// The rollback journal: the original bytes of every page a transaction overwrites, kept beside
// the database until the transaction is committed, with what identifies that database.
//
// Layout of the journal file (little-endian):
//
//   offset  size  meaning
//   0       8     magic "DMJRNL2\0"
//   8       4     page size of the database
//   12      4     salt: a random number of this journal, mixed into every checksum
//   16      8     length of the database file in bytes when the transaction began
//   24      4     CRC-32 of page 0 (the header) as stored when the transaction began
//   28      4     CRC-32 of bytes 0-27
//   32      ...   records, each: u32 kind, u32 n, the payload, u32 CRC-32 of the salt, the kind,
//                 n and the payload. Kind 1, an original: n is the page number, the payload the
//                 page as stored in the file (encoded pages stay encoded). Kind 2, what pages
//                 will hold: n pages, each a u32 page number and the CRC-32 of each of its
//                 512-byte sectors as the transaction writes it.
//
// Protocol (pager.cpp): records are appended and the journal flushed before any page of the
// database is overwritten, and before a page that has an original is written, the journal says
// what it will hold; commit flushes the database and then zeroes the journal's header and
// flushes that — the moment of commit. The file itself stays while the database is open, for
// the next transaction to write its header and records over (records of an older transaction
// fail the new salt's checksums), and is deleted when the database is closed. So a journal with
// a valid header at open belongs to a transaction that never committed: its records up to the
// first damaged or incomplete one are read, and when the file is the one the journal was
// written for, the originals are written back and the file is cut to its old length. A record
// past the last flush may be torn, but its page was never overwritten. A journal whose header is
// not valid (zeroed by a commit, or never flushed whole) promises nothing, and the database was
// not touched behind it: it is deleted.
//
// The file is the journal's when it is at least as long as its whole pages were when the
// transaction began, its header page is as it was then (or, when the transaction wrote it, as
// below), and each 512-byte sector of every page with an original holds either the original
// bytes or what the transaction wrote there: a crash leaves nothing else, however far the
// writes got, even when a page was torn. Anything else means another file now has the name (a
// copy put over it, say, or one another program changed since): the journal is then ignored,
// with a note, and left as it is; it is never played back into a file it does not belong to.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "db/jet/page/file.h"

namespace jet {

// Where the journal of one database lives.
class JournalStore {
  public:
    virtual ~JournalStore() = default;
    // The journal, or nullptr when there is none.
    virtual std::unique_ptr<File> open() = 0;
    // A new, empty journal, replacing any; its directory entry is durable when this returns.
    virtual std::unique_ptr<File> create() = 0;
    // Deletes the journal durably; nothing happens when there is none.
    virtual void remove() = 0;
    // The journal's name for messages.
    virtual std::string name() const = 0;
};

// The journal beside the database at `databasePath`: the same path with ".journal" appended.
std::string journalPathFor(const std::string& databasePath);
std::unique_ptr<JournalStore> journalBeside(const std::string& databasePath);

// A journal kept in memory (databases held in memory, tests). The bytes survive the pager that
// wrote them for as long as the store lives; `faults` wraps every journal it creates.
class MemoryJournalStore : public JournalStore {
  public:
    std::unique_ptr<File> open() override;
    std::unique_ptr<File> create() override;
    void remove() override;
    std::string name() const override { return "memory journal"; }
    bool exists() const { return state_->exists; }
    const std::vector<std::uint8_t>& bytes() const { return state_->bytes; }
    // Makes the journals it creates fail as `plan` says (file.h).
    void setFaults(FaultyFile::Plan plan) { plan_ = plan; }
    // A second store over the same journal (for opening the database again after a "crash").
    std::unique_ptr<MemoryJournalStore> share() const;

  private:
    struct State {
        bool exists = false;
        std::vector<std::uint8_t> bytes;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
    FaultyFile::Plan plan_;
};

// Writes the journal of one transaction into a journal file.
class Journal {
  public:
    // Starts a journal in `file` (kept by the caller, alive while the Journal is): its header
    // and records go to the start of the file at the first sync(). `header` is page 0 of the
    // database as stored when the transaction began. Throws Io.
    Journal(File& file, std::uint32_t pageSize, std::uint64_t originalLength,
            std::span<const std::uint8_t> header);
    // Zeroes the header of the journal in `file` and flushes it: from then on the journal
    // promises nothing. Throws Io.
    static void invalidate(File& file);
    // Appends the original stored bytes of page `number`. REQUIRES: bytes.size() == page size.
    void append(std::uint32_t number, std::span<const std::uint8_t> bytes);
    // Notes that page `number` will be written with the stored bytes `bytes` (its sectors'
    // checksums go to the journal at the next sync()). REQUIRES: bytes.size() == page size.
    void announce(std::uint32_t number, std::span<const std::uint8_t> bytes);
    // Makes every record appended and every page announced so far durable.
    void sync();

  private:
    void record(std::uint32_t kind, std::uint32_t n, std::span<const std::uint8_t> payload);

    File& file_;
    std::uint32_t pageSize_;
    std::uint32_t salt_;
    std::uint64_t end_;
    std::vector<std::uint8_t> buffer_;     // records not yet written to the file
    std::vector<std::uint8_t> announced_;  // page numbers and sector checksums not yet recorded
    std::uint32_t announcedPages_ = 0;
};

struct ReplayResult {
    bool found = false;  // a journal was there
    std::size_t pagesRestored = 0;
    bool truncated = false;  // the file was cut back to its old length
    // The journal belongs to another file: nothing was written, the journal was left, and
    // `note` says why.
    bool ignored = false;
    std::string note;
};

// True when `store` holds a journal with a valid header: one that replayJournal() would play
// back. Throws Io when it cannot be read.
bool journalIsLive(JournalStore& store);

// Plays back the journal of `store` into `database`, if there is one and it belongs to this
// file, flushes the database and deletes the journal. A journal of another file, or of another
// page size than `pageSize` (0: take the journal's), is left alone (ignored, with a note).
// Throws Io when the database cannot be read or written.
ReplayResult replayJournal(File& database, JournalStore& store, std::uint32_t pageSize = 0);

// CRC-32 (the polynomial of zip files) of `bytes`, continuing from `crc`.
std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);

}  // namespace jet
