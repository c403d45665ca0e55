// The lock file beside a database, as Access keeps one: "name.ldb" beside "name.mdb",
// "name.laccdb" beside "name.accdb".
//
// Whoever has a database open for writing holds an exclusive operating-system lock on its lock
// file, creating the file when needed; a reader holds a shared lock on the lock file when there
// is one (reading never creates it, so read-only folders and media work). A program that wants
// to write while anyone else holds the lock file, or to read while someone writes, is refused
// with an error that names the holder. The lock
// file holds one 64-byte record of the writer, as Access writes it: the computer name in 32
// bytes, then the user name in 32 bytes, each padded with zero bytes. The operating system
// drops the locks of a program that ends, however it ends, so a lock file left behind by a
// crash never blocks anyone: the next program finds it unlocked and takes it over. The last
// holder deletes the lock file when it closes the database.
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

class DatabaseLock {
  public:
    // Takes the lock of the database at `databasePath`. Throws jet::Error: Locked naming the
    // holder when another program holds the file in a conflicting way, ReadOnly when an
    // exclusive lock is wanted and no lock file can be made beside the database (its folder is
    // read-only), NotDatabase when there is no such file, Io otherwise. A shared lock on a
    // database without a lock file is granted without one.
    static std::unique_ptr<DatabaseLock> acquire(const std::string& databasePath, LockKind kind);
    ~DatabaseLock();
    DatabaseLock(const DatabaseLock&) = delete;
    DatabaseLock& operator=(const DatabaseLock&) = delete;

    LockKind kind() const { return kind_; }
    const std::string& lockPath() const;
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
