// Form3, the "Data Type Customization" dialog: the fields of one source table beside a proposed
// target type for each, which the user may change before the dialog completes the caller's
// CREATE TABLE statement.
//
// Form3 is the object the send commands talk to; it lives as long as the program (form3()) and
// keeps its public variables between showings. Its window, Form3Window, is built anew at every
// showing (running Form_Load, which fills the lists from the source table's first row) and
// destroyed when it closes. Its title names the table (mTableName); it may be made larger than
// designed, the lists growing, and remembers the size the user gave it.
//
// Contract with the callers: set ui::CustomizeCancelled, then mType ("MySQL" or "ACCESS"), mSQL
// (the statement head ending in "(") and mTableName; call showModal(). CustomizeCancelled still
// set afterwards means the dialog was left without "OK" and mSQL is unchanged; otherwise mSQL is
// the complete statement.
#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

#include "transfer/column_mapping.h"
#include "ui/stretch_layout.h"

class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace ui {
class WindowSizeMemory;
}

namespace typecustom {

class Form3Window;

// "Data Type Customization - " and the table's name; without a name, the first part alone.
QString dialogTitle(const std::string& tableName);

class Form3 {
  public:
    std::string mType;       // "ACCESS" or "MySQL", compared case-sensitively
    std::string mSQL;        // the statement head on entry, the whole statement after "OK"
    std::string mTableName;  // the source table
    // The numeric field names "OK" replaced, and their replacements, in step; never cleared.
    std::vector<std::string> mOldFieldNames;
    std::vector<std::string> mNewFieldNames;
    // Set by a send that carries keys and indexes for the showing: what "OK" writes after each
    // column's name, made from the type in the list (empty: the type alone).
    transfer::ColumnDecorator mColumnDecorator;

    // Builds the window, shows it modally over `parent` and returns when it has closed.
    void showModal(QWidget* parent = nullptr);
    // The window while it is shown, else nullptr.
    Form3Window* window() const { return window_; }

  private:
    friend class Form3Window;
    Form3Window* window_ = nullptr;
};

// The program's one dialog object.
Form3& form3();

class Form3Window : public QDialog {
    Q_OBJECT
  public:
    // Builds the controls and runs Form_Load (type inference included).
    explicit Form3Window(Form3& form, QWidget* parent = nullptr);
    ~Form3Window() override;

    QGroupBox* frame1() const { return frame1_; }
    QGroupBox* frame2() const { return frame2_; }
    QGroupBox* frame3() const { return frame3_; }
    QListWidget* list1() const { return list1_; }
    QListWidget* list2() const { return list2_; }
    QLineEdit* text1() const { return text1_; }
    QPushButton* pushButton1() const { return pushButton1_; }  // "Change"
    QPushButton* pushButton2() const { return pushButton2_; }  // "OK"
    QPushButton* pushButton3() const { return pushButton3_; }  // "Help"
    QPushButton* pushButton4() const { return pushButton4_; }  // "Cancel"
    bool changed() const { return mChanged_; }

    // The commands and events, each under its own failure report.
    void formLoad();
    void list1Click();
    void list2Click();
    void pushButton1Click();  // "Change"
    void pushButton2Click();  // "OK"
    void pushButton3Click();  // "Help"
    void pushButton4Click();  // "Cancel"
    // Asked before every closing; true lets the window close.
    bool formQueryUnload();

    // Part of Form_Load: fill the lists from the first row of the source table.
    void InferTypesFromMySQL();
    void InferTypesFromAccess();

    void done(int result) override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void buildControls();
    // For an Access target: asks for a new name for each field whose name Access cannot hold,
    // and writes it into the field list. False when the user gave no name (OK then stops).
    bool renameFieldsAccessCannotHold();
    void inferTypes(const std::string& connectionString, bool accessTarget);

    Form3& form_;
    bool mChanged_ = false;
    bool okRunning_ = false;  // "OK" lets events run; a second OK or a close must wait for it

    QGroupBox* frame1_ = nullptr;
    QGroupBox* frame2_ = nullptr;
    QGroupBox* frame3_ = nullptr;
    QListWidget* list1_ = nullptr;
    QListWidget* list2_ = nullptr;
    QLineEdit* text1_ = nullptr;
    QPushButton* pushButton1_ = nullptr;
    QPushButton* pushButton2_ = nullptr;
    QPushButton* pushButton3_ = nullptr;
    QPushButton* pushButton4_ = nullptr;
    QSize designedSize_;
    ui::StretchLayout layout_;
    ui::WindowSizeMemory* sizeMemory_ = nullptr;  // owned by the window
};

}  // namespace typecustom
