// The program's command line: the file to open, the options, and what is refused.
#include <gtest/gtest.h>

#include <QDir>

#include "app/start_arguments.h"
#include "tests/support/qt_printers.h"

namespace {

app::StartArguments parse(const QStringList& arguments) {
    return app::parseStartArguments(arguments);
}

TEST(StartArgumentsTest, NoArgumentsStartAsBefore) {
    const auto s = parse({});
    EXPECT_TRUE(s.accessFile.isEmpty());
    EXPECT_FALSE(s.startupReport || s.help || s.version);
    EXPECT_TRUE(s.error.isEmpty());
}

TEST(StartArgumentsTest, AFileBecomesAnAbsoluteCleanPath) {
    EXPECT_EQ(parse({"/data/shop.accdb"}).accessFile, "/data/shop.accdb");
    EXPECT_EQ(parse({"/data/./old/../shop.mdb"}).accessFile, "/data/shop.mdb");
    // Relative to the folder the program was started in.
    EXPECT_EQ(parse({"shop.mdb"}).accessFile, QDir::currentPath() + "/shop.mdb");
    EXPECT_EQ(parse({"../x/Ünïcode name.accdb"}).accessFile,
              QDir::cleanPath(QDir::currentPath() + "/../x/Ünïcode name.accdb"));
    // The file need not exist: the connection window shows it all the same.
    EXPECT_TRUE(parse({"/no/such/file.mdb"}).error.isEmpty());
}

TEST(StartArgumentsTest, AFileAddressFromAFileManagerIsTheFileItNames) {
    EXPECT_EQ(parse({"file:///home/ann/My%20Shop.accdb"}).accessFile, "/home/ann/My Shop.accdb");
    EXPECT_EQ(parse({"file://localhost/home/ann/shop.mdb"}).accessFile, "/home/ann/shop.mdb");
    EXPECT_EQ(parse({"FILE:///tmp/a%23b.mdb"}).accessFile, "/tmp/a#b.mdb");
    // Another machine's file, or an address without a path, is no local file.
    EXPECT_EQ(parse({"file://fileserver/share/shop.mdb"}).error,
              "\"file://fileserver/share/shop.mdb\" names no local file");
    EXPECT_EQ(parse({"file:"}).error, "\"file:\" names no local file");
    EXPECT_TRUE(parse({"file://fileserver/share/shop.mdb"}).accessFile.isEmpty());
}

TEST(StartArgumentsTest, OptionsAndTheEndOfOptions) {
    const auto s = parse({"--startup-report", "/d/shop.mdb"});
    EXPECT_TRUE(s.startupReport);
    EXPECT_EQ(s.accessFile, "/d/shop.mdb");
    EXPECT_TRUE(parse({"/d/shop.mdb", "--startup-report"}).startupReport);
    EXPECT_TRUE(parse({"--help"}).help);
    EXPECT_TRUE(parse({"-h"}).help);
    EXPECT_TRUE(parse({"--version"}).version);
    // After "--" a name that begins with a dash is a file.
    const auto dashed = parse({"--", "/d/-odd.mdb"});
    EXPECT_TRUE(dashed.error.isEmpty());
    EXPECT_EQ(dashed.accessFile, "/d/-odd.mdb");
    EXPECT_EQ(parse({"--", "--help"}).accessFile, QDir::currentPath() + "/--help");
    EXPECT_FALSE(parse({"--", "--help"}).help);
}

TEST(StartArgumentsTest, RefusedCommandLinesSayWhy) {
    EXPECT_EQ(parse({"--bogus"}).error, "unknown option --bogus");
    EXPECT_EQ(parse({"-x", "--also-bogus"}).error, "unknown option -x");  // the first one
    EXPECT_EQ(parse({"/a.mdb", "/b.mdb"}).error, "only one file can be opened at a time");
    EXPECT_EQ(parse({""}).error, "the file name is empty");
    // --help is seen whatever else the line holds, so that it always answers.
    const auto s = parse({"--bogus", "/a.mdb", "/b.mdb", "--help"});
    EXPECT_TRUE(s.help);
    EXPECT_FALSE(s.error.isEmpty());
}

TEST(StartArgumentsTest, HelpNamesEveryOptionAndVersionTheBuildsVersion) {
    const QString help = app::startHelpText();
    EXPECT_TRUE(help.startsWith("Usage: dunmorrow [--startup-report] [FILE]\n"));
    for (const char* option : {"--startup-report", "--help", "--version"})
        EXPECT_TRUE(help.contains(option)) << option;
    EXPECT_EQ(app::startVersionText(), "dunmorrow " DM_VERSION "\n");
}

}  // namespace
