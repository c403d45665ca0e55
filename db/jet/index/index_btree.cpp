// Walking and changing the B-tree of an index.
#include "db/jet/index/index_btree.h"

#include <algorithm>
#include <unordered_set>

#include "db/jet/base/byte_writer.h"
#include "db/jet/base/error.h"

namespace jet {

namespace {

// Far deeper than any index Access can hold: a deeper path means pages that loop.
constexpr std::size_t kMaxDepth = 32;

IndexEntry bound(const IndexEntry& e) {
    IndexEntry b;
    b.key = e.key;
    b.row = e.row;
    return b;
}

bool sameEntry(const IndexEntry& a, const IndexEntry& b) {
    return compareEntries(a, b) == 0;
}

}  // namespace

void IndexPages::change(std::uint32_t page,
                        const std::function<void(std::span<std::uint8_t>)>& edit) {
    std::vector<std::uint8_t> image = read(page)->bytes;
    edit(image);
    write(page, image);
}

void ReadOnlyIndexPages::write(std::uint32_t, const std::vector<std::uint8_t>&) {
    throw Error(ErrorKind::ReadOnly, "The index cannot be changed: the database is open to read.");
}
std::uint32_t ReadOnlyIndexPages::allocate() {
    throw Error(ErrorKind::ReadOnly, "The index cannot be changed: the database is open to read.");
}
void ReadOnlyIndexPages::release(std::uint32_t) {
    throw Error(ErrorKind::ReadOnly, "The index cannot be changed: the database is open to read.");
}

IndexTree::IndexTree(IndexPages& pages, const Format& format, std::uint32_t root,
                     std::uint32_t owner)
    : pages_(pages), format_(format), root_(root), owner_(owner) {}

std::vector<std::uint8_t> IndexTree::emptyRoot(const Format& format, std::uint32_t owner) {
    IndexPage p;
    p.leaf = true;
    p.owner = owner;
    return encodeIndexPage(format, p);
}

IndexPage IndexTree::load(std::uint32_t number) {
    if (number == 0) throwCorrupt("an index refers to page 0 as one of its pages");
    const PageRef ref = pages_.read(number);
    IndexPage p = decodeIndexPage(format_, ref->span(), number);
    ordered_.insert(number);
    return p;
}

void IndexTree::store(IndexPage& p) {
    p.owner = owner_;
    pages_.write(p.number, encodeIndexPage(format_, p));
    ++writes_;
    ordered_.insert(p.number);
}

bool IndexTree::fits(const IndexPage& p) const {
    return encodedEntriesSize(format_, p) <= indexPageCapacity(format_);
}

IndexTree::Path IndexTree::descend(const IndexEntry& probe) {
    Path path;
    std::uint32_t number = root_;
    for (;;) {
        if (path.size() >= kMaxDepth) throwCorrupt("the pages of an index form a loop", number);
        Step step{load(number), 0};
        if (step.page.leaf) {
            path.push_back(std::move(step));
            return path;
        }
        const IndexPage& p = step.page;
        if (childCount(p) == 0)
            throwCorrupt("an intermediate index page has no children", p.number);
        const auto it = std::lower_bound(
            p.entries.begin(), p.entries.end(), probe,
            [](const IndexEntry& e, const IndexEntry& x) { return compareEntries(e, x) < 0; });
        std::size_t i = static_cast<std::size_t>(it - p.entries.begin());
        if (i == p.entries.size() && !p.tail) i = p.entries.size() - 1;
        step.child = i;
        number = childAt(p, i);
        path.push_back(std::move(step));
    }
}

IndexEntry IndexTree::subtreeMax(std::uint32_t page) {
    for (std::size_t depth = 0; depth < kMaxDepth; ++depth) {
        const IndexPage p = load(page);
        if (p.leaf) {
            if (p.entries.empty()) throwCorrupt("an index page below the root is empty", page);
            return bound(p.entries.back());
        }
        if (!p.tail) {
            if (p.entries.empty()) throwCorrupt("an intermediate index page has no children", page);
            return bound(p.entries.back());
        }
        page = p.tail;
    }
    throwCorrupt("the pages of an index form a loop", page);
}

void IndexTree::forEach(const std::function<void(const IndexEntry&)>& visit) {
    // Depth first, checking that every child lies within the bounds its parent gives it and that
    // the pages of each level are chained in tree order.
    std::unordered_set<std::uint32_t> seen;
    std::vector<std::uint32_t> lastOnLevel(kMaxDepth, 0);
    std::vector<std::uint32_t> expectNext(kMaxDepth, 0);
    std::optional<IndexEntry> previous;
    const std::function<void(std::uint32_t, std::size_t, const IndexEntry*)> walk =
        [&](std::uint32_t number, std::size_t depth, const IndexEntry* upper) {
            if (depth >= kMaxDepth || !seen.insert(number).second)
                throwCorrupt("the pages of an index form a loop", number);
            const IndexPage p = load(number);
            if (p.prev != lastOnLevel[depth])
                throwCorrupt("an index page names the wrong previous page", number);
            if (lastOnLevel[depth] != 0 && expectNext[depth] != number)
                throwCorrupt("an index page names the wrong next page", lastOnLevel[depth]);
            lastOnLevel[depth] = number;
            expectNext[depth] = p.next;
            if (p.leaf) {
                for (const auto& e : p.entries) {
                    if (previous && compareEntries(*previous, e) >= 0)
                        throwCorrupt("index entries are out of order across pages", number);
                    if (upper && compareEntries(e, *upper) > 0)
                        throwCorrupt("an index entry lies above the bound its parent gives it",
                                     number);
                    previous = e;
                    visit(e);
                }
            } else {
                if (childCount(p) == 0)
                    throwCorrupt("an intermediate index page has no children", number);
                for (std::size_t i = 0; i < childCount(p); ++i) {
                    const IndexEntry* b = i < p.entries.size() ? &p.entries[i] : upper;
                    if (upper && i < p.entries.size() && compareEntries(p.entries[i], *upper) > 0)
                        throwCorrupt("an index entry lies above the bound its parent gives it",
                                     number);
                    walk(childAt(p, i), depth + 1, b);
                }
            }
        };
    walk(root_, 0, nullptr);
    // Each level's chain ends at the last page the walk met on it.
    for (std::size_t d = 0; d < kMaxDepth && lastOnLevel[d] != 0; ++d)
        if (expectNext[d] != 0)
            throwCorrupt("the last index page of a level names a next page", lastOnLevel[d]);
}

std::vector<std::uint32_t> IndexTree::pages() {
    std::vector<std::uint32_t> out;
    std::unordered_set<std::uint32_t> seen;
    std::vector<std::pair<std::uint32_t, std::size_t>> todo{{root_, 0}};
    while (!todo.empty()) {
        const auto [number, depth] = todo.back();
        todo.pop_back();
        if (depth >= kMaxDepth || !seen.insert(number).second)
            throwCorrupt("the pages of an index form a loop", number);
        out.push_back(number);
        const IndexPage p = load(number);
        if (p.leaf) continue;
        for (std::size_t i = childCount(p); i-- > 0;)
            todo.push_back({childAt(p, i), depth + 1});
    }
    return out;
}

std::optional<IndexEntry> IndexTree::lowerBound(const IndexEntry& probe) {
    std::uint32_t number = root_;
    std::uint32_t next = 0;
    for (std::size_t depth = 0;; ++depth) {
        if (depth >= kMaxDepth) throwCorrupt("the pages of an index form a loop", number);
        const PageRef ref = pages_.read(number);
        const IndexPageView view(format_, ref->span(), number);
        std::size_t i = view.lowerBound(probe);
        if (view.leaf()) {
            if (i < view.size()) return view.entry(i);
            next = view.next();
            break;
        }
        if (i == view.size() && !view.tail()) {
            if (i == 0) throwCorrupt("an intermediate index page has no children", number);
            i = view.size() - 1;
        }
        number = i < view.size() ? view.childAt(i) : view.tail();
    }
    std::unordered_set<std::uint32_t> seen{number};
    while (next != 0) {
        if (!seen.insert(next).second) throwCorrupt("the pages of an index form a loop", next);
        const IndexPage p = load(next);
        if (!p.entries.empty()) return p.entries.front();
        next = p.next;
    }
    return std::nullopt;
}

bool IndexTree::containsKey(const std::vector<std::uint8_t>& key) {
    hint_.valid = false;
    const RowId before{};  // row 0: before every entry of the key
    std::uint32_t number = root_;
    bool inPlace = true;  // the path is one an insert in place may take (insertInPlace)
    for (std::size_t depth = 0; depth < kMaxDepth; ++depth) {
        const PageRef ref = pages_.read(number);
        if (!ordered_.contains(number)) load(number);
        const IndexPageView view(format_, ref->span(), number);
        const std::size_t i = view.lowerBound(key, before);
        if (view.leaf()) {
            // Past the leaf's last entry, the next page holds the first entry not less.
            if (i == view.size() && view.next() != 0) break;
            const bool found = i < view.size() && view.keyAt(i, key);
            if (!found) {
                hint_.valid = true;
                hint_.key = key;
                hint_.leaf = number;
                hint_.position = i;
                hint_.inPlace = inPlace;
                hint_.writes = writes_;
            }
            return found;
        }
        if (i < view.size()) {
            number = view.childAt(i);
        } else if (view.tail()) {
            number = view.tail();
        } else {
            if (i == 0) throwCorrupt("an intermediate index page has no children", number);
            inPlace = false;
            number = view.childAt(i - 1);
        }
    }
    IndexEntry probe;
    probe.key = key;
    const auto found = lowerBound(probe);
    return found && found->key == key;
}

std::optional<IndexEntry> IndexTree::maxOf(const IndexPage& p) {
    if (p.leaf) {
        if (p.entries.empty()) return std::nullopt;
        return bound(p.entries.back());
    }
    if (p.tail) return subtreeMax(p.tail);
    if (p.entries.empty()) return std::nullopt;
    return bound(p.entries.back());
}

void IndexTree::setLink(std::uint32_t page, std::size_t offset, std::uint32_t value) {
    if (page == 0) return;
    // Read whole once, as every page the tree changes; then only the link's bytes change.
    if (!ordered_.contains(page)) load(page);
    const auto link = [&](std::span<std::uint8_t> bytes) {
        ByteWriter w(bytes, "index page", page);
        w.u32(offset, value);
    };
    pages_.change(page, std::cref(link));
    ++writes_;
}

void IndexTree::setPrev(std::uint32_t page, std::uint32_t prev) {
    setLink(page, format_.indexPrevPageOffset, prev);
}

void IndexTree::setNext(std::uint32_t page, std::uint32_t next) {
    setLink(page, format_.indexNextPageOffset, next);
}

bool IndexTree::insertAtHint(const IndexEntry& entry) {
    const Hint hint = hint_;
    hint_.valid = false;
    if (!hint.valid || hint.writes != writes_ || hint.key != entry.key) return false;
    // Nothing of the tree changed since containsKey found where the key goes, and no entry
    // holds the key, so the entry goes to the same place whatever its row: the leaf's entries
    // beside it, checked again, show the page still is as it was.
    const PageRef ref = pages_.read(hint.leaf);
    const IndexPageView view(format_, ref->span(), hint.leaf);
    const std::size_t i = hint.position;
    if (!view.leaf() || i > view.size()) return false;
    if (i == view.size() && (!hint.inPlace || view.next() != 0)) return false;
    if (i > 0 && view.compareAt(i - 1, entry) >= 0) return false;
    if (i < view.size() && view.compareAt(i, entry) <= 0) return false;
    return putOnLeaf(view, hint.leaf, i, entry);
}

bool IndexTree::putOnLeaf(const IndexPageView& view, std::uint32_t leaf, std::size_t position,
                          const IndexEntry& entry) {
    if (!view.canInsertInPlace(entry)) return false;
    // Handed over by reference, the edit is not copied into a function object (whose room for
    // its captures would be allocated on every insert).
    const auto put = [&](std::span<std::uint8_t> page) {
        if (!view.insertInPlace(page, position, entry))
            throwCorrupt("an index page changed while an entry was put on it", leaf);
    };
    pages_.change(leaf, std::cref(put));
    ++writes_;
    return true;
}

bool IndexTree::insertInPlace(const IndexEntry& entry, bool* keyWasNew) {
    if (!keyWasNew && insertAtHint(entry)) return true;
    std::uint32_t number = root_;
    for (std::size_t depth = 0; depth < kMaxDepth; ++depth) {
        const PageRef ref = pages_.read(number);
        if (!ordered_.contains(number)) load(number);
        const IndexPageView view(format_, ref->span(), number);
        const std::size_t i = view.lowerBound(entry);
        if (view.leaf()) {
            if (i < view.size() && view.compareAt(i, entry) == 0)
                throwCorrupt("an index already holds an entry for the row being added", number);
            if (keyWasNew) {
                const std::optional<bool> known = view.keyIsNewAt(i, entry.key);
                *keyWasNew = known ? *known : !containsKey(entry.key);
            }
            return putOnLeaf(view, number, i, entry);
        }
        if (i < view.size()) {
            number = view.childAt(i);  // within that child's bound: no bound changes
        } else if (view.tail()) {
            number = view.tail();  // the chain of tails carries no bounds
        } else {
            return false;  // beyond the last bound: it has to grow
        }
    }
    throwCorrupt("the pages of an index form a loop", number);
}

void IndexTree::insert(const IndexEntry& entry, bool* keyWasNew) {
    if (insertInPlace(entry, keyWasNew)) return;
    hint_.valid = false;
    if (keyWasNew) *keyWasNew = !containsKey(entry.key);
    Path path = descend(entry);
    IndexPage& leaf = path.back().page;
    const auto it = std::lower_bound(
        leaf.entries.begin(), leaf.entries.end(), entry,
        [](const IndexEntry& e, const IndexEntry& x) { return compareEntries(e, x) < 0; });
    if (it != leaf.entries.end() && sameEntry(*it, entry))
        throwCorrupt("an index already holds an entry for the row being added", leaf.number);
    const bool atEnd = it == leaf.entries.end();
    IndexEntry e = bound(entry);
    path.back().child = static_cast<std::size_t>(it - leaf.entries.begin());
    leaf.entries.insert(it, e);
    settle(path, path.size() - 1, atEnd ? std::optional<IndexEntry>(e) : std::nullopt);
}

// Passes a new greatest entry of path[level] (already written) up to the first ancestor that
// names it by an entry.
void IndexTree::settle(Path& path, std::size_t level, std::optional<IndexEntry> newMax) {
    IndexPage& p = path[level].page;
    if (!fits(p)) {
        if (level == 0)
            splitRoot(path);
        else
            split(path, level, newMax);
        return;
    }
    store(p);
    if (!newMax) return;
    while (level > 0) {
        Step& up = path[level - 1];
        if (up.child < up.page.entries.size()) {
            const bool last = up.child + 1 == up.page.entries.size() && up.page.tail == 0;
            IndexEntry e = *newMax;
            e.child = up.page.entries[up.child].child;
            up.page.entries[up.child] = std::move(e);
            settle(path, level - 1, last ? newMax : std::nullopt);
            return;
        }
        --level;  // reached through the tail: the parent's page does not change
    }
}

namespace {

// How many entries (leaves) or children named by entries (intermediate pages) go to the new
// left page. At the end of the index only the last one moves on; elsewhere the bytes are
// halved.
std::size_t splitPoint(const IndexPage& p, bool atEnd) {
    // Both pages keep at least one entry (an intermediate page with a tail keeps the tail and
    // one entry more, so that it still names its children as Access does).
    const std::size_t limit = p.entries.size() - 1;
    if (atEnd) return limit;
    std::size_t total = 0;
    for (const auto& e : p.entries)
        total += e.size(p.leaf);
    std::size_t acc = 0, k = 0;
    while (k < limit && acc + p.entries[k].size(p.leaf) <= total / 2) {
        acc += p.entries[k].size(p.leaf);
        ++k;
    }
    return std::clamp<std::size_t>(k, 1, limit);
}

// Moves the first `k` entries of `p` to `left`; returns the greatest entry of `left`.
IndexEntry moveLeft(IndexPage& p, IndexPage& left, std::size_t k) {
    left.leaf = p.leaf;
    left.entries.assign(
        std::make_move_iterator(p.entries.begin()),
        std::make_move_iterator(p.entries.begin() + static_cast<std::ptrdiff_t>(k)));
    p.entries.erase(p.entries.begin(), p.entries.begin() + static_cast<std::ptrdiff_t>(k));
    IndexEntry max = bound(left.entries.back());
    if (!left.leaf && left.entries.size() > 1) {
        left.tail = left.entries.back().child;
        left.entries.pop_back();
    }
    return max;
}

}  // namespace

void IndexTree::split(Path& path, std::size_t level, std::optional<IndexEntry> newMax) {
    IndexPage& p = path[level].page;
    Step& up = path[level - 1];
    if (p.entries.size() < 2) throwCorrupt("an index entry does not fit a page", p.number);
    // At the end of the index: the last page of its level, grown at its end.
    const bool atEnd =
        p.next == 0 && path[level].child + 1 >= (p.leaf ? p.entries.size() : childCount(p));
    const std::size_t k = splitPoint(p, atEnd);

    IndexPage left;
    left.number = pages_.allocate();
    const IndexEntry leftMax = moveLeft(p, left, k);
    left.prev = p.prev;
    left.next = p.number;
    const std::uint32_t oldPrev = p.prev;
    p.prev = left.number;
    store(left);
    store(p);
    setNext(oldPrev, left.number);

    // The parent names the new page just before `p`; `p` keeps its place (entry or tail).
    IndexEntry named = leftMax;
    named.child = left.number;
    up.page.entries.insert(up.page.entries.begin() + static_cast<std::ptrdiff_t>(up.child),
                           std::move(named));
    ++up.child;
    // `p`'s greatest entry may have grown with the change that split it.
    std::optional<IndexEntry> parentMax;
    if (newMax) {
        if (up.child < up.page.entries.size()) {
            IndexEntry b = *newMax;
            b.child = p.number;
            up.page.entries[up.child] = std::move(b);
            if (up.child + 1 == up.page.entries.size() && up.page.tail == 0) parentMax = newMax;
        } else {
            parentMax = newMax;  // `p` is the tail: the parent's greatest entry grew too
        }
    }
    settle(path, level - 1, parentMax);
}

void IndexTree::splitRoot(Path& path) {
    IndexPage& root = path[0].page;
    if (root.entries.size() < 2) throwCorrupt("an index entry does not fit a page", root.number);
    const bool atEnd = path[0].child + 1 >= (root.leaf ? root.entries.size() : childCount(root));
    const std::size_t k = splitPoint(root, atEnd);
    IndexPage left, right;
    left.number = pages_.allocate();
    right.number = pages_.allocate();
    const IndexEntry leftMax = moveLeft(root, left, k);
    right.leaf = root.leaf;
    right.entries = std::move(root.entries);
    right.tail = root.tail;
    left.next = right.number;
    right.prev = left.number;
    store(left);
    store(right);
    root.leaf = false;
    root.entries.clear();
    IndexEntry named = leftMax;
    named.child = left.number;
    root.entries.push_back(std::move(named));
    root.tail = right.number;
    root.prev = root.next = 0;
    store(root);
}

bool IndexTree::remove(const IndexEntry& entry) {
    hint_.valid = false;
    Path path = descend(entry);
    const std::size_t level = path.size() - 1;
    IndexPage& leaf = path[level].page;
    const auto it = std::lower_bound(
        leaf.entries.begin(), leaf.entries.end(), entry,
        [](const IndexEntry& e, const IndexEntry& x) { return compareEntries(e, x) < 0; });
    if (it == leaf.entries.end() || !sameEntry(*it, entry)) return false;
    const bool wasLast = it + 1 == leaf.entries.end();
    leaf.entries.erase(it);
    if (!leaf.entries.empty() || level == 0) {
        settle(path, level,
               wasLast && !leaf.entries.empty() ? std::optional(bound(leaf.entries.back()))
                                                : std::nullopt);
        return true;
    }
    setNext(leaf.prev, leaf.next);
    setPrev(leaf.next, leaf.prev);
    pages_.release(leaf.number);
    dropChild(path, level - 1);
    return true;
}

void IndexTree::dropChild(Path& path, std::size_t level) {
    IndexPage& p = path[level].page;
    const std::size_t idx = path[level].child;
    std::optional<IndexEntry> newMax;
    if (idx == p.entries.size()) {
        // The tail went: the last child named by an entry becomes the tail.
        if (p.entries.empty()) throwCorrupt("an intermediate index page has no children", p.number);
        newMax = bound(p.entries.back());
        p.tail = p.entries.back().child;
        p.entries.pop_back();
    } else {
        const bool lastBound = idx + 1 == p.entries.size() && p.tail == 0;
        p.entries.erase(p.entries.begin() + static_cast<std::ptrdiff_t>(idx));
        if (lastBound && !p.entries.empty()) newMax = bound(p.entries.back());
    }
    if (childCount(p) == 0) {
        if (level == 0) {
            p.leaf = true;
            p.tail = 0;
            store(p);
            return;
        }
        setNext(p.prev, p.next);
        setPrev(p.next, p.prev);
        pages_.release(p.number);
        dropChild(path, level - 1);
        return;
    }
    if (level == 0 && childCount(p) == 1) {
        // A root left with one child takes its place, so that emptied trees shrink back.
        const std::uint32_t only = childAt(p, 0);
        IndexPage child = load(only);
        child.number = p.number;
        child.prev = child.next = 0;
        store(child);
        pages_.release(only);
        return;
    }
    if (p.entries.empty() && p.tail) {
        // A single child is named by an entry, not as the tail.
        IndexEntry only = subtreeMax(p.tail);
        only.child = p.tail;
        p.entries.push_back(std::move(only));
        p.tail = 0;
    }
    settle(path, level, newMax);
}

}  // namespace jet
