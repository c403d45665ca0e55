// Writing the header page of a new database.
#include "db/jet/page/new_header.h"

#include <cstring>
#include <stdexcept>
#include <string_view>

#include "db/jet/base/byte_writer.h"
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

}  // namespace

std::vector<std::uint8_t> newHeaderPage(const Format& f, const NewHeader& h) {
    if (!f.unicodeText || f.creationDateOffset < 0)
        throw std::logic_error("new databases are Jet 4 or ACE files");
    std::vector<std::uint8_t> p(f.pageSize, 0);
    ByteWriter w(p, "new header page", 0);
    w.u32(0, 0x100);
    const std::string_view engine =
        f.codec == CodecKind::Office ? "Standard ACE DB" : "Standard Jet DB";
    w.bytes(kEngineNameOffset,
            ByteSpan(reinterpret_cast<const std::uint8_t*>(engine.data()), engine.size()));
    w.u8(kVersionOffset, f.versionCode);

    for (std::size_t i = 0; i < std::size(kMaskedStart); ++i)
        w.u32(f.headerMaskOffset + 4 * i, kMaskedStart[i]);
    w.u16(f.codePageOffset, h.codePage);
    w.u32(f.encodingKeyOffset, 0);
    w.u16(kEngineStampOffset, kEngineStamp);
    w.u32(f.sortOrderOffset, h.sortOrder);
    const auto dateAt = static_cast<std::size_t>(f.creationDateOffset);
    w.u32(dateAt, static_cast<std::uint32_t>(h.creationDateBits));
    w.u32(dateAt + 4, static_cast<std::uint32_t>(h.creationDateBits >> 32));

    // No password: zero bytes, masked by the whole days of the creation date as readHeader()
    // undoes it.
    double date = 0;
    std::memcpy(&date, &h.creationDateBits, sizeof date);
    std::int32_t whole = 0;
    if (date > -2147483648.0 && date < 2147483648.0) whole = static_cast<std::int32_t>(date);
    const auto days = static_cast<std::uint32_t>(whole);
    for (std::size_t i = 0; i < f.passwordLength; ++i)
        w.u8(f.passwordOffset + i, static_cast<std::uint8_t>(days >> (8 * (i % 4))));

    const auto mask = headerMask(f.headerMaskLength);
    const ByteReader plain = w.reader();
    for (std::size_t i = 0; i < mask.size(); ++i)
        w.u8(f.headerMaskOffset + i, plain.u8(f.headerMaskOffset + i) ^ mask[i]);

    w.u32(kTrailerOffset, kTrailerWord);
    w.bytes(kTrailerOffset + 4, ByteSpan(reinterpret_cast<const std::uint8_t*>(kTrailerText.data()),
                                         kTrailerText.size()));
    w.u16(kTableOffset, kTableFirst);
    for (std::size_t i = 1; i < 256; ++i)
        w.u16(kTableOffset + 2 * i, kTableRest);
    return p;
}

}  // namespace jet
