#include <gtest/gtest.h>

#include <cmath>

#include "engine/R2_DIT_PE.h"

namespace {

constexpr int W = 16;
constexpr int T = 16;

struct Bench {
    explicit Bench(int rounding) {
        engine.result_width = W;
        engine.data_width = W;
        engine.twiddle_width = T;
        engine.has_rounding = rounding;
        engine.has_scaling = 1;
        for (auto& r : in) {
            r.re.setFormat(W, W - 1, Signed, Truncate, Wrap);
            r.im.setFormat(W, W - 1, Signed, Truncate, Wrap);
        }
        tw.re.setFormat(T + 1, T - 1, Signed, Truncate, Saturate);
        tw.im.setFormat(T + 1, T - 1, Signed, Truncate, Saturate);
    }
    void set(double are, double aim, double bre, double bim, double wre, double wim) {
        in[0].re = are;
        in[0].im = aim;
        in[1].re = bre;
        in[1].im = bim;
        tw.re = wre;
        tw.im = wim;
    }
    FFT engine;
    FixComplex in[2];
    FixComplex tw;
};

TEST(R2Butterfly, ComputesSumAndDifferenceOfTwiddledInput) {
    Bench b(0);
    R2_DIT_PE pe(b.in, b.engine);
    b.set(0.25, -0.125, 0.5, 0.25, 0.0, -1.0);  // w = -j: w*b = 0.25 - 0.5j
    pe.butterfly(b.tw, 1);
    EXPECT_EQ(pe.out[0].re.toDouble(), 0.25);
    EXPECT_EQ(pe.out[0].im.toDouble(), -0.3125);
    EXPECT_EQ(pe.out[1].re.toDouble(), 0.0);
    EXPECT_EQ(pe.out[1].im.toDouble(), 0.1875);
    EXPECT_EQ(pe.overflow, 0);
}

TEST(R2Butterfly, ProductTieRoundsDown) {
    Bench b(0);
    R2_DIT_PE pe(b.in, b.engine);
    b.set(0.0, 0.0, 3 * std::ldexp(1.0, -15), 0.0, std::ldexp(1.0, -4), 0.0);
    pe.butterfly(b.tw, 0);
    EXPECT_EQ(pe.product_r.re.toDouble(), std::ldexp(1.0, -18));
    b.set(0.0, 0.0, 5 * std::ldexp(1.0, -15), 0.0, std::ldexp(1.0, -4), 0.0);  // 2.5 units: rounds down
    pe.butterfly(b.tw, 0);
    EXPECT_EQ(pe.product_r.re.toDouble(), 2 * std::ldexp(1.0, -18));
    b.set(0.0, 0.0, 7 * std::ldexp(1.0, -15), 0.0, std::ldexp(1.0, -5), 0.0);  // 1.75 units: up
    pe.butterfly(b.tw, 0);
    EXPECT_EQ(pe.product_r.re.toDouble(), 2 * std::ldexp(1.0, -18));
}

TEST(R2Butterfly, ShiftOverflowAndWrap) {
    Bench b(0);
    {
        R2_DIT_PE pe(b.in, b.engine);
        b.set(0.75, 0.0, 0.75, 0.0, 1.0, 0.0);
        pe.butterfly(b.tw, 1);
        EXPECT_EQ(pe.scaled[0].re.toDouble(), 0.75);
        EXPECT_EQ(pe.overflow, 0);
        pe.butterfly(b.tw, 0);
        EXPECT_EQ(pe.overflow, 1);
        EXPECT_EQ(pe.out[0].re.toDouble(), -0.5);
        pe.butterfly(b.tw, 1);
        EXPECT_EQ(pe.overflow, 1);  // never cleared within one element's life
    }
    R2_DIT_PE pe(b.in, b.engine);
    b.set(-0.5, 0.0, -0.5, 0.0, 1.0, 0.0);  // sum exactly -1: not an overflow
    pe.butterfly(b.tw, 0);
    EXPECT_EQ(pe.out[0].re.toDouble(), -1.0);
    EXPECT_EQ(pe.overflow, 0);
}

TEST(R2Butterfly, OutputQuantisation) {
    const double halfUnit = std::ldexp(1.0, -W);
    const double nearOne = 1.0 - std::ldexp(1.0, -(W + 2));
    const struct {
        int rounding;
        double sum;
        double expect;
    } cases[] = {
        {0, -halfUnit, -2 * halfUnit},
        {1, -halfUnit, 0.0},
        {1, 3 * halfUnit, 4 * halfUnit},
        {1, nearOne, 1.0 - 2 * halfUnit},  // the largest code, not a wrap to -1
        {0, nearOne, 1.0 - 2 * halfUnit},
    };
    for (const auto& c : cases) {
        Bench b(c.rounding);
        R2_DIT_PE pe(b.in, b.engine);
        // a = 0 and w*b lands on the W + 2 fraction grid, so the sum is exact.
        b.set(0.0, 0.0, c.sum, 0.0, 1.0, 0.0);
        b.in[1].re.setFormat(W + 3, W + 2, Signed, Truncate, Wrap);
        b.in[1].re = c.sum;
        pe.butterfly(b.tw, 0);
        EXPECT_EQ(pe.out[0].re.toDouble(), c.expect) << c.rounding << " " << c.sum;
    }
}

}  // namespace
