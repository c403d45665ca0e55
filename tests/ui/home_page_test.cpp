// The occasional home-page visit: the draw, the address, the built-in random source.
#include <gtest/gtest.h>

#include "tests/support/gui_fixture.h"
#include "ui/home_page.h"

namespace {

class HomePageTest : public testenv::GuiTest {};

TEST(HomePageDraw, IntegerPartOfAHundredfoldPlusOne) {
    auto from = [](double r) { return ui::drawOneToHundred([r] { return r; }); };
    EXPECT_EQ(from(0.0), 1);
    EXPECT_EQ(from(0.06), 7);
    EXPECT_EQ(from(0.0699999), 7);
    EXPECT_EQ(from(0.07), 8);
    EXPECT_EQ(from(0.9999999), 100);
    // A source that strays outside [0, 1) stays within the range.
    EXPECT_EQ(from(1.0), 100);
    EXPECT_EQ(from(-0.5), 1);
}

TEST_F(HomePageTest, OnlyASevenOpensTheHomePage) {
    for (double r : {0.0, 0.05, 0.07, 0.5, 0.99}) {
        ui::setHomePageRandomSource([r] { return r; });
        EXPECT_FALSE(ui::maybeOpenHomePage()) << r;
    }
    EXPECT_TRUE(opened.isEmpty());
    ui::setHomePageRandomSource([] { return 0.065; });
    EXPECT_TRUE(ui::maybeOpenHomePage());
    EXPECT_EQ(opened, QStringList{"https://www.dunmorrow.example.com/"});
}

TEST(HomePageDraw, TheBuiltInSourceOpensAboutOnceInAHundred) {
    int sevens = 0;
    const int draws = 20000;
    for (int i = 0; i < draws; ++i) {
        const double r = ui::timeSeededRandom();
        ASSERT_GE(r, 0.0);
        ASSERT_LT(r, 1.0);
        if (ui::drawOneToHundred([r] { return r; }) == 7) ++sevens;
    }
    // 200 expected; the bounds are more than six standard deviations away.
    EXPECT_GT(sevens, 115);
    EXPECT_LT(sevens, 285);
}

}  // namespace
