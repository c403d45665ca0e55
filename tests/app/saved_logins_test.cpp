// The logins the windows remember, read back by dunmorrow-cli's --saved without Qt: every value
// the connection window can store, written by the settings store itself, reads back the same.
#include <gtest/gtest.h>

#include <QFile>

#include "app/cli/saved_logins.h"
#include "tests/support/gui_fixture.h"
#include "ui/settings.h"

namespace {

class SavedLoginsTest : public testenv::GuiTest {};

TEST_F(SavedLoginsTest, EveryStoredValueReadsBackAsTheWindowsReadIt) {
    const std::vector<QString> awkward = {
        QStringLiteral("plain"),
        QStringLiteral(" leading and trailing "),
        QStringLiteral("a,b;c=d"),
        QStringLiteral("quote \" and backslash \\ and #hash"),
        QStringLiteral("@at the start"),
        QStringLiteral("Tromsø €"),
        QStringLiteral("tab\there"),
        QStringLiteral("/home/user/My Files/Daten ä.accdb"),
        QString(),
    };
    for (const QString& value : awkward) {
        SCOPED_TRACE(value.toStdString());
        ASSERT_TRUE(ui::saveSetting(ui::kKeyServer, value));
        ASSERT_TRUE(ui::saveSetting(ui::kKeyPassword, value + "!"));
        ASSERT_TRUE(ui::saveSetting(ui::kKeyAccessFile, value));
        ASSERT_TRUE(ui::saveSetting(ui::kKeyAccessPassword, value));
        const auto read = cli::readSavedLogins(ui::settingsFilePath().toStdString());
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(read->server, ui::getSetting(ui::kKeyServer).toStdString());
        EXPECT_EQ(read->server, value.toStdString());
        EXPECT_EQ(read->password, (value + "!").toStdString());
        EXPECT_EQ(read->accessPath, value.toStdString());
        EXPECT_EQ(read->accessPassword, value.toStdString());
    }
    // The path the windows use, found the way the settings store finds it.
    ::setenv("XDG_CONFIG_HOME", configDir().c_str(), 1);
    EXPECT_EQ(cli::savedLoginsPath(), ui::settingsFilePath().toStdString());
}

TEST_F(SavedLoginsTest, AValueWrittenByHandWithACommaReadsAsTheItemsJoined) {
    EXPECT_EQ(cli::unescapeSettingValue("a, b ,c"), "a,b,c");
    EXPECT_EQ(cli::unescapeSettingValue("\"x, y\""), "x, y");
    EXPECT_EQ(cli::unescapeSettingValue("@@mail"), "@mail");
    EXPECT_EQ(cli::unescapeSettingValue("caf\\xe9"), "café");
    EXPECT_FALSE(cli::readSavedLogins((dir.path() / "none.conf").string()).has_value());
}

}  // namespace
