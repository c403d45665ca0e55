// The rollback journal: the original bytes of every page a transaction overwrites, kept beside
// the database until the transaction is committed.
//
// Layout of the journal file (little-endian):
//
//   offset  size  meaning
//   0       8     magic "DMJRNL1\0"
//   8       4     page size of the database
//   12      4     salt: a random number of this journal, mixed into every checksum
//   16      8     length of the database file in bytes when the transaction began
//   24      4     CRC-32 of bytes 0-23
//   28      4     zero
//   32      ...   records, each: u32 page number, the page as stored in the file (encoded
//                 pages stay encoded), u32 CRC-32 of the salt, the page number and the bytes
//
// Protocol (pager.cpp): records are appended and the journal flushed before any page of the
// database is overwritten; commit flushes the database and then zeroes the journal's header and
// flushes that — the moment of commit. The file itself stays while the database is open, for
// the next transaction to write its header and records over (records of an older transaction
// fail the new salt's checksums), and is deleted when the database is closed. So a journal with
// a valid header at open belongs to a transaction that never committed: every record up to the
// first damaged or incomplete one is written back and the file is cut to its old length. A
// record past the last flush may be torn, but its page was never overwritten. A journal whose
// header is not valid (zeroed by a commit, or never flushed whole) promises nothing, and the
// database was not touched behind it: it is deleted.
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
    // and records go to the start of the file at the first sync(). Throws Io.
    Journal(File& file, std::uint32_t pageSize, std::uint64_t originalLength);
    // Zeroes the header of the journal in `file` and flushes it: from then on the journal
    // promises nothing. Throws Io.
    static void invalidate(File& file);
    // Appends the original stored bytes of page `number`. REQUIRES: bytes.size() == page size.
    void append(std::uint32_t number, std::span<const std::uint8_t> bytes);
    // Makes every record appended so far durable.
    void sync();

  private:
    File& file_;
    std::uint32_t pageSize_;
    std::uint32_t salt_;
    std::uint64_t end_;
    std::vector<std::uint8_t> buffer_;  // records not yet written to the file
};

struct ReplayResult {
    bool found = false;  // a journal was there
    std::size_t pagesRestored = 0;
    bool truncated = false;  // the file was cut back to its old length
};

// True when `store` holds a journal with a valid header: one that replayJournal() would play
// back. Throws Io when it cannot be read.
bool journalIsLive(JournalStore& store);

// Plays back the journal of `store` into `database`, if there is one, flushes the database and
// deletes the journal. Throws Corrupt when the journal's page size differs from `pageSize`
// (0: take the journal's) and Io when the database cannot be written.
ReplayResult replayJournal(File& database, JournalStore& store, std::uint32_t pageSize = 0);

// CRC-32 (the polynomial of zip files) of `bytes`, continuing from `crc`.
std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);

}  // namespace jet
