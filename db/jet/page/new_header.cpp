// Writing the header page of a new database.
#include "db/jet/page/new_header.h"

#include <cstring>
#include <stdexcept>
#include <string_view>

#include "db/jet/page/header.h"

namespace jet {

namespace {

constexpr std::size_t kEngineNameOffset = 0x04;
constexpr std::size_t kVersionOffset = 0x14;
// Words the engine writes at the start of the masked part: 0x100, 0x101, then 2 to 5.
constexpr std::uint32_t kMaskedStart[] = {0x100, 0x101, 2, 3, 4, 5};
constexpr std::size_t kEngineStampOffset = 0x6a;
constexpr std::uint16_t kEngineStamp = 0x11A6;
constexpr std::size_t kTrailerOffset = 0x98;  // after the masked part
constexpr std::uint32_t kTrailerWord = 0x0654;
constexpr std::string_view kTrailerText{"4.0\0", 4};
constexpr std::size_t kTableOffset = 0xe00;  // 256 words
constexpr std::uint16_t kTableFirst = 0x0101;
constexpr std::uint16_t kTableRest = 0x0100;

void put16(std::vector<std::uint8_t>& p, std::size_t at, std::uint32_t v) {
    p[at] = static_cast<std::uint8_t>(v);
    p[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(std::vector<std::uint8_t>& p, std::size_t at, std::uint32_t v) {
    put16(p, at, v & 0xFFFF);
    put16(p, at + 2, v >> 16);
}

}  // namespace

std::vector<std::uint8_t> newHeaderPage(const Format& f, const NewHeader& h) {
    if (!f.unicodeText || f.creationDateOffset < 0)
        throw std::logic_error("new databases are Jet 4 or ACE files");
    std::vector<std::uint8_t> p(f.pageSize, 0);
    put32(p, 0, 0x100);
    const std::string_view engine =
        f.codec == CodecKind::Office ? "Standard ACE DB" : "Standard Jet DB";
    std::memcpy(p.data() + kEngineNameOffset, engine.data(), engine.size());
    p[kVersionOffset] = f.versionCode;

    for (std::size_t i = 0; i < std::size(kMaskedStart); ++i)
        put32(p, f.headerMaskOffset + 4 * i, kMaskedStart[i]);
    put16(p, f.codePageOffset, h.codePage);
    put32(p, f.encodingKeyOffset, 0);
    put16(p, kEngineStampOffset, kEngineStamp);
    put32(p, f.sortOrderOffset, h.sortOrder);
    const auto dateAt = static_cast<std::size_t>(f.creationDateOffset);
    put32(p, dateAt, static_cast<std::uint32_t>(h.creationDateBits));
    put32(p, dateAt + 4, static_cast<std::uint32_t>(h.creationDateBits >> 32));

    // No password: zero bytes, masked by the whole days of the creation date as readHeader()
    // undoes it.
    double date = 0;
    std::memcpy(&date, &h.creationDateBits, sizeof date);
    std::int32_t whole = 0;
    if (date > -2147483648.0 && date < 2147483648.0) whole = static_cast<std::int32_t>(date);
    const auto days = static_cast<std::uint32_t>(whole);
    for (std::size_t i = 0; i < f.passwordLength; ++i)
        p[f.passwordOffset + i] = static_cast<std::uint8_t>(days >> (8 * (i % 4)));

    const auto mask = headerMask(f.headerMaskLength);
    for (std::size_t i = 0; i < mask.size(); ++i)
        p[f.headerMaskOffset + i] ^= mask[i];

    put32(p, kTrailerOffset, kTrailerWord);
    std::memcpy(p.data() + kTrailerOffset + 4, kTrailerText.data(), kTrailerText.size());
    put16(p, kTableOffset, kTableFirst);
    for (std::size_t i = 1; i < 256; ++i)
        put16(p, kTableOffset + 2 * i, kTableRest);
    return p;
}

}  // namespace jet
