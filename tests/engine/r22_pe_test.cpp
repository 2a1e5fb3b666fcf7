// The radix-2^2 decimation-in-frequency butterfly of the pipelined engine.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <memory>

#include "engine/R22_DIF_PE.h"
#include "engine/R22_pipeline.h"

namespace {

using cd = std::complex<double>;

enum Scaling { Unscaled, FixedSchedule, BlockFloat };

// An engine with 12-bit data whose input and twiddle registers feed an element
// made for one transform length. Samples are given in units of the element's
// LSB 2^-(W - 1).
struct Bench {
    Bench(Scaling scaling, int nfftMax, int twiddle, int rounding, int nfft, int direction) {
        ConfigRecord c{};
        c.data_width = 12;
        c.result_width = scaling == Unscaled ? 12 + nfftMax + 1 : 12;
        c.twiddle_width = twiddle;
        c.nfft_max = nfftMax;
        c.has_rounding = rounding;
        c.has_scaling = scaling != Unscaled;
        c.has_bfp = scaling == BlockFloat;
        engine = std::make_unique<R22_pipeline>(c);
        engine->setup(Shape::of(c, nfft, direction, nullptr, 0));
        pe = std::make_unique<R22_DIF_PE>(engine->pe_in, *engine);
        lsb = std::ldexp(1.0, 1 - engine->engine_width);
    }
    void run(int s, int block, int shift, cd x0, cd x1, cd w1) {
        set(engine->pe_in[0], x0 * lsb);
        set(engine->pe_in[1], x1 * lsb);
        set(engine->tw1, w1);
        set(engine->tw2, 1.0);
        pe->butterfly(engine->tw1, engine->tw2, s, block, shift);
    }
    static void set(FixComplex& r, cd v) {
        r.re = v.real();
        r.im = v.imag();
    }
    cd out(int i) const { return cd(pe->out[i].re.toDouble(), pe->out[i].im.toDouble()) / lsb; }

    std::unique_ptr<R22_pipeline> engine;
    std::unique_ptr<R22_DIF_PE> pe;
    double lsb;
};

TEST(R22Butterfly, ExactCases) {
    struct Case {
        const char* what;
        Scaling scaling;
        int nfftMax, rounding, nfft, s, block, direction, shift;
        cd x0, x1, w1, out0, out1;
        int overflow;
    } cases[] = {
        // First stage of a pair: sum and difference, no shift, growth kept in the guard bits.
        {"pass", FixedSchedule, 6, 1, 5, 0, 1, 1, 3, {1536, -1024}, {1280, -1536}, 1.0, {2816, -2560}, {256, 512}, 0},
        {"pass", Unscaled, 6, 0, 5, 2, 1, 0, 0, {37, -12}, {-5, 101}, 1.0, {32, 89}, {42, -113}, 0},
        // Second stage: odd blocks rotate x1 by -j forward, +j inverse.
        {"rotate", Unscaled, 5, 0, 4, 3, 2, 0, 0, {37, -12}, {-5, 101}, 1.0, {32, 89}, {42, -113}, 0},
        {"rotate", Unscaled, 5, 0, 4, 3, 1, 1, 0, {37, -12}, {-5, 101}, 1.0, {138, -7}, {-64, -17}, 0},
        {"rotate", BlockFloat, 5, 1, 4, 3, 5, 0, 0, {37, -12}, {-5, 101}, 1.0, {-64, -17}, {138, -7}, 0},
        {"rotate", FixedSchedule, 5, 1, 4, 3, 3, 1, 0, {0, 0}, {1024, 0}, 1.0, {0, -1024}, {0, 1024}, 0},
        {"rotate", FixedSchedule, 6, 0, 6, 1, 1, 0, 0, {37, -12}, {-5, 101}, 1.0, {-64, -17}, {138, -7}, 0},
        // Last stage of an even length, shift 3: 5/8 LSB keeps one fraction bit
        // less with an even nfft_max (1/2, a tie that rounds to 0).
        {"last", FixedSchedule, 6, 1, 4, 3, 0, 1, 3, {5, -5}, {}, 1.0, {0, -1}, {0, -1}, 0},
        {"last", FixedSchedule, 7, 1, 4, 3, 0, 1, 3, {5, -5}, {}, 1.0, {1, -1}, {1, -1}, 0},
        {"last", FixedSchedule, 6, 0, 4, 3, 0, 1, 3, {5, -5}, {}, 1.0, {0, -1}, {0, -1}, 0},
        {"last", FixedSchedule, 7, 0, 4, 3, 0, 1, 3, {5, -5}, {}, 1.0, {0, -1}, {0, -1}, 0},
        {"last", FixedSchedule, 6, 1, 4, 3, 0, 1, 3, {12, 13}, {}, 1.0, {2, 2}, {2, 2}, 0},
        {"last", FixedSchedule, 6, 0, 4, 3, 0, 1, 3, {11, 15}, {}, 1.0, {1, 1}, {1, 1}, 0},
        // Fixed schedule: the flag marks a shifted result outside [-1, 1).
        {"overflow", FixedSchedule, 6, 1, 6, 1, 0, 1, 0, {1024, 0}, {1024, 0}, 1.0, {2048, 0}, {0, 0}, 1},
        {"overflow", FixedSchedule, 6, 1, 6, 1, 0, 1, 1, {1024, 0}, {1024, 0}, 1.0, {1024, 0}, {0, 0}, 0},
        {"overflow", FixedSchedule, 6, 1, 4, 3, 0, 1, 0, {1024, 0}, {1024, 0}, 1.0, {2048, 0}, {0, 0}, 1},
        {"overflow", FixedSchedule, 6, 1, 4, 3, 0, 1, 0, {-1024, 0}, {-1024, 0}, 1.0, {-2048, 0}, {0, 0}, 0},
        {"overflow", FixedSchedule, 6, 1, 5, 4, 0, 1, 0, {0, 1024}, {0, 1024}, 1.0, {0, 2048}, {0, 0}, 1},
        {"overflow", FixedSchedule, 6, 1, 5, 4, 0, 1, 1, {0, 1024}, {0, 1024}, 1.0, {0, 1024}, {0, 0}, 0},
        // Without a fixed schedule the W-bit sum 1.5 wraps silently to -0.5 before the product.
        {"wrap", BlockFloat, 6, 1, 6, 1, 0, 1, 0, {3 << 16, 0}, {3 << 16, 0}, 0.5, {-(1 << 16), 0}, {0, 0}, 0},
        // The product 8191.5 LSB is a tie at the largest pattern of the W + 2 bit
        // output: rounding must not carry into its sign bit.
        {"hold", FixedSchedule, 6, 1, 6, 1, 0, 1, 0, {4095, 0}, {4095, 0}, {1 + 6 * std::ldexp(1.0, -15), 0},
         {8191, 0}, {0, 0}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.what << " stage " << c.s << " block " << c.block << " x0 " << c.x0);
        Bench b(c.scaling, c.nfftMax, 16, c.rounding, c.nfft, c.direction);
        b.run(c.s, c.block, c.shift, c.x0, c.x1, c.w1);
        EXPECT_EQ(b.out(0), c.out0);
        EXPECT_EQ(b.out(1), c.out1);
        EXPECT_EQ(b.pe->overflow, c.overflow);
    }
}

TEST(R22Butterfly, TwiddleProductsRoundToNearestTiesDown) {
    // Products are rounded to W + 4 fraction bits under a fixed schedule and to
    // W + 5 otherwise, ties toward minus infinity; with T = 8 and no fixed
    // schedule the products are simply truncated.
    struct Case { Scaling scaling; int twiddle, grid; } cases[] = {
        {Unscaled, 8, 5}, {BlockFloat, 8, 5}, {Unscaled, 16, 5}, {FixedSchedule, 8, 4}, {FixedSchedule, 13, 4}};
    for (const Case& c : cases) {
        const int T = c.twiddle;
        Bench b(c.scaling, 6, T, 0, 6, 1);
        const double g = std::ldexp(1.0, b.engine->engine_width + c.grid);
        // Twiddle codes around the one that makes a product of one LSB a tie.
        const int tie = 1 << (T - c.grid - 3);
        for (int t : {tie - 1, tie, tie + 1, 3 * tie, (1 << (T - 1)) - 1, -(1 << (T - 1))}) {
            for (int a = -5; a <= 5; ++a) {
                const cd x(a, 2 - a), w(std::ldexp(t, 1 - T), std::ldexp(tie, 1 - T));
                b.run(1, 0, 0, x, 0.0, w);
                const cd p = x * b.lsb * w;
                SCOPED_TRACE(testing::Message() << "T " << T << " a " << a << " code " << t);
                EXPECT_EQ(b.pe->product_r[0].re.toDouble(), std::ceil(p.real() * g - 0.5) / g);
                EXPECT_EQ(b.pe->product_r[0].im.toDouble(), std::ceil(p.imag() * g - 0.5) / g);
            }
        }
    }
}

}  // namespace
