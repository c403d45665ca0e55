// Undo and redo for the statement text: each edit is kept as the bytes it removed and inserted.
//
// Consecutive typing at the caret is kept as one edit, so that one undo takes back a word, not a
// letter. The history holds at most kLimitBytes of removed and inserted text; older edits are
// forgotten first, and an edit larger than the limit clears the history (it cannot be undone).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "review/script_text.h"

namespace review {

class EditHistory {
  public:
    static constexpr std::size_t kLimitBytes = std::size_t{64} << 20;

    // Replaces `from`..`to` of `text` by `insert` and records it; returns the end of the
    // inserted text. With `typing`, an insertion right after the previous typed one joins it.
    TextPos apply(ScriptText& text, TextPos from, TextPos to, std::string_view insert,
                  bool typing = false);
    // Takes back the last edit; returns where the caret goes, or nullopt when there is none.
    std::optional<TextPos> undo(ScriptText& text);
    std::optional<TextPos> redo(ScriptText& text);

    bool canUndo() const { return !done_.empty(); }
    bool canRedo() const { return !undone_.empty(); }
    void clear();

  private:
    struct Edit {
        TextPos from;
        TextPos removedEnd;   // end of the removed bytes, in the text before the edit
        TextPos insertedEnd;  // end of the inserted bytes, in the text after it
        std::string removed;
        std::string inserted;
        bool typing = false;
    };
    void trim();

    std::vector<Edit> done_;
    std::vector<Edit> undone_;
    std::size_t bytes_ = 0;
};

}  // namespace review
