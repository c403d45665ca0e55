// dunmorrow-settings KEY=VALUE...: stores values in the program's settings store through the
// program's own settings code, so that scripts fill the remembered logins exactly as the
// connection window would (keys with spaces, quoting, the private file). Only the nine keys of
// the store are accepted. Prints the settings file's path.
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "ui/settings.h"

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList keys = {
        ui::kKeyServer,         ui::kKeyUser,       ui::kKeyPassword,       ui::kKeyDatabase,
        ui::kKeyPort,           ui::kKeyAccessFile, ui::kKeyAccessPassword, ui::kKeyDataTypeChange1,
        ui::kKeyDataTypeChange2};
    const QStringList args = application.arguments().mid(1);
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: dunmorrow-settings KEY=VALUE...\nkeys: %s\n",
                     qPrintable(keys.join(QStringLiteral(", "))));
        return 2;
    }
    // Every argument is checked before anything is written.
    for (const QString& arg : args) {
        const qsizetype eq = arg.indexOf(QLatin1Char('='));
        if (eq < 0 || !keys.contains(arg.left(eq))) {
            std::fprintf(stderr, "dunmorrow-settings: \"%s\" is not KEY=VALUE with one of: %s\n",
                         qPrintable(arg), qPrintable(keys.join(QStringLiteral(", "))));
            return 2;
        }
    }
    for (const QString& arg : args) {
        const qsizetype eq = arg.indexOf(QLatin1Char('='));
        if (!ui::saveSetting(arg.left(eq), arg.mid(eq + 1))) return 1;
    }
    std::printf("%s\n", qPrintable(ui::settingsFilePath()));
    return 0;
}
