// The program itself, run as a process the way a desktop or a shell starts it: --help and
// --version without a display, refused command lines, and the start-up report of a start with
// a file argument, without and with a MySQL login that works.
#include <gtest/gtest.h>

#include <QSettings>
#include <fstream>
#include <string>

#include "tests/support/gui_fixture.h"
#include "tests/support/mysql_scratch.h"
#include "tests/support/run_program.h"
#include "tests/support/scoped_env.h"
#include "ui/settings.h"

namespace {

const std::string kProgram = DM_PROGRAM;
const std::string kSample = DM_SAMPLE_DATABASE;

using testenv::ScopedEnv;

// `err` without the notes the toolkit prints on the offscreen platform and without a runtime
// folder, which say nothing about the program.
std::string withoutToolkitNotes(const std::string& err) {
    std::string out;
    std::size_t start = 0;
    while (start < err.size()) {
        std::size_t end = err.find('\n', start);
        end = end == std::string::npos ? err.size() : end + 1;
        const std::string line = err.substr(start, end - start);
        if (line.rfind("This plugin does not support ", 0) != 0 &&
            line.rfind("QStandardPaths: ", 0) != 0)
            out += line;
        start = end;
    }
    return out;
}

class ProgramTest : public testenv::GuiTest {
  protected:
    // Runs the program with the test's scratch settings as its configuration folder; `err` of
    // the result holds what the program itself printed there.
    testenv::ProgramResult run(const std::vector<std::string>& args) {
        const ScopedEnv config("XDG_CONFIG_HOME", configDir().c_str());
        std::vector<std::string> argv{kProgram};
        argv.insert(argv.end(), args.begin(), args.end());
        testenv::ProgramResult r = testenv::runProgram(argv);
        r.err = withoutToolkitNotes(r.err);
        return r;
    }
    void saveLogin(const db::LoginFields& login) {
        ui::saveSetting("Server", QString::fromStdString(login.server));
        ui::saveSetting("Port", QString::fromStdString(login.port));
        ui::saveSetting("User", QString::fromStdString(login.user));
        ui::saveSetting("Password", QString::fromStdString(login.password));
        ui::saveSetting("Database", QString::fromStdString(login.database));
    }
    // The remembered Access file as the program left it in the settings file.
    QString rememberedAccessFile() const {
        QSettings s(ui::settingsFilePath(), QSettings::IniFormat);
        return s.value("Dunmorrow/AccessMDBFile").toString();
    }
};

TEST_F(ProgramTest, HelpAndVersionAnswerWithoutADisplay) {
    const ScopedEnv platform("QT_QPA_PLATFORM", nullptr);
    const ScopedEnv display("DISPLAY", nullptr);
    const ScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
    const auto help = run({"--help"});
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_EQ(help.out.rfind("Usage: dunmorrow [--startup-report] [FILE]\n", 0), 0u) << help.out;
    EXPECT_EQ(help.err, "");
    const auto version = run({"--version"});
    EXPECT_EQ(version.status, 0) << version.err;
    EXPECT_EQ(version.out, "dunmorrow " DM_VERSION "\n");
}

TEST_F(ProgramTest, ACommandLineNotUnderstoodIsRefusedWithStatus2) {
    const auto bogus = run({"--bogus"});
    EXPECT_EQ(bogus.status, 2);
    EXPECT_EQ(bogus.out, "");
    EXPECT_EQ(bogus.err,
              "dunmorrow: unknown option --bogus\nTry 'dunmorrow --help' for more information.\n");
    const auto two = run({"/a.mdb", "/b.mdb"});
    EXPECT_EQ(two.status, 2);
    EXPECT_EQ(two.err.rfind("dunmorrow: only one file can be opened at a time\n", 0), 0u)
        << two.err;
}

TEST_F(ProgramTest, AFileArgumentFillsTheAccessFieldOfTheConnectionWindow) {
    ui::saveSetting("Server", "127.0.0.1");
    ui::saveSetting("Port", "1");  // nothing listens there: the window stays
    ui::saveSetting("AccessMDBFile", "/remembered/old.mdb");
    const std::string file = (dir.path() / "named shop.accdb").string();
    { std::ofstream(file) << "x"; }
    // Qt's own options go to Qt, whatever their place.
    const auto r = run({"--startup-report", "-platform", "offscreen", file});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "Shown: connection window\n"
              "Access file: " +
                  file +
                  "\n"
                  "Sample database: " +
                  kSample +
                  "\n"
                  "Access tables: not listed\n"
                  "MySQL tables: not listed\n");
    EXPECT_EQ(rememberedAccessFile(), QString::fromStdString(file));
}

TEST_F(ProgramTest, WithAWorkingLoginTheFileArgumentOpensInTheTableBrowser) {
    DM_REQUIRE_MYSQL();
    testenv::MySqlScratch scratch;
    scratch.exec("CREATE TABLE `Zeta` (id INT)");
    scratch.exec("CREATE TABLE `alpha` (id INT)");
    saveLogin(scratch.login());
    const auto r = run({"--startup-report", kSample});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "Shown: table browser\n"
              "Access file: " +
                  kSample +
                  "\n"
                  "Sample database: " +
                  kSample +
                  "\n"
                  "Access tables: 4\n\tCustomers\n\tOrder Details\n\tOrders\n\tProducts\n"
                  "MySQL tables: 2\n\talpha\n\tZeta\n");
}

TEST_F(ProgramTest, AStartUpReportPrintsTheErrorReportAndEndsWithStatus1) {
    DM_REQUIRE_MYSQL();
    testenv::MySqlScratch scratch;
    saveLogin(scratch.login());
    const std::string notAccess = (dir.path() / "notes.mdb").string();
    { std::ofstream(notAccess) << "not an Access file at all"; }
    const auto r = run({"--startup-report", notAccess});
    EXPECT_EQ(r.status, 1);
    // The listing of step 108 fails; the browser opens all the same, as "Next >" goes on.
    EXPECT_EQ(r.err.rfind("Message box \"Application Error\": ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("in Quillfen2021/08/31.Form1.PushButton2_Click at line 108"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("Shown: table browser\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Access tables: 0\nMySQL tables: 0\n"), std::string::npos) << r.out;
}

}  // namespace
