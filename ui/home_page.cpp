// The home-page visit.
#include "ui/home_page.h"

#include <chrono>
#include <cmath>
#include <random>

#include "ui/url_opener.h"
#include "ui/web_addresses.h"

namespace ui {

namespace {
RandomSource gSource;
constexpr int kHomePageDraw = 7;
}  // namespace

int drawOneToHundred(const RandomSource& source) {
    const double r = source();
    // A source that strays outside [0, 1) still gives a number within the range.
    const int n = static_cast<int>(std::floor(r * 100.0)) + 1;
    return n < 1 ? 1 : (n > 100 ? 100 : n);
}

double timeSeededRandom() {
    using namespace std::chrono;
    // The time of day to the nanosecond, so that two starts in the same second still differ.
    const auto now = system_clock::now().time_since_epoch();
    const auto sinceMidnight = duration_cast<nanoseconds>(now % hours(24)).count();
    std::mt19937_64 gen(static_cast<std::uint64_t>(sinceMidnight));
    return std::uniform_real_distribution<double>(0.0, 1.0)(gen);
}

bool maybeOpenHomePage() {
    const int n = drawOneToHundred(gSource ? gSource : RandomSource(timeSeededRandom));
    if (n != kHomePageDraw) return false;
    openUrl(kHomePageAddress);
    return true;
}

void setHomePageRandomSource(RandomSource source) {
    gSource = std::move(source);
}

}  // namespace ui
