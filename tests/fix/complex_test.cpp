// Complex pairs: result formats, exact products, per-part requantisation.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "fix/FixComplex.h"
#include "fix_test_util.h"

namespace {

FixComplex cpx(i128 re, i128 im, int32_t w, int32_t f) {
    return FixComplex(withPayload(re, w, f, Signed), withPayload(im, w, f, Signed));
}

TEST(FixComplex, FormatsProductsAndRegisters) {
    const FixComplex m = cpx(-32768, -32768, 16, 15);  // -1 - 1i
    const FixComplex sum = m + m, diff = m - m, sq = m * m, r = cpx(-32768, 0, 16, 15);
    EXPECT_EQ(sum.im.width(), 18);
    EXPECT_EQ(diff.re.width(), 18);
    EXPECT_EQ(diff.im.binaryPoint, 15);
    EXPECT_EQ(sq.im.width(), 34);
    EXPECT_EQ(payloadOf(sq.re), 0);
    EXPECT_EQ(payloadOf(sq.im), 2 * pow2(30));
    EXPECT_EQ((r * r).re.toDouble(), 1.0);

    FixComplex reg;
    reg.setFormatFrom(VFix(0, 16, 15, Signed, Truncate, Saturate));
    reg = cpx(3 * pow2(14), pow2(13), 18, 15);  // 1.5 + 0.25i: only the real part clamps
    EXPECT_EQ(payloadOf(reg.re), 32767);
    EXPECT_EQ(reg.im.toDouble(), 0.25);
    reg += cpx(pow2(14), pow2(14), 16, 15);
    EXPECT_EQ(payloadOf(reg.re), 32767);
    EXPECT_EQ(reg.im.toDouble(), 0.75);
    // The pair constructor gives both parts the real part's format.
    EXPECT_EQ(FixComplex(withPayload(1, 8, 7, Signed), withPayload(3, 4, 2, Signed)).im.toDouble(), 0.75);

    const FixComplex c = FixComplex::conjugate(cpx(5, -128, 8, 7));
    EXPECT_EQ(c.im.width(), 8);
    EXPECT_EQ(payloadOf(c.im), -128);  // the most negative value wraps onto itself
    EXPECT_EQ(payloadOf(FixComplex::conjugate(cpx(5, 3, 8, 7)).im), -3);
}

// Random pairs, with imaginary parts of the real parts' shape (the datapath
// case) or of other shapes, against 128-bit integers: parts are exact at the
// finest point g, then truncated to the real parts' point and wrapped.
TEST(FixComplex, RandomProductsAndDifferences) {
    std::mt19937_64 rng(5);
    for (int iter = 0; iter < 3000; ++iter) {
        int32_t w[4], f[4];  // a.re, a.im, b.re, b.im
        i128 p[4];
        const bool sameShape = rng() % 2 == 0;
        FixComplex a, b;
        for (int k = 0; k < 4; ++k) {
            const int src = sameShape ? k & 2 : k;
            w[k] = k == src ? 1 + static_cast<int32_t>(rng() % 40) : w[src];
            f[k] = k == src ? static_cast<int32_t>(rng() % (std::min(w[k], 10) + 1)) : f[src];
            p[k] = randomPayload(rng, w[k], true);
            VFix& part = k == 0 ? a.re : k == 1 ? a.im : k == 2 ? b.re : b.im;
            part.setFormatFrom(withPayload(0, w[k], f[k], Signed));
            part = withPayload(p[k], w[k], f[k], Signed);
        }
        const auto wrap = [](i128 v, int32_t width) {
            const i128 m = ((v % pow2(width)) + pow2(width)) % pow2(width);
            return m >= pow2(width - 1) ? m - pow2(width) : m;
        };
        const int32_t g = *std::max_element(f, f + 4) * 2;
        const auto term = [&](int x, int y) { return p[x] * p[y] * pow2(g - f[x] - f[y]); };
        const FixComplex prod = a * b;
        const int32_t pw = w[0] + w[2] + 2, pf = f[0] + f[2];
        ASSERT_EQ(prod.re.width(), pw);
        ASSERT_TRUE(payloadOf(prod.re) == wrap(floorShift(term(0, 2) - term(1, 3), g - pf), pw)) << iter;
        ASSERT_TRUE(payloadOf(prod.im) == wrap(floorShift(term(0, 3) + term(1, 2), g - pf), pw)) << iter;

        const FixComplex diff = a - b;
        const int32_t sf = std::max(f[0], f[2]), sw = std::max(w[0] - f[0], w[2] - f[2]) + sf + 2;
        const auto at = [&](int x) { return p[x] * pow2(g - f[x]); };
        ASSERT_TRUE(payloadOf(diff.re) == wrap(floorShift(at(0) - at(2), g - sf), sw)) << iter;
        ASSERT_TRUE(payloadOf(diff.im) == wrap(floorShift(at(1) - at(3), g - sf), sw)) << iter;
    }
}

}  // namespace
