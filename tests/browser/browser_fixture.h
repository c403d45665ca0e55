// Shared by the table browser tests: a Form2 made through the program's own handoff, the login
// the commands read, its controls by designer name, the report texts, copies of Access files and
// what mdb-tables reads from them.
#pragma once

#include <QCheckBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStringList>
#include <filesystem>
#include <memory>
#include <string>

#include "browser/form2.h"
#include "browser/form2_handoff.h"
#include "browser/table_list.h"
#include "db/connection_string.h"
#include "tests/support/gui_fixture.h"
#include "tests/support/mysql_scratch.h"

namespace browsertest {

inline const QString kReportTail =
    QStringLiteral("\r\rPlease email screenshot of this message to support@dunmorrow.example.com");

// The error report's text for `description` at `step` of Form2's `handler`.
QString report(const QString& description, const QString& handler, int step);

// The names of a list, top to bottom.
QStringList names(const browser::TableList* list);

// The user tables of an Access file as mdb-tables lists them, sorted as the browser's lists
// sort (without regard to letter case).
QStringList mdbTables(const std::filesystem::path& file);

// Gives a copy of an Access 97 file a database password (the file must have none): the
// password field of the header holds the password XORed with what the field holds for none.
void setJet3Password(const std::filesystem::path& file, const std::string& password);

class BrowserTest : public testenv::GuiTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The table browser as "Next >" makes it: created and loaded through the handoff.
    browser::Form2& form();
    browser::TableList* list1() { return form().list1(); }
    browser::TableList* list2() { return form().list2(); }
    QPushButton* button(const char* name) { return form().findChild<QPushButton*>(name); }

    // A copy of a fixture, named in the login as the Access file.
    std::filesystem::path useAccessCopy(const std::string& fixture, const std::string& as = {});
    // A scratch database on the test server, named in the login. REQUIRES: DM_REQUIRE_MYSQL().
    testenv::MySqlScratch& useScratchDatabase();

    // The message texts shown so far, in order.
    QStringList messageTexts() const;
    // The tables of the scratch database, sorted as the lists sort them.
    QStringList serverTables() const;

    db::LoginFields login;  // what the commands read as the connection window's fields
    std::unique_ptr<testenv::MySqlScratch> scratch;
    std::unique_ptr<browser::Form2Handoff> handoff;
};

}  // namespace browsertest
