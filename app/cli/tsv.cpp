// Rendering values for tab-separated output.
#include "app/cli/tsv.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace cli {

namespace {

// The characters written as two: tab, line feed, carriage return, NUL and backslash.
bool needsEscape(char c) {
    return c == '\t' || c == '\n' || c == '\r' || c == '\0' || c == '\\';
}

char escapeLetter(char c) {
    switch (c) {
        case '\t':
            return 't';
        case '\n':
            return 'n';
        case '\r':
            return 'r';
        case '\0':
            return '0';
        default:
            return '\\';
    }
}

// True when one of the eight bytes of `w` is below 0x0E or a backslash: a cheap sieve that
// lets through every word holding a character to escape.
bool mayNeedEscape(std::uint64_t w) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
    const std::uint64_t below = (w - kOnes * 0x0E) & ~w & kHighs;
    const std::uint64_t x = w ^ (kOnes * '\\');
    const std::uint64_t backslash = (x - kOnes) & ~x & kHighs;
    return (below | backslash) != 0;
}

}  // namespace

void appendEscapedField(std::string& out, std::string_view text) {
    // Runs without special characters (nearly all text) are copied whole; eight bytes at a
    // time are passed over when none of them can be one.
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
#if defined(__SSE2__)
        // Sixteen bytes at a time where the processor compares them side by side.
        if (i + 16 <= text.size()) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
            const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(0x0D)), v);
            const __m128i backslash = _mm_cmpeq_epi8(v, _mm_set1_epi8('\\'));
            if (_mm_movemask_epi8(_mm_or_si128(low, backslash)) == 0) {
                i += 16;
                continue;
            }
        }
#endif
        if (i + 8 <= text.size()) {
            std::uint64_t w;
            std::memcpy(&w, text.data() + i, 8);
            if (!mayNeedEscape(w)) {
                i += 8;
                continue;
            }
        }
        const std::size_t end = std::min(text.size(), i + 8);
        for (; i < end; ++i) {
            if (!needsEscape(text[i])) continue;
            out.append(text.data() + start, i - start);
            out += '\\';
            out += escapeLetter(text[i]);
            start = i + 1;
        }
    }
    out.append(text.data() + start, text.size() - start);
}

std::string escapeField(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    appendEscapedField(out, text);
    return out;
}

void appendField(std::string& out, const db::Value& v) {
    switch (v.kind()) {
        case db::Value::Kind::Null:
            out += "\\N";
            return;
        case db::Value::Kind::Boolean:
            out += v.asBoolean() ? '1' : '0';
            return;
        case db::Value::Kind::DateTime:
            v.asDateTime().appendIso(out, 'T');
            return;
        case db::Value::Kind::Text:
            appendEscapedField(out, v.asText());
            return;
        default:
            // Numbers, exact values, binary and GUIDs have no characters that need escaping.
            v.appendDebugString(out);
    }
}

std::string formatField(const db::Value& v) {
    std::string out;
    appendField(out, v);
    return out;
}

}  // namespace cli
