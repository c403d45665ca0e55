// The features of an Access file, from its header.
#include "db/access_features.h"

#include <array>
#include <fstream>

#include "db/jet/format/format.h"

namespace db {

namespace {

constexpr std::size_t kVersionOffset = 0x14;

AccessFileFeatures featuresOf(const jet::Format& f) {
    return {f.largeNumber, f.extendedDate};
}

}  // namespace

AccessFileFeatures accessFileFeatures(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::array<char, kVersionOffset + 1> head{};
    if (!in.read(head.data(), static_cast<std::streamsize>(head.size()))) return {};
    const jet::Format* f = jet::Format::forVersionCode(static_cast<std::uint8_t>(head.back()));
    return f ? featuresOf(*f) : AccessFileFeatures{};
}

AccessFileFeatures accessVersionFeatures(jet::Version version) {
    return featuresOf(jet::Format::of(version));
}

}  // namespace db
