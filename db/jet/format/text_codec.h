// Text as the files store it, turned into UTF-8.
//
// Jet 4 and ACE store text as UTF-16 little-endian code units ("UCS-2" in Access's words), or
// in a compressed form: the bytes FF FE, then runs that alternate between one byte per
// character (the high byte is zero) and two bytes per character, each 00 byte switching between
// the two; the text starts in the one-byte mode. Characters outside the Basic Multilingual Plane
// are surrogate pairs and become one four-byte UTF-8 sequence; a surrogate without its partner
// becomes U+FFFD. Jet 3 stores single-byte text in the code page named by the header.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/jet/base/byte_reader.h"

namespace jet {

void appendUtf8(std::string& out, char32_t codePoint);

// Appends the UTF-8 form of UTF-16LE bytes (an odd trailing byte is ignored).
void appendUtf16le(std::string& out, ByteSpan bytes);

// Decodes Jet 4/ACE text: the compressed form when it starts with FF FE, else UTF-16LE.
std::string decodeUnicodeText(ByteSpan bytes);
void appendUnicodeText(std::string& out, ByteSpan bytes);  // the same, appended to `out`

// UTF-8 to UTF-16LE bytes, as Jet 4 and ACE store text and passwords.
std::vector<std::uint8_t> encodeUtf16le(std::string_view utf8);

// A single-byte (or, for the East Asian code pages, double-byte) Windows code page.
class CodePage {
  public:
    // The code page `number`; unknown numbers (and 0) give Windows-1252.
    static const CodePage& get(std::uint16_t number);
    std::uint16_t number() const { return number_; }
    void append(std::string& out, ByteSpan bytes) const;
    std::string decode(ByteSpan bytes) const {
        std::string s;
        append(s, bytes);
        return s;
    }
    // UTF-8 to this code page; characters it cannot hold become '?'.
    std::vector<std::uint8_t> encode(std::string_view utf8) const;

  private:
    explicit CodePage(std::uint16_t number);
    std::uint16_t number_;
    bool multiByte_ = false;
    std::string iconvName_;
    std::array<char32_t, 256> table_{};  // single-byte pages: byte -> code point
};

// The code points of a UTF-8 string (invalid sequences become U+FFFD).
std::u32string decodeUtf8(std::string_view utf8);

// The offset of the first byte of `utf8` that does not begin a well-formed UTF-8 sequence (a
// stray continuation byte, a sequence cut short, an overlong form, a surrogate, a code point
// above U+10FFFF), or std::string_view::npos when there is none.
std::size_t invalidUtf8At(std::string_view utf8);

// True when `a` and `b` are equal once their ASCII letters are in one case (keywords, names of
// properties and types).
bool asciiEqualNoCase(std::string_view a, std::string_view b);

// The number of UTF-16 code units of `utf8`: what a Text column's length, and a name's, counts.
std::size_t utf16Length(std::string_view utf8);

}  // namespace jet
