// Writing a B-tree bottom up from sorted entries.
#include "db/jet/index/index_builder.h"

#include <algorithm>
#include <stdexcept>

namespace jet {

namespace {

IndexEntry bound(const IndexEntry& e) {
    IndexEntry b;
    b.key = e.key;
    b.row = e.row;
    return b;
}

}  // namespace

IndexBuilder::IndexBuilder(IndexPages& pages, const Format& format, std::uint32_t root,
                           std::uint32_t owner)
    : pages_(pages), format_(format), root_(root), owner_(owner) {}

std::size_t IndexBuilder::maxKeySize(const Format& format) {
    return indexPageCapacity(format) / 2 - 8;
}

void IndexBuilder::add(const IndexEntry& entry) {
    if (last_ && compareEntries(*last_, entry) >= 0)
        throw std::logic_error("index entries must be added in order");
    if (entry.key.size() > maxKeySize(format_))
        throw std::logic_error("an index entry is longer than a page can hold");
    last_ = bound(entry);
    push(0, bound(entry));
}

bool IndexBuilder::fits(const Level& l, const IndexEntry& entry) const {
    // The bytes of the stored entries: the first whole, every other without the prefix the
    // first and the last share (as index_page.h encodes them).
    const bool leaf = l.leaf;
    const IndexEntry& first = l.entries.front();
    const IndexEntry& last = leaf ? entry : l.entries.back();
    const std::size_t count = leaf ? l.entries.size() + 1 : l.entries.size();
    const std::size_t bytes = leaf ? l.bytes + entry.size(true) : l.bytes;
    std::size_t prefix = 0;
    if (count >= 2) {
        auto& a = first_;
        auto& b = scratch_;
        a.clear();
        b.clear();
        first.appendTo(a, leaf);
        last.appendTo(b, leaf);
        const std::size_t n = std::min(a.size(), b.size()) - 1;
        while (prefix < n && a[prefix] == b[prefix])
            ++prefix;
        prefix = std::min<std::size_t>(prefix, format_.indexPrefixLengthSize == 1 ? 0xFF : 0xFFFF);
    }
    return bytes - (count - 1) * prefix <= indexPageCapacity(format_);
}

void IndexBuilder::push(std::size_t level, IndexEntry entry) {
    if (levels_.size() <= level) {
        levels_.emplace_back();
        levels_.back().leaf = level == 0;
    }
    if (!levels_[level].entries.empty() && !fits(levels_[level], entry))
        close(level, pages_.allocate());
    Level& l = levels_[level];
    if (l.number == 0) l.number = pages_.allocate();
    l.bytes += entry.size(l.leaf);
    l.entries.push_back(std::move(entry));
}

IndexPage IndexBuilder::pageOf(const Level& l) const {
    IndexPage p;
    p.leaf = l.leaf;
    p.owner = owner_;
    p.entries = l.entries;
    // A page with more than one child keeps the last one as its tail.
    if (!l.leaf && p.entries.size() >= 2) {
        p.tail = p.entries.back().child;
        p.entries.pop_back();
    }
    return p;
}

void IndexBuilder::close(std::size_t level, std::uint32_t next) {
    IndexEntry up;
    {
        Level& l = levels_[level];
        IndexPage p = pageOf(l);
        p.number = l.number;
        p.prev = l.prev;
        p.next = next;
        pages_.write(p.number, encodeIndexPage(format_, p));
        up = bound(l.entries.back());
        up.child = l.number;
        ++l.pages;
        l.prev = l.number;
        l.number = next;
        l.entries.clear();
        l.bytes = 0;
    }
    push(level + 1, std::move(up));
}

void IndexBuilder::finish() {
    if (levels_.empty()) {
        pages_.write(root_, IndexTree::emptyRoot(format_, owner_));
        return;
    }
    for (std::size_t i = 0; i < levels_.size(); ++i) {
        if (i + 1 == levels_.size() && levels_[i].pages == 0) {
            // The only page of the top level: it becomes the root.
            const Level& l = levels_[i];
            IndexPage p = pageOf(l);
            p.number = root_;
            pages_.write(root_, encodeIndexPage(format_, p));
            pages_.release(l.number);
            levels_.clear();
            return;
        }
        close(i, 0);
    }
}

}  // namespace jet
