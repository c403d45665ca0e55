// The engine's only seam to the operating system: a file of bytes read and written at offsets.
//
// PosixFile is a file on disk, MemoryFile a file held in memory (tests, fuzzing), FaultyFile a
// wrapper that fails on purpose (tests of failure paths: a failed read, a failed write, a crash
// that stops all writes from some point on). Every failure is a jet::Error of kind Io that names
// the file and the offset. Files are not shared between threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace jet {

class File {
  public:
    virtual ~File() = default;
    // The current length in bytes.
    virtual std::uint64_t size() const = 0;
    // Reads exactly out.size() bytes at `offset`. REQUIRES: offset + out.size() <= size().
    virtual void read(std::uint64_t offset, std::span<std::uint8_t> out) const = 0;
    // Writes `data` at `offset`, growing the file when it ends past the current length.
    virtual void write(std::uint64_t offset, std::span<const std::uint8_t> data) = 0;
    // Makes everything written so far durable.
    virtual void sync() = 0;
    virtual void truncate(std::uint64_t length) = 0;
    // A name for messages (the path, or "memory").
    virtual const std::string& name() const = 0;
    virtual bool writable() const = 0;
};

enum class OpenMode { ReadOnly, ReadWrite };

// Opens the file at `path`. Throws jet::Error (NotDatabase when there is no such file, Io
// otherwise) when it cannot be opened in that mode. With `followLinks` false a symbolic link at
// `path` is refused (Io).
std::unique_ptr<File> openPosixFile(const std::string& path, OpenMode mode,
                                    bool followLinks = true);
// Creates the file at `path` (emptying it when it exists), open for reading and writing. Throws
// Io when it cannot.
std::unique_ptr<File> createPosixFile(const std::string& path);
// Creates the file at `path` anew, removing whatever file or symbolic link was there, open for
// reading and writing, with the permission bits (and, where it may, the group) of the file at
// `model`: a file beside a private database is private too. Never writes through a link. Throws
// Io when it cannot.
std::unique_ptr<File> createPosixFileLike(const std::string& path, const std::string& model);
// Makes the directory entries of the folder holding `path` durable (after a file in it was
// created or removed). Throws Io.
void syncParentDirectory(const std::string& path);
// Removes the file at `path`; true when it was there. Throws Io when it cannot be removed.
bool removePosixFile(const std::string& path);

class MemoryFile : public File {
  public:
    explicit MemoryFile(std::vector<std::uint8_t> bytes = {}, std::string name = "memory")
        : bytes_(std::move(bytes)), name_(std::move(name)) {}
    std::uint64_t size() const override { return bytes_.size(); }
    void read(std::uint64_t offset, std::span<std::uint8_t> out) const override;
    void write(std::uint64_t offset, std::span<const std::uint8_t> data) override;
    void sync() override {}
    void truncate(std::uint64_t length) override;
    const std::string& name() const override { return name_; }
    bool writable() const override { return true; }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

  private:
    std::vector<std::uint8_t> bytes_;
    std::string name_;
};

// A layer between the engine and the disk: every file the engine opens or creates by path
// (databases and their journals) passes through it, with its path, before it is used. Tests put
// a FaultyFile there to make the disk fail under a program that opens files by name; nullptr
// (the default) leaves files as they are. Set it while no database is being opened.
using FileLayer =
    std::function<std::unique_ptr<File>(std::unique_ptr<File> file, const std::string& path)>;
void setFileLayer(FileLayer layer);

// Passes everything to the wrapped file until a fault is due. A fault is chosen by counting:
// the read or write number N (counting from 1) fails with an Io error, or, once `crashAfterWrites`
// writes went through, every later write and sync fails as if the machine had stopped. With
// `freeSpace`, the files sharing it are on a disk with that many bytes left: a write that would
// grow a file past them fails as a full disk does, and nothing of it is written.
class FaultyFile : public File {
  public:
    struct Plan {
        std::uint64_t failRead = 0;                // 0: never
        std::uint64_t failWrite = 0;               // 0: never
        std::uint64_t crashAfterWrites = 0;        // 0: never
        std::shared_ptr<std::uint64_t> freeSpace;  // nullptr: no limit
    };
    FaultyFile(std::unique_ptr<File> inner, Plan plan) : inner_(std::move(inner)), plan_(plan) {}
    std::uint64_t size() const override { return inner_->size(); }
    void read(std::uint64_t offset, std::span<std::uint8_t> out) const override;
    void write(std::uint64_t offset, std::span<const std::uint8_t> data) override;
    void sync() override;
    void truncate(std::uint64_t length) override;
    const std::string& name() const override { return inner_->name(); }
    bool writable() const override { return inner_->writable(); }
    std::uint64_t reads() const { return reads_; }
    std::uint64_t writes() const { return writes_; }

  private:
    bool crashed() const {
        return plan_.crashAfterWrites != 0 && writes_ >= plan_.crashAfterWrites;
    }
    std::unique_ptr<File> inner_;
    Plan plan_;
    mutable std::uint64_t reads_ = 0;
    std::uint64_t writes_ = 0;
};

}  // namespace jet
