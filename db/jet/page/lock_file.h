// Who has a database open: the lock file beside it, as Access keeps one ("name.ldb" beside
// "name.mdb", "name.laccdb" beside "name.accdb"), and a lock on the database file itself.
//
// Everyone who opens a database, to read or to write, takes a user slot in its lock file, as
// Access does: the lock file is a row of 64-byte records, one per slot (the computer name in 32
// bytes, then the user name in 32 bytes, each padded with zero bytes), and slot N is held by a
// one-byte lock at offset 0x10000001 + N, far past the end of the file. The holder writes its
// record into its slot. The first opener creates the lock file; the last one to close deletes
// it. In a folder where no lock file can be made (read-only media), a reader does without one.
//
// Whether anyone writes is decided by a lock on the database file itself, on the byte at 2 GiB
// (past the end of every Access file, so no data is locked): every reader holds it shared, a
// writer holds it exclusively. So a writer is refused while another program reads the file, and
// a reader while another program writes it; the refusal names the holders from their records.
//
// The locks are the operating system's open-file-description locks: they are dropped when the
// program that holds them ends, however it ends, so a lock file left behind by a crash never
// blocks anyone; the next opener finds its slots unlocked and takes one. A lock file that is a
// symbolic link, or not a plain file, is refused.
//
// Inside one process the connections of the program share one lock per database (the program
// opens a second connection to look up a table while the first has the file open); it is
// exclusive while any of them writes. DatabaseLock also carries what those connections need to
// stay coherent: a generation number that changes with every commit, and a token that lets only
// one of them have a transaction open at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace jet {

enum class LockKind { Shared, Exclusive };

// "x.mdb" → "x.ldb", "x.accdb" (and .accde, .accdr, .accdt) → "x.laccdb", anything else gets
// ".ldb" in place of its extension.
std::string lockFilePathFor(const std::string& databasePath);

// Where the locks lie: slot N of the lock file is locked at kUserLockOffset + N; the database
// file is locked at kDatabaseLockOffset.
inline constexpr std::uint64_t kUserLockOffset = 0x10000001;
inline constexpr int kUserSlots = 255;
inline constexpr std::uint64_t kDatabaseLockOffset = std::uint64_t{1} << 31;

class DatabaseLock {
  public:
    // Takes the lock of the database at `databasePath`. Throws jet::Error: Locked naming the
    // holder when another program holds the file in a conflicting way, ReadOnly when an
    // exclusive lock is wanted and the file or the lock file beside it cannot be written (or no
    // lock file can be made: the folder is read-only), NotDatabase when there is no such file,
    // Io otherwise (a lock file that is a symbolic link among them). With `lockFile` false a
    // reader that is the first of this process makes no lock file and takes no slot, as on a
    // read-only medium: it still holds the database shared, so writers are kept out, but their
    // refusal cannot name it.
    static std::unique_ptr<DatabaseLock> acquire(const std::string& databasePath, LockKind kind,
                                                 bool lockFile = true);
    ~DatabaseLock();
    DatabaseLock(const DatabaseLock&) = delete;
    DatabaseLock& operator=(const DatabaseLock&) = delete;

    LockKind kind() const { return kind_; }
    const std::string& lockPath() const;
    // The user slot this process holds in the lock file (-1: no lock file).
    int slot() const;
    // True when another DatabaseLock of this process holds the same database.
    bool sharedInProcess() const;

    // Changes whenever a connection of this process commits to the database.
    std::uint64_t generation() const;
    void bumpGeneration();

    // The process's write token for this database: false when another connection of this
    // process has a transaction open on it.
    bool tryBeginWriting();
    void endWriting();

    struct Entry;

  private:
    DatabaseLock(std::shared_ptr<Entry> entry, LockKind kind)
        : entry_(std::move(entry)), kind_(kind) {}
    std::shared_ptr<Entry> entry_;
    LockKind kind_;
    bool writing_ = false;
};

}  // namespace jet
