// caching_sha2_password, client side, over the client library's plugin interface.
#include "db/mysql/caching_sha2_login.h"

#include <errmsg.h>
#include <mysql.h>
#include <mysql/plugin_auth.h>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/sha.h>

#include <cstdarg>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "db/error.h"

namespace db::mysql {

namespace {

// The layout of st_mysql_client_plugin_AUTHENTICATION, interface 0x0100, from
// <mysql/client_plugin.h> (which the distribution ships without the header it includes last).
struct AuthenticationPlugin {
    int type;
    unsigned int interfaceVersion;
    const char* name;
    const char* author;
    const char* desc;
    unsigned int version[3];
    const char* license;
    void* mysqlApi;
    int (*init)(char*, size_t, int, va_list);
    int (*deinit)();
    int (*options)(const char*, const void*);
    int (*authenticateUser)(MYSQL_PLUGIN_VIO*, MYSQL*);
};

constexpr int kAuthenticationPluginType = 2;
constexpr unsigned kAuthenticationInterface = 0x0100;
constexpr std::size_t kNonceLength = 20;
constexpr unsigned char kRequestPublicKey = 2;
constexpr unsigned char kFastLoginSucceeded = 3;
constexpr unsigned char kFullLoginRequired = 4;

thread_local TlsMode tCurrentMode = TlsMode::Preferred;

// Leaves the error in the session, where the library reports it from (as its own plugins do).
int failWith(MYSQL* m, unsigned code, const std::string& text) {
    m->net.last_errno = code;
    std::strncpy(m->net.sqlstate, "HY000", SQLSTATE_LENGTH);
    m->net.sqlstate[SQLSTATE_LENGTH] = '\0';
    std::strncpy(m->net.last_error, text.c_str(), MYSQL_ERRMSG_SIZE - 1);
    m->net.last_error[MYSQL_ERRMSG_SIZE - 1] = '\0';
    return CR_ERROR;
}

std::string sha256(const unsigned char* data, std::size_t size) {
    unsigned char d[SHA256_DIGEST_LENGTH];
    SHA256(data, size, d);
    return std::string(reinterpret_cast<char*>(d), sizeof d);
}

// XOR(SHA256(password), SHA256(SHA256(SHA256(password)) + nonce)).
std::string fastScramble(const std::string& password, const std::string& nonce) {
    const std::string d1 =
        sha256(reinterpret_cast<const unsigned char*>(password.data()), password.size());
    const std::string d2 = sha256(reinterpret_cast<const unsigned char*>(d1.data()), d1.size());
    const std::string salted = d2 + nonce;
    const std::string d3 =
        sha256(reinterpret_cast<const unsigned char*>(salted.data()), salted.size());
    std::string out(d1.size(), '\0');
    for (std::size_t i = 0; i < d1.size(); ++i)
        out[i] = static_cast<char>(d1[i] ^ d3[i]);
    return out;
}

bool linkIsPrivate(MYSQL_PLUGIN_VIO* vio, MYSQL* m) {
    if (mysql_get_ssl_cipher(m)) return true;
    MYSQL_PLUGIN_VIO_INFO info;
    vio->info(vio, &info);
    return info.protocol == MYSQL_PLUGIN_VIO_INFO::MYSQL_VIO_SOCKET;
}

bool tlsWasRequired() {
    return tCurrentMode == TlsMode::Required || tCurrentMode == TlsMode::VerifyCa ||
           tCurrentMode == TlsMode::VerifyIdentity;
}

struct PkeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
    void operator()(EVP_PKEY_CTX* c) const { EVP_PKEY_CTX_free(c); }
    void operator()(BIO* b) const { BIO_free(b); }
};

// The password and its NUL, XOR the nonce, RSA-OAEP encrypted with `pem`. Empty on failure.
std::string encryptPassword(const std::string& password, const std::string& nonce,
                            const std::string& pem) {
    std::unique_ptr<BIO, PkeyFree> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    std::unique_ptr<EVP_PKEY, PkeyFree> key(
        bio ? PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!key) return {};
    std::unique_ptr<EVP_PKEY_CTX, PkeyFree> ctx(EVP_PKEY_CTX_new(key.get(), nullptr));
    if (!ctx || EVP_PKEY_encrypt_init(ctx.get()) <= 0 ||
        EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_OAEP_PADDING) <= 0)
        return {};
    std::string plain = password;
    plain.push_back('\0');
    for (std::size_t i = 0; i < plain.size(); ++i)
        plain[i] = static_cast<char>(plain[i] ^ nonce[i % nonce.size()]);
    std::size_t size = 0;
    if (EVP_PKEY_encrypt(ctx.get(), nullptr, &size,
                         reinterpret_cast<const unsigned char*>(plain.data()), plain.size()) <= 0)
        return {};
    std::string out(size, '\0');
    if (EVP_PKEY_encrypt(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &size,
                         reinterpret_cast<const unsigned char*>(plain.data()), plain.size()) <= 0)
        return {};
    out.resize(size);
    return out;
}

int write(MYSQL_PLUGIN_VIO* vio, const std::string& data) {
    return vio->write_packet(vio, reinterpret_cast<const unsigned char*>(data.data()),
                             static_cast<int>(data.size()));
}

int authenticate(MYSQL_PLUGIN_VIO* vio, MYSQL* m) {
    unsigned char* packet = nullptr;
    int length = vio->read_packet(vio, &packet);
    if (length < 0) return CR_ERROR;
    // The nonce, with the NUL servers end it with.
    if (length != static_cast<int>(kNonceLength) + 1) return CR_SERVER_HANDSHAKE_ERR;
    const std::string nonce(reinterpret_cast<char*>(packet), kNonceLength);
    const std::string password = m->passwd ? m->passwd : "";
    if (password.empty()) return vio->write_packet(vio, nullptr, 0) ? CR_ERROR : CR_OK;

    if (write(vio, fastScramble(password, nonce))) return CR_ERROR;
    length = vio->read_packet(vio, &packet);
    if (length < 0) return CR_ERROR;
    if (length == 1 && packet[0] == kFastLoginSucceeded) return CR_OK;
    if (length != 1 || packet[0] != kFullLoginRequired)
        return failWith(m, CR_SERVER_HANDSHAKE_ERR,
                        "The MySQL server answered the caching_sha2_password login in a way "
                        "this program does not know.");

    if (linkIsPrivate(vio, m)) {
        std::string clear = password;
        clear.push_back('\0');
        return write(vio, clear) ? CR_ERROR : CR_OK;
    }
    if (tlsWasRequired())  // the session will be refused anyway: keep the password
        return failWith(m, CR_SSL_CONNECTION_ERROR,
                        "SSL is required, but the server does not support it");

    std::string pem;
    char* keyFile = nullptr;
    mysql_get_optionv(m, MYSQL_SERVER_PUBLIC_KEY, &keyFile);
    if (keyFile && *keyFile) {
        std::ifstream in(keyFile, std::ios::binary);
        if (in.is_open())
            pem.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (pem.empty())
            return failWith(m, CR_AUTH_PLUGIN_ERR,
                            std::string("The MySQL server's public key cannot be read from \"") +
                                keyFile + "\" (SERVER_PUBLIC_KEY).");
    } else {
        if (vio->write_packet(vio, &kRequestPublicKey, 1)) return CR_ERROR;
        length = vio->read_packet(vio, &packet);
        if (length < 0) return CR_ERROR;
        pem.assign(reinterpret_cast<char*>(packet), static_cast<std::size_t>(length));
    }
    const std::string encrypted = encryptPassword(password, nonce, pem);
    if (encrypted.empty())
        return failWith(m, CR_AUTH_PLUGIN_ERR,
                        keyFile && *keyFile
                            ? std::string("The file \"") + keyFile +
                                  "\" (SERVER_PUBLIC_KEY) holds no RSA public key that can "
                                  "encrypt this password."
                            : std::string("The MySQL server sent no RSA public key that can "
                                          "encrypt this password."));
    return write(vio, encrypted) ? CR_ERROR : CR_OK;
}

AuthenticationPlugin gPlugin = {
    kAuthenticationPluginType,
    kAuthenticationInterface,
    "caching_sha2_password",
    "Dunmorrow",
    "caching_sha2_password that encrypts the password unless the link is",
    {1, 0, 0},
    "GPL",
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    authenticate,
};

}  // namespace

void registerCachingSha2Login() {
    MYSQL* m = mysql_init(nullptr);
    if (!m) return;
    const bool ok =
        mysql_client_register_plugin(m, reinterpret_cast<st_mysql_client_plugin*>(&gPlugin));
    const std::string why = mysql_error(m);
    mysql_close(m);
    if (!ok)
        throw Error(errc::kCannotOpen,
                    "The login method caching_sha2_password cannot be set up (" + why + ").");
}

LoginInProgress::LoginInProgress(TlsMode mode) {
    tCurrentMode = mode;
}

LoginInProgress::~LoginInProgress() {
    tCurrentMode = TlsMode::Preferred;
}

}  // namespace db::mysql
