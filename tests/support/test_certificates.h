// Certificates made for a test: a throwaway authority and server certificates it signs.
#pragma once

#include <filesystem>
#include <string>

namespace testenv {

struct Certificate {
    std::string certificatePem;
    std::string keyPem;  // the private key, PEM, unencrypted
};

// A self-signed authority named `commonName` (an EC P-256 key), valid for a day.
Certificate makeAuthority(const std::string& commonName);
// A server certificate for the subject alternative names `names` (OpenSSL's notation), signed by
// `authority`, valid for a day.
Certificate issueServerCertificate(const Certificate& authority, const std::string& commonName,
                                   const std::string& names = "DNS:localhost,IP:127.0.0.1");

// Writes `text` to `path`, replacing it.
void writeTextFile(const std::filesystem::path& path, const std::string& text);

}  // namespace testenv
