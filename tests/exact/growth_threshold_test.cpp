// Block-floating-point growth classes of the burst engines at their edges: a
// stage output exactly at a class limit and one step of the 2^-7 classifier
// grid inside it, on both signs. Moving a limit by one step changes the block
// exponent or, where the total shift stays the same, the place where bits are
// dropped and so the results.
#include <gtest/gtest.h>

#include <random>

#include "burst_model.h"
#include "exact_call.h"

namespace {

using exact::units;

// Radix 2, N = 8, 16-bit data, truncation. Values in units of 2^-15; the
// classifier sees them truncated to 2^-7 = 256 units, so the limits 53/128 and
// 106/128 are 13568 and 27136 units. Inputs: x[0] = a, x[4] = b, x[1] = x[5] =
// e. All inputs have one redundant sign bit, so stage 0 is not shifted and
// writes a + b, a - b, 2e and zeros. Each later stage is shifted by the largest
// class written before it; the a + b path ends in the even bins and a - b in
// the odd ones (x[0] and x[4] give a + b(-1)^k). The 2e path joins bins 0 and
// 4 as +-2e/2^shifts and bins 2 and 6 as -+j2e/2^shifts, truncated; with e = 1
// and a shift of 2 at stage 1 it vanishes, while shifting 1 and 1 would carry
// it into bin 0 (half of a + b = 13569 and half of 2e = 1 make 13570 before the
// last halving).
struct Radix2Edge {
    const char* what;
    int64_t a, b, e;
    int blkExp;
    int64_t even, odd;
};

const Radix2Edge radix2Edges[] = {
    // impulse: every bin holds a shifted by the block exponent, truncated
    {"at 53/128: class 1, stage 1 halves it", 13568, 0, 0, 1, 6784, 6784},
    {"just below 53/128: class 0", 13567, 0, 0, 0, 13567, 13567},
    {"at -53/128: class 0", -13568, 0, 0, 0, -13568, -13568},
    {"just beyond -53/128: class 1, floor(-13569 / 2)", -13569, 0, 0, 1, -6785, -6785},
    // a + b = 27138 is class 2: stage 1 takes floor(27138 / 4) = 6784 (class 0)
    {"at 106/128: class 2", 13569, 13569, 1, 2, 6784, 0},
    // a + b = 27134 is class 1: 13567 after stage 1, then class 0
    {"just below 106/128: class 1", 13567, 13567, 0, 1, 13567, 0},
    // a + b = -27136 is class 1: -13568 after stage 1, then class 0
    {"at -106/128: class 1", -13568, -13568, 0, 1, -13568, 0},
    // a + b = -27138 is class 2: floor(-27138 / 4) = -6785
    {"just beyond -106/128: class 2", -13569, -13569, 1, 2, -6785, 0},
};

TEST(GrowthThresholds, Radix2ClassLimitsInBothBurstArchitectures) {
    for (int arch : {2, 4}) {
        exact::Core core({3, arch});
        for (const Radix2Edge& c : radix2Edges) {
            SCOPED_TRACE(testing::Message() << "C_ARCH " << arch << ", " << c.what);
            std::vector<double> re(8, 0.0);
            re[0] = units(c.a, 16);
            re[4] = units(c.b, 16);
            re[1] = re[5] = units(c.e, 16);
            const exact::Result r = core.run(re, {});
            ASSERT_EQ(r.code, 0);
            EXPECT_EQ(r.blkExp, c.blkExp);
            EXPECT_EQ(r.overflow, 0);
            std::vector<double> want(8);
            for (size_t k = 0; k < 8; ++k) want[k] = units(k % 2 ? c.odd : c.even, 16);
            exact::expectSame(r.re, want, "re");
            exact::expectSame(r.im, std::vector<double>(8, 0.0), "im");
        }
    }
}

// Radix 4, N = 64, 16-bit data. Limits 24/128, 48/128 and 97/128 are 6144,
// 12288 and 24832 units of 2^-15. Inputs: x[0] = a, x[16] = x[32] = x[48] = b,
// all below 1/4 (two redundant sign bits, stage 0 not shifted), so stage 0
// writes s = a + 3b to position 0 of the digit-reversed memory and a - b to
// positions 1 to 3; a - b stays in a lower class. Samples with i mod 4 != 0
// carry noise of at most 100 units: they sit in the upper three quarters of
// the memory, which stages 0 and 1 keep apart from s, and their growth stays
// in class 0, so the class of s (and then of s shifted) decides every shift:
//   stage 1 shift = class(s); stage 2 shift = class(s >> stage 1 shift),
// where the shifted s (truncated below) rounds to a value of the same class
// under convergent rounding.
// The noise meets s in stage 2 through non-trivial twiddles, so shifting 2 and
// 1 instead of 3 and 0 (or 1 and 1 instead of 2 and 0) changes the results
// even where the block exponent is the same. The model gives the results.
struct Radix4Edge {
    const char* what;
    int64_t a, b;
    int blkExp;
};

const Radix4Edge radix4Edges[] = {
    {"at 24/128: s = 6144 class 1, then 3072 class 0", 144, 2000, 1},
    {"just below 24/128: s = 6143 class 0", 143, 2000, 0},
    {"at -24/128: s = -6144 class 0", -144, -2000, 0},
    {"just beyond -24/128: s = -6145 class 1, then -3073 class 0", -145, -2000, 1},
    {"at 48/128: s = 12288 class 2, then 3072 class 0", 288, 4000, 2},
    {"just below 48/128: s = 12286 class 1, then 6143 class 0", 286, 4000, 1},
    {"at -48/128: s = -12288 class 1, then -6144 class 0", -288, -4000, 1},
    {"just beyond -48/128: s = -12289 class 2, then -3073 class 0", -289, -4000, 2},
    {"at 97/128: s = 24832 class 3, then 3104 class 0", 832, 8000, 3},
    {"just below 97/128: s = 24831 class 2, then 6207 class 1", 831, 8000, 3},
    {"at -97/128: s = -24832 class 2, then -6208 class 1", -832, -8000, 3},
    {"just beyond -97/128: s = -24833 class 3, then -3105 class 0", -833, -8000, 3},
};

TEST(GrowthThresholds, Radix4ClassLimits) {
    exact::Core truncating({6, 1, 16, 16, 1, 1, 0}), rounding({6, 1, 16, 16, 1, 1, 1});
    std::mt19937 rng(97);
    std::uniform_int_distribution<int64_t> noise(-100, 100);
    for (const Radix4Edge& c : radix4Edges) {
        std::vector<model::Cx> x(64);
        for (size_t i = 0; i < 64; ++i) {
            if (i % 4 != 0) x[i] = {noise(rng), noise(rng)};
        }
        x[0].re = c.a;
        x[16].re = x[32].re = x[48].re = c.b;
        std::vector<double> re(64), im(64);
        for (size_t i = 0; i < 64; ++i) {
            re[i] = units(x[i].re, 16);
            im[i] = units(x[i].im, 16);
        }
        for (bool round : {false, true}) {
            for (int direction : {1, 0}) {
                SCOPED_TRACE(testing::Message() << c.what << ", rounding " << round << ", direction " << direction);
                model::Config mc;
                mc.nfftMax = mc.nfft = 6;
                mc.rounding = round;
                mc.direction = direction;
                const model::Output want = model::Burst(mc).radix4(x);
                ASSERT_EQ(want.blkExp, c.blkExp) << "the model disagrees with the worked class chain";
                const exact::Result r = (round ? rounding : truncating).run(re, im, direction);
                ASSERT_EQ(r.code, 0);
                EXPECT_EQ(r.blkExp, c.blkExp);
                std::vector<double> wantRe(64), wantIm(64);
                for (size_t k = 0; k < 64; ++k) {
                    wantRe[k] = units(want.x[k].re, 16);
                    wantIm[k] = units(want.x[k].im, 16);
                }
                exact::expectSame(r.re, wantRe, "re");
                exact::expectSame(r.im, wantIm, "im");
            }
        }
    }
}

}  // namespace
