// The statement text as lines of bytes.
#include "review/script_text.h"

#include <algorithm>
#include <cstring>

#include "review/find_replace.h"

namespace review {

namespace {

// Offsets of the CR of every CR LF pair in `text`, found from `from` on, handed to `onBreak`.
template <typename F>
void forEachBreak(std::string_view text, std::size_t from, F&& onBreak) {
    const char* data = text.data();
    std::size_t pos = std::max<std::size_t>(from, 1);
    while (pos < text.size()) {
        const void* hit = std::memchr(data + pos, '\n', text.size() - pos);
        if (!hit) break;
        const std::size_t lf = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
        if (data[lf - 1] == '\r') onBreak(lf - 1);
        pos = lf + 1;
    }
}

}  // namespace

std::vector<std::string_view> splitScriptLines(std::string_view text) {
    std::vector<std::string_view> lines;
    if (text.empty()) return lines;
    std::size_t start = 0;
    forEachBreak(text, 0, [&](std::size_t cr) {
        lines.push_back(text.substr(start, cr - start));
        start = cr + 2;
    });
    lines.push_back(text.substr(start));
    return lines;
}

std::string withCrLfBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out.append(kCrLf);
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out.append(kCrLf);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

int progressValue(std::size_t index, std::size_t count) {
    if (count <= 1) return 100;
    // 128-bit free: index < count, so index * 100 cannot overflow for any count below 2^57.
    return static_cast<int>(index * 100 / (count - 1));
}

std::string_view ScriptText::view(const Span& s) const {
    if (s.offset & kEdited) return std::string_view(edits_).substr(s.offset & ~kEdited, s.length);
    return std::string_view(base_).substr(s.offset, s.length);
}

std::string_view ScriptText::line(std::size_t i) const {
    return view(lines_.at(i));
}

ScriptText::Span ScriptText::store(std::string_view bytes) {
    if (bytes.empty()) return {0, 0};
    const Span s{edits_.size() | kEdited, bytes.size()};
    edits_.append(bytes);
    editsLive_ += bytes.size();
    return s;
}

void ScriptText::release(const Span& s) {
    if (s.offset & kEdited) editsLive_ -= s.length;
}

void ScriptText::compactEdits() {
    // Edited lines leave their old copies behind; copy the live ones once the dead outweigh them.
    if (edits_.size() < (std::size_t{1} << 20) || edits_.size() < 2 * editsLive_) return;
    std::string fresh;
    fresh.reserve(editsLive_);
    for (Span& s : lines_) {
        if (!(s.offset & kEdited)) continue;
        const std::size_t at = fresh.size();
        fresh.append(edits_, s.offset & ~kEdited, s.length);
        s.offset = at | kEdited;
    }
    edits_ = std::move(fresh);
}

void ScriptText::scanBase(std::size_t lineStart, std::size_t from) {
    std::size_t start = lineStart;
    forEachBreak(base_, std::max(from, lineStart + 1), [&](std::size_t cr) {
        if (cr < start) return;  // the CR belongs to the line before
        lines_.back() = {start, cr - start};
        start = cr + 2;
        lines_.push_back({start, 0});
    });
    lines_.back() = {start, base_.size() - start};
}

ScriptText::ScriptText(const ScriptText& other)
    : base_(other.base_),
      edits_(other.edits_),
      editsLive_(other.editsLive_),
      lines_(other.lines_) {}

ScriptText::ScriptText(ScriptText&& other) : ScriptText() {
    *this = std::move(other);
}

ScriptText& ScriptText::operator=(const ScriptText& other) {
    if (this == &other) return *this;
    changing();
    base_ = other.base_;
    edits_ = other.edits_;
    editsLive_ = other.editsLive_;
    lines_ = other.lines_;
    return *this;
}

ScriptText& ScriptText::operator=(ScriptText&& other) {
    if (this == &other) return *this;
    changing();
    other.changing();
    base_ = std::move(other.base_);
    edits_ = std::move(other.edits_);
    editsLive_ = other.editsLive_;
    lines_ = std::move(other.lines_);
    other.clear();
    return *this;
}

ScriptText::~ScriptText() {
    changing();
}

void ScriptText::watch(std::weak_ptr<ScriptTextWatcher> watcher) const {
    std::erase_if(watchers_, [](const auto& w) { return w.expired(); });
    watchers_.push_back(std::move(watcher));
}

void ScriptText::tellWatchers() {
    std::vector<std::weak_ptr<ScriptTextWatcher>> watchers = std::move(watchers_);
    watchers_.clear();
    for (const auto& w : watchers)
        if (const auto watcher = w.lock()) watcher->textChanging(*this);
}

void ScriptText::assign(std::string text) {
    changing();
    base_ = std::move(text);
    edits_.clear();
    edits_.shrink_to_fit();
    editsLive_ = 0;
    lines_.clear();
    lines_.shrink_to_fit();
    lines_.push_back({0, 0});
    scanBase(0, 0);
}

void ScriptText::append(std::string_view bytes) {
    if (bytes.empty()) return;
    changing();
    Span& last = lines_.back();
    if ((last.offset & kEdited) || last.offset + last.length != base_.size()) {
        // The last line is not the tail of base_ any more: move it there so that it can grow.
        std::string moved(view(last));
        release(last);
        last = {base_.size(), moved.size()};
        base_.append(moved);
    }
    const std::size_t oldSize = base_.size();
    base_.append(bytes);
    scanBase(static_cast<std::size_t>(lines_.back().offset), oldSize);
}

std::size_t ScriptText::size() const {
    std::size_t total = 2 * (lines_.size() - 1);
    for (const Span& s : lines_)
        total += s.length;
    return total;
}

std::string ScriptText::toString() const {
    std::string out;
    out.reserve(size());
    forEachPiece([&](std::string_view piece) { out.append(piece); });
    return out;
}

TextPos ScriptText::clamp(TextPos p) const {
    if (p.line >= lines_.size()) p.line = lines_.size() - 1;
    p.column = std::min<std::size_t>(p.column, lines_[p.line].length);
    return p;
}

std::string ScriptText::textBetween(TextPos from, TextPos to) const {
    if (from.line == to.line)
        return std::string(line(from.line).substr(from.column, to.column - from.column));
    std::string out(line(from.line).substr(from.column));
    for (std::size_t i = from.line + 1; i < to.line; ++i) {
        out.append(kCrLf);
        out.append(line(i));
    }
    out.append(kCrLf);
    out.append(line(to.line).substr(0, to.column));
    return out;
}

TextPos ScriptText::replace(TextPos from, TextPos to, std::string_view text) {
    changing();
    from = clamp(from);
    to = clamp(to);
    if (to < from) std::swap(from, to);
    std::string combined;
    const std::string_view prefix = line(from.line).substr(0, from.column);
    const std::string_view suffix = line(to.line).substr(to.column);
    combined.reserve(prefix.size() + text.size() + suffix.size());
    combined.append(prefix);
    combined.append(text);
    combined.append(suffix);
    const std::size_t insertedEnd = prefix.size() + text.size();

    // The new lines, and where the end of the inserted text falls among them.
    std::vector<std::string_view> pieces = splitScriptLines(combined);
    if (pieces.empty()) pieces.push_back(std::string_view());
    TextPos endPos{from.line, 0};
    {
        std::size_t start = 0;
        for (std::size_t k = 0; k < pieces.size(); ++k) {
            const std::size_t pieceEnd = start + pieces[k].size();
            if (insertedEnd <= pieceEnd || k + 1 == pieces.size()) {
                endPos = {from.line + k, insertedEnd >= start ? insertedEnd - start : 0};
                break;
            }
            if (insertedEnd < pieceEnd + 2) {  // between the CR and the LF of a break
                endPos = {from.line + k + 1, 0};
                break;
            }
            start = pieceEnd + 2;
        }
    }

    std::vector<Span> fresh;
    fresh.reserve(pieces.size());
    for (std::string_view p : pieces)
        fresh.push_back(store(p));
    for (std::size_t i = from.line; i <= to.line; ++i)
        release(lines_[i]);
    const auto first = lines_.begin() + static_cast<std::ptrdiff_t>(from.line);
    const std::size_t oldCount = to.line - from.line + 1;
    if (oldCount == fresh.size()) {
        std::copy(fresh.begin(), fresh.end(), first);
    } else {
        lines_.erase(first, first + static_cast<std::ptrdiff_t>(oldCount));
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(from.line), fresh.begin(),
                      fresh.end());
    }
    compactEdits();
    return endPos;
}

std::size_t ScriptText::longestLine() const {
    std::size_t longest = 0;
    for (const Span& s : lines_)
        longest = std::max<std::size_t>(longest, s.length);
    return longest;
}

bool ScriptText::baseIsTheText() const {
    std::uint64_t at = 0;
    for (const Span& s : lines_) {
        if ((s.offset & kEdited) || s.offset != at) return false;
        at = s.offset + s.length + kCrLf.size();
    }
    return at - kCrLf.size() == base_.size();
}

std::size_t ScriptText::replaceAll(std::string_view find, std::string_view with) {
    if (find.empty()) return 0;
    std::size_t count = 0;
    if (with.size() <= find.size() && baseIsTheText()) {
        // The text does not grow, and base_ holds it whole: replaced where it lies, so that no
        // second copy of a big script is made.
        if (!watchers_.empty() && base_.find(find) == std::string::npos) return 0;
        changing();
        count = Replacer(find, with).replaceInPlace(base_);
        if (count > 0) {
            std::string text = std::move(base_);
            assign(std::move(text));
        }
        return count;
    }
    std::string out;
    if (find.find_first_of("\r\n") != std::string_view::npos) {
        // A match may span a line break: replace over the whole text.
        out = replaceAllOccurrences(toString(), find, with, &count);
    } else {
        // No match can reach across a line break, so line by line gives the same result without
        // a second copy of the whole text.
        out.reserve(size() + (with.size() > find.size() ? size() / 8 : 0));
        const Replacer replacer(find, with);
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            if (i > 0) out.append(kCrLf);
            count += replacer.appendReplaced(out, line(i));
        }
    }
    if (count > 0) assign(std::move(out));
    return count;
}

}  // namespace review
