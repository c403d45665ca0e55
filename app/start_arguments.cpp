// Reading the program's command line.
#include "app/start_arguments.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#ifndef DM_VERSION
#define DM_VERSION "unknown"
#endif

namespace app {

namespace {

// `argument` as an absolute, clean local path, or empty when it names no local file.
QString localPath(const QString& argument) {
    QString path = argument;
    if (argument.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive)) {
        const QUrl url(argument);
        if (!url.isValid() || !url.isLocalFile()) return {};
        // A file on another machine (file://server/...) is not one this program can open.
        const QString host = url.host();
        if (!host.isEmpty() && host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) != 0)
            return {};
        path = url.path(QUrl::FullyDecoded);
    }
    if (path.isEmpty()) return {};
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

}  // namespace

StartArguments parseStartArguments(const QStringList& arguments) {
    StartArguments start;
    auto fail = [&](const QString& why) {
        if (start.error.isEmpty()) start.error = why;
    };
    int files = 0;
    bool optionsEnded = false;
    for (const QString& a : arguments) {
        if (!optionsEnded && a.startsWith('-') && a != QStringLiteral("-")) {
            if (a == QStringLiteral("--"))
                optionsEnded = true;
            else if (a == QStringLiteral("--help") || a == QStringLiteral("-h"))
                start.help = true;
            else if (a == QStringLiteral("--version"))
                start.version = true;
            else if (a == QStringLiteral("--startup-report"))
                start.startupReport = true;
            else
                fail(QStringLiteral("unknown option ") + a);
            continue;
        }
        if (++files > 1) {
            fail(QStringLiteral("only one file can be opened at a time"));
            continue;
        }
        const QString path = localPath(a);
        if (path.isEmpty())
            fail(a.isEmpty() ? QStringLiteral("the file name is empty")
                             : QStringLiteral("\"") + a + QStringLiteral("\" names no local file"));
        else
            start.accessFile = path;
    }
    return start;
}

QString startHelpText() {
    return QStringLiteral(
        "Usage: dunmorrow [--startup-report] [FILE]\n"
        "\n"
        "Copies tables between Microsoft Access files (.mdb, .accdb) and MySQL or MariaDB\n"
        "databases, in both directions.\n"
        "\n"
        "FILE, an Access file, goes into the Access file field of the connection window and\n"
        "becomes the remembered one. When the remembered MySQL login works, the table browser\n"
        "opens at once with the tables of FILE and of the database.\n"
        "\n"
        "  --startup-report  starts as usual, then prints which window is shown, the Access\n"
        "                    file and the tables of both lists, and ends; message boxes are\n"
        "                    printed to standard error and answered No or Cancel (exit\n"
        "                    status 1 when there was one). For checking an installation,\n"
        "                    also without a screen: QT_QPA_PLATFORM=offscreen.\n"
        "  --help            prints this text\n"
        "  --version         prints the version\n"
        "\n"
        "The remembered logins live in ~/.config/Kestrelane.conf. See dunmorrow(1).\n");
}

QString startVersionText() {
    return QStringLiteral("dunmorrow " DM_VERSION "\n");
}

}  // namespace app
