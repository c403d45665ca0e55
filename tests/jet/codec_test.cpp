// The codecs on hand-made bytes: text in all its stored forms, exact numbers, dates before 1900
// and Date/Time Extended, GUID byte order, the row layout of both versions (the Jet 3 jump table
// included), and long values on pages built for the test.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "db/jet/format/text_codec.h"
#include "db/jet/table/data_page.h"
#include "db/jet/table/long_value.h"
#include "db/jet/table/row_codec.h"
#include "db/jet/table/value_codec.h"

namespace {

using jet::ByteReader;
using jet::ColumnDef;
using jet::ColumnType;
using Bytes = std::vector<std::uint8_t>;

Bytes hex(const std::string& h) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < h.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoul(h.substr(i, 2), nullptr, 16)));
    return out;
}

jet::ErrorKind errorKind(const std::function<void()>& f) {
    try {
        f();
    } catch (const jet::Error& e) {
        return e.kind();
    }
    return jet::ErrorKind::Engine;  // stands for "no error"
}

// ---- text ----

TEST(TextCodec, DecodesUtf16AndTheCompressedForm) {
    EXPECT_EQ(jet::decodeUnicodeText(hex("610062006300")), "abc");
    EXPECT_EQ(jet::decodeUnicodeText(hex("fffe616263")), "abc");
    // One-byte run, a 00 switch to two-byte characters (U+4E2D), a switch back.
    EXPECT_EQ(jet::decodeUnicodeText(hex("fffe61002d4e0062")),
              "a\xE4\xB8\xAD"
              "b");
    // The text may end in either mode; an empty compressed text is empty.
    EXPECT_EQ(jet::decodeUnicodeText(hex("fffe61002d4e")), "a\xE4\xB8\xAD");
    EXPECT_EQ(jet::decodeUnicodeText(hex("fffe")), "");
    EXPECT_EQ(jet::decodeUnicodeText({}), "");
    // Latin-1 characters fit the one-byte mode: "é".
    EXPECT_EQ(jet::decodeUnicodeText(hex("fffee9")), "\xC3\xA9");
}

// UTF-16LE written a unit at a time by the plain rules (a high surrogate and a low one make one
// character, any other surrogate is U+FFFD): the reference the decoder's fast loop is held to.
std::string referenceUtf16(const std::vector<char16_t>& units) {
    std::string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t cp = units[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00u);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        jet::appendUtf8(out, cp);
    }
    return out;
}

TEST(TextCodec, LongMixedTextsDecodeAsTheUnitRulesSay) {
    // Texts long enough to cross the decoder's buffer many times, of every width of character,
    // surrogates paired, lone and at the very end; appended after what the string held.
    std::uint32_t seed = 7;
    const char16_t kinds[] = {u'a',   u'\t',  0x00E9, 0x07FF, 0x0800, 0x4E2D,
                              0xFFFF, 0xD83D, 0xDE00, 0xDBFF, 0xDC00};
    for (int round = 0; round < 40; ++round) {
        std::vector<char16_t> units(static_cast<std::size_t>(round * 97 + 1));
        for (auto& u : units) {
            seed = seed * 1103515245u + 12345u;
            u = kinds[(seed >> 16) % (sizeof kinds / sizeof kinds[0])];
        }
        if (round % 2) units.back() = 0xD83D;  // a high surrogate with nothing after it
        Bytes bytes;
        for (char16_t u : units) {
            bytes.push_back(static_cast<std::uint8_t>(u));
            bytes.push_back(static_cast<std::uint8_t>(u >> 8));
        }
        if (round % 3 == 0) bytes.push_back(0x41);  // an odd trailing byte is no character
        std::string out = "kept:";
        jet::appendUtf16le(out, bytes);
        ASSERT_EQ(out, "kept:" + referenceUtf16(units)) << "round " << round;
        if (bytes.size() >= 2 && !(bytes[0] == 0xFF && bytes[1] == 0xFE)) {
            EXPECT_EQ(jet::decodeUnicodeText(bytes), referenceUtf16(units));
        }
    }
}

TEST(TextCodec, AsciiRunsBrokenAnywhereByAnyOtherUnit) {
    // Runs of ASCII are copied several units at a time: one unit that is not ASCII, at every
    // place of texts of every length around that step, must still come out as the unit rules
    // say. 0x0100 and 0x4100 have an ASCII low byte, 0x0080 and 0x00FF a zero high byte.
    const std::vector<std::vector<char16_t>> odd = {{0x0080},         {0x00FF}, {0x0100},
                                                    {0x4100},         {0x00E9}, {0x20AC},
                                                    {0xD83D, 0xDE00}, {0xDC00}, {0xD83D}};
    for (std::size_t length = 1; length <= 40; ++length)
        for (std::size_t at = 0; at < length; ++at)
            for (const auto& unit : odd) {
                std::vector<char16_t> units;
                for (std::size_t k = 0; k < length; ++k)
                    units.push_back(static_cast<char16_t>(0x20 + (k * 7) % 0x5F));
                units.erase(units.begin() + static_cast<std::ptrdiff_t>(at));
                units.insert(units.begin() + static_cast<std::ptrdiff_t>(at), unit.begin(),
                             unit.end());
                Bytes bytes;
                for (char16_t u : units) {
                    bytes.push_back(static_cast<std::uint8_t>(u));
                    bytes.push_back(static_cast<std::uint8_t>(u >> 8));
                }
                std::string out = "x";
                jet::appendUtf16le(out, bytes);
                ASSERT_EQ(out, "x" + referenceUtf16(units))
                    << "length " << length << ", unit " << std::hex
                    << static_cast<unsigned>(unit[0]) << " at " << at;
            }
}

TEST(TextCodec, SurrogatePairsBecomeOneCharacter) {
    // U+1F600 as D83D DE00.
    EXPECT_EQ(jet::decodeUnicodeText(hex("3dd800de")), "\xF0\x9F\x98\x80");
    // U+1F601 (D83D DE01) in the two-byte mode of compressed text. (Access does not compress
    // text with a character whose low byte is 00, such as DE00.)
    EXPECT_EQ(jet::decodeUnicodeText(hex("fffe61003dd801de0061")),
              "a\xF0\x9F\x98\x81"
              "a");
    // A surrogate without its partner is not a character.
    EXPECT_EQ(jet::decodeUnicodeText(hex("3dd86100")),
              "\xEF\xBF\xBD"
              "a");
    EXPECT_EQ(jet::decodeUnicodeText(hex("00de")), "\xEF\xBF\xBD");
    EXPECT_EQ(jet::decodeUnicodeText(hex("3dd8")), "\xEF\xBF\xBD");
    // An odd trailing byte holds no character.
    EXPECT_EQ(jet::decodeUnicodeText(hex("610062")), "a");
}

TEST(TextCodec, EncodesUtf16RoundTrip) {
    const std::string s = "x\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";
    EXPECT_EQ(jet::encodeUtf16le(s), hex("7800e9002d4e3dd800de"));
    EXPECT_EQ(jet::decodeUnicodeText(jet::encodeUtf16le(s)), s);
}

TEST(TextCodec, SingleByteCodePages) {
    const auto& cp1252 = jet::CodePage::get(1252);
    EXPECT_EQ(cp1252.decode(hex("80e9")), "\xE2\x82\xAC\xC3\xA9");  // € é
    // Bytes the code page leaves undefined keep their value as a character.
    EXPECT_EQ(cp1252.decode(hex("81")), "\xC2\x81");
    EXPECT_EQ(cp1252.encode("\xE2\x82\xAC"
                            "a\xC3\xA9"),
              hex("8061e9"));
    EXPECT_EQ(cp1252.encode("\xE4\xB8\xAD"), hex("3f"));                // not in the code page
    EXPECT_EQ(jet::CodePage::get(1251).decode(hex("c0")), "\xD0\x90");  // Cyrillic А
    // Unknown code pages read as Windows-1252.
    EXPECT_EQ(jet::CodePage::get(0).number(), 1252);
    EXPECT_EQ(jet::CodePage::get(65001 - 1).number(), 1252);
}

// ---- exact numbers, dates, GUIDs ----

TEST(NumberCodec, DecimalsAreExact) {
    // 1234567890123456789012345678 as four words, most significant first, each little-endian.
    const Bytes words =
        hex("00000000"
            "eb35fd03"
            "917a796d"
            "4ef338be");
    const db::Decimal d = jet::decimalFromWords(true, words, 28, 4);
    EXPECT_EQ(d.toString(), "-123456789012345678901234.5678");
    EXPECT_EQ(d.precision, 28);
    // Zero is never negative.
    EXPECT_EQ(jet::decimalFromWords(true, Bytes(16, 0), 18, 2).toString(), "0.00");
    EXPECT_FALSE(jet::decimalFromWords(true, Bytes(16, 0), 18, 2).negative);
    // The largest magnitude the 128 bits can carry.
    EXPECT_EQ(jet::decimalFromWords(false, Bytes(16, 0xFF), 38, 0).toString(),
              "340282366920938463463374607431768211455");
}

TEST(NumberCodec, ExtendedDates) {
    auto ext = [](const std::string& days, const std::string& secs, const std::string& frac) {
        std::string s = days + ":" + secs + frac + ":7";
        Bytes b(s.begin(), s.end());
        b.push_back(0);
        return b;
    };
    // 2020-06-17 12:34:56.1234567 is day 737592 after 0001-01-01.
    const db::DateTime t =
        jet::extendedDateFromBytes(ext("0000000000000737592", "000000045296", "1234567"));
    EXPECT_EQ(t.toIsoString('T'), "2020-06-17T12:34:56.1234567");
    EXPECT_EQ(jet::extendedDateFromBytes(ext("0000000000000000000", "000000000000", "0000000"))
                  .toIsoString(),
              "0001-01-01 00:00:00");
    EXPECT_EQ(errorKind([&] {
                  jet::extendedDateFromBytes(ext("00000000000007375x2", "000000045296", "1234567"));
              }),
              jet::ErrorKind::Corrupt);
    EXPECT_EQ(errorKind([&] {
                  jet::extendedDateFromBytes(ext("0000000000000737592", "000000086400", "0000000"));
              }),
              jet::ErrorKind::Corrupt);
    EXPECT_EQ(errorKind([&] { jet::extendedDateFromBytes(hex("3030")); }), jet::ErrorKind::Corrupt);
}

// ---- rows and values through the decoders ----

// A pager over a small file of zero pages, for the decoders that need one.
struct Fixture {
    explicit Fixture(jet::Version v, std::size_t pages = 4)
        : format(jet::Format::of(v)),
          pager(std::make_unique<jet::MemoryFile>(Bytes(format.pageSize * pages, 0)), format),
          values(pager, jet::CodePage::get(1252)) {}
    const jet::Format& format;
    jet::Pager pager;
    jet::ValueDecoder values;
};

ColumnDef fixedColumn(ColumnType t, std::uint16_t number, std::uint16_t offset) {
    ColumnDef c;
    c.type = t;
    c.typeCode = static_cast<std::uint8_t>(t);
    c.number = number;
    c.fixedOffset = offset;
    c.flags = jet::column_flag::kFixed;
    c.length = jet::fixedSizeOf(t);
    return c;
}

// A Jet 4 row of fixed columns: column count, the bytes, a null mask of all ones.
Bytes jet4Row(std::uint16_t columns, const Bytes& fixed) {
    Bytes row = {static_cast<std::uint8_t>(columns), static_cast<std::uint8_t>(columns >> 8)};
    row.insert(row.end(), fixed.begin(), fixed.end());
    row.insert(row.end(), (columns + 7) / 8, 0xFF);
    return row;
}

db::Value decodeOne(Fixture& fx, const ColumnDef& c, const Bytes& row, bool hasVar = false) {
    const ByteReader r(row, "test row");
    const jet::RowView view(r, fx.format, hasVar);
    return fx.values.decode(jet::ColumnDecoder::make(c, 0), view);
}

Bytes doubleBytes(double d) {
    Bytes b(8);
    std::memcpy(b.data(), &d, 8);
    return b;
}

TEST(ValueCodec, DatesBeforeTheEpochCountTheirFractionForward) {
    Fixture fx(jet::Version::Jet4);
    const ColumnDef c = fixedColumn(ColumnType::DateTime, 0, 0);
    EXPECT_EQ(decodeOne(fx, c, jet4Row(1, doubleBytes(-1.25))).asDateTime().toIsoString(),
              "1899-12-29 06:00:00");
    EXPECT_EQ(decodeOne(fx, c, jet4Row(1, doubleBytes(-0.5))).asDateTime().toIsoString(),
              "1899-12-30 12:00:00");
    EXPECT_EQ(decodeOne(fx, c, jet4Row(1, doubleBytes(-657434.0))).asDateTime().toIsoString(),
              "0100-01-01 00:00:00");
    EXPECT_EQ(
        decodeOne(fx, c, jet4Row(1, doubleBytes(2958465.999988426))).asDateTime().toIsoString(),
        "9999-12-31 23:59:59");
    // A date that is not a number is damage, not a value.
    EXPECT_EQ(errorKind([&] { decodeOne(fx, c, jet4Row(1, doubleBytes(std::nan("")))); }),
              jet::ErrorKind::Corrupt);
}

TEST(ValueCodec, CurrencyGuidAndIntegersAreExact) {
    Fixture fx(jet::Version::Jet4);
    Bytes minCurrency = {0, 0, 0, 0, 0, 0, 0, 0x80};
    EXPECT_EQ(decodeOne(fx, fixedColumn(ColumnType::Currency, 0, 0), jet4Row(1, minCurrency))
                  .asCurrency()
                  .toString(),
              "-922337203685477.5808");
    const Bytes guid = hex("33221100554477668899aabbccddeeff");
    EXPECT_EQ(db::guidToString(
                  decodeOne(fx, fixedColumn(ColumnType::Guid, 0, 0), jet4Row(1, guid)).asGuid()),
              "{00112233-4455-6677-8899-AABBCCDDEEFF}");
    EXPECT_EQ(decodeOne(fx, fixedColumn(ColumnType::Byte, 0, 0), jet4Row(1, {0xFF})).asInteger(),
              255);
    EXPECT_EQ(
        decodeOne(fx, fixedColumn(ColumnType::Integer, 0, 0), jet4Row(1, {0x00, 0x80})).asInteger(),
        -32768);
    EXPECT_EQ(
        decodeOne(fx, fixedColumn(ColumnType::BigInt, 0, 0), jet4Row(1, hex("0000000000000080")))
            .asInteger(),
        std::numeric_limits<std::int64_t>::min());
}

TEST(RowCodec, NullMaskAndColumnsAddedAfterTheRow) {
    Fixture fx(jet::Version::Jet4);
    ColumnDef yes = fixedColumn(ColumnType::Boolean, 0, 0);
    ColumnDef longCol = fixedColumn(ColumnType::Long, 1, 0);
    ColumnDef later = fixedColumn(ColumnType::Long, 9, 4);  // added after the row was written
    Bytes row = jet4Row(2, {1, 0, 0, 0});
    row.back() = 0x02;  // column 0 (Yes/No) off, column 1 present
    EXPECT_EQ(decodeOne(fx, yes, row), db::Value::boolean(false));
    EXPECT_EQ(decodeOne(fx, longCol, row), db::Value::integer(1));
    EXPECT_TRUE(decodeOne(fx, later, row).isNull());
    row.back() = 0x01;
    EXPECT_EQ(decodeOne(fx, yes, row), db::Value::boolean(true));
    EXPECT_TRUE(decodeOne(fx, longCol, row).isNull());
    // A fixed value that runs past the row's data is damage.
    ColumnDef beyond = fixedColumn(ColumnType::Long, 1, 2);
    row.back() = 0x03;
    EXPECT_EQ(errorKind([&] { decodeOne(fx, beyond, row); }), jet::ErrorKind::Corrupt);
}

TEST(RowCodec, Jet4VariableColumns) {
    Fixture fx(jet::Version::Jet4);
    ColumnDef a, b, c;
    for (auto* col : {&a, &b, &c}) {
        col->type = ColumnType::Text;
        col->typeCode = 0x0A;
    }
    a.number = 0, a.varIndex = 0;
    b.number = 1, b.varIndex = 1;
    c.number = 2, c.varIndex = 2;  // the row has only two variable columns
    // count 3 | "hi" "x" (UTF-16) | offsets reversed: eod 8, b 6, a 2 | var count 2 | mask
    Bytes row = {3, 0, 'h', 0, 'i', 0, 'x', 0, 8, 0, 6, 0, 2, 0, 2, 0, 0x07};
    EXPECT_EQ(decodeOne(fx, a, row, true), db::Value::text("hi"));
    EXPECT_EQ(decodeOne(fx, b, row, true), db::Value::text("x"));
    EXPECT_TRUE(decodeOne(fx, c, row, true).isNull());
    // An offset past the variable part is damage.
    Bytes bad = row;
    bad[8] = 40;
    EXPECT_EQ(errorKind([&] { decodeOne(fx, b, bad, true); }), jet::ErrorKind::Corrupt);
    // A variable count that leaves no room for its offsets is damage.
    Bytes impossible = row;
    impossible[14] = 0xFF;
    EXPECT_EQ(errorKind([&] { decodeOne(fx, a, impossible, true); }), jet::ErrorKind::Corrupt);
}

// A Jet 3 row with variable columns of the given lengths, `padding` bytes before the offset
// table, and the jump table its length calls for.
Bytes jet3Row(const std::vector<std::size_t>& lengths, std::size_t padding) {
    Bytes data = {static_cast<std::uint8_t>(lengths.size())};
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        offsets.push_back(data.size());
        data.insert(data.end(), lengths[i], static_cast<std::uint8_t>('a' + i));
    }
    offsets.push_back(data.size());  // the end of the last value
    data.insert(data.end(), padding, 0xEE);
    const std::size_t maskSize = (lengths.size() + 7) / 8;
    const std::size_t total0 = data.size() + offsets.size() + 1 + maskSize;
    std::size_t jumps = (total0 - 1) / 256;
    while ((data.size() + offsets.size() + jumps + 1 + maskSize - 1) / 256 != jumps)
        ++jumps;
    // Offset table reversed (the end offset first), each modulo 256.
    for (std::size_t i = offsets.size(); i-- > 0;)
        data.push_back(static_cast<std::uint8_t>(offsets[i] & 0xFF));
    // Jump table reversed: entry j is the first index whose offset is at least 256 (j + 1).
    std::vector<std::uint8_t> jumpTable;
    for (std::size_t j = 0; j < jumps; ++j) {
        std::uint8_t first = 0xFF;
        for (std::size_t i = 0; i < offsets.size(); ++i)
            if (offsets[i] >= 256 * (j + 1)) {
                first = static_cast<std::uint8_t>(i);
                break;
            }
        jumpTable.push_back(first);
    }
    for (std::size_t j = jumpTable.size(); j-- > 0;)
        data.push_back(jumpTable[j]);
    data.push_back(static_cast<std::uint8_t>(lengths.size()));
    data.insert(data.end(), maskSize, 0xFF);
    return data;
}

TEST(RowCodec, Jet3OffsetsPastTwoHundredFiftyFiveUseTheJumpTable) {
    Fixture fx(jet::Version::Jet3);
    std::vector<ColumnDef> cols(3);
    for (std::uint16_t i = 0; i < 3; ++i) {
        cols[i].type = ColumnType::Binary;
        cols[i].typeCode = 0x09;
        cols[i].number = i;
        cols[i].varIndex = i;
    }
    for (std::size_t padding : {0u, 220u}) {  // 220: the jump table has an unused last entry
        SCOPED_TRACE(padding);
        const Bytes row = jet3Row({200, 100, 300}, padding);
        EXPECT_EQ(decodeOne(fx, cols[0], row, true).asBinary(), Bytes(200, 'a'));
        EXPECT_EQ(decodeOne(fx, cols[1], row, true).asBinary(), Bytes(100, 'b'));
        EXPECT_EQ(decodeOne(fx, cols[2], row, true).asBinary(), Bytes(300, 'c'));
    }
    const Bytes small = jet3Row({3, 0}, 0);
    EXPECT_EQ(decodeOne(fx, cols[0], small, true).asBinary(), Bytes(3, 'a'));
    EXPECT_EQ(decodeOne(fx, cols[1], small, true).asBinary(), Bytes());
}

// ---- long values on pages made for the test ----

// Writes a data page with `rows` at page `number` of `file`: row 0 at the end of the page.
void putDataPage(jet::MemoryFile& file, const jet::Format& f, std::uint32_t number,
                 const std::vector<Bytes>& rows, std::uint16_t deletedRow = 0xFFFF) {
    Bytes page(f.pageSize, 0);
    page[0] = jet::page_type::kData;
    page[1] = 1;
    std::memcpy(&page[f.dataOwnerOffset], "LVAL", 4);
    page[f.dataRowCountOffset] = static_cast<std::uint8_t>(rows.size());
    std::size_t end = f.pageSize;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::size_t start = end - rows[i].size();
        std::copy(rows[i].begin(), rows[i].end(),
                  page.begin() + static_cast<std::ptrdiff_t>(start));
        std::uint16_t slot = static_cast<std::uint16_t>(start);
        if (i == deletedRow) slot |= jet::kRowDeletedFlag;
        page[f.dataRowTableOffset + 2 * i] = static_cast<std::uint8_t>(slot);
        page[f.dataRowTableOffset + 2 * i + 1] = static_cast<std::uint8_t>(slot >> 8);
        end = start;
    }
    file.write(std::uint64_t{number} * f.pageSize, page);
}

Bytes reference(std::uint32_t length, std::uint8_t kind, std::uint32_t page, std::uint8_t row) {
    Bytes r(12, 0);
    const std::uint32_t word = length | (std::uint32_t{kind} << 24);
    for (int i = 0; i < 4; ++i)
        r[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(word >> (8 * i));
    r[4] = row;
    r[5] = static_cast<std::uint8_t>(page);
    r[6] = static_cast<std::uint8_t>(page >> 8);
    r[7] = static_cast<std::uint8_t>(page >> 16);
    return r;
}

Bytes link(std::uint32_t page, std::uint8_t row) {
    return {row, static_cast<std::uint8_t>(page), static_cast<std::uint8_t>(page >> 8),
            static_cast<std::uint8_t>(page >> 16)};
}

Bytes concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct LongValues : testing::Test {
    const jet::Format& f = jet::Format::of(jet::Version::Jet4);
    std::unique_ptr<jet::Pager> pager;
    jet::MemoryFile* file = nullptr;
    void SetUp() override {
        auto mem = std::make_unique<jet::MemoryFile>(Bytes(f.pageSize * 4, 0));
        file = mem.get();
        pager = std::make_unique<jet::Pager>(std::move(mem), f);
    }
    Bytes read(const Bytes& ref) {
        const ByteReader r(ref, "long-value reference");
        return jet::readLongValue(*pager, r);
    }
};

TEST_F(LongValues, InlineOnePageAndChains) {
    EXPECT_EQ(read(concat(reference(3, 0x80, 0, 0), {'a', 'b', 'c'})), (Bytes{'a', 'b', 'c'}));
    EXPECT_EQ(read(reference(0, 0x00, 0, 0)), Bytes());
    putDataPage(*file, f, 1,
                {Bytes(10, 'x'), concat(link(2, 0), Bytes(5000 > 4000 ? 3000 : 0, 'y'))});
    putDataPage(*file, f, 2, {concat(link(0, 0), Bytes(2000, 'z'))});
    EXPECT_EQ(read(reference(10, 0x40, 1, 0)), Bytes(10, 'x'));
    // A chain: 3000 bytes on page 1, the rest on page 2; bytes past the length are ignored.
    const Bytes v = read(reference(4500, 0x00, 1, 1));
    ASSERT_EQ(v.size(), 4500u);
    EXPECT_EQ(Bytes(v.begin(), v.begin() + 3000), Bytes(3000, 'y'));
    EXPECT_EQ(Bytes(v.begin() + 3000, v.end()), Bytes(1500, 'z'));
}

TEST_F(LongValues, LongChainsReadWholeAndLongLoopsAreErrors) {
    // Sixty one-byte parts on one page, each linking to the next row: a chain longer than the
    // short list of rows seen, read whole; then the same rows with the last linking back into
    // the middle, a loop found only after the list has grown into a set.
    std::vector<Bytes> rows;
    for (std::uint8_t i = 0; i < 60; ++i)
        rows.push_back(concat(i + 1 < 60 ? link(1, static_cast<std::uint8_t>(i + 1)) : link(0, 0),
                              {static_cast<std::uint8_t>('A' + i % 26)}));
    putDataPage(*file, f, 1, rows);
    const Bytes whole = read(reference(60, 0x00, 1, 0));
    ASSERT_EQ(whole.size(), 60u);
    EXPECT_EQ(whole[0], 'A');
    EXPECT_EQ(whole[59], 'A' + 59 % 26);
    rows.back() = concat(link(1, 40), {'z'});
    putDataPage(*file, f, 1, rows);
    EXPECT_EQ(errorKind([&] { read(reference(500, 0x00, 1, 0)); }), jet::ErrorKind::Corrupt);
    // The buffer a reader reuses is replaced, not appended to.
    Bytes reused(7, 'q');
    jet::readLongValue(*pager, ByteReader(concat(reference(2, 0x80, 0, 0), {'h', 'i'}), "ref"),
                       reused);
    EXPECT_EQ(reused, (Bytes{'h', 'i'}));
}

TEST_F(LongValues, DamagedReferencesAndChainsAreErrors) {
    putDataPage(*file, f, 1, {concat(link(1, 0), Bytes(100, 'l')), Bytes(4, 'd')}, 1);
    // A chain that comes back to its start.
    EXPECT_EQ(errorKind([&] { read(reference(1000, 0x00, 1, 0)); }), jet::ErrorKind::Corrupt);
    // A chain that ends before the length.
    putDataPage(*file, f, 2, {concat(link(0, 0), Bytes(10, 'e'))});
    EXPECT_EQ(errorKind([&] { read(reference(20, 0x00, 2, 0)); }), jet::ErrorKind::Corrupt);
    // A value longer than its row, a deleted row, a missing row, a page past the end, an unknown
    // kind, an inline value shorter than its length, a length longer than the file.
    EXPECT_EQ(errorKind([&] { read(reference(200, 0x40, 1, 0)); }), jet::ErrorKind::Corrupt);
    EXPECT_EQ(errorKind([&] { read(reference(4, 0x40, 1, 1)); }), jet::ErrorKind::Corrupt);
    EXPECT_EQ(errorKind([&] { read(reference(4, 0x40, 1, 7)); }), jet::ErrorKind::Corrupt);
    EXPECT_EQ(errorKind([&] { read(reference(4, 0x40, 90, 0)); }), jet::ErrorKind::Corrupt);
    EXPECT_EQ(errorKind([&] { read(reference(4, 0xC0, 1, 0)); }), jet::ErrorKind::Corrupt);
    EXPECT_EQ(errorKind([&] { read(concat(reference(9, 0x80, 0, 0), {'a'})); }),
              jet::ErrorKind::Corrupt);
    EXPECT_EQ(errorKind([&] { read(reference(0x3FFFFFFF, 0x00, 1, 0)); }), jet::ErrorKind::Corrupt);
    EXPECT_EQ(errorKind([&] { read(reference(4, 0x40, 0, 0)); }), jet::ErrorKind::Corrupt);
}

}  // namespace
