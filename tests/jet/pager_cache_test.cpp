// The pager's cache of clean pages when it is far smaller than the file: pages read again after
// they left the cache, buffers of evicted pages taken for new reads, pages still held elsewhere
// while that happens, and reads and writes of a database whose cache holds only a few pages.
#include <gtest/gtest.h>

#include "db/jet/database/database.h"
#include "db/jet/page/pager.h"
#include "db/jet/sql/executor.h"
#include "tests/support/test_env.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The stored bytes of page `n` of the test file: different on every page and at every offset.
std::uint8_t storedByte(std::uint32_t n, std::size_t i) {
    return static_cast<std::uint8_t>((n * 131u + i * 7u + (i >> 8)) & 0xFF);
}

TEST(PagerCache, EvictedBuffersNeverChangeAPageStillHeld) {
    const jet::Format& f = jet::Format::of(jet::Version::Jet4);
    constexpr std::uint32_t kPages = 64;
    Bytes image(std::size_t{f.pageSize} * kPages);
    for (std::uint32_t n = 0; n < kPages; ++n)
        for (std::size_t i = 0; i < f.pageSize; ++i)
            image[n * f.pageSize + i] = storedByte(n, i);
    for (bool encoded : {false, true}) {
        SCOPED_TRACE(encoded ? "pages encoded" : "pages stored plain");
        const jet::Rc4PageCodec codec(0x5A17C0DE);
        // What each page reads as: its stored bytes, decoded unless it is page 0.
        std::vector<Bytes> expected(kPages);
        for (std::uint32_t n = 0; n < kPages; ++n) {
            expected[n].assign(image.begin() + n * f.pageSize,
                               image.begin() + (n + 1) * f.pageSize);
            if (encoded && n != 0) codec.decode(n, expected[n]);
        }
        jet::Pager pager(std::make_unique<jet::MemoryFile>(image), f, 8);
        if (encoded) pager.setCodec(std::make_unique<jet::Rc4PageCodec>(0x5A17C0DE));
        const jet::PageRef held3 = pager.page(3);
        const jet::PageRef held5 = pager.page(5);
        std::vector<jet::PageRef> keptOnTheWay;
        for (int pass = 0; pass < 3; ++pass)
            for (std::uint32_t k = 0; k < kPages; ++k) {
                // Forward, backward, then strided: every pass evicts every page many times.
                const std::uint32_t n = pass == 0   ? k
                                        : pass == 1 ? kPages - 1 - k
                                                    : (k * 37) % kPages;
                const jet::PageRef p = pager.page(n);
                ASSERT_EQ(p->number, n);
                ASSERT_EQ(p->bytes, expected[n]) << "page " << n << ", pass " << pass;
                if (k % 9 == 0) keptOnTheWay.push_back(p);
            }
        EXPECT_EQ(held3->number, 3u);
        EXPECT_EQ(held3->bytes, expected[3]);
        EXPECT_EQ(held5->bytes, expected[5]);
        for (const auto& p : keptOnTheWay)
            EXPECT_EQ(p->bytes, expected[p->number]) << "page " << p->number;
        // Each pass reads nearly every page again: the cache holds 8 of 64.
        EXPECT_GT(pager.reads(), 3u * (kPages - 8));
    }
}

// Every row of `table`, as text.
std::vector<std::string> rowsOf(jet::Database& db, const std::string& table) {
    std::vector<std::string> out;
    auto r = db.openTable(table);
    std::vector<db::Value> row;
    while (r->next(row)) {
        std::string line;
        for (const auto& v : row)
            line += (v.isNull() ? std::string("NULL") : v.toDebugString()) + "|";
        out.push_back(line);
    }
    return out;
}

TEST(PagerCache, ADatabaseWithAFewCachedPagesWritesAndReadsAsWithMany) {
    DM_REQUIRE_FIXTURE("access/V2000/testV2000.mdb");
    testenv::TempDir dir;
    const auto file = dir.copyFixture("access/V2000/testV2000.mdb").string();
    std::vector<std::string> want;
    std::size_t written = 0;
    {
        jet::OpenOptions small;
        small.mode = jet::OpenMode::ReadWrite;
        small.cachePages = 8;
        const auto db = jet::Database::open(file, small);
        jet::sql::Session session(*db);
        session.execute("CREATE TABLE [Many] ([Id] INTEGER, [Word] TEXT(80), [Note] MEMO)");
        for (int round = 0; round < 4; ++round) {
            db->beginTransaction();
            for (int i = 0; i < 500; ++i) {
                const int id = round * 500 + i;
                const std::string word = "word " + std::to_string(id) + " Zürich";
                const std::string note =
                    id % 50 == 0 ? std::string(5000, static_cast<char>('a' + id % 26)) : "n";
                session.execute("INSERT INTO [Many] VALUES (" + std::to_string(id) + ", '" + word +
                                "', '" + note + "')");
                ++written;
            }
            db->commitTransaction();
            // Read between the writes, through the same few cached pages.
            const auto rows = rowsOf(*db, "Many");
            ASSERT_EQ(rows.size(), written);
            EXPECT_NE(rows.back().find("word " + std::to_string(written - 1) + " Zürich"),
                      std::string::npos);
        }
        want = rowsOf(*db, "Many");
        ASSERT_EQ(want.size(), 2000u);
    }
    const auto db = jet::Database::open(file, {});
    EXPECT_EQ(rowsOf(*db, "Many"), want);
    for (std::size_t id : {0u, 50u, 1999u})
        EXPECT_NE(want[id].find("word " + std::to_string(id) + " "), std::string::npos);
    EXPECT_NE(want[50].find(std::string(5000, static_cast<char>('a' + 50 % 26))),
              std::string::npos);
}

}  // namespace
