// Helpers every window shares: the file-existence test, window colours, the application icon,
// the window pointer states and the hover convention.
//
// Pointer states, kept per window: 0 the default arrow, 11 the hourglass (a command is busy),
// 99 the custom pointer, which shows the hand loaded from "HAND-M.CUR" in the program's folder
// (or the default arrow when that file is absent). Hovering never replaces the hourglass.
#pragma once

#include <QIcon>
#include <QLineEdit>
#include <QString>
#include <QWidget>
#include <initializer_list>

namespace ui {

inline constexpr int kPointerDefault = 0;
inline constexpr int kPointerBusy = 11;
inline constexpr int kPointerCustom = 99;

// True when `path` names an existing file whose modification time can be read; never throws.
bool fileExists(const QString& path);

// The path of one of the program's own files (the pointer, the skin, the sample database):
// programFolder() + "/" + relative when that file exists, as beside a build; else the same file
// under installedDataFolder() when it exists there, as for an installed program; else the path
// in the program's folder, which names a missing file.
QString programFile(const QString& relative);

// The button-face background on the window and on its frames, check boxes, option buttons and
// labels; other controls keep theirs.
void prepareWindowColours(QWidget* window);

QIcon applicationIcon();

// The window load convention: the application icon and, when "HAND-M.CUR" exists in the
// program's folder, that file as the window's custom pointer image. The two halves are separate
// so that a window can number them as its own steps.
void setApplicationIcon(QWidget* window);
// Returns true when the pointer file exists. Throws std::runtime_error when it exists but
// cannot be read as a pointer image.
bool handPointerFileExists();
// Loads the pointer file as the window's custom pointer image, its hot spot taken from the file.
void loadHandPointer(QWidget* window);

void setMousePointer(QWidget* window, int state);
int mousePointer(const QWidget* window);

// Hover convention: moving the mouse over one of `buttons` sets the window's pointer to 99,
// over one of `others` (the window itself, frames, lists, text fields) to 0 — both only when
// the pointer is not 11.
void installHoverConvention(QWidget* window, std::initializer_list<QWidget*> buttons,
                            std::initializer_list<QWidget*> others);

// Focus received selects the whole text of `field` (start 0, length = text length), whether the
// focus came by keyboard, by a click or by the program.
void selectAllOnFocus(QLineEdit* field);

// A field that holds a file path shows the path's start whenever the user is not typing in it
// (after the program set it, and when the focus leaves it), with the whole path as its tool tip,
// rather than whatever tail of a long path the last cursor position left in view.
void showPathFromItsStart(QLineEdit* field);

// Lets pending window events run once (repaint, progress display, clicks). Does nothing off the
// user-interface thread.
void processPendingEvents();

}  // namespace ui
