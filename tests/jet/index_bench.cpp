// How fast index entries go in: a million Long Integer keys in key order and in random order,
// and text keys made and inserted, through the B-tree over pages in memory. Prints entries per
// second and the pages used; no goals are checked here.
#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <string>

#include "db/jet/index/index_btree.h"
#include "db/jet/index/text_collation.h"

namespace {

class MemoryPages : public jet::IndexPages {
  public:
    jet::PageRef read(std::uint32_t page) override { return pages_.at(page); }
    void write(std::uint32_t page, const std::vector<std::uint8_t>& image) override {
        auto p = std::make_shared<jet::Page>();
        p->number = page;
        p->bytes = image;
        pages_[page] = std::move(p);
    }
    std::uint32_t allocate() override { return next_++; }
    void release(std::uint32_t page) override { pages_.erase(page); }
    std::size_t count() const { return pages_.size(); }

  private:
    std::map<std::uint32_t, jet::PageRef> pages_;
    std::uint32_t next_ = 2;
};

std::vector<std::uint8_t> longKey(std::uint32_t v) {
    v ^= 0x80000000u;
    return {0x7f, static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
}

template <typename MakeKey>
void run(const char* what, std::size_t n, MakeKey makeKey) {
    const auto& f = jet::Format::of(jet::Version::Jet4);
    MemoryPages pages;
    pages.write(1, jet::IndexTree::emptyRoot(f, 1));
    jet::IndexTree tree(pages, f, 1, 1);
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < n; ++i) {
        jet::IndexEntry e;
        e.key = makeKey(i);
        e.row = {static_cast<std::uint32_t>(100 + i / 100), static_cast<std::uint8_t>(i % 100)};
        tree.insert(e);
    }
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-40s %9zu entries %8.0f entries/s %7zu pages\n", what, n, n / s, pages.count());
}

}  // namespace

int main() {
    std::mt19937 rng(1);
    run("Long Integer keys in order", 1000000,
        [](std::size_t i) { return longKey(static_cast<std::uint32_t>(i)); });
    run("Long Integer keys at random", 1000000,
        [&](std::size_t) { return longKey(static_cast<std::uint32_t>(rng())); });
    const auto& legacy = jet::TextCollation::get(jet::TextCollation::Order::GeneralLegacy);
    run("text keys (General Legacy) at random", 200000, [&](std::size_t i) {
        std::u16string s = u"Customer ";
        for (std::uint32_t v = rng() % 100000; v; v /= 26)
            s.push_back(static_cast<char16_t>(u'a' + v % 26));
        s += u" \u00e9" + std::u16string(1, static_cast<char16_t>(u'0' + i % 10));
        std::vector<std::uint8_t> key{0x7f};
        legacy.appendKey(s, true, key);
        return key;
    });
    return 0;
}
