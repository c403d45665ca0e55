// The chunks of long lines: their widths, their layouts, and positions in them.
#include "review/line_view.h"

#include <QFontMetricsF>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>
#include <cmath>
#include <limits>

namespace review {

namespace {

// Lines whose geometry and chunks the view keeps; past these it forgets and starts again, as a
// user who scrolled far away no longer looks at the lines it held.
constexpr std::size_t kGeometryLimit = 2000;
constexpr std::size_t kChunkLimit = 1200;

}  // namespace

LineView::LineView(const ScriptText& text, const QFont& font)
    : text_(text), font_(font), advances_(0x10000, kUnknown) {
    advance_ = std::max(1.0, QFontMetricsF(font_).horizontalAdvance(QLatin1Char('M')));
}

LineView::~LineView() = default;

void LineView::forget() {
    geometry_.clear();
    chunks_.clear();
}

void LineView::forgetLines(std::size_t first, std::size_t last) {
    std::erase_if(geometry_, [&](const auto& g) { return g.first >= first && g.first <= last; });
    std::erase_if(chunks_,
                  [&](const auto& c) { return c.first.line >= first && c.first.line <= last; });
}

void LineView::forgetFrom(std::size_t first) {
    std::erase_if(geometry_, [&](const auto& g) { return g.first >= first; });
    std::erase_if(chunks_, [&](const auto& c) { return c.first.line >= first; });
}

LineView::Geometry& LineView::geometry(std::size_t line) {
    if (auto it = geometry_.find(line); it != geometry_.end()) return it->second;
    if (geometry_.size() >= kGeometryLimit) forget();
    Geometry g;
    g.starts = chunkStarts(text_.line(line), kChunkBytes);
    g.x.push_back(0);
    return geometry_.emplace(line, std::move(g)).first->second;
}

std::optional<double> LineView::simpleWidth(const QString& text) {
    double width = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        float& known = advances_[u];
        if (known == kUnknown) {
            // Characters drawn one by one, without joining, reordering or marks: their width in
            // a line is the sum of their own advances, in the font or the one standing in.
            const QChar::Script script = c.script();
            const QChar::Direction dir = c.direction();
            const bool leftToRightOrNeutral = dir == QChar::DirL || dir == QChar::DirEN ||
                                              dir == QChar::DirES || dir == QChar::DirET ||
                                              dir == QChar::DirCS || dir == QChar::DirWS ||
                                              dir == QChar::DirON;
            const bool drawnAlone =
                script == QChar::Script_Latin || script == QChar::Script_Greek ||
                script == QChar::Script_Cyrillic || script == QChar::Script_Common ||
                script == QChar::Script_Han || script == QChar::Script_Hiragana ||
                script == QChar::Script_Katakana;
            const bool simple = !c.isSurrogate() && !c.isMark() && u != '\t' &&
                                c.category() != QChar::Other_Control && leftToRightOrNeutral &&
                                drawnAlone;
            known =
                simple ? static_cast<float>(QFontMetricsF(font_).horizontalAdvance(c)) : kNotSimple;
        }
        if (known == kNotSimple) return std::nullopt;
        width += known;
    }
    return width;
}

LineView::Chunk LineView::layOut(std::size_t line, const Geometry& g, std::size_t index,
                                 double origin) const {
    Chunk c;
    c.firstByte = g.starts[index];
    const std::string_view bytes =
        text_.line(line).substr(c.firstByte, g.starts[index + 1] - c.firstByte);
    c.display = makeDisplayLine(bytes, std::numeric_limits<std::size_t>::max());
    c.origin = origin;
    c.layout = std::make_unique<QTextLayout>(c.display.text, font_);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    const double tab = tabDistance();
    option.setTabStopDistance(tab);
    if (c.display.text.contains(QLatin1Char('\t'))) {
        // Tab stops count from the start of the line, not of the chunk: the first one lies
        // where the line's next stop after `origin` is.
        double phase = std::fmod(origin, tab);
        if (phase < 0 || tab - phase < 1e-6) phase = 0;
        const auto tabs = static_cast<std::size_t>(c.display.text.count(QLatin1Char('\t')));
        const std::size_t stops = tabs + static_cast<std::size_t>(c.display.text.size()) / 8 + 2;
        QList<QTextOption::Tab> positions;
        positions.reserve(static_cast<qsizetype>(stops));
        for (std::size_t k = 0; k < stops; ++k)
            positions.append(
                QTextOption::Tab(tab - phase + static_cast<double>(k) * tab, QTextOption::LeftTab));
        option.setTabs(positions);
    }
    c.layout->setTextOption(option);
    c.layout->setCacheEnabled(true);
    c.layout->beginLayout();
    QTextLine tl = c.layout->createLine();
    if (tl.isValid()) {
        tl.setLineWidth(1e9);
        tl.setPosition(QPointF(0, 0));
    }
    c.layout->endLayout();
    return c;
}

void LineView::measureNext(std::size_t line, Geometry& g) {
    const std::size_t index = g.x.size() - 1;
    const double origin = g.x.back();
    const std::size_t first = g.starts[index];
    const std::string_view bytes = text_.line(line).substr(first, g.starts[index + 1] - first);
    double width = 0;
    if (isPrintableAscii(bytes)) {
        width = static_cast<double>(bytes.size()) * advance_;
    } else if (const std::optional<double> simple = simpleWidth(
                   makeDisplayLine(bytes, std::numeric_limits<std::size_t>::max()).text)) {
        // Decoded, not laid out: laying out every chunk on the way to a line's end would cost
        // far more than adding up its characters' advances.
        width = *simple;
    } else {
        Chunk c = layOut(line, g, index, origin);
        const QTextLine tl = c.layout->lineAt(0);
        width = tl.isValid() ? tl.cursorToX(static_cast<int>(c.display.text.size())) : 0;
        // A short line's one layout is kept for drawing; the many of a long line measured on
        // the way to its end are not.
        if (g.chunkCount() <= 4) {
            if (chunks_.size() >= kChunkLimit) chunks_.clear();
            chunks_.insert_or_assign(ChunkKey{line, index}, std::move(c));
        }
    }
    g.x.push_back(origin + width);
}

void LineView::measureTo(std::size_t line, Geometry& g, double x) {
    while (!g.measuredAll() && g.x.back() <= x)
        measureNext(line, g);
}

const LineView::Chunk& LineView::chunk(std::size_t line, Geometry& g, std::size_t index) {
    while (g.x.size() <= index)
        measureNext(line, g);
    if (auto it = chunks_.find(ChunkKey{line, index}); it != chunks_.end()) return it->second;
    if (chunks_.size() >= kChunkLimit) chunks_.clear();
    return chunks_.emplace(ChunkKey{line, index}, layOut(line, g, index, g.x[index])).first->second;
}

std::size_t LineView::chunkOfColumn(const Geometry& g, std::size_t column) {
    const std::size_t count = g.chunkCount();
    const auto it = std::upper_bound(g.starts.begin(), g.starts.end() - 1, column);
    const auto index = static_cast<std::size_t>(it - g.starts.begin());
    return std::min(index == 0 ? 0 : index - 1, count - 1);
}

std::size_t LineView::chunkAtX(std::size_t line, Geometry& g, double x) {
    measureTo(line, g, x);
    const auto it = std::upper_bound(g.x.begin(), g.x.end(), x);
    const auto index = static_cast<std::size_t>(it - g.x.begin());
    return std::min(index == 0 ? 0 : index - 1, g.chunkCount() - 1);
}

double LineView::xOf(std::size_t line, std::size_t column) {
    Geometry& g = geometry(line);
    const std::size_t index = chunkOfColumn(g, column);
    const Chunk& c = chunk(line, g, index);
    const QTextLine tl = c.layout->lineAt(0);
    if (!tl.isValid()) return c.origin;
    return c.origin + tl.cursorToX(c.display.unitOf(column - std::min(column, c.firstByte)));
}

std::size_t LineView::columnAt(std::size_t line, double x) {
    Geometry& g = geometry(line);
    const std::size_t index = chunkAtX(line, g, x);
    const Chunk& c = chunk(line, g, index);
    const QTextLine tl = c.layout->lineAt(0);
    if (!tl.isValid()) return c.firstByte;
    const int unit = std::min(tl.xToCursor(x - c.origin), static_cast<int>(c.display.text.size()));
    return c.firstByte + c.display.byteOf(unit);
}

double LineView::width(std::size_t line) {
    Geometry& g = geometry(line);
    measureTo(line, g, std::numeric_limits<double>::infinity());
    return g.x.back();
}

bool LineView::endsBefore(std::size_t line, double x) {
    Geometry& g = geometry(line);
    measureTo(line, g, x);
    return g.measuredAll() && g.x.back() < x;
}

void LineView::forEachChunkIn(std::size_t line, double left, double right,
                              const std::function<void(const Chunk&)>& draw) {
    Geometry& g = geometry(line);
    measureTo(line, g, right);
    for (std::size_t i = chunkAtX(line, g, left); i < g.chunkCount(); ++i) {
        if (i < g.x.size() && g.x[i] >= right) break;
        draw(chunk(line, g, i));
    }
}

}  // namespace review
