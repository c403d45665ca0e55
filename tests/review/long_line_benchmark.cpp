// Benchmark: the review window with very long lines, shown and edited whole.
//
//   review_long_line_benchmark [--long-lines N] [--line-bytes B] [--text ascii|latin|cyrillic|cjk]
//                              [--short-lines N] [--skip-long] [--skip-short]
//
// Two scripts, each put into the window and then, every step timed with the window painted:
// shown (first paint), the caret taken to the end of a long line (the view scrolled to its end
// horizontally), the horizontal scroll bar dragged to its end, a long line in the middle of the
// script reached, ten characters typed in the middle of that line and taken back with one undo,
// and the script saved to a file.
//   1. --long-lines lines (default 1,000) of --line-bytes bytes each (default 1 MiB): INSERT
//      lines whose memo is made of --text (plain ASCII by default; latin mixes in accented
//      letters, cyrillic is all two-byte letters, cjk all three-byte ideographs drawn by a
//      fallback font).
//   2. --short-lines lines (default 1,000,000) of a ten-column INSERT, with one line of
//      --line-bytes bytes in the middle.
// Prints seconds and the peak memory after each step. Nothing is asserted.
#include <sys/resource.h>

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "review/form4.h"
#include "review/script_editor.h"
#include "tests/support/test_env.h"
#include "ui/prompt_service.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

double peakMiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}

void report(const char* what, double seconds, const std::string& extra = {}) {
    std::printf("  %-52s %9.3f s   peak %8.1f MiB%s%s\n", what, seconds, peakMiB(),
                extra.empty() ? "" : "   ", extra.c_str());
    std::fflush(stdout);
}

// `bytes` bytes of memo text of the kind asked for, whole characters only.
std::string memo(std::size_t bytes, const std::string& kind, unsigned seed) {
    std::string s;
    s.reserve(bytes + 4);
    const char* latin[] = {"a", "e", "n", "s", "t", " ", "\xC3\xB8", "\xC3\xA9", "\xC3\xA5", "r"};
    unsigned x = seed * 2654435761u + 1;
    while (s.size() < bytes) {
        x = x * 1103515245u + 12345u;
        if (kind == "latin")
            s += latin[(x >> 16) % 10];
        else if (kind == "cyrillic")
            s += "\xD0\xB6";  // ж
        else if (kind == "cjk")
            s += "\xE4\xB8\xAD";  // 中
        else
            s += static_cast<char>('a' + (x >> 16) % 26);
    }
    return s;
}

std::string longLine(std::size_t i, std::size_t bytes, const std::string& kind) {
    return "INSERT INTO `notes` VALUES('" + std::to_string(i) + "', '" +
           memo(bytes, kind, static_cast<unsigned>(i)) + "')";
}

void key(review::ScriptEditor* e, Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier,
         const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, k, m, text);
    QApplication::sendEvent(e, &press);
    QKeyEvent release(QEvent::KeyRelease, k, m, text);
    QApplication::sendEvent(e, &release);
}

void paint(review::Form4& form) {
    form.RichTextBox1->viewport()->repaint();
}

// The steps on a script already in `form`, whose line `longLine` is long.
void measure(review::Form4& form, std::size_t longLineIndex, ui::ScriptedPrompts& prompts,
             const fs::path& saveTo) {
    review::ScriptEditor* editor = form.RichTextBox1;
    auto start = Clock::now();
    form.show();
    QApplication::processEvents();
    paint(form);
    report("show in the window (first paint included)", since(start));

    // The first line in view is long in the first script; in the second, the long line is
    // reached first.
    start = Clock::now();
    editor->setCursorPosition({longLineIndex, 0});
    paint(form);
    report("go to a long line (caret at its start)", since(start));

    start = Clock::now();
    key(editor, Qt::Key_End);
    paint(form);
    char info[200];
    std::snprintf(info, sizeof info, "column %zu, scrolled to x = %d",
                  editor->cursorPosition().column, editor->horizontalScrollBar()->value());
    report("End: the view scrolled to the line's end", since(start), info);

    start = Clock::now();
    editor->horizontalScrollBar()->setValue(editor->horizontalScrollBar()->maximum());
    paint(form);
    report("horizontal scroll bar to its end", since(start));

    start = Clock::now();
    editor->horizontalScrollBar()->setValue(0);
    paint(form);
    report("horizontal scroll bar back to the start", since(start));

    const std::size_t middle = editor->script().line(longLineIndex).size() / 2;
    start = Clock::now();
    editor->setCursorPosition({longLineIndex, middle});
    paint(form);
    report("caret to the middle of the long line", since(start));

    start = Clock::now();
    for (const char c : std::string("0123456789")) {
        key(editor, Qt::Key_A, Qt::NoModifier, QString(QChar(c)));
        paint(form);
    }
    const double typed = since(start);
    std::snprintf(info, sizeof info, "%.1f ms a character, line now %zu bytes", typed * 100,
                  editor->script().line(longLineIndex).size());
    report("ten characters typed there, each painted", typed, info);

    start = Clock::now();
    editor->undo();
    paint(form);
    report("one undo takes the ten back", since(start));

    prompts.queueFile(QString::fromStdString(saveTo.string()));
    start = Clock::now();
    form.pushButton2Click();
    std::snprintf(info, sizeof info, "%.1f MiB written",
                  static_cast<double>(fs::file_size(saveTo)) / (1 << 20));
    report("Save SQL Commands As Text File", since(start), info);
    fs::remove(saveTo);
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    long longLines = 1000;
    long shortLines = 1'000'000;
    std::size_t lineBytes = std::size_t{1} << 20;
    std::string kind = "ascii";
    bool doLong = true;
    bool doShort = true;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--long-lines") && i + 1 < argc)
            longLines = std::atol(argv[++i]);
        else if (!std::strcmp(argv[i], "--short-lines") && i + 1 < argc)
            shortLines = std::atol(argv[++i]);
        else if (!std::strcmp(argv[i], "--line-bytes") && i + 1 < argc)
            lineBytes = static_cast<std::size_t>(std::atol(argv[++i]));
        else if (!std::strcmp(argv[i], "--text") && i + 1 < argc)
            kind = argv[++i];
        else if (!std::strcmp(argv[i], "--skip-long"))
            doLong = false;
        else if (!std::strcmp(argv[i], "--skip-short"))
            doShort = false;
    }
    QApplication app(argc, argv);
    ui::ScriptedPrompts prompts;
    ui::setPromptService(&prompts);
    testenv::TempDir dir;

    if (doLong) {
        std::printf("%ld lines of %zu bytes of %s text\n", longLines, lineBytes, kind.c_str());
        auto start = Clock::now();
        std::string script;
        script.reserve(static_cast<std::size_t>(longLines) * (lineBytes + 64));
        for (long i = 0; i < longLines; ++i)
            script += longLine(static_cast<std::size_t>(i), lineBytes, kind) + "\r\n";
        char info[160];
        std::snprintf(info, sizeof info, "%.1f MiB",
                      static_cast<double>(script.size()) / (1 << 20));
        report("making the script (not the window's work)", since(start), info);
        review::Form4 form;
        form.resize(900, 800);
        form.appendText(std::move(script));
        measure(form, static_cast<std::size_t>(longLines / 2), prompts, dir.path() / "long.sql");
    }

    if (doShort) {
        std::printf("%ld ten-column INSERT lines, one of %zu bytes of %s text in the middle\n",
                    shortLines, lineBytes, kind.c_str());
        auto start = Clock::now();
        std::string script;
        script.reserve(static_cast<std::size_t>(shortLines) * 215 + lineBytes);
        const long middle = shortLines / 2;
        for (long i = 0; i < shortLines; ++i) {
            if (i == middle) {
                script += longLine(static_cast<std::size_t>(i), lineBytes, kind) + "\r\n";
                continue;
            }
            const std::string n = std::to_string(i);
            script += "INSERT INTO `bench` VALUES('" + n + "', 'Customer " + n +
                      "', 'Tromsø', '1234.5600', '3.14159265358979', '" +
                      std::to_string(i % 30000) + "', '0.25', '2024-01-15 09:30:00', " +
                      (i % 2 ? "1" : "0") +
                      ", 'A note with an apostrophe '' and a backslash \\\\ in it')\r\n";
        }
        char info[160];
        std::snprintf(info, sizeof info, "%.1f MiB",
                      static_cast<double>(script.size()) / (1 << 20));
        report("making the script (not the window's work)", since(start), info);
        review::Form4 form;
        form.resize(900, 800);
        form.appendText(std::move(script));
        measure(form, static_cast<std::size_t>(middle), prompts, dir.path() / "short.sql");
    }
    ui::setPromptService(nullptr);
    return 0;
}
