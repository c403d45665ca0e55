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

bool isAscii(std::string_view s) {
    for (char ch : s)
        if (static_cast<unsigned char>(ch) >= 0x80) return false;
    return true;
}

}  // namespace

std::string foldName(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    if (isAscii(utf8)) {
        for (char ch : utf8)
            out.push_back(ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 32) : ch);
        return out;
    }
    for (char32_t c : decodeUtf8(utf8))
        appendUtf8(out, foldCodePoint(c));
    return out;
}

bool sameName(std::string_view a, std::string_view b) {
    if (isAscii(a) && isAscii(b)) return asciiEqualNoCase(a, b);
    return foldName(a) == foldName(b);
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
