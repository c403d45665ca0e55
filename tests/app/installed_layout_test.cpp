// The program as installed: its own files (the sample database, the skin, the hand pointer) are
// found in the installation's data folder (share/dunmorrow beside bin/) when they are not beside
// the program, as they are in a build.
#include <gtest/gtest.h>

#include <QFile>
#include <filesystem>

#include "tests/app/form1_fixture.h"
#include "ui/program_state.h"
#include "ui/settings.h"
#include "ui/window_helpers.h"

namespace form1test {
namespace {

class InstalledLayoutTest : public Form1Test {
  protected:
    void SetUp() override {
        Form1Test::SetUp();
        bin = dir.path() / "root" / "usr" / "bin";
        share = dir.path() / "root" / "usr" / "share" / "dunmorrow";
        std::filesystem::create_directories(bin);
        std::filesystem::create_directories(share);
        ui::setProgramFolder(qpath(bin));
    }
    void write(const std::filesystem::path& path, const QByteArray& bytes) {
        std::filesystem::create_directories(path.parent_path());
        QFile f(qpath(path));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    std::filesystem::path bin, share;
};

TEST_F(InstalledLayoutTest, TheDataFolderIsFoundFromTheProgramsFolder) {
    EXPECT_EQ(ui::installedDataFolder(), qpath(share));
}

TEST_F(InstalledLayoutTest, AFileBesideTheProgramComesFirstThenTheInstallations) {
    const QString beside = qpath(bin / "Samples" / "sample.mdb");
    const QString installed = qpath(share / "Samples" / "sample.mdb");
    // Neither exists: the name beside the program, as before.
    EXPECT_EQ(ui::programFile("Samples/sample.mdb"), beside);
    write(share / "Samples" / "sample.mdb", "x");
    EXPECT_EQ(ui::programFile("Samples/sample.mdb"), installed);
    write(bin / "Samples" / "sample.mdb", "x");
    EXPECT_EQ(ui::programFile("Samples/sample.mdb"), beside);
    // A folder of that name is no file.
    std::filesystem::create_directories(share / "HAND-M.CUR");
    EXPECT_EQ(ui::programFile("HAND-M.CUR"), qpath(bin / "HAND-M.CUR"));
}

TEST_F(InstalledLayoutTest, LoadSampleNamesTheInstalledSample) {
    write(share / "Samples" / "sample.mdb", "x");
    make();
    button("PushButton7")->click();
    EXPECT_EQ(text("Text5")->text(), qpath(share / "Samples" / "sample.mdb"));
    EXPECT_EQ(ui::getSetting("AccessMDBFile"), qpath(share / "Samples" / "sample.mdb"));
}

TEST_F(InstalledLayoutTest, TheInstalledSkinAndPointerAreUsedAtStartUp) {
    write(share / "x" / "o.cjs", "QPushButton { color: rgb(4, 5, 6); }");
    write(share / "HAND-M.CUR", "not a pointer");
    ASSERT_TRUE(start());
    EXPECT_EQ(form->styleSheet(), "QPushButton { color: rgb(4, 5, 6); }");
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(prompts.messages()[0].text, "The pointer file " + qpath(share / "HAND-M.CUR") +
                                              " could not be read as a pointer image.\r\n"
                                              "in Quillfen2021/08/31.Form1.Form_Load at line 126" +
                                              kReportTail);
}

}  // namespace
}  // namespace form1test
