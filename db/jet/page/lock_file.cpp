// Lock files and database-file locks: open-file-description locks, shared per process.
#include "db/jet/page/lock_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "db/jet/base/error.h"

namespace jet {

namespace {

constexpr std::size_t kNameField = 32;
constexpr std::size_t kRecordSize = 2 * kNameField;

[[noreturn]] void ioError(const std::string& what, const std::string& name, int err) {
    throw Error(ErrorKind::Io, what + " \"" + name + "\": " + std::strerror(err) + ".");
}

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool permissionError(int err) {
    return err == EACCES || err == EROFS || err == EPERM;
}

int openRetrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Sets (F_RDLCK, F_WRLCK) or drops (F_UNLCK) the lock on `length` bytes from `start` without
// waiting. False when another holder prevents it.
bool setLock(int fd, short type, std::uint64_t start, std::uint64_t length) {
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(start);
    fl.l_len = static_cast<off_t>(length);
    while (::fcntl(fd, F_OFD_SETLK, &fl) != 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EACCES) return false;
        ioError("Cannot lock", "lock file", errno);
    }
    return true;
}

// True when a lock other than those of `fd` lies on the byte at `at`.
bool heldByOther(int fd, std::uint64_t at) {
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(at);
    fl.l_len = 1;
    if (::fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
    return fl.l_type != F_UNLCK;
}

std::string field(const char* p, std::size_t n) {
    std::string s(p, strnlen(p, n));
    // Keep what a message can show.
    s.erase(std::remove_if(s.begin(), s.end(),
                           [](char c) { return static_cast<unsigned char>(c) < 0x20; }),
            s.end());
    return s;
}

std::string hostName() {
    char buf[256] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0) return "unknown";
    return buf;
}

std::string userName() {
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name) return pw->pw_name;
    return "unknown";
}

std::vector<std::uint8_t> record() {
    std::vector<std::uint8_t> r(kRecordSize, 0);
    const std::string host = hostName().substr(0, kNameField - 1);
    const std::string user = userName().substr(0, kNameField - 1);
    std::copy(host.begin(), host.end(), r.begin());
    std::copy(user.begin(), user.end(), r.begin() + kNameField);
    return r;
}

// "user U on computer C" from the record of slot `slot`, or "" when it says nothing.
std::string holderOf(int fd, int slot) {
    char buf[kRecordSize] = {};
    const off_t at = static_cast<off_t>(slot) * static_cast<off_t>(kRecordSize);
    if (::pread(fd, buf, sizeof buf, at) != static_cast<ssize_t>(sizeof buf)) return "";
    const std::string host = field(buf, kNameField);
    const std::string user = field(buf + kNameField, kNameField);
    if (!host.empty() && !user.empty()) return "user " + user + " on computer " + host;
    if (!host.empty()) return "on computer " + host;
    return "";
}

// Who holds a slot of the lock file `fd` other than `ownSlot`, for a refusal: " (user U on
// computer C)", with how many more there are; "" when the lock file names nobody.
std::string holders(int fd, int ownSlot) {
    if (fd < 0) return "";
    std::string first;
    int more = 0;
    for (int s = 0; s < kUserSlots; ++s) {
        if (s == ownSlot || !heldByOther(fd, kUserLockOffset + static_cast<std::uint64_t>(s)))
            continue;
        const std::string who = holderOf(fd, s);
        if (who.empty()) continue;
        if (first.empty())
            first = who;
        else
            ++more;
    }
    if (first.empty()) return "";
    if (more == 0) return " (" + first + ")";
    return " (" + first + ", and " + std::to_string(more) + (more == 1 ? " other)" : " others)");
}

struct Key {
    dev_t dev;
    ino_t ino;
    bool operator<(const Key& o) const { return dev != o.dev ? dev < o.dev : ino < o.ino; }
};

bool sameFile(int fd, const std::string& path) {
    struct stat a, b;
    return ::fstat(fd, &a) == 0 && ::lstat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

// An open lock file with a slot taken in it.
struct SlotHandle {
    int fd = -1;  // -1: no lock file could be had (a reader in a read-only folder)
    bool writable = false;
    int slot = -1;
};

[[noreturn]] void noLockFile(const std::string& databasePath) {
    throw Error(ErrorKind::ReadOnly, "The database \"" + databasePath +
                                         "\" cannot be written: no lock file can be made beside "
                                         "it (its folder is read-only).");
}

// Opens (creating it when it is missing and the folder allows) the lock file and takes the
// lowest free slot in it, retrying when the file it locked was removed by its last holder
// meanwhile. `writer`: the slot must be one whose record can be written.
SlotHandle takeSlot(const std::string& databasePath, const std::string& lockPath, bool writer) {
    constexpr int kNoFollow = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    for (int attempt = 0; attempt < 200; ++attempt) {
        bool writable = true;
        int fd = openRetrying(lockPath.c_str(), O_RDWR | O_CREAT | kNoFollow, 0666);
        if (fd < 0 && permissionError(errno)) {
            // The folder is read-only, or the lock file is not ours to write.
            fd = openRetrying(lockPath.c_str(), O_RDWR | kNoFollow);
            if (fd < 0 && permissionError(errno)) {
                writable = false;
                fd = openRetrying(lockPath.c_str(), O_RDONLY | kNoFollow);
            }
        }
        if (fd < 0) {
            const int err = errno;
            if (err == ELOOP)
                throw Error(ErrorKind::Io, "The lock file \"" + lockPath +
                                               "\" is a symbolic link; the database is not "
                                               "opened through it. Remove the link and try again.");
            if (err == ENOENT || permissionError(err)) {
                if (writer) noLockFile(databasePath);
                return {};
            }
            ioError("Cannot open the lock file", lockPath, err);
        }
        struct stat st;
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            throw Error(ErrorKind::Io, "The lock file \"" + lockPath +
                                           "\" is not a plain file; the database is not opened "
                                           "with it. Remove it and try again.");
        }
        if (writer && !writable) {
            ::close(fd);
            throw Error(ErrorKind::ReadOnly, "The database \"" + databasePath +
                                                 "\" cannot be written: the lock file \"" +
                                                 lockPath + "\" beside it cannot be written.");
        }
        int slot = -1;
        for (int s = 0; s < kUserSlots && slot < 0; ++s)
            if (setLock(fd, writable ? F_WRLCK : F_RDLCK,
                        kUserLockOffset + static_cast<std::uint64_t>(s), 1))
                slot = s;
        if (slot >= 0 && sameFile(fd, lockPath)) {
            if (writable) {
                // The record is a courtesy for other programs' messages; failing to write it
                // changes nothing.
                const auto r = record();
                [[maybe_unused]] const ssize_t n =
                    ::pwrite(fd, r.data(), r.size(), static_cast<off_t>(slot) * kRecordSize);
            }
            return {fd, writable, slot};
        }
        ::close(fd);
        if (slot < 0) {
            // Every slot is taken, or the last holder is deleting the file: wait a little.
            if (attempt >= 100)
                throw Error(ErrorKind::Locked, "The database \"" + databasePath +
                                                   "\" is open by as many users as its lock "
                                                   "file can hold. Try again later.");
            ::usleep(2000);
        }
        // Otherwise the file was removed under us: lock the new one.
    }
    throw Error(ErrorKind::Locked,
                "The lock file \"" + lockPath + "\" keeps changing; try again later.");
}

// Lets go of a slot; deletes the lock file when no other slot of it is held.
void releaseSlot(SlotHandle& h, const std::string& lockPath) {
    if (h.fd < 0) return;
    // The whole row of slots, our own included (a lock of the same description never conflicts
    // with itself): free only when nobody else holds one.
    if (h.writable && setLock(h.fd, F_WRLCK, kUserLockOffset, kUserSlots) &&
        sameFile(h.fd, lockPath))
        ::unlink(lockPath.c_str());
    ::close(h.fd);
    h = {};
}

}  // namespace

struct DatabaseLock::Entry {
    Key key{};
    std::string databasePath;
    std::string lockPath;
    SlotHandle lockFile;
    int dbFd = -1;
    bool dbWritable = false;
    LockKind held = LockKind::Shared;
    int shared = 0;
    int exclusive = 0;
    std::uint64_t generation = 0;
    bool writing = false;

    ~Entry() {
        if (dbFd >= 0) ::close(dbFd);
        releaseSlot(lockFile, lockPath);
    }
};

namespace {

std::mutex gMutex;
std::map<Key, std::weak_ptr<DatabaseLock::Entry>> gEntries;

[[noreturn]] void refuse(const DatabaseLock::Entry& e, bool wantWrite) {
    throw Error(ErrorKind::Locked,
                "The database \"" + e.databasePath + "\" is " +
                    (wantWrite ? "open in another program" : "being changed by another program") +
                    holders(e.lockFile.fd, e.lockFile.slot) + ". Close it there and try again.");
}

// Opens the database file for its lock: for writing when it may be written.
void openDatabase(DatabaseLock::Entry& e, bool writer) {
    int fd = openRetrying(e.databasePath.c_str(), O_RDWR | O_CLOEXEC);
    bool writable = true;
    if (fd < 0 && permissionError(errno) && !writer) {
        writable = false;
        fd = openRetrying(e.databasePath.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR)
            throw Error(ErrorKind::NotDatabase, "Could not find file \"" + e.databasePath + "\".");
        if (writer && permissionError(err))
            throw Error(ErrorKind::ReadOnly,
                        "The database \"" + e.databasePath + "\" is open for reading only.");
        ioError("Cannot open", e.databasePath, err);
    }
    if (e.dbFd >= 0) ::close(e.dbFd);
    e.dbFd = fd;
    e.dbWritable = writable;
}

bool lockDatabase(DatabaseLock::Entry& e, LockKind kind) {
    return setLock(e.dbFd, kind == LockKind::Exclusive ? F_WRLCK : F_RDLCK, kDatabaseLockOffset, 1);
}

}  // namespace

std::string lockFilePathFor(const std::string& databasePath) {
    const auto slash = databasePath.find_last_of('/');
    const auto dot = databasePath.find_last_of('.');
    std::string base = databasePath;
    std::string ext;
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        base = databasePath.substr(0, dot);
        ext = lower(databasePath.substr(dot + 1));
    }
    if (ext == "accdb" || ext == "accde" || ext == "accdr" || ext == "accdt")
        return base + ".laccdb";
    return base + ".ldb";
}

std::unique_ptr<DatabaseLock> DatabaseLock::acquire(const std::string& databasePath, LockKind kind,
                                                    bool lockFile) {
    struct stat st;
    if (::stat(databasePath.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw Error(ErrorKind::NotDatabase, "Could not find file \"" + databasePath + "\".");
        ioError("Cannot open", databasePath, errno);
    }
    const Key key{st.st_dev, st.st_ino};
    const bool writer = kind == LockKind::Exclusive;
    std::lock_guard<std::mutex> guard(gMutex);
    std::shared_ptr<Entry> e;
    if (auto it = gEntries.find(key); it != gEntries.end()) e = it->second.lock();
    if (!e) {
        e = std::make_shared<Entry>();
        e->key = key;
        e->databasePath = databasePath;
        e->lockPath = lockFilePathFor(databasePath);
        openDatabase(*e, writer);
        if (writer || lockFile) e->lockFile = takeSlot(databasePath, e->lockPath, writer);
        if (!lockDatabase(*e, kind)) refuse(*e, writer);  // the entry's destructor lets go
        e->held = kind;
        gEntries[key] = e;
    } else if (writer && e->held == LockKind::Shared) {
        if (e->lockFile.fd < 0 || !e->lockFile.writable) {
            // The readers here hold no slot whose record can be written: take one that can.
            SlotHandle mine = takeSlot(databasePath, e->lockPath, true);
            releaseSlot(e->lockFile, e->lockPath);
            e->lockFile = mine;
        }
        if (!e->dbWritable) {
            // A description that can only read cannot hold the lock exclusively: lock anew
            // through one that can write (locks of two descriptions conflict even in one
            // process, so the old one goes first).
            openDatabase(*e, true);
            if (!lockDatabase(*e, LockKind::Exclusive)) {
                lockDatabase(*e, LockKind::Shared);
                refuse(*e, true);
            }
        } else if (!lockDatabase(*e, LockKind::Exclusive)) {
            refuse(*e, true);
        }
        e->held = LockKind::Exclusive;
    }
    if (writer)
        ++e->exclusive;
    else
        ++e->shared;
    return std::unique_ptr<DatabaseLock>(new DatabaseLock(std::move(e), kind));
}

DatabaseLock::~DatabaseLock() {
    std::lock_guard<std::mutex> guard(gMutex);
    if (writing_) entry_->writing = false;
    Entry& e = *entry_;
    if (kind_ == LockKind::Exclusive)
        --e.exclusive;
    else
        --e.shared;
    if (e.exclusive + e.shared == 0) {
        // The last holder in this process: the entry's destructor drops the locks and deletes
        // the lock file when nobody else holds it.
        gEntries.erase(e.key);
        return;
    }
    if (e.exclusive == 0 && e.held == LockKind::Exclusive) {
        // Only readers are left here: let other programs read too.
        if (lockDatabase(e, LockKind::Shared)) e.held = LockKind::Shared;
    }
}

const std::string& DatabaseLock::lockPath() const {
    return entry_->lockPath;
}

int DatabaseLock::slot() const {
    std::lock_guard<std::mutex> guard(gMutex);
    return entry_->lockFile.slot;
}

bool DatabaseLock::sharedInProcess() const {
    std::lock_guard<std::mutex> guard(gMutex);
    return entry_->shared + entry_->exclusive > 1;
}

std::uint64_t DatabaseLock::generation() const {
    std::lock_guard<std::mutex> guard(gMutex);
    return entry_->generation;
}

void DatabaseLock::bumpGeneration() {
    std::lock_guard<std::mutex> guard(gMutex);
    ++entry_->generation;
}

bool DatabaseLock::tryBeginWriting() {
    std::lock_guard<std::mutex> guard(gMutex);
    if (writing_) return true;
    if (entry_->writing) return false;
    entry_->writing = writing_ = true;
    return true;
}

void DatabaseLock::endWriting() {
    std::lock_guard<std::mutex> guard(gMutex);
    if (writing_) entry_->writing = writing_ = false;
}

}  // namespace jet
