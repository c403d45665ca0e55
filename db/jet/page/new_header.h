// The header page (page 0) of a new database, the inverse of readHeader() for a file without a
// password whose pages are stored plain. The layout is in NEW_DATABASE.md and header.h.
#pragma once

#include <cstdint>
#include <vector>

#include "db/jet/format/format.h"

namespace jet {

struct NewHeader {
    std::uint64_t creationDateBits = 0;  // the creation date, as the bits of its double
    std::uint32_t sortOrder = 1033;      // language in the low 16 bits, version in the top byte
    std::uint16_t codePage = 1252;
};

// The bytes of page 0, masked as stored. REQUIRES: a Jet 4 or ACE format.
std::vector<std::uint8_t> newHeaderPage(const Format& format, const NewHeader& header);

}  // namespace jet
