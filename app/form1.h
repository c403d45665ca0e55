// Form1, the connection window: the MySQL and Access logins, "Test Connection", "Help", the
// browse dialog, the sample database, "Next >", and the start-up sequence of the program.
//
// Its seven text fields are the program's login values: every command that opens a connection
// reads them, at that moment, through ui::currentLogin(), which this window provides while it
// exists. Each field is saved to the settings store on every change and restored by formLoad().
// Closing the window ends the program. The window opens at the size its layout gives it, or the
// size the user gave it in an earlier run; the Access file field shows a long path from its
// start, the whole path as its tool tip.
#pragma once

#include <QString>
#include <QWidget>

#include "db/connection_string.h"
#include "ui/skin.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {
class WindowSizeMemory;
}

namespace app {

class Form1 : public QWidget {
    Q_OBJECT

  public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // The start-up sequence (Form_Load), steps 100 to 148. Shows the window at the end unless
    // "Next >" hid it. Returns false when the engine check failed and the program must end.
    // A non-empty `accessFile` (the file the program was started with) goes into the Access file
    // field at step 138 in place of the remembered one, and so becomes the remembered one.
    bool formLoad(const QString& accessFile = QString());

    // The seven login fields as they stand.
    db::LoginFields loginFields() const;

    // The commands of the window.
    void pushButton1Click();  // browse for the Access file
    void pushButton2Click();  // "Next >"
    void pushButton3Click();  // "Test Connection"
    void pushButton4Click();  // "Help"
    void pushButton7Click();  // "Load Sample/Example Database"

    // The help text of "Help".
    static QString helpText();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildControls();
    void connectHandlers();
    QLineEdit* addField(const QString& name, bool masked);
    QPushButton* addButton(const QString& name, const QString& caption);
    QLabel* addLabel(const QString& caption);

    QGroupBox* frame1_ = nullptr;
    QGroupBox* frame2_ = nullptr;
    QLineEdit* text1_ = nullptr;  // MySQL server
    QLineEdit* text2_ = nullptr;  // MySQL user name
    QLineEdit* text3_ = nullptr;  // MySQL password
    QLineEdit* text4_ = nullptr;  // MySQL database
    QLineEdit* text5_ = nullptr;  // Access file path
    QLineEdit* text6_ = nullptr;  // Access password
    QLineEdit* text7_ = nullptr;  // MySQL port
    QPushButton* pushButton1_ = nullptr;
    QPushButton* pushButton2_ = nullptr;
    QPushButton* pushButton3_ = nullptr;
    QPushButton* pushButton4_ = nullptr;
    QPushButton* pushButton7_ = nullptr;
    int labelCount_ = 0;
    ui::SkinFramework skinFramework1_;
    bool hiddenByNext_ = false;
    ui::WindowSizeMemory* sizeMemory_ = nullptr;  // owned by the window
};

}  // namespace app
