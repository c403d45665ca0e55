// Form2, the table browser: the Access tables on the left, the MySQL tables on the right, and
// every command that works on tables.
//
// The window is created and loaded the first time "Next >" touches it (Form2Handoff) and lives
// until the program ends; "< Back" only hides it. Its state is its controls: the two sorted
// table lists, the two remembered "Send with data type customization" boxes, the two remembered
// "Send keys and indexes" boxes below them, and the progress bar the send commands drive. Each
// command is a numbered ui::Command whose location names Form2 and the handler. Closing the window
// ends the program. The window opens at its designed size and may be made larger (the lists grow);
// it remembers the size the user gave it. "Select All" makes the first item current in a list that
// has no current item, so that a command that wants one finds it. The commands do their database
// work in a worker thread (ui/worker.h): the window keeps painting and answering meanwhile, with
// its buttons and check boxes disabled (ui/busy_window.h).
#pragma once

#include <QString>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>

#include "ui/stretch_layout.h"

class QCheckBox;
class QGroupBox;
class QPushButton;

namespace db {
class Connection;
}
namespace review {
class Form4;
}
namespace transfer {
enum class Direction;
enum class TableResult;
class SendKeys;
}  // namespace transfer
namespace ui {
enum class Answer;
class Command;
class EndWatch;
class WindowSizeMemory;
}  // namespace ui

namespace browser {

class TableList;
class TextProgressBar;

class Form2 : public QWidget {
    Q_OBJECT

  public:
    explicit Form2(QWidget* parent = nullptr);
    ~Form2() override;

    // The load routine (Form_Load): colours, icon, hand pointer, title, the four check boxes
    // from the settings store, and the window height.
    void formLoad();

    TableList* list1() const { return list1_; }  // Access tables
    TableList* list2() const { return list2_; }  // MySQL tables
    QCheckBox* check15() const { return check15_; }
    QCheckBox* check16() const { return check16_; }
    QCheckBox* check17() const { return check17_; }  // "Send keys and indexes", Access side
    QCheckBox* check18() const { return check18_; }  // "Send keys and indexes", MySQL side
    TextProgressBar* progressBar1() const { return progressBar1_; }
    // The text the progress bar shows over its value.
    void setProgressText(const QString& text);
    QString progressText() const;

    // The commands of the window.
    void pushButton1Click();   // "Delete Table/s", Access side
    void pushButton2Click();   // "< Back"
    void pushButton3Click();   // "Send Table/s To MySQL"
    void pushButton4Click();   // "Send Table/s To Access"
    void pushButton5Click();   // "Delete Table/s", MySQL side
    void pushButton6Click();   // "Rename Table", Access side
    void pushButton7Click();   // "Rename Table", MySQL side
    void pushButton8Click();   // "Select All", MySQL side
    void pushButton9Click();   // "Deselect All", MySQL side
    void pushButton10Click();  // "Select All", Access side
    void pushButton11Click();  // "Deselect All", Access side
    void pushButton12Click();  // "Help"
    void check15Click();
    void check16Click();
    void check17Click();
    void check18Click();

    // The text of "Help".
    static QString helpText();

    // The review window the send commands collect their script in: created on first use, kept
    // (with its text) while no command has shown it, discarded once shown and closed, or when a
    // command for the other database starts collecting. nullptr when there is none.
    review::Form4* form4() const { return form4_.get(); }

    // Makes the designed outer height (title bar and borders included) the bottom of "< Back"
    // (5960 + 405 twips) plus 580 twips, with the window frame as the window system reports it now.
    // The window takes that height unless the user gave it another size; it never gets smaller.
    void fitHeightToContent();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void buildControls();
    void connectHandlers();
    QPushButton* addButton(QWidget* parent, const QString& name, const QString& caption,
                           const QRect& where, ui::Growth growth);
    void selectAll(const QString& handler, TableList* list, bool selected);
    void checkClick(const QString& handler, const QCheckBox* box, const QString& key);
    // Re-fits the height when the window system has reported a frame of another size.
    void refitIfFrameChanged();

    // The send commands' shared parts (send_commands.cpp).
    // The user's answer to the overwrite question; none when the table is not on the other side.
    std::optional<ui::Answer> overwriteAnswer(ui::Command& cmd, int testStep, int askStep,
                                              int noneStep, const TableList& other,
                                              const std::string& name);
    transfer::TableResult sendTable(ui::Command& cmd, transfer::Direction direction,
                                    db::Connection* connection, int openStep,
                                    const std::string& name, std::optional<ui::Answer> answer,
                                    bool customise, const ui::EndWatch& ending,
                                    std::string& statement, transfer::SendKeys* keys);
    // The foreign keys between the tables of a send with keys, after its last table.
    void appendForeignKeys(transfer::SendKeys& keys, transfer::Direction direction);
    // The review window for the statements of a send, created on first use; its m_SendType is
    // 0 for a send to MySQL, 1 for a send to Access.
    review::Form4& reviewWindow(transfer::Direction direction);
    // Shows it modally and discards it once closed. True when an Execute in it sent statements
    // to the database (whether or not every line ran).
    bool showReviewWindow(transfer::Direction direction);

    QGroupBox* frame1_ = nullptr;
    QGroupBox* frame2_ = nullptr;
    TableList* list1_ = nullptr;
    TableList* list2_ = nullptr;
    QCheckBox* check15_ = nullptr;
    QCheckBox* check16_ = nullptr;
    QCheckBox* check17_ = nullptr;
    QCheckBox* check18_ = nullptr;
    TextProgressBar* progressBar1_ = nullptr;
    QPushButton* pushButton1_ = nullptr;
    QPushButton* pushButton2_ = nullptr;
    QPushButton* pushButton3_ = nullptr;
    QPushButton* pushButton4_ = nullptr;
    QPushButton* pushButton5_ = nullptr;
    QPushButton* pushButton6_ = nullptr;
    QPushButton* pushButton7_ = nullptr;
    QPushButton* pushButton8_ = nullptr;
    QPushButton* pushButton9_ = nullptr;
    QPushButton* pushButton10_ = nullptr;
    QPushButton* pushButton11_ = nullptr;
    QPushButton* pushButton12_ = nullptr;
    int fittedFrameHeight_ = -1;  // the frame (outer minus client height) the last fit used
    QSize designedSize_;
    ui::StretchLayout layout_;
    ui::WindowSizeMemory* sizeMemory_ = nullptr;  // owned by the window
    std::unique_ptr<review::Form4> form4_;
    bool sending_ = false;  // a send command runs (its event yields could start another)
};

}  // namespace browser
