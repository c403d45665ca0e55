// The settings store on QSettings.
#include "ui/settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QtGlobal>
#include <cerrno>

namespace ui {

namespace {

// Creates the folders leading to `dir` that are missing, each readable by its owner only.
bool makePrivateFolders(const QString& dir) {
    if (dir.isEmpty() || QFileInfo(dir).isDir()) return true;
    if (!makePrivateFolders(QFileInfo(dir).path())) return false;
    return ::mkdir(QFile::encodeName(dir).constData(), 0700) == 0 || errno == EEXIST;
}

// Makes sure the settings file exists with mode 0600 before QSettings writes it. QSettings
// replaces the file by a new one on every write but gives the new one the permissions of the
// old, so a file that starts private stays private. A file left more open by an earlier
// program is closed down too.
bool ensurePrivateFile(const QString& path) {
    if (!makePrivateFolders(QFileInfo(path).path())) return false;
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (ok && (st.st_mode & 07777) != 0600) ok = ::fchmod(fd, 0600) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

QString settingsFilePath() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganisation,
                     QString())
        .fileName();
}

QString getSetting(const QString& key, const QString& defaultValue) {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganisation, QString());
    s.beginGroup(kSettingsSection);
    const QVariant v = s.value(key);
    if (!v.isValid()) return defaultValue;
    // A value written by hand with an unquoted comma reads back as a list; its text is the
    // items joined as they stood.
    if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

bool saveSetting(const QString& key, const QString& value) {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganisation, QString());
    if (!ensurePrivateFile(s.fileName())) {
        qWarning("The settings file %s cannot be written privately; \"%s\" was not saved.",
                 qPrintable(s.fileName()), qPrintable(key));
        return false;
    }
    s.beginGroup(kSettingsSection);
    s.setValue(key, value);
    s.endGroup();
    s.sync();
    if (s.status() != QSettings::NoError) {
        qWarning("The settings file %s could not be written; \"%s\" was not saved.",
                 qPrintable(s.fileName()), qPrintable(key));
        return false;
    }
    return true;
}

}  // namespace ui
