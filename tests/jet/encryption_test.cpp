// Encrypted and encoded files: both .accdb encryption schemes Access writes open with their
// passwords and refuse wrong and empty ones before any table is read; every page of every
// encrypted fixture decodes and encodes back to exactly the bytes on disk; damaged encryption
// headers are refused clearly, never crash.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <set>

#include "db/jet/base/error.h"
#include "db/jet/database/database.h"
#include "db/jet/page/office_codec.h"
#include "db/jet/table/table_reader.h"
#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> fileBytes(const std::string& rel) {
    auto f = jet::openPosixFile((testenv::fixturesDir() / rel).string(), jet::OpenMode::ReadOnly);
    std::vector<std::uint8_t> bytes(f->size());
    f->read(0, bytes);
    return bytes;
}

// Passes reads to a file in memory and remembers, in `furthest`, the furthest byte any read
// reached. The count is shared: a database that fails to open frees its file.
class RecordingFile : public jet::MemoryFile {
  public:
    RecordingFile(const std::vector<std::uint8_t>& bytes, const std::string& name,
                  std::shared_ptr<std::uint64_t> furthest)
        : MemoryFile(bytes, name), end_(std::move(furthest)) {}
    void read(std::uint64_t offset, std::span<std::uint8_t> out) const override {
        *end_ = std::max<std::uint64_t>(*end_, offset + out.size());
        MemoryFile::read(offset, out);
    }

  private:
    std::shared_ptr<std::uint64_t> end_;
};

jet::Error openError(std::vector<std::uint8_t> bytes, const std::string& password) {
    try {
        jet::Database::open(std::make_unique<jet::MemoryFile>(std::move(bytes)), {password});
    } catch (const jet::Error& e) {
        return e;
    }
    return jet::Error(jet::ErrorKind::Io, "opened without an error");
}

// Every row of every table-like object that holds rows (user, system and Access tables).
std::size_t readEveryTable(jet::Database& db) {
    std::size_t rows = 0;
    for (const auto& e : db.catalog().entries()) {
        const auto kind = db.catalog().kindOf(e);
        if (kind != jet::TableKind::Table && kind != jet::TableKind::SystemTable &&
            kind != jet::TableKind::AccessTable)
            continue;
        SCOPED_TRACE("table " + e.name);
        auto reader = db.openTable(e);
        std::vector<db::Value> row;
        std::size_t n = 0;
        while (reader->next(row))
            ++n;
        EXPECT_EQ(n, reader->rowCount());
        rows += n;
    }
    return rows;
}

std::vector<std::vector<db::Value>> rowsOf(jet::Database& db, const std::string& table) {
    auto reader = db.openTable(table);
    std::vector<std::vector<db::Value>> out;
    std::vector<db::Value> row;
    while (reader->next(row))
        out.push_back(row);
    return out;
}

struct EncryptedAccdb {
    const char* file;
    const char* password;
    std::uint32_t keyBits;
    const char* hash;
    const char* table;
    std::vector<std::pair<std::int64_t, std::string>> firstRows;  // ID and Field1
};

// Test names and failures show the case by this, not by its bytes.
void PrintTo(const EncryptedAccdb& c, std::ostream* os) {
    *os << c.file;
}

const EncryptedAccdb kAccdbFiles[] = {
    {"access/encrypted/db2007-enc.accdb", "Test123", 128, "SHA1", "Table1", {{1, "foo"}}},
    {"access/encrypted/db2013-enc.accdb",
     "1234",
     256,
     "SHA512",
     "Customers",
     {{1, "Test"}, {2, "Test2"}, {3, "a"}}},
};

class AccdbEncryption : public testing::TestWithParam<EncryptedAccdb> {};

TEST_P(AccdbEncryption, OpensWithItsPasswordAndReadsEveryTable) {
    const auto& f = GetParam();
    DM_REQUIRE_FIXTURE(f.file);
    auto db = jet::Database::open((testenv::fixturesDir() / f.file).string(), {f.password});
    ASSERT_TRUE(db->encryption().has_value());
    const auto& enc = *db->encryption();
    EXPECT_EQ(enc.scheme, jet::OfficeScheme::Agile);
    EXPECT_EQ(enc.majorVersion, 4);
    EXPECT_EQ(enc.minorVersion, 4);
    EXPECT_EQ(enc.agile.keyData.keyBits, f.keyBits);
    EXPECT_EQ(enc.agile.keyData.hashAlgorithm, f.hash);
    EXPECT_EQ(enc.agile.spinCount, 100000u);

    EXPECT_EQ(db->userTableNames(), std::vector<std::string>{f.table});
    EXPECT_GT(readEveryTable(*db), 0u);

    const auto rows = rowsOf(*db, f.table);
    ASSERT_GE(rows.size(), f.firstRows.size());
    for (std::size_t i = 0; i < f.firstRows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 2u);
        EXPECT_EQ(rows[i][0], db::Value::integer(f.firstRows[i].first)) << "row " << i;
        EXPECT_EQ(rows[i][1], db::Value::text(f.firstRows[i].second)) << "row " << i;
    }
}

TEST_P(AccdbEncryption, WrongAndEmptyPasswordsAreRefusedBeforeAnyTableIsRead) {
    const auto& f = GetParam();
    DM_REQUIRE_FIXTURE(f.file);
    const auto bytes = fileBytes(f.file);
    const std::string right = f.password;
    std::string upper = right;
    for (auto& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::vector<std::string> wrong = {"",
                                            "wrong",
                                            right + " ",
                                            " " + right,
                                            right.substr(0, right.size() - 1),
                                            right + right,
                                            upper == right ? right + "x" : upper,
                                            std::string(300, 'x')};
    for (const auto& pwd : wrong) {
        SCOPED_TRACE("password \"" + pwd + "\"");
        const auto furthest = std::make_shared<std::uint64_t>(0);
        auto file = std::make_unique<RecordingFile>(bytes, f.file, furthest);
        try {
            jet::Database::open(std::move(file), {pwd});
            ADD_FAILURE() << "opened";
        } catch (const jet::Error& e) {
            EXPECT_EQ(e.kind(), jet::ErrorKind::WrongPassword);
            EXPECT_EQ(e.message(), "Not a valid password.");
            // Only the header page was read.
            EXPECT_LE(*furthest, 4096u);
        }
    }
}

TEST_P(AccdbEncryption, AKeyIsDerivedOncePerFileAndPasswordAndNeverForAWrongOne) {
    const auto& f = GetParam();
    DM_REQUIRE_FIXTURE(f.file);
    const auto bytes = fileBytes(f.file);
    const auto open = [&](const std::string& password, std::vector<std::uint8_t> b) {
        try {
            jet::Database::open(std::make_unique<jet::MemoryFile>(std::move(b)), {password});
            return true;
        } catch (const jet::Error& e) {
            EXPECT_EQ(e.kind(), jet::ErrorKind::WrongPassword);
            return false;
        }
    };
    // A copy of the file with a salt of its own: another file to the cache, though the same
    // password would open it. The password's salt is the last one of the encryption
    // description (that of the encrypted key).
    std::vector<std::uint8_t> other = bytes;
    const std::string marker = "saltValue=\"";
    const auto at = std::find_end(other.begin(), other.end(), marker.begin(), marker.end());
    ASSERT_NE(at, other.end());
    auto& c = *(at + static_cast<std::ptrdiff_t>(marker.size()));
    c = c == 'A' ? 'B' : 'A';

    const std::uint64_t start = jet::passwordKeyDerivations();
    ASSERT_TRUE(open(f.password, bytes));
    const std::uint64_t first = jet::passwordKeyDerivations() - start;
    EXPECT_LE(first, 1u) << "one opening derived the key twice";
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(open(f.password, bytes));
    EXPECT_EQ(jet::passwordKeyDerivations() - start, first)
        << "the same file and password derived the key again";
    // Wrong passwords are never remembered: each costs the rounds again.
    const std::uint64_t before = jet::passwordKeyDerivations();
    EXPECT_FALSE(open(std::string(f.password) + "x", bytes));
    EXPECT_FALSE(open(std::string(f.password) + "x", bytes));
    EXPECT_EQ(jet::passwordKeyDerivations() - before, 2u);
    // The right password of another salt does not find this file's key (it then fails: the
    // salt is part of what the verifier was made with).
    EXPECT_FALSE(open(f.password, other));
    EXPECT_EQ(jet::passwordKeyDerivations() - before, 3u);
    ASSERT_TRUE(open(f.password, bytes));
    EXPECT_EQ(jet::passwordKeyDerivations() - before, 3u);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, AccdbEncryption, testing::ValuesIn(kAccdbFiles),
                         [](const auto& testInfo) {
                             std::string n = fs::path(testInfo.param.file).stem().string();
                             for (auto& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

// ---- page codecs: exact both ways ----

struct EncodedFile {
    const char* file;
    const char* password;
};

// Test names and failures show the case by this, not by its bytes.
void PrintTo(const EncodedFile& c, std::ostream* os) {
    *os << c.file;
}

class PageCodecs : public testing::TestWithParam<EncodedFile> {};

TEST_P(PageCodecs, EveryPageDecodesAsThePagerReadsItAndEncodesBackToTheBytesOnDisk) {
    const auto& f = GetParam();
    DM_REQUIRE_FIXTURE(f.file);
    const auto bytes = fileBytes(f.file);
    auto db = jet::Database::open(std::make_unique<jet::MemoryFile>(bytes), {f.password});
    const std::uint32_t size = db->format().pageSize;
    std::unique_ptr<jet::PageCodec> codec;
    if (db->encryption())
        codec = jet::openOfficeCodec(*db->encryption(), db->header().encodingKey, f.password);
    else
        codec = std::make_unique<jet::Rc4PageCodec>(db->header().encodingKey);
    ASSERT_NE(db->header().encodingKey, 0u);

    const std::uint32_t pages = static_cast<std::uint32_t>(bytes.size() / size);
    ASSERT_GT(pages, 4u);
    std::uint32_t changed = 0;
    for (std::uint32_t n = 1; n < pages; ++n) {
        const std::span<const std::uint8_t> stored(bytes.data() + std::size_t{n} * size, size);
        std::vector<std::uint8_t> page(stored.begin(), stored.end());
        codec->decode(n, page);
        ASSERT_EQ(page, db->pager().page(n)->bytes) << "page " << n;
        if (!std::equal(page.begin(), page.end(), stored.begin())) ++changed;
        codec->encode(n, page);
        ASSERT_TRUE(std::equal(page.begin(), page.end(), stored.begin())) << "page " << n;
    }
    // The pages really are enciphered: decoding changes every one of them.
    EXPECT_EQ(changed, pages - 1);

    // A page enciphered under another page's number does not decode to the same bytes.
    std::vector<std::uint8_t> plain = db->pager().page(1)->bytes, other = plain;
    codec->encode(1, plain);
    codec->encode(2, other);
    EXPECT_NE(plain, other);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, PageCodecs,
                         testing::Values(EncodedFile{"access/encrypted/db97-enc.mdb", ""},
                                         EncodedFile{"access/encrypted/db-enc.mdb", ""},
                                         EncodedFile{"access/encrypted/db2007-enc.accdb",
                                                     "Test123"},
                                         EncodedFile{"access/encrypted/db2013-enc.accdb", "1234"}),
                         [](const auto& testInfo) {
                             std::string n = fs::path(testInfo.param.file).stem().string();
                             for (auto& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

TEST(RcEncodedMdb, BothOpenWithoutAPasswordAndReadEveryTable) {
    DM_REQUIRE_FIXTURE("access/encrypted/db-enc.mdb");
    for (const char* f : {"access/encrypted/db97-enc.mdb", "access/encrypted/db-enc.mdb"}) {
        SCOPED_TRACE(f);
        auto db = jet::Database::open((testenv::fixturesDir() / f).string(), {});
        EXPECT_FALSE(db->encryption().has_value());
        EXPECT_NE(db->header().encodingKey, 0u);
        EXPECT_EQ(db->userTableNames(), std::vector<std::string>{"Table1"});
        EXPECT_GT(readEveryTable(*db), 0u);
        // Encoding is not a password: any password opens them, as Access does.
        EXPECT_NO_THROW(jet::Database::open((testenv::fixturesDir() / f).string(), {"any"}));
    }
}

// ---- damaged encryption headers ----

// The file with the first `from` in its encryption header replaced by `to` (same length).
std::vector<std::uint8_t> patched(std::vector<std::uint8_t> bytes, const std::string& from,
                                  const std::string& to) {
    EXPECT_EQ(from.size(), to.size());
    const std::string_view page(reinterpret_cast<const char*>(bytes.data()), 4096);
    const auto at = page.find(from, jet::kOfficeEncryptionOffset);
    EXPECT_NE(at, std::string_view::npos) << from;
    if (at != std::string_view::npos) std::copy(to.begin(), to.end(), bytes.begin() + at);
    return bytes;
}

TEST(DamagedEncryptionHeader, IsRefusedWithAClearError) {
    DM_REQUIRE_FIXTURE("access/encrypted/db2013-enc.accdb");
    const auto bytes = fileBytes("access/encrypted/db2013-enc.accdb");
    using K = jet::ErrorKind;
    struct Case {
        std::string from, to;
        K kind;
        std::string says;
    };
    const std::vector<Case> cases = {
        {"cipherAlgorithm=\"AES\"", "cipherAlgorithm=\"DES\"", K::NotSupported, "the cipher DES"},
        {"ChainingModeCBC", "ChainingModeCFB", K::NotSupported, "chaining mode ChainingModeCFB"},
        {"hashAlgorithm=\"SHA512\"", "hashAlgorithm=\"SHA999\"", K::NotSupported,
         "hash algorithm SHA999"},
        {"spinCount=\"100000\"", "spinCount=\"1x0000\"", K::Corrupt, "not a number"},
        // The same element without its namespace prefix, with more rounds than the format allows.
        {"<p:encryptedKey spinCount=\"100000\"", "<encryptedKey spinCount=\"20000000\"", K::Corrupt,
         "asks for 20000000 hash rounds, more than 10000000"},
        {"keyBits=\"256\"", "keyBits=\"257\"", K::Corrupt, "257 bits"},
        {"saltSize=\"16\"", "saltSize=\"17\"", K::Corrupt, "salt of 16 bytes"},
        {"saltValue=\"3MF5", "saltValue=\"3M=5", K::Corrupt, "not Base64"},
        {"encryptedKeyValue=", "encryptedKeyVa1ue=", K::Corrupt, "no encryptedKeyValue"},
        {"<keyData ", "<keyDat_ ", K::Corrupt, "no <keyData>"},
        {"keyEncryptor/password\">", "keyEncryptor/passwerd\">", K::NotSupported, "certificate"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.to);
        const jet::Error e = openError(patched(bytes, c.from, c.to), "1234");
        EXPECT_EQ(e.kind(), c.kind) << e.message();
        EXPECT_NE(e.message().find(c.says), std::string::npos) << e.message();
    }

    // The version and the length field in front of the information.
    auto put16 = [&](std::size_t offset, std::uint16_t v) {
        auto b = bytes;
        b[offset] = static_cast<std::uint8_t>(v);
        b[offset + 1] = static_cast<std::uint8_t>(v >> 8);
        return b;
    };
    const std::size_t at = jet::kOfficeEncryptionOffset;
    jet::Error e = openError(put16(at, 0xFFFF), "1234");
    EXPECT_EQ(e.kind(), K::Corrupt);
    EXPECT_EQ(e.message(),
              "The database file is damaged: the encryption header gives a length of 65535 bytes "
              "(page 0).");
    e = openError(put16(at, 2), "1234");
    EXPECT_EQ(e.kind(), K::Corrupt) << e.message();
    e = openError(put16(at + 4, 3), "1234");  // minor version 3: extensible encryption
    EXPECT_EQ(e.kind(), K::NotSupported);
    EXPECT_EQ(e.message(),
              "This .accdb file is encrypted with an extensible encryption provider, which this "
              "program cannot open. Open it in Access, remove the database password or set it "
              "again with the default encryption, and try again.");
    e = openError(put16(at + 2, 9), "1234");
    EXPECT_EQ(e.kind(), K::NotSupported);
    EXPECT_NE(e.message().find("the encryption version 9.4"), std::string::npos) << e.message();
}

TEST(DamagedEncryptionHeader, RandomDamageGivesAnErrorOrAFileThatReadsNeverACrash) {
    DM_REQUIRE_FIXTURE("access/encrypted/db2007-enc.accdb");
    const auto bytes = fileBytes("access/encrypted/db2007-enc.accdb");
    std::mt19937 rng(20240607);
    std::uniform_int_distribution<std::size_t> offset(jet::kOfficeEncryptionOffset, 0x640);
    std::uniform_int_distribution<int> byte(0, 255);
    int refused = 0;
    for (int round = 0; round < 300; ++round) {
        auto b = bytes;
        const int flips = 1 + round % 4;
        for (int i = 0; i < flips; ++i)
            b[offset(rng)] = static_cast<std::uint8_t>(byte(rng));
        try {
            auto db = jet::Database::open(std::make_unique<jet::MemoryFile>(b), {"Test123"});
            readEveryTable(*db);
        } catch (const jet::Error& e) {
            ++refused;
            EXPECT_FALSE(e.message().empty());
        }
    }
    EXPECT_GT(refused, 200);
}

}  // namespace
