// The header page of a new database against the header pages Access and its engine wrote.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "db/jet/catalog/system_tables.h"
#include "db/jet/page/header.h"
#include "db/jet/page/new_header.h"
#include "tests/support/test_env.h"

namespace {

std::vector<std::uint8_t> firstPage(const std::string& relative, std::size_t size) {
    std::ifstream in(testenv::fixturesDir() / relative, std::ios::binary);
    std::vector<std::uint8_t> bytes(size);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    return bytes;
}

std::vector<std::uint8_t> unmasked(std::vector<std::uint8_t> page, const jet::Format& f) {
    const auto mask = jet::headerMask(f.headerMaskLength);
    for (std::size_t i = 0; i < mask.size(); ++i)
        page[f.headerMaskOffset + i] ^= mask[i];
    return page;
}

jet::NewHeader headerFor(const jet::Format& f) {
    return {jet::creationStamp(f).dateBits, jet::newSortOrder(f), 1252};
}

TEST(NewHeader, Jet4IsByteForByteTheHeaderTheEngineWroteWithTheSameStamp) {
    DM_REQUIRE_FIXTURE("access/misc/emptyJet4.mdb");
    const jet::Format& f = jet::Format::of(jet::Version::Jet4);
    const auto ours = jet::newHeaderPage(f, headerFor(f));
    const auto theirs = firstPage("access/misc/emptyJet4.mdb", f.pageSize);
    ASSERT_EQ(ours.size(), theirs.size());
    for (std::size_t i = 0; i < ours.size(); ++i)
        ASSERT_EQ(ours[i], theirs[i]) << "at offset 0x" << std::hex << i;
}

// Fields that differ between files of one version for reasons of their history: the creation
// date and the password field it masks, a flag byte at 0x15, the stamp of the engine that made
// the file at 0x6a, and the first two words of the table at 0xe00, which Access counts up as it
// works; and the version of the sort order, which a database chooses (Access 2010 and 2016
// made theirs "General", a new database here is "General Legacy").
bool historical(std::size_t offset, const jet::Format& f) {
    const auto date = static_cast<std::size_t>(f.creationDateOffset);
    return (offset >= date && offset < date + 8) || offset == f.sortOrderOffset + 3 ||
           (offset >= f.passwordOffset && offset < f.passwordOffset + f.passwordLength) ||
           offset == 0x15 || offset == 0x6a || offset == 0x6b ||
           (offset >= 0xe00 && offset < 0xe04);
}

struct Case {
    jet::Version version;
    const char* fixture;
};

// Test names and failures show the case by this, not by its bytes.
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.fixture;
}

class NewHeaderOf : public ::testing::TestWithParam<Case> {};

TEST_P(NewHeaderOf, MatchesTheEmptyFileOfItsVersionAndReadsBack) {
    const Case c = GetParam();
    DM_REQUIRE_FIXTURE(c.fixture);
    const jet::Format& f = jet::Format::of(c.version);
    const auto ours = jet::newHeaderPage(f, headerFor(f));
    const auto theirs = firstPage(c.fixture, f.pageSize);

    const auto a = unmasked(ours, f), b = unmasked(theirs, f);
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (historical(i, f)) continue;
        ASSERT_EQ(a[i], b[i]) << c.fixture << " at offset 0x" << std::hex << i;
    }

    const jet::MemoryFile file(ours);
    EXPECT_EQ(&jet::detectFormat(file), &f);
    const jet::DatabaseHeader h = jet::readHeader(ours, f);
    EXPECT_EQ(h.codePage, 1252);
    EXPECT_EQ(h.encodingKey, 0u);
    EXPECT_EQ(h.sortOrder, jet::newSortOrder(f));
    EXPECT_FALSE(h.hasPassword());
    EXPECT_NO_THROW(jet::checkAccess(h, ""));
    std::uint64_t bits = 0;
    std::memcpy(&bits, &h.creationDate, sizeof bits);
    EXPECT_EQ(bits, jet::creationStamp(f).dateBits);
}

INSTANTIATE_TEST_SUITE_P(
    EveryVersion, NewHeaderOf,
    ::testing::Values(Case{jet::Version::Jet4, "access/empty/empty.mdb"},
                      Case{jet::Version::Ace12, "access/empty/empty2007.accdb"},
                      Case{jet::Version::Ace14, "access/empty/empty2010.accdb"},
                      Case{jet::Version::Ace16, "access/empty/empty2016.accdb"},
                      Case{jet::Version::Ace17, "access/empty/empty2019.accdb"}));

TEST(NewHeader, SortOrderIsGeneralLegacyInEveryVersion) {
    for (auto v : {jet::Version::Jet4, jet::Version::Ace12, jet::Version::Ace14,
                   jet::Version::Ace16, jet::Version::Ace17})
        EXPECT_EQ(jet::newSortOrder(jet::Format::of(v)), 0x0409u);
}

}  // namespace
