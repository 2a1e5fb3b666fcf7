#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>

#include "engine/R4_DIT_PE.h"

namespace {

using cd = std::complex<double>;

// An element of data width W and twiddle width T with its four input
// registers, as the radix-4 engine builds it.
struct Bench {
    FFT config;
    FixComplex in[4];
    FixComplex tw[3];
    R4_DIT_PE* pe = nullptr;

    Bench(int32_t W, int32_t T, int32_t rounding) {
        config.data_width = W;
        config.result_width = W;
        config.twiddle_width = T;
        config.has_rounding = rounding;
        config.has_scaling = 1;
        for (auto& x : in) {
            x.re.setFormat(W, W - 1, Signed, Truncate, Wrap);
            x.im.setFormat(W, W - 1, Signed, Truncate, Wrap);
            x.re = 0.0;
            x.im = 0.0;
        }
        for (auto& w : tw) {
            w.re.setFormat(T + 1, T - 1, Signed, Truncate, Saturate);
            w.im.setFormat(T + 1, T - 1, Signed, Truncate, Saturate);
            w.re = 1.0;
            w.im = 0.0;
        }
        pe = new R4_DIT_PE(in, config);
    }
    ~Bench() { delete pe; }
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    void set(int i, cd v) {
        in[i].re = v.real();
        in[i].im = v.imag();
    }
    void run(int32_t r2_mode, int32_t shift) { pe->butterfly(r2_mode, shift, tw[0], tw[1], tw[2]); }
    static cd value(const FixComplex& c) { return {c.re.toDouble(), c.im.toDouble()}; }
    cd sum(int i) const { return value(pe->sums[i]); }
    cd out(int i) const { return value(pe->out[i]); }
};

TEST(R4DitPe, RegisterFormats) {
    Bench b(16, 18, 1);
    const R4_DIT_PE& pe = *b.pe;
    const struct {
        const VFix& reg;
        int32_t width, point, quant;
    } cases[] = {
        {pe.sums[3].im, 25, 21, Truncate},        {pe.scaled[0].re, 25, 21, Truncate},
        {pe.out[2].re, 16, 15, RoundHalfEvenHoldMax}, {pe.product_r[1].im, 20, 18, Truncate},
        {pe.product[2].re, 36, 32, Truncate},     {pe.legs[3].re, 22, 18, Truncate},
        {pe.rnd_const.im, 36, 32, Truncate},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.reg.width(), c.width);
        EXPECT_EQ(c.reg.binaryPoint, c.point);
        EXPECT_EQ(c.reg.type(), Signed);
        EXPECT_EQ(c.reg.quantMode(), c.quant);
        EXPECT_EQ(c.reg.overflowMode(), Wrap);
    }
    // Half a unit of 2^-18 less one unit of 2^-32, in both parts.
    const double rnd = std::ldexp(1.0, -19) - std::ldexp(1.0, -32);
    EXPECT_EQ(pe.rnd_const.re.toDouble(), rnd);
    EXPECT_EQ(pe.rnd_const.im.toDouble(), rnd);
    EXPECT_EQ(pe.overflow, 0);
    EXPECT_EQ(Bench(16, 16, 0).pe->out[0].re.quantMode(), Truncate);
}

// All four inputs equal to a, twiddles 1, no shift: the sum leg gets 4a, the
// other three cancel to 0. A sum outside [-1, 1) sets overflow and wraps.
TEST(R4DitPe, EqualInputsSumIntoFirstOutput) {
    const struct {
        cd a;
        bool overflow;
    } cases[] = {
        {{0.125, -0.0625}, false},
        {{-0.25, 0.0}, false},     // exactly -1: no overflow
        {{-0.25, -0.25}, false},
        {{0.25, 0.0}, true},       // exactly +1
        {{0.0, -0.3125}, true},    // -1.25
        {{0.2421875, 0.1875}, false},
    };
    for (const auto& c : cases) {
        Bench b(16, 16, 0);
        for (int i = 0; i < 4; ++i) b.set(i, c.a);
        b.run(0, 0);
        EXPECT_EQ(b.sum(0), 4.0 * c.a);
        for (int i = 1; i < 4; ++i) EXPECT_EQ(b.sum(i), cd(0.0, 0.0));
        EXPECT_EQ(b.pe->overflow, c.overflow ? 1 : 0) << c.a;
        // Wrapping is modulo 2 in value.
        auto wrap = [](double v) { return v >= 1.0 ? v - 2.0 : (v < -1.0 ? v + 2.0 : v); };
        EXPECT_EQ(b.out(0), cd(wrap(4.0 * c.a.real()), wrap(4.0 * c.a.imag())));
    }
}

// A single non-zero input shows where each leg lands and the sign of the j
// rotation of the radix-4 kernel, and the pairing of the dual radix-2 mode.
TEST(R4DitPe, SingleInputLegs) {
    const cd j(0.0, 1.0);
    const struct {
        int input;
        int32_t r2_mode;
        cd expected[4];
    } cases[] = {
        {0, 0, {0.5, 0.5, 0.5, 0.5}},
        {1, 0, {0.5, -0.5 * j, -0.5, 0.5 * j}},
        {2, 0, {0.5, -0.5, 0.5, -0.5}},
        {3, 0, {0.5, 0.5 * j, -0.5, -0.5 * j}},
        {0, 1, {0.5, 0.0, 0.5, 0.0}},
        {1, 1, {0.5, 0.0, -0.5, 0.0}},
        {2, 1, {0.0, 0.5, 0.0, 0.5}},
        {3, 1, {0.0, 0.5, 0.0, -0.5}},
    };
    for (const auto& c : cases) {
        Bench b(16, 16, 0);
        b.set(c.input, 0.5);
        b.run(c.r2_mode, 0);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(b.sum(i), c.expected[i]) << "input " << c.input << " mode " << c.r2_mode << " out " << i;
        EXPECT_EQ(b.pe->overflow, 0);
    }
}

// With twiddles 1 the products are exact, so each output is the exact sum
// shifted right and quantised: truncation floors, rounding goes to the
// nearest value with ties to even and never carries into the sign bit.
TEST(R4DitPe, ShiftAndOutputQuantisation) {
    const int32_t W = 12;
    const double lsb = std::ldexp(1.0, -(W - 1));
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> code(-(1 << (W - 4)), (1 << (W - 4)) - 1);  // |sums| < 0.5
    for (int32_t rounding = 0; rounding < 2; ++rounding) {
        for (int32_t shift = 0; shift < 4; ++shift) {
            for (int trial = 0; trial < 20; ++trial) {
                Bench b(W, 16, rounding);
                int xr[4], xi[4];
                for (int i = 0; i < 4; ++i) {
                    xr[i] = code(rng);
                    xi[i] = code(rng);
                    b.set(i, cd(xr[i] * lsb, xi[i] * lsb));
                }
                b.run(0, shift);
                // Integer sums of the forward kernel, in units of lsb.
                const long sr[4] = {long(xr[0]) + xr[1] + xr[2] + xr[3], long(xr[0]) + xi[1] - xr[2] - xi[3],
                                    long(xr[0]) - xr[1] + xr[2] - xr[3], long(xr[0]) - xi[1] - xr[2] + xi[3]};
                const long si[4] = {long(xi[0]) + xi[1] + xi[2] + xi[3], long(xi[0]) - xr[1] - xi[2] + xr[3],
                                    long(xi[0]) - xi[1] + xi[2] - xi[3], long(xi[0]) + xr[1] - xi[2] - xr[3]};
                auto quantise = [&](long v) {
                    const double x = std::ldexp(double(v), -shift);
                    return (rounding ? std::nearbyint(x) : std::floor(x)) * lsb;
                };
                for (int i = 0; i < 4; ++i) {
                    EXPECT_EQ(b.sum(i), cd(sr[i] * lsb, si[i] * lsb));
                    EXPECT_EQ(b.out(i), cd(quantise(sr[i]), quantise(si[i])))
                        << "rounding " << rounding << " shift " << shift << " out " << i;
                }
            }
        }
    }
    // Half a unit below +1 after the shift: rounding holds the largest value.
    Bench b(W, 16, 1);
    const double top = 1.0 - lsb;
    b.set(0, top);
    b.set(1, top);
    b.set(2, lsb);
    b.set(3, 0.0);
    b.run(0, 1);
    EXPECT_EQ(b.out(0).real(), top);
    EXPECT_EQ(b.pe->overflow, 0);
}

// shift 2 with four equal inputs v: the first output is v again, exactly,
// and the fourfold sum does not count as overflow.
TEST(R4DitPe, ShiftTwoRestoresEqualInputs) {
    for (double v : {-1.0, 1.0 - std::ldexp(1.0, -15), 23170 / 32768.0, -10923 / 32768.0}) {
        for (int32_t rounding = 0; rounding < 2; ++rounding) {
            Bench b(16, 16, rounding);
            for (int i = 0; i < 4; ++i) b.set(i, cd(v, -0.25));
            b.run(0, 2);
            EXPECT_EQ(b.sum(0), cd(4 * v, -1.0));
            EXPECT_EQ(b.out(0), cd(v, -0.25));
            for (int i = 1; i < 4; ++i) EXPECT_EQ(b.out(i), cd(0.0, 0.0));
            EXPECT_EQ(b.pe->overflow, 0) << v;
        }
    }
}

// Twiddle products are rounded to W + 2 fraction bits: to nearest, ties
// toward minus infinity.
TEST(R4DitPe, ProductRounding) {
    const double x = std::ldexp(1.0, -15);  // one input unit (W = 16)
    const double u = std::ldexp(1.0, -18);  // one unit of the product grid
    const struct {
        double x, w, re, im;  // input (x, -x) times twiddle w: rounded parts
    } cases[] = {
        {3 * x, 0.0625, 1 * u, -2 * u},    // +-1.5 units
        {5 * x, 0.0625, 2 * u, -3 * u},    // +-2.5 units
        {4 * x, 0.0625, 2 * u, -2 * u},    // exact
        {1 * x, 0.09375, 1 * u, -1 * u},   // +-0.75 units
        {1 * x, 0.03125, 0 * u, 0 * u},    // +-0.25 units
    };
    for (const auto& c : cases) {
        Bench b(16, 16, 0);
        for (auto& w : b.tw) w.re = c.w;
        for (int i = 1; i < 4; ++i) b.set(i, cd(c.x, -c.x));
        b.run(0, 0);
        for (int m = 0; m < 3; ++m) {
            EXPECT_EQ(b.pe->product_r[m].re.toDouble(), c.re) << c.x << " " << c.w;
            EXPECT_EQ(b.pe->product_r[m].im.toDouble(), c.im) << c.x << " " << c.w;
        }
    }
}

// Dual radix-2 and radix-4 modes with arbitrary twiddles stay within the
// rounding of the products and of the outputs from the exact butterfly.
TEST(R4DitPe, MatchesExactButterflyWithinRounding) {
    const int32_t W = 16, T = 14;
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> u(-0.15, 0.15);  // no overflow without shift
    for (int32_t r2_mode = 0; r2_mode < 2; ++r2_mode) {
        for (int32_t rounding = 0; rounding < 2; ++rounding) {
            for (int trial = 0; trial < 40; ++trial) {
                Bench b(W, T, rounding);
                cd x[4], w[3];
                for (int i = 0; i < 4; ++i) {
                    b.set(i, cd(u(rng), u(rng)));
                    x[i] = Bench::value(b.in[i]);
                }
                for (int m = 0; m < 3; ++m) {
                    const double a = u(rng) * 40.0;
                    b.tw[m].re = std::cos(a);  // truncated to the twiddle grid
                    b.tw[m].im = std::sin(a);
                    w[m] = Bench::value(b.tw[m]);
                }
                const int32_t shift = trial % 3;
                b.run(r2_mode, shift);
                const cd p1 = x[1] * w[0], p2 = x[2] * w[1], p3 = x[3] * w[2];
                const cd j(0.0, 1.0);
                cd e[4];
                if (r2_mode) {
                    e[0] = x[0] + p1;
                    e[1] = p2 + p3;
                    e[2] = x[0] - p1;
                    e[3] = p2 - p3;
                } else {
                    e[0] = x[0] + p1 + p2 + p3;
                    e[1] = x[0] - j * p1 - p2 + j * p3;
                    e[2] = x[0] - p1 + p2 - p3;
                    e[3] = x[0] + j * p1 - p2 - j * p3;
                }
                // Three product roundings of at most half of 2^-(W+2) per
                // part before the shift, then the output quantisation.
                const double product = std::ldexp(1.0, -(W + 3)) + std::ldexp(1.0, -(W + T - 2));
                const double bound = 3 * product / std::ldexp(1.0, shift) +
                                     (rounding ? std::ldexp(1.0, -W) : std::ldexp(1.0, -(W - 1))) + 1e-12;
                for (int i = 0; i < 4; ++i) {
                    const cd ideal = e[i] / std::ldexp(1.0, shift);
                    EXPECT_LE(std::fabs(b.out(i).real() - ideal.real()), bound);
                    EXPECT_LE(std::fabs(b.out(i).imag() - ideal.imag()), bound);
                }
            }
        }
    }
}

// The overflow flag accumulates over butterflies and checks both parts.
TEST(R4DitPe, OverflowAccumulates) {
    Bench b(16, 16, 0);
    for (int i = 0; i < 4; ++i) b.set(i, cd(0.0, 0.5));
    b.run(0, 1);  // 2j, halved: +1 is outside
    EXPECT_EQ(b.pe->overflow, 1);
    for (int i = 0; i < 4; ++i) b.set(i, 0.0);
    b.run(0, 0);
    EXPECT_EQ(b.pe->overflow, 1);

    Bench c(16, 16, 0);
    for (int i = 0; i < 4; ++i) c.set(i, cd(0.0, 0.5));
    c.run(0, 2);  // 2j / 4
    EXPECT_EQ(c.pe->overflow, 0);
    c.run(1, 0);  // dual radix-2: x0 + x1 = j reaches +1
    EXPECT_EQ(c.pe->overflow, 1);
}

}  // namespace
