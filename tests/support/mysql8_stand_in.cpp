// The MySQL 8 login stand-in: sockets, packets, TLS and caching_sha2_password's server side.
#include "tests/support/mysql8_stand_in.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>
#include <openssl/sha.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace testenv {

namespace {

constexpr std::uint32_t kLongPassword = 1;  // also what tells a MySQL server from MariaDB
constexpr std::uint32_t kLongFlag = 4;
constexpr std::uint32_t kConnectWithDb = 8;
constexpr std::uint32_t kProtocol41 = 0x200;
constexpr std::uint32_t kSsl = 0x800;
constexpr std::uint32_t kTransactions = 0x2000;
constexpr std::uint32_t kSecureConnection = 0x8000;
constexpr std::uint32_t kMultiResults = 0x20000;
constexpr std::uint32_t kPluginAuth = 0x80000;
constexpr std::uint32_t kConnectAttrs = 0x100000;
constexpr std::uint32_t kLenencAuthData = 0x200000;
constexpr int kPollMs = 10000;  // a client silent this long has given up

struct Closed {};  // the client went away, or broke the protocol

// One client connection: a socket, TLS once set up, and the packet sequence.
class Link {
  public:
    explicit Link(int fd) : fd_(fd) {}
    ~Link() {
        if (ssl_) SSL_free(ssl_);
        ::close(fd_);
    }

    std::string readPacket() {
        unsigned char head[4];
        readExactly(head, 4);
        const std::size_t size = head[0] | (head[1] << 8) | (head[2] << 16);
        seq_ = static_cast<unsigned char>(head[3] + 1);
        std::string body(size, '\0');
        if (size) readExactly(reinterpret_cast<unsigned char*>(body.data()), size);
        return body;
    }

    void writePacket(const std::string& body) {
        std::string out(4, '\0');
        out[0] = static_cast<char>(body.size() & 0xff);
        out[1] = static_cast<char>((body.size() >> 8) & 0xff);
        out[2] = static_cast<char>((body.size() >> 16) & 0xff);
        out[3] = static_cast<char>(seq_++);
        out += body;
        writeAll(out);
    }

    void writeRaw(const std::string& bytes) { writeAll(bytes); }

    bool startTls(SSL_CTX* ctx) {
        ssl_ = SSL_new(ctx);
        SSL_set_fd(ssl_, fd_);
        return SSL_accept(ssl_) == 1;
    }

  private:
    void waitReadable() const {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, kPollMs) <= 0) throw Closed{};
    }

    void readExactly(unsigned char* out, std::size_t n) {
        while (n > 0) {
            long got;
            if (ssl_) {
                if (SSL_pending(ssl_) == 0) waitReadable();
                got = SSL_read(ssl_, out, static_cast<int>(n));
            } else {
                waitReadable();
                got = ::recv(fd_, out, n, 0);
            }
            if (got <= 0) throw Closed{};
            out += got;
            n -= static_cast<std::size_t>(got);
        }
    }

    void writeAll(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const long put =
                ssl_ ? SSL_write(ssl_, bytes.data() + done, static_cast<int>(bytes.size() - done))
                     : ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (put <= 0) throw Closed{};
            done += static_cast<std::size_t>(put);
        }
    }

    int fd_;
    SSL* ssl_ = nullptr;
    unsigned char seq_ = 0;
};

void put16(std::string& s, unsigned v) {
    s += static_cast<char>(v & 0xff);
    s += static_cast<char>((v >> 8) & 0xff);
}

void put32(std::string& s, std::uint32_t v) {
    put16(s, v & 0xffff);
    put16(s, v >> 16);
}

std::uint32_t get32(const std::string& s, std::size_t at) {
    if (at + 4 > s.size()) throw Closed{};
    const auto* b = reinterpret_cast<const unsigned char*>(s.data() + at);
    return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

std::string zeroTerminated(const std::string& s, std::size_t& at) {
    const std::size_t end = s.find('\0', at);
    if (end == std::string::npos) throw Closed{};
    std::string out = s.substr(at, end - at);
    at = end + 1;
    return out;
}

std::string okPacket() {
    std::string ok("\x00\x00\x00", 3);
    put16(ok, 2);  // autocommit
    put16(ok, 0);
    return ok;
}

std::string accessDenied(const std::string& user) {
    std::string err("\xff", 1);
    put16(err, 1045);
    err += "#28000Access denied for user '" + user + "'@'localhost' (using password: YES)";
    return err;
}

std::string sha256(const std::string& data) {
    unsigned char d[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(data.data()), data.size(), d);
    return std::string(reinterpret_cast<char*>(d), sizeof d);
}

// XOR(SHA256(password), SHA256(SHA256(SHA256(password)) + nonce)): the fast path's answer.
std::string fastPathAnswer(const std::string& password, const std::string& nonce) {
    const std::string d1 = sha256(password);
    const std::string d3 = sha256(sha256(d1) + nonce);
    std::string out(d1.size(), '\0');
    for (std::size_t i = 0; i < d1.size(); ++i)
        out[i] = static_cast<char>(d1[i] ^ d3[i]);
    return out;
}

}  // namespace

struct MySql8StandIn::State {
    Options options;
    int listener = -1;
    unsigned port = 0;
    EVP_PKEY* rsa = nullptr;
    std::string publicKeyPem;
    SSL_CTX* tls = nullptr;
    std::atomic<bool> stopping{false};
    mutable std::mutex mutex;
    std::vector<Login> logins;
    std::thread thread;

    void serve() {
        while (!stopping) {
            pollfd p{listener, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const int fd = ::accept(listener, nullptr, nullptr);
            if (fd < 0) continue;
            Login login;
            try {
                Link link(fd);
                converse(link, login);
            } catch (const Closed&) {
            }
            std::lock_guard lock(mutex);
            logins.push_back(login);
        }
    }

    void converse(Link& link, Login& login) {
        std::string nonce(20, '\0');
        RAND_bytes(reinterpret_cast<unsigned char*>(nonce.data()), 20);
        for (char& c : nonce)  // printable and never NUL, as servers send it
            c = static_cast<char>(0x21 + static_cast<unsigned char>(c) % 94);
        std::uint32_t caps = kLongPassword | kLongFlag | kConnectWithDb | kProtocol41 |
                             kTransactions | kSecureConnection | kMultiResults | kPluginAuth |
                             kConnectAttrs | kLenencAuthData;
        if (options.tls != Tls::None) caps |= kSsl;

        std::string greeting("\x0a", 1);
        greeting += "8.0.36";
        greeting += '\0';
        put32(greeting, 42);  // connection id
        greeting += nonce.substr(0, 8);
        greeting += '\0';
        put16(greeting, caps & 0xffff);
        greeting += static_cast<char>(45);  // utf8mb4_general_ci
        put16(greeting, 2);                 // autocommit
        put16(greeting, caps >> 16);
        greeting += static_cast<char>(21);
        greeting += std::string(10, '\0');
        greeting += nonce.substr(8);
        greeting += '\0';
        greeting += "caching_sha2_password";
        greeting += '\0';
        link.writePacket(greeting);

        std::string answer = link.readPacket();
        std::uint32_t clientCaps = get32(answer, 0);
        if ((clientCaps & kSsl) && answer.size() == 32) {
            if (options.tls == Tls::Broken) {
                link.writeRaw("this is not a TLS server hello\n");
                return;
            }
            if (!link.startTls(tls)) return;
            login.tls = true;
            answer = link.readPacket();
            clientCaps = get32(answer, 0);
        }

        std::size_t at = 32;
        login.user = zeroTerminated(answer, at);
        login.answered = true;
        std::string scramble;
        if (clientCaps & kLenencAuthData) {
            if (at >= answer.size()) throw Closed{};
            const std::size_t n = static_cast<unsigned char>(answer[at++]);
            scramble = answer.substr(at, n);
            at += n;
        } else {
            const std::size_t n = static_cast<unsigned char>(answer[at++]);
            scramble = answer.substr(at, n);
            at += n;
        }
        if (clientCaps & kConnectWithDb) zeroTerminated(answer, at);
        if (clientCaps & kPluginAuth) login.plugin = zeroTerminated(answer, at);

        if (!options.switchTo.empty()) {
            std::string sw("\xfe", 1);
            sw += options.switchTo;
            sw += '\0';
            sw += nonce;
            sw += '\0';
            link.writePacket(sw);
            login.plugin = options.switchTo;
            link.readPacket();
            link.writePacket(accessDenied(login.user));
            return;
        }
        if (login.plugin != "caching_sha2_password") {
            link.writePacket(accessDenied(login.user));
            return;
        }
        if (options.cached && login.user == options.user &&
            scramble == fastPathAnswer(options.password, nonce)) {
            link.writePacket(std::string("\x01\x03", 2));
            login.accepted = true;
            link.writePacket(okPacket());
            afterLogin(link);
            return;
        }
        link.writePacket(std::string("\x01\x04", 2));  // full login
        std::string reply = link.readPacket();
        if (login.tls) {
            if (reply.empty() || reply.back() != '\0') throw Closed{};
            reply.pop_back();
            login.password = reply;
        } else {
            if (reply == std::string("\x02", 1)) {
                login.askedForKey = true;
                link.writePacket("\x01" + publicKeyPem);
                reply = link.readPacket();
            }
            login.password = decrypt(reply, nonce);
        }
        login.fullLogin = true;
        if (login.user != options.user || login.password != options.password) {
            link.writePacket(accessDenied(login.user));
            return;
        }
        login.accepted = true;
        link.writePacket(okPacket());
        afterLogin(link);
    }

    // RSA-OAEP, then XOR with the nonce; the password ends with a NUL.
    std::string decrypt(const std::string& cipher, const std::string& nonce) const {
        EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(rsa, nullptr);
        std::string plain(EVP_PKEY_get_size(rsa), '\0');
        std::size_t size = plain.size();
        const bool ok = ctx && EVP_PKEY_decrypt_init(ctx) > 0 &&
                        EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_OAEP_PADDING) > 0 &&
                        EVP_PKEY_decrypt(ctx, reinterpret_cast<unsigned char*>(plain.data()), &size,
                                         reinterpret_cast<const unsigned char*>(cipher.data()),
                                         cipher.size()) > 0;
        EVP_PKEY_CTX_free(ctx);
        if (!ok) return "(not decrypted)";
        plain.resize(size);
        for (std::size_t i = 0; i < plain.size(); ++i)
            plain[i] = static_cast<char>(plain[i] ^ nonce[i % nonce.size()]);
        if (!plain.empty() && plain.back() == '\0') plain.pop_back();
        return plain;
    }

    static void afterLogin(Link& link) {
        for (;;) {
            const std::string command = link.readPacket();
            if (command.empty() || command[0] == 0x01) return;  // COM_QUIT
            link.writePacket(okPacket());
        }
    }
};

MySql8StandIn::MySql8StandIn(Options options) : s_(std::make_unique<State>()) {
    s_->options = std::move(options);
    s_->rsa = EVP_RSA_gen(2048);
    if (!s_->rsa) throw std::runtime_error("stand-in: no RSA key");
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_PUBKEY(bio, s_->rsa);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    s_->publicKeyPem.assign(data, static_cast<std::size_t>(size));
    BIO_free(bio);

    if (s_->options.tls == Tls::Offered) {
        s_->tls = SSL_CTX_new(TLS_server_method());
        BIO* cert = BIO_new_mem_buf(s_->options.certificatePem.data(),
                                    static_cast<int>(s_->options.certificatePem.size()));
        X509* x = PEM_read_bio_X509(cert, nullptr, nullptr, nullptr);
        BIO_free(cert);
        BIO* key =
            BIO_new_mem_buf(s_->options.keyPem.data(), static_cast<int>(s_->options.keyPem.size()));
        EVP_PKEY* k = PEM_read_bio_PrivateKey(key, nullptr, nullptr, nullptr);
        BIO_free(key);
        const bool ok = x && k && SSL_CTX_use_certificate(s_->tls, x) == 1 &&
                        SSL_CTX_use_PrivateKey(s_->tls, k) == 1;
        X509_free(x);
        EVP_PKEY_free(k);
        if (!ok) throw std::runtime_error("stand-in: the certificate or key is unusable");
    }

    s_->listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (s_->listener < 0 || ::bind(s_->listener, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        ::listen(s_->listener, 4) != 0 ||
        ::getsockname(s_->listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        throw std::runtime_error("stand-in: cannot listen on the loopback");
    s_->port = ntohs(addr.sin_port);
    s_->thread = std::thread([state = s_.get()] { state->serve(); });
}

MySql8StandIn::~MySql8StandIn() {
    s_->stopping = true;
    s_->thread.join();
    ::close(s_->listener);
    SSL_CTX_free(s_->tls);
    EVP_PKEY_free(s_->rsa);
}

unsigned MySql8StandIn::port() const {
    return s_->port;
}

const std::string& MySql8StandIn::publicKeyPem() const {
    return s_->publicKeyPem;
}

std::vector<MySql8StandIn::Login> MySql8StandIn::logins(std::size_t count) const {
    for (int i = 0; i < 1000; ++i) {
        {
            std::lock_guard lock(s_->mutex);
            if (s_->logins.size() >= count) return s_->logins;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::lock_guard lock(s_->mutex);
    return s_->logins;
}

}  // namespace testenv
