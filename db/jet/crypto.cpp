// RC4 through OpenSSL's EVP interface with the legacy provider.
#include "db/jet/crypto.h"

#include <openssl/evp.h>
#include <openssl/provider.h>

#include <memory>
#include <mutex>
#include <string>

#include "db/jet/error.h"

namespace jet {

namespace {

struct CipherDeleter {
    void operator()(EVP_CIPHER* c) const { EVP_CIPHER_free(c); }
};
struct ContextDeleter {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};

std::once_flag gStartOnce;
EVP_CIPHER* gRc4 = nullptr;
std::string gStartError;

void start() {
    // The providers stay loaded for the life of the process.
    if (!OSSL_PROVIDER_load(nullptr, "default")) {
        gStartError = "OpenSSL's default provider cannot be loaded.";
        return;
    }
    if (!OSSL_PROVIDER_load(nullptr, "legacy")) {
        gStartError = "OpenSSL's legacy provider (which holds RC4) cannot be loaded.";
        return;
    }
    gRc4 = EVP_CIPHER_fetch(nullptr, "RC4", nullptr);
    if (!gRc4) gStartError = "OpenSSL offers no RC4 cipher.";
}

EVP_CIPHER* rc4Cipher() {
    std::call_once(gStartOnce, start);
    if (!gRc4) throw Error(ErrorKind::Engine, gStartError);
    return gRc4;
}

[[noreturn]] void cipherFailed() {
    throw Error(ErrorKind::Engine, "OpenSSL failed to run the RC4 cipher.");
}

}  // namespace

void startEngine() {
    rc4Cipher();
}

void rc4(std::span<const std::uint8_t> key, std::span<std::uint8_t> data) {
    EVP_CIPHER* cipher = rc4Cipher();
    std::unique_ptr<EVP_CIPHER_CTX, ContextDeleter> ctx(EVP_CIPHER_CTX_new());
    if (!ctx) cipherFailed();
    if (EVP_EncryptInit_ex(ctx.get(), cipher, nullptr, nullptr, nullptr) != 1) cipherFailed();
    if (EVP_CIPHER_CTX_set_key_length(ctx.get(), static_cast<int>(key.size())) != 1) cipherFailed();
    if (EVP_EncryptInit_ex(ctx.get(), nullptr, nullptr, key.data(), nullptr) != 1) cipherFailed();
    // RC4 is a stream cipher: the output is as long as the input and may overwrite it.
    int outLen = 0;
    if (EVP_EncryptUpdate(ctx.get(), data.data(), &outLen, data.data(),
                          static_cast<int>(data.size())) != 1)
        cipherFailed();
}

}  // namespace jet
