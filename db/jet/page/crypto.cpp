// RC4, AES, the SHA family and Base64 through OpenSSL's EVP interface.
#include "db/jet/page/crypto.h"

#include <openssl/evp.h>
#include <openssl/provider.h>

#include <cctype>
#include <memory>
#include <mutex>
#include <string>

#include "db/jet/base/error.h"

namespace jet {

namespace {

struct ContextDeleter {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};

std::once_flag gStartOnce;
EVP_CIPHER* gRc4 = nullptr;
EVP_CIPHER* gAes[2][3] = {};  // [mode][key size 128, 192, 256]
std::string gStartError;

void start() {
    // The providers and the fetched ciphers stay for the life of the process.
    if (!OSSL_PROVIDER_load(nullptr, "default")) {
        gStartError = "OpenSSL's default provider cannot be loaded.";
        return;
    }
    if (!OSSL_PROVIDER_load(nullptr, "legacy")) {
        gStartError = "OpenSSL's legacy provider (which holds RC4) cannot be loaded.";
        return;
    }
    const char* names[2][3] = {{"AES-128-ECB", "AES-192-ECB", "AES-256-ECB"},
                               {"AES-128-CBC", "AES-192-CBC", "AES-256-CBC"}};
    for (int m = 0; m < 2; ++m)
        for (int k = 0; k < 3; ++k)
            if (!(gAes[m][k] = EVP_CIPHER_fetch(nullptr, names[m][k], nullptr))) {
                gStartError = std::string("OpenSSL offers no ") + names[m][k] + " cipher.";
                return;
            }
    gRc4 = EVP_CIPHER_fetch(nullptr, "RC4", nullptr);
    if (!gRc4) gStartError = "OpenSSL offers no RC4 cipher.";
}

void started() {
    std::call_once(gStartOnce, start);
    if (!gRc4) throw Error(ErrorKind::Engine, gStartError);
}

[[noreturn]] void cipherFailed(const char* which) {
    throw Error(ErrorKind::Engine, std::string("OpenSSL failed to run the ") + which + " cipher.");
}

void aes(bool encrypt, CipherMode mode, std::span<const std::uint8_t> key,
         std::span<const std::uint8_t> iv, std::span<std::uint8_t> data) {
    started();
    const int sizeIndex = key.size() == 16 ? 0 : key.size() == 24 ? 1 : key.size() == 32 ? 2 : -1;
    if (sizeIndex < 0 || data.size() % 16 != 0 || (mode == CipherMode::Cbc && iv.size() != 16))
        throw Error(ErrorKind::Engine,
                    "The AES cipher was called with a key, block or IV of the "
                    "wrong size.");
    EVP_CIPHER* cipher = gAes[mode == CipherMode::Cbc ? 1 : 0][sizeIndex];
    std::unique_ptr<EVP_CIPHER_CTX, ContextDeleter> ctx(EVP_CIPHER_CTX_new());
    if (!ctx) cipherFailed("AES");
    if (EVP_CipherInit_ex2(ctx.get(), cipher, key.data(),
                           mode == CipherMode::Cbc ? iv.data() : nullptr, encrypt ? 1 : 0,
                           nullptr) != 1)
        cipherFailed("AES");
    EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
    int outLen = 0;
    if (!data.empty() && EVP_CipherUpdate(ctx.get(), data.data(), &outLen, data.data(),
                                          static_cast<int>(data.size())) != 1)
        cipherFailed("AES");
    int finalLen = 0;
    if (EVP_CipherFinal_ex(ctx.get(), data.data() + outLen, &finalLen) != 1) cipherFailed("AES");
}

}  // namespace

void startEngine() {
    started();
}

void rc4(std::span<const std::uint8_t> key, std::span<std::uint8_t> data) {
    started();
    std::unique_ptr<EVP_CIPHER_CTX, ContextDeleter> ctx(EVP_CIPHER_CTX_new());
    if (!ctx) cipherFailed("RC4");
    if (EVP_EncryptInit_ex(ctx.get(), gRc4, nullptr, nullptr, nullptr) != 1) cipherFailed("RC4");
    if (EVP_CIPHER_CTX_set_key_length(ctx.get(), static_cast<int>(key.size())) != 1)
        cipherFailed("RC4");
    if (EVP_EncryptInit_ex(ctx.get(), nullptr, nullptr, key.data(), nullptr) != 1)
        cipherFailed("RC4");
    // RC4 is a stream cipher: the output is as long as the input and may overwrite it.
    int outLen = 0;
    if (EVP_EncryptUpdate(ctx.get(), data.data(), &outLen, data.data(),
                          static_cast<int>(data.size())) != 1)
        cipherFailed("RC4");
}

void aesDecrypt(CipherMode mode, std::span<const std::uint8_t> key,
                std::span<const std::uint8_t> iv, std::span<std::uint8_t> data) {
    aes(false, mode, key, iv, data);
}

void aesEncrypt(CipherMode mode, std::span<const std::uint8_t> key,
                std::span<const std::uint8_t> iv, std::span<std::uint8_t> data) {
    aes(true, mode, key, iv, data);
}

struct Hasher::State {
    EVP_MD* md = nullptr;
    EVP_MD_CTX* ctx = nullptr;
    ~State() {
        EVP_MD_CTX_free(ctx);
        EVP_MD_free(md);
    }
};

Hasher::Hasher(std::unique_ptr<State> state) : state_(std::move(state)) {}
Hasher::Hasher(Hasher&&) noexcept = default;
Hasher& Hasher::operator=(Hasher&&) noexcept = default;
Hasher::~Hasher() = default;

std::optional<Hasher> Hasher::byName(std::string_view name) {
    std::string key;
    for (char c : name)
        if (c != '-' && c != '_')
            key.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    const char* openssl = key == "SHA1"     ? "SHA1"
                          : key == "SHA256" ? "SHA256"
                          : key == "SHA384" ? "SHA384"
                          : key == "SHA512" ? "SHA512"
                          : key == "MD5"    ? "MD5"
                                            : nullptr;
    if (!openssl) return std::nullopt;
    started();
    auto state = std::make_unique<State>();
    state->md = EVP_MD_fetch(nullptr, openssl, nullptr);
    state->ctx = EVP_MD_CTX_new();
    if (!state->md || !state->ctx) return std::nullopt;
    return Hasher(std::move(state));
}

std::size_t Hasher::size() const {
    return static_cast<std::size_t>(EVP_MD_get_size(state_->md));
}

ByteVector Hasher::hash(std::initializer_list<std::span<const std::uint8_t>> parts) {
    if (EVP_DigestInit_ex2(state_->ctx, state_->md, nullptr) != 1)
        throw Error(ErrorKind::Engine, "OpenSSL failed to start a hash.");
    for (const auto& p : parts)
        if (!p.empty() && EVP_DigestUpdate(state_->ctx, p.data(), p.size()) != 1)
            throw Error(ErrorKind::Engine, "OpenSSL failed to run a hash.");
    ByteVector out(size());
    unsigned int len = 0;
    if (EVP_DigestFinal_ex(state_->ctx, out.data(), &len) != 1 || len != out.size())
        throw Error(ErrorKind::Engine, "OpenSSL failed to finish a hash.");
    return out;
}

std::optional<ByteVector> decodeBase64(std::string_view text) {
    std::string compact;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c))) compact.push_back(c);
    if (compact.size() % 4 != 0) return std::nullopt;
    if (compact.empty()) return ByteVector{};
    std::size_t padding = 0;
    while (padding < 2 && compact[compact.size() - 1 - padding] == '=')
        ++padding;
    for (std::size_t i = 0; i + padding < compact.size(); ++i)
        if (compact[i] == '=') return std::nullopt;
    ByteVector out(compact.size() / 4 * 3);
    const int n =
        EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(compact.data()),
                        static_cast<int>(compact.size()));
    if (n < 0 || static_cast<std::size_t>(n) != out.size()) return std::nullopt;
    out.resize(out.size() - padding);
    return out;
}

}  // namespace jet
