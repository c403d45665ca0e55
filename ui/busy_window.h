// A window while a command's work runs: its buttons and check boxes are disabled, so that no
// second command starts and no choice the work reads changes under it, while the window keeps
// painting. Each control gets back the state it had; controls of other windows (a dialog the
// window owns) are left alone, and a BusyWindow made while another holds the window changes
// nothing.
#pragma once

#include <QPointer>
#include <vector>

class QAbstractButton;
class QWidget;

namespace ui {

class BusyWindow {
  public:
    explicit BusyWindow(QWidget* window);
    ~BusyWindow();
    BusyWindow(const BusyWindow&) = delete;
    BusyWindow& operator=(const BusyWindow&) = delete;

  private:
    std::vector<QPointer<QAbstractButton>> disabled_;
};

}  // namespace ui
