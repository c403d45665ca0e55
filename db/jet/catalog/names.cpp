// Which names Access can hold, and names compared as Access compares them.
#include "db/jet/catalog/names.h"

#include "db/jet/base/error.h"
#include "db/jet/format/text_codec.h"

namespace jet {

namespace {

char32_t foldCodePoint(char32_t c) {
    if (c >= 'a' && c <= 'z') return c - 32;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 32;
    if (c >= 0x430 && c <= 0x44F) return c - 32;
    if (c >= 0x450 && c <= 0x45F) return c - 80;
    return c;
}

}  // namespace

std::string foldName(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    bool ascii = true;
    for (char ch : utf8)
        if (static_cast<unsigned char>(ch) >= 0x80) ascii = false;
    if (ascii) {
        for (char ch : utf8)
            out.push_back(ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 32) : ch);
        return out;
    }
    for (char32_t c : decodeUtf8(utf8))
        appendUtf8(out, foldCodePoint(c));
    return out;
}

bool sameName(std::string_view a, std::string_view b) {
    auto upper = [](unsigned char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; };
    auto ascii = [](std::string_view s) {
        for (char ch : s)
            if (static_cast<unsigned char>(ch) >= 0x80) return false;
        return true;
    };
    if (a.size() != b.size()) {
        // Folding keeps the length of ASCII text.
        if (ascii(a) && ascii(b)) return false;
        return foldName(a) == foldName(b);
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        // Past an ASCII prefix the same in both, only folding the rest can tell.
        if (x >= 0x80 || y >= 0x80) return foldName(a.substr(i)) == foldName(b.substr(i));
        if (upper(x) != upper(y)) return false;
    }
    return true;
}

std::string nameProblem(std::string_view name) {
    if (name.empty()) return "it is empty";
    if (invalidUtf8At(name) != std::string_view::npos) return "it is not valid UTF-8 text";
    if (utf16Length(name) > kMaxNameLength) return "it is longer than 64 characters";
    if (name.front() == ' ') return "it starts with a blank";
    for (unsigned char c : name) {
        if (c < 0x20) return "it holds a control character";
        if (c == '.' || c == '!' || c == '`' || c == '[' || c == ']')
            return std::string("it holds the character \"") + static_cast<char>(c) + '"';
    }
    return {};
}

void validateName(std::string_view name, const char* what) {
    const std::string why = nameProblem(name);
    if (why.empty()) return;
    std::string shown;
    if (invalidUtf8At(name) != std::string_view::npos) {
        for (char32_t c : decodeUtf8(name))
            appendUtf8(shown, c);
    } else {
        shown = name;
    }
    throw Error(ErrorKind::Syntax,
                "'" + shown + "' is not a valid " + what + " name: " + why + ".");
}

bool isSystemTableName(std::string_view name) {
    // Access keeps names beginning with MSys for its system tables and hides such tables.
    return foldName(name).rfind("MSYS", 0) == 0;
}

}  // namespace jet
