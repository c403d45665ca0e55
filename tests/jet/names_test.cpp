// Comparing names as Access does: without regard to letter case, for ASCII and Latin-1 letters.
#include <gtest/gtest.h>

#include "db/jet/catalog/names.h"

namespace {

TEST(Names, SameNameAgreesWithTheFoldedForms) {
    const char* const names[] = {
        "Orders", "ORDERS", "orders",  "Order",  "Orders ", "Ordert",  "Zürich",     "ZÜRICH",
        "zürich", "Zurich", "Zürichs", "Straße", "STRASSE", "strasse", "Æbleskiver", "æBLESKIVER",
        "",       "a",      "A",       "@",      "`",       "[",       "{",          "Ωmega",
        "ωMEGA",  "名前",   "名前 ",   "x\xC3",  "X\xC3",
    };
    for (const char* a : names)
        for (const char* b : names)
            EXPECT_EQ(jet::sameName(a, b), jet::foldName(a) == jet::foldName(b))
                << "'" << a << "' and '" << b << "'";
}

TEST(Names, LetterCaseIsIgnoredButNotTheLetters) {
    EXPECT_TRUE(jet::sameName("Order Details", "ORDER details"));
    EXPECT_TRUE(jet::sameName("Zürich", "ZÜRICH"));
    EXPECT_FALSE(jet::sameName("Zürich", "Zurich"));
    EXPECT_FALSE(jet::sameName("Orders", "Orders "));
    // The letters beside those of the alphabet in ASCII are not letters.
    EXPECT_FALSE(jet::sameName("@", "`"));
    EXPECT_FALSE(jet::sameName("[", "{"));
}

}  // namespace
