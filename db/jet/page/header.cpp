// Identifying the file, unmasking the header, and the password check.
#include "db/jet/page/header.h"

#include <array>
#include <cstring>

#include "db/jet/base/byte_writer.h"
#include "db/jet/base/error.h"
#include "db/jet/format/text_codec.h"
#include "db/jet/page/crypto.h"

namespace jet {

namespace {

constexpr std::size_t kVersionOffset = 0x14;
constexpr std::size_t kEngineNameOffset = 0x04;
constexpr std::string_view kJetEngine = "Standard Jet DB";
constexpr std::string_view kAceEngine = "Standard ACE DB";
constexpr std::string_view kIsamEngine = "MSISAM Database";

// The whole part of the creation date, as a 32-bit integer, masks the password once more.
void applyDateMask(std::span<std::uint8_t> pwd, double creationDate) {
    std::int32_t whole = 0;
    if (creationDate > -2147483648.0 && creationDate < 2147483648.0)
        whole = static_cast<std::int32_t>(creationDate);
    std::array<std::uint8_t, 4> dateMask{};
    ByteWriter(dateMask, "date mask").u32(0, static_cast<std::uint32_t>(whole));
    for (std::size_t i = 0; i < pwd.size(); ++i)
        pwd[i] ^= dateMask[i % 4];
}

void applyHeaderMask(std::span<std::uint8_t> page0, const Format& format) {
    const auto mask = headerMask(format.headerMaskLength);
    for (std::size_t i = 0; i < mask.size() && format.headerMaskOffset + i < page0.size(); ++i)
        page0[format.headerMaskOffset + i] ^= mask[i];
}

}  // namespace

std::vector<std::uint8_t> headerMask(std::size_t length) {
    static const std::uint8_t kKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
    std::vector<std::uint8_t> mask(length, 0);
    rc4(kKey, mask);
    return mask;
}

const Format& detectFormat(const File& file) {
    const std::uint64_t size = file.size();
    std::uint8_t start[kVersionOffset + 1];
    if (size < sizeof start)
        throw Error(ErrorKind::NotDatabase,
                    "\"" + file.name() + "\" is not an Access database: it is " +
                        (size == 0 ? std::string("empty") : "too short") + ".");
    file.read(0, start);
    const std::string_view engine(reinterpret_cast<const char*>(start + kEngineNameOffset),
                                  kJetEngine.size());
    if (start[0] != page_type::kHeader || (engine != kJetEngine && engine != kAceEngine)) {
        if (engine == kIsamEngine)
            throw Error(ErrorKind::NotSupported,
                        "\"" + file.name() +
                            "\" is a Microsoft Money (MSISAM) file, which this "
                            "program cannot open.");
        throw Error(ErrorKind::NotDatabase,
                    "\"" + file.name() +
                        "\" is not an Access database: its first page does not "
                        "have the header of one.");
    }
    const Format* format = Format::forVersionCode(start[kVersionOffset]);
    if (!format)
        throw Error(ErrorKind::NotSupported,
                    "\"" + file.name() + "\" is an Access database of an unknown version (code " +
                        std::to_string(start[kVersionOffset]) + ").");
    if (size < format->pageSize)
        throw Error(ErrorKind::NotDatabase, "\"" + file.name() +
                                                "\" is not an Access database: it is shorter than "
                                                "one page.");
    return *format;
}

DatabaseHeader readHeader(std::span<const std::uint8_t> page0, const Format& format) {
    std::vector<std::uint8_t> plain(page0.begin(), page0.end());
    applyHeaderMask(plain, format);

    ByteReader r(plain, "header page", 0);
    DatabaseHeader h;
    h.format = &format;
    h.codePage = r.u16(format.codePageOffset);
    h.encodingKey = r.u32(format.encodingKeyOffset);
    h.sortOrder =
        format.sortOrderLength == 4 ? r.u32(format.sortOrderOffset) : r.u16(format.sortOrderOffset);
    const ByteSpan stored = r.bytes(format.passwordOffset, format.passwordLength);
    std::vector<std::uint8_t> pwd(stored.begin(), stored.end());
    if (format.creationDateOffset >= 0) {
        h.creationDate = r.f64(static_cast<std::size_t>(format.creationDateOffset));
        applyDateMask(pwd, h.creationDate);
    }
    if (format.unicodeText) {
        std::size_t end = 0;
        while (end + 1 < pwd.size() && (pwd[end] != 0 || pwd[end + 1] != 0))
            end += 2;
        appendUtf16le(h.password, ByteSpan(pwd.data(), end));
    } else {
        std::size_t end = 0;
        while (end < pwd.size() && pwd[end] != 0)
            ++end;
        h.password = CodePage::get(h.codePage).decode(ByteSpan(pwd.data(), end));
    }
    return h;
}

void checkAccess(const DatabaseHeader& header, std::string_view password) {
    if (header.hasPassword() && header.password != password)
        throw Error(ErrorKind::WrongPassword, "Not a valid password.");
}

}  // namespace jet

namespace jet {

void writeHeaderPassword(std::span<std::uint8_t> page0, const Format& format,
                         std::string_view password) {
    if (format.codec != CodecKind::Jet)
        throw Error(ErrorKind::NotSupported,
                    "An .accdb file keeps no database password in its header: a password "
                    "encrypts the whole file, and setting one is not supported yet.");
    if (page0.size() < format.pageSize) throwCorrupt("the header page is cut short", 0);
    if (password.find('\0') != std::string_view::npos)
        throw Error(ErrorKind::NotSupported, "A database password cannot contain a NUL character.");
    std::vector<std::uint8_t> field;
    if (format.unicodeText) {
        field = encodeUtf16le(password);
    } else {
        const CodePage& cp = CodePage::get(readHeader(page0, format).codePage);
        field = cp.encode(password);
        if (cp.decode(field) != password)
            throw Error(ErrorKind::NotSupported,
                        "The password has characters that this database's code page cannot "
                        "hold.");
    }
    if (field.size() > format.passwordLength)
        throw Error(ErrorKind::NotSupported,
                    "The password is too long: a database password has at most " +
                        std::to_string(format.unicodeText ? format.passwordLength / 2
                                                          : format.passwordLength) +
                        " characters.");
    field.resize(format.passwordLength, 0);

    applyHeaderMask(page0, format);
    if (format.creationDateOffset >= 0) {
        ByteReader r(page0, "header page", 0);
        applyDateMask(field, r.f64(static_cast<std::size_t>(format.creationDateOffset)));
    }
    std::copy(field.begin(), field.end(),
              page0.begin() + static_cast<std::ptrdiff_t>(format.passwordOffset));
    applyHeaderMask(page0, format);
}

}  // namespace jet
