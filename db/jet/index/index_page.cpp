// Decoding and encoding index pages: the entry mask and the shared prefix.
#include "db/jet/index/index_page.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "db/jet/base/byte_writer.h"

namespace jet {

namespace {

constexpr std::size_t kRowPointerSize = 4;
constexpr std::size_t kChildPointerSize = 4;
constexpr std::size_t kFreeSpaceOffset = 2;
constexpr std::size_t kOwnerOffset = 4;

// The entry ends of sound index pages this thread read lately, each with the header and mask
// bytes it was decoded from (everything the ends and their check depend on, with the page
// size), one slot per page number modulo the slot count.
struct EndsMemo {
    const Format* format = nullptr;
    std::size_t pageSize = 0;
    std::vector<std::uint8_t> header;
    std::shared_ptr<const std::vector<std::uint16_t>> ends;
};
constexpr std::size_t kEndsMemoSlots = 64;
thread_local EndsMemo tEndsMemo[kEndsMemoSlots];

// Whether `ends` are the entry ends of a sound page whose entries share `prefix` bytes: rising,
// the first holding the prefix and the pointers (`trailer` bytes), every later one its pointers
// once the prefix is put back, the last within `room`. No ends at all make an empty page.
bool soundEnds(const std::vector<std::uint16_t>& ends, std::size_t prefix, std::size_t trailer,
               std::size_t room) {
    if (ends.empty()) return true;
    if (ends[0] == 0 || ends.back() > room || prefix > ends[0] || ends[0] < trailer) return false;
    for (std::size_t i = 1; i < ends.size(); ++i)
        if (ends[i] <= ends[i - 1] || ends[i] - ends[i - 1] + prefix < trailer) return false;
    return true;
}

// Keeps `ends` as the entry ends of the page whose header and mask are `header`.
void remember(EndsMemo& memo, const Format& f, std::size_t pageSize, ByteSpan header,
              std::shared_ptr<const std::vector<std::uint16_t>> ends) {
    memo.format = &f;
    memo.pageSize = pageSize;
    memo.header.assign(header.begin(), header.end());
    memo.ends = std::move(ends);
}

// Splits the stored form of one entry into its parts.
IndexEntry parseEntry(const ByteReader& r, std::span<const std::uint8_t> whole, bool leaf,
                      std::size_t offset) {
    const std::size_t trailer = kRowPointerSize + (leaf ? 0 : kChildPointerSize);
    if (whole.size() < trailer)
        r.fail(leaf ? "an index entry is too short for its row pointer"
                    : "an index entry is too short for its row and child pointers",
               offset);
    IndexEntry e;
    const std::size_t keyLength = whole.size() - trailer;
    e.key.assign(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(keyLength));
    const ByteReader entry(whole, r.what(), r.page());
    e.row.page = entry.u24be(keyLength);
    e.row.row = entry.u8(keyLength + 3);
    if (!leaf) e.child = entry.u32be(keyLength + kRowPointerSize);
    return e;
}

}  // namespace

void IndexEntry::appendTo(std::vector<std::uint8_t>& out, bool leaf) const {
    ByteBuilder b(out, "index entry");
    b.bytes(key);
    b.u24be(row.page);
    b.u8(row.row);
    if (!leaf) b.u32be(child);
}

std::strong_ordering compareKeys(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
    const std::size_t n = std::min(a.size(), b.size());
    if (n > 0)
        if (const int c = std::memcmp(a.data(), b.data(), n); c != 0) return c <=> 0;
    return a.size() <=> b.size();
}

std::strong_ordering compareEntries(const IndexEntry& a, const IndexEntry& b) {
    if (auto c = compareKeys(a.key, b.key); c != 0) return c;
    return a.row <=> b.row;
}

IndexPage decodeIndexPage(const Format& f, ByteSpan bytes, std::uint32_t number) {
    const ByteReader r(bytes, "index page", number);
    IndexPage p;
    p.number = number;
    const std::uint8_t type = r.u8(0);
    if (type != page_type::kIndexLeaf && type != page_type::kIndexNode)
        r.fail("the page is not an index page", 0);
    p.leaf = type == page_type::kIndexLeaf;
    p.owner = r.u32(kOwnerOffset);
    p.prev = r.u32(f.indexPrevPageOffset);
    p.next = r.u32(f.indexNextPageOffset);
    p.tail = r.u32(f.indexTailPageOffset);
    const std::size_t prefixLength = f.indexPrefixLengthSize == 1
                                         ? r.u8(f.indexPrefixLengthOffset)
                                         : r.u16(f.indexPrefixLengthOffset);
    const ByteSpan mask = r.bytes(f.indexEntryMaskOffset, f.indexEntryMaskLength);

    std::size_t marked = 0;
    for (const std::uint8_t bits : mask)
        marked += static_cast<std::size_t>(__builtin_popcount(bits));
    p.entries.reserve(marked);
    std::vector<std::uint8_t> prefix;
    std::vector<std::uint8_t> whole;
    std::size_t start = 0;  // of the current entry, from the first entry's start
    for (std::size_t i = 0; i < mask.size(); ++i) {
        unsigned bits = mask[i];
        while (bits != 0) {
            const std::size_t end = i * 8 + static_cast<std::size_t>(__builtin_ctz(bits));
            bits &= bits - 1;
            if (end <= start)
                r.fail("the entry mask marks an empty entry", f.indexEntryMaskOffset + i);
            const std::size_t at = f.indexFirstEntryOffset + start;
            const ByteSpan stored = r.bytes(at, end - start);
            whole.clear();
            if (p.entries.empty()) {
                if (prefixLength > stored.size())
                    r.fail("the shared prefix is longer than the first entry",
                           f.indexPrefixLengthOffset);
                prefix.assign(stored.begin(),
                              stored.begin() + static_cast<std::ptrdiff_t>(prefixLength));
            } else {
                whole = prefix;
            }
            whole.insert(whole.end(), stored.begin(), stored.end());
            IndexEntry e = parseEntry(r, whole, p.leaf, at);
            if (!p.entries.empty() && compareEntries(p.entries.back(), e) >= 0)
                r.fail("the index entries are out of order", at);
            p.entries.push_back(std::move(e));
            start = end;
        }
    }
    return p;
}

std::size_t indexPageCapacity(const Format& f) {
    return std::min<std::size_t>(f.pageSize - f.indexFirstEntryOffset, f.indexEntryMaskLength * 8);
}

namespace {

// The prefix the entries share: the common start of the first and the last entry, which the
// order makes common to all. It always leaves at least the last byte of the first entry stored.
std::size_t sharedPrefix(const Format& f, const IndexPage& p, std::vector<std::uint8_t>& first,
                         std::vector<std::uint8_t>& scratch) {
    first.clear();
    if (p.entries.size() < 2) return 0;
    p.entries.front().appendTo(first, p.leaf);
    scratch.clear();
    p.entries.back().appendTo(scratch, p.leaf);
    const std::size_t n = std::min(first.size(), scratch.size()) - 1;
    std::size_t k = 0;
    while (k < n && first[k] == scratch[k])
        ++k;
    const std::size_t limit = f.indexPrefixLengthSize == 1 ? 0xFF : 0xFFFF;
    return std::min(k, limit);
}

}  // namespace

std::size_t encodedEntriesSize(const Format& f, const IndexPage& p) {
    std::vector<std::uint8_t> a, b;
    const std::size_t prefix = sharedPrefix(f, p, a, b);
    std::size_t total = prefix;
    for (const auto& e : p.entries)
        total += e.size(p.leaf) - prefix;
    return total;
}

std::vector<std::uint8_t> encodeIndexPage(const Format& f, const IndexPage& p) {
    for (std::size_t i = 1; i < p.entries.size(); ++i)
        if (compareEntries(p.entries[i - 1], p.entries[i]) >= 0)
            throw std::logic_error("index entries out of order");
    std::vector<std::uint8_t> page(f.pageSize, 0);
    ByteWriter w(page, "index page", p.number);
    w.u8(0, p.leaf ? page_type::kIndexLeaf : page_type::kIndexNode);
    w.u8(1, 0x01);
    w.u32(kOwnerOffset, p.owner);
    w.u32(f.indexPrevPageOffset, p.prev);
    w.u32(f.indexNextPageOffset, p.next);
    w.u32(f.indexTailPageOffset, p.tail);

    std::vector<std::uint8_t> first, scratch;
    const std::size_t prefix = sharedPrefix(f, p, first, scratch);
    if (f.indexPrefixLengthSize == 1)
        w.u8(f.indexPrefixLengthOffset, static_cast<std::uint8_t>(prefix));
    else
        w.u16(f.indexPrefixLengthOffset, static_cast<std::uint32_t>(prefix));
    if (!p.leaf) w.u8(f.indexPrefixLengthOffset + f.indexPrefixLengthSize, 0x01);

    std::size_t pos = 0;  // from the first entry's start
    const std::size_t capacity = indexPageCapacity(f);
    std::vector<std::uint8_t> whole;
    for (std::size_t i = 0; i < p.entries.size(); ++i) {
        whole.clear();
        p.entries[i].appendTo(whole, p.leaf);
        const std::size_t skip = i == 0 ? 0 : prefix;
        const std::size_t length = whole.size() - skip;
        if (pos + length > capacity) throw std::logic_error("index entries do not fit the page");
        w.bytes(f.indexFirstEntryOffset + pos, ByteSpan(whole).subspan(skip));
        pos += length;
        page[f.indexEntryMaskOffset + pos / 8] |= static_cast<std::uint8_t>(1u << (pos % 8));
    }
    w.u16(kFreeSpaceOffset, static_cast<std::uint32_t>(f.pageSize - f.indexFirstEntryOffset - pos));
    return page;
}

IndexPageView::IndexPageView(const Format& f, ByteSpan bytes, std::uint32_t number)
    : format_(f), page_(bytes), number_(number) {
    const ByteReader r(bytes, "index page", number);
    const std::uint8_t type = r.u8(0);
    if (type != page_type::kIndexLeaf && type != page_type::kIndexNode)
        r.fail("the page is not an index page", 0);
    leaf_ = type == page_type::kIndexLeaf;
    next_ = r.u32(f.indexNextPageOffset);
    tail_ = r.u32(f.indexTailPageOffset);
    prefix_ = f.indexPrefixLengthSize == 1 ? r.u8(f.indexPrefixLengthOffset)
                                           : r.u16(f.indexPrefixLengthOffset);
    const ByteSpan mask = r.bytes(f.indexEntryMaskOffset, f.indexEntryMaskLength);
    const std::size_t trailer = leaf_ ? kRowPointerSize : kRowPointerSize + kChildPointerSize;
    const std::size_t room = bytes.size() - f.indexFirstEntryOffset;
    const ByteSpan header = r.bytes(0, f.indexFirstEntryOffset);
    EndsMemo& memo = tEndsMemo[number % kEndsMemoSlots];
    if (memo.ends && memo.format == &f && memo.pageSize == bytes.size() &&
        std::equal(header.begin(), header.end(), memo.header.begin(), memo.header.end())) {
        ends_ = memo.ends;
        return;
    }

    // The ends of the entries, as the mask marks them; every page on the way to a key is read
    // this way, so the common case of a sound page is checked as a whole afterwards.
    auto decoded = std::make_shared<std::vector<std::uint16_t>>();
    std::vector<std::uint16_t>& ends = *decoded;
    ends.reserve(mask.size() * 2);
    // Eight mask bytes at a time (bit n of the word is bit n % 8 of byte n / 8), mostly zero.
    for (std::size_t i = 0; i < mask.size(); i += 8) {
        const std::size_t n = std::min<std::size_t>(8, mask.size() - i);
        std::uint64_t bits = 0;
        if (n == 8) {
            std::uint8_t word[8];
            std::memcpy(word, mask.data() + i, 8);
            for (std::size_t k = 0; k < 8; ++k)
                bits |= static_cast<std::uint64_t>(word[k]) << (8 * k);
            if (bits == 0) continue;
        } else {
            for (std::size_t k = 0; k < n; ++k)
                bits |= static_cast<std::uint64_t>(mask[i + k]) << (8 * k);
        }
        while (bits != 0) {
            ends.push_back(static_cast<std::uint16_t>(
                i * 8 + static_cast<std::size_t>(__builtin_ctzll(bits))));
            bits &= bits - 1;
        }
    }
    if (soundEnds(ends, prefix_, trailer, room)) {
        remember(memo, f, bytes.size(), header, decoded);
        ends_ = std::move(decoded);
        return;
    }

    // Otherwise the entries are walked again to name the first fault and where it is.
    std::size_t start = 0;
    std::size_t seen = 0;
    for (std::size_t i = 0; i < mask.size(); ++i) {
        unsigned bits = mask[i];
        while (bits != 0) {
            const std::size_t end = i * 8 + static_cast<std::size_t>(__builtin_ctz(bits));
            bits &= bits - 1;
            const std::size_t at = f.indexFirstEntryOffset + start;
            if (end <= start)
                r.fail("the entry mask marks an empty entry", f.indexEntryMaskOffset + i);
            if (end > room) (void)r.bytes(at, end - start);  // fails: past the page's end
            if (seen == 0 && prefix_ > end - start)
                r.fail("the shared prefix is longer than the first entry",
                       f.indexPrefixLengthOffset);
            if ((end - start) + (seen == 0 ? 0 : prefix_) < trailer)
                r.fail(leaf_ ? "an index entry is too short for its row pointer"
                             : "an index entry is too short for its row and child pointers",
                       at);
            ++seen;
            start = end;
        }
    }
    r.fail("the entry mask of an index page could not be read", f.indexEntryMaskOffset);
}

void IndexPageView::entryBytes(std::size_t i, std::vector<std::uint8_t>& out) const {
    const std::size_t base = format_.indexFirstEntryOffset;
    out.clear();
    if (i == 0) {
        out.insert(out.end(), page_.begin() + static_cast<std::ptrdiff_t>(base),
                   page_.begin() + static_cast<std::ptrdiff_t>(base + entryEnds()[0]));
        return;
    }
    out.insert(out.end(), page_.begin() + static_cast<std::ptrdiff_t>(base),
               page_.begin() + static_cast<std::ptrdiff_t>(base + prefix_));
    out.insert(out.end(), page_.begin() + static_cast<std::ptrdiff_t>(base + entryEnds()[i - 1]),
               page_.begin() + static_cast<std::ptrdiff_t>(base + entryEnds()[i]));
}

IndexEntry IndexPageView::entry(std::size_t i) const {
    entryBytes(i, scratch_);
    const ByteReader r(page_, "index page", number_);
    return parseEntry(r, scratch_, leaf_, format_.indexFirstEntryOffset);
}

IndexPageView::Pieces IndexPageView::pieces(std::size_t i) const {
    const std::uint8_t* base = page_.data() + format_.indexFirstEntryOffset;
    if (i == 0) return {ByteSpan(base, entryEnds()[0]), ByteSpan()};
    return {ByteSpan(base, prefix_),
            ByteSpan(base + entryEnds()[i - 1], entryEnds()[i] - entryEnds()[i - 1])};
}

std::strong_ordering IndexPageView::compareKeyAt(const Pieces& e, std::size_t keyLength,
                                                 std::span<const std::uint8_t> key) {
    // The stored key is the head's first bytes, then the rest's, `keyLength` in all.
    const std::size_t fromHead = std::min(e.head.size(), keyLength);
    const std::size_t n = std::min(fromHead, key.size());
    if (n > 0)
        if (const int c = std::memcmp(e.head.data(), key.data(), n); c != 0) return c <=> 0;
    if (n < fromHead) return std::strong_ordering::greater;  // `key` ends first
    const std::size_t fromRest = keyLength - fromHead;
    const std::size_t m = std::min(fromRest, key.size() - fromHead);
    if (m > 0)
        if (const int c = std::memcmp(e.rest.data(), key.data() + fromHead, m); c != 0)
            return c <=> 0;
    return keyLength <=> key.size();
}

std::strong_ordering IndexPageView::compareAt(std::size_t i, std::span<const std::uint8_t> key,
                                              RowId row) const {
    const std::size_t trailer = leaf_ ? kRowPointerSize : kRowPointerSize + kChildPointerSize;
    const Pieces e = pieces(i);
    const std::size_t keyLength = e.size() - trailer;  // sound ends hold the trailer
    const auto c = compareKeyAt(e, keyLength, key);
    if (c != 0) return c;
    const RowId stored{static_cast<std::uint32_t>(e.at(keyLength) << 16 | e.at(keyLength + 1) << 8 |
                                                  e.at(keyLength + 2)),
                       e.at(keyLength + 3)};
    return stored <=> row;
}

std::uint32_t IndexPageView::childAt(std::size_t i) const {
    const Pieces e = pieces(i);
    const std::size_t at = e.size() - kChildPointerSize;  // sound ends hold the pointers
    return static_cast<std::uint32_t>(e.at(at)) << 24 |
           static_cast<std::uint32_t>(e.at(at + 1)) << 16 |
           static_cast<std::uint32_t>(e.at(at + 2)) << 8 | e.at(at + 3);
}

std::size_t IndexPageView::lowerBound(std::span<const std::uint8_t> key, RowId row) const {
    std::size_t lo = 0, hi = entryEnds().size();
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (compareAt(mid, key, row) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

bool IndexPageView::keyAt(std::size_t i, std::span<const std::uint8_t> key) const {
    const Pieces e = pieces(i);
    const std::size_t keyLength =
        e.size() - (leaf_ ? kRowPointerSize : kRowPointerSize + kChildPointerSize);
    return keyLength == key.size() && compareKeyAt(e, keyLength, key) == 0;
}

std::optional<bool> IndexPageView::keyIsNewAt(std::size_t pos,
                                              std::span<const std::uint8_t> key) const {
    if (!leaf_ || pos == 0 || pos > size()) return std::nullopt;
    const auto sameKey = [&](std::size_t i) { return keyAt(i, key); };
    // Entries of one key lie side by side, so the one before `pos` and the one at it decide.
    if (sameKey(pos - 1)) return false;
    if (pos < size()) return !sameKey(pos);
    if (next_ == 0) return true;
    return std::nullopt;
}

bool IndexPageView::canInsertInPlace(const IndexEntry& e) const {
    if (!leaf_) return false;
    const std::size_t whole = e.size(true);
    const std::size_t base = format_.indexFirstEntryOffset;
    if (!entryEnds().empty()) {
        if (whole <= prefix_) return false;
        if (!std::equal(
                e.key.begin(),
                e.key.begin() + static_cast<std::ptrdiff_t>(std::min(prefix_, e.key.size())),
                page_.begin() + static_cast<std::ptrdiff_t>(base)))
            return false;
        if (prefix_ > e.key.size()) {
            // The prefix reaches into the row pointer.
            std::vector<std::uint8_t> bytes;
            e.appendTo(bytes, true);
            if (!std::equal(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(prefix_),
                            page_.begin() + static_cast<std::ptrdiff_t>(base)))
                return false;
        }
    }
    const std::size_t added = whole - (entryEnds().empty() ? 0 : prefix_);
    return used() + added <= indexPageCapacity(format_);
}

bool IndexPageView::insertInPlace(std::span<std::uint8_t> page, std::size_t pos,
                                  const IndexEntry& e) const {
    if (!canInsertInPlace(e)) return false;
    std::vector<std::uint8_t>& whole = scratch_;
    whole.clear();
    e.appendTo(whole, true);
    const std::size_t base = format_.indexFirstEntryOffset;
    const std::size_t added = whole.size() - (entryEnds().empty() ? 0 : prefix_);

    const std::vector<std::uint16_t>& was = entryEnds();
    const std::size_t n = was.size();
    std::vector<std::uint16_t> ends(n + 1);
    auto mask = page.subspan(format_.indexEntryMaskOffset, format_.indexEntryMaskLength);
    const auto setEnds = [&](std::size_t from) {
        for (std::size_t k = from; k <= n; ++k)
            mask[ends[k] / 8u] |= static_cast<std::uint8_t>(1u << (ends[k] % 8u));
    };
    if (pos == 0 && n > 0) {
        // The new entry is stored whole; the old first one loses its prefix.
        std::memmove(page.data() + base + whole.size() + was[0] - prefix_,
                     page.data() + base + was[0], used() - was[0]);
        std::memmove(page.data() + base + whole.size(), page.data() + base + prefix_,
                     was[0] - prefix_);
        std::copy(whole.begin(), whole.end(), page.begin() + static_cast<std::ptrdiff_t>(base));
        ends[0] = static_cast<std::uint16_t>(whole.size());
        for (std::size_t i = 0; i < n; ++i)
            ends[i + 1] = static_cast<std::uint16_t>(was[i] + added);
        std::fill(mask.begin(), mask.end(), 0);
        setEnds(0);
    } else {
        const std::size_t at = pos == 0 ? 0 : was[pos - 1];
        const std::size_t skip = n == 0 ? 0 : prefix_;
        std::memmove(page.data() + base + at + added, page.data() + base + at, used() - at);
        std::copy(whole.begin() + static_cast<std::ptrdiff_t>(skip), whole.end(),
                  page.begin() + static_cast<std::ptrdiff_t>(base + at));
        std::copy(was.begin(), was.begin() + static_cast<std::ptrdiff_t>(pos), ends.begin());
        ends[pos] = static_cast<std::uint16_t>(at + added);
        for (std::size_t i = pos; i < n; ++i)
            ends[i + 1] = static_cast<std::uint16_t>(was[i] + added);
        if (pos == 0) {
            std::fill(mask.begin(), mask.end(), 0);
            setEnds(0);
        } else {
            // The ends up to `at` stay where they are: only the mask's bits after it change.
            mask[at / 8u] &= static_cast<std::uint8_t>((2u << (at % 8u)) - 1u);
            std::fill(mask.begin() + static_cast<std::ptrdiff_t>(at / 8u + 1), mask.end(), 0);
            setEnds(pos);
        }
    }
    ByteWriter w(page, "index page", number_);
    if (entryEnds().empty()) {
        // A page that was empty gets its one entry whole and shares no prefix.
        w.fill(format_.indexPrefixLengthOffset, format_.indexPrefixLengthSize);
    }
    w.u16(kFreeSpaceOffset, static_cast<std::uint16_t>(format_.pageSize - base - ends.back()));

    // The next view of the page finds its new entry ends without reading the mask again, when
    // they are what reading it would give: rising, and passing the check of a sound page. A view
    // is only ever made of sound ends; an entry put after the first keeps every old gap and adds
    // one of the whole new entry (longer than its row pointer), so only the page's end is left to
    // check then.
    const bool sound =
        pos > 0 ? ends.back() <= page.size() - base
                : soundEnds(ends, n == 0 ? 0 : prefix_, kRowPointerSize, page.size() - base);
    if (sound)
        remember(tEndsMemo[number_ % kEndsMemoSlots], format_, page.size(),
                 ByteSpan(page.data(), base),
                 std::make_shared<const std::vector<std::uint16_t>>(std::move(ends)));
    return true;
}

}  // namespace jet
