// Building the sort keys of text values.
#include "db/jet/index/text_collation.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "db/jet/base/error.h"
#include "db/jet/format/text_codec.h"
#include "db/jet/index/text_collation_codes.h"
#include "db/jet/table/table_def.h"

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
constexpr std::uint8_t kKanaFlag = 0x03;
constexpr std::uint8_t kSmallKanaFlag = 0x02;
constexpr std::uint8_t kKanaFlagsStart = 0x80;
constexpr std::uint8_t kKanaFlagsEnd[] = {0xFF, 0x02, 0x80, 0xFF, 0x80};
constexpr std::uint8_t kKanaBeforeUnprintable = 0xFF;

using sort_codes::CodeRun;
using sort_codes::SortTable;

// What one code unit contributes to a key.
struct CharCode {
    sort_codes::Kind kind = sort_codes::kNone;
    std::array<std::uint8_t, 8> code{};
    std::uint8_t codeLength = 0;
    const std::uint8_t* extra = nullptr;
    std::uint8_t extraLength = 0;
};

CharCode lookUp(const SortTable& table, char16_t unit) {
    // The first run always starts at U+0000, so the run before the first that starts after
    // `unit` is its own.
    const auto it = std::upper_bound(table.runs.begin(), table.runs.end(), unit,
                                     [](char16_t u, const CodeRun& r) { return u < r.first; });
    const CodeRun& run = *(it - 1);
    CharCode c;
    c.kind = static_cast<sort_codes::Kind>(run.kind);
    c.codeLength = run.lengths & 0x0F;
    c.extraLength = run.lengths >> 4;
    const std::uint8_t* bytes = table.bytes + run.bytes;
    std::copy(bytes, bytes + c.codeLength, c.code.begin());
    if (c.codeLength > 0) c.code[c.codeLength - 1] += static_cast<std::uint8_t>(unit - run.first);
    c.extra = bytes + c.codeLength;
    return c;
}

// A sort order's codes, those of the ASCII characters (most of the text indexed) looked up once.
class CodeTable {
  public:
    explicit CodeTable(const SortTable& table) : table_(table) {
        for (char16_t u = 0; u < kAscii; ++u)
            ascii_[u] = lookUp(table, u);
    }
    CharCode codeOf(char16_t unit) const {
        return unit < kAscii ? ascii_[unit] : lookUp(table_, unit);
    }

  private:
    static constexpr char16_t kAscii = 0x80;
    const SortTable& table_;
    std::array<CharCode, kAscii> ascii_;
};

const CodeTable& tableOf(TextCollation::Order order) {
    static const CodeTable general(sort_codes::kGeneral);
    static const CodeTable legacy(sort_codes::kGeneralLegacy);
    return order == TextCollation::Order::General ? general : legacy;
}

// The parts of a key after the inline codes, built while they are written.
class KeyTail {
  public:
    // A character with an inline code was written; `extra` is its extra code, if any.
    void inlineCode(const std::uint8_t* extra, std::size_t extraLength) {
        if (extraLength > 0) {
            padExtras();
            extras_.insert(extras_.end(), extra, extra + extraLength);
            extraChars_ = withInline_ + 1;
        }
        ++withInline_;
    }

    void kanaFlag(bool small) { kanaFlags_.push_back(small ? kSmallKanaFlag : kKanaFlag); }

    // A modifier changes the extra code of the character before it; before any, it opens the
    // extra codes on its own.
    void modifier(std::uint8_t value) {
        padExtras();
        if (extras_.empty()) {
            extras_.push_back(value);
            modifierPrefix_ = 1;
        } else {
            extras_.back() = static_cast<std::uint8_t>(extras_.back() + value);
        }
    }

    // The position of an unprintable character counts the extra-code bytes before it, as if
    // every character so far had written its own.
    void unprintable(const std::uint8_t* code, std::size_t length) {
        const std::size_t before = extras_.size() + (withInline_ - extraChars_) - modifierPrefix_;
        const unsigned position =
            kUnprintableFlag | static_cast<unsigned>(kUnprintableStart + kUnprintableStep * before);
        unprintables_.push_back(static_cast<std::uint8_t>(position >> 8));
        unprintables_.push_back(static_cast<std::uint8_t>(position));
        unprintables_.push_back(kUnprintableMidfix);
        unprintables_.insert(unprintables_.end(), code, code + length);
    }

    void appendTo(std::vector<std::uint8_t>& out) {
        out.push_back(kEndText);
        // Extra codes that say nothing at the end are left out.
        while (!extras_.empty() && extras_.back() <= kNoExtra)
            extras_.pop_back();
        out.insert(out.end(), extras_.begin(), extras_.end());
        const bool kana = !kanaFlags_.empty();
        if (!kana && unprintables_.empty()) return;
        out.push_back(kEndText);
        out.push_back(kEndText);
        if (kana) {
            // Flags of ordinary kana at the end are left out; the rest go three to a byte.
            while (!kanaFlags_.empty() && kanaFlags_.back() == kKanaFlag)
                kanaFlags_.pop_back();
            for (std::size_t i = 0; i < kanaFlags_.size(); i += 3) {
                std::uint8_t b = kKanaFlagsStart;
                for (std::size_t k = 0; k < 3 && i + k < kanaFlags_.size(); ++k)
                    b |= static_cast<std::uint8_t>(kanaFlags_[i + k] << (4 - 2 * k));
                out.push_back(b);
            }
            out.insert(out.end(), std::begin(kKanaFlagsEnd), std::end(kKanaFlagsEnd));
            if (!unprintables_.empty()) out.push_back(kKanaBeforeUnprintable);
        }
        if (!unprintables_.empty()) {
            out.push_back(kEndText);
            out.insert(out.end(), unprintables_.begin(), unprintables_.end());
        }
    }

  private:
    // Gives every character with an inline code so far an extra code, "none" for those
    // without one.
    void padExtras() {
        extras_.insert(extras_.end(), withInline_ - extraChars_, kNoExtra);
        extraChars_ = withInline_;
    }

    std::vector<std::uint8_t> extras_;
    std::size_t withInline_ = 0;  // characters with an inline code
    std::size_t extraChars_ = 0;  // of them, those `extras_` holds codes for
    std::size_t modifierPrefix_ = 0;
    std::vector<std::uint8_t> kanaFlags_;
    std::vector<std::uint8_t> unprintables_;
};

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
    const CodeTable& table = tableOf(order_);
    for (std::size_t i = 0; i < text.size(); ++i)
        if (table.codeOf(text[i]).kind == sort_codes::kNone) return static_cast<long>(i);
    return -1;
}

void TextCollation::appendKey(std::u16string_view text, bool ascending,
                              std::vector<std::uint8_t>& out) const {
    text = indexedPart(text);
    const CodeTable& table = tableOf(order_);
    const std::size_t start = out.size();
    KeyTail tail;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const CharCode c = table.codeOf(text[i]);
        switch (c.kind) {
            case sort_codes::kNone: {
                out.resize(start);
                char hex[16];
                std::snprintf(hex, sizeof hex, "U+%04X",
                              static_cast<unsigned>(codePointAt(text, i)));
                throw Error(ErrorKind::NotSupported, std::string("cannot index the character ") +
                                                         hex + " in this sort order (" + name() +
                                                         ")");
            }
            case sort_codes::kIgnored:
                break;
            case sort_codes::kUnprintable:
                tail.unprintable(c.code.data(), c.codeLength);
                break;
            case sort_codes::kModifier:
                tail.modifier(c.extra[0]);
                break;
            case sort_codes::kInline:
            case sort_codes::kKana:
            case sort_codes::kSmallKana:
                out.insert(out.end(), c.code.begin(), c.code.begin() + c.codeLength);
                tail.inlineCode(c.extra, c.extraLength);
                if (c.kind != sort_codes::kInline) tail.kanaFlag(c.kind == sort_codes::kSmallKana);
                break;
        }
    }
    tail.appendTo(out);
    if (!ascending) {
        out.push_back(kEndValue);
        for (std::size_t i = start; i < out.size(); ++i)
            out[i] = static_cast<std::uint8_t>(~out[i]);
    }
    out.push_back(kEndValue);
}

std::u16string toUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    // Most text is ASCII, a unit for each byte; the rest is decoded from the first other byte.
    std::size_t i = 0;
    while (i < utf8.size() && static_cast<unsigned char>(utf8[i]) < 0x80)
        out.push_back(static_cast<char16_t>(utf8[i++]));
    if (i == utf8.size()) return out;
    for (char32_t cp : decodeUtf8(utf8.substr(i))) {
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
