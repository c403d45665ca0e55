// ApplySkin and the skin component: the optional style sheet beside the program.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <filesystem>
#include <stdexcept>

#include "tests/support/gui_fixture.h"
#include "ui/skin.h"

namespace {

class SkinTest : public testenv::GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        frame = new QGroupBox("f", &window);
        label = new QLabel("l", frame);
        button = new QPushButton("b", frame);
    }
    void writeSkin(const QByteArray& bytes) {
        std::filesystem::create_directories(programDir() / "x");
        QFile f(qpath(programDir() / "x" / "o.cjs"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QColor face() const { return QApplication::palette().color(QPalette::Button); }

    QWidget window;
    QGroupBox* frame = nullptr;
    QLabel* label = nullptr;
    QPushButton* button = nullptr;
    ui::SkinFramework skin;
};

TEST_F(SkinTest, WithoutTheFileTheWindowKeepsItsDesignedLook) {
    QPalette designed = label->palette();
    designed.setColor(QPalette::Window, QColor(9, 8, 7));
    label->setPalette(designed);
    ui::applySkin(&window, skin);
    EXPECT_FALSE(skin.loaded());
    EXPECT_TRUE(window.styleSheet().isEmpty());
    EXPECT_EQ(label->palette().color(QPalette::Window), QColor(9, 8, 7));
    EXPECT_EQ(skin.applyOptions(), 0);
}

TEST_F(SkinTest, TheFileIsAppliedAsAStyleSheetWithTheOptionsSwitchedOn) {
    const QByteArray sheet = "QPushButton { color: rgb(10, 20, 30); }\n/* \xc3\xa9 */\n";
    writeSkin(sheet);
    skin.setApplyOptions(4);
    ui::applySkin(&window, skin);
    EXPECT_TRUE(skin.loaded());
    EXPECT_EQ(window.styleSheet(), QString::fromUtf8(sheet));
    EXPECT_EQ(skin.applyOptions(), 5);  // the lowest bit set, the others kept
    EXPECT_TRUE(skin.hoverEffects());
    EXPECT_TRUE(skin.styledBackground());
    EXPECT_TRUE(window.testAttribute(Qt::WA_StyledBackground));
    EXPECT_TRUE(button->testAttribute(Qt::WA_Hover));
    EXPECT_EQ(frame->palette().color(QPalette::Window), face());
    button->ensurePolished();
    EXPECT_EQ(button->palette().color(QPalette::ButtonText), QColor(10, 20, 30));
}

TEST_F(SkinTest, WithoutTheApplyBitTheWindowIsLeftAlone) {
    writeSkin("QLabel { color: red; }");
    skin.loadSkin(ui::skinFilePath());
    skin.applyWindow(&window);
    EXPECT_TRUE(window.styleSheet().isEmpty());
}

TEST_F(SkinTest, ADamagedFileFailsAfterTheColoursAndKeepsNoSheet) {
    writeSkin("QPushButton { color: red");
    EXPECT_THROW(ui::applySkin(&window, skin), std::runtime_error);
    EXPECT_FALSE(skin.loaded());
    EXPECT_TRUE(window.styleSheet().isEmpty());
    EXPECT_EQ(label->palette().color(QPalette::Window), face());

    writeSkin("QLabel { color: \xff\xfe; }");
    try {
        skin.loadSkin(ui::skinFilePath());
        ADD_FAILURE() << "bytes that are not UTF-8 were taken as a style sheet";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("is not UTF-8 text"), std::string::npos);
    }
}

}  // namespace
