// The logins the windows remember, read back by dunmorrow-cli's --saved without Qt: every value
// the connection window can store, written by the settings store itself, reads back the same.
#include <gtest/gtest.h>

#include <QFile>

#include "app/cli/saved_logins.h"
#include "app/settings.h"
#include "tests/support/gui_fixture.h"

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
        ASSERT_TRUE(app::saveSetting(app::kKeyServer, value));
        ASSERT_TRUE(app::saveSetting(app::kKeyPassword, value + "!"));
        ASSERT_TRUE(app::saveSetting(app::kKeyAccessFile, value));
        ASSERT_TRUE(app::saveSetting(app::kKeyAccessPassword, value));
        const auto read = cli::readSavedLogins(app::settingsFilePath().toStdString());
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(read->server, app::getSetting(app::kKeyServer).toStdString());
        EXPECT_EQ(read->server, value.toStdString());
        EXPECT_EQ(read->password, (value + "!").toStdString());
        EXPECT_EQ(read->accessPath, value.toStdString());
        EXPECT_EQ(read->accessPassword, value.toStdString());
    }
    // The path the windows use, found the way the settings store finds it.
    ::setenv("XDG_CONFIG_HOME", configDir().c_str(), 1);
    EXPECT_EQ(cli::savedLoginsPath(), app::settingsFilePath().toStdString());
}

TEST_F(SavedLoginsTest, AValueWrittenByHandWithACommaReadsAsTheItemsJoined) {
    EXPECT_EQ(cli::unescapeSettingValue("a, b ,c"), "a,b,c");
    EXPECT_EQ(cli::unescapeSettingValue("\"x, y\""), "x, y");
    EXPECT_EQ(cli::unescapeSettingValue("@@mail"), "@mail");
    EXPECT_EQ(cli::unescapeSettingValue("caf\\xe9"), "café");
    EXPECT_FALSE(cli::readSavedLogins((dir.path() / "none.conf").string()).has_value());
}

}  // namespace
