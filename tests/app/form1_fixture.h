// Shared by the connection window tests: a loaded Form1, its controls by designer name, a
// recording table browser for "Next >", and a local port nobody listens on.
#pragma once

#include <QLineEdit>
#include <QPushButton>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/form1.h"
#include "db/connection.h"
#include "db/error.h"
#include "tests/support/gui_fixture.h"
#include "ui/browser_handoff.h"
#include "ui/command.h"
#include "ui/program_state.h"

namespace form1test {

// Stands in for the table browser, which plugs into "Next >" at step 108.
class RecordingBrowser : public ui::BrowserHandoff {
  public:
    void listAccessTables() override {
        accessPathListed = ui::currentLogin().accessPath;
        call(108, "access");
    }
    void listMySqlTables() override { call(110, "mysql"); }
    void showBrowser() override { call(112, "show"); }

    std::vector<std::string> calls;
    std::string accessPathListed;  // the Access file of the login fields at step 108
    int failAt = 0;                // the step whose call throws

  private:
    void call(int step, const char* what) {
        calls.push_back(what);
        if (step == failAt) throw db::Error(db::errc::kWrongPassword, "Not a valid password.");
    }
};

inline const QString kReportTail =
    QStringLiteral("\r\rPlease email screenshot of this message to support@dunmorrow.example.com");

inline void engineMissing() {
    throw db::Error(db::errc::kProviderNotFound,
                    "Provider cannot be found. It may not be properly installed.");
}

// A TCP port on 127.0.0.1 that refuses connections.
int closedLocalPort();

class Form1Test : public testenv::GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        ui::setBrowserHandoff(&browser);
    }
    void TearDown() override {
        ui::setBrowserHandoff(nullptr);
        db::setAccessEngineStarter(nullptr);
        form.reset();
        GuiTest::TearDown();
    }

    app::Form1& make() {
        form = std::make_unique<app::Form1>();
        return *form;
    }
    // A new Form1 through its start-up sequence, as at a program start (with `accessFile` as
    // the file named on the command line).
    bool start(const QString& accessFile = {}) {
        make();
        return form->formLoad(accessFile);
    }
    QLineEdit* text(const char* name) const { return form->findChild<QLineEdit*>(name); }
    QPushButton* button(const char* name) const { return form->findChild<QPushButton*>(name); }
    // An existing file to name as the Access file (only its existence is tested).
    QString existingFile() const;

    RecordingBrowser browser;
    std::unique_ptr<app::Form1> form;
};

}  // namespace form1test
