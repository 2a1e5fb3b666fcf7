// Radix-2 burst architecture (C_ARCH 2 and 4) end to end through the C interface.
#include <gtest/gtest.h>

#include "dft_reference.h"

namespace {

using ref::Core;
using ref::generics;

struct Config {
    int nfftMax, nfft, width, twiddle;
    int scaling, bfp, rounding;
    int direction;
    int hasNfft;
};

// Per-stage shifts the noise model assumes for a block-floating-point run:
// the block exponent spent as early as the engine can (the noisiest case).
std::vector<int> bfpShifts(int stages, int blkExp) {
    std::vector<int> shifts(stages, 0);
    for (int s = 0; s < stages && blkExp > 0; ++s) {
        shifts[s] = std::min(blkExp, s == 0 ? 1 : 2);
        blkExp -= shifts[s];
    }
    return shifts;
}

struct Checked {
    ref::Result result;
    double error;
    double bound;
    double signal;
};

Checked runAndMeasure(const Config& c, int arch = 2, double amplitude = 0.4, uint32_t seed = 1) {
    const size_t n = size_t(1) << c.nfft;
    const auto re = ref::gridNoise(n, c.width, amplitude, seed);
    const auto im = ref::gridNoise(n, c.width, amplitude, seed + 100);
    Core core(generics(c.nfftMax, arch, c.width, c.twiddle, c.scaling, c.bfp, c.rounding, c.hasNfft));
    EXPECT_TRUE(core.ok());
    std::vector<int32_t> schedule;
    if (c.scaling && !c.bfp) schedule.assign(c.nfft, 1);
    Checked out;
    out.result = core.run(re, im, c.nfft, c.direction, schedule);
    const auto X = ref::dft(ref::combine(re, im), c.direction == 1);
    std::vector<int> shifts(c.nfft, 0);
    int scaleExp = 0;
    if (c.scaling && !c.bfp) {
        shifts.assign(c.nfft, 1);
        scaleExp = c.nfft;
    } else if (c.bfp) {
        scaleExp = out.result.blk_exp;
        shifts = bfpShifts(c.nfft, scaleExp);
    }
    const std::vector<int> gains(c.nfft, 2);
    out.error = ref::rmsError(out.result.re, out.result.im, X, scaleExp);
    out.bound = ref::noiseBound(gains, shifts, -(c.width - 1), c.twiddle, amplitude);
    out.signal = ref::signalLevel(gains, shifts, amplitude);
    return out;
}

TEST(Radix2EndToEnd, MatchesDoublePrecisionTransform) {
    const Config configs[] = {
        // nfftMax nfft width tw  scal bfp rnd dir hasNfft
        {3, 3, 16, 16, 1, 0, 0, 1, 0},    {6, 6, 16, 16, 1, 0, 1, 0, 0},   {10, 10, 16, 16, 1, 0, 0, 1, 0},
        {10, 10, 16, 16, 1, 0, 1, 0, 0},  {10, 10, 16, 16, 0, 0, 0, 1, 0}, {10, 10, 16, 16, 0, 0, 1, 0, 0},
        {10, 10, 16, 16, 1, 1, 0, 1, 0},  {10, 10, 16, 16, 1, 1, 1, 0, 0}, {9, 9, 24, 20, 1, 0, 1, 1, 0},
        {7, 7, 34, 34, 1, 0, 0, 0, 0},    {7, 7, 34, 34, 0, 0, 1, 1, 0},   {8, 8, 8, 16, 0, 0, 0, 1, 0},
        {5, 5, 8, 8, 1, 1, 1, 1, 0},      {8, 8, 20, 8, 1, 0, 0, 1, 0},    {8, 8, 24, 34, 1, 1, 0, 0, 0},
        {12, 7, 18, 18, 1, 0, 1, 1, 1},   {12, 9, 16, 12, 1, 1, 0, 0, 1},  {11, 4, 16, 16, 0, 0, 0, 1, 1},
    };
    for (const Config& c : configs) {
        const Checked m = runAndMeasure(c);
        SCOPED_TRACE(testing::Message() << "nfft " << c.nfft << "/" << c.nfftMax << " width " << c.width
                                        << " twiddle " << c.twiddle << " scaling " << c.scaling << " bfp "
                                        << c.bfp << " rounding " << c.rounding << " dir " << c.direction);
        ASSERT_EQ(m.result.code, 0);
        EXPECT_LE(m.error, m.bound);
        EXPECT_EQ(m.result.overflow, 0);
        if (!c.bfp) {
            EXPECT_EQ(m.result.blk_exp, 0);
        }
    }
}

TEST(Radix2EndToEnd, BoundRejectsWrongDirectionAndScale) {
    // The same bound must fail for a transform of the wrong kernel sign or
    // with one stage shift missing: it is tight enough to catch such faults.
    const Config c{10, 10, 16, 16, 1, 0, 1, 1, 0};
    const Checked m = runAndMeasure(c);
    const size_t n = 1024;
    const auto re = ref::gridNoise(n, 16, 0.4, 1);
    const auto im = ref::gridNoise(n, 16, 0.4, 101);
    const auto inverse = ref::dft(ref::combine(re, im), false);
    EXPECT_GT(ref::rmsError(m.result.re, m.result.im, inverse, 10), 10 * m.bound);
    const auto forward = ref::dft(ref::combine(re, im), true);
    EXPECT_GT(ref::rmsError(m.result.re, m.result.im, forward, 9), 10 * m.bound);
    EXPECT_GT(m.signal, 10 * m.bound);
}

TEST(Radix2EndToEnd, ArchitecturesTwoAndFourAgreeBitForBit) {
    for (const Config& c : {Config{8, 8, 16, 16, 1, 1, 1, 1, 0}, Config{9, 9, 12, 10, 0, 0, 0, 0, 0}}) {
        const Checked a = runAndMeasure(c, 2);
        const Checked b = runAndMeasure(c, 4);
        EXPECT_EQ(a.result.re, b.result.re);
        EXPECT_EQ(a.result.im, b.result.im);
        EXPECT_EQ(a.result.blk_exp, b.result.blk_exp);
    }
}

TEST(Radix2EndToEnd, OverflowingScheduleSetsFlag) {
    Core core(generics(6, 2, 16, 16, 1, 0, 0));
    const std::vector<double> re(64, 0.5), im(64, 0.0);
    const auto r = core.run(re, im, 6, 1, std::vector<int32_t>(6, 0));
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.overflow, 1);
    EXPECT_EQ(r.blk_exp, 0);
    // With one bit per stage the same data fit: bin 0 is exactly 0.5.
    const auto s = core.run(re, im, 6, 1, std::vector<int32_t>(6, 1));
    EXPECT_EQ(s.overflow, 0);
    EXPECT_EQ(s.re[0], 0.5);
    EXPECT_EQ(s.re[1], 0.0);
}

TEST(Radix2EndToEnd, ScheduleWordPacksStageValues) {
    // nfft = 3 with schedule {1, 2, 3}: the impulse spectrum is 1/64 everywhere.
    Core core(generics(3, 2, 16, 16, 1, 0, 0));
    std::vector<double> re(8, 0.0), im(8, 0.0);
    re[0] = 0.5;
    const auto r = core.run(re, im, 3, 1, {1, 2, 3});
    ASSERT_EQ(r.code, 0);
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(r.re[k], 0.5 / 64) << k;
        EXPECT_EQ(r.im[k], 0.0) << k;
    }
}

TEST(Radix2EndToEnd, UnscaledDcIsFullSize) {
    Core core(generics(10, 2, 16, 16, 0, 0, 0));
    const auto r = core.run(std::vector<double>(1024, 0.5), std::vector<double>(1024, 0.0), 10, 1);
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.re[0], 512.0);
    for (int k = 1; k < 1024; ++k) ASSERT_EQ(r.re[k], 0.0) << k;
    EXPECT_EQ(r.blk_exp, 0);
    EXPECT_EQ(r.overflow, 0);
}

TEST(Radix2EndToEnd, BlockFloatingPointNormalisesSmallInputs) {
    // A tiny impulse is shifted only where the data grow: the block exponent
    // stays 0 and the spectrum is the impulse's height.
    Core core(generics(6, 2, 16, 16, 1, 1, 0));
    std::vector<double> re(64, 0.0), im(64, 0.0);
    re[5] = 0.125;
    const auto r = core.run(re, im, 6, 0);
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.blk_exp, 0);
    EXPECT_EQ(r.overflow, 0);
    for (int k = 0; k < 64; ++k) {
        const double a = 2 * M_PI * 5 * k / 64.0;
        EXPECT_NEAR(r.re[k], 0.125 * std::cos(a), 3e-4);
        EXPECT_NEAR(r.im[k], 0.125 * std::sin(a), 3e-4);
    }
    // A full-scale constant: the first stage shifts by 1 (no headroom), the
    // second by 2 (class of -1), the other four by 1 each.
    const auto d = core.run(std::vector<double>(64, -1.0), std::vector<double>(64, 0.0), 6, 1);
    EXPECT_EQ(d.blk_exp, 7);
    EXPECT_EQ(d.re[0], -0.5);
}

TEST(Radix2EndToEnd, OffGridInputsAreRoundedToEven) {
    Core core(generics(4, 2, 16, 16, 0, 0, 0));
    std::vector<double> onGrid(16, 0.5), offGrid(16, 0.5), zeros(16, 0.0);
    offGrid[3] = 0.5 + std::ldexp(1.0, -16);  // half a step above 0.5: rounds to 0.5
    const auto a = core.run(onGrid, zeros, 4, 1);
    const auto b = core.run(offGrid, zeros, 4, 1);
    EXPECT_EQ(a.re, b.re);
    offGrid[3] = 0.5 + 3 * std::ldexp(1.0, -16);  // rounds up to 0.5 + 2^-14
    const auto c = core.run(offGrid, zeros, 4, 1);
    EXPECT_EQ(c.re[0], 8.0 + std::ldexp(1.0, -14));
}

TEST(Radix2EndToEnd, ConsecutiveCallsMatchFreshStates) {
    const auto g = generics(10, 2, 16, 16, 1, 1, 1, 1);
    Core shared(g);
    const struct {
        int nfft, direction;
    } calls[] = {{10, 1}, {5, 0}, {8, 1}, {3, 1}, {10, 0}};
    for (const auto& call : calls) {
        const size_t n = size_t(1) << call.nfft;
        const auto re = ref::gridNoise(n, 16, 0.9, call.nfft);
        const auto im = ref::gridNoise(n, 16, 0.9, call.nfft + 50);
        const auto a = shared.run(re, im, call.nfft, call.direction);
        Core fresh(g);
        const auto b = fresh.run(re, im, call.nfft, call.direction);
        EXPECT_EQ(a.re, b.re) << call.nfft;
        EXPECT_EQ(a.im, b.im) << call.nfft;
        EXPECT_EQ(a.blk_exp, b.blk_exp) << call.nfft;
    }
}

}  // namespace
