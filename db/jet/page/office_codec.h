// The page codecs of encrypted .accdb files and the password check that unlocks them.
//
// Every page but page 0 is enciphered on its own, with a key (or IV) that mixes the password's
// secret with a four-byte block number: the file's encoding key XOR the page number,
// little-endian. What the secret is depends on the scheme (office_encryption.h):
//
//   Rc4CryptoApi   base = SHA-1(salt + password); page key = the first keyBits/8 bytes of
//                  SHA-1(base + block), padded with zeros to 16 bytes when 40 bits; RC4.
//   AesStandard    base as above, then 50,000 rounds H = SHA-1(round + H); per page
//   AesUniterated  X = SHA-1(H + block), key = the first keyBits/8 bytes of
//                  SHA-1(X ^ 0x36..) + SHA-1(X ^ 0x5C..) (64-byte pads); AES-ECB. The uniterated
//                  variant skips the rounds.
//   Agile          H0 = hash(password salt + password), spinCount rounds H = hash(round + H);
//                  three keys hash(H + fixed block) decrypt (AES-CBC, IV = the password salt)
//                  the verifier input, the verifier hash and the page key; per page
//                  IV = hash(key-data salt + block), AES-CBC with the page key.
//
// The password is its UTF-16LE bytes (at most 255 characters count). The check decrypts the
// verifier with the block number 0 and compares its hash with the stored one; a mismatch is a
// wrong password. Page 0 never passes through a codec.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "db/jet/page/office_encryption.h"
#include "db/jet/page/pager.h"

namespace jet {

// A codec for the pages of a file encrypted as `encryption` describes, with `encodingKey` from
// the header. Throws WrongPassword ("Not a valid password.") when `password` does not unlock
// the file, Engine when OpenSSL fails. The codec is used by one thread at a time (it keeps hash
// state); encode(decode(p)) == p exactly, for every scheme.
// The key a password gives (the costly part: up to 10,000,000 hash rounds) is derived once per
// file and password for the whole run and kept in a small cache of the process, found by a
// digest of the file's salt, its round count and the password; a password that fails is never
// kept.
std::unique_ptr<PageCodec> openOfficeCodec(const OfficeEncryption& encryption,
                                           std::uint32_t encodingKey, std::string_view password);

// How many times this process derived a key from a password the long way (the rounds run).
std::uint64_t passwordKeyDerivations();

}  // namespace jet
