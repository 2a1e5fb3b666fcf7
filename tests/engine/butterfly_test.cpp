// The processing elements of the burst engines: 16-bit data, 16-bit twiddles.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "engine/R2_DIT_PE.h"
#include "engine/R4_DIT_PE.h"

namespace {

using cd = std::complex<double>;
constexpr int W = 16;
const cd j(0.0, 1.0);
const double L = std::ldexp(1.0, -(W - 1));  // one output unit
const double u = L / 8;                      // one unit of the rounded product

void set(FixComplex& r, cd v, int width = 0, int point = W - 1) {
    if (width) {
        r.re.setFormat(width, point, Signed, Truncate, Wrap);
        r.im.setFormat(width, point, Signed, Truncate, Wrap);
    }
    r.re = v.real();
    r.im = v.imag();
}

cd value(const FixComplex& c) { return {c.re.toDouble(), c.im.toDouble()}; }

FFT engineWith(int rounding) {
    FFT e;
    e.result_width = e.data_width = e.twiddle_width = W;
    e.has_rounding = rounding;
    return e;
}

template <class PE, int N>  // an element, its N inputs (0) and N - 1 twiddles (1)
struct Bench {
    explicit Bench(int rounding) : engine(engineWith(rounding)), pe(in, engine) {
        for (FixComplex& r : in) set(r, 0.0, W);
        for (FixComplex& w : tw) set(w, 1.0, W + 1);
    }
    FFT engine;
    FixComplex in[N], tw[N - 1];
    PE pe;
};

// out = (a +- w b) / 2^shift: exactly -1 is no overflow, beyond [-1, 1) wraps;
// truncation floors, rounding goes to the nearest value, ties to even, and
// holds the largest value instead of carrying into the sign. Sums on the grid
// of the rounded product are fed through b (two more fraction bits) and w = 1.
TEST(R2Butterfly, SumDifferenceShiftAndQuantisation) {
    const struct {
        int rounding;
        cd a, b, w;
        int shift;
        cd out0, out1;
        int overflow;
    } cases[] = {
        {0, {0.25, -0.125}, {0.5, 0.25}, -j, 1, {0.25, -0.3125}, {0.0, 0.1875}, 0},
        {0, 0.75, 0.75, 1.0, 1, 0.75, 0.0, 0},
        {0, -0.5, -0.5, 1.0, 0, -1.0, 0.0, 0},
        {0, 0.75 * j, 0.75 * j, 1.0, 0, -0.5 * j, 0.0, 1},
        {0, 0.0, -4 * u, 1.0, 0, -8 * u, 0.0, 0},
        {1, 0.0, -4 * u, 1.0, 0, 0.0, 0.0, 0},
        {1, 0.0, 12 * u, 1.0, 0, 16 * u, -16 * u, 0},
        {1, 0.0, 1.0 - u, 1.0, 0, 1.0 - 8 * u, -1.0, 0},
        {1, 0.0, 40 * u, 1.0, 3, 8 * u, -8 * u, 0},
        {0, 0.0, 56 * u, 1.0, 3, 0.0, -8 * u, 0},
    };
    for (const auto& c : cases) {
        Bench<R2_DIT_PE, 2> b(c.rounding);
        set(b.in[0], c.a);
        set(b.in[1], c.b, W + 3, W + 2);
        set(b.tw[0], c.w);
        b.pe.butterfly(b.tw[0], c.shift);
        EXPECT_EQ(value(b.pe.out[0]), c.out0) << &c - cases;
        EXPECT_EQ(value(b.pe.out[1]), c.out1) << &c - cases;
        EXPECT_EQ(b.pe.overflow, c.overflow) << &c - cases;
    }
}

// Twiddle products are rounded to W + 2 fraction bits, to nearest with ties
// toward minus infinity, in both elements; a twiddle of 1 keeps the input.
TEST(Butterflies, ProductRoundsTiesDown) {
    const struct {
        cd x;
        double w;
        cd rounded;
    } cases[] = {{{3 * L, -3 * L}, 1.0 / 16, {1 * u, -2 * u}}, {{5 * L, 7 * L}, 1.0 / 16, {2 * u, 3 * u}},
                 {{7 * L, L}, 1.0 / 32, {2 * u, 0.0}}, {{3 * L, -5 * L}, 1.0, {3 * L, -5 * L}}};
    for (const auto& c : cases) {
        Bench<R2_DIT_PE, 2> two(0);
        Bench<R4_DIT_PE, 4> four(0);
        set(two.in[1], c.x);
        set(two.tw[0], c.w);
        two.pe.butterfly(two.tw[0], 0);
        EXPECT_EQ(value(two.pe.product_r), c.rounded) << c.x << " " << c.w;
        for (int m = 0; m < 3; ++m) {
            set(four.in[m + 1], c.x);
            set(four.tw[m], c.w);
        }
        four.pe.butterfly(0, 0, four.tw[0], four.tw[1], four.tw[2]);
        for (int m = 0; m < 3; ++m) EXPECT_EQ(value(four.pe.product_r[m]), c.rounded) << c.x << " " << m;
    }
}

// One input of 0.5 at a time with twiddles j, -1, -j on inputs 1, 2, 3: the
// radix-4 outputs are the forward kernel (-j)^(i k) applied to the twiddled
// input; the dual radix-2 mode pairs inputs 0, 1 into outputs 0, 2 and
// inputs 2, 3 into outputs 1, 3.
TEST(R4Butterfly, KernelAndPairing) {
    const cd twiddled[4] = {0.5, 0.5 * j, -0.5, -0.5 * j};
    const cd minusJ[4] = {1.0, -j, -1.0, j};
    for (int mode = 0; mode < 2; ++mode) {
        for (int i = 0; i < 4; ++i) {
            Bench<R4_DIT_PE, 4> b(0);
            for (int m = 0; m < 3; ++m) set(b.tw[m], 2.0 * twiddled[m + 1]);
            set(b.in[i], 0.5);
            b.pe.butterfly(mode, 0, b.tw[0], b.tw[1], b.tw[2]);
            for (int k = 0; k < 4; ++k) {
                cd expect = twiddled[i] * minusJ[(i * k) % 4];
                if (mode) expect = (k % 2 == 1) != (i >= 2) ? 0.0 : (k >= 2 && i % 2 == 1 ? -1.0 : 1.0) * twiddled[i];
                EXPECT_EQ(value(b.pe.out[k]), expect) << "mode " << mode << " input " << i << " out " << k;
            }
            EXPECT_EQ(b.pe.overflow, 0);
        }
    }
}

// Output 0 of the radix-4 butterfly with twiddles 1 and the overflow flag.
TEST(R4Butterfly, ShiftOverflowAndQuantisation) {
    const struct {
        cd x[4];
        int shift, rounding;
        cd out0;
        int overflow;
    } cases[] = {
        {{-0.25, -0.25, -0.25, -0.25}, 0, 0, -1.0, 0},
        {{0.25, 0.25, 0.25, 0.25}, 0, 0, -1.0, 1},
        {{-0.3125 * j, -0.3125 * j, -0.3125 * j, -0.3125 * j}, 0, 0, 0.75 * j, 1},
        {{0.5 * j, 0.5 * j, 0.5 * j, 0.5 * j}, 1, 0, -j, 1},
        {{-1.0, -1.0, -1.0, -1.0}, 2, 1, -1.0, 0},
        {{3 * L, 3 * L, 3 * L, 3 * L}, 3, 0, L, 0},
        {{3 * L, 3 * L, 3 * L, 3 * L}, 3, 1, 2 * L, 0},
        {{-L, -L, -L, -L}, 3, 1, 0.0, 0},
        {{1 - L, 1 - L, L, 0.0}, 1, 1, 1 - L, 0},
        {{0.5, 0.0, -0.5, 0.0}, 0, 0, 0.0, 1},  // a - c = 1 in outputs 1 and 3
        {{0.5, 0.0, -0.5 - L, 0.0}, 1, 0, -L, 0},
    };
    for (const auto& c : cases) {
        Bench<R4_DIT_PE, 4> b(c.rounding);
        for (int i = 0; i < 4; ++i) set(b.in[i], c.x[i]);
        b.pe.butterfly(0, c.shift, b.tw[0], b.tw[1], b.tw[2]);
        EXPECT_EQ(value(b.pe.out[0]), c.out0) << &c - cases;
        EXPECT_EQ(b.pe.overflow, c.overflow) << &c - cases;
    }
}

}  // namespace
