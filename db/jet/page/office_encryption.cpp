// Reading the encryption header of an encrypted .accdb: the binary standard structures and the
// agile XML descriptor (with a small scanner of start tags and their attributes, which is all
// that descriptor needs).
#include "db/jet/page/office_encryption.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <string_view>
#include <vector>

#include "db/jet/base/error.h"
#include "db/jet/format/text_codec.h"

namespace jet {

namespace {

constexpr const char* kWhat = "encryption header";

constexpr std::uint32_t kFlagCryptoApi = 0x04;
constexpr std::uint32_t kFlagExternal = 0x10;
constexpr std::uint32_t kFlagAes = 0x20;
constexpr std::uint32_t kAlgRc4 = 0x6801;
constexpr std::uint32_t kAlgAes128 = 0x660E;
constexpr std::uint32_t kAlgAes192 = 0x660F;
constexpr std::uint32_t kAlgAes256 = 0x6610;
constexpr std::uint32_t kHashSha1 = 0x8004;
constexpr std::uint32_t kAgileReserved = 0x40;
constexpr std::uint32_t kMaxSpinCount = 10'000'000;  // the format's own upper bound

[[noreturn]] void damaged(const std::string& what) {
    throwCorrupt("the encryption header " + what, 0);
}

[[noreturn]] void unsupported(const std::string& what) {
    throw Error(ErrorKind::NotSupported,
                "This .accdb file is encrypted with " + what +
                    ", which this program cannot open. Open it in Access, remove the database "
                    "password or set it again with the default encryption, and try again.");
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (auto& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// ---- the standard (binary) schemes ----

StandardEncryption readStandard(const ByteReader& r, std::size_t pos) {
    StandardEncryption s;
    const std::uint32_t headerLength = r.u32(pos + 4);
    const std::size_t headerStart = pos + 8;
    if (headerLength < 32 || !r.has(headerStart, headerLength))
        damaged("gives a header length of " + std::to_string(headerLength));
    const ByteReader h = r.sub(headerStart, headerLength);
    s.flags = h.u32(0);
    s.algorithmId = h.u32(8);
    s.hashId = h.u32(12);
    s.keyBits = h.u32(16);
    s.providerType = h.u32(20);
    std::string name;
    appendUtf16le(name, h.bytes(32, (headerLength - 32) / 2 * 2));
    if (const auto nul = name.find('\0'); nul != std::string::npos) name.resize(nul);
    s.providerName = name;

    if (s.flags & kFlagExternal) unsupported("an external (extensible) encryption provider");
    if (s.algorithmId == 0 && (s.flags & kFlagCryptoApi))
        s.algorithmId = (s.flags & kFlagAes) ? kAlgAes128 : kAlgRc4;
    if (s.hashId == 0) s.hashId = kHashSha1;
    if (s.hashId != kHashSha1) unsupported("the hash algorithm " + std::to_string(s.hashId));
    const bool rc4 = s.algorithmId == kAlgRc4;
    const std::uint32_t aesBits = s.algorithmId == kAlgAes128   ? 128
                                  : s.algorithmId == kAlgAes192 ? 192
                                  : s.algorithmId == kAlgAes256 ? 256
                                                                : 0;
    if (!rc4 && aesBits == 0) unsupported("the cipher algorithm " + std::to_string(s.algorithmId));
    if (s.keyBits == 0) {
        // The provider's default: the "base" providers give 40-bit RC4, the others 128.
        if (rc4) {
            const std::string n = lower(s.providerName);
            s.keyBits = (n.empty() || n.find(" base ") != std::string::npos) ? 40 : 128;
        } else {
            s.keyBits = aesBits;
        }
    }
    if (rc4 ? (s.keyBits < 40 || s.keyBits > 512 || s.keyBits % 8 != 0) : s.keyBits != aesBits)
        damaged("gives a key size of " + std::to_string(s.keyBits) + " bits");

    std::size_t v = headerStart + headerLength;
    const std::uint32_t saltSize = r.u32(v);
    if (saltSize != 16) damaged("gives a salt of " + std::to_string(saltSize) + " bytes");
    const ByteSpan salt = r.bytes(v + 4, saltSize);
    s.salt.assign(salt.begin(), salt.end());
    const ByteSpan verifier = r.bytes(v + 4 + saltSize, 16);
    s.encryptedVerifier.assign(verifier.begin(), verifier.end());
    s.verifierHashSize = r.u32(v + 20 + saltSize);
    if (s.verifierHashSize == 0 || s.verifierHashSize > 20)
        damaged("gives a verifier hash of " + std::to_string(s.verifierHashSize) + " bytes");
    const ByteSpan hash = r.bytes(v + 24 + saltSize, rc4 ? 20 : 32);
    s.encryptedVerifierHash.assign(hash.begin(), hash.end());
    return s;
}

// ---- the agile XML descriptor ----

struct XmlTag {
    std::string name;                          // local name, without a namespace prefix
    std::map<std::string, std::string> attrs;  // by local name
};

std::string localName(std::string_view qualified) {
    const auto colon = qualified.find(':');
    return std::string(colon == std::string_view::npos ? qualified : qualified.substr(colon + 1));
}

std::string unescape(std::string_view v) {
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] != '&') {
            out.push_back(v[i]);
            continue;
        }
        const auto semi = v.find(';', i);
        if (semi == std::string_view::npos) damaged("has a broken XML entity");
        const std::string_view e = v.substr(i + 1, semi - i - 1);
        if (e == "amp")
            out.push_back('&');
        else if (e == "lt")
            out.push_back('<');
        else if (e == "gt")
            out.push_back('>');
        else if (e == "quot")
            out.push_back('"');
        else if (e == "apos")
            out.push_back('\'');
        else
            damaged("has an unknown XML entity");
        i = semi;
    }
    return out;
}

// The start tags of `xml` in document order (comments, declarations and end tags skipped).
std::vector<XmlTag> startTags(std::string_view xml) {
    std::vector<XmlTag> tags;
    auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::size_t i = 0;
    while ((i = xml.find('<', i)) != std::string_view::npos) {
        if (xml.compare(i, 4, "<!--") == 0) {
            const auto end = xml.find("-->", i);
            if (end == std::string_view::npos) damaged("has an unterminated XML comment");
            i = end + 3;
            continue;
        }
        if (i + 1 < xml.size() && (xml[i + 1] == '?' || xml[i + 1] == '!' || xml[i + 1] == '/')) {
            const auto end = xml.find('>', i);
            if (end == std::string_view::npos) damaged("has an unterminated XML tag");
            i = end + 1;
            continue;
        }
        std::size_t p = i + 1;
        const std::size_t nameStart = p;
        while (p < xml.size() && !isSpace(xml[p]) && xml[p] != '>' && xml[p] != '/')
            ++p;
        XmlTag tag;
        tag.name = localName(xml.substr(nameStart, p - nameStart));
        while (true) {
            while (p < xml.size() && isSpace(xml[p]))
                ++p;
            if (p >= xml.size()) damaged("has an unterminated XML tag");
            if (xml[p] == '>' || xml[p] == '/') break;
            const std::size_t attrStart = p;
            while (p < xml.size() && xml[p] != '=' && !isSpace(xml[p]) && xml[p] != '>')
                ++p;
            const std::string attr = localName(xml.substr(attrStart, p - attrStart));
            while (p < xml.size() && isSpace(xml[p]))
                ++p;
            if (p >= xml.size() || xml[p] != '=') damaged("has an XML attribute without a value");
            ++p;
            while (p < xml.size() && isSpace(xml[p]))
                ++p;
            if (p >= xml.size() || (xml[p] != '"' && xml[p] != '\''))
                damaged("has an XML attribute value without quotes");
            const char quote = xml[p];
            const auto end = xml.find(quote, p + 1);
            if (end == std::string_view::npos) damaged("has an unterminated XML attribute value");
            tag.attrs[attr] = unescape(xml.substr(p + 1, end - p - 1));
            p = end + 1;
        }
        tags.push_back(std::move(tag));
        i = p;
    }
    return tags;
}

const std::string& attribute(const XmlTag& tag, const char* name) {
    const auto it = tag.attrs.find(name);
    if (it == tag.attrs.end())
        damaged("has no " + std::string(name) + " in its <" + tag.name + "> element");
    return it->second;
}

std::uint32_t number(const XmlTag& tag, const char* name) {
    const std::string& v = attribute(tag, name);
    if (v.empty() || v.size() > 9 ||
        !std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; }))
        damaged("has the " + std::string(name) + " \"" + v + "\", which is not a number");
    return static_cast<std::uint32_t>(std::stoul(v));
}

ByteVector base64(const XmlTag& tag, const char* name) {
    auto bytes = decodeBase64(attribute(tag, name));
    if (!bytes) damaged("has a " + std::string(name) + " that is not Base64");
    return *bytes;
}

AgileCipherParams cipherParams(const XmlTag& tag) {
    AgileCipherParams p;
    p.saltSize = number(tag, "saltSize");
    p.blockSize = number(tag, "blockSize");
    p.keyBits = number(tag, "keyBits");
    p.hashSize = number(tag, "hashSize");
    p.cipherAlgorithm = attribute(tag, "cipherAlgorithm");
    p.cipherChaining = attribute(tag, "cipherChaining");
    p.hashAlgorithm = attribute(tag, "hashAlgorithm");
    p.salt = base64(tag, "saltValue");

    if (lower(p.cipherAlgorithm) != "aes") unsupported("the cipher " + p.cipherAlgorithm);
    if (lower(p.cipherChaining) != "chainingmodecbc")
        unsupported("the chaining mode " + p.cipherChaining);
    const auto hasher = Hasher::byName(p.hashAlgorithm);
    if (!hasher) unsupported("the hash algorithm " + p.hashAlgorithm);
    if (p.hashSize != hasher->size())
        damaged("gives a hash size of " + std::to_string(p.hashSize) + " for " + p.hashAlgorithm);
    if (p.keyBits != 128 && p.keyBits != 192 && p.keyBits != 256)
        damaged("gives an AES key of " + std::to_string(p.keyBits) + " bits");
    if (p.blockSize != 16)
        damaged("gives an AES block of " + std::to_string(p.blockSize) + " bytes");
    if (p.saltSize == 0 || p.salt.size() != p.saltSize)
        damaged("has a salt of " + std::to_string(p.salt.size()) + " bytes where " +
                std::to_string(p.saltSize) + " are announced");
    return p;
}

AgileEncryption readAgile(const ByteReader& r, std::size_t pos) {
    if (r.u32(pos) != kAgileReserved)
        damaged("of the agile scheme has an unexpected reserved value");
    const ByteSpan xmlBytes = r.bytes(pos + 4, r.size() - pos - 4);
    const std::string_view xml(reinterpret_cast<const char*>(xmlBytes.data()), xmlBytes.size());
    const auto tags = startTags(xml);

    const XmlTag* keyData = nullptr;
    const XmlTag* encryptedKey = nullptr;
    bool inPasswordEncryptor = false, sawOtherEncryptor = false;
    for (const auto& t : tags) {
        if (t.name == "keyData" && !keyData) keyData = &t;
        if (t.name == "keyEncryptor") {
            const auto uri = t.attrs.find("uri");
            inPasswordEncryptor = uri != t.attrs.end() && uri->second == kPasswordKeyEncryptorUri;
            if (!inPasswordEncryptor) sawOtherEncryptor = true;
        }
        if (t.name == "encryptedKey" && inPasswordEncryptor && !encryptedKey) encryptedKey = &t;
    }
    if (!keyData) damaged("has no <keyData> element");
    if (!encryptedKey) {
        if (sawOtherEncryptor) unsupported("a certificate instead of a password");
        damaged("has no password <encryptedKey> element");
    }

    AgileEncryption a;
    a.keyData = cipherParams(*keyData);
    a.passwordKey = cipherParams(*encryptedKey);
    a.spinCount = number(*encryptedKey, "spinCount");
    if (a.spinCount > kMaxSpinCount)
        damaged("asks for " + std::to_string(a.spinCount) + " hash rounds, more than " +
                std::to_string(kMaxSpinCount));
    a.encryptedVerifierHashInput = base64(*encryptedKey, "encryptedVerifierHashInput");
    a.encryptedVerifierHashValue = base64(*encryptedKey, "encryptedVerifierHashValue");
    a.encryptedKeyValue = base64(*encryptedKey, "encryptedKeyValue");
    const std::size_t keyBytes = a.passwordKey.keyBits / 8;
    auto blocks = [](std::size_t n) { return (n + 15) / 16 * 16; };
    if (a.encryptedVerifierHashInput.size() != blocks(a.passwordKey.saltSize) ||
        a.encryptedVerifierHashValue.size() != blocks(a.passwordKey.hashSize) ||
        a.encryptedKeyValue.size() != blocks(a.keyData.keyBits / 8) ||
        a.keyData.keyBits / 8 > a.encryptedKeyValue.size() || keyBytes == 0)
        damaged("has encrypted values of the wrong length");
    return a;
}

}  // namespace

OfficeEncryption readOfficeEncryption(ByteSpan page0) {
    const ByteReader page(page0, kWhat, 0);
    const std::uint16_t length = page.u16(kOfficeEncryptionOffset);
    if (length < 4 || !page.has(kOfficeEncryptionOffset + 2, length))
        damaged("gives a length of " + std::to_string(length) + " bytes");
    const ByteReader r = page.sub(kOfficeEncryptionOffset + 2, length);

    OfficeEncryption e;
    e.majorVersion = r.u16(0);
    e.minorVersion = r.u16(2);
    const std::uint16_t major = e.majorVersion, minor = e.minorVersion;
    if (major == 4 && minor == 4) {
        e.scheme = OfficeScheme::Agile;
        e.agile = readAgile(r, 4);
        return e;
    }
    if ((major == 3 || major == 4) && minor == 3) unsupported("an extensible encryption provider");
    if ((major == 2 || major == 3 || major == 4) && minor == 2) {
        const std::uint32_t flags = r.u32(4);
        if (!(flags & kFlagCryptoApi))
            unsupported("a standard scheme without CryptoAPI (flags " + std::to_string(flags) +
                        ")");
        e.standard = readStandard(r, 4);
        if (e.standard.algorithmId == kAlgRc4)
            e.scheme = OfficeScheme::Rc4CryptoApi;
        else
            e.scheme = (flags & kFlagAes) ? OfficeScheme::AesStandard : OfficeScheme::AesUniterated;
        return e;
    }
    unsupported("the encryption version " + std::to_string(major) + "." + std::to_string(minor));
}

}  // namespace jet
