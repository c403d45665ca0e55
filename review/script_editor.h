// The plain-text editor of the review window, made for scripts of millions of lines.
//
// The text lives in a ScriptText (the bytes exactly as given, CR LF between lines); the widget
// draws only the lines in view, each decoded when it is first drawn, so showing a script costs
// one pass to find its lines and nothing per line after that. Lines are shown and edited whole
// however long: a long line is laid out only where it is in view (LineView). Editing works as in
// any plain editor: caret and selection by keyboard and mouse, typing, Enter (which inserts CR LF),
// Backspace and Delete, cut, copy and paste through the clipboard, undo and redo, select all.
// Lines are not wrapped. Text pasted in has its line breaks (CR LF, CR or LF) made CR LF.
#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QFont>
#include <memory>
#include <string>
#include <string_view>

#include "review/display_line.h"
#include "review/edit_history.h"
#include "review/line_view.h"
#include "review/script_text.h"

namespace review {

class ScriptEditor : public QAbstractScrollArea {
    Q_OBJECT

  public:
    explicit ScriptEditor(QWidget* parent = nullptr);
    ~ScriptEditor() override;

    const ScriptText& script() const { return text_; }
    // Replaces the whole text (taking the buffer over); the caret goes to the start and the
    // undo history is cleared.
    void setScript(std::string utf8);
    // Appends at the end without moving the caret.
    void appendScript(std::string_view utf8);
    // Replace All over the whole text (see ScriptText::replaceAll); the caret and the first
    // line in view stay where they were as far as the new text allows, and a selection goes
    // (the text it covered has moved). The undo history is cleared when something was
    // replaced. Returns the number of replacements.
    std::size_t replaceAll(std::string_view find, std::string_view with);

    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return readOnly_; }

    TextPos cursorPosition() const { return caret_; }
    TextPos anchorPosition() const { return anchor_; }
    bool hasSelection() const { return caret_ != anchor_; }
    std::string selectedText() const;
    // Moves the caret (clamped to the text); with `keepAnchor` the selection grows to it.
    void setCursorPosition(TextPos pos, bool keepAnchor = false);
    // Selects line `line` whole and scrolls it into view.
    void selectLine(std::size_t line);
    std::size_t firstVisibleLine() const;

    // The edits a user makes, also reachable from the keyboard and the context menu.
    void insertText(std::string_view utf8);  // replaces the selection
    void selectAll();
    void copy() const;
    void cut();
    void paste();
    void undo();
    void redo();
    bool canUndo() const { return !readOnly_ && history_.canUndo(); }
    bool canRedo() const { return !readOnly_ && history_.canRedo(); }

  signals:
    void textChanged();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    static constexpr int kMargin = 4;  // pixels left of the text

    // Tells the view which lines the last undo or redo replaced.
    void forgetReplaced();
    // After the text changed (the view already told what it must forget).
    void textWasChanged(bool widthMayGrow, std::size_t firstLine, std::size_t lastLine);
    void updateScrollBars();
    int lineHeight() const;
    int visibleLines() const;
    int xOf(TextPos pos) const;  // in text coordinates (before horizontal scrolling)
    TextPos posAt(const QPoint& viewportPoint) const;
    void ensureCaretVisible();
    void edit(TextPos from, TextPos to, std::string_view text, bool typing = false);
    void moveCaret(TextPos pos, bool keepAnchor);
    TextPos wordLeft(TextPos p) const;
    TextPos wordRight(TextPos p) const;
    void restartBlink();

    ScriptText text_;
    EditHistory history_;
    TextPos caret_;
    TextPos anchor_;
    int desiredX_ = -1;  // kept while moving up and down
    bool readOnly_ = false;
    bool caretOn_ = true;
    bool selecting_ = false;
    QBasicTimer blink_;
    QFont font_;
    int charWidth_ = 8;
    std::size_t widestLine_ = 0;  // bytes; grows with edits, recomputed on whole-text changes
    std::unique_ptr<LineView> view_;
};

}  // namespace review
