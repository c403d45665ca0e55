// The statement text of the review window as plain data: lines of UTF-8 bytes, with CR LF
// between them.
//
// The text is held as the bytes it was given: only the exact pair CR LF separates lines; a lone
// CR or LF, a non-breaking space or any other character stays inside its line untouched. A text
// always has at least one line (the empty text is one empty line). Loading and appending are
// O(size) with one table entry per line; editing one line copies that line only. Positions are
// a line number and a byte offset within the line, both counted from 0.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace review {

inline constexpr std::string_view kCrLf = "\r\n";

struct TextPos {
    std::size_t line = 0;
    std::size_t column = 0;  // byte offset within the line
    friend auto operator<=>(const TextPos&, const TextPos&) = default;
};

// The lines of `text` split at every CR LF, as the script is executed: an empty text gives no
// lines; "a" one; "a\r\n" two ("a" and ""). The views point into `text`.
std::vector<std::string_view> splitScriptLines(std::string_view text);

// The progress bar value while line `index` of `count` runs: index × 100 / (count − 1), and 100
// when there is only one line. REQUIRES: index < count.
int progressValue(std::size_t index, std::size_t count);

// `text` with every line break (CR LF, a lone CR or a lone LF) written as CR LF: how text from
// elsewhere (the clipboard) becomes lines of the script.
std::string withCrLfBreaks(std::string_view text);

class ScriptText;

// Something that holds on to a text without a copy of it (the clipboard after Copy) and must see
// the text as it is just before it changes or goes, to take its copy then.
class ScriptTextWatcher {
  public:
    virtual ~ScriptTextWatcher() = default;
    // Must not throw: a watcher that cannot take its copy lets the text go.
    virtual void textChanging(const ScriptText& text) noexcept = 0;
};

class ScriptText {
  public:
    ScriptText() { lines_.push_back({0, 0}); }
    explicit ScriptText(std::string text) : ScriptText() { assign(std::move(text)); }
    // A copy or a move takes the text, never its watchers; a text moved from, assigned to or
    // destroyed tells its watchers first.
    ScriptText(const ScriptText& other);
    ScriptText(ScriptText&& other);
    ScriptText& operator=(const ScriptText& other);
    ScriptText& operator=(ScriptText&& other);
    ~ScriptText();

    // Calls watcher->textChanging(*this) once, before the next change (or the end) of the text,
    // if the watcher still exists then. Watching changes nothing of the text.
    void watch(std::weak_ptr<ScriptTextWatcher> watcher) const;

    // Replaces the whole text; takes the buffer over without copying it.
    void assign(std::string text);
    // Appends bytes at the end of the text; a CR at the end of one call and an LF at the start of
    // the next make one line break. Amortised O(bytes appended).
    void append(std::string_view bytes);
    void clear() { assign(std::string()); }

    // Number of lines, at least 1.
    std::size_t lineCount() const { return lines_.size(); }
    // Line `i` without its CR LF. The view stays valid until the next change.
    std::string_view line(std::size_t i) const;
    // The number of lines the script executes: 0 for the empty text, else lineCount().
    std::size_t scriptLineCount() const { return empty() ? 0 : lines_.size(); }

    bool empty() const { return lines_.size() == 1 && lines_[0].length == 0; }
    // Size of the whole text in bytes, CR LF pairs included.
    std::size_t size() const;
    // The whole text: the lines joined by CR LF.
    std::string toString() const;
    // Calls `sink` with consecutive pieces that together make the whole text.
    template <typename Sink>
    void forEachPiece(Sink&& sink) const {
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            if (i > 0) sink(kCrLf);
            std::string_view l = line(i);
            if (!l.empty()) sink(l);
        }
    }

    // The last position of the text.
    TextPos end() const { return {lines_.size() - 1, lines_.back().length}; }
    // `p` moved into the text: the line clamped to the last, the column to the line's length.
    TextPos clamp(TextPos p) const;
    // The bytes from `from` to `to` (REQUIRES: from <= to, both within the text), line breaks as
    // CR LF.
    std::string textBetween(TextPos from, TextPos to) const;
    // Replaces the bytes from `from` to `to` by `text` (which may hold CR LF, making new lines).
    // Returns the position just after the inserted text. Positions outside the text are clamped.
    TextPos replace(TextPos from, TextPos to, std::string_view text);
    // Length in bytes of the longest line.
    std::size_t longestLine() const;

    // Replaces every occurrence of `find` by `with`, left to right, without rescanning
    // replaced text. Returns the number of replacements. An empty `find` changes nothing.
    std::size_t replaceAll(std::string_view find, std::string_view with);

  private:
    // A line is a slice of base_ or of edits_ (the top bit of `offset` says which).
    struct Span {
        std::uint64_t offset;
        std::uint64_t length;
    };
    static constexpr std::uint64_t kEdited = std::uint64_t{1} << 63;

    std::string_view view(const Span& s) const;
    Span store(std::string_view bytes);  // copies into edits_
    void release(const Span& s);
    void compactEdits();
    // True when base_ is the whole text: every line a slice of it, in order, CR LF between.
    bool baseIsTheText() const;
    // Splits base_ from `from` on, extending the last line (which starts at lineStart).
    void scanBase(std::size_t lineStart, std::size_t from);

    // Tells the watchers, and forgets them, before the text changes.
    void changing() {
        if (!watchers_.empty()) tellWatchers();
    }
    void tellWatchers();

    std::string base_;
    std::string edits_;
    std::size_t editsLive_ = 0;
    std::vector<Span> lines_;
    mutable std::vector<std::weak_ptr<ScriptTextWatcher>> watchers_;
};

}  // namespace review
