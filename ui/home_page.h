// The occasional visit to the maker's home page at start-up.
//
// maybeOpenHomePage() draws a whole number from 1 to 100 and opens the home page when it is 7,
// so about one start in a hundred shows the page. The random source can be replaced so that
// tests decide the draw.
#pragma once

#include <functional>

namespace ui {

// A source of uniform numbers in [0, 1).
using RandomSource = std::function<double()>;

// The draw: the integer part of source() * 100, plus 1 (1 to 100).
int drawOneToHundred(const RandomSource& source);

// The built-in source: a generator seeded from the time of day at each call.
double timeSeededRandom();

// Draws once and, on a 7, opens the home page through openUrl(). Returns true when it asked
// for the page.
bool maybeOpenHomePage();

// Replaces the random source of maybeOpenHomePage(); an empty function restores the built-in.
void setHomePageRandomSource(RandomSource source);

}  // namespace ui
