// Index pages and the B-tree: every index page Access wrote in the fixtures decodes, re-encodes
// to the same entries and passes the tree's checks; damaged pages are refused; and a tree grown
// and shrunk through thousands of inserts and removals (in key order, at random, with long
// keys and duplicates) always holds exactly what a plain ordered set holds, with a valid
// structure, full pages when filled in order, and every page given back when emptied.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "db/jet/base/error.h"
#include "db/jet/database/database.h"
#include "db/jet/index/index_btree.h"
#include "db/jet/index/index_builder.h"
#include "tests/support/test_env.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
const jet::Format& jet4() {
    return jet::Format::of(jet::Version::Jet4);
}

// Index pages in memory, counting what the tree allocates and releases.
class MemoryPages : public jet::IndexPages {
  public:
    jet::PageRef read(std::uint32_t page) override {
        auto it = pages_.find(page);
        if (it == pages_.end()) throw jet::Error(jet::ErrorKind::Corrupt, "no such page");
        return it->second;
    }
    void write(std::uint32_t page, const Bytes& image) override {
        auto p = std::make_shared<jet::Page>();
        p->number = page;
        p->bytes = image;
        pages_[page] = p;
    }
    std::uint32_t allocate() override {
        const std::uint32_t n = next_++;
        live_.insert(n);
        return n;
    }
    void release(std::uint32_t page) override {
        EXPECT_EQ(live_.erase(page), 1u) << "released a page twice: " << page;
        pages_.erase(page);
    }
    std::size_t live() const { return live_.size(); }

  private:
    std::map<std::uint32_t, jet::PageRef> pages_;
    std::set<std::uint32_t> live_;
    std::uint32_t next_ = 100;
};

constexpr std::uint32_t kRoot = 10;
constexpr std::uint32_t kOwner = 7;

jet::IndexEntry entry(Bytes key, std::uint32_t page, std::uint8_t row) {
    jet::IndexEntry e;
    e.key = std::move(key);
    e.row = {page, row};
    return e;
}

// A Long Integer key as the index stores it.
Bytes longKey(std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v) ^ 0x80000000u;
    return {0x7f, static_cast<std::uint8_t>(u >> 24), static_cast<std::uint8_t>(u >> 16),
            static_cast<std::uint8_t>(u >> 8), static_cast<std::uint8_t>(u)};
}

struct Less {
    bool operator()(const jet::IndexEntry& a, const jet::IndexEntry& b) const {
        return jet::compareEntries(a, b) < 0;
    }
};
using Model = std::set<jet::IndexEntry, Less>;

void expectSame(jet::IndexTree& tree, const Model& model) {
    std::vector<jet::IndexEntry> got;
    tree.forEach([&](const jet::IndexEntry& e) { got.push_back(e); });
    ASSERT_EQ(got.size(), model.size());
    std::size_t i = 0;
    for (const auto& m : model) {
        ASSERT_EQ(got[i].key, m.key) << "entry " << i;
        ASSERT_EQ(got[i].row, m.row) << "entry " << i;
        ++i;
    }
}

class Tree : public testing::Test {
  protected:
    void SetUp() override { pages.write(kRoot, jet::IndexTree::emptyRoot(jet4(), kOwner)); }
    MemoryPages pages;
    jet::IndexTree tree{pages, jet4(), kRoot, kOwner};
    Model model;
};

TEST_F(Tree, FilledInKeyOrderHasFullPagesAndAllTailsOnTheRight) {
    for (int i = 0; i < 20000; ++i) {
        auto e = entry(longKey(i), 1000 + static_cast<std::uint32_t>(i / 200),
                       static_cast<std::uint8_t>(i % 200));
        tree.insert(e);
        model.insert(e);
    }
    expectSame(tree, model);
    // 9-byte entries, 3616 bytes a page (less with shared prefixes): 20000 entries fit in
    // about 50 leaves when the pages are full, not 100 as with halved pages.
    EXPECT_LE(pages.live(), 60u);
    // The root names its last child as its tail.
    const auto root = jet::decodeIndexPage(jet4(), pages.read(kRoot)->span(), kRoot);
    EXPECT_FALSE(root.leaf);
    EXPECT_NE(root.tail, 0u);
    EXPECT_EQ(root.owner, kOwner);
}

TEST_F(Tree, RandomInsertsAndRemovalsKeepTheTreeExact) {
    std::mt19937 rng(12345);
    std::vector<jet::IndexEntry> all;
    for (int step = 0; step < 12000; ++step) {
        const bool add = all.empty() || rng() % 3 != 0;
        if (add) {
            // Keys of 1 to 300 bytes from a small alphabet, so that many share prefixes and
            // keys repeat (a key repeats with other rows, as in an index that is not unique).
            Bytes key(1 + rng() % (rng() % 8 == 0 ? 300 : 12));
            for (auto& b : key)
                b = static_cast<std::uint8_t>(0x40 + rng() % 4);
            auto e = entry(key, 1 + rng() % 5000, static_cast<std::uint8_t>(rng() % 256));
            if (model.count(e)) continue;
            // The insert tells whether the key is new, as containsKey would have before it.
            const auto first = model.lower_bound(entry(key, 0, 0));
            const bool hadKey = first != model.end() && first->key == key;
            bool keyWasNew = hadKey;
            tree.insert(e, &keyWasNew);
            ASSERT_EQ(keyWasNew, !hadKey) << "step " << step;
            model.insert(e);
            all.push_back(e);
        } else {
            const std::size_t i = rng() % all.size();
            EXPECT_TRUE(tree.remove(all[i]));
            model.erase(all[i]);
            all[i] = all.back();
            all.pop_back();
        }
        if (step % 1000 == 999) expectSame(tree, model);
    }
    expectSame(tree, model);
    // Lookups agree with the model.
    for (int i = 0; i < 200; ++i) {
        const auto& probe = all[rng() % all.size()];
        auto it = model.lower_bound(probe);
        auto found = tree.lowerBound(probe);
        ASSERT_TRUE(found);
        EXPECT_EQ(found->key, it->key);
        EXPECT_EQ(found->row, it->row);
        EXPECT_TRUE(tree.containsKey(probe.key));
    }
    EXPECT_FALSE(tree.containsKey(Bytes{0x3f}));
    // Emptied again, the tree gives every page back and its root is an empty leaf.
    for (const auto& e : all)
        ASSERT_TRUE(tree.remove(e));
    EXPECT_EQ(pages.live(), 0u);
    const auto root = jet::decodeIndexPage(jet4(), pages.read(kRoot)->span(), kRoot);
    EXPECT_TRUE(root.leaf);
    EXPECT_TRUE(root.entries.empty());
    EXPECT_EQ(tree.pages(), std::vector<std::uint32_t>{kRoot});
}

// A unique index asks whether a key is there, then inserts it where the question found it
// would go. Questions about other keys, inserts and removals between the two, and a leaf put
// back as it was before (as a rolled-back statement leaves it) must never let an entry go to
// a place the tree no longer gives it.
TEST_F(Tree, AnInsertAfterAskingForItsKeyGoesWhereTheTreeIsNow) {
    std::mt19937 rng(777);
    std::vector<jet::IndexEntry> all;
    std::uint32_t row = 0;
    const auto fresh = [&](bool inOrder) {
        Bytes key = inOrder ? longKey(static_cast<std::int32_t>(row))
                            : longKey(static_cast<std::int32_t>(rng() % 1000000));
        ++row;
        return entry(key, 1 + row / 200, static_cast<std::uint8_t>(row % 200));
    };
    for (int step = 0; step < 20000; ++step) {
        const unsigned what = rng() % 10;
        auto e = fresh(step < 8000);
        const bool present = tree.containsKey(e.key);
        const auto first = model.lower_bound(entry(e.key, 0, 0));
        ASSERT_EQ(present, first != model.end() && first->key == e.key) << "step " << step;
        if (present) continue;
        if (what == 0 && !all.empty()) {
            // Another key goes in first: the answer about `e` no longer says where it goes.
            auto other = fresh(false);
            if (!tree.containsKey(other.key)) {
                tree.insert(other);
                model.insert(other);
                all.push_back(other);
            }
        } else if (what == 1 && !all.empty()) {
            const std::size_t i = rng() % all.size();
            ASSERT_TRUE(tree.remove(all[i]));
            model.erase(all[i]);
            all[i] = all.back();
            all.pop_back();
        } else if (what == 2 && !all.empty()) {
            // A key asked about but not inserted, then the one before.
            (void)tree.containsKey(fresh(false).key);
        }
        if (model.count(e)) continue;
        tree.insert(e);
        model.insert(e);
        all.push_back(e);
        if (step % 2000 == 1999) expectSame(tree, model);
    }
    expectSame(tree, model);

    // A leaf put back as it was while the answer was given: the insert finds the page changed
    // and goes the long way.
    auto e = entry(longKey(2000000), 9000, 1);
    auto later = entry(longKey(2000001), 9000, 2);
    const jet::PageRef before = pages.read(kRoot);
    std::uint32_t leaf = kRoot;
    for (jet::IndexPage p = jet::decodeIndexPage(jet4(), before->span(), kRoot); !p.leaf;
         p = jet::decodeIndexPage(jet4(), pages.read(leaf)->span(), leaf))
        leaf = p.tail ? p.tail : p.entries.back().child;
    const Bytes leafBefore = pages.read(leaf)->bytes;
    ASSERT_FALSE(tree.containsKey(e.key));
    tree.insert(e);
    ASSERT_FALSE(tree.containsKey(later.key));  // to go just after `e`
    pages.write(leaf, leafBefore);              // the insert of `e` undone behind the tree's back
    tree.insert(later);
    model.insert(later);
    expectSame(tree, model);
}

TEST_F(Tree, InsertsInReverseAndInTheMiddleOfFullPages) {
    for (int i = 30000; i > 0; i -= 3) {
        auto e = entry(longKey(i), 2, 0);
        tree.insert(e);
        model.insert(e);
    }
    for (int i = 1; i < 30000; i += 3) {
        auto e = entry(longKey(i), 3, 1);
        tree.insert(e);
        model.insert(e);
    }
    expectSame(tree, model);
}

TEST_F(Tree, RefusesTheSameEntryTwiceAndRemovesOnlyWhatItHas) {
    const auto e = entry(longKey(5), 9, 1);
    tree.insert(e);
    EXPECT_THROW(tree.insert(e), jet::Error);
    EXPECT_FALSE(tree.remove(entry(longKey(5), 9, 2)));
    EXPECT_FALSE(tree.remove(entry(longKey(6), 9, 1)));
    EXPECT_TRUE(tree.remove(e));
    EXPECT_FALSE(tree.remove(e));
}

// ---- built from sorted entries ----

// Builds a tree from `model` (in order) onto kRoot.
void build(MemoryPages& pages, const Model& model) {
    jet::IndexBuilder builder(pages, jet4(), kRoot, kOwner);
    for (const auto& e : model)
        builder.add(e);
    builder.finish();
}

// Every page of the tree, decoded, by level from the root down.
std::vector<std::vector<jet::IndexPage>> levels(MemoryPages& pages) {
    std::vector<std::vector<jet::IndexPage>> out;
    std::vector<std::uint32_t> current{kRoot};
    while (!current.empty()) {
        std::vector<jet::IndexPage> level;
        std::vector<std::uint32_t> next;
        for (std::uint32_t n : current) {
            level.push_back(jet::decodeIndexPage(jet4(), pages.read(n)->span(), n));
            for (const auto& e : level.back().entries)
                if (!level.back().leaf) next.push_back(e.child);
            if (level.back().tail) next.push_back(level.back().tail);
        }
        out.push_back(std::move(level));
        current = std::move(next);
    }
    return out;
}

TEST(TreeBuilder, SizesFromNoEntryToSeveralLevelsHoldExactlyTheirEntries) {
    std::mt19937 rng(7);
    for (const int n : {0, 1, 2, 400, 401, 5000, 150000}) {
        SCOPED_TRACE(n);
        MemoryPages pages;
        pages.write(kRoot, jet::IndexTree::emptyRoot(jet4(), kOwner));
        Model model;
        for (int i = 0; i < n; ++i)
            model.insert(entry(longKey(static_cast<std::int32_t>(rng())), 1 + rng() % 90000,
                               static_cast<std::uint8_t>(rng() % 255)));
        build(pages, model);
        jet::IndexTree tree(pages, jet4(), kRoot, kOwner);
        expectSame(tree, model);  // forEach checks bounds, order and the chains of each level
        const auto tree_levels = levels(pages);
        // Every page but the root was allocated, and every allocated page is in the tree.
        std::size_t inTree = 0;
        for (const auto& l : tree_levels)
            inTree += l.size();
        EXPECT_EQ(pages.live(), inTree - 1);
        for (const auto& l : tree_levels)
            for (const auto& p : l) {
                EXPECT_EQ(p.owner, kOwner);
                // A page with several children names the last as its tail.
                if (!p.leaf) {
                    EXPECT_EQ(p.tail != 0, p.entries.size() + (p.tail ? 1 : 0) > 1);
                }
            }
        if (n == 150000) {
            EXPECT_GE(tree_levels.size(), 3u);
        }
        // Leaves are full: none could have taken the first entry of the next one.
        const auto& leaves = tree_levels.back();
        for (std::size_t i = 0; i + 1 < leaves.size() && n > 1; ++i) {
            jet::IndexPage grown = leaves[i];
            grown.entries.push_back(leaves[i + 1].entries.front());
            EXPECT_GT(jet::encodedEntriesSize(jet4(), grown), jet::indexPageCapacity(jet4()))
                << "leaf " << i;
        }
        // The tree takes inserts and removals like one grown entry by entry.
        for (int k = 0; k < 300 && n > 0; ++k) {
            auto e = entry(longKey(static_cast<std::int32_t>(rng())), 95000,
                           static_cast<std::uint8_t>(k % 250));
            if (model.count(e)) continue;
            tree.insert(e);
            model.insert(e);
            const auto victim = std::next(model.begin(), static_cast<long>(rng() % model.size()));
            ASSERT_TRUE(tree.remove(*victim));
            model.erase(victim);
        }
        expectSame(tree, model);
    }
}

TEST(TreeBuilder, LongKeysWithSharedPrefixesAndTheLimits) {
    MemoryPages pages;
    pages.write(kRoot, jet::IndexTree::emptyRoot(jet4(), kOwner));
    Model model;
    std::mt19937 rng(3);
    // Keys of 1 to 900 bytes that share long prefixes, so pages hold few entries and their
    // prefixes change from page to page.
    for (int i = 0; i < 4000; ++i) {
        Bytes key(1 + rng() % (i % 10 == 0 ? 900 : 40), 0x41);
        for (std::size_t k = key.size() / 2; k < key.size(); ++k)
            key[k] = static_cast<std::uint8_t>(0x41 + rng() % 3);
        model.insert(entry(key, 1 + rng() % 1000, static_cast<std::uint8_t>(rng() % 200)));
    }
    build(pages, model);
    jet::IndexTree tree(pages, jet4(), kRoot, kOwner);
    expectSame(tree, model);

    jet::IndexBuilder builder(pages, jet4(), kRoot, kOwner);
    builder.add(entry(longKey(5), 1, 1));
    EXPECT_THROW(builder.add(entry(longKey(5), 1, 1)), std::logic_error);  // not greater
    EXPECT_THROW(builder.add(entry(longKey(4), 1, 1)), std::logic_error);
    EXPECT_THROW(builder.add(entry(Bytes(jet::IndexBuilder::maxKeySize(jet4()) + 1, 0x7f), 1, 2)),
                 std::logic_error);
    EXPECT_NO_THROW(builder.add(entry(Bytes(jet::IndexBuilder::maxKeySize(jet4()), 0x80), 1, 2)));
    EXPECT_NO_THROW(builder.add(entry(Bytes(jet::IndexBuilder::maxKeySize(jet4()), 0x80), 1, 3)));
}

// ---- pages ----

TEST(IndexPages, EncodeTheHeaderEntriesMaskAndPrefix) {
    jet::IndexPage p;
    p.number = 5;
    p.leaf = true;
    p.owner = 0x01020304;
    p.prev = 6;
    p.next = 7;
    p.entries.push_back(entry(longKey(1), 0x000105, 3));
    p.entries.push_back(entry(longKey(2), 0x000105, 4));
    const Bytes b = jet::encodeIndexPage(jet4(), p);
    ASSERT_EQ(b.size(), 4096u);
    EXPECT_EQ(b[0], 0x04);
    EXPECT_EQ(b[1], 0x01);
    EXPECT_EQ(b[4], 0x04);  // owner, little-endian
    EXPECT_EQ(b[12], 6);    // previous page
    EXPECT_EQ(b[16], 7);    // next page
    // Shared prefix: 7f 80 00 00 (the keys differ in their last byte).
    EXPECT_EQ(b[24], 4);
    const Bytes first(b.begin() + 0x1e0, b.begin() + 0x1e0 + 9);
    EXPECT_EQ(first, (Bytes{0x7f, 0x80, 0x00, 0x00, 0x01, 0x00, 0x01, 0x05, 0x03}));
    const Bytes second(b.begin() + 0x1e0 + 9, b.begin() + 0x1e0 + 14);
    EXPECT_EQ(second, (Bytes{0x02, 0x00, 0x01, 0x05, 0x04}));
    // The mask marks the ends of the entries: 9 and 14.
    EXPECT_EQ(b[27 + 1], (1 << 1) | (1 << 6));
    // Free space: 4096 - 0x1e0 - 14.
    EXPECT_EQ(b[2] | (b[3] << 8), 4096 - 0x1e0 - 14);
    const auto back = jet::decodeIndexPage(jet4(), b, 5);
    ASSERT_EQ(back.entries.size(), 2u);
    EXPECT_EQ(back.entries[1].key, longKey(2));
    EXPECT_EQ(back.entries[1].row, (jet::RowId{0x105, 4}));
}

TEST(IndexPages, IntermediatePagesCarryChildPagesAndTheirMark) {
    jet::IndexPage p;
    p.leaf = false;
    p.tail = 33;
    p.entries.push_back(entry(longKey(9), 40, 2));
    p.entries.back().child = 0x01020304;
    const Bytes b = jet::encodeIndexPage(jet4(), p);
    EXPECT_EQ(b[0], 0x03);
    EXPECT_EQ(b[20], 33);
    EXPECT_EQ(b[26], 1);
    const Bytes child(b.begin() + 0x1e0 + 9, b.begin() + 0x1e0 + 13);
    EXPECT_EQ(child, (Bytes{1, 2, 3, 4}));  // big-endian
    const auto back = jet::decodeIndexPage(jet4(), b, 1);
    EXPECT_EQ(back.entries[0].child, 0x01020304u);
    EXPECT_EQ(back.tail, 33u);
}

TEST(IndexPages, AViewOrdersEntriesAndNamesChildrenAsTheDecodedPage) {
    // Keys sharing a long prefix (left out of every entry but the first), keys that are
    // prefixes of others, and one key under several rows: the view's comparisons and child
    // pages, read in place, agree with the decoded entries for every pair and every probe.
    for (const bool leaf : {true, false}) {
        jet::IndexPage p;
        p.leaf = leaf;
        const Bytes common{0x7f, 0x10, 0x20, 0x30, 0x40, 0x50};
        std::uint32_t child = 0x0a0b0c00;
        for (const Bytes& tail : {Bytes{}, Bytes{0x01}, Bytes{0x01, 0x00}, Bytes{0x02}, Bytes{0x02},
                                  Bytes{0x02}, Bytes{0xff, 0xff}}) {
            Bytes key = common;
            key.insert(key.end(), tail.begin(), tail.end());
            p.entries.push_back(entry(key, 0x10203, static_cast<std::uint8_t>(p.entries.size())));
            p.entries.back().child = ++child;
        }
        const Bytes b = jet::encodeIndexPage(jet4(), p);
        const jet::IndexPageView view(jet4(), b, 500 + leaf);
        ASSERT_EQ(view.size(), p.entries.size());
        ASSERT_EQ(view.prefixLength(), common.size()) << leaf;
        std::vector<jet::IndexEntry> probes = p.entries;
        probes.push_back(entry(Bytes{0x7f}, 0, 0));             // before everything
        probes.push_back(entry(common, 0xffffff, 0xff));        // between the first two
        probes.push_back(entry(Bytes{0x80}, 0, 0));             // after everything
        probes.push_back(entry(p.entries[4].key, 0x10203, 4));  // among the rows of one key
        probes.back().row.row = 200;
        for (std::size_t i = 0; i < view.size(); ++i) {
            if (!leaf) {
                EXPECT_EQ(view.childAt(i), p.entries[i].child) << i;
            }
            for (const auto& probe : probes)
                EXPECT_EQ(view.compareAt(i, probe), jet::compareEntries(p.entries[i], probe))
                    << leaf << " " << i;
        }
        for (const auto& probe : probes) {
            const auto expected =
                std::lower_bound(p.entries.begin(), p.entries.end(), probe, Less{});
            EXPECT_EQ(view.lowerBound(probe.key, probe.row),
                      static_cast<std::size_t>(expected - p.entries.begin()));
        }
    }
}

TEST(IndexPages, DamagedPagesAreRefusedWithWhereAndWhat) {
    // A null key (one byte) and a Long Integer key: no shared prefix.
    jet::IndexPage p;
    p.entries.push_back(entry(Bytes{0x00}, 10, 1));
    p.entries.push_back(entry(longKey(2), 10, 2));
    const Bytes good = jet::encodeIndexPage(jet4(), p);
    ASSERT_EQ(good[24], 0);
    // The page decoder and the view the tree reads pages through refuse the same faults (the
    // view leaves the order of the entries to the integrity check).
    auto expectCorrupt = [](const Bytes& b, const std::string& what, bool viewToo = true) {
        auto check = [&](const char* reader, const auto& read) {
            try {
                read();
                ADD_FAILURE() << reader << ": no error for " << what;
            } catch (const jet::Error& e) {
                EXPECT_EQ(e.kind(), jet::ErrorKind::Corrupt) << reader;
                EXPECT_NE(e.message().find(what), std::string::npos)
                    << reader << ": " << e.message();
                EXPECT_NE(e.message().find("page 12"), std::string::npos) << e.message();
            }
        };
        check("decoder", [&] { jet::decodeIndexPage(jet4(), b, 12); });
        if (viewToo) check("view", [&] { jet::IndexPageView(jet4(), b, 12); });
    };
    EXPECT_EQ(jet::IndexPageView(jet4(), good, 12).size(), 2u);
    Bytes b = good;
    b[0] = 0x01;
    expectCorrupt(b, "not an index page");
    b = good;
    b[24] = 200;  // prefix longer than the first entry
    expectCorrupt(b, "shared prefix is longer than the first entry");
    b = good;
    b[27 + 452] = 0x80;  // an entry ending past the page
    expectCorrupt(b, "run past its end");
    b = good;
    b[27] |= 0x02;  // an entry of one byte, too short for its row pointer
    expectCorrupt(b, "too short for its row pointer");
    b = good;
    b[27 + 1] |= 0x10;  // the second entry cut at byte 12: a last piece of two bytes
    expectCorrupt(b, "too short for its row pointer");
    b = good;
    b[27] |= 0x01;  // an entry of no bytes at all
    expectCorrupt(b, "empty entry");
    b = good;
    std::swap(b[0x1e0], b[0x1e0 + 5]);  // the second key below the first
    expectCorrupt(b, "out of order", /*viewToo=*/false);
}

TEST(IndexPages, AViewSeesThePageAsItIsAfterInsertsInPlaceAndAfterDamage) {
    // Views of one page number, made again and again as the tree makes them: after each insert
    // in place they hold exactly what the page decodes to, and a mask damaged afterwards is
    // refused as on a page never seen.
    jet::IndexPage p;
    for (int k : {10, 20, 30})
        p.entries.push_back(entry(longKey(k), 40, static_cast<std::uint8_t>(k)));
    Bytes b = jet::encodeIndexPage(jet4(), p);
    constexpr std::uint32_t kNumber = 77;
    const std::pair<int, std::size_t> inserts[] = {{5, 0}, {25, 3}, {35, 5}, {15, 2}};
    for (const auto& [k, pos] : inserts) {
        const jet::IndexPageView before(jet4(), b, kNumber);
        ASSERT_TRUE(before.insertInPlace(b, pos, entry(longKey(k), 41, 1))) << k;
        const jet::IndexPageView after(jet4(), b, kNumber);
        const auto decoded = jet::decodeIndexPage(jet4(), b, kNumber);
        ASSERT_EQ(after.size(), decoded.entries.size()) << k;
        for (std::size_t i = 0; i < after.size(); ++i) {
            EXPECT_EQ(after.entry(i).key, decoded.entries[i].key) << k << " " << i;
            EXPECT_EQ(after.entry(i).row.page, decoded.entries[i].row.page) << k << " " << i;
            EXPECT_EQ(after.entry(i).row.row, decoded.entries[i].row.row) << k << " " << i;
        }
    }
    EXPECT_EQ(jet::IndexPageView(jet4(), b, kNumber).size(), 7u);
    // Another page of the same number and slot: its own entries.
    EXPECT_EQ(jet::IndexPageView(jet4(), jet::encodeIndexPage(jet4(), p), kNumber).size(), 3u);
    Bytes damaged = b;
    damaged[27] |= 0x01;  // an entry of no bytes at all
    EXPECT_THROW(jet::IndexPageView(jet4(), damaged, kNumber), jet::Error);
    EXPECT_EQ(jet::IndexPageView(jet4(), b, kNumber).size(), 7u);
}

TEST(IndexPages, EveryPageAccessWroteDecodesAndReencodesToTheSameEntries) {
    DM_REQUIRE_FIXTURE("access/V2003/indexTestV2003.mdb");
    int pagesSeen = 0, trees = 0;
    for (const char* f :
         {"access/V2000/compIndexTestV2000.mdb", "access/V2003/indexTestV2003.mdb",
          "access/V2007/indexTestV2007.accdb", "access/V2010/binIdxTestV2010.accdb",
          "access/V2010/bigIndexTestV2010.accdb", "access/V2019/extDateTestV2019.accdb",
          "access/V1997/compIndexTestV1997.mdb", "access/empty/empty2016.accdb"}) {
        SCOPED_TRACE(f);
        auto db = jet::Database::open((testenv::fixturesDir() / f).string(), {});
        const auto& fmt = db->format();
        for (std::uint32_t n = 1; n < db->pager().pageCount(); ++n) {
            const auto ref = db->pager().page(n);
            if (ref->bytes[0] != 0x03 && ref->bytes[0] != 0x04) continue;
            const auto p = jet::decodeIndexPage(fmt, ref->span(), n);
            const auto again = jet::decodeIndexPage(fmt, jet::encodeIndexPage(fmt, p), n);
            ASSERT_EQ(again.entries.size(), p.entries.size()) << "page " << n;
            for (std::size_t i = 0; i < p.entries.size(); ++i) {
                EXPECT_EQ(again.entries[i].key, p.entries[i].key);
                EXPECT_EQ(again.entries[i].row, p.entries[i].row);
                EXPECT_EQ(again.entries[i].child, p.entries[i].child);
            }
            EXPECT_EQ(again.prev, p.prev);
            EXPECT_EQ(again.next, p.next);
            EXPECT_EQ(again.tail, p.tail);
            EXPECT_EQ(again.owner, p.owner);
            ++pagesSeen;
        }
        jet::ReadOnlyIndexPages pages(db->pager());
        for (const auto& e : db->catalog().entries()) {
            if (e.type != jet::object_type::kTable) continue;
            const auto def = db->tableDef(e);
            for (const auto& ix : def->indexes) {
                jet::IndexTree tree(pages, fmt, ix.firstPage, def->page);
                std::size_t n = 0;
                tree.forEach([&](const jet::IndexEntry&) { ++n; });
                EXPECT_FALSE(tree.pages().empty());
                ++trees;
            }
        }
    }
    EXPECT_GE(pagesSeen, 80);
    EXPECT_GE(trees, 60);
}

}  // namespace
