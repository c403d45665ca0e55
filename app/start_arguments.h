// The program's command line: `dunmorrow [--startup-report] [--] [FILE]`, or `--help`, or
// `--version`.
//
// FILE is an Access file for the connection window's Access file field: as a path (relative to
// the folder the program was started in), or as a file: address, which file managers may pass.
// Qt's own options (-platform, -style, ...) are taken out by QApplication before these are read.
#pragma once

#include <QString>
#include <QStringList>

namespace app {

struct StartArguments {
    QString accessFile;  // absolute and clean; empty when no file was named
    bool startupReport = false;
    bool help = false;
    bool version = false;
    // Why the command line is not understood (an unknown option, a second file, an empty file
    // name, an address that names no local file); empty when it is.
    QString error;
};

// Reads `arguments` (without the program's own name). Every argument is read even after an
// error, so that --help and --version are seen on any command line.
StartArguments parseStartArguments(const QStringList& arguments);

// What --help prints.
QString startHelpText();
// What --version prints: "dunmorrow " and the version, one line.
QString startVersionText();

}  // namespace app
