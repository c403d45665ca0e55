// The script editor: drawing the lines in view, and editing.
#include "review/script_editor.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <algorithm>

namespace review {

namespace {

constexpr int kMargin = 4;

bool isWordByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x80 || (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') ||
           (u >= 'A' && u <= 'Z') || u == '_';
}

}  // namespace

ScriptEditor::ScriptEditor(QWidget* parent) : QAbstractScrollArea(parent) {
    font_ = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    viewport()->setFont(font_);
    charWidth_ = std::max(1, QFontMetrics(font_).horizontalAdvance(QLatin1Char('M')));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setAutoFillBackground(true);
    QPalette p = viewport()->palette();
    p.setColor(QPalette::Window, p.color(QPalette::Base));
    viewport()->setPalette(p);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(charWidth_);
    updateScrollBars();
}

ScriptEditor::~ScriptEditor() = default;

// ---- the text ----

void ScriptEditor::setScript(std::string utf8) {
    text_.assign(std::move(utf8));
    history_.clear();
    caret_ = anchor_ = {};
    desiredX_ = -1;
    widestLine_ = text_.longestLine();
    cache_.clear();
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
    emit textChanged();
}

void ScriptEditor::appendScript(std::string_view utf8) {
    if (utf8.empty()) return;
    const std::size_t oldLast = text_.lineCount() - 1;
    text_.append(utf8);
    for (std::size_t i = oldLast; i < text_.lineCount(); ++i)
        widestLine_ = std::max(widestLine_, text_.line(i).size());
    cache_.erase(oldLast);
    updateScrollBars();
    viewport()->update();
    emit textChanged();
}

std::size_t ScriptEditor::replaceAll(std::string_view find, std::string_view with) {
    const int top = verticalScrollBar()->value();
    const int left = horizontalScrollBar()->value();
    const std::size_t n = text_.replaceAll(find, with);
    if (n == 0) return 0;
    history_.clear();
    auto snap = [&](TextPos p) {
        p = text_.clamp(p);
        const std::string_view l = text_.line(p.line);
        while (p.column > 0 && p.column < l.size() &&
               (static_cast<unsigned char>(l[p.column]) & 0xC0) == 0x80)
            --p.column;
        return p;
    };
    caret_ = snap(caret_);
    anchor_ = snap(anchor_);
    widestLine_ = text_.longestLine();
    cache_.clear();
    updateScrollBars();
    verticalScrollBar()->setValue(top);
    horizontalScrollBar()->setValue(left);
    viewport()->update();
    emit textChanged();
    return n;
}

void ScriptEditor::setReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    viewport()->update();
}

std::string ScriptEditor::selectedText() const {
    return text_.textBetween(std::min(caret_, anchor_), std::max(caret_, anchor_));
}

void ScriptEditor::setCursorPosition(TextPos pos, bool keepAnchor) {
    moveCaret(text_.clamp(pos), keepAnchor);
}

void ScriptEditor::selectLine(std::size_t line) {
    line = std::min(line, text_.lineCount() - 1);
    anchor_ = {line, 0};
    caret_ = {line, text_.line(line).size()};
    desiredX_ = -1;
    const int half = visibleLines() / 2;
    verticalScrollBar()->setValue(static_cast<int>(line) - half);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
}

std::size_t ScriptEditor::firstVisibleLine() const {
    return static_cast<std::size_t>(std::max(0, verticalScrollBar()->value()));
}

// ---- edits ----

void ScriptEditor::edit(TextPos from, TextPos to, std::string_view text, bool typing) {
    if (readOnly_) return;
    const TextPos start = std::min(from, to);
    const TextPos end = history_.apply(text_, from, to, text, typing);
    caret_ = anchor_ = end;
    desiredX_ = -1;
    textWasChanged(true, start.line, end.line);
}

void ScriptEditor::textWasChanged(bool widthMayGrow, std::size_t firstLine, std::size_t lastLine) {
    if (widthMayGrow) {
        lastLine = std::min(lastLine, text_.lineCount() - 1);
        for (std::size_t i = firstLine; i <= lastLine; ++i)
            widestLine_ = std::max(widestLine_, text_.line(i).size());
    }
    cache_.clear();
    updateScrollBars();
    ensureCaretVisible();
    restartBlink();
    viewport()->update();
    emit textChanged();
}

void ScriptEditor::insertText(std::string_view utf8) {
    edit(anchor_, caret_, utf8, !hasSelection() && utf8.size() <= 4);
}

void ScriptEditor::selectAll() {
    anchor_ = {};
    caret_ = text_.end();
    viewport()->update();
}

void ScriptEditor::copy() const {
    if (!hasSelection()) return;
    const std::string s = selectedText();
    QGuiApplication::clipboard()->setText(
        QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())));
}

void ScriptEditor::cut() {
    if (readOnly_ || !hasSelection()) return;
    copy();
    edit(anchor_, caret_, {});
}

void ScriptEditor::paste() {
    if (readOnly_) return;
    const QByteArray bytes = QGuiApplication::clipboard()->text().toUtf8();
    edit(anchor_, caret_, withCrLfBreaks(std::string_view(bytes.constData(), bytes.size())));
}

void ScriptEditor::undo() {
    if (readOnly_) return;
    if (auto p = history_.undo(text_)) {
        caret_ = anchor_ = *p;
        widestLine_ = std::max(widestLine_, text_.line(p->line).size());
        textWasChanged(false, 0, 0);
    }
}

void ScriptEditor::redo() {
    if (readOnly_) return;
    if (auto p = history_.redo(text_)) {
        caret_ = anchor_ = *p;
        widestLine_ = std::max(widestLine_, text_.line(p->line).size());
        textWasChanged(false, 0, 0);
    }
}

// ---- geometry ----

int ScriptEditor::lineHeight() const {
    return std::max(1, QFontMetrics(font_).lineSpacing());
}

int ScriptEditor::visibleLines() const {
    return std::max(1, viewport()->height() / lineHeight());
}

void ScriptEditor::updateScrollBars() {
    const int lines = visibleLines();
    const auto count = static_cast<long long>(text_.lineCount());
    verticalScrollBar()->setRange(0, static_cast<int>(std::max<long long>(0, count - lines)));
    verticalScrollBar()->setPageStep(lines);
    const long long widest =
        static_cast<long long>(std::min(widestLine_, kMaxShownUnits + 2)) * charWidth_ +
        2 * kMargin + 4 * charWidth_;
    const int width = viewport()->width();
    horizontalScrollBar()->setRange(
        0, static_cast<int>(std::clamp<long long>(widest - width, 0, 1 << 30)));
    horizontalScrollBar()->setPageStep(std::max(1, width));
}

const ScriptEditor::Shown& ScriptEditor::shown(std::size_t line) const {
    if (auto it = cache_.find(line); it != cache_.end()) return it->second;
    if (cache_.size() > 400) cache_.clear();  // scrolled far: forget the lines out of view
    Shown s;
    s.line = makeDisplayLine(text_.line(line), kMaxShownUnits);
    QString drawn = s.line.text;
    if (s.line.truncated) drawn += QStringLiteral(" \u2026");
    s.layout = std::make_unique<QTextLayout>(drawn, font_);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTabStopDistance(8.0 * charWidth_);
    s.layout->setTextOption(option);
    s.layout->setCacheEnabled(true);
    s.layout->beginLayout();
    QTextLine tl = s.layout->createLine();
    if (tl.isValid()) {
        tl.setLineWidth(1e7);
        tl.setPosition(QPointF(0, 0));
    }
    s.layout->endLayout();
    return cache_.emplace(line, std::move(s)).first->second;
}

int ScriptEditor::xOf(TextPos pos) const {
    const Shown& s = shown(pos.line);
    const QTextLine tl = s.layout->lineAt(0);
    if (!tl.isValid()) return kMargin;
    return kMargin + static_cast<int>(tl.cursorToX(s.line.unitOf(pos.column)));
}

TextPos ScriptEditor::posAt(const QPoint& point) const {
    const long long row = std::max(0, point.y()) / lineHeight();
    const std::size_t line = std::min<std::size_t>(
        firstVisibleLine() + static_cast<std::size_t>(row), text_.lineCount() - 1);
    const Shown& s = shown(line);
    const QTextLine tl = s.layout->lineAt(0);
    if (!tl.isValid()) return {line, 0};
    const qreal x = point.x() + horizontalScrollBar()->value() - kMargin;
    const int unit = std::min(tl.xToCursor(x), static_cast<int>(s.line.text.size()));
    return {line, s.line.byteOf(unit)};
}

void ScriptEditor::ensureCaretVisible() {
    QScrollBar* v = verticalScrollBar();
    const auto line = static_cast<long long>(caret_.line);
    const int lines = visibleLines();
    if (line < v->value())
        v->setValue(static_cast<int>(line));
    else if (line >= v->value() + lines)
        v->setValue(static_cast<int>(line - lines + 1));
    QScrollBar* h = horizontalScrollBar();
    const int x = xOf(caret_);
    const int width = viewport()->width();
    if (x - kMargin < h->value())
        h->setValue(std::max(0, x - kMargin - width / 4));
    else if (x + charWidth_ > h->value() + width) {
        if (x + charWidth_ > h->maximum() + width) h->setMaximum(x + charWidth_ - width + kMargin);
        h->setValue(x + charWidth_ - width + width / 4);
    }
}

void ScriptEditor::moveCaret(TextPos pos, bool keepAnchor) {
    caret_ = pos;
    if (!keepAnchor) anchor_ = pos;
    ensureCaretVisible();
    restartBlink();
    viewport()->update();
}

TextPos ScriptEditor::wordLeft(TextPos p) const {
    if (p.column == 0) {
        if (p.line == 0) return p;
        return {p.line - 1, text_.line(p.line - 1).size()};
    }
    const std::string_view l = text_.line(p.line);
    std::size_t c = p.column;
    while (c > 0 && !isWordByte(l[c - 1]))
        --c;
    while (c > 0 && isWordByte(l[c - 1]))
        --c;
    return {p.line, c};
}

TextPos ScriptEditor::wordRight(TextPos p) const {
    const std::string_view l = text_.line(p.line);
    if (p.column >= l.size()) {
        if (p.line + 1 >= text_.lineCount()) return p;
        return {p.line + 1, 0};
    }
    std::size_t c = p.column;
    while (c < l.size() && isWordByte(l[c]))
        ++c;
    while (c < l.size() && !isWordByte(l[c]))
        ++c;
    return {p.line, c};
}

void ScriptEditor::restartBlink() {
    caretOn_ = true;
    const int flash = QApplication::cursorFlashTime();
    if (flash > 0 && hasFocus())
        blink_.start(flash / 2, this);
    else
        blink_.stop();
}

// ---- drawing ----

void ScriptEditor::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const int height = lineHeight();
    const int x0 = kMargin - horizontalScrollBar()->value();
    const std::size_t first = firstVisibleLine();
    const std::size_t count = text_.lineCount();
    const TextPos selFrom = std::min(caret_, anchor_);
    const TextPos selTo = std::max(caret_, anchor_);
    const QPalette& pal = palette();
    QTextCharFormat selected;
    selected.setBackground(pal.brush(QPalette::Highlight));
    selected.setForeground(pal.brush(QPalette::HighlightedText));
    p.setPen(pal.color(QPalette::Text));

    int y = 0;
    for (std::size_t i = first; i < count && y < viewport()->height(); ++i, y += height) {
        const Shown& s = shown(i);
        QList<QTextLayout::FormatRange> ranges;
        if (selFrom != selTo && i >= selFrom.line && i <= selTo.line) {
            const int a = i == selFrom.line ? s.line.unitOf(selFrom.column) : 0;
            const int b = i == selTo.line ? s.line.unitOf(selTo.column)
                                          : static_cast<int>(s.layout->text().size());
            if (b > a) ranges.append({a, b - a, selected});
            if (i < selTo.line) {  // the line break is selected too
                const QTextLine tl = s.layout->lineAt(0);
                const qreal endX = tl.isValid() ? tl.naturalTextWidth() : 0;
                p.fillRect(QRectF(x0 + endX, y, charWidth_, height),
                           pal.brush(QPalette::Highlight));
            }
        }
        s.layout->draw(&p, QPointF(x0, y), ranges);
        if (i == caret_.line && caretOn_ && hasFocus() && !readOnly_)
            s.layout->drawCursor(&p, QPointF(x0, y), s.line.unitOf(caret_.column), 1);
    }
}

void ScriptEditor::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void ScriptEditor::scrollContentsBy(int, int) {
    viewport()->update();
}

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
        const Shown& s = shown(l);
        const QTextLine tl = s.layout->lineAt(0);
        const int unit = tl.isValid() ? tl.xToCursor(desiredX_ - kMargin) : 0;
        const int keep = desiredX_;
        moveCaret({l, s.line.byteOf(std::min(unit, static_cast<int>(s.line.text.size())))}, select);
        desiredX_ = keep;
    };

    if (e == QKeySequence::SelectAll) return selectAll();
    if (e == QKeySequence::Copy) return copy();
    if (e == QKeySequence::Cut) return cut();
    if (e == QKeySequence::Paste) return paste();
    if (e == QKeySequence::Undo) return undo();
    if (e == QKeySequence::Redo) return redo();

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
