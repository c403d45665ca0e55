// Undo and redo for the statement text.
//
// Each edit is kept as the whole lines it touched, before and after. Undoing puts the old lines
// back in place of the new ones byte for byte, so even an edit whose ends met into a new line
// break (a lone CR left before a lone LF) is taken back exactly. Consecutive typing at the caret
// is kept as one edit, so that one undo takes back a word, not a letter. The history holds at
// most kLimitBytes; older edits are forgotten first, and an edit larger than the limit clears
// the history (it cannot be undone).
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

    // The lines the last undo or redo replaced: from `first`, `before` lines became `after`.
    struct Replaced {
        std::size_t first = 0;
        std::size_t before = 0;
        std::size_t after = 0;
    };
    const Replaced& lastReplaced() const { return lastReplaced_; }

    bool canUndo() const { return !done_.empty(); }
    bool canRedo() const { return !undone_.empty(); }
    void clear();

  private:
    struct Edit {
        std::size_t firstLine = 0;
        std::size_t oldCount = 0;  // lines from firstLine before the edit
        std::size_t newCount = 0;  // and after it
        std::string oldLines;      // those lines, joined by CR LF
        std::string newLines;
        TextPos caretBefore;
        TextPos caretAfter;
        bool typing = false;
        std::size_t bytes() const { return oldLines.size() + newLines.size(); }
    };
    static std::string linesOf(const ScriptText& text, std::size_t first, std::size_t count);
    static void putLines(ScriptText& text, std::size_t first, std::size_t count,
                         const std::string& lines);
    void trim();

    std::vector<Edit> done_;
    std::vector<Edit> undone_;
    std::size_t bytes_ = 0;
    Replaced lastReplaced_;
};

}  // namespace review
