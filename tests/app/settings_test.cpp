// The settings store: keys, defaults, exact round trips, the private file, and the tool that
// scripts use to fill it.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <filesystem>

#include "tests/support/gui_fixture.h"
#include "ui/settings.h"

namespace {

class SettingsTest : public testenv::GuiTest {
  protected:
    unsigned mode(const QString& path) {
        struct stat st {};
        EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
        return st.st_mode & 07777;
    }
    // The keys of the section as another QSettings reader sees them.
    QStringList storedKeys() {
        QSettings s(ui::settingsFilePath(), QSettings::IniFormat);
        s.beginGroup("Dunmorrow");
        QStringList keys = s.childKeys();
        keys.sort();
        return keys;
    }
};

TEST_F(SettingsTest, TheFileIsKestrelaneConfWithTheDunmorrowGroup) {
    EXPECT_EQ(ui::settingsFilePath(), qpath(configDir()) + "/Kestrelane.conf");
    ASSERT_TRUE(ui::saveSetting("With Data Type Change 1", "1"));
    ASSERT_TRUE(ui::saveSetting("Server", "db.example.com"));
    EXPECT_EQ(storedKeys(), (QStringList{"Server", "With Data Type Change 1"}));
    QFile f(ui::settingsFilePath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.startsWith("[Dunmorrow]\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\nServer=db.example.com\n")) << text.toStdString();
}

TEST_F(SettingsTest, AbsentKeysGiveTheDefaultAndAnEmptyValueReadsBackEmpty) {
    EXPECT_EQ(ui::getSetting("Server", "localhost"), "localhost");
    EXPECT_EQ(ui::getSetting("With Data Type Change 2", "0"), "0");
    EXPECT_EQ(ui::getSetting("User"), "");
    ASSERT_TRUE(ui::saveSetting("Server", ""));
    EXPECT_EQ(ui::getSetting("Server", "localhost"), "");
}

TEST_F(SettingsTest, TextsRoundTripExactlyPasswordsIncluded) {
    const QString tricky[] = {"a,b",
                              "p;w=d",
                              " lead and trail ",
                              "\"quoted\" \\ back",
                              "@Invalid()",
                              "#not a comment",
                              "ünïcødé 上海 🙂",
                              "x\ny",
                              "%20",
                              "=",
                              "[Dunmorrow]"};
    for (const QString& t : tricky) {
        ASSERT_TRUE(ui::saveSetting("Password", t));
        EXPECT_EQ(ui::getSetting("Password"), t);
        // Another reader, as after a restart, sees the same text.
        QSettings other(ui::settingsFilePath(), QSettings::IniFormat);
        EXPECT_EQ(other.value("Dunmorrow/Password").toString(), t);
    }
}

TEST_F(SettingsTest, TheFileIsPrivateFromTheFirstWrite) {
    std::filesystem::remove_all(configDir());
    const mode_t old = ::umask(022);
    const bool saved = ui::saveSetting("Password", "secret");
    ::umask(old);
    ASSERT_TRUE(saved);
    EXPECT_EQ(mode(ui::settingsFilePath()), 0600u);
    EXPECT_EQ(mode(qpath(configDir())), 0700u);
    ASSERT_TRUE(ui::saveSetting("User", "ann"));
    EXPECT_EQ(mode(ui::settingsFilePath()), 0600u);
}

TEST_F(SettingsTest, AnOpenFileLeftByAnotherProgramIsClosedDown) {
    {
        QFile f(ui::settingsFilePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Dunmorrow]\nUser=old\n");
    }
    ASSERT_EQ(::chmod(QFile::encodeName(ui::settingsFilePath()).constData(), 0644), 0);
    ASSERT_TRUE(ui::saveSetting("Password", "secret"));
    EXPECT_EQ(mode(ui::settingsFilePath()), 0600u);
    EXPECT_EQ(ui::getSetting("User"), "old");
}

TEST_F(SettingsTest, AStoreThatCannotBeWrittenSaysSo) {
    std::filesystem::remove_all(configDir());
    std::filesystem::create_directories(configDir());
    // A folder where the file should be: nothing can be written.
    std::filesystem::create_directories(configDir() / "Kestrelane.conf");
    EXPECT_FALSE(ui::saveSetting("User", "ann"));
}

TEST_F(SettingsTest, TheSettingsToolWritesWhatTheProgramReads) {
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", qpath(configDir()));
    tool.setProcessEnvironment(env);
    tool.start(DM_SETTINGS_TOOL, {"Server=127.0.0.1", "Password=a,b;c", "With Data Type Change 2=1",
                                  "AccessMDBFile=/tmp/x y.mdb"});
    ASSERT_TRUE(tool.waitForFinished(30000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    EXPECT_EQ(tool.readAllStandardOutput().trimmed(), ui::settingsFilePath().toUtf8());
    EXPECT_EQ(ui::getSetting("Server"), "127.0.0.1");
    EXPECT_EQ(ui::getSetting("Password"), "a,b;c");
    EXPECT_EQ(ui::getSetting("With Data Type Change 2", "0"), "1");
    EXPECT_EQ(ui::getSetting("AccessMDBFile"), "/tmp/x y.mdb");
    EXPECT_EQ(mode(ui::settingsFilePath()), 0600u);

    // A key the store does not have is refused before anything is written.
    tool.start(DM_SETTINGS_TOOL, {"User=bob", "Sever=typo"});
    ASSERT_TRUE(tool.waitForFinished(30000));
    EXPECT_EQ(tool.exitCode(), 2);
    EXPECT_EQ(ui::getSetting("User", "none"), "none");
}

}  // namespace
