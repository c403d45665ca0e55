// The ciphers the engine needs, from OpenSSL's libcrypto: RC4 for the masked header and for
// encoded .mdb pages.
//
// startEngine() loads OpenSSL's "default" and "legacy" providers (RC4 lives in the legacy one)
// once per process and checks that RC4 can be used; it throws jet::Error (Engine) when that
// fails. The cipher functions start the engine themselves on first use.
#pragma once

#include <cstdint>
#include <span>

namespace jet {

void startEngine();

// XORs `data` in place with the RC4 key stream of `key` (encoding and decoding are the same).
void rc4(std::span<const std::uint8_t> key, std::span<std::uint8_t> data);

}  // namespace jet
