// State shared by the windows: the two program-wide flags, the live login fields, and the
// program's folder.
//
// The login values belong to the connection window's seven text fields; every command reads
// them at the moment it opens a connection, through currentLogin().
#pragma once

#include <QString>
#include <QWidget>
#include <functional>

#include "db/connection_string.h"

namespace ui {

// Set by a send command before it shows the type dialog; cleared only by the dialog's "OK".
extern bool CustomizeCancelled;
// Cleared by a send command before it shows the review window; set by a complete Execute.
extern bool SqlExecuted;

// The login fields as they stand now. The connection window installs the provider when it is
// created; without one every field is empty.
db::LoginFields currentLogin();
void setLoginProvider(std::function<db::LoginFields()> provider);

// The connection window, which lives until the program ends: the table browser shows it again
// on "< Back". nullptr before it exists.
QWidget* connectionWindow();
void setConnectionWindow(QWidget* window);

// Ends the program at once: every window closes (whatever it would answer to a close request)
// and the event loop, with any modal loops inside it, exits with status 0. A command whose work
// is under way sees it through ui::EndWatch, stops at its next safe point and shows nothing more.
void endProgram();

// The folder of the running program ("/" separated, no trailing slash). Tests may override it.
QString programFolder();
void setProgramFolder(const QString& folder);  // empty restores the executable's folder

// Where an installed program keeps its data files: the way from the installed program to them
// (bin/ to share/dunmorrow/, set by the build) followed from programFolder(), so the lookup works
// wherever the installation was unpacked. A folder that need not exist; no trailing slash.
QString installedDataFolder();

}  // namespace ui
