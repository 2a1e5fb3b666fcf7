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

VFix sample(double v) {
    VFix x;
    x.setFormat(8, 7, Signed, Truncate, Wrap);
    x = v;
    return x;
}

FixComplex pair(double re, double im) {
    FixComplex c;
    c.re.setFormat(16, 15, Signed, Truncate, Wrap);
    c.im.setFormat(16, 15, Signed, Truncate, Wrap);
    c.re = re;
    c.im = im;
    return c;
}

TEST(IndexFunctions, BitReversal) {
    FFT f = withLength(3);
    EXPECT_EQ(f.bitReverse(1), 4);
    EXPECT_EQ(f.bitReverse(6), 3);
    EXPECT_EQ(f.bitReverseShort(1), 2);
    EXPECT_EQ(f.bitReverseShort(3), 3);
    EXPECT_EQ(withLength(1).bitReverseShort(1), 0);
    FFT g = withLength(10);
    for (int i = 0; i < 1024; ++i) EXPECT_EQ(g.bitReverse(g.bitReverse(i)), i);
}

TEST(IndexFunctions, DigitReversalAndSums) {
    EXPECT_EQ(withLength(6).digitReverse(1), 16);
    EXPECT_EQ(withLength(7).digitReverse(1), 64);
    EXPECT_EQ(withLength(7).digitReverse(2), 16);
    FFT even = withLength(8);
    EXPECT_EQ(even.digitSum(255), 12);
    EXPECT_EQ(even.digitSum(255 + 256 * 3), 12);  // digits above the fourth are ignored
    EXPECT_EQ(withLength(5).bitSum(0x7F), 5);
    // Digit reversal is a permutation for odd and even lengths.
    for (int n : {6, 7, 9}) {
        FFT f = withLength(n);
        std::vector<int> seen(1 << n, 0);
        for (int i = 0; i < (1 << n); ++i) seen[f.digitReverse(i)]++;
        for (int c : seen) EXPECT_EQ(c, 1);
    }
}

TEST(Headroom, RedundantSignBits) {
    const struct {
        double v;
        int headroom;
    } cases[] = {{0.0, 3}, {0.5, 0}, {0.25, 1}, {-0.5, 1}, {-0.25, 2}, {-1.0, 0}, {0.0625, 3}};
    for (const auto& c : cases) EXPECT_EQ(FFT::signHeadroom(sample(c.v)), c.headroom) << c.v;
    EXPECT_EQ(FFT::sampleHeadroom(pair(0.1, -0.6)), 0);
    EXPECT_EQ(FFT::sampleHeadroom(pair(0.1, 0.2)), 2);
    EXPECT_EQ(FFT::sampleHeadroom(pair(0.3, 0.1)), 1);
}

TEST(GrowthClass, RadixTwoAndFourThresholds) {
    FFT f;
    const struct {
        double v;
        int class2;
        int class4;
    } cases[] = {{-0.4140625, 0, 2}, {0.4140625, 1, 2}, {-0.828125, 1, 3}, {0.828125, 2, 3},
                 {0.1, 0, 0},        {-0.1875, 0, 0},   {0.1875, 0, 1},    {0.375, 0, 2}};
    for (const auto& c : cases) {
        f.bfp_growth = 0;
        EXPECT_EQ(f.growthClass2(pair(c.v, 0.0)), c.class2) << c.v;
        EXPECT_EQ(f.growthClass4(pair(0.0, c.v)), c.class4) << c.v;
    }
    f.bfp_growth = 2;
    EXPECT_EQ(f.growthClass2(pair(0.0, 0.0)), 2);
}

TEST(StageShift, ScheduleAndBlockExponent) {
    FFT f;
    f.has_scaling = 1;
    f.scaling_word = 1 + 2 * 4 + 3 * 16;
    f.blk_exp = 0;
    EXPECT_EQ(f.stageShift(0), 1);
    EXPECT_EQ(f.stageShift(1), 2);
    EXPECT_EQ(f.stageShift(2), 3);
    EXPECT_EQ(f.blk_exp, 6);
    f.has_bfp = 1;
    f.bfp_growth = 2;
    EXPECT_EQ(f.stageShift(3), 2);
    EXPECT_EQ(f.bfp_growth, 0);
    f.has_scaling = 0;
    EXPECT_EQ(f.stageShift(0), 0);
}

}  // namespace
