// Lines of any length in the review editor: where each character lies compared with one layout
// of the whole line (an independent reader of the same text), chunks that never cut a
// character, tab stops across chunks, how little a megabyte line costs to show, and a
// 70,000-character line shown, scrolled to its end and edited there.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontDatabase>
#include <QImage>
#include <QScrollBar>
#include <QTextLayout>
#include <QtTest/QTest>
#include <cmath>
#include <random>
#include <string>

#include "review/display_line.h"
#include "review/line_view.h"
#include "review/script_editor.h"

using review::LineView;
using review::ScriptText;
using review::TextPos;

namespace {

QFont editorFont() {
    return QFontDatabase::systemFont(QFontDatabase::FixedFont);
}

// The x of the UTF-16 positions `units` of `line` in one layout of the whole line.
std::vector<double> wholeLineX(const std::string& line, const QFont& font, double tab,
                               const std::vector<int>& units) {
    const review::DisplayLine d =
        review::makeDisplayLine(line, std::numeric_limits<std::size_t>::max());
    QTextLayout layout(d.text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTabStopDistance(tab);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine tl = layout.createLine();
    tl.setLineWidth(1e9);
    layout.endLayout();
    std::vector<double> x;
    for (int u : units)
        x.push_back(tl.cursorToX(u));
    return x;
}

TEST(ChunkStarts, ChunksNeverCutACharacterAndCoverTheLine) {
    EXPECT_EQ(review::chunkStarts("", 8), (std::vector<std::size_t>{0, 0}));
    EXPECT_EQ(review::chunkStarts("abc", 8), (std::vector<std::size_t>{0, 3}));
    EXPECT_EQ(review::chunkStarts("abcdefgh", 8), (std::vector<std::size_t>{0, 8}));
    EXPECT_EQ(review::chunkStarts("abcdefghi", 8), (std::vector<std::size_t>{0, 8, 9}));
    // "ø" (2 bytes) across the boundary at 8 moves it to 7; the emoji (4 bytes) at 6..9 to 6.
    EXPECT_EQ(review::chunkStarts("abcdefg\xC3\xB8z", 8), (std::vector<std::size_t>{0, 7, 10}));
    EXPECT_EQ(review::chunkStarts("abcdef\xF0\x9F\x98\x80z", 8),
              (std::vector<std::size_t>{0, 6, 11}));
    // Stray continuation bytes are characters of their own: the boundary stays.
    EXPECT_EQ(review::chunkStarts("abcdefg\x80\x80\x80z", 8), (std::vector<std::size_t>{0, 8, 11}));
    std::mt19937 rng(3);
    const char* pieces[] = {"a", "\xC3\xB8", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\t", "\xFF"};
    std::string line;
    for (int i = 0; i < 20000; ++i)
        line += pieces[rng() % std::size(pieces)];
    const auto starts = review::chunkStarts(line, 64);
    ASSERT_GE(starts.size(), 3u);
    EXPECT_EQ(starts.front(), 0u);
    EXPECT_EQ(starts.back(), line.size());
    for (std::size_t i = 1; i < starts.size(); ++i) {
        EXPECT_GT(starts[i], starts[i - 1]);
        EXPECT_LE(starts[i] - starts[i - 1], 64u);
        // Decoding from the chunk's start meets the boundary exactly.
        std::size_t p = starts[i - 1];
        while (p < starts[i])
            p = review::nextChar(line, p);
        EXPECT_EQ(p, starts[i]) << "chunk " << i;
    }
}

TEST(PrintableAscii, OnlySpaceToTilde) {
    EXPECT_TRUE(review::isPrintableAscii(""));
    EXPECT_TRUE(review::isPrintableAscii("INSERT INTO `t` VALUES('~')"));
    EXPECT_FALSE(review::isPrintableAscii("a\tb"));
    EXPECT_FALSE(review::isPrintableAscii("a\x7F"));
    EXPECT_FALSE(review::isPrintableAscii("\xC3\xB8"));
    EXPECT_FALSE(review::isPrintableAscii(std::string("a\0b", 3)));
}

class LineViewTest : public ::testing::Test {
  protected:
    // Every character boundary of line 0 lies where one layout of the whole line puts it, and
    // the position found at that x is the same boundary.
    void expectLikeOneLayout(const std::string& line) {
        ScriptText text(line);
        LineView view(text, editorFont());
        const review::DisplayLine d =
            review::makeDisplayLine(line, std::numeric_limits<std::size_t>::max());
        // Every boundary near a chunk's ends, and every nineteenth one elsewhere (a layout answers
        // each position in time that grows with the line, so all of them would take long).
        const std::vector<std::size_t> starts = review::chunkStarts(line, LineView::kChunkBytes);
        auto nearChunkEnd = [&](std::size_t b) {
            for (std::size_t s : starts)
                if (b + 16 >= s && b <= s + 16) return true;
            return false;
        };
        std::vector<std::size_t> bytes;
        std::vector<int> units;
        std::size_t n = 0;
        for (std::size_t b = 0;; b = review::nextChar(line, b), ++n) {
            if (b == line.size() || nearChunkEnd(b) || n % 19 == 0) {
                bytes.push_back(b);
                units.push_back(d.unitOf(b));
            }
            if (b == line.size()) break;
        }
        const std::vector<double> reference =
            wholeLineX(line, editorFont(), view.tabDistance(), units);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const double x = view.xOf(0, bytes[i]);
            ASSERT_NEAR(x, reference[i], 0.75) << "byte " << bytes[i] << " of " << line.size();
            EXPECT_EQ(view.columnAt(0, x + 0.2), bytes[i]) << "byte " << bytes[i];
        }
        EXPECT_NEAR(view.width(0), reference.back(), 0.75);
        EXPECT_GT(bytes.size(), 100u);
    }
};

TEST_F(LineViewTest, AsciiAcrossManyChunksLiesAsOneLayoutPutsIt) {
    std::string line;
    for (int i = 0; line.size() < 3 * LineView::kChunkBytes + 100; ++i)
        line += "'" + std::to_string(i) + "', ";
    expectLikeOneLayout(line);
}

TEST_F(LineViewTest, MixedTextTabsAndPicturesAcrossChunksLieAsOneLayoutPutsThem) {
    std::mt19937 rng(11);
    // A lone LF stays inside its line (only CR LF ends one), shown as its picture.
    const char* pieces[] = {"a",
                            "Z",
                            " ",
                            "'",
                            "\xC3\xB8",
                            "\xD0\xB6",
                            "\xE2\x82\xAC",
                            "\t",
                            "\n",
                            "\xE4\xB8\xAD",
                            "\xF0\x9F\x98\x80",
                            "\xFF"};
    std::string line;
    while (line.size() < 2 * LineView::kChunkBytes + 500)
        line += pieces[rng() % std::size(pieces)];
    expectLikeOneLayout(line);
}

TEST_F(LineViewTest, ATabStopsAtTheLinesStopsWhereverItsChunkStarts) {
    // The tab lies in the second chunk, four characters after its start: the next stop of the
    // line is at character 4104.
    const std::string line = std::string(4100, 'x') + "\ty";
    ScriptText text(line);
    LineView view(text, editorFont());
    EXPECT_NEAR(view.xOf(0, 4100), 4100 * view.advance(), 0.01);
    EXPECT_NEAR(view.xOf(0, 4101), 4104 * view.advance(), 0.01);
    EXPECT_NEAR(view.width(0), 4105 * view.advance(), 0.01);
}

TEST_F(LineViewTest, TheStartOfAMegabyteLineCostsOneChunkAndItsEndNoLayoutOnTheWay) {
    const std::string line = "INSERT INTO `t` VALUES('" + std::string(1 << 20, 'm') + "')";
    ScriptText text(line);
    LineView view(text, editorFont());
    EXPECT_NEAR(view.xOf(0, 3), 3 * view.advance(), 0.01);
    EXPECT_EQ(view.chunksLaidOut(), 1u);
    const double end = view.xOf(0, line.size());
    EXPECT_NEAR(end, static_cast<double>(line.size()) * view.advance(), 0.5);
    EXPECT_EQ(view.chunksLaidOut(), 2u);  // the first and the last
    EXPECT_EQ(view.columnAt(0, end - view.advance() / 4), line.size());
    EXPECT_TRUE(view.endsBefore(0, end + 1));
    EXPECT_FALSE(view.endsBefore(0, end - 1));
    // What is drawn at the end is the last chunk alone.
    int drawn = 0;
    view.forEachChunkIn(0, end - 100, end, [&](const LineView::Chunk& c) {
        ++drawn;
        EXPECT_EQ(c.firstByte + c.display.shownBytes, line.size());
        EXPECT_TRUE(c.display.text.endsWith(QStringLiteral("mmm')")));
    });
    EXPECT_EQ(drawn, 1);
}

// ---- in the editor ----

class LongLineEditorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        editor_.resize(500, 300);
        editor_.show();
        editor_.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor_));
        editor_.setFocus();
    }
    // True when the viewport shows any pixel that is not its background (the caret, which
    // shows only with the focus, aside).
    bool showsText() {
        editor_.clearFocus();
        const QImage image = editor_.viewport()->grab().toImage();
        editor_.setFocus();
        const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != background) return true;
        return false;
    }
    review::ScriptEditor editor_;
};

TEST_F(LongLineEditorTest, ASeventyThousandCharacterLineIsShownScrolledToItsEndAndEditedThere) {
    const std::string memo(70000, 'q');
    const std::string line = "INSERT INTO `notes` VALUES('1', '" + memo + "')";
    editor_.setScript("CREATE TABLE `notes`(`id` INT, `memo` LONGTEXT)\r\n" + line + "\r\n");
    editor_.setCursorPosition({1, 0});
    QTest::keyClick(&editor_, Qt::Key_End);
    EXPECT_EQ(editor_.cursorPosition(), (TextPos{1, line.size()}));
    // The view followed the caret to the end of the line, far past where a cut would have been.
    QScrollBar* h = editor_.horizontalScrollBar();
    EXPECT_GT(h->value(), 70000 * 5);
    EXPECT_TRUE(showsText());
    // Typed at the end, and selected whole.
    QTest::keyClicks(&editor_, " -- checked");
    EXPECT_EQ(editor_.script().line(1), line + " -- checked");
    QTest::keyClick(&editor_, Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(editor_.selectedText(), line + " -- checked");
    // A click in the middle of the view lands in the memo, near where the view shows it.
    QTest::keyClick(&editor_, Qt::Key_End);
    h->setValue(h->value() - 2000);
    QTest::mouseClick(editor_.viewport(), Qt::LeftButton, {},
                      QPoint(200, QFontMetrics(editorFont()).lineSpacing() + 4));
    const TextPos inMemo = editor_.cursorPosition();
    EXPECT_EQ(inMemo.line, 1u);
    EXPECT_GT(inMemo.column, 60000u);
    EXPECT_LT(inMemo.column, line.size());
    QTest::keyClicks(&editor_, "Z");
    EXPECT_EQ(editor_.script().line(1)[inMemo.column], 'Z');
    EXPECT_EQ(editor_.script().line(1).size(), line.size() + 12);
}

TEST_F(LongLineEditorTest, DownFromALongLineKeepsTheColumnOnScreen) {
    const std::string a(50000, 'a');
    const std::string b(50000, 'b');
    editor_.setScript(a + "\r\n" + b);
    editor_.setCursorPosition({0, 45000});
    QTest::keyClick(&editor_, Qt::Key_Down);
    EXPECT_EQ(editor_.cursorPosition(), (TextPos{1, 45000}));
    QTest::keyClick(&editor_, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(editor_.selectedText(), std::string(5000, 'a') + "\r\n" + std::string(45000, 'b'));
    EXPECT_TRUE(showsText());
}

}  // namespace
