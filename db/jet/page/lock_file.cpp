// Lock files: open-file-description locks on "name.ldb"/"name.laccdb", shared per process.
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

[[noreturn]] void ioError(const std::string& what, const std::string& name, int err) {
    throw Error(ErrorKind::Io, what + " \"" + name + "\": " + std::strerror(err) + ".");
}

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Sets (type F_RDLCK, F_WRLCK) or drops (F_UNLCK) the lock on the whole of `fd` without
// waiting. False when another holder prevents it.
bool setLock(int fd, short type) {
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 0;
    while (::fcntl(fd, F_OFD_SETLK, &fl) != 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EACCES) return false;
        ioError("Cannot lock", "lock file", errno);
    }
    return true;
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
    std::vector<std::uint8_t> r(2 * kNameField, 0);
    const std::string host = hostName().substr(0, kNameField - 1);
    const std::string user = userName().substr(0, kNameField - 1);
    std::copy(host.begin(), host.end(), r.begin());
    std::copy(user.begin(), user.end(), r.begin() + kNameField);
    return r;
}

[[noreturn]] void refuse(const std::string& databasePath, int fd, bool wantWrite) {
    char buf[2 * kNameField] = {};
    std::string who;
    if (fd >= 0 && ::pread(fd, buf, sizeof buf, 0) == static_cast<ssize_t>(sizeof buf)) {
        const std::string host = field(buf, kNameField);
        const std::string user = field(buf + kNameField, kNameField);
        if (!host.empty() && !user.empty())
            who = " (user " + user + " on computer " + host + ")";
        else if (!host.empty())
            who = " (on computer " + host + ")";
    }
    throw Error(ErrorKind::Locked,
                "The database \"" + databasePath + "\" is " +
                    (wantWrite ? "open in another program" : "being changed by another program") +
                    who + ". Close it there and try again.");
}

struct Key {
    dev_t dev;
    ino_t ino;
    bool operator<(const Key& o) const { return dev != o.dev ? dev < o.dev : ino < o.ino; }
};

}  // namespace

struct DatabaseLock::Entry {
    Key key{};
    std::string databasePath;
    std::string lockPath;
    int fd = -1;  // -1: no lock file (a read-only folder)
    bool fdWritable = false;
    LockKind held = LockKind::Shared;
    int shared = 0;
    int exclusive = 0;
    std::uint64_t generation = 0;
    bool writing = false;
};

namespace {

std::mutex gMutex;
std::map<Key, std::weak_ptr<DatabaseLock::Entry>> gEntries;

// Opens the lock file and takes the lock, retrying when the file it locked was removed by its
// last holder meanwhile. A writer creates the lock file; a reader only locks one that exists,
// so reading never leaves a file beside the database (nor needs a writable folder).
void openAndLock(DatabaseLock::Entry& e, LockKind kind) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        int fd;
        bool writable = true;
        if (kind == LockKind::Exclusive) {
            fd = ::open(e.lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
            if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM))
                throw Error(ErrorKind::ReadOnly,
                            "The database \"" + e.databasePath +
                                "\" cannot be written: no lock file can be made beside it (its "
                                "folder is read-only).");
        } else {
            fd = ::open(e.lockPath.c_str(), O_RDWR | O_CLOEXEC);
            if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
                writable = false;
                fd = ::open(e.lockPath.c_str(), O_RDONLY | O_CLOEXEC);
            }
            if (fd < 0 && (errno == ENOENT || errno == EACCES)) return;  // nobody writes now
        }
        if (fd < 0) ioError("Cannot open the lock file", e.lockPath, errno);
        if (!setLock(fd, kind == LockKind::Exclusive ? F_WRLCK : F_RDLCK)) {
            try {
                refuse(e.databasePath, fd, kind == LockKind::Exclusive);
            } catch (...) {
                ::close(fd);
                throw;
            }
        }
        struct stat a, b;
        if (::fstat(fd, &a) == 0 && ::stat(e.lockPath.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
            a.st_ino == b.st_ino) {
            e.fd = fd;
            e.fdWritable = writable;
            e.held = kind;
            return;
        }
        ::close(fd);  // removed under us: lock the new one
    }
    throw Error(ErrorKind::Locked,
                "The lock file \"" + e.lockPath + "\" keeps changing; try again later.");
}

void writeRecord(const DatabaseLock::Entry& e) {
    if (e.fd < 0 || !e.fdWritable) return;
    const auto r = record();
    // The record is a courtesy for other programs' messages; failing to write it changes nothing.
    if (::ftruncate(e.fd, 0) == 0) {
        [[maybe_unused]] const ssize_t n = ::pwrite(e.fd, r.data(), r.size(), 0);
    }
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

std::unique_ptr<DatabaseLock> DatabaseLock::acquire(const std::string& databasePath,
                                                    LockKind kind) {
    struct stat st;
    if (::stat(databasePath.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw Error(ErrorKind::NotDatabase, "Could not find file \"" + databasePath + "\".");
        ioError("Cannot open", databasePath, errno);
    }
    const Key key{st.st_dev, st.st_ino};
    std::lock_guard<std::mutex> guard(gMutex);
    std::shared_ptr<Entry> e;
    if (auto it = gEntries.find(key); it != gEntries.end()) e = it->second.lock();
    if (!e) {
        e = std::make_shared<Entry>();
        e->key = key;
        e->databasePath = databasePath;
        e->lockPath = lockFilePathFor(databasePath);
        openAndLock(*e, kind);
        gEntries[key] = e;
    } else if (kind == LockKind::Exclusive && (e->held == LockKind::Shared || e->fd < 0)) {
        if (e->fd >= 0 && e->fdWritable) {
            if (!setLock(e->fd, F_WRLCK)) refuse(databasePath, e->fd, true);
            e->held = LockKind::Exclusive;
        } else {
            // The readers here hold no lock, or one through a descriptor that cannot write:
            // drop it (locks of two descriptors conflict even in one process) and lock anew.
            if (e->fd >= 0) ::close(e->fd);
            e->fd = -1;
            e->held = LockKind::Shared;
            openAndLock(*e, LockKind::Exclusive);
        }
    }
    if (kind == LockKind::Exclusive) {
        if (e->exclusive == 0) writeRecord(*e);
        ++e->exclusive;
    } else {
        ++e->shared;
    }
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
    if (e.fd < 0) return;
    if (e.exclusive + e.shared == 0) {
        // The last holder in this process: delete the lock file when nobody else holds it.
        if (e.fdWritable && setLock(e.fd, F_WRLCK)) {
            struct stat a, b;
            if (::fstat(e.fd, &a) == 0 && ::stat(e.lockPath.c_str(), &b) == 0 &&
                a.st_dev == b.st_dev && a.st_ino == b.st_ino)
                ::unlink(e.lockPath.c_str());
        }
        ::close(e.fd);
        e.fd = -1;
        gEntries.erase(e.key);
        return;
    }
    if (e.exclusive == 0 && e.held == LockKind::Exclusive) {
        // Only readers are left here: let other programs read too.
        if (setLock(e.fd, F_RDLCK)) e.held = LockKind::Shared;
    }
}

const std::string& DatabaseLock::lockPath() const {
    return entry_->lockPath;
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
