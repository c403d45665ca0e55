// The question "Delete Table/s" asks: one table, up to five named, more named in part and
// counted.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browser/delete_question.h"

namespace {

TEST(DeleteQuestion, NamesOneTableOrUpToFiveAndCountsTheRest) {
    EXPECT_EQ(browser::deleteQuestionText({"Orders"}, browser::kAccessDatabase),
              "Delete the table Orders from the Access database?\r\nThis cannot be undone.");
    EXPECT_EQ(browser::deleteQuestionText({"a", "Invoices 2024"}, browser::kMySqlDatabase),
              "Delete these 2 tables from the MySQL database?\r\na, Invoices 2024\r\n"
              "This cannot be undone.");
    const std::vector<std::string> five{"a", "b", "c", "d", "e"};
    EXPECT_EQ(browser::deleteQuestionText(five, browser::kMySqlDatabase),
              "Delete these 5 tables from the MySQL database?\r\na, b, c, d, e\r\n"
              "This cannot be undone.");
    std::vector<std::string> sixteen;
    for (int i = 1; i <= 16; ++i)
        sixteen.push_back("t" + std::to_string(i));
    EXPECT_EQ(browser::deleteQuestionText(sixteen, browser::kAccessDatabase),
              "Delete these 16 tables from the Access database?\r\nt1, t2, t3, t4, t5 and 11 "
              "more\r\nThis cannot be undone.");
    std::vector<std::string> six = five;
    six.push_back("f");
    EXPECT_EQ(browser::deleteQuestionText(six, browser::kAccessDatabase),
              "Delete these 6 tables from the Access database?\r\na, b, c, d, e and 1 more\r\n"
              "This cannot be undone.");
}

}  // namespace
