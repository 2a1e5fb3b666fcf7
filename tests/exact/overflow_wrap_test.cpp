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
        const Result r = simulate({c.nfftMax, c.arch, 16, 16, 1, 0}, std::vector<double>(n, c.level), {}, 1, c.schedule);
        ASSERT_EQ(r.code, 0);
        EXPECT_EQ(r.overflow, 1);
        EXPECT_EQ(r.blkExp, 0);
        std::vector<double> want(n, 0.0);
        want[0] = c.dc;
        expectSame(r.re, want, "re");
        expectSame(r.im, std::vector<double>(n, 0.0), "im");
    }
}

}  // namespace
}  // namespace exact
