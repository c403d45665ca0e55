// The script editor's input: keyboard, mouse, the context menu, focus and input methods.
#include <QApplication>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>
#include <algorithm>

#include "review/script_editor.h"

namespace review {

// ---- keyboard ----

void ScriptEditor::keyPressEvent(QKeyEvent* e) {
    const std::string_view line = text_.line(caret_.line);
    const auto move = [&](TextPos to, bool select) {
        desiredX_ = -1;
        moveCaret(to, select);
    };
    const auto vertical = [&](long long delta, bool select) {
        if (desiredX_ < 0) desiredX_ = xOf(caret_);
        const long long target =
            std::clamp<long long>(static_cast<long long>(caret_.line) + delta, 0,
                                  static_cast<long long>(text_.lineCount()) - 1);
        const std::size_t l = static_cast<std::size_t>(target);
        const int keep = desiredX_;
        moveCaret({l, view_->columnAt(l, desiredX_ - kMargin)}, select);
        desiredX_ = keep;
    };

    if (e == QKeySequence::SelectAll) return selectAll();
    if (e == QKeySequence::Copy) return copy();
    if (e == QKeySequence::Cut) return cut();
    if (e == QKeySequence::Paste) return paste();
    // Redo answers both keys desktops use for it, whichever the platform names.
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    if (e == QKeySequence::Redo ||
        (e->key() == Qt::Key_Z && mods == (Qt::ControlModifier | Qt::ShiftModifier)) ||
        (e->key() == Qt::Key_Y && mods == Qt::ControlModifier))
        return redo();
    if (e == QKeySequence::Undo) return undo();

    const long long page = visibleLines();
    if (e == QKeySequence::MoveToNextChar || e == QKeySequence::SelectNextChar) {
        const bool sel = e == QKeySequence::SelectNextChar;
        if (!sel && hasSelection()) return move(std::max(caret_, anchor_), false);
        if (caret_.column < line.size())
            return move({caret_.line, nextChar(line, caret_.column)}, sel);
        if (caret_.line + 1 < text_.lineCount()) return move({caret_.line + 1, 0}, sel);
        return move(caret_, sel);
    }
    if (e == QKeySequence::MoveToPreviousChar || e == QKeySequence::SelectPreviousChar) {
        const bool sel = e == QKeySequence::SelectPreviousChar;
        if (!sel && hasSelection()) return move(std::min(caret_, anchor_), false);
        if (caret_.column > 0) return move({caret_.line, previousChar(line, caret_.column)}, sel);
        if (caret_.line > 0)
            return move({caret_.line - 1, text_.line(caret_.line - 1).size()}, sel);
        return move(caret_, sel);
    }
    if (e == QKeySequence::MoveToNextWord) return move(wordRight(caret_), false);
    if (e == QKeySequence::SelectNextWord) return move(wordRight(caret_), true);
    if (e == QKeySequence::MoveToPreviousWord) return move(wordLeft(caret_), false);
    if (e == QKeySequence::SelectPreviousWord) return move(wordLeft(caret_), true);
    if (e == QKeySequence::MoveToNextLine) return vertical(1, false);
    if (e == QKeySequence::SelectNextLine) return vertical(1, true);
    if (e == QKeySequence::MoveToPreviousLine) return vertical(-1, false);
    if (e == QKeySequence::SelectPreviousLine) return vertical(-1, true);
    if (e == QKeySequence::MoveToNextPage || e == QKeySequence::SelectNextPage) {
        verticalScrollBar()->setValue(verticalScrollBar()->value() + static_cast<int>(page));
        return vertical(page, e == QKeySequence::SelectNextPage);
    }
    if (e == QKeySequence::MoveToPreviousPage || e == QKeySequence::SelectPreviousPage) {
        verticalScrollBar()->setValue(verticalScrollBar()->value() - static_cast<int>(page));
        return vertical(-page, e == QKeySequence::SelectPreviousPage);
    }
    if (e == QKeySequence::MoveToStartOfLine || e == QKeySequence::MoveToStartOfBlock)
        return move({caret_.line, 0}, false);
    if (e == QKeySequence::SelectStartOfLine || e == QKeySequence::SelectStartOfBlock)
        return move({caret_.line, 0}, true);
    if (e == QKeySequence::MoveToEndOfLine || e == QKeySequence::MoveToEndOfBlock)
        return move({caret_.line, line.size()}, false);
    if (e == QKeySequence::SelectEndOfLine || e == QKeySequence::SelectEndOfBlock)
        return move({caret_.line, line.size()}, true);
    if (e == QKeySequence::MoveToStartOfDocument) return move({}, false);
    if (e == QKeySequence::SelectStartOfDocument) return move({}, true);
    if (e == QKeySequence::MoveToEndOfDocument) return move(text_.end(), false);
    if (e == QKeySequence::SelectEndOfDocument) return move(text_.end(), true);

    if (readOnly_) {
        QAbstractScrollArea::keyPressEvent(e);
        return;
    }
    if (e == QKeySequence::InsertParagraphSeparator || e == QKeySequence::InsertLineSeparator)
        return edit(anchor_, caret_, kCrLf);
    if (e == QKeySequence::DeleteStartOfWord) {
        if (hasSelection()) return edit(anchor_, caret_, {});
        return edit(wordLeft(caret_), caret_, {});
    }
    if (e == QKeySequence::DeleteEndOfWord) {
        if (hasSelection()) return edit(anchor_, caret_, {});
        return edit(caret_, wordRight(caret_), {});
    }
    if (e->key() == Qt::Key_Backspace && !(e->modifiers() & ~Qt::ShiftModifier)) {
        if (hasSelection()) return edit(anchor_, caret_, {});
        if (caret_.column > 0)
            return edit({caret_.line, previousChar(line, caret_.column)}, caret_, {});
        if (caret_.line > 0)
            return edit({caret_.line - 1, text_.line(caret_.line - 1).size()}, caret_, {});
        return;
    }
    if (e == QKeySequence::Delete) {
        if (hasSelection()) return edit(anchor_, caret_, {});
        if (caret_.column < line.size())
            return edit(caret_, {caret_.line, nextChar(line, caret_.column)}, {});
        if (caret_.line + 1 < text_.lineCount()) return edit(caret_, {caret_.line + 1, 0}, {});
        return;
    }
    const QString typed = e->text();
    bool printable =
        !typed.isEmpty() && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    for (QChar c : typed)
        if (c.category() == QChar::Other_Control) printable = false;
    if (printable) {
        const QByteArray bytes = typed.toUtf8();
        return edit(anchor_, caret_, std::string_view(bytes.constData(), bytes.size()), true);
    }
    QAbstractScrollArea::keyPressEvent(e);
}

// ---- mouse ----

void ScriptEditor::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(e);
    setFocus(Qt::MouseFocusReason);
    desiredX_ = -1;
    moveCaret(posAt(e->position().toPoint()), e->modifiers() & Qt::ShiftModifier);
    selecting_ = true;
}

void ScriptEditor::mouseMoveEvent(QMouseEvent* e) {
    if (!selecting_ || !(e->buttons() & Qt::LeftButton))
        return QAbstractScrollArea::mouseMoveEvent(e);
    QPoint pt = e->position().toPoint();
    if (pt.y() < 0) {
        verticalScrollBar()->setValue(verticalScrollBar()->value() - 1);
        pt.setY(0);
    } else if (pt.y() >= viewport()->height()) {
        verticalScrollBar()->setValue(verticalScrollBar()->value() + 1);
        pt.setY(viewport()->height() - 1);
    }
    desiredX_ = -1;
    moveCaret(posAt(pt), true);
}

void ScriptEditor::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) selecting_ = false;
    QAbstractScrollArea::mouseReleaseEvent(e);
}

void ScriptEditor::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return QAbstractScrollArea::mouseDoubleClickEvent(e);
    const TextPos p = posAt(e->position().toPoint());
    const std::string_view l = text_.line(p.line);
    std::size_t a = p.column;
    std::size_t b = p.column;
    if (b < l.size() && isWordByte(l[b])) {
        while (a > 0 && isWordByte(l[a - 1]))
            --a;
        while (b < l.size() && isWordByte(l[b]))
            ++b;
    } else if (b < l.size()) {
        b = nextChar(l, b);
    }
    anchor_ = {p.line, a};
    caret_ = {p.line, b};
    desiredX_ = -1;
    viewport()->update();
}

void ScriptEditor::contextMenuEvent(QContextMenuEvent* e) {
    QMenu menu(this);
    QAction* undoAction = menu.addAction(tr("&Undo"), this, &ScriptEditor::undo);
    undoAction->setEnabled(!readOnly_ && history_.canUndo());
    QAction* redoAction = menu.addAction(tr("&Redo"), this, &ScriptEditor::redo);
    redoAction->setEnabled(!readOnly_ && history_.canRedo());
    menu.addSeparator();
    menu.addAction(tr("Cu&t"), this, &ScriptEditor::cut)->setEnabled(!readOnly_ && hasSelection());
    menu.addAction(tr("&Copy"), this, &ScriptEditor::copy)->setEnabled(hasSelection());
    menu.addAction(tr("&Paste"), this, &ScriptEditor::paste)->setEnabled(!readOnly_);
    menu.addSeparator();
    menu.addAction(tr("Select All"), this, &ScriptEditor::selectAll);
    menu.exec(e->globalPos());
}

// ---- focus, caret, input methods ----

void ScriptEditor::focusInEvent(QFocusEvent* e) {
    QAbstractScrollArea::focusInEvent(e);
    restartBlink();
    viewport()->update();
}

void ScriptEditor::focusOutEvent(QFocusEvent* e) {
    QAbstractScrollArea::focusOutEvent(e);
    blink_.stop();
    viewport()->update();
}

void ScriptEditor::timerEvent(QTimerEvent* e) {
    if (e->timerId() == blink_.timerId()) {
        caretOn_ = !caretOn_;
        viewport()->update();
        return;
    }
    QAbstractScrollArea::timerEvent(e);
}

void ScriptEditor::inputMethodEvent(QInputMethodEvent* e) {
    if (!e->commitString().isEmpty() && !readOnly_) {
        const QByteArray bytes = e->commitString().toUtf8();
        edit(anchor_, caret_, std::string_view(bytes.constData(), bytes.size()), true);
    }
    e->accept();
}

QVariant ScriptEditor::inputMethodQuery(Qt::InputMethodQuery query) const {
    switch (query) {
        case Qt::ImEnabled:
            return !readOnly_;
        case Qt::ImFont:
            return font_;
        case Qt::ImCursorRectangle: {
            const auto row =
                static_cast<long long>(caret_.line) - static_cast<long long>(firstVisibleLine());
            return QRect(xOf(caret_) - horizontalScrollBar()->value(),
                         static_cast<int>(row) * lineHeight(), 1, lineHeight());
        }
        default:
            return QAbstractScrollArea::inputMethodQuery(query);
    }
}

}  // namespace review
