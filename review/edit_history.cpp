// Undo and redo of edits by whole lines.
#include "review/edit_history.h"

#include <algorithm>

namespace review {

std::string EditHistory::linesOf(const ScriptText& text, std::size_t first, std::size_t count) {
    const std::size_t last = first + count - 1;
    return text.textBetween({first, 0}, {last, text.line(last).size()});
}

void EditHistory::putLines(ScriptText& text, std::size_t first, std::size_t count,
                           const std::string& lines) {
    const std::size_t last = first + count - 1;
    text.replace({first, 0}, {last, text.line(last).size()}, lines);
}

TextPos EditHistory::apply(ScriptText& text, TextPos from, TextPos to, std::string_view insert,
                           bool typing) {
    from = text.clamp(from);
    to = text.clamp(to);
    if (to < from) std::swap(from, to);
    const std::size_t oldCount = to.line - from.line + 1;
    const std::size_t linesBefore = text.lineCount();
    const bool join = typing && to == from && !done_.empty() && done_.back().typing &&
                      done_.back().caretAfter == from &&
                      insert.find_first_of("\r\n") == std::string_view::npos && insert != " " &&
                      done_.back().firstLine == from.line && done_.back().newCount == 1;
    std::string oldLines = join ? std::string() : linesOf(text, from.line, oldCount);

    const TextPos end = text.replace(from, to, insert);
    const std::size_t newCount = oldCount + text.lineCount() - linesBefore;

    for (const Edit& e : undone_)
        bytes_ -= e.bytes();
    undone_.clear();

    if (join) {
        Edit& last = done_.back();
        bytes_ -= last.bytes();
        last.newLines = linesOf(text, from.line, newCount);
        last.caretAfter = end;
        bytes_ += last.bytes();
        trim();
        return end;
    }
    Edit e;
    e.firstLine = from.line;
    e.oldCount = oldCount;
    e.newCount = newCount;
    e.oldLines = std::move(oldLines);
    if (e.oldLines.size() + insert.size() > kLimitBytes) {
        clear();
        return end;
    }
    e.newLines = linesOf(text, from.line, newCount);
    e.caretBefore = from;
    e.caretAfter = end;
    e.typing = typing;
    bytes_ += e.bytes();
    done_.push_back(std::move(e));
    trim();
    return end;
}

std::optional<TextPos> EditHistory::undo(ScriptText& text) {
    if (done_.empty()) return std::nullopt;
    Edit e = std::move(done_.back());
    done_.pop_back();
    putLines(text, e.firstLine, e.newCount, e.oldLines);
    lastReplaced_ = {e.firstLine, e.newCount, e.oldCount};
    const TextPos caret = text.clamp(e.caretBefore);
    e.typing = false;
    undone_.push_back(std::move(e));
    return caret;
}

std::optional<TextPos> EditHistory::redo(ScriptText& text) {
    if (undone_.empty()) return std::nullopt;
    Edit e = std::move(undone_.back());
    undone_.pop_back();
    putLines(text, e.firstLine, e.oldCount, e.newLines);
    lastReplaced_ = {e.firstLine, e.oldCount, e.newCount};
    const TextPos caret = text.clamp(e.caretAfter);
    done_.push_back(std::move(e));
    return caret;
}

void EditHistory::clear() {
    done_.clear();
    undone_.clear();
    bytes_ = 0;
}

void EditHistory::trim() {
    std::size_t drop = 0;
    while (bytes_ > kLimitBytes && drop < done_.size()) {
        bytes_ -= done_[drop].bytes();
        ++drop;
    }
    done_.erase(done_.begin(), done_.begin() + static_cast<std::ptrdiff_t>(drop));
}

}  // namespace review
