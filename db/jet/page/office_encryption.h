// The encryption header of a password-protected .accdb file, as Access keeps it in the header
// page, read into plain structures.
//
// An .accdb file with a database password is encrypted throughout with the Office document
// encryption format: every page but page 0 is enciphered, and page 0 (never enciphered) holds
// the description of the scheme and what checks the password. Layout, from the start of page 0:
//
//   offset  size  meaning
//   0x3e    4     encoding key (inside the masked part, see header.h): non-zero when encrypted;
//                 it is mixed with each page number into the per-page key (office_codec.h)
//   0x299   2     length N of the encryption information
//   0x29b   N     the information: u16 major version, u16 minor version, then
//
//     (2|3|4).2  "standard" (CryptoAPI) encryption: u32 flags, u32 header length H, then the
//                header of H bytes:
//                  u32 flags (0x04 CryptoAPI, 0x20 AES), u32 size extra, u32 algorithm id
//                  (0x6801 RC4, 0x660E/0x660F/0x6610 AES-128/192/256), u32 hash id (0x8004
//                  SHA-1), u32 key size in bits (0: the provider's default), u32 provider
//                  type, 8 reserved bytes, the provider's name in UTF-16LE to the end
//                and the verifier: u32 salt size (16), the salt, a 16-byte encrypted verifier,
//                u32 verifier hash size (20), the encrypted verifier hash (20 bytes for RC4,
//                32 for AES)
//     4.4        "agile" encryption: u32 reserved (0x40), then an XML descriptor (UTF-8) to
//                the end: <keyData> with the salt, block size, key bits, cipher, chaining and
//                hash of the pages, and one password <keyEncryptor> whose <encryptedKey>
//                holds the spin count, its own salt and cipher, and three Base64 values (the
//                encrypted verifier input, verifier hash and page key)
//
// Which scheme a file uses follows from the version, the flags and the algorithm:
// Rc4CryptoApi (Access 2007's own), AesStandard (50,000 SHA-1 rounds), AesUniterated (AES chosen
// in an Access 2007 file without Office compatibility: the same without the rounds) and Agile
// (Access 2010 and later).
#pragma once

#include <cstdint>
#include <string>

#include "db/jet/base/byte_reader.h"
#include "db/jet/page/crypto.h"

namespace jet {

enum class OfficeScheme { Rc4CryptoApi, AesStandard, AesUniterated, Agile };

// The fields of the standard schemes.
struct StandardEncryption {
    std::uint32_t flags = 0;
    std::uint32_t algorithmId = 0;
    std::uint32_t hashId = 0;
    std::uint32_t keyBits = 0;  // the provider's default already applied
    std::uint32_t providerType = 0;
    std::string providerName;  // UTF-8
    ByteVector salt;
    ByteVector encryptedVerifier;
    std::uint32_t verifierHashSize = 0;
    ByteVector encryptedVerifierHash;
};

// The cipher and hash parameters shared by <keyData> and <encryptedKey>.
struct AgileCipherParams {
    std::uint32_t saltSize = 0;
    std::uint32_t blockSize = 0;
    std::uint32_t keyBits = 0;
    std::uint32_t hashSize = 0;
    std::string cipherAlgorithm;  // "AES"
    std::string cipherChaining;   // "ChainingModeCBC"
    std::string hashAlgorithm;    // "SHA1", "SHA512"
    ByteVector salt;
};

struct AgileEncryption {
    AgileCipherParams keyData;      // how the pages are enciphered
    AgileCipherParams passwordKey;  // how the password's key encrypts the page key
    std::uint32_t spinCount = 0;
    ByteVector encryptedVerifierHashInput;
    ByteVector encryptedVerifierHashValue;
    ByteVector encryptedKeyValue;
};

struct OfficeEncryption {
    std::uint16_t majorVersion = 0;
    std::uint16_t minorVersion = 0;
    OfficeScheme scheme = OfficeScheme::Agile;
    StandardEncryption standard;  // for the three standard schemes
    AgileEncryption agile;        // for Agile
};

inline constexpr std::size_t kOfficeEncryptionOffset = 0x299;
// The password URI of <keyEncryptor>.
inline constexpr const char* kPasswordKeyEncryptorUri =
    "http://schemas.microsoft.com/office/2006/keyEncryptor/password";

// Reads the encryption information from page 0 (as stored). Throws Corrupt when it is damaged
// (lengths past the page, bad Base64, missing XML attributes) and NotSupported, naming what,
// for a scheme, cipher or hash the engine does not offer (extensible encryption, certificate
// key encryptors, ciphers other than AES and RC4).
OfficeEncryption readOfficeEncryption(ByteSpan page0);

}  // namespace jet
