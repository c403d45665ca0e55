// Undo and redo of edits.
#include "review/edit_history.h"

#include <algorithm>

namespace review {

TextPos EditHistory::apply(ScriptText& text, TextPos from, TextPos to, std::string_view insert,
                           bool typing) {
    from = text.clamp(from);
    to = text.clamp(to);
    if (to < from) std::swap(from, to);
    std::string removed = text.textBetween(from, to);
    const TextPos end = text.replace(from, to, insert);

    for (const Edit& e : undone_)
        bytes_ -= e.removed.size() + e.inserted.size();
    undone_.clear();

    if (removed.size() + insert.size() > kLimitBytes) {
        clear();
        return end;
    }
    if (typing && removed.empty() && !done_.empty()) {
        Edit& last = done_.back();
        if (last.typing && last.removed.empty() && last.insertedEnd == from &&
            insert.find_first_of("\r\n") == std::string_view::npos && insert != " ") {
            last.inserted.append(insert);
            last.insertedEnd = end;
            bytes_ += insert.size();
            trim();
            return end;
        }
    }
    bytes_ += removed.size() + insert.size();
    done_.push_back({from, to, end, std::move(removed), std::string(insert), typing});
    trim();
    return end;
}

std::optional<TextPos> EditHistory::undo(ScriptText& text) {
    if (done_.empty()) return std::nullopt;
    Edit e = std::move(done_.back());
    done_.pop_back();
    const TextPos caret = text.replace(e.from, e.insertedEnd, e.removed);
    e.removedEnd = caret;
    undone_.push_back(std::move(e));
    return caret;
}

std::optional<TextPos> EditHistory::redo(ScriptText& text) {
    if (undone_.empty()) return std::nullopt;
    Edit e = std::move(undone_.back());
    undone_.pop_back();
    const TextPos caret = text.replace(e.from, e.removedEnd, e.inserted);
    e.insertedEnd = caret;
    e.typing = false;
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
        bytes_ -= done_[drop].removed.size() + done_[drop].inserted.size();
        ++drop;
    }
    done_.erase(done_.begin(), done_.begin() + static_cast<std::ptrdiff_t>(drop));
}

}  // namespace review
