// Floating-point mode, exact: results rounded to 24 significant bits with ties
// to even, and inputs that are doubles but not singles, which the call rounds
// to single precision before it finds the input block exponent and scales.
//
// Every case uses x[0] = a and x[N/2] = b, whose transform is a + b(-1)^k.
// Each architecture carries the pair without loss up to its block shifts:
// radix 2 (28-bit data) halves both sums in stage 0 because |a| >= 1/2 after
// the input block exponent; radix 4 (29-bit data) quarters them; the pipeline
// (27-bit data) keeps the exact unscaled sums. The values below are chosen so
// that no shifted-out bit is set, so the engine result is (a +- b) / 2^shift
// exactly and only the final rounding to 24 significant bits (followed by the
// exact re-scaling by the block exponents) changes it.
#include <gtest/gtest.h>

#include <cfloat>

#include <cmath>
#include <iterator>

#include "exact_call.h"

namespace exact {
namespace {

struct Pair {
    const char* what;
    double a, b, even, odd;
};

void runPairs(const Pair* pairs, size_t count) {
    for (int arch : {1, 2, 4, 3}) {
        const int nfftMax = arch == 1 ? 6 : 3;
        const size_t n = size_t(1) << nfftMax;
        Generics g{nfftMax, arch};
        g.flt = 1;
        Core core(g);
        for (size_t p = 0; p < count; ++p) {
            const Pair& c = pairs[p];
            SCOPED_TRACE(testing::Message() << "C_ARCH " << arch << ", " << c.what);
            std::vector<double> re(n, 0.0);
            re[0] = c.a;
            re[n / 2] = c.b;
            const Result r = core.run(re, {});
            ASSERT_EQ(r.code, 0);
            EXPECT_EQ(r.blkExp, 0);
            EXPECT_EQ(r.overflow, 0);
            std::vector<double> want(n);
            for (size_t k = 0; k < n; ++k) want[k] = k % 2 ? c.odd : c.even;
            expectSame(r.re, want, "re");
            expectSame(r.im, std::vector<double>(n, 0.0), "im");
        }
    }
}

// a = +-0.625 sets the input block exponent to 0; b = m 2^-26 is on every
// data grid. a + b has up to 26 significant bits; its 24-bit rounding is the
// nearest multiple of 2^-24 (an ulp of a single in [0.5, 1)), that is of 4
// steps of b, with ties to the even multiple:
//   m = 2:  +-2 steps is half an ulp on both sides: both go to 0.625
//           (25 bits would keep them, ties away from zero would not);
//   m = 3:  3/4 and -3/4 ulp: 0.625 +- 2^-24 (23 bits would give 0.625);
//   m = 10: 2.5 and -2.5 ulp: ties to the even multiples 0.625 +- 2^-23.
TEST(FloatExact, ResultsRoundTo24SignificantBitsTiesToEven) {
    const double u = std::ldexp(1.0, -26);
    const Pair pairs[] = {
        {"a + b and a - b half an ulp off", 0.625, 2 * u, 0.625, 0.625},
        {"three quarters of an ulp", 0.625, 3 * u, 0.625 + std::ldexp(1.0, -24), 0.625 - std::ldexp(1.0, -24)},
        {"two and a half ulps", 0.625, 10 * u, 0.625 + std::ldexp(1.0, -23), 0.625 - std::ldexp(1.0, -23)},
        {"negative, half an ulp off", -0.625, 2 * u, -0.625, -0.625},
    };
    runPairs(pairs, std::size(pairs));
}

// 1 - 2^-30 becomes 1.0 as a single: the largest magnitude is 1.0, the input
// block exponent 1 (not 0), and the sample is exactly 1/2. 0.75 + 2^-26 +
// 2^-40 becomes 0.75 as a single (sample 3/8), although scaling the double
// first would round it to 3/8 + 2^-27 on the radix-2 grid. So the results are
// those of a = 1 and b = 0.75: 1.75 and 0.25 (or -0.25 and -1.75 for a = -1).
TEST(FloatExact, DoubleInputsAreRoundedToSinglesBeforeScanAndScaling) {
    const double a = 1.0 - std::ldexp(1.0, -30), b = 0.75 + std::ldexp(1.0, -26) + std::ldexp(1.0, -40);
    const Pair pairs[] = {
        {"largest magnitude just below 1", a, b, 1.75, 0.25},
        {"largest magnitude just below 1, negative", -a, b, -0.25, -1.75},
    };
    runPairs(pairs, std::size(pairs));
}

// An impulse keeps its height, as a single, for any input block exponent (0
// for zero and 0.75, 2 for 3.0, negative for tiny values), silently: the
// block exponents of the input and of the engine are undone exactly. So an
// impulse of the double 0.1 gives 0.1f in every bin, not 0.1, and one of the
// largest single, of either sign, gives it in every bin: at the edge of the
// range, not beyond it, so without overflow.
TEST(FloatExact, ImpulseKeepsItsSingleInEveryBin) {
    for (int arch : {1, 2, 3, 4}) {
        for (const double x : {0.0, 3.0, 0.75, -1.5e-20, 6.0e25, 0.1, double(FLT_MAX), -double(FLT_MAX)}) {
            SCOPED_TRACE(testing::Message() << "C_ARCH " << arch << " impulse " << x);
            const int nfftMax = arch == 1 ? 6 : 3;
            Generics g{nfftMax, arch};
            g.flt = 1;
            const size_t n = size_t(1) << nfftMax;
            std::vector<double> re(n, 0.0);
            re[0] = x;
            Result r;
            EXPECT_EQ(captureStderr([&] { r = Core(g).run(re, {}); }), "");
            ASSERT_EQ(r.code, 0);
            EXPECT_EQ(r.overflow, 0);
            EXPECT_EQ(r.blkExp, 0);
            expectSame(r.re, std::vector<double>(n, static_cast<double>(static_cast<float>(x))), "re");
            expectSame(r.im, std::vector<double>(n, 0.0), "im");
        }
    }
}

}  // namespace
}  // namespace exact
