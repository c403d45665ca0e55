// The start-up check that the Access engine can be started.
//
// Creating a db::Connection starts the Access engine; it fails exactly when the engine cannot
// be started. The check explains a missing engine and offers its download pages; whatever the
// user answers, a failed check ends the program.
#pragma once

#include <QString>

namespace app {

// The question shown when the engine is missing (pieces separated by two CR LF breaks).
QString missingEngineMessage();

// True when a connection object could be created, so the program may go on. Otherwise false:
// for the "provider cannot be found" failure (number 3706, or that phrase in the description in
// any letter case) after the Yes/No question above, Yes asking the desktop to open the two
// download pages, 2010 then 2016; for any other failure without a message (the failure's text
// goes to the standard error stream only). Never throws and never shows the error report.
bool checkDatabaseEngine();

}  // namespace app
