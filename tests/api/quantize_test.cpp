// Rounding of the caller's doubles to the input grid: ties to even at every
// magnitude a double can hold, the sign of zero results, and the clamp below
// +1.0.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "api/quantize.h"

TEST(Quantize, RoundHalfEvenAtEveryMagnitude) {
    struct Case {
        double x, expected;
    };
    const Case cases[] = {
        {0.5, 0.0},          {1.5, 2.0},          {2.5, 2.0},         {-2.5, -2.0},       {-3.5, -4.0},
        {2.4999999999999996, 2.0},                {2.5000000000000004, 3.0},              {-0.75, -1.0},
        // Just below and above 2^51, where halves are still representable.
        {2251799813685247.5, 2251799813685248.0}, {2251799813685248.5, 2251799813685248.0},
        {2251799813685249.5, 2251799813685250.0}, {-2251799813685249.5, -2251799813685250.0},
        // From 2^52 on every double is an integer.
        {4503599627370497.0, 4503599627370497.0}, {1e300, 1e300},
    };
    for (const Case& c : cases) EXPECT_EQ(roundHalfEven(c.x), c.expected) << c.x;
    // A zero result keeps the sign of the value rounded.
    EXPECT_TRUE(std::signbit(roundHalfEven(-0.3)));
    EXPECT_TRUE(std::signbit(roundHalfEven(-0.5)));
    EXPECT_FALSE(std::signbit(roundHalfEven(0.5)));
    EXPECT_EQ(roundHalfEven(std::numeric_limits<double>::infinity()), std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(roundHalfEven(std::nan(""))));
}

TEST(Quantize, InputGridRoundsToEvenAndClampsBelowOne) {
    // 16 bits: steps of 2^-15.
    EXPECT_EQ(quantizeToWidth(0.5 + std::ldexp(1.0, -16), 16, 0), 0.5);
    EXPECT_EQ(quantizeToWidth(0.5 + 3 * std::ldexp(1.0, -16), 16, 0), 0.5 + std::ldexp(1.0, -14));
    // Just below 1.0 becomes the largest code, not +1.0, unless unclamped.
    EXPECT_EQ(quantizeToWidth(std::nextafter(1.0, 0.0), 16, 0), 1.0 - std::ldexp(1.0, -15));
    EXPECT_EQ(quantizeToWidth(std::nextafter(1.0, 0.0), 16, 1), 1.0);
    EXPECT_EQ(quantizeToWidth(-1.0, 16, 0), -1.0);
    // 25 bits, as the floating-point results use it: 24 significant bits.
    EXPECT_EQ(quantizeToWidth(0.5 + std::ldexp(1.0, -25), 25, 1), 0.5);
    EXPECT_EQ(quantizeToWidth(0.5 + 3 * std::ldexp(1.0, -25), 25, 1), 0.5 + std::ldexp(1.0, -23));
}
