// A stand-in for a MySQL 8 server's login, on a loopback port, for what the test server (MariaDB,
// which has no caching_sha2_password) cannot show.
//
// It speaks the server's side of the client/server protocol as far as a login goes: the greeting
// (naming caching_sha2_password, as MySQL 8 does by default), TLS when offered, the
// caching_sha2_password exchange (the fast path against its cache, or the full login: the
// password in clear over TLS, or encrypted with its RSA key, which the client may ask for), a
// switch to another login method, and the OK or "Access denied" that ends it. After the login it
// answers every statement with OK and ends at COM_QUIT. What each connection did is recorded.
// Connections are served one after the other, on a thread of its own.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace testenv {

class MySql8StandIn {
  public:
    enum class Tls {
        None,     // the greeting offers no TLS
        Offered,  // TLS with `certificatePem`/`keyPem`
        Broken,   // offers TLS, then answers the client's TLS hello with bytes that are not TLS
    };
    struct Options {
        std::string user = "ann";
        std::string password = "pw-8";
        Tls tls = Tls::None;
        std::string certificatePem, keyPem;  // for Tls::Offered
        bool cached = false;   // accept the fast path (the server's cache knows the user)
        std::string switchTo;  // non-empty: ask the client to switch to this login method
    };
    struct Login {
        bool tls = false;          // the client set up TLS
        bool answered = false;     // the client sent its login answer (user and password)
        std::string user;          // as the client sent it
        std::string plugin;        // the login method the client answered with
        bool askedForKey = false;  // the client asked for the RSA public key
        bool fullLogin = false;    // the password arrived (in clear over TLS, or RSA-encrypted)
        std::string password;      // the password that arrived
        bool accepted = false;     // the stand-in answered OK
    };

    explicit MySql8StandIn(Options options);
    ~MySql8StandIn();  // stops serving and waits for the thread
    MySql8StandIn(const MySql8StandIn&) = delete;
    MySql8StandIn& operator=(const MySql8StandIn&) = delete;

    unsigned port() const;
    // The RSA public key (PEM) the stand-in sends when asked, and decrypts with.
    const std::string& publicKeyPem() const;
    // The connections served to the end, once there are at least `count` of them (waiting up to
    // ten seconds for them; fewer after that).
    std::vector<Login> logins(std::size_t count) const;

  private:
    struct State;
    std::unique_ptr<State> s_;
};

}  // namespace testenv
