// Parsing property blobs.
#include "db/jet/catalog/properties.h"

#include <cstring>

#include "db/jet/catalog/catalog.h"

namespace jet {

namespace {

constexpr std::uint16_t kNamesBlock = 0x80;

std::string readName(const ByteReader& r, std::size_t& pos, const Format& f, const CodePage& cp) {
    const std::size_t len = r.u16(pos);
    const ByteSpan bytes = r.bytes(pos + 2, len);
    pos += 2 + len;
    if (f.unicodeText) {
        std::string s;
        appendUtf16le(s, bytes);
        return s;
    }
    return cp.decode(bytes);
}

}  // namespace

const Property* PropertyMap::find(std::string_view propertyName) const {
    for (const auto& p : properties)
        if (sameName(p.name, propertyName)) return &p;
    return nullptr;
}

std::vector<PropertyMap> parseProperties(ByteSpan blob, const Format& format,
                                         const CodePage& codePage) {
    const ByteReader r(blob, "property list");
    std::vector<PropertyMap> maps;
    if (blob.empty()) return maps;
    const ByteSpan magic = r.bytes(0, 4);
    bool known = false;
    for (const char* m : {"MR2", "KKD"})
        if (std::memcmp(magic.data(), m, 4) == 0) known = true;
    if (!known) r.fail("the property list does not start with a known mark", 0);

    std::vector<std::string> names;
    std::size_t pos = 4;
    while (pos < blob.size()) {
        const std::uint32_t blockLen = r.u32(pos);
        const std::uint16_t kind = r.u16(pos + 4);
        if (blockLen < 6 || !r.has(pos, blockLen))
            r.fail("a property block of impossible length", pos);
        const ByteReader block = r.sub(pos + 6, blockLen - 6);
        if (kind == kNamesBlock) {
            std::size_t p = 0;
            while (p < block.size())
                names.push_back(readName(block, p, format, codePage));
        } else {
            PropertyMap map;
            std::size_t p = 0;
            if (block.size() >= 4) {
                const std::uint32_t nameLen = block.u32(0);
                if (nameLen < 4 || !block.has(0, nameLen))
                    block.fail("a property map name of impossible length", 0);
                if (nameLen > 6) {
                    std::size_t np = 4;
                    map.name = readName(block, np, format, codePage);
                }
                p = nameLen;
            }
            while (p < block.size()) {
                const std::uint16_t entryLen = block.u16(p);
                if (entryLen < 8 || !block.has(p, entryLen))
                    block.fail("a property of impossible length", p);
                Property prop;
                prop.ddl = block.u8(p + 2) != 0;
                prop.type = block.u8(p + 3);
                const std::uint16_t nameIndex = block.u16(p + 4);
                const std::uint16_t size = block.u16(p + 6);
                if (nameIndex >= names.size())
                    block.fail("a property refers to an unknown name", p + 4);
                if (std::size_t{size} + 8 > entryLen)
                    block.fail("a property value overruns its entry", p + 6);
                prop.name = names[nameIndex];
                const ByteSpan v = block.bytes(p + 8, size);
                prop.value.assign(v.begin(), v.end());
                map.properties.push_back(std::move(prop));
                p += entryLen;
            }
            maps.push_back(std::move(map));
        }
        pos += blockLen;
    }
    return maps;
}

}  // namespace jet
