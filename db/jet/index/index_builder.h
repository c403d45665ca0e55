// Building the B-tree of an index from its entries in order, page by page, without inserting
// them one at a time (index_btree.h describes the tree).
//
// Leaves are filled as far as they hold, left to right, each chained to its neighbours; every
// full level gets a level above it, whose pages name their children by the children's greatest
// entries, the last child of a page as its tail (a page with a single child names it by an
// entry). The top page is written onto the index's root page, which never moves, so the table
// definition keeps naming it; an index without entries keeps an empty leaf there.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "db/jet/format/format.h"
#include "db/jet/index/index_btree.h"
#include "db/jet/index/index_page.h"

namespace jet {

class IndexBuilder {
  public:
    // REQUIRES: `pages` outlives the builder; `root` is the index's root page, `owner` the first
    // page of the table's definition.
    IndexBuilder(IndexPages& pages, const Format& format, std::uint32_t root, std::uint32_t owner);

    // The longest key an entry may have: two entries of an intermediate page fit a page.
    static std::size_t maxKeySize(const Format& format);

    // Adds the next leaf entry. Throws std::logic_error when it is not greater than the last one
    // or its key is longer than maxKeySize().
    void add(const IndexEntry& entry);
    // Writes the pages still open and the root. Call once, after the last add().
    void finish();

  private:
    struct Level {
        bool leaf = true;
        std::uint32_t number = 0;         // the page being filled (0: none yet)
        std::uint32_t prev = 0;           // the page before it on this level
        std::vector<IndexEntry> entries;  // leaves: the entries; above: one per child
        std::size_t bytes = 0;            // the entries' sizes before prefix compression
        std::size_t pages = 0;            // pages written on this level
    };
    // Adds `entry` (a leaf entry, or a child with its greatest entry) to `level`.
    void push(std::size_t level, IndexEntry entry);
    // True when `level`'s page would still fit with `entry` added.
    bool fits(const Level& l, const IndexEntry& entry) const;
    // Writes `level`'s page (next page `next`, 0 at the end) and passes it up.
    void close(std::size_t level, std::uint32_t next);
    IndexPage pageOf(const Level& l) const;

    IndexPages& pages_;
    const Format& format_;
    std::uint32_t root_;
    std::uint32_t owner_;
    std::vector<Level> levels_;
    std::optional<IndexEntry> last_;
    mutable std::vector<std::uint8_t> first_, scratch_;  // fits()'s scratch
};

}  // namespace jet
