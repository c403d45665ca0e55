// Key derivation, password verification and per-page ciphering of the .accdb schemes.
#include "db/jet/page/office_codec.h"

#include <openssl/crypto.h>

#include <array>
#include <atomic>
#include <cstring>
#include <list>
#include <mutex>

#include "db/jet/base/byte_writer.h"
#include "db/jet/base/error.h"
#include "db/jet/format/text_codec.h"
#include "db/jet/page/crypto.h"

namespace jet {

namespace {

constexpr std::size_t kMaxPasswordUnits = 255;
constexpr std::uint32_t kStandardRounds = 50'000;

using Block = std::array<std::uint8_t, 4>;

// The block number `v` as the key derivation hashes it: four bytes, little-endian.
Block blockNumber(std::uint32_t v) {
    Block b{};
    ByteWriter(b, "block number").u32(0, v);
    return b;
}

// The block number of page `page`: the encoding key XOR the page number.
Block pageBlock(std::uint32_t encodingKey, std::uint32_t page) {
    return blockNumber(encodingKey ^ page);
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

bool sameBytes(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

std::atomic<std::uint64_t> gDerivations{0};

// H0 = hash(salt + password), then `rounds` times H = hash(round number + H).
ByteVector iteratedHash(Hasher& h, const ByteVector& salt, const ByteVector& password,
                        std::uint32_t rounds) {
    ++gDerivations;
    ByteVector value = h.hash({salt, password});
    for (std::uint32_t i = 0; i < rounds; ++i) {
        const Block n = blockNumber(i);
        value = h.hash({n, value});
    }
    return value;
}

// The iterated hashes of passwords that unlocked a file, for the rest of the run: the program
// opens one file many times (listing, reading, executing), and a file may ask for millions of
// rounds. An entry is found by the SHA-256 of everything the hash depends on (the hash, the
// salt, the round count, the password), so only the same password of the same file finds it;
// passwords themselves are not kept, and a wrong password is never remembered, so guessing
// costs every round each time.
class DerivedKeys {
  public:
    static DerivedKeys& instance() {
        static DerivedKeys keys;
        return keys;
    }
    std::optional<ByteVector> find(const ByteVector& id) {
        std::lock_guard<std::mutex> guard(mutex_);
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (!sameBytes(it->first, id)) continue;
            entries_.splice(entries_.begin(), entries_, it);  // most recently used first
            return it->second;
        }
        return std::nullopt;
    }
    void remember(const ByteVector& id, const ByteVector& value) {
        std::lock_guard<std::mutex> guard(mutex_);
        for (const auto& e : entries_)
            if (sameBytes(e.first, id)) return;
        entries_.emplace_front(id, value);
        if (entries_.size() > kEntries) {
            OPENSSL_cleanse(entries_.back().second.data(), entries_.back().second.size());
            entries_.pop_back();
        }
    }

  private:
    static constexpr std::size_t kEntries = 16;
    std::mutex mutex_;
    std::list<std::pair<ByteVector, ByteVector>> entries_;
};

// iteratedHash() through the cache of derived keys: call verified() once the result unlocked
// the file, and the next opening with the same password skips the rounds.
class RoundedHash {
  public:
    RoundedHash(Hasher& h, std::string_view algorithm, const ByteVector& salt,
                const ByteVector& password, std::uint32_t rounds) {
        Hasher sha256 = hasher("SHA256");
        const auto name =
            std::span(reinterpret_cast<const std::uint8_t*>(algorithm.data()), algorithm.size());
        ByteVector what;
        ByteBuilder b(what, "derived key id");
        b.u32(static_cast<std::uint32_t>(name.size()));
        b.bytes(name);
        b.u32(static_cast<std::uint32_t>(salt.size()));
        b.bytes(salt);
        b.u32(rounds);
        id_ = sha256.hash({what, password});
        if (auto cached = DerivedKeys::instance().find(id_)) {
            value_ = std::move(*cached);
            return;
        }
        value_ = iteratedHash(h, salt, password, rounds);
    }
    ~RoundedHash() { OPENSSL_cleanse(value_.data(), value_.size()); }
    RoundedHash(const RoundedHash&) = delete;
    RoundedHash& operator=(const RoundedHash&) = delete;
    const ByteVector& value() const { return value_; }
    void verified() { DerivedKeys::instance().remember(id_, value_); }

  private:
    ByteVector id_;
    ByteVector value_;
};

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
        const ByteVector key = keyFor(blockNumber(0));
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
        RoundedHash rounded(sha1_, "SHA1", s.salt, password, rounds);
        rounded_ = rounded.value();
        const ByteVector key = keyFor(blockNumber(0));
        ByteVector verifier = s.encryptedVerifier;
        ByteVector hash = s.encryptedVerifierHash;
        aesDecrypt(CipherMode::Ecb, key, {}, verifier);
        aesDecrypt(CipherMode::Ecb, key, {}, hash);
        const ByteVector expected = sha1_.hash({verifier});
        if (!sameBytes(std::span(expected).first(s.verifierHashSize),
                       std::span(hash).first(s.verifierHashSize)))
            wrongPassword();
        rounded.verified();
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
        RoundedHash derived(h, pk.hashAlgorithm, pk.salt, password, a.spinCount);
        const ByteVector& rounded = derived.value();
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
        derived.verified();
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

std::uint64_t passwordKeyDerivations() {
    return gDerivations.load();
}

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
