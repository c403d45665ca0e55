// The file as a sequence of fixed-size pages, decoded and cached.
//
// The pager reads whole pages through the File, undoes the page encoding of the file (RC4 for
// encoded .mdb files; none for most files) and keeps recently used pages in a bounded cache.
// Pages are handed out as shared, immutable buffers: a caller may hold a PageRef as long as it
// likes, and no later read can change or free the bytes it sees. Page 0, the header, is returned
// as stored; its masked part is undone by the header layer.
//
// Writing (a later layer) will add dirty copies of pages, written back and encoded on commit
// behind a journal; the read path stays as it is, serving the newest copy of each page.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <span>
#include <unordered_map>
#include <vector>

#include "db/jet/file.h"
#include "db/jet/format.h"

namespace jet {

struct Page {
    std::uint32_t number = 0;
    std::vector<std::uint8_t> bytes;
    std::span<const std::uint8_t> span() const { return bytes; }
};
using PageRef = std::shared_ptr<const Page>;

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

class Pager {
  public:
    static constexpr std::size_t kDefaultCachePages = 1024;

    // REQUIRES: `file` holds at least one page of `format`'s size (checked by the caller).
    Pager(std::unique_ptr<File> file, const Format& format,
          std::size_t cachePages = kDefaultCachePages);

    const Format& format() const { return *format_; }
    std::uint32_t pageSize() const { return format_->pageSize; }
    // Whole pages in the file; a partial page at the end does not count.
    std::uint32_t pageCount() const { return pageCount_; }
    File& file() { return *file_; }

    // From now on pages other than page 0 are decoded with `codec` (nullptr: stored plain).
    void setCodec(std::unique_ptr<PageCodec> codec);

    // Page `number`, decoded. Throws Corrupt when the file has no such page, Io when it cannot
    // be read.
    PageRef page(std::uint32_t number);

    // Cache statistics, for benchmarks.
    std::uint64_t reads() const { return reads_; }
    std::uint64_t hits() const { return hits_; }

  private:
    PageRef load(std::uint32_t number);

    std::unique_ptr<File> file_;
    const Format* format_;
    std::uint32_t pageCount_;
    std::unique_ptr<PageCodec> codec_;
    std::size_t capacity_;
    std::list<std::uint32_t> lru_;  // most recently used first
    struct Slot {
        PageRef page;
        std::list<std::uint32_t>::iterator pos;
    };
    std::unordered_map<std::uint32_t, Slot> cache_;
    std::uint64_t reads_ = 0;
    std::uint64_t hits_ = 0;
};

}  // namespace jet
