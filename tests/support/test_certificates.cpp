// Test certificates with OpenSSL.
#include "tests/support/test_certificates.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <fstream>
#include <memory>
#include <stdexcept>

namespace testenv {

namespace {

struct Free {
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
    void operator()(X509* p) const { X509_free(p); }
    void operator()(BIO* p) const { BIO_free(p); }
    void operator()(X509_EXTENSION* p) const { X509_EXTENSION_free(p); }
};
template <class T>
using Owned = std::unique_ptr<T, Free>;

void check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string("making a test certificate failed: ") + what);
}

std::string pemOf(int (*write)(BIO*, const void*), const void* object) {
    Owned<BIO> bio(BIO_new(BIO_s_mem()));
    check(bio && write(bio.get(), object) == 1, "PEM");
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(size));
}

std::string certificatePem(X509* x) {
    return pemOf([](BIO* b, const void* o) { return PEM_write_bio_X509(b, (X509*)o); }, x);
}

std::string keyPem(EVP_PKEY* k) {
    return pemOf(
        [](BIO* b, const void* o) {
            return PEM_write_bio_PrivateKey(b, (EVP_PKEY*)o, nullptr, nullptr, 0, nullptr, nullptr);
        },
        k);
}

Owned<X509> readCertificate(const std::string& pem) {
    Owned<BIO> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    Owned<X509> x(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
    check(x != nullptr, "reading the authority");
    return x;
}

Owned<EVP_PKEY> readKey(const std::string& pem) {
    Owned<BIO> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    Owned<EVP_PKEY> k(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
    check(k != nullptr, "reading the authority's key");
    return k;
}

void addExtension(X509* x, X509* issuer, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, x, nullptr, nullptr, 0);
    Owned<X509_EXTENSION> ext(X509V3_EXT_conf_nid(nullptr, &ctx, nid, value));
    check(ext && X509_add_ext(x, ext.get(), -1) == 1, "extension");
}

Owned<X509> newCertificate(EVP_PKEY* key, const std::string& commonName, long serial) {
    Owned<X509> x(X509_new());
    check(x != nullptr, "X509_new");
    X509_set_version(x.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(x.get()), serial);
    X509_gmtime_adj(X509_getm_notBefore(x.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(x.get()), 86400);
    X509_set_pubkey(x.get(), key);
    X509_NAME* name = X509_get_subject_name(x.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1,
                               0);
    return x;
}

}  // namespace

Certificate makeAuthority(const std::string& commonName) {
    Owned<EVP_PKEY> key(EVP_EC_gen("P-256"));
    check(key != nullptr, "key");
    Owned<X509> x = newCertificate(key.get(), commonName, 1);
    X509_set_issuer_name(x.get(), X509_get_subject_name(x.get()));
    addExtension(x.get(), x.get(), NID_basic_constraints, "critical,CA:TRUE");
    addExtension(x.get(), x.get(), NID_key_usage, "critical,keyCertSign,cRLSign");
    check(X509_sign(x.get(), key.get(), EVP_sha256()) > 0, "signing");
    return {certificatePem(x.get()), keyPem(key.get())};
}

Certificate issueServerCertificate(const Certificate& authority, const std::string& commonName,
                                   const std::string& names) {
    Owned<X509> ca = readCertificate(authority.certificatePem);
    Owned<EVP_PKEY> caKey = readKey(authority.keyPem);
    Owned<EVP_PKEY> key(EVP_EC_gen("P-256"));
    check(key != nullptr, "key");
    Owned<X509> x = newCertificate(key.get(), commonName, 2);
    X509_set_issuer_name(x.get(), X509_get_subject_name(ca.get()));
    addExtension(x.get(), ca.get(), NID_basic_constraints, "CA:FALSE");
    addExtension(x.get(), ca.get(), NID_subject_alt_name, names.c_str());
    check(X509_sign(x.get(), caKey.get(), EVP_sha256()) > 0, "signing");
    return {certificatePem(x.get()), keyPem(key.get())};
}

void writeTextFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace testenv
