// Key derivation, password verification and per-page ciphering of the .accdb schemes.
#include "db/jet/page/office_codec.h"

#include <openssl/crypto.h>

#include <array>
#include <cstring>

#include "db/jet/base/error.h"
#include "db/jet/format/text_codec.h"
#include "db/jet/page/crypto.h"

namespace jet {

namespace {

constexpr std::size_t kMaxPasswordUnits = 255;
constexpr std::uint32_t kStandardRounds = 50'000;

using Block = std::array<std::uint8_t, 4>;

Block le32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

// The block number of page `page`: the encoding key XOR the page number.
Block pageBlock(std::uint32_t encodingKey, std::uint32_t page) {
    return le32(encodingKey ^ page);
}

ByteVector passwordBytes(std::string_view password) {
    ByteVector b = encodeUtf16le(password);
    if (b.size() > kMaxPasswordUnits * 2) b.resize(kMaxPasswordUnits * 2);
    return b;
}

// `bytes` cut or padded with `pad` to `length`.
ByteVector fixed(ByteVector bytes, std::size_t length, std::uint8_t pad) {
    bytes.resize(length, pad);
    return bytes;
}

Hasher hasher(const std::string& name) {
    auto h = Hasher::byName(name);
    if (!h) throw Error(ErrorKind::Engine, "OpenSSL offers no " + name + " hash.");
    return std::move(*h);
}

// H0 = hash(salt + password), then `rounds` times H = hash(round number + H).
ByteVector iteratedHash(Hasher& h, const ByteVector& salt, const ByteVector& password,
                        std::uint32_t rounds) {
    ByteVector value = h.hash({salt, password});
    for (std::uint32_t i = 0; i < rounds; ++i) {
        const Block n = le32(i);
        value = h.hash({n, value});
    }
    return value;
}

bool sameBytes(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

[[noreturn]] void wrongPassword() {
    throw Error(ErrorKind::WrongPassword, "Not a valid password.");
}

// ---- RC4 with CryptoAPI keys ----

class Rc4CryptoApiCodec : public PageCodec {
  public:
    Rc4CryptoApiCodec(const StandardEncryption& s, std::uint32_t encodingKey,
                      const ByteVector& password)
        : sha1_(hasher("SHA1")), keyBytes_(s.keyBits / 8), encodingKey_(encodingKey) {
        base_ = sha1_.hash({s.salt, password});
        ByteVector check = s.encryptedVerifier;
        check.insert(check.end(), s.encryptedVerifierHash.begin(), s.encryptedVerifierHash.end());
        const ByteVector key = keyFor(le32(0));
        rc4(key, check);  // one key stream over the verifier and then its hash
        const std::span<const std::uint8_t> verifier(check.data(), 16);
        const ByteVector expected = sha1_.hash({verifier});
        if (!sameBytes(std::span(expected).first(s.verifierHashSize),
                       std::span(check).subspan(16, s.verifierHashSize)))
            wrongPassword();
    }
    void decode(std::uint32_t page, std::span<std::uint8_t> bytes) const override {
        rc4(keyFor(pageBlock(encodingKey_, page)), bytes);
    }
    void encode(std::uint32_t page, std::span<std::uint8_t> bytes) const override {
        decode(page, bytes);  // a stream cipher: the same operation both ways
    }

  private:
    ByteVector keyFor(const Block& block) const {
        ByteVector key = fixed(sha1_.hash({base_, block}), keyBytes_, 0);
        // 40-bit keys are used as 128-bit keys whose last eleven bytes are zero.
        if (keyBytes_ == 5) key.resize(16, 0);
        return key;
    }
    mutable Hasher sha1_;
    std::size_t keyBytes_;
    std::uint32_t encodingKey_;
    ByteVector base_;
};

// ---- AES-ECB with CryptoAPI keys (standard, and the variant without rounds) ----

class AesStandardCodec : public PageCodec {
  public:
    AesStandardCodec(const StandardEncryption& s, std::uint32_t rounds, std::uint32_t encodingKey,
                     const ByteVector& password)
        : sha1_(hasher("SHA1")), keyBytes_(s.keyBits / 8), encodingKey_(encodingKey) {
        rounded_ = iteratedHash(sha1_, s.salt, password, rounds);
        const ByteVector key = keyFor(le32(0));
        ByteVector verifier = s.encryptedVerifier;
        ByteVector hash = s.encryptedVerifierHash;
        aesDecrypt(CipherMode::Ecb, key, {}, verifier);
        aesDecrypt(CipherMode::Ecb, key, {}, hash);
        const ByteVector expected = sha1_.hash({verifier});
        if (!sameBytes(std::span(expected).first(s.verifierHashSize),
                       std::span(hash).first(s.verifierHashSize)))
            wrongPassword();
    }
    void decode(std::uint32_t page, std::span<std::uint8_t> bytes) const override {
        aesDecrypt(CipherMode::Ecb, keyFor(pageBlock(encodingKey_, page)), {}, bytes);
    }
    void encode(std::uint32_t page, std::span<std::uint8_t> bytes) const override {
        aesEncrypt(CipherMode::Ecb, keyFor(pageBlock(encodingKey_, page)), {}, bytes);
    }

  private:
    ByteVector keyFor(const Block& block) const {
        const ByteVector x = sha1_.hash({rounded_, block});
        std::array<std::uint8_t, 64> inner, outer;
        inner.fill(0x36);
        outer.fill(0x5C);
        for (std::size_t i = 0; i < x.size(); ++i) {
            inner[i] ^= x[i];
            outer[i] ^= x[i];
        }
        ByteVector key = sha1_.hash({inner});
        const ByteVector second = sha1_.hash({outer});
        key.insert(key.end(), second.begin(), second.end());
        key.resize(keyBytes_);
        return key;
    }
    mutable Hasher sha1_;
    std::size_t keyBytes_;
    std::uint32_t encodingKey_;
    ByteVector rounded_;
};

// ---- agile: AES-CBC with a key kept encrypted under the password ----

class AgileCodec : public PageCodec {
  public:
    AgileCodec(const AgileEncryption& a, std::uint32_t encodingKey, const ByteVector& password)
        : pageHash_(hasher(a.keyData.hashAlgorithm)),
          salt_(a.keyData.salt),
          blockSize_(a.keyData.blockSize),
          encodingKey_(encodingKey) {
        static constexpr std::array<std::uint8_t, 8> kVerifierInputBlock = {0xfe, 0xa7, 0xd2, 0x76,
                                                                            0x3b, 0x4b, 0x9e, 0x79};
        static constexpr std::array<std::uint8_t, 8> kVerifierHashBlock = {0xd7, 0xaa, 0x0f, 0x6d,
                                                                           0x30, 0x61, 0x34, 0x4e};
        static constexpr std::array<std::uint8_t, 8> kKeyValueBlock = {0x14, 0x6e, 0x0b, 0xe7,
                                                                       0xab, 0xac, 0xd0, 0xd6};
        const AgileCipherParams& pk = a.passwordKey;
        Hasher h = hasher(pk.hashAlgorithm);
        const ByteVector rounded = iteratedHash(h, pk.salt, password, a.spinCount);
        const ByteVector iv = fixed(pk.salt, pk.blockSize, 0x36);
        auto unlock = [&](const std::array<std::uint8_t, 8>& block, ByteVector value) {
            const ByteVector key = fixed(h.hash({rounded, block}), pk.keyBits / 8, 0x36);
            aesDecrypt(CipherMode::Cbc, key, iv, value);
            return value;
        };
        const ByteVector input = unlock(kVerifierInputBlock, a.encryptedVerifierHashInput);
        const ByteVector value = unlock(kVerifierHashBlock, a.encryptedVerifierHashValue);
        const ByteVector expected = h.hash({std::span(input).first(pk.saltSize)});
        if (!sameBytes(expected, std::span(value).first(pk.hashSize))) wrongPassword();
        key_ = unlock(kKeyValueBlock, a.encryptedKeyValue);
        key_.resize(a.keyData.keyBits / 8);
    }
    void decode(std::uint32_t page, std::span<std::uint8_t> bytes) const override {
        aesDecrypt(CipherMode::Cbc, key_, ivFor(page), bytes);
    }
    void encode(std::uint32_t page, std::span<std::uint8_t> bytes) const override {
        aesEncrypt(CipherMode::Cbc, key_, ivFor(page), bytes);
    }

  private:
    ByteVector ivFor(std::uint32_t page) const {
        const Block block = pageBlock(encodingKey_, page);
        return fixed(pageHash_.hash({salt_, block}), blockSize_, 0x36);
    }
    mutable Hasher pageHash_;
    ByteVector salt_;
    std::size_t blockSize_;
    std::uint32_t encodingKey_;
    ByteVector key_;
};

}  // namespace

std::unique_ptr<PageCodec> openOfficeCodec(const OfficeEncryption& encryption,
                                           std::uint32_t encodingKey, std::string_view password) {
    const ByteVector pwd = passwordBytes(password);
    switch (encryption.scheme) {
        case OfficeScheme::Rc4CryptoApi:
            return std::make_unique<Rc4CryptoApiCodec>(encryption.standard, encodingKey, pwd);
        case OfficeScheme::AesStandard:
            return std::make_unique<AesStandardCodec>(encryption.standard, kStandardRounds,
                                                      encodingKey, pwd);
        case OfficeScheme::AesUniterated:
            return std::make_unique<AesStandardCodec>(encryption.standard, 0, encodingKey, pwd);
        case OfficeScheme::Agile:
            return std::make_unique<AgileCodec>(encryption.agile, encodingKey, pwd);
    }
    throw Error(ErrorKind::NotSupported, "This .accdb file uses an unknown encryption scheme.");
}

}  // namespace jet
