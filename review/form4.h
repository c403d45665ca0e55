// Form4, "Send Table/s": the window where a generated script is reviewed, edited, saved,
// copied and executed against the destination database.
//
// How a send command uses it:
//   auto form4 = std::make_unique<review::Form4>(parent);   // created on first use
//   form4->appendText(script);        // any number of times; O(1) amortised, no widget work
//   form4->m_SendType = 0;            // 0: MySQL, 1: Access
//   ui::SqlExecuted = false;
//   form4->exec();                    // modal; returns when the window closes
//   if (ui::SqlExecuted) ... refresh the destination list ...
//   form4.reset();                    // the text is discarded with the window
// Text appended while the window is not shown is collected in a buffer that the editor takes
// over, without copying, when the window is shown.
//
// While Execute runs, the window's commands are disabled, the text is read-only and the window
// cannot be closed, so nothing interleaves with the run. The database work runs in a worker
// thread (ui/worker.h): the window keeps painting, its progress bar moves and it answers at once
// however long a line takes.
//
// The user closing the window (its close box) with a script that was neither executed nor
// saved since it last changed is asked first; reject() and done() close it without asking.
// Ctrl+F opens Find and Replace and Ctrl+S saves. The window opens at its designed size, may be
// made larger (the text and "Notes" grow), and remembers the size the user gave it.
#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <string_view>

#include "review/script_executor.h"
#include "ui/stretch_layout.h"

class QGroupBox;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace ui {
class WindowSizeMemory;
}

namespace review {

class ScriptEditor;

class Form4 : public QDialog {
    Q_OBJECT

  public:
    explicit Form4(QWidget* parent = nullptr);
    ~Form4() override;

    // The destination of the statements: 0 the MySQL database, 1 the Access file.
    int m_SendType = 0;

    // Adds text (UTF-8) at the end of the statement text.
    void appendText(std::string_view utf8);
    void appendText(std::string&& utf8);
    void appendText(const QString& text);
    void appendText(const char* utf8) { appendText(std::string_view(utf8)); }
    // The whole statement text, CR LF between lines.
    std::string text() const;
    // Replaces the whole statement text.
    void setText(std::string utf8);

    // The exact text of the "Notes" box.
    const QString& notes() const { return notes_; }
    // Adds a line (UTF-8) to the "Notes" box: what a send could not carry as it stands. The
    // lines stay above what a failed Execute writes there.
    void appendNote(std::string_view utf8);
    bool isExecuting() const { return executing_; }
    // True when the text has not changed since it was last saved to a file.
    bool isSaved() const;
    // True once an Execute sent statements to the database, whether or not every line ran: the
    // destination may have changed.
    bool ranStatements() const { return ranStatements_; }

    // How Execute groups and merges lines (tests and benchmarks tune it).
    ExecutionSettings executionSettings;

    // The commands, as the buttons run them.
    void pushButton1Click();  // "Find and Replace"
    void pushButton2Click();  // "Save SQL Commands As Text File"
    void pushButton3Click();  // "Execute SQL Commands Now"
    void pushButton4Click();  // "Copy SQL Commands To Clipboard"

    QGroupBox* Frame1 = nullptr;
    ScriptEditor* RichTextBox1 = nullptr;
    QPushButton* PushButton3 = nullptr;
    QPushButton* PushButton1 = nullptr;
    QPushButton* PushButton2 = nullptr;
    QPushButton* PushButton4 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QPlainTextEdit* Text1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  public slots:
    void reject() override;

  private:
    void formLoad();
    void takePending();
    void setNotes(const QString& notes);
    void setExecuting(bool on);

    std::string pending_;  // text appended before the editor took it over
    QString notes_;
    QString sendNotes_;  // the send's lines, kept above an Execute's failure
    bool executing_ = false;
    bool saved_ = false;
    bool ranStatements_ = false;
    QSize designedSize_;
    ui::StretchLayout layout_;
    ui::WindowSizeMemory* sizeMemory_ = nullptr;  // owned by the window
};

}  // namespace review
