// Writing bytes: the checked writer and builder beside ByteReader, and a pager that has no one
// to hand out pages.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "db/jet/base/byte_writer.h"
#include "db/jet/base/error.h"
#include "db/jet/page/file.h"
#include "db/jet/page/pager.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

jet::ErrorKind kindOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const jet::Error& e) {
        return e.kind();
    }
    return jet::ErrorKind::Engine;
}

std::string messageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const jet::Error& e) {
        return e.message();
    }
    return "(nothing thrown)";
}

TEST(ByteWriter, WritesLittleEndianFieldsThatTheReaderReadsBack) {
    Bytes b(24, 0xEE);
    jet::ByteWriter w(b, "test buffer");
    w.u8(0, 0x01);
    w.u16(1, 0xBEEF);
    w.u24(3, 0x123456);
    w.u32(6, 0xDEADBEEF);
    w.u64(10, 0x0102030405060708ull);
    w.fill(18, 2, 0x00);
    w.bytes(20, Bytes{9, 8, 7, 6});
    EXPECT_EQ(b, (Bytes{0x01, 0xEF, 0xBE, 0x56, 0x34, 0x12, 0xEF, 0xBE, 0xAD, 0xDE, 8, 7,
                        6,    5,    4,    3,    2,    1,    0,    0,    9,    8,    7, 6}));
    const jet::ByteReader r = w.reader();
    EXPECT_EQ(r.u16(1), 0xBEEF);
    EXPECT_EQ(r.u24(3), 0x123456u);
    EXPECT_EQ(r.u32(6), 0xDEADBEEFu);
    EXPECT_EQ(r.u64(10), 0x0102030405060708ull);
    // Index entries store their pointers big-endian.
    EXPECT_EQ(r.u24be(3), 0x563412u);
    EXPECT_EQ(r.u32be(6), 0xEFBEADDEu);

    Bytes f(12, 0);
    jet::ByteWriter fw(f, "floats");
    fw.f32(0, 1.5f);
    fw.f64(4, -2.25);
    EXPECT_EQ(fw.reader().f32(0), 1.5f);
    EXPECT_EQ(fw.reader().f64(4), -2.25);
}

TEST(ByteWriter, AWriteThatWouldRunPastTheEndChangesNothingAndSaysWhere) {
    Bytes b(8, 0xAA);
    const Bytes before = b;
    jet::ByteWriter w(b, "data page", 7, 100);
    EXPECT_EQ(kindOf([&] { w.u32(5, 1); }), jet::ErrorKind::Corrupt);
    EXPECT_EQ(messageOf([&] { w.u32(5, 1); }),
              "The database file is damaged: data page: 4 bytes written at offset 105 would run "
              "past its end at 108 (page 7).");
    EXPECT_EQ(kindOf([&] { w.u8(8, 1); }), jet::ErrorKind::Corrupt);
    EXPECT_EQ(kindOf([&] { w.fill(2, 7); }), jet::ErrorKind::Corrupt);
    EXPECT_EQ(kindOf([&] { w.bytes(6, Bytes{1, 2, 3}); }), jet::ErrorKind::Corrupt);
    // An offset near the top of the address range does not wrap around.
    EXPECT_EQ(kindOf([&] { w.u16(SIZE_MAX, 1); }), jet::ErrorKind::Corrupt);
    EXPECT_EQ(b, before);
    // A part of the span names its place in the whole.
    jet::ByteWriter part = w.sub(4, 4);
    part.u32(0, 0x01020304);
    EXPECT_EQ(b[4], 0x04);
    EXPECT_NE(messageOf([&] { part.u8(4, 0); }).find("1 bytes written at offset 108"),
              std::string::npos);
    EXPECT_EQ(kindOf([&] { (void)w.sub(6, 3); }), jet::ErrorKind::Corrupt);
}

TEST(ByteBuilder, AppendsAndFillsInFieldsLater) {
    Bytes out = {0xFF};
    jet::ByteBuilder b(out, "record");
    b.u32(0);  // the length, filled in below
    b.u16(0x0102);
    b.u24(0x030405);
    b.bytes(Bytes{6, 7});
    b.zeros(2);
    b.u64(0x08);
    b.writer().u32(1, static_cast<std::uint32_t>(b.size()));
    EXPECT_EQ(out, (Bytes{0xFF, 22, 0, 0, 0, 2, 1, 5, 4, 3, 6, 7, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(kindOf([&] { b.writer().u16(21, 0); }), jet::ErrorKind::Corrupt);
}

// Index entries store their row and child pointers big-endian: what the builder appends, the
// reader reads back as the same numbers.
TEST(ByteBuilder, BigEndianPointersAsIndexEntriesStoreThem) {
    Bytes out;
    jet::ByteBuilder b(out, "index entry");
    b.u24be(0x123456);
    b.u8(7);
    b.u32be(0xDEADBEEF);
    EXPECT_EQ(out, (Bytes{0x12, 0x34, 0x56, 7, 0xDE, 0xAD, 0xBE, 0xEF}));
    const jet::ByteReader r(out, "index entry");
    EXPECT_EQ(r.u24be(0), 0x123456u);
    EXPECT_EQ(r.u32be(4), 0xDEADBEEFu);
}

TEST(PagerAllocation, APagerWithoutAnAllocatorHandsOutNoPages) {
    const jet::Format& f = jet::Format::of(jet::Version::Jet4);
    jet::Pager pager(std::make_unique<jet::MemoryFile>(Bytes(3 * f.pageSize)), f,
                     jet::Pager::kDefaultCachePages, std::make_unique<jet::MemoryJournalStore>());
    pager.begin();
    EXPECT_EQ(kindOf([&] { pager.allocatePage(jet::page_type::kData); }), jet::ErrorKind::Engine);
    EXPECT_EQ(kindOf([&] { pager.freePage(2); }), jet::ErrorKind::Engine);
    EXPECT_FALSE(pager.isFree(2));
    // The file still grows by whole pages, which is how an allocator makes new ones.
    EXPECT_EQ(pager.appendPage()->number, 3u);
    EXPECT_EQ(pager.pageCount(), 4u);
    pager.rollback();
    EXPECT_EQ(pager.pageCount(), 3u);
}

}  // namespace
