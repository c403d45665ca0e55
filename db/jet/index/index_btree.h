// The B-tree of one index: finding, inserting and removing entries across its pages.
//
// The tree's root page never moves. Leaves and intermediate pages of each level are chained by
// their previous and next pages. An intermediate page names each child but its last by an entry
// holding the child's greatest entry; the last child is the page's tail (index_page.h), unless
// it is the page's only child. So the entries of an intermediate page are upper bounds, and an
// entry greater than all of them belongs to the tail.
//
// Changing the tree: an insert goes into its leaf; a leaf that no longer fits is split — at the
// end of the index the new entry starts a page of its own, so indexes filled in key order end
// up with full pages; elsewhere in half — and the split goes up the tree as far as it must. A
// full root moves its entries into two new pages and becomes their parent. A removal that
// empties a page takes it out of the tree and frees it; an empty root becomes an empty leaf.
// Upper bounds are kept exact on every path except the chain of tails.
//
// Pages are read and written through IndexPages, which the writer of a table implements over the
// pager (and the index's usage map) and tests over memory.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <unordered_set>
#include <vector>

#include "db/jet/index/index_page.h"
#include "db/jet/page/pager.h"

namespace jet {

class IndexPages {
  public:
    virtual ~IndexPages() = default;
    virtual PageRef read(std::uint32_t page) = 0;
    // Replaces page `page` with `image` (a whole page).
    virtual void write(std::uint32_t page, const std::vector<std::uint8_t>& image) = 0;
    // Changes page `page` through `edit`, given the whole page to change in place. By default a
    // copy of the page, written back whole.
    virtual void change(std::uint32_t page,
                        const std::function<void(std::span<std::uint8_t>)>& edit);
    // A page for the index (its bytes are about to be written).
    virtual std::uint32_t allocate() = 0;
    // Gives back a page the index no longer uses.
    virtual void release(std::uint32_t page) = 0;
};

// Reads pages through a Pager and cannot write.
class ReadOnlyIndexPages : public IndexPages {
  public:
    explicit ReadOnlyIndexPages(Pager& pager) : pager_(pager) {}
    PageRef read(std::uint32_t page) override { return pager_.page(page); }
    void write(std::uint32_t, const std::vector<std::uint8_t>&) override;
    std::uint32_t allocate() override;
    void release(std::uint32_t) override;

  private:
    Pager& pager_;
};

class IndexTree {
  public:
    // REQUIRES: `pages` outlives the tree. `owner` is the first page of the table definition,
    // which every page of the tree names.
    IndexTree(IndexPages& pages, const Format& format, std::uint32_t root, std::uint32_t owner);

    // The image of an empty root: a leaf without entries.
    static std::vector<std::uint8_t> emptyRoot(const Format& format, std::uint32_t owner);

    // Calls `visit` for every leaf entry, in order. Throws Corrupt for a damaged tree: a page
    // that is not an index page, pages that form a loop, entries out of order across pages, a
    // level whose page chain disagrees with the tree.
    void forEach(const std::function<void(const IndexEntry&)>& visit);
    // Every page of the tree (root first), for freeing them all. Throws Corrupt like forEach.
    std::vector<std::uint32_t> pages();

    // The first entry not less than `probe`, or nothing. Throws Corrupt.
    std::optional<IndexEntry> lowerBound(const IndexEntry& probe);
    // True when some entry has exactly these key bytes. When none has, where the key goes is
    // kept for an insert of the key that follows with no change of the tree between (a unique
    // index asks first, then inserts), so that the insert need not descend again.
    bool containsKey(const std::vector<std::uint8_t>& key);

    // Adds `entry`. Throws Corrupt when the tree already holds the same key for the same row,
    // or its pages are damaged. With `keyWasNew`, also tells whether the tree held no entry of
    // entry.key before (what containsKey would have said), learnt from the leaf's entries beside
    // the new one where they tell, so that most inserts need no second descent.
    void insert(const IndexEntry& entry, bool* keyWasNew = nullptr);
    // Removes the entry with `entry`'s key and row; false when there is none.
    bool remove(const IndexEntry& entry);

  private:
    struct Step {
        IndexPage page;
        std::size_t child = 0;  // which child the path takes (a leaf: where an entry went)
    };
    using Path = std::vector<Step>;

    // Adds `entry` to its leaf in place when no bound and no other page changes. Each page it
    // goes through is read whole once first, so a page whose entries are out of order is
    // reported as damaged instead of taking an entry at a place its order no longer gives.
    bool insertInPlace(const IndexEntry& entry, bool* keyWasNew);
    // Adds `entry` in place at the leaf and position the last containsKey found for its key,
    // when that still holds; false otherwise (nothing written).
    bool insertAtHint(const IndexEntry& entry);
    // Puts `entry` at `position` of `leaf` (seen through `view`) when it fits there; false
    // otherwise (nothing written).
    bool putOnLeaf(const IndexPageView& view, std::uint32_t leaf, std::size_t position,
                   const IndexEntry& entry);
    IndexPage load(std::uint32_t number);
    void store(IndexPage& page);
    Path descend(const IndexEntry& probe);
    static std::size_t childCount(const IndexPage& p) {
        return p.entries.size() + (p.tail ? 1 : 0);
    }
    static std::uint32_t childAt(const IndexPage& p, std::size_t i) {
        return i < p.entries.size() ? p.entries[i].child : p.tail;
    }
    IndexEntry subtreeMax(std::uint32_t page);
    bool fits(const IndexPage& p) const;
    // Writes path[level] back, splitting it when it does not fit, and carries changes of its
    // greatest entry up the path. `oldMax` is its greatest entry before the change.
    void settle(Path& path, std::size_t level, std::optional<IndexEntry> oldMax);
    void splitRoot(Path& path);
    void split(Path& path, std::size_t level, std::optional<IndexEntry> newMax);
    // Removes the child `path[level].child` (now empty and freed) from path[level].
    void dropChild(Path& path, std::size_t level);
    // Writes `value` at `offset` of index page `page` (a link to the previous or next page).
    void setLink(std::uint32_t page, std::size_t offset, std::uint32_t value);
    void setPrev(std::uint32_t page, std::uint32_t prev);
    void setNext(std::uint32_t page, std::uint32_t next);
    std::optional<IndexEntry> maxOf(const IndexPage& p);

    IndexPages& pages_;
    const Format& format_;
    std::uint32_t root_;
    std::uint32_t owner_;
    // Pages known to hold their entries in order: read whole by load() or written by this tree.
    std::unordered_set<std::uint32_t> ordered_;
    std::uint64_t writes_ = 0;  // pages this tree wrote, to tell a hint still holds
    struct Hint {
        bool valid = false;
        std::vector<std::uint8_t> key;
        std::uint32_t leaf = 0;
        std::size_t position = 0;
        bool inPlace = false;  // the path to the leaf changes no bound when the leaf grows
        std::uint64_t writes = 0;
    };
    Hint hint_;
};

}  // namespace jet
