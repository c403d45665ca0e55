// The script editor: the text, geometry, drawing the lines in view, and the edits.
#include "review/script_editor.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace review {

ScriptEditor::ScriptEditor(QWidget* parent) : QAbstractScrollArea(parent) {
    font_ = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    viewport()->setFont(font_);
    charWidth_ = std::max(1, QFontMetrics(font_).horizontalAdvance(QLatin1Char('M')));
    view_ = std::make_unique<LineView>(text_, font_);
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
    view_->forget();
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
    view_->forget();
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
    // The caret stays where it was; a selection would now cover other text, so it goes.
    caret_ = anchor_ = snap(caret_);
    desiredX_ = -1;
    widestLine_ = text_.longestLine();
    view_->forget();
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
    const std::size_t linesBefore = text_.lineCount();
    const TextPos end = history_.apply(text_, from, to, text, typing);
    caret_ = anchor_ = end;
    desiredX_ = -1;
    // Typing within a line changes that line only; a new or joined line moves those below.
    if (text_.lineCount() == linesBefore)
        view_->forgetLines(start.line, end.line);
    else
        view_->forgetFrom(start.line);
    textWasChanged(true, start.line, end.line);
}

void ScriptEditor::textWasChanged(bool widthMayGrow, std::size_t firstLine, std::size_t lastLine) {
    if (widthMayGrow) {
        lastLine = std::min(lastLine, text_.lineCount() - 1);
        for (std::size_t i = firstLine; i <= lastLine; ++i)
            widestLine_ = std::max(widestLine_, text_.line(i).size());
    }
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

void ScriptEditor::forgetReplaced() {
    const EditHistory::Replaced& r = history_.lastReplaced();
    if (r.before == r.after)
        view_->forgetLines(r.first, r.first + r.after - 1);
    else
        view_->forgetFrom(r.first);
}

void ScriptEditor::undo() {
    if (readOnly_) return;
    if (auto p = history_.undo(text_)) {
        forgetReplaced();
        caret_ = anchor_ = *p;
        widestLine_ = std::max(widestLine_, text_.line(p->line).size());
        textWasChanged(false, 0, 0);
    }
}

void ScriptEditor::redo() {
    if (readOnly_) return;
    if (auto p = history_.redo(text_)) {
        forgetReplaced();
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
    const double widest =
        static_cast<double>(widestLine_) * view_->advance() + 2 * kMargin + 4 * charWidth_;
    const int width = viewport()->width();
    horizontalScrollBar()->setRange(
        0, static_cast<int>(std::clamp<double>(widest - width, 0, 1 << 30)));
    horizontalScrollBar()->setPageStep(std::max(1, width));
}

int ScriptEditor::xOf(TextPos pos) const {
    return kMargin + static_cast<int>(std::lround(view_->xOf(pos.line, pos.column)));
}

TextPos ScriptEditor::posAt(const QPoint& point) const {
    const long long row = std::max(0, point.y()) / lineHeight();
    const std::size_t line = std::min<std::size_t>(
        firstVisibleLine() + static_cast<std::size_t>(row), text_.lineCount() - 1);
    const double x = point.x() + horizontalScrollBar()->value() - kMargin;
    return {line, view_->columnAt(line, x)};
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
    const int scrolled = horizontalScrollBar()->value();
    const double x0 = kMargin - scrolled;
    // The part of each line in view, in line coordinates.
    const double left = scrolled - kMargin;
    const double right = left + viewport()->width();
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
        const bool inSelection = selFrom != selTo && i >= selFrom.line && i <= selTo.line;
        const std::size_t selA = inSelection && i == selFrom.line ? selFrom.column : 0;
        const std::size_t selB = !inSelection      ? 0
                                 : i == selTo.line ? selTo.column
                                                   : text_.line(i).size();
        view_->forEachChunkIn(i, left, right, [&](const LineView::Chunk& c) {
            QList<QTextLayout::FormatRange> ranges;
            const std::size_t chunkEnd = c.firstByte + c.display.shownBytes;
            const std::size_t a = std::max(selA, c.firstByte);
            const std::size_t b = std::min(selB, chunkEnd);
            if (inSelection && b > a) {
                const int ua = c.display.unitOf(a - c.firstByte);
                const int ub = c.display.unitOf(b - c.firstByte);
                if (ub > ua) ranges.append({ua, ub - ua, selected});
            }
            c.layout->draw(&p, QPointF(x0 + c.origin, y), ranges);
        });
        // The line break is selected too.
        if (inSelection && i < selTo.line && view_->endsBefore(i, right))
            p.fillRect(QRectF(x0 + view_->width(i), y, charWidth_, height),
                       pal.brush(QPalette::Highlight));
        if (i == caret_.line && caretOn_ && hasFocus() && !readOnly_)
            p.fillRect(QRect(xOf(caret_) - scrolled, y, 1, height), pal.brush(QPalette::Text));
    }
}

void ScriptEditor::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void ScriptEditor::scrollContentsBy(int, int) {
    viewport()->update();
}

}  // namespace review
