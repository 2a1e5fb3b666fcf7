// Frames that overflow under a fixed schedule: the flag and the wrapped sample
// values that the frame then carries through the later stages.
#include <gtest/gtest.h>

#include "exact_call.h"

namespace exact {
namespace {

struct Wrapped {
    const char* what;
    int arch, nfftMax;
    double level;  // every real input sample
    std::vector<int32_t> schedule;
    double dc;  // bin 0; every other bin is 0
};

// A constant input leaves one non-zero sample per butterfly group, which adds
// up the group with twiddle 1; nothing below the data grid is ever dropped,
// so each stage's sum is exact until it wraps modulo 2 (modulo 4 in the
// pipeline's memory, which keeps one more integer bit).
const Wrapped wrapped[] = {
    // stage 0: 0.625; stage 1: 1.25 overflows and wraps to -0.75; stage 2
    // (shift 1): (-0.75 - 0.75) / 2 = -0.75, although 8 * 0.3125 / 2 = 1.25.
    {"radix 2", 2, 3, 0.3125, {0, 0, 1}, -0.75},
    {"radix 2, C_ARCH 4", 4, 3, 0.3125, {0, 0, 1}, -0.75},
    // level 27/128: stage 0: 4 * 27/128 = 0.84375; stage 1 (shift 1): 3.375 / 2
    // = 1.6875 overflows and wraps to -0.3125; stage 2: -1.25 wraps to 0.75.
    {"radix 4", 1, 6, 27.0 / 128, {0, 1, 0}, 0.75},
    // stage 0: 0.75; stage 1: 1.5 overflows but fits the memory; last stage:
    // 3.0 wraps in the memory to -1.0.
    {"pipeline", 3, 3, 0.375, {0, 0}, -1.0},
};

TEST(OverflowWrap, OverflowedFramesCarryWrappedValues) {
    for (const Wrapped& c : wrapped) {
        SCOPED_TRACE(c.what);
        const size_t n = size_t(1) << c.nfftMax;
        const Result r = Core({c.nfftMax, c.arch, 16, 16, 1, 0}).run(std::vector<double>(n, c.level), {}, 1, c.schedule);
        ASSERT_EQ(r.code, 0);
        EXPECT_EQ(r.overflow, 1);
        EXPECT_EQ(r.blkExp, 0);
        std::vector<double> want(n, 0.0);
        want[0] = c.dc;
        expectSame(r.re, want, "re");
        expectSame(r.im, std::vector<double>(n, 0.0), "im");
    }
}

// The pipeline element holds a twiddled product in a register with one integer
// bit more than the memory: a product beyond 4 wraps there first. N = 16,
// x[1] = x[9] = c, x[5] = x[13] = -c, c = 0.875(1 + j) = 28672(1 + j) units of
// 2^-15, schedule {0, 0}. Stage 0 leaves 2c at 1 and -2c at 5; stage 1 (block
// 0, m = 1) forms 4c = 3.5(1 + j) and multiplies it by the twiddle of pi/4,
// (23170, -23170) 2^-15: its real part, 2 * 114688 * 23170 = 5314641920 units
// of 2^-30, plus the bias 511, is truncated to 5190080 units of 2^-20 and to
// 162190 units of 2^-15 (4.9496...); it wraps to -99954 in the 18-bit output
// register and to V = 31118 in the 17-bit memory, and the overflow flag is
// set. The imaginary part is 0. The last two stages move V to bins 2, 10, 6
// and 14 as V, -V, -jV and jV without loss (the exact transform has 4c
// e^(-j pi k / 8) there).
TEST(OverflowWrap, PipelineProductWrapsInTheElementAndInMemory) {
    std::vector<double> re(16, 0.0), im(16, 0.0);
    for (size_t i : {1, 9}) re[i] = im[i] = 0.875;
    for (size_t i : {5, 13}) re[i] = im[i] = -0.875;
    const Result r = Core({4, 3, 16, 16, 1, 0}).run(re, im, 1, {0, 0});
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.overflow, 1);
    const double v = units(31118, 16);
    std::vector<double> wantRe(16, 0.0), wantIm(16, 0.0);
    wantRe[2] = v;
    wantRe[10] = -v;
    wantIm[6] = -v;
    wantIm[14] = v;
    expectSame(r.re, wantRe, "re");
    expectSame(r.im, wantIm, "im");
}

}  // namespace
}  // namespace exact
