// The disk, memory and fault-injecting files.
#include "db/jet/page/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "db/jet/base/error.h"

namespace jet {

namespace {

[[noreturn]] void ioError(const std::string& what, const std::string& name, int err) {
    throw Error(ErrorKind::Io, what + " \"" + name + "\": " + std::strerror(err) + ".");
}

FileLayer& fileLayer() {
    static FileLayer layer;
    return layer;
}

std::unique_ptr<File> layered(std::unique_ptr<File> f, const std::string& path) {
    const FileLayer& layer = fileLayer();
    return layer ? layer(std::move(f), path) : std::move(f);
}

class PosixFile : public File {
  public:
    PosixFile(int fd, std::string path, bool writable)
        : fd_(fd), path_(std::move(path)), writable_(writable) {}
    ~PosixFile() override { ::close(fd_); }
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    std::uint64_t size() const override {
        struct stat st;
        if (::fstat(fd_, &st) != 0) ioError("Cannot read the size of", path_, errno);
        return static_cast<std::uint64_t>(st.st_size);
    }

    void read(std::uint64_t offset, std::span<std::uint8_t> out) const override {
        std::size_t done = 0;
        while (done < out.size()) {
            const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done,
                                      static_cast<off_t>(offset + done));
            if (n < 0) {
                if (errno == EINTR) continue;
                ioError("Cannot read from", path_, errno);
            }
            if (n == 0)
                throw Error(ErrorKind::Io, "Cannot read from \"" + path_ + "\": it ends at " +
                                               std::to_string(offset + done) + ", before offset " +
                                               std::to_string(offset + out.size()) + ".");
            done += static_cast<std::size_t>(n);
        }
    }

    void write(std::uint64_t offset, std::span<const std::uint8_t> data) override {
        std::size_t done = 0;
        while (done < data.size()) {
            const ssize_t n = ::pwrite(fd_, data.data() + done, data.size() - done,
                                       static_cast<off_t>(offset + done));
            if (n < 0) {
                if (errno == EINTR) continue;
                ioError("Cannot write to", path_, errno);
            }
            done += static_cast<std::size_t>(n);
        }
    }

    void sync() override {
        if (::fdatasync(fd_) != 0) ioError("Cannot flush", path_, errno);
    }

    void truncate(std::uint64_t length) override {
        if (::ftruncate(fd_, static_cast<off_t>(length)) != 0)
            ioError("Cannot change the length of", path_, errno);
    }

    const std::string& name() const override { return path_; }
    bool writable() const override { return writable_; }

  private:
    int fd_;
    std::string path_;
    bool writable_;
};

}  // namespace

std::unique_ptr<File> openPosixFile(const std::string& path, OpenMode mode, bool followLinks) {
    const int flags = (mode == OpenMode::ReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC |
                      (followLinks ? 0 : O_NOFOLLOW | O_NONBLOCK);
    int fd;
    do {
        fd = ::open(path.c_str(), flags);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw Error(ErrorKind::NotDatabase, "Could not find file \"" + path + "\".");
        if (errno == ELOOP && !followLinks)
            throw Error(ErrorKind::Io,
                        "\"" + path + "\" is a symbolic link, which is not followed.");
        ioError("Cannot open", path, errno);
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw Error(ErrorKind::NotDatabase, "\"" + path + "\" is not a file.");
    }
    return layered(std::make_unique<PosixFile>(fd, path, mode == OpenMode::ReadWrite), path);
}

std::unique_ptr<File> createPosixFile(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) ioError("Cannot create", path, errno);
    return layered(std::make_unique<PosixFile>(fd, path, true), path);
}

std::unique_ptr<File> createPosixFileLike(const std::string& path, const std::string& model) {
    struct stat like;
    if (::stat(model.c_str(), &like) != 0) ioError("Cannot read the permissions of", model, errno);
    const mode_t mode = like.st_mode & 0777;
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) ioError("Cannot replace", path, errno);
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) ioError("Cannot create", path, errno);
    // The process's file-creation mask may have taken bits away: the model's mode exactly. A
    // group the creator may not give keeps the creator's; the mode still holds.
    if (::fchmod(fd, mode) != 0) {
        const int err = errno;
        ::close(fd);
        ::unlink(path.c_str());
        ioError("Cannot set the permissions of", path, err);
    }
    [[maybe_unused]] const int ignored = ::fchown(fd, static_cast<uid_t>(-1), like.st_gid);
    return layered(std::make_unique<PosixFile>(fd, path, true), path);
}

void syncParentDirectory(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const std::string dir =
        slash == std::string::npos ? std::string(".") : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) ioError("Cannot open the folder", dir, errno);
    // Some file systems cannot flush a folder; they keep their entries durable by other means.
    if (::fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP) {
        const int err = errno;
        ::close(fd);
        ioError("Cannot flush the folder", dir, err);
    }
    ::close(fd);
}

bool removePosixFile(const std::string& path) {
    if (::unlink(path.c_str()) == 0) return true;
    if (errno == ENOENT) return false;
    ioError("Cannot remove", path, errno);
}

void setFileLayer(FileLayer layer) {
    fileLayer() = std::move(layer);
}

// ---- MemoryFile ----

void MemoryFile::read(std::uint64_t offset, std::span<std::uint8_t> out) const {
    if (offset > bytes_.size() || out.size() > bytes_.size() - offset)
        throw Error(ErrorKind::Io, "Cannot read from \"" + name_ + "\": it ends at " +
                                       std::to_string(bytes_.size()) + ", before offset " +
                                       std::to_string(offset + out.size()) + ".");
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
}

void MemoryFile::write(std::uint64_t offset, std::span<const std::uint8_t> data) {
    if (offset + data.size() > bytes_.size()) bytes_.resize(offset + data.size());
    std::copy(data.begin(), data.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
}

void MemoryFile::truncate(std::uint64_t length) {
    bytes_.resize(length);
}

// ---- FaultyFile ----

void FaultyFile::read(std::uint64_t offset, std::span<std::uint8_t> out) const {
    ++reads_;
    if (reads_ == plan_.failRead)
        throw Error(ErrorKind::Io, "Cannot read from \"" + name() + "\": injected read fault.");
    inner_->read(offset, out);
}

void FaultyFile::write(std::uint64_t offset, std::span<const std::uint8_t> data) {
    if (crashed())
        throw Error(ErrorKind::Io, "Cannot write to \"" + name() + "\": injected crash.");
    ++writes_;
    if (writes_ == plan_.failWrite)
        throw Error(ErrorKind::Io, "Cannot write to \"" + name() + "\": injected write fault.");
    if (plan_.freeSpace) {
        const std::uint64_t size = inner_->size();
        const std::uint64_t end = offset + data.size();
        const std::uint64_t growth = end > size ? end - size : 0;
        if (growth > *plan_.freeSpace) ioError("Cannot write to", name(), ENOSPC);
        *plan_.freeSpace -= growth;
    }
    inner_->write(offset, data);
}

void FaultyFile::sync() {
    if (crashed()) throw Error(ErrorKind::Io, "Cannot flush \"" + name() + "\": injected crash.");
    inner_->sync();
}

void FaultyFile::truncate(std::uint64_t length) {
    if (crashed()) throw Error(ErrorKind::Io, "Cannot change \"" + name() + "\": injected crash.");
    const std::uint64_t size = inner_->size();
    if (plan_.freeSpace) {
        if (length > size && length - size > *plan_.freeSpace)
            ioError("Cannot change the length of", name(), ENOSPC);
        if (length > size)
            *plan_.freeSpace -= length - size;
        else
            *plan_.freeSpace += size - length;
    }
    inner_->truncate(length);
}

}  // namespace jet
