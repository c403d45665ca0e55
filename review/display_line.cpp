// Decoding a line for display.
#include "review/display_line.h"

#include <algorithm>

namespace review {

namespace {

// The code point of the valid sequence at `pos` and its length, or length 0 when invalid.
std::size_t decodeAt(std::string_view s, std::size_t pos, char32_t& cp) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c = b(pos);
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    std::size_t len = 0;
    char32_t min = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        cp = c & 0x1F;
        min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        cp = c & 0x0F;
        min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        cp = c & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (pos + len > s.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const unsigned char cc = b(pos + k);
        if ((cc & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (cc & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

char16_t picture(char32_t cp) {
    if (cp < 0x20 && cp != '\t') return static_cast<char16_t>(0x2400 + cp);
    if (cp == 0x7F) return 0x2421;
    if (cp == 0x2028 || cp == 0x85) return 0x2424;
    if (cp == 0x2029) return 0x00B6;
    return 0;
}

}  // namespace

std::size_t charLength(std::string_view s, std::size_t pos) {
    if (pos >= s.size()) return 0;
    char32_t cp = 0;
    const std::size_t len = decodeAt(s, pos, cp);
    return len ? len : 1;
}

std::size_t nextChar(std::string_view s, std::size_t pos) {
    return std::min(s.size(), pos + std::max<std::size_t>(charLength(s, pos), 1));
}

std::size_t previousChar(std::string_view s, std::size_t pos) {
    if (pos == 0) return 0;
    pos = std::min(pos, s.size());
    for (std::size_t k = std::min<std::size_t>(4, pos); k >= 2; --k) {
        char32_t cp = 0;
        if (decodeAt(s, pos - k, cp) == k) return pos - k;
    }
    return pos - 1;
}

std::vector<std::size_t> chunkStarts(std::string_view line, std::size_t chunkBytes) {
    std::vector<std::size_t> starts{0};
    starts.reserve(line.size() / chunkBytes + 2);
    std::size_t at = 0;
    while (line.size() - at > chunkBytes) {
        std::size_t end = at + chunkBytes;
        // A character that starts up to three bytes before `end` and runs past it moves the
        // boundary to its start.
        for (std::size_t k = 1; k <= 3 && end - k > at; ++k) {
            if (charLength(line, end - k) > k) {
                end -= k;
                break;
            }
        }
        starts.push_back(end);
        at = end;
    }
    starts.push_back(line.size());
    return starts;
}

bool isPrintableAscii(std::string_view bytes) {
    unsigned bad = 0;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        bad |= static_cast<unsigned>(c < 0x20 || c > 0x7E);
    }
    return bad == 0;
}

bool isWordByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x80 || (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') ||
           (u >= 'A' && u <= 'Z') || u == '_';
}

DisplayLine makeDisplayLine(std::string_view utf8, std::size_t maxUnits) {
    DisplayLine d;
    bool plain = true;
    std::size_t n = std::min(utf8.size(), maxUnits);
    for (std::size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0x80 || (c < 0x20 && c != '\t') || c == 0x7F) {
            plain = false;
            break;
        }
    }
    if (plain) {
        d.text = QString::fromLatin1(utf8.data(), static_cast<qsizetype>(n));
        d.shownBytes = n;
        d.truncated = n < utf8.size();
        return d;
    }
    d.text.reserve(static_cast<qsizetype>(std::min(utf8.size(), maxUnits)));
    d.unitByte.reserve(std::min(utf8.size(), maxUnits));
    std::size_t pos = 0;
    while (pos < utf8.size() && static_cast<std::size_t>(d.text.size()) < maxUnits) {
        char32_t cp = 0;
        std::size_t len = decodeAt(utf8, pos, cp);
        if (len == 0) {
            cp = 0xFFFD;
            len = 1;
        }
        if (const char16_t p = picture(cp)) cp = p;
        const auto at = static_cast<std::uint32_t>(pos);
        if (cp >= 0x10000) {
            d.text.append(QChar(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10))));
            d.text.append(QChar(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF))));
            d.unitByte.push_back(at);
            d.unitByte.push_back(at);
        } else {
            d.text.append(QChar(static_cast<char16_t>(cp)));
            d.unitByte.push_back(at);
        }
        pos += len;
    }
    d.shownBytes = pos;
    d.truncated = pos < utf8.size();
    return d;
}

int DisplayLine::unitOf(std::size_t byte) const {
    byte = std::min(byte, shownBytes);
    if (unitByte.empty()) return static_cast<int>(byte);
    const auto it = std::lower_bound(unitByte.begin(), unitByte.end(), byte);
    return static_cast<int>(it - unitByte.begin());
}

std::size_t DisplayLine::byteOf(int unit) const {
    if (unit <= 0) return 0;
    if (unitByte.empty()) return std::min<std::size_t>(static_cast<std::size_t>(unit), shownBytes);
    if (static_cast<std::size_t>(unit) >= unitByte.size()) return shownBytes;
    return unitByte[static_cast<std::size_t>(unit)];
}

}  // namespace review
