// The Qt message box behind the prompt service: a request in the windows' terms turned into a
// configured QMessageBox.
//
// The box is made wide enough for its whole title: a window manager draws the title beside its
// own buttons and cuts what does not fit, and a box sized for a short text would cut a long
// title.
#pragma once

#include <QMessageBox>
#include <memory>

#include "ui/prompt_service.h"

namespace ui {

// The width a window needs for the title bar to show `title` whole in `font`: the text, and
// room for the window manager's icon and buttons, scaled with the screen's dots per inch.
int titleBarWidth(const QString& title, const QFont& font, double dotsPerInch);

// A box for `request`: its text, title, icon, buttons and default button, at least as wide as
// titleBarWidth() of its title.
std::unique_ptr<QMessageBox> createMessageBox(const MessageRequest& request, QWidget* parent);

}  // namespace ui
