// The CryptoAPI schemes of encrypted .accdb files (RC4 with 40- and 128-bit keys, AES with and
// without the 50,000 hash rounds), which no fixture uses: the test encrypts copies of a real
// .accdb itself, computing keys, verifier and pages straight from OpenSSL, independently of the
// engine's codecs, and checks that the engine reads them back equal and refuses wrong passwords.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <fstream>

#include "db/jet/base/error.h"
#include "db/jet/check/check.h"
#include "db/jet/database/database.h"
#include "db/jet/page/crypto.h"
#include "db/jet/page/header.h"
#include "db/jet/sql/executor.h"
#include "db/jet/table/table_reader.h"
#include "tests/support/test_env.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes sha1(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    Bytes out(20);
    unsigned int len = 0;
    EVP_Digest(all.data(), all.size(), out.data(), &len, EVP_sha1(), nullptr);
    return out;
}

Bytes le32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

void aesEcbEncrypt(const Bytes& key, std::uint8_t* data, std::size_t n) {
    const EVP_CIPHER* c = key.size() == 16 ? EVP_aes_128_ecb() : EVP_aes_256_ecb();
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(ctx, c, nullptr, key.data(), nullptr);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    int len = 0;
    EVP_EncryptUpdate(ctx, data, &len, data, static_cast<int>(n));
    EVP_CIPHER_CTX_free(ctx);
}

Bytes utf16(const std::string& ascii) {
    Bytes b;
    for (char c : ascii) {
        b.push_back(static_cast<std::uint8_t>(c));
        b.push_back(0);
    }
    return b;
}

void put32(Bytes& b, std::uint32_t v) {
    const Bytes x = le32(v);
    b.insert(b.end(), x.begin(), x.end());
}

struct Scheme {
    const char* name;
    bool aes;
    std::uint32_t keyBits;
    std::uint32_t flags;   // 0x04 CryptoAPI, 0x20 AES
    std::uint32_t rounds;  // AES only: 50,000 with the AES flag, none without
    const char* provider;
};

// Test names and failures show the case by this, not by its bytes.
void PrintTo(const Scheme& c, std::ostream* os) {
    *os << c.name;
}

// `plain` (an unencrypted .accdb) encrypted as `s` describes with `password`.
Bytes encrypt(Bytes file, const Scheme& s, const std::string& password) {
    const std::size_t pageSize = 4096;
    const std::uint32_t encodingKey = 0x5EC2E7A9;
    // The encoding key lives in the masked part of the header.
    const auto mask = jet::headerMask(128);
    for (std::size_t i = 0; i < 4; ++i)
        file[0x3e + i] = static_cast<std::uint8_t>(le32(encodingKey)[i] ^ mask[0x3e - 0x18 + i]);

    const Bytes salt = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,
                        0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xf0, 0x0f};
    const Bytes base = sha1({salt, utf16(password)});
    std::function<Bytes(const Bytes&)> keyFor;
    if (!s.aes) {
        keyFor = [&, base](const Bytes& block) {
            Bytes k = sha1({base, block});
            k.resize(s.keyBits / 8);
            if (s.keyBits == 40) k.resize(16, 0);
            return k;
        };
    } else {
        Bytes h = base;
        for (std::uint32_t i = 0; i < s.rounds; ++i)
            h = sha1({le32(i), h});
        keyFor = [&, h](const Bytes& block) {
            const Bytes x = sha1({h, block});
            Bytes in(64, 0x36), out(64, 0x5c);
            for (std::size_t i = 0; i < 20; ++i) {
                in[i] ^= x[i];
                out[i] ^= x[i];
            }
            Bytes k = sha1({in});
            const Bytes k2 = sha1({out});
            k.insert(k.end(), k2.begin(), k2.end());
            k.resize(s.keyBits / 8);
            return k;
        };
    }

    // The verifier and its hash, enciphered with the key of block 0.
    const Bytes verifier = {'v', 'e', 'r', 'i', 'f', 'i', 'e', 'r',
                            '-', 'b', 'y', 't', 'e', 's', '!', '?'};
    Bytes encVerifier = verifier, encHash = sha1({verifier});
    const Bytes key0 = keyFor(le32(0));
    if (!s.aes) {
        Bytes both = encVerifier;
        both.insert(both.end(), encHash.begin(), encHash.end());
        jet::rc4(key0, both);
        encVerifier.assign(both.begin(), both.begin() + 16);
        encHash.assign(both.begin() + 16, both.end());
    } else {
        encHash.resize(32, 0);
        aesEcbEncrypt(key0, encVerifier.data(), 16);
        aesEcbEncrypt(key0, encHash.data(), 32);
    }

    Bytes header;
    put32(header, s.flags);
    put32(header, 0);  // size extra
    put32(header, s.aes ? (s.keyBits == 128 ? 0x660E : 0x6610) : 0x6801);
    put32(header, 0x8004);
    put32(header, s.keyBits);
    put32(header, s.aes ? 0x18 : 1);
    put32(header, 0);
    put32(header, 0);
    const Bytes name = utf16(std::string(s.provider) + '\0');
    header.insert(header.end(), name.begin(), name.end());

    Bytes info = {4, 0, 2, 0};
    put32(info, s.flags);
    put32(info, static_cast<std::uint32_t>(header.size()));
    info.insert(info.end(), header.begin(), header.end());
    put32(info, 16);
    info.insert(info.end(), salt.begin(), salt.end());
    info.insert(info.end(), encVerifier.begin(), encVerifier.end());
    put32(info, 20);
    info.insert(info.end(), encHash.begin(), encHash.end());
    file[0x299] = static_cast<std::uint8_t>(info.size());
    file[0x29a] = static_cast<std::uint8_t>(info.size() >> 8);
    std::copy(info.begin(), info.end(), file.begin() + 0x29b);

    for (std::size_t n = 1; n < file.size() / pageSize; ++n) {
        std::uint8_t* page = file.data() + n * pageSize;
        const Bytes key = keyFor(le32(encodingKey ^ static_cast<std::uint32_t>(n)));
        if (s.aes)
            aesEcbEncrypt(key, page, pageSize);
        else
            jet::rc4(key, std::span<std::uint8_t>(page, pageSize));
    }
    return file;
}

std::vector<std::vector<db::Value>> everyRow(std::unique_ptr<jet::Database> db) {
    std::vector<std::vector<db::Value>> out;
    for (const auto& name : db->userTableNames()) {
        auto reader = db->openTable(name);
        std::vector<db::Value> row;
        while (reader->next(row))
            out.push_back(row);
    }
    return out;
}

// The bytes of a fixture, read as the engine reads files.
Bytes fixtureBytes(const char* fixture) {
    jet::startEngine();
    auto f =
        jet::openPosixFile((testenv::fixturesDir() / fixture).string(), jet::OpenMode::ReadOnly);
    Bytes bytes(f->size());
    f->read(0, bytes);
    return bytes;
}

class CryptoApiScheme : public testing::TestWithParam<Scheme> {};

TEST_P(CryptoApiScheme, AFileEncryptedWithItReadsAsThePlainFileAndOnlyWithItsPassword) {
    const char* fixture = "access/V2007/testV2007.accdb";
    DM_REQUIRE_FIXTURE(fixture);
    const Bytes plain = fixtureBytes(fixture);
    const auto want = everyRow(jet::Database::open(std::make_unique<jet::MemoryFile>(plain), {}));
    ASSERT_FALSE(want.empty());

    const Bytes encrypted = encrypt(plain, GetParam(), "Open Sesame");
    ASSERT_NE(encrypted, plain);
    auto db = jet::Database::open(std::make_unique<jet::MemoryFile>(encrypted), {"Open Sesame"});
    ASSERT_TRUE(db->encryption().has_value());
    EXPECT_EQ(db->encryption()->standard.keyBits, GetParam().keyBits);
    EXPECT_EQ(everyRow(std::move(db)), want);

    for (const char* wrong : {"", "open sesame", "Open Sesame!"}) {
        try {
            jet::Database::open(std::make_unique<jet::MemoryFile>(encrypted), {wrong});
            ADD_FAILURE() << "opened with \"" << wrong << "\"";
        } catch (const jet::Error& e) {
            EXPECT_EQ(e.kind(), jet::ErrorKind::WrongPassword) << e.message();
            EXPECT_EQ(e.message(), "Not a valid password.");
        }
    }
}

// Written back with the same scheme and key: a table made and filled in a file of each scheme
// reads back after reopening, only with the password, and no written text shows in the bytes.
TEST_P(CryptoApiScheme, TablesWrittenIntoAFileOfTheSchemeStayEnciphered) {
    const char* fixture = "access/empty/empty2007.accdb";
    DM_REQUIRE_FIXTURE(fixture);
    const Bytes plain = fixtureBytes(fixture);
    testenv::TempDir dir;
    const std::string path = (dir.path() / "scheme.accdb").string();
    {
        std::ofstream out(path, std::ios::binary);
        const Bytes encrypted = encrypt(plain, GetParam(), "Open Sesame");
        out.write(reinterpret_cast<const char*>(encrypted.data()),
                  static_cast<std::streamsize>(encrypted.size()));
    }
    const std::string secret = "PlainWordsNobodyMaySee";
    {
        jet::OpenOptions o;
        o.password = "Open Sesame";
        o.mode = jet::OpenMode::ReadWrite;
        auto db = jet::Database::open(path, o);
        jet::sql::execute(*db,
                          "CREATE TABLE Notes (id COUNTER PRIMARY KEY, t VARCHAR(60), m MEMO)");
        jet::sql::execute(*db, "INSERT INTO Notes (t, m) VALUES ('" + secret + "', '" + secret +
                                   std::string(5000, 'q') + "')");
    }
    jet::OpenOptions o;
    o.password = "Open Sesame";
    auto db = jet::Database::open(path, o);
    EXPECT_EQ(jet::checkDatabase(*db).problems(), std::vector<std::string>{});
    auto reader = db->openTable("Notes");
    std::vector<db::Value> row;
    ASSERT_TRUE(reader->next(row));
    EXPECT_EQ(row[1], db::Value::text(secret));
    EXPECT_EQ(row[2], db::Value::text(secret + std::string(5000, 'q')));
    EXPECT_FALSE(reader->next(row));

    std::ifstream in(path, std::ios::binary);
    const std::string raw{std::istreambuf_iterator<char>(in), {}};
    std::string wide;
    for (char c : secret)
        wide += std::string{c, '\0'};
    EXPECT_EQ(raw.find(secret), std::string::npos);
    EXPECT_EQ(raw.find(wide), std::string::npos);
    try {
        jet::Database::open(path, {"open sesame"});
        ADD_FAILURE() << "opened with a wrong password";
    } catch (const jet::Error& e) {
        EXPECT_EQ(e.kind(), jet::ErrorKind::WrongPassword);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Schemes, CryptoApiScheme,
    testing::Values(Scheme{"Rc4Base40", false, 40, 0x04, 0,
                           "Microsoft Base Cryptographic Provider v1.0"},
                    Scheme{"Rc4Enhanced128", false, 128, 0x04, 0,
                           "Microsoft Enhanced Cryptographic Provider v1.0"},
                    Scheme{"Aes128Standard", true, 128, 0x24, 50000,
                           "Microsoft Enhanced RSA and AES Cryptographic Provider"},
                    Scheme{"Aes256WithoutRounds", true, 256, 0x04, 0,
                           "Microsoft Enhanced RSA and AES Cryptographic Provider"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
