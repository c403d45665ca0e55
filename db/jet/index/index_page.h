// Index pages (types 0x03 and 0x04): one page of an index's B-tree, decoded into its entries.
//
// Every index is a B-tree whose root page never moves (the table definition names it). Leaf
// pages (0x04) hold one entry per indexed row; intermediate pages (0x03) hold one entry per
// child page. Entries are sorted by their key bytes, then by the row they point to.
//
//   offset (Jet 3 / Jet 4+)  size  meaning
//   0                        1     page type: 0x03 intermediate, 0x04 leaf
//   1                        1     always 0x01
//   2                        2     free space: page size minus the end of the last entry
//   4                        4     page of the owning table definition
//   8  / 12                  4     previous page on the same level (0: none)
//   12 / 16                  4     next page on the same level (0: none)
//   16 / 20                  4     intermediate pages: the tail child (0: none), see below
//   20 / 24                  1 / 2 length of the prefix shared by every entry of the page
//   21 / 26                  1     1 on intermediate pages, 0 on leaves
//   22 / 27                  226 / 453  entry mask: bit n (low bit first) is set where an entry
//                                  ends, counted from the first entry's start
//   0xf8 / 0x1e0                   the entries, back to back
//
// Each entry is its key bytes (see index_key.h), the row it points to (three-byte page, then
// the row number, big-endian: in a leaf the indexed row, in an intermediate page the row of the
// last entry below it) and, in intermediate pages, the four-byte big-endian child page. The
// first entry is stored whole; every later entry leaves out the shared prefix.
//
// The tail child: an intermediate page keeps its last child out of its entries and names it in
// the header instead, so appending at the end of the index changes only the tail leaf. A page
// with a single child names it in an entry and has no tail.
#pragma once

#include <compare>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "db/jet/base/byte_reader.h"
#include "db/jet/format/format.h"

namespace jet {

// Where a row lives: its data page and its slot on that page.
struct RowId {
    std::uint32_t page = 0;  // 24 bits in index entries
    std::uint8_t row = 0;
    friend auto operator<=>(const RowId&, const RowId&) = default;
};

struct IndexEntry {
    std::vector<std::uint8_t> key;  // the encoded column values, without the row pointer
    RowId row;
    std::uint32_t child = 0;  // intermediate pages: the child page

    // Bytes of the entry on a page, before prefix compression.
    std::size_t size(bool leaf) const { return key.size() + (leaf ? 4u : 8u); }
    // Appends the stored form (key, row pointer, child page when `leaf` is false).
    void appendTo(std::vector<std::uint8_t>& out, bool leaf) const;
};

// Orders entries as the index does: key bytes (unsigned, a shorter key that is a prefix of a
// longer one first), then the row pointer. The child page does not take part.
std::strong_ordering compareEntries(const IndexEntry& a, const IndexEntry& b);
std::strong_ordering compareKeys(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b);

struct IndexPage {
    std::uint32_t number = 0;
    bool leaf = true;
    std::uint32_t owner = 0;  // the table definition's first page
    std::uint32_t prev = 0;
    std::uint32_t next = 0;
    std::uint32_t tail = 0;  // intermediate pages: the tail child, 0 when none
    std::vector<IndexEntry> entries;
};

// Decodes an index page. Throws Corrupt when the page is not an index page, the entry mask
// points past the page, an entry is too short for its row pointer (and child page), the shared
// prefix is longer than the first entry, or the entries are out of order.
IndexPage decodeIndexPage(const Format& format, ByteSpan page, std::uint32_t number);

// Room on a page for the entries' bytes (the mask can address no more either).
std::size_t indexPageCapacity(const Format& format);

// The bytes the entries take on a page once their shared prefix is left out.
std::size_t encodedEntriesSize(const Format& format, const IndexPage& page);

// Encodes `page` into a whole page image. REQUIRES: encodedEntriesSize(format, page) <=
// indexPageCapacity(format) and the entries are in order (throws std::logic_error otherwise).
std::vector<std::uint8_t> encodeIndexPage(const Format& format, const IndexPage& page);

// A page read in place, for lookups and small changes without decoding every entry. The entry
// mask is read once; an entry's bytes are put together only when asked for.
class IndexPageView {
  public:
    // Reads the header and the entry mask. Throws Corrupt as decodeIndexPage() does, except
    // that the order of the entries is not checked. The entry ends of a sound page are kept, by
    // the page's header and mask bytes, for the next view of the same bytes in this thread: the
    // pages on the way to a key are read again and again while they do not change.
    IndexPageView(const Format& format, ByteSpan page, std::uint32_t number);

    bool leaf() const { return leaf_; }
    std::uint32_t tail() const { return tail_; }
    std::uint32_t next() const { return next_; }
    std::size_t size() const { return entryEnds().size(); }
    std::size_t prefixLength() const { return prefix_; }
    // Bytes of the entries once their shared prefix is left out.
    std::size_t used() const { return entryEnds().empty() ? 0 : entryEnds().back(); }

    // Entry `i` whole: key, row pointer and (intermediate pages) child page.
    void entryBytes(std::size_t i, std::vector<std::uint8_t>& out) const;
    IndexEntry entry(std::size_t i) const;
    // Whether entry `i` has exactly the key bytes `key`.
    bool keyAt(std::size_t i, std::span<const std::uint8_t> key) const;
    // The first entry not less than `probe` (size() when none), or than `key` with `row`.
    std::size_t lowerBound(const IndexEntry& probe) const {
        return lowerBound(probe.key, probe.row);
    }
    std::size_t lowerBound(std::span<const std::uint8_t> key, RowId row) const;
    // Entry `i` against `key` with `row`, ordered as compareEntries() does.
    std::strong_ordering compareAt(std::size_t i, std::span<const std::uint8_t> key,
                                   RowId row) const;
    std::strong_ordering compareAt(std::size_t i, const IndexEntry& e) const {
        return compareAt(i, e.key, e.row);
    }
    // Of an intermediate page, the child page entry `i` names.
    std::uint32_t childAt(std::size_t i) const;
    // Of a leaf, with `pos` where lowerBound puts an entry of `key`: whether the index holds no
    // entry of `key`, as far as this page's entries beside `pos` tell (an entry before `pos`, and
    // one at `pos` or no page after this one); nothing when only the pages beside it would.
    std::optional<bool> keyIsNewAt(std::size_t pos, std::span<const std::uint8_t> key) const;

    // Whether insertInPlace() can put `e` on this page: it is a leaf with room for `e`, and
    // `e` starts with the shared prefix.
    bool canInsertInPlace(const IndexEntry& e) const;
    // Puts `e` before entry `pos` of the leaf `page` (the bytes this view was made of, or a copy
    // of them) without changing the shared prefix. Returns false, leaving `page` alone, when `e`
    // does not share the prefix or the page has no room for it.
    bool insertInPlace(std::span<std::uint8_t> page, std::size_t pos, const IndexEntry& e) const;

  private:
    // An entry as it lies on the page: the shared prefix (for the first entry, all of it), then
    // the bytes stored for it alone.
    struct Pieces {
        ByteSpan head;
        ByteSpan rest;
        std::size_t size() const { return head.size() + rest.size(); }
        std::uint8_t at(std::size_t i) const {
            return i < head.size() ? head[i] : rest[i - head.size()];
        }
    };
    Pieces pieces(std::size_t i) const;
    // The entry's first `keyLength` bytes (its key) against `key`, ordered as compareKeys does.
    static std::strong_ordering compareKeyAt(const Pieces& e, std::size_t keyLength,
                                             std::span<const std::uint8_t> key);

    const Format& format_;
    ByteSpan page_;
    std::uint32_t number_;
    bool leaf_ = true;
    std::uint32_t tail_ = 0;
    std::uint32_t next_ = 0;
    std::size_t prefix_ = 0;
    // The end of each entry, from the first entry's start; shared with the thread's memo of
    // recently read pages, never changed once made.
    std::shared_ptr<const std::vector<std::uint16_t>> ends_;
    const std::vector<std::uint16_t>& entryEnds() const { return *ends_; }
    mutable std::vector<std::uint8_t> scratch_;
};

}  // namespace jet
