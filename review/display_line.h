// How one line of the statement text is shown: its UTF-8 bytes decoded for drawing, with the
// map between byte offsets (where the text is edited) and UTF-16 positions (where Qt draws).
//
// Decoding never fails: a byte that does not start a valid UTF-8 sequence shows as U+FFFD and
// counts as one character. Control characters show as their pictures (a lone LF as U+240A, a
// CR as U+240D, U+2028 as U+2424, U+2029 as a pilcrow), one UTF-16 unit each, so a line never
// breaks on screen where the script does not. Only the drawing changes: the bytes stay as they
// are. The editor decodes a long line chunk by chunk (chunkStarts()).
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace review {

struct DisplayLine {
    QString text;                         // what is drawn
    std::vector<std::uint32_t> unitByte;  // byte offset of each UTF-16 unit; empty when 1:1
    std::size_t shownBytes = 0;           // bytes of the line that `text` shows
    bool truncated = false;               // the line goes on past `shownBytes`

    // The UTF-16 position of byte offset `byte` (clamped to what is shown).
    int unitOf(std::size_t byte) const;
    // The byte offset of UTF-16 position `unit` (clamped to what is shown).
    std::size_t byteOf(int unit) const;
};

DisplayLine makeDisplayLine(std::string_view utf8, std::size_t maxUnits);

// The length of the character that starts at `pos`: a valid UTF-8 sequence, or 1.
std::size_t charLength(std::string_view s, std::size_t pos);
// Character boundaries as the decoding above sees them.
std::size_t nextChar(std::string_view s, std::size_t pos);
std::size_t previousChar(std::string_view s, std::size_t pos);

// Where the chunks of `line` start: 0, then every boundary that keeps each chunk at most
// `chunkBytes` long (REQUIRES: chunkBytes >= 4) and never cuts a character as decoding sees it;
// last the line's length. An empty line is one empty chunk: {0, 0}.
std::vector<std::size_t> chunkStarts(std::string_view line, std::size_t chunkBytes);

// True when every byte is printable ASCII (space to tilde): drawn one advance each.
bool isPrintableAscii(std::string_view bytes);

// Whether the byte belongs to a word for word-wise moves and double-click selection: ASCII
// letters, digits and "_", and every byte of a multi-byte character.
bool isWordByte(char c);

}  // namespace review
