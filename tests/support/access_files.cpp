// Changing copies of Access fixtures for tests.
#include "tests/support/access_files.h"

#include <cstring>
#include <fstream>
#include <stdexcept>

#include "db/jet/format/format.h"
#include "db/jet/format/text_codec.h"
#include "db/jet/page/header.h"

namespace testenv {

namespace fs = std::filesystem;

std::vector<std::uint8_t> readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& p, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void setDatabasePassword(const fs::path& path, const std::string& password) {
    auto bytes = readFile(path);
    const jet::Format* f = jet::Format::forVersionCode(bytes.at(0x14));
    if (!f) throw std::runtime_error("not an Access file: " + path.string());
    const auto mask = jet::headerMask(f->headerMaskLength);
    auto unmasked = [&](std::size_t offset) {
        return bytes[offset] ^ mask[offset - f->headerMaskOffset];
    };

    std::vector<std::uint8_t> field(f->passwordLength, 0);
    const std::vector<std::uint8_t> text =
        f->unicodeText ? jet::encodeUtf16le(password) : jet::CodePage::get(1252).encode(password);
    if (text.size() > field.size()) throw std::runtime_error("password too long for the field");
    std::copy(text.begin(), text.end(), field.begin());
    if (f->creationDateOffset >= 0) {
        std::uint8_t dateBytes[8];
        for (int i = 0; i < 8; ++i)
            dateBytes[i] = static_cast<std::uint8_t>(
                unmasked(static_cast<std::size_t>(f->creationDateOffset + i)));
        double date;
        std::memcpy(&date, dateBytes, 8);
        const auto whole = static_cast<std::uint32_t>(static_cast<std::int32_t>(date));
        for (std::size_t i = 0; i < field.size(); ++i)
            field[i] ^= static_cast<std::uint8_t>(whole >> (8 * (i % 4)));
    }
    for (std::size_t i = 0; i < field.size(); ++i) {
        const std::size_t at = f->passwordOffset + i;
        bytes[at] = field[i] ^ mask[at - f->headerMaskOffset];
    }
    writeFile(path, bytes);
}

}  // namespace testenv
