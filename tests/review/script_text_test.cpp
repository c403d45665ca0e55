// The statement text: splitting at CR LF, the progress value, editing, appending, undo, and
// find-and-replace.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "review/edit_history.h"
#include "review/find_replace.h"
#include "review/script_text.h"

using review::ScriptText;
using review::TextPos;

namespace {

std::vector<std::string> lines(const ScriptText& t) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < t.lineCount(); ++i)
        out.emplace_back(t.line(i));
    return out;
}

std::vector<std::string> split(std::string_view s) {
    std::vector<std::string> out;
    for (auto v : review::splitScriptLines(s))
        out.emplace_back(v);
    return out;
}

using Lines = std::vector<std::string>;

}  // namespace

TEST(SplitScriptLines, SplitsOnlyAtTheExactPairCrLf) {
    EXPECT_EQ(split(""), Lines{});
    EXPECT_EQ(split("SELECT 1"), Lines{"SELECT 1"});
    EXPECT_EQ(split("a\r\n"), (Lines{"a", ""}));
    EXPECT_EQ(split("\r\n"), (Lines{"", ""}));
    EXPECT_EQ(split("\r\n\r\n"), (Lines{"", "", ""}));
    // A lone CR or LF, and LF CR, stay inside the line.
    EXPECT_EQ(split("a\nb\rc\n\rd"), Lines{"a\nb\rc\n\rd"});
    EXPECT_EQ(split("a\r\r\nb"), (Lines{"a\r", "b"}));
    EXPECT_EQ(split("a\r\n\nb"), (Lines{"a", "\nb"}));
    EXPECT_EQ(split("   "), Lines{"   "});
}

TEST(SplitScriptLines, HandlesMoreLinesThanASixteenBitCounter) {
    std::string text;
    for (int i = 0; i < 40000; ++i)
        text += "INSERT INTO t VALUES(" + std::to_string(i) + ")\r\n";
    const auto parts = review::splitScriptLines(text);
    ASSERT_EQ(parts.size(), 40001u);
    EXPECT_EQ(parts[32768], "INSERT INTO t VALUES(32768)");
    EXPECT_EQ(parts[39999], "INSERT INTO t VALUES(39999)");
    EXPECT_EQ(parts[40000], "");
}

TEST(ProgressValue, RunsFromZeroToHundredAndIsHundredForOneLine) {
    EXPECT_EQ(review::progressValue(0, 1), 100);
    EXPECT_EQ(review::progressValue(0, 2), 0);
    EXPECT_EQ(review::progressValue(1, 2), 100);
    EXPECT_EQ(review::progressValue(0, 10), 0);
    EXPECT_EQ(review::progressValue(4, 10), 44);  // 400 / 9, rounded down
    EXPECT_EQ(review::progressValue(9, 10), 100);
    EXPECT_EQ(review::progressValue(39999, 40000), 100);
    EXPECT_EQ(review::progressValue(32768, 40001), 81);
    // Far beyond any 16- or 32-bit count.
    EXPECT_EQ(review::progressValue(4'999'999'999ULL, 10'000'000'000ULL), 49);
}

TEST(ScriptText, LinesAndSizeFollowTheText) {
    ScriptText t;
    EXPECT_TRUE(t.empty());
    EXPECT_EQ(t.lineCount(), 1u);
    EXPECT_EQ(t.scriptLineCount(), 0u);
    EXPECT_EQ(t.size(), 0u);

    t.assign("a\r\nbc\r\n\r\nd\ne");
    EXPECT_EQ(lines(t), (Lines{"a", "bc", "", "d\ne"}));
    EXPECT_EQ(t.scriptLineCount(), 4u);
    EXPECT_EQ(t.size(), 12u);
    EXPECT_EQ(t.toString(), "a\r\nbc\r\n\r\nd\ne");
    EXPECT_EQ(t.longestLine(), 3u);

    t.assign("\r\n");
    EXPECT_FALSE(t.empty());
    EXPECT_EQ(t.scriptLineCount(), 2u);
}

TEST(ScriptText, KeepsEveryByteOfTheLines) {
    // Non-breaking space, line and paragraph separators, NUL, lone CR and LF, non-BMP characters
    // and even bytes that are not UTF-8 come back exactly.
    const std::string raw = std::string(
                                "a\xC2\xA0"
                                "b\xE2\x80\xA8"
                                "c\xE2\x80\xA9"
                                "d") +
                            std::string(1, '\0') + "\r" + "x" + "\n" + "\xF0\x9F\x98\x80" +
                            "\xFF\xFE" + "\r\n" + "'it''s'";
    ScriptText t(raw);
    ASSERT_EQ(t.lineCount(), 2u);
    EXPECT_EQ(t.toString(), raw);
    std::string pieces;
    t.forEachPiece([&](std::string_view p) { pieces.append(p); });
    EXPECT_EQ(pieces, raw);
}

TEST(ScriptText, AppendJoinsALineBreakSplitAcrossCalls) {
    ScriptText t;
    t.append("INSERT 1\r");
    t.append("\nINSERT 2");
    t.append("\r\n");
    t.append("\r");
    t.append("x\n");  // the CR above is followed by x: no break
    t.append("\r\n");
    EXPECT_EQ(lines(t), (Lines{"INSERT 1", "INSERT 2", "\rx\n", ""}));
    EXPECT_EQ(t.toString(), "INSERT 1\r\nINSERT 2\r\n\rx\n\r\n");
}

TEST(ScriptText, AppendAfterAnEditKeepsBothParts) {
    ScriptText t("one\r\ntwo");
    t.replace({1, 0}, {1, 3}, "TWO");
    t.append("!\r\nthree");
    EXPECT_EQ(lines(t), (Lines{"one", "TWO!", "three"}));
    t.replace({0, 0}, t.end(), "");
    EXPECT_TRUE(t.empty());
    t.append("x\r\ny");
    EXPECT_EQ(lines(t), (Lines{"x", "y"}));
}

TEST(ScriptText, ReplaceEditsWithinAndAcrossLines) {
    ScriptText t("alpha\r\nbeta\r\ngamma");
    // Typing inside a line.
    EXPECT_EQ(t.replace({1, 2}, {1, 2}, "XY"), (TextPos{1, 4}));
    EXPECT_EQ(t.toString(), "alpha\r\nbeXYta\r\ngamma");
    // Breaking a line.
    EXPECT_EQ(t.replace({0, 2}, {0, 2}, "\r\n"), (TextPos{1, 0}));
    EXPECT_EQ(lines(t), (Lines{"al", "pha", "beXYta", "gamma"}));
    // Deleting across lines joins them.
    EXPECT_EQ(t.replace({1, 1}, {3, 2}, ""), (TextPos{1, 1}));
    EXPECT_EQ(lines(t), (Lines{"al", "pmma"}));
    EXPECT_EQ(t.textBetween({0, 1}, {1, 2}), "l\r\npm");
    // Inserting several lines.
    EXPECT_EQ(t.replace({1, 4}, {1, 4}, "\r\nx\r\ny"), (TextPos{3, 1}));
    EXPECT_EQ(t.toString(), "al\r\npmma\r\nx\r\ny");
    // A lone CR at the end of a line meets an inserted LF: together they are a line break.
    ScriptText u("ab\r");
    EXPECT_EQ(u.replace({0, 3}, {0, 3}, "\ncd"), (TextPos{1, 2}));
    EXPECT_EQ(lines(u), (Lines{"ab", "cd"}));
    // An inserted CR before a lone LF: the position after it is the start of the next line.
    ScriptText w("x\ny");
    EXPECT_EQ(w.replace({0, 1}, {0, 1}, "\r"), (TextPos{1, 0}));
    EXPECT_EQ(lines(w), (Lines{"x", "y"}));
}

TEST(ScriptText, ManyEditsOfALongLineKeepMemoryBounded) {
    ScriptText t(std::string(200000, 'a'));
    for (int i = 0; i < 300; ++i)
        t.replace({0, 100000}, {0, 100000}, "b");
    EXPECT_EQ(t.line(0).size(), 200300u);
    EXPECT_EQ(t.line(0).substr(100000, 300), std::string(300, 'b'));
    EXPECT_EQ(t.line(0).substr(100300), std::string(100000, 'a'));
}

TEST(ReplaceAll, OnePassLeftToRightCaseSensitiveWithoutRescanning) {
    EXPECT_EQ(review::replaceAllOccurrences("aaaa", "aa", "a"), "aa");
    EXPECT_EQ(review::replaceAllOccurrences("aa", "a", "ab"), "abab");
    EXPECT_EQ(review::replaceAllOccurrences("a varchar VARCHAR Varchar", "varchar", "text"),
              "a text VARCHAR Varchar");
    EXPECT_EQ(review::replaceAllOccurrences("aaa", "aa", "b"), "ba");
    EXPECT_EQ(review::replaceAllOccurrences("abc", "x", "y"), "abc");
    EXPECT_EQ(review::replaceAllOccurrences("abc", "", "y"), "abc");
    EXPECT_EQ(review::replaceAllOccurrences("a b  c", " ", "  "), "a  b    c");
    std::size_t n = 0;
    EXPECT_EQ(review::replaceAllOccurrences("x'y''z", "'", "''", &n), "x''y''''z");
    EXPECT_EQ(n, 3u);
    // Multi-byte characters match whole.
    EXPECT_EQ(review::replaceAllOccurrences("Tromsø Ødegaard", "ø", "o"), "Tromso Ødegaard");
}

TEST(ReplaceAll, ScriptTextGivesTheSameResultLineByLineAsOverTheWholeText) {
    // Random texts over a small alphabet with line breaks; patterns with and without breaks.
    std::mt19937 rng(20240611);
    const std::string alphabet = "aab\r\n";
    const std::vector<std::string> finds = {"a", "aa", "ab", "b", "\r\n", "a\r", "\na", "ba"};
    const std::vector<std::string> withs = {"", "a", "ab", "\r\n", "x", "\r"};
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int len = static_cast<int>(rng() % 30);
        for (int i = 0; i < len; ++i)
            text += alphabet[rng() % alphabet.size()];
        const std::string& find = finds[rng() % finds.size()];
        const std::string& with = withs[rng() % withs.size()];
        std::size_t expectedCount = 0;
        const std::string expected =
            review::replaceAllOccurrences(text, find, with, &expectedCount);
        ScriptText t(text);
        EXPECT_EQ(t.replaceAll(find, with), expectedCount) << text << " / " << find;
        EXPECT_EQ(t.toString(), expected) << text << " / " << find << " / " << with;
        // The lines are those of the new text.
        EXPECT_EQ(lines(t), lines(ScriptText(expected)));
        // The same after an edit, when the text no longer lies in one piece, and after appends.
        ScriptText edited(text);
        edited.replace({0, 0}, {0, 0}, "ba");
        ScriptText appended;
        appended.append(text.substr(0, text.size() / 2));
        appended.append(text.substr(text.size() / 2));
        for (ScriptText* u : {&edited, &appended}) {
            const std::string before = u->toString();
            std::size_t count = 0;
            const std::string after = review::replaceAllOccurrences(before, find, with, &count);
            EXPECT_EQ(u->replaceAll(find, with), count) << before << " / " << find;
            EXPECT_EQ(u->toString(), after) << before << " / " << find << " / " << with;
            EXPECT_EQ(lines(*u), lines(ScriptText(after)));
        }
    }
}

TEST(ReplaceAll, ScriptTextLeavesTheTextAloneWhenNothingMatches) {
    ScriptText t("CREATE TABLE `t`(`a` VARCHAR)\r\n");
    EXPECT_EQ(t.replaceAll("varchar", "text"), 0u);
    EXPECT_EQ(t.toString(), "CREATE TABLE `t`(`a` VARCHAR)\r\n");
    EXPECT_EQ(t.replaceAll("", "text"), 0u);
    EXPECT_EQ(t.replaceAll("VARCHAR", "TEXT"), 1u);
    EXPECT_EQ(t.toString(), "CREATE TABLE `t`(`a` TEXT)\r\n");
}

namespace {

// Keeps what the text held when it was told, as the clipboard does.
struct KeepingWatcher : review::ScriptTextWatcher {
    std::vector<std::string> seen;
    void textChanging(const ScriptText& text) noexcept override { seen.push_back(text.toString()); }
};

}  // namespace

TEST(ScriptText, AWatcherSeesTheTextOnceJustBeforeItChangesOrGoes) {
    auto w = std::make_shared<KeepingWatcher>();
    {
        ScriptText t("one\r\ntwo");
        t.watch(w);
        // Reading, and a Replace All that finds nothing, change nothing: no word yet.
        EXPECT_EQ(t.line(1), "two");
        EXPECT_EQ(t.replaceAll("three", "3"), 0u);
        EXPECT_TRUE(w->seen.empty());
        t.replaceAll("one", "1");  // in place, the text does not grow
        ASSERT_EQ(w->seen, (std::vector<std::string>{"one\r\ntwo"}));
        t.append("!");  // told once only
        EXPECT_EQ(w->seen.size(), 1u);

        for (auto change : {+[](ScriptText& x) {
                                x.replace({0, 0}, {0, 1}, "I");
                            },
                            +[](ScriptText& x) { x.append("\r\nthree"); },
                            +[](ScriptText& x) { x.assign("new two"); },
                            +[](ScriptText& x) { x.replaceAll("two", "second"); },
                            +[](ScriptText& x) { ScriptText taken(std::move(x)); }}) {
            w->seen.clear();
            const std::string before = t.toString();
            t.watch(w);
            change(t);
            ASSERT_EQ(w->seen, std::vector<std::string>{before});
        }
        // A copy does not carry the watcher; the text watched goes and says so.
        t.assign("last");
        w->seen.clear();
        t.watch(w);
        ScriptText copy = t;
        copy.assign("changed copy");
        EXPECT_TRUE(w->seen.empty());
    }
    EXPECT_EQ(w->seen, std::vector<std::string>{"last"});

    // A watcher gone before the change is not told, and nothing breaks.
    ScriptText t("x");
    auto gone = std::make_shared<KeepingWatcher>();
    t.watch(gone);
    gone.reset();
    t.append("y");
    EXPECT_EQ(t.toString(), "xy");
}

TEST(EditHistory, UndoRestoresTheBytesEvenWhenAnEditMadeANewLineBreak) {
    // "a\r" and "\nb" are two lines; deleting the break between them leaves "a\r\nb", which is
    // two other lines. Undo must bring back the first two exactly.
    const std::string start = "x\r\na\r\r\n\nb\r\ny";
    ScriptText t(start);
    review::EditHistory h;
    ASSERT_EQ(lines(t), (Lines{"x", "a\r", "\nb", "y"}));
    h.apply(t, {1, 2}, {2, 0}, "");
    EXPECT_EQ(lines(t), (Lines{"x", "a", "b", "y"}));
    ASSERT_TRUE(h.undo(t));
    EXPECT_EQ(t.toString(), start);
    ASSERT_TRUE(h.redo(t));
    EXPECT_EQ(lines(t), (Lines{"x", "a", "b", "y"}));
    ASSERT_TRUE(h.undo(t));
    EXPECT_EQ(t.toString(), start);
    EXPECT_FALSE(h.undo(t));
}

TEST(EditHistory, TypingJoinsIntoOneEditAndANewEditDropsTheRedos) {
    ScriptText t("SELECT");
    review::EditHistory h;
    TextPos p{0, 6};
    for (char c : std::string(" 1 + 2"))
        p = h.apply(t, p, p, std::string(1, c), true);
    EXPECT_EQ(t.toString(), "SELECT 1 + 2");
    // Each space starts a new edit: " 1", " +", " 2".
    EXPECT_EQ(h.undo(t), (TextPos{0, 10}));
    EXPECT_EQ(t.toString(), "SELECT 1 +");
    h.undo(t);
    EXPECT_EQ(h.undo(t), (TextPos{0, 6}));
    EXPECT_EQ(t.toString(), "SELECT");
    EXPECT_FALSE(h.canUndo());
    h.redo(t);
    h.undo(t);
    h.apply(t, {0, 0}, {0, 0}, "-- ");
    EXPECT_FALSE(h.canRedo());
    EXPECT_EQ(t.toString(), "-- SELECT");
}

TEST(EditHistory, AnEditLargerThanTheLimitCannotBeUndone) {
    ScriptText t("a");
    review::EditHistory h;
    h.apply(t, {0, 1}, {0, 1}, "b");
    h.apply(t, {0, 2}, {0, 2}, std::string(review::EditHistory::kLimitBytes + 1, 'c'));
    EXPECT_FALSE(h.canUndo());
    EXPECT_EQ(t.line(0).size(), review::EditHistory::kLimitBytes + 3);
}
