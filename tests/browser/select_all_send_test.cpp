// "Select All" and then a send, on both sides: every table goes into the script, although the
// Access listing leaves its list without a current item.
#include <gtest/gtest.h>

#include "tests/browser/send_fixture.h"

namespace browsertest {
namespace {

const char* const kIndexFile = "access/V2003/indexTestV2003.mdb";  // Table1, Table2, Table3

class SelectAllSendTest : public SendTest {};

TEST_F(SelectAllSendTest, SelectAllCountsAsASelectionOnBothSides) {
    DM_REQUIRE_FIXTURE(kIndexFile);
    DM_REQUIRE_MYSQL();
    useAccessCopy(kIndexFile);
    auto& db = useScratchDatabase();
    db.exec("CREATE TABLE `alpha` (id INT)");
    db.exec("CREATE TABLE `beta` (id INT)");
    listBoth();
    ASSERT_EQ(list1()->listIndex(), -1);  // the Access listing leaves no current item
    button("PushButton10")->click();
    auto seen = expectReview();
    button("PushButton3")->click();
    ASSERT_TRUE(seen->shown) << "refused: " << messageTexts().join("|").toStdString();
    EXPECT_TRUE(prompts.messages().empty()) << messageTexts().join("|").toStdString();
    for (const char* t : {"Table1", "Table2", "Table3"})
        EXPECT_NE(seen->text.find(std::string("CREATE TABLE `") + t + "`"), std::string::npos) << t;

    // The MySQL side, with its current item gone as well.
    list2()->setListIndex(-1);
    button("PushButton8")->click();
    seen = expectReview();
    button("PushButton4")->click();
    ASSERT_TRUE(seen->shown) << "refused: " << messageTexts().join("|").toStdString();
    EXPECT_EQ(seen->sendType, 1);
    for (const char* t : {"alpha", "beta"})
        EXPECT_NE(seen->text.find(std::string("CREATE TABLE `") + t + "`"), std::string::npos) << t;
    EXPECT_TRUE(prompts.messages().empty()) << messageTexts().join("|").toStdString();
}

}  // namespace
}  // namespace browsertest
