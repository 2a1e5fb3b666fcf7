// The radix-2^2 decimation-in-frequency butterfly of the pipelined engine.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <memory>

#include "engine/R22_DIF_PE.h"
#include "engine/R22_pipeline.h"

namespace {

using cd = std::complex<double>;

enum Scaling { Unscaled, FixedSchedule, BlockFloat };

// An engine of the given configuration whose input registers and twiddle
// registers feed a processing element made for one transform length.
struct Bench {
    Bench(Scaling scaling, int nfftMax, int width, int twiddle, int rounding, int nfft, int direction) {
        ConfigRecord c{};
        c.data_width = width;
        c.result_width = scaling == Unscaled ? width + nfftMax + 1 : width;
        c.twiddle_width = twiddle;
        c.nfft_max = nfftMax;
        c.has_rounding = rounding;
        c.has_scaling = scaling == Unscaled ? 0 : 1;
        c.has_bfp = scaling == BlockFloat ? 1 : 0;
        c.arch = 3;
        c.nfft = nfft;
        c.points = 1 << nfft;
        engine = std::make_unique<R22_pipeline>(c);
        engine->setup(c);
        engine->direction = direction;
        pe = std::make_unique<R22_DIF_PE>(engine->pe_in, *engine);
    }
    // Sets input i from a value in units of the sample LSB 2^-(W - 1).
    void input(int i, cd lsbs) {
        engine->pe_in[i].re = std::ldexp(lsbs.real(), 1 - W());
        engine->pe_in[i].im = std::ldexp(lsbs.imag(), 1 - W());
    }
    void input(int i, double re, double im) {
        engine->pe_in[i].re = re;
        engine->pe_in[i].im = im;
    }
    void twiddles(cd w1, cd w2) {
        engine->tw1.re = w1.real();
        engine->tw1.im = w1.imag();
        engine->tw2.re = w2.real();
        engine->tw2.im = w2.imag();
    }
    void butterfly(int s, int block, int shift) { pe->butterfly(engine->tw1, engine->tw2, s, block, shift); }
    cd out(int i) const { return {pe->out[i].re.toDouble(), pe->out[i].im.toDouble()}; }
    int W() const { return engine->engine_width; }

    std::unique_ptr<R22_pipeline> engine;
    std::unique_ptr<R22_DIF_PE> pe;
};

TEST(R22Butterfly, FirstStageOfPairPassesSumAndDifferenceUnscaled) {
    // Even stages that are not the last neither shift nor check overflow: with
    // a fixed schedule a sum beyond 1 is kept in the guard bits.
    struct Case {
        Scaling scaling;
        cd x0, x1;
    } cases[] = {
        {FixedSchedule, {0.75, -0.5}, {0.625, -0.75}},
        {FixedSchedule, {-1.0, 0.25}, {-1.0, -1.0}},
        {Unscaled, {0.25, -0.125}, {-0.0625, 0.2}},
        {BlockFloat, {-0.3, 0.45}, {0.1, 0.4}},
    };
    for (const Case& c : cases) {
        for (int s : {0, 2}) {
            Bench b(c.scaling, 6, 12, 12, 1, 5, 1);
            b.input(0, c.x0.real(), c.x0.imag());
            b.input(1, c.x1.real(), c.x1.imag());
            const cd x0(b.engine->pe_in[0].re.toDouble(), b.engine->pe_in[0].im.toDouble());
            const cd x1(b.engine->pe_in[1].re.toDouble(), b.engine->pe_in[1].im.toDouble());
            b.butterfly(s, 1, 3);
            SCOPED_TRACE(testing::Message() << "scaling " << c.scaling << " stage " << s);
            EXPECT_EQ(b.out(0), x0 + x1);
            EXPECT_EQ(b.out(1), x0 - x1);
            EXPECT_EQ(b.pe->overflow, 0);
        }
    }
}

TEST(R22Butterfly, SecondStageRotatesOddBlocksByMinusJForwardAndPlusJInverse) {
    // The last stage of an even-length transform has no twiddle, so the
    // outputs are x0 + r*x1 and x0 - r*x1 with the rotation r.
    const cd x0(37, -12), x1(-5, 101);
    for (Scaling scaling : {Unscaled, FixedSchedule, BlockFloat}) {
        for (int direction : {1, 0}) {
            for (int block : {0, 1, 2, 5}) {
                Bench b(scaling, 5, 10, 10, 0, 4, direction);
                b.input(0, x0);
                b.input(1, x1);
                b.butterfly(3, block, 0);
                const cd r = block % 2 == 0 ? cd(1, 0) : direction == 1 ? cd(0, -1) : cd(0, 1);
                const double lsb = std::ldexp(1.0, 1 - b.W());
                SCOPED_TRACE(testing::Message() << "scaling " << scaling << " direction " << direction
                                                << " block " << block);
                EXPECT_EQ(b.out(0), (x0 + r * x1) * lsb);
                EXPECT_EQ(b.out(1), (x0 - r * x1) * lsb);
            }
        }
    }
    Bench b(Unscaled, 5, 10, 10, 0, 4, 1);
    b.input(0, 0.0, 0.0);
    b.input(1, 0.5, 0.0);
    b.butterfly(3, 1, 0);
    EXPECT_EQ(b.out(0), cd(0, -0.5));
    EXPECT_EQ(b.out(1), cd(0, 0.5));
}

TEST(R22Butterfly, LastStageReformatDependsOnParityOfLargestLength) {
    // Fixed schedule, even nfft, shift 3: 5 LSBs become 5/8 LSB. With an even
    // nfft_max the last-stage register keeps one fraction bit less (1/2 LSB,
    // a tie that rounds to even 0); with an odd one it keeps 5/8 LSB.
    struct Case {
        int nfftMax, rounding;
        double lsbs, expected;
    } cases[] = {
        {6, 1, 5, 0},  {7, 1, 5, 1},   {6, 0, 5, 0},   {7, 0, 5, 0},  {6, 1, -5, -1},
        {7, 1, -5, -1}, {6, 0, -5, -1}, {7, 0, -5, -1}, {6, 1, 12, 2}, {7, 1, 12, 2},
        {6, 1, 11, 1}, {7, 1, 11, 1},  {6, 1, 13, 2},  {7, 1, 13, 2}, {6, 0, 15, 1},
    };
    for (const Case& c : cases) {
        Bench b(FixedSchedule, c.nfftMax, 12, 12, c.rounding, 4, 1);
        b.input(0, cd(c.lsbs, -c.lsbs));
        b.input(1, 0.0, 0.0);
        b.butterfly(3, 0, 3);
        const double lsb = std::ldexp(1.0, 1 - b.W());
        SCOPED_TRACE(testing::Message() << "nfft_max " << c.nfftMax << " rounding " << c.rounding << " value "
                                        << c.lsbs);
        EXPECT_EQ(b.pe->scaled[0].re.toDouble(), c.lsbs * lsb / 8);
        EXPECT_EQ(b.out(0).real(), c.expected * lsb);
        EXPECT_EQ(b.out(1).real(), c.expected * lsb);
    }
}

TEST(R22Butterfly, TwiddleProductsRoundToNearestTiesDown) {
    // The product is rounded to round_grid fraction bits, ties toward minus
    // infinity; with T = 8 and no fixed schedule the rounding constant is 0
    // and the products are simply truncated (every dropped value is a tie).
    struct Case {
        Scaling scaling;
        int twiddle;
        int grid;  // round_grid - W
    } cases[] = {
        {Unscaled, 8, 5}, {BlockFloat, 8, 5}, {Unscaled, 16, 5}, {FixedSchedule, 8, 4}, {FixedSchedule, 13, 4},
    };
    for (const Case& c : cases) {
        Bench b(c.scaling, 6, 12, c.twiddle, 0, 6, 1);
        const int W = b.W();
        const int T = c.twiddle;
        if (c.scaling != FixedSchedule && T == 8) {
            EXPECT_EQ(b.pe->rnd_const.re.toDouble(), 0.0);
        }
        // Twiddle codes around the one that makes a product of one LSB a tie.
        const int tie = c.grid == 5 ? 1 << (T - 8) : 1 << (T - 7);
        const int codes[] = {tie - 1, tie, tie + 1, 3 * tie, (1 << (T - 1)) - 1, -(1 << (T - 1))};
        for (int a = -5; a <= 5; ++a) {
            for (int t : codes) {
                const cd x(a, 2 - a);
                const cd w(std::ldexp(t, 1 - T), std::ldexp(tie, 1 - T));
                b.input(0, x);
                b.input(1, 0.0, 0.0);
                b.twiddles(w, cd(0, 0));
                b.butterfly(1, 0, 0);
                const cd p = x * std::ldexp(1.0, 1 - W) * w;
                const double g = std::ldexp(1.0, W + c.grid);
                SCOPED_TRACE(testing::Message() << "T " << T << " a " << a << " code " << t);
                EXPECT_EQ(b.pe->product_r[0].re.toDouble(), std::ceil(p.real() * g - 0.5) / g);
                EXPECT_EQ(b.pe->product_r[0].im.toDouble(), std::ceil(p.imag() * g - 0.5) / g);
            }
        }
    }
}

TEST(R22Butterfly, FixedScheduleOverflowIsResultOutsideMinusOneToOne) {
    struct Case {
        int s;  // 1: twiddle stage, 3: last stage of an even length, 4: of an odd one
        double x;
        int shift;
        int overflow;
    } cases[] = {
        {1, 0.5, 0, 1}, {1, -0.5, 0, 0}, {1, 0.5, 1, 0}, {1, 0.75, 0, 1}, {1, -0.75, 1, 0},
        {3, 0.5, 0, 1}, {3, -0.5, 0, 0}, {3, 0.5, 1, 0}, {4, 0.5, 0, 1},  {4, 0.5, 1, 0},
    };
    for (const Case& c : cases) {
        const int nfft = c.s == 1 ? 6 : c.s + 1;
        Bench b(FixedSchedule, 6, 12, 12, 1, nfft, 1);
        b.input(0, c.x, 0.0);
        b.input(1, c.x, 0.0);
        b.twiddles(cd(1, 0), cd(1, 0));
        b.butterfly(c.s, 0, c.shift);
        SCOPED_TRACE(testing::Message() << "stage " << c.s << " x " << c.x << " shift " << c.shift);
        EXPECT_EQ(b.out(0).real(), std::ldexp(2 * c.x, -c.shift));
        EXPECT_EQ(b.pe->overflow, c.overflow);
    }
    // Without a fixed schedule the outputs wrap silently.
    Bench b(BlockFloat, 6, 12, 12, 1, 6, 1);
    b.input(0, 0.75, 0.0);
    b.input(1, 0.75, 0.0);
    b.twiddles(cd(1, 0), cd(1, 0));
    b.butterfly(1, 0, 0);
    EXPECT_EQ(b.out(0).real(), -0.5);
    EXPECT_EQ(b.pe->overflow, 0);
}

TEST(R22Butterfly, OutputRoundingNeverCarriesIntoSignBit) {
    // Rounding never carries into the sign bit of the output register, whose
    // width is W + 2 under a fixed schedule: bf = 8190 LSBs times the twiddle
    // 1 + 6 * 2^-15 rounds to 8191.5 LSBs, a tie above the largest pattern
    // 8191 that convergent rounding alone would wrap to -4.
    for (int rounding : {0, 1}) {
        Bench b(FixedSchedule, 6, 12, 16, rounding, 6, 1);
        b.input(0, cd(4095, 0));
        b.input(1, cd(4095, 0));
        b.twiddles(cd(1 + 6 * std::ldexp(1.0, -15), 0), cd(1, 0));
        b.butterfly(1, 0, 0);
        EXPECT_EQ(b.pe->product_r[0].re.toDouble(), 8191.5 * std::ldexp(1.0, -11));
        EXPECT_EQ(b.out(0).real(), 4 - std::ldexp(1.0, -11)) << rounding;
        EXPECT_EQ(b.pe->overflow, 1);
    }
}

}  // namespace
