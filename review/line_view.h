// How the script editor places the lines of its text on screen, however long they are.
//
// A line is cut into chunks of at most kChunkBytes bytes, each ending on a character boundary,
// and each chunk is decoded and laid out on its own, only when it is drawn or a position in it
// is asked for. Where a chunk starts on screen follows from the widths of the chunks before
// it: a chunk of printable ASCII, or of characters that all take the font's one advance, is as
// wide as its characters times that advance, with no layout; any other chunk (tabs, wide or
// combining characters, pictures of control characters) is laid out to be measured. Widths are
// measured from the start of a line only as far as a question needs, so showing the start of a
// line of a megabyte costs one chunk, and its end a pass over its bytes. Tabs stop every eight
// advances from the start of the line, wherever a chunk starts.
//
// Positions on screen are in line coordinates: 0 is where the line's text starts, in pixels.
// The view holds a reference to the text; after every change of it, the lines changed (or
// moved) must be forgotten.
#pragma once

#include <QFont>
#include <QString>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "review/display_line.h"
#include "review/script_text.h"

class QTextLayout;

namespace review {

class LineView {
  public:
    static constexpr std::size_t kChunkBytes = 256;

    struct Chunk {
        std::size_t firstByte = 0;  // where the chunk starts in its line
        DisplayLine display;        // its bytes decoded; byte offsets relative to firstByte
        std::unique_ptr<QTextLayout> layout;
        double origin = 0;  // where the layout's x = 0 lies, in line coordinates
    };

    LineView(const ScriptText& text, const QFont& font);
    ~LineView();
    LineView(const LineView&) = delete;
    LineView& operator=(const LineView&) = delete;

    // The advance of one character of the font, and the distance between tab stops.
    double advance() const { return advance_; }
    double tabDistance() const { return 8.0 * advance_; }

    // Forgets everything measured and laid out (after any change of the text)...
    void forget();
    // ...or only lines `first` to `last` (when the number of lines stayed the same)...
    void forgetLines(std::size_t first, std::size_t last);
    // ...or every line from `first` on (when lines were added or removed there).
    void forgetFrom(std::size_t first);

    // Where byte `column` of line `line` lies.
    double xOf(std::size_t line, std::size_t column);
    // The byte offset in line `line` of the character boundary nearest to `x`; past the end of
    // the line, its end.
    std::size_t columnAt(std::size_t line, double x);
    // The width of the whole line (measures all of it).
    double width(std::size_t line);
    // True when the whole of line `line` is measured and it ends before `x`.
    bool endsBefore(std::size_t line, double x);

    // Calls `draw` with each chunk of line `line` that reaches into [left, right), in order.
    void forEachChunkIn(std::size_t line, double left, double right,
                        const std::function<void(const Chunk&)>& draw);

    // How many chunks the view holds laid out now (for tests of its frugality).
    std::size_t chunksLaidOut() const { return chunks_.size(); }

  private:
    struct Geometry {
        std::vector<std::size_t> starts;  // chunk starts, then the line's length
        std::vector<double> x;            // x of each chunk start measured so far (x[0] = 0)
        std::size_t chunkCount() const { return starts.size() - 1; }
        bool measuredAll() const { return x.size() == starts.size(); }
    };

    Geometry& geometry(std::size_t line);
    // Measures chunks until the measured part reaches past `x` or the line ends.
    void measureTo(std::size_t line, Geometry& g, double x);
    void measureNext(std::size_t line, Geometry& g);
    // The chunk that holds byte `column` (a chunk's end belongs to the next one, the line's end
    // to the last), measured and laid out.
    static std::size_t chunkOfColumn(const Geometry& g, std::size_t column);
    std::size_t chunkAtX(std::size_t line, Geometry& g, double x);
    const Chunk& chunk(std::size_t line, Geometry& g, std::size_t index);
    Chunk layOut(std::size_t line, const Geometry& g, std::size_t index, double origin) const;
    // The width of `text` when every UTF-16 unit of it is a character drawn on its own (no
    // joining, marks, tabs or right-to-left text): the sum of the characters' advances.
    std::optional<double> simpleWidth(const QString& text);

    static std::size_t key(std::size_t line, std::size_t index) {
        return line * 1'000'003u ^ index;
    }

    const ScriptText& text_;
    QFont font_;
    double advance_ = 8;
    std::unordered_map<std::size_t, Geometry> geometry_;
    struct ChunkKey {
        std::size_t line;
        std::size_t index;
        bool operator==(const ChunkKey&) const = default;
    };
    struct ChunkKeyHash {
        std::size_t operator()(const ChunkKey& k) const { return key(k.line, k.index); }
    };
    std::unordered_map<ChunkKey, Chunk, ChunkKeyHash> chunks_;
    // Per BMP code unit: its advance, kNotSimple, or kUnknown until first asked.
    static constexpr float kUnknown = -1;
    static constexpr float kNotSimple = -2;
    std::vector<float> advances_;
};

}  // namespace review
