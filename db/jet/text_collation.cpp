// Building the sort keys of text values.
#include "db/jet/text_collation.h"

#include <algorithm>
#include <cstdio>

#include "db/jet/error.h"
#include "db/jet/table_def.h"
#include "db/jet/text_codec.h"
#include "db/jet/text_collation_codes.h"

namespace jet {

namespace {

constexpr std::uint16_t kGeneralLanguage = 1033;
constexpr std::uint8_t kLegacyVersion = 0;
constexpr std::uint8_t kGeneralVersion = 1;
constexpr std::size_t kMaxIndexedCharacters = 255;
constexpr std::uint8_t kEndText = 0x01;
constexpr std::uint8_t kEndValue = 0x00;
constexpr std::uint8_t kNoExtra = 0x02;
constexpr std::uint8_t kUnprintableMidfix = 0x06;
constexpr std::uint16_t kUnprintableFlag = 0x8000;
constexpr unsigned kUnprintableStart = 7;
constexpr unsigned kUnprintableStep = 4;

using sort_codes::SortCode;

const SortCode* lookup(std::span<const SortCode> table, char16_t unit) {
    auto it = std::lower_bound(table.begin(), table.end(), unit,
                               [](const SortCode& c, char16_t u) { return c.unit < u; });
    if (it == table.end() || it->unit != unit) return nullptr;
    return &*it;
}

std::span<const SortCode> tableOf(TextCollation::Order order) {
    return order == TextCollation::Order::General ? sort_codes::kGeneral
                                                  : sort_codes::kGeneralLegacy;
}

// The text as indexed: at most 255 characters, without trailing spaces.
std::u16string_view indexedPart(std::u16string_view text) {
    if (text.size() > kMaxIndexedCharacters) text = text.substr(0, kMaxIndexedCharacters);
    while (!text.empty() && text.back() == u' ')
        text.remove_suffix(1);
    return text;
}

// The code point at `i` for messages (a surrogate pair as one character).
char32_t codePointAt(std::u16string_view text, std::size_t i) {
    const char16_t u = text[i];
    if (u >= 0xD800 && u < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000)
        return 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
    if (u >= 0xDC00 && u < 0xE000 && i > 0 && text[i - 1] >= 0xD800 && text[i - 1] < 0xDC00)
        return codePointAt(text, i - 1);
    return u;
}

}  // namespace

const TextCollation& TextCollation::get(Order order) {
    static const TextCollation legacy(Order::GeneralLegacy);
    static const TextCollation general(Order::General);
    return order == Order::General ? general : legacy;
}

const TextCollation* TextCollation::forColumn(const Format& format, const ColumnDef& column) {
    if (!format.unicodeText || column.sortOrder != kGeneralLanguage) return nullptr;
    if (column.sortOrderVersion == kLegacyVersion) return &get(Order::GeneralLegacy);
    if (column.sortOrderVersion == kGeneralVersion) return &get(Order::General);
    return nullptr;
}

const char* TextCollation::name() const {
    return order_ == Order::General ? "General" : "General Legacy";
}

long TextCollation::firstUnknown(std::u16string_view text) const {
    text = indexedPart(text);
    const auto table = tableOf(order_);
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!lookup(table, text[i])) return static_cast<long>(i);
    return -1;
}

void TextCollation::appendKey(std::u16string_view text, bool ascending,
                              std::vector<std::uint8_t>& out) const {
    text = indexedPart(text);
    const auto table = tableOf(order_);
    const std::size_t start = out.size();
    std::vector<std::uint8_t> extras;
    std::vector<std::uint8_t> unprintables;
    unsigned withInline = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const SortCode* code = lookup(table, text[i]);
        if (!code) {
            out.resize(start);
            char hex[16];
            std::snprintf(hex, sizeof hex, "U+%04X", static_cast<unsigned>(codePointAt(text, i)));
            throw Error(ErrorKind::NotSupported, std::string("cannot index the character ") + hex +
                                                     " in this sort order (" + name() + ")");
        }
        if (code->kind == sort_codes::kUnprintable) {
            const unsigned position =
                kUnprintableFlag | (kUnprintableStart + kUnprintableStep * withInline);
            unprintables.push_back(static_cast<std::uint8_t>(position >> 8));
            unprintables.push_back(static_cast<std::uint8_t>(position));
            unprintables.push_back(kUnprintableMidfix);
            unprintables.insert(unprintables.end(), code->bytes.begin(),
                                code->bytes.begin() + code->length);
            continue;
        }
        out.insert(out.end(), code->bytes.begin(), code->bytes.begin() + code->length);
        if (code->extra != kNoExtra) {
            extras.resize(withInline, kNoExtra);
            extras.push_back(code->extra);
        }
        ++withInline;
    }
    out.push_back(kEndText);
    out.insert(out.end(), extras.begin(), extras.end());
    if (!unprintables.empty()) {
        out.insert(out.end(), {kEndText, kEndText, kEndText});
        out.insert(out.end(), unprintables.begin(), unprintables.end());
    }
    if (!ascending) {
        out.push_back(kEndValue);
        for (std::size_t i = start; i < out.size(); ++i)
            out[i] = static_cast<std::uint8_t>(~out[i]);
    }
    out.push_back(kEndValue);
}

std::u16string toUtf16(std::string_view utf8) {
    std::u16string out;
    for (char32_t cp : decodeUtf8(utf8)) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

}  // namespace jet
