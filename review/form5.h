// Form5, "Find and Replace": replaces every occurrence of one text by another in the whole
// statement text of the review window, then closes. Both boxes start empty at every opening;
// "Replace All" refuses while either is empty, so replacing by nothing is not possible here.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace review {

class ScriptEditor;

class Form5 : public QDialog {
    Q_OBJECT

  public:
    // `target` is the review window's statement text; it must outlive the dialog.
    Form5(ScriptEditor* target, QWidget* parent = nullptr);

    void PushButton3_Click();  // "Replace All"
    void PushButton1_Click();  // "Cancel"

    QLabel* Label1[2] = {nullptr, nullptr};
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPushButton* PushButton3 = nullptr;
    QPushButton* PushButton1 = nullptr;

  private:
    void formLoad();

    ScriptEditor* target_;
};

}  // namespace review
