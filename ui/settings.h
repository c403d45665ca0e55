// The settings store: the user's last logins, two check-box states and the sizes of the
// windows, kept between runs.
//
// Values are texts under organisation "Kestrelane", section "Dunmorrow", one key each; they live
// in the per-user QSettings file (on Linux ~/.config/Kestrelane.conf, group [Dunmorrow]). Every
// saveSetting() writes the file at once. Passwords are stored as typed, in plain text, so the
// file is kept readable and writable by its owner only (mode 0600), from the first write on.
#pragma once

#include <QString>

namespace ui {

inline const QString kSettingsOrganisation = QStringLiteral("Kestrelane");
inline const QString kSettingsSection = QStringLiteral("Dunmorrow");

// The nine keys of the logins and the two check boxes, spelt exactly so (spaces included).
inline const QString kKeyServer = QStringLiteral("Server");
inline const QString kKeyUser = QStringLiteral("User");
inline const QString kKeyPassword = QStringLiteral("Password");
inline const QString kKeyDatabase = QStringLiteral("Database");
inline const QString kKeyPort = QStringLiteral("Port");
inline const QString kKeyAccessFile = QStringLiteral("AccessMDBFile");
inline const QString kKeyAccessPassword = QStringLiteral("AccessPassword");
inline const QString kKeyDataTypeChange1 = QStringLiteral("With Data Type Change 1");
inline const QString kKeyDataTypeChange2 = QStringLiteral("With Data Type Change 2");
// The two "Send keys and indexes" boxes (Access to MySQL, MySQL to Access); clear when absent.
inline const QString kKeySendKeys1 = QStringLiteral("Send Keys And Indexes 1");
inline const QString kKeySendKeys2 = QStringLiteral("Send Keys And Indexes 2");

// The size the user gave each window ("WIDTHxHEIGHT", ui/window_size.h); absent until the user
// resizes the window, which then opens at its designed size.
inline const QString kKeyForm1Size = QStringLiteral("Form1 Size");
inline const QString kKeyForm2Size = QStringLiteral("Form2 Size");
inline const QString kKeyForm3Size = QStringLiteral("Form3 Size");
inline const QString kKeyForm4Size = QStringLiteral("Form4 Size");
inline const QString kKeyForm5Size = QStringLiteral("Form5 Size");

// The stored text of `key`, or `defaultValue` when the key was never written. A key written
// with an empty text reads back empty.
QString getSetting(const QString& key, const QString& defaultValue = QString());

// Stores `value` under `key` and writes the file before returning. Returns false when the file
// could not be written (the value is then lost); the program goes on without it.
bool saveSetting(const QString& key, const QString& value);

// The settings file in use.
QString settingsFilePath();

}  // namespace ui
