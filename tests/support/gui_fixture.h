// A fixture for window tests: a scratch settings store and program folder per test, scripted
// prompts, a recording URL opener, and a home-page draw that never opens the page.
#pragma once

#include <gtest/gtest.h>

#include <QSettings>
#include <QString>
#include <QStringList>
#include <filesystem>

#include "tests/support/qt_printers.h"
#include "tests/support/test_env.h"
#include "ui/app_title.h"
#include "ui/home_page.h"
#include "ui/program_state.h"
#include "ui/prompt_service.h"
#include "ui/url_opener.h"

namespace testenv {

class GuiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(configDir());
        std::filesystem::create_directories(programDir());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, qpath(configDir()));
        ui::setProgramFolder(qpath(programDir()));
        ui::setPromptService(&prompts);
        ui::setUrlOpener([this](const QString& address) {
            opened << address;
            return true;
        });
        // 0.5 draws 51: the home page stays closed unless a test says otherwise.
        ui::setHomePageRandomSource([] { return 0.5; });
        ui::setApplicationTitle();
    }

    void TearDown() override {
        EXPECT_TRUE(prompts.unexpected().empty())
            << "unanswered prompt: " << prompts.unexpected().front().toStdString();
        ui::setPromptService(nullptr);
        ui::setHomePageRandomSource({});
        ui::setProgramFolder(QString());
        ui::setUrlOpener([](const QString&) { return false; });
    }

    static QString qpath(const std::filesystem::path& p) {
        return QString::fromStdString(p.string());
    }
    std::filesystem::path configDir() const { return dir.path() / "config"; }
    std::filesystem::path programDir() const { return dir.path() / "program"; }

    TempDir dir;
    ui::ScriptedPrompts prompts;
    QStringList opened;  // addresses handed to the URL opener
};

}  // namespace testenv
