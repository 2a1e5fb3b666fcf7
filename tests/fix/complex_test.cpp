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

TEST(FixComplex, FormatsAndExactProductsAtMinusOne) {
    const FixComplex m = cpx(-32768, -32768, 16, 15);  // -1 - 1i
    const FixComplex sum = m + m, diff = m - m, sq = m * m;
    for (const VFix* part : {&sum.re, &sum.im, &diff.re, &diff.im}) {
        EXPECT_EQ(part->width(), 18);
        EXPECT_EQ(part->binaryPoint, 15);
        EXPECT_EQ(part->type(), Signed);
    }
    EXPECT_EQ(sq.re.width(), 34);
    EXPECT_EQ(sq.im.binaryPoint, 30);
    EXPECT_TRUE(payloadOf(sq.re) == 0);
    EXPECT_TRUE(payloadOf(sq.im) == 2 * pow2(30));
    const FixComplex r = cpx(-32768, 0, 16, 15);
    EXPECT_EQ((r * r).re.toDouble(), 1.0);
    EXPECT_EQ((r * r).im.toDouble(), 0.0);
    EXPECT_EQ(sum.re.toDouble(), -2.0);
}

TEST(FixComplex, RegistersRequantiseEachPartAlone) {
    VFix fmt(0, 16, 15, Signed, Truncate, Saturate);
    FixComplex reg;
    reg.setFormatFrom(fmt);
    reg = cpx(3 * pow2(14), pow2(13), 18, 15);  // 1.5 + 0.25i
    EXPECT_TRUE(payloadOf(reg.re) == 32767);
    EXPECT_EQ(reg.im.toDouble(), 0.25);
    reg += cpx(pow2(14), pow2(14), 16, 15);
    EXPECT_TRUE(payloadOf(reg.re) == 32767);
    EXPECT_EQ(reg.im.toDouble(), 0.75);
    EXPECT_EQ(reg.im.width(), 16);

    // The pair constructor gives both parts the real part's format.
    const FixComplex c(withPayload(1, 8, 7, Signed), withPayload(3, 4, 2, Signed));
    EXPECT_EQ(c.im.width(), 8);
    EXPECT_EQ(c.im.toDouble(), 0.75);
}

TEST(FixComplex, ConjugateNegatesWithinTheWidth) {
    const FixComplex z = cpx(5, -128, 8, 7);
    const FixComplex c = FixComplex::conjugate(z);
    EXPECT_EQ(c.im.width(), 8);
    EXPECT_TRUE(payloadOf(c.im) == -128);  // the most negative value wraps onto itself
    EXPECT_TRUE(payloadOf(c.re) == 5);
    const FixComplex d = FixComplex::conjugate(cpx(5, 3, 8, 7));
    EXPECT_TRUE(payloadOf(d.im) == -3);
}

// Random pairs, with imaginary parts of the real parts' shape (the datapath
// case) and of other shapes, against 128-bit integers.
TEST(FixComplex, RandomProductsAndSumsAreExact) {
    std::mt19937_64 rng(5);
    for (int iter = 0; iter < 3000; ++iter) {
        int32_t w[4], f[4];
        i128 p[4];
        const bool sameShape = rng() % 2 == 0;
        for (int k = 0; k < 4; ++k) {
            const int src = sameShape ? k & 2 : k;  // 0, 1: a.re, a.im; 2, 3: b.re, b.im
            w[k] = k == src ? 1 + static_cast<int32_t>(rng() % 40) : w[src];
            f[k] = k == src ? static_cast<int32_t>(rng() % (std::min(w[k], 10) + 1)) : f[src];
            p[k] = randomPayload(rng, w[k], true);
        }
        FixComplex a, b;
        a.re.setFormatFrom(withPayload(0, w[0], f[0], Signed));
        a.im.setFormatFrom(withPayload(0, w[1], f[1], Signed));
        a.re = withPayload(p[0], w[0], f[0], Signed);
        a.im = withPayload(p[1], w[1], f[1], Signed);
        b.re.setFormatFrom(withPayload(0, w[2], f[2], Signed));
        b.im.setFormatFrom(withPayload(0, w[3], f[3], Signed));
        b.re = withPayload(p[2], w[2], f[2], Signed);
        b.im = withPayload(p[3], w[3], f[3], Signed);
        SCOPED_TRACE(iter);

        // Product: exact parts at point g, truncated to the real parts' point and wrapped.
        const FixComplex prod = a * b;
        const int32_t pw = w[0] + w[2] + 2, pf = f[0] + f[2];
        const int32_t g = std::max({f[0] + f[2], f[1] + f[3], f[1] + f[2], f[0] + f[3]});
        const auto term = [&](int x, int y) { return p[x] * p[y] * pow2(g - f[x] - f[y]); };
        const auto wrap = [](i128 v, int32_t width) {
            const i128 m = ((v % pow2(width)) + pow2(width)) % pow2(width);
            return m >= pow2(width - 1) ? m - pow2(width) : m;
        };
        ASSERT_EQ(prod.re.width(), pw);
        ASSERT_TRUE(payloadOf(prod.re) == wrap(floorShift(term(0, 2) - term(1, 3), g - pf), pw));
        ASSERT_TRUE(payloadOf(prod.im) == wrap(floorShift(term(0, 3) + term(1, 2), g - pf), pw));

        const FixComplex diff = a - b;
        const int32_t sf = std::max(f[0], f[2]);
        const int32_t sw = std::max(w[0] - f[0], w[2] - f[2]) + sf + 2;
        const int32_t h = std::max({f[0], f[1], f[2], f[3]});
        const auto at = [&](int x) { return p[x] * pow2(h - f[x]); };
        ASSERT_TRUE(payloadOf(diff.re) == wrap(floorShift(at(0) - at(2), h - sf), sw));
        ASSERT_TRUE(payloadOf(diff.im) == wrap(floorShift(at(1) - at(3), h - sf), sw));
        ASSERT_EQ(diff.im.isConstant, 0);
    }
}

}  // namespace
