#include <gtest/gtest.h>

#include "engine/FFT.h"

namespace {

FFT withLength(int nfft) {
    FFT f;
    f.nfft = nfft;
    f.nfft_odd = nfft & 1;
    f.half_nfft = nfft >> 1;
    return f;
}

FixComplex pair(double re, double im, int width = 16) {
    FixComplex c;
    c.re.setFormat(width, width - 1, Signed, Truncate, Wrap);
    c.im.setFormat(width, width - 1, Signed, Truncate, Wrap);
    c.re = re;
    c.im = im;
    return c;
}

TEST(IndexFunctions, ReversalsAndSums) {
    EXPECT_EQ(withLength(3).bitReverse(1), 4);
    EXPECT_EQ(withLength(3).bitReverse(6), 3);
    EXPECT_EQ(withLength(3).bitReverseShort(1), 2);
    EXPECT_EQ(withLength(1).bitReverseShort(1), 0);
    EXPECT_EQ(withLength(6).digitReverse(1), 16);
    EXPECT_EQ(withLength(7).digitReverse(1), 64);
    EXPECT_EQ(withLength(7).digitReverse(2), 16);
    EXPECT_EQ(withLength(8).digitSum(255 + 256 * 3), 12);  // digits above the fourth are ignored
    EXPECT_EQ(withLength(5).bitSum(0x7F), 5);
}

// Redundant sign bits of 8-bit values and the growth classes of 16-bit
// samples (the probe truncates to 7 fraction bits) at their thresholds.
TEST(Headroom, SignBitsAndGrowthClasses) {
    for (const auto& [v, headroom] : {std::pair(0.0, 3), {0.5, 0}, {0.25, 1}, {-0.5, 1}, {-0.25, 2}, {-1.0, 0}})
        EXPECT_EQ(FFT::signHeadroom(pair(v, 0.0, 8).re), headroom) << v;
    EXPECT_EQ(FFT::sampleHeadroom(pair(-0.1, 0.3)), 1);
    FFT f;
    const double below = 1.0 / 256;
    const struct {
        double v;
        int class2, class4;
    } cases[] = {{-0.4140625, 0, 2}, {0.4140625, 1, 2}, {0.4140625 - below, 0, 2}, {-0.828125, 1, 3},
                 {0.828125, 2, 3},   {-0.1875, 0, 0},   {0.1875, 0, 1},            {0.7578125 - below, 1, 2}};
    for (const auto& c : cases) {
        f.bfp_growth = 0;
        EXPECT_EQ(f.growthClass2(pair(c.v, 0.0)), c.class2) << c.v;
        EXPECT_EQ(f.growthClass4(pair(0.0, c.v)), c.class4) << c.v;
    }
    f.bfp_growth = 2;
    EXPECT_EQ(f.growthClass2(pair(0.0, 0.0)), 2);
}

// Stage s shifts by schedule entry s (bits 2s + 1 and 2s); the block
// exponent adds the shifts up.
TEST(StageShift, ScheduleAndBlockExponent) {
    FFT f;
    f.has_scaling = 1;
    f.scaling_word = 1 + 2 * 4 + 3 * 16;
    for (int s = 0; s < 3; ++s) EXPECT_EQ(f.stageShift(s), s + 1);
    EXPECT_EQ(f.blk_exp, 6);
}

}  // namespace
