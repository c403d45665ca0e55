// The header page (page 0): which version the file is, its code page and sort order, whether
// its pages are encoded, and the masked database password.
//
// Layout of the parts the engine reads (offsets from the start of the file):
//
//   offset  size  meaning
//   0x00    1     page type, always 0x00
//   0x04    15    engine name: "Standard Jet DB" (.mdb) or "Standard ACE DB" (.accdb)
//   0x14    1     version: 0 Jet 3, 1 Jet 4, 2 ACE 12, 3 ACE 14, 5 ACE 16, 6 ACE 17
//   0x18    126/128  masked with the RC4 key stream of the key C7 DA 39 6B (Jet 3 / later):
//   0x3a    2     Jet 3: text sort order (language id)
//   0x3c    2     code page of single-byte text
//   0x3e    4     encoding key: 0 when the pages are stored plain
//   0x42    20/40 database password; Jet 3: single-byte text, later: UTF-16LE, XORed again
//                 with the four little-endian bytes of the whole part of the creation date
//   0x6e    4     Jet 4 and later: text sort order (language id, then its version)
//   0x72    8     Jet 4 and later: creation date (a double on the Access date scale)
//
// A password field of only zero bytes means the database has no password.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/jet/format/format.h"
#include "db/jet/page/file.h"

namespace jet {

struct DatabaseHeader {
    const Format* format = nullptr;
    std::uint16_t codePage = 1252;
    std::uint32_t encodingKey = 0;
    std::uint32_t sortOrder = 0;  // language id in the low 16 bits, version in the top 8
    double creationDate = 0;
    std::string password;  // UTF-8, empty when the database has none

    bool hasPassword() const { return !password.empty(); }
};

// Reads the first page of `file` and identifies the version. Throws NotDatabase when the file is
// empty, too short or not an Access file, NotSupported for an unknown version.
const Format& detectFormat(const File& file);

// Decodes the header from page 0 (as stored). REQUIRES: page0.size() == format.pageSize.
DatabaseHeader readHeader(std::span<const std::uint8_t> page0, const Format& format);

// The key stream that masks the header: RC4 of the key C7 DA 39 6B over `length` zero bytes.
std::vector<std::uint8_t> headerMask(std::size_t length);

// Checks `password` against the masked database password of the header (the password of a
// .mdb file) before anything else is read: a wrong password gives WrongPassword. A database
// without one opens whatever password is given. The password of an encrypted .accdb is checked
// by its codec instead (office_codec.h).
void checkAccess(const DatabaseHeader& header, std::string_view password);

// Replaces the masked database password in `page0` (as stored) by `password` (UTF-8; empty
// removes it), masking it as readHeader() unmasks it; nothing else of the page changes. Throws
// NotSupported for an .accdb format, for a password with a NUL character, and for one longer
// than the field holds (20 characters), leaving `page0` unchanged then.
void writeHeaderPassword(std::span<std::uint8_t> page0, const Format& format,
                         std::string_view password);

}  // namespace jet
