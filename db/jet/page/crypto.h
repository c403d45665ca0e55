// The hashes and ciphers the engine needs, all from OpenSSL's libcrypto: RC4 for the masked
// header, for encoded .mdb pages and for the RC4 scheme of encrypted .accdb files; the SHA
// family and AES for the other .accdb schemes; Base64 for the XML description of the newer one.
//
// startEngine() loads OpenSSL's "default" and "legacy" providers (RC4 lives in the legacy one)
// once per process and checks that RC4 can be used; it throws jet::Error (Engine) when that
// fails. The cipher functions start the engine themselves on first use. Every function here is
// safe to call from several threads; a Hasher is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace jet {

using ByteVector = std::vector<std::uint8_t>;

void startEngine();

// XORs `data` in place with the RC4 key stream of `key` (encoding and decoding are the same).
void rc4(std::span<const std::uint8_t> key, std::span<std::uint8_t> data);

// A hash function, named as the Office encryption formats name it: "SHA1", "SHA256", "SHA384",
// "SHA512", "MD5" (letter case and a '-' are ignored, so "SHA-512" is the same). Keeps one
// OpenSSL context, so a long series of hashes costs no allocations.
class Hasher {
  public:
    // nullopt when the name is not one of those above or OpenSSL does not offer it.
    static std::optional<Hasher> byName(std::string_view name);
    Hasher(Hasher&&) noexcept;
    Hasher& operator=(Hasher&&) noexcept;
    ~Hasher();

    std::size_t size() const;  // digest length in bytes
    // The digest of the concatenation of `parts`.
    ByteVector hash(std::initializer_list<std::span<const std::uint8_t>> parts);

  private:
    struct State;
    explicit Hasher(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

enum class CipherMode { Ecb, Cbc };

// AES without padding. REQUIRES: key is 16, 24 or 32 bytes; data.size() is a multiple of 16;
// iv is 16 bytes for Cbc (ignored for Ecb). Works in place. Throws Engine when OpenSSL fails.
void aesDecrypt(CipherMode mode, std::span<const std::uint8_t> key,
                std::span<const std::uint8_t> iv, std::span<std::uint8_t> data);
void aesEncrypt(CipherMode mode, std::span<const std::uint8_t> key,
                std::span<const std::uint8_t> iv, std::span<std::uint8_t> data);

// The bytes of Base64 `text` (white space allowed between groups); nullopt when it is not
// valid Base64.
std::optional<ByteVector> decodeBase64(std::string_view text);

}  // namespace jet
