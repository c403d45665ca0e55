// Form5, "Find and Replace": replaces every occurrence of one text by another in the whole
// statement text of the review window, then closes. Both boxes start empty at every opening;
// "Replace All" refuses while either is empty, so replacing by nothing is not possible here.
// The dialog may be made wider than designed (the text boxes grow) and remembers its size.
#pragma once

#include <QDialog>

#include "ui/stretch_layout.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {
class WindowSizeMemory;
}

namespace review {

class ScriptEditor;

class Form5 : public QDialog {
    Q_OBJECT

  public:
    // `target` is the review window's statement text; it must outlive the dialog.
    Form5(ScriptEditor* target, QWidget* parent = nullptr);

    void pushButton3Click();  // "Replace All"
    void pushButton1Click();  // "Cancel"

    QLabel* Label1[2] = {nullptr, nullptr};
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPushButton* PushButton3 = nullptr;
    QPushButton* PushButton1 = nullptr;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void formLoad();

    ScriptEditor* target_;
    QSize designedSize_;
    ui::StretchLayout layout_;
    ui::WindowSizeMemory* sizeMemory_ = nullptr;  // owned by the dialog
};

}  // namespace review
