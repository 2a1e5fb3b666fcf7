// Pipelined streaming architecture (C_ARCH 3) end to end through the C interface.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

#include "Harness.h"
#include "dft_reference.h"

namespace {

using cd = std::complex<double>;
using ref::generics;

constexpr int kArch = 3;

struct Case {
    int nfftMax, nfft, width, twiddle;
    int scaling, bfp, rounding;
    int direction;
    std::vector<int32_t> schedule;  // fixed scaling only; empty: 1 per stage pair
};

struct Checked {
    Result result;
    ref::cvec exact;   // double-precision transform of the input
    int scaleExp = 0;  // results are exact / 2^scaleExp
    double bound = 0.0;
};

// Runs random data on the input grid and checks the RMS error against the
// noise model: schedule entry m shifts stage 2m + 1, the last entry of an odd
// length the lone last stage; block floating point shifts once at the end.
Checked runAndCheck(Core& core, const Case& c, uint32_t seed, double amplitude = 0.3) {
    const size_t n = size_t(1) << c.nfft;
    const auto re = ref::gridNoise(n, c.width, amplitude, seed);
    const auto im = ref::gridNoise(n, c.width, amplitude, seed + 100);
    std::vector<int32_t> schedule = c.schedule;
    if (c.scaling && !c.bfp && schedule.empty()) schedule.assign(size_t(c.nfft + 1) / 2, 1);
    Checked m;
    m.result = core.run(re, im, c.direction, schedule, c.nfft);
    EXPECT_EQ(m.result.code, 0);
    EXPECT_EQ(m.result.overflow, 0);
    m.exact = ref::dft(ref::combine(re, im), c.direction == 1);
    std::vector<int> shifts(size_t(c.nfft), 0);
    for (size_t k = 0; k < schedule.size(); ++k) {
        shifts[std::min(2 * k + 1, size_t(c.nfft) - 1)] = schedule[k];
        m.scaleExp += schedule[k];
    }
    if (c.bfp) {
        m.scaleExp = shifts.back() = m.result.blkExp;
        // Normalised: every part within [-1, 1], the largest at least 1/2.
        double peak = 0.0;
        for (size_t k = 0; k < n; ++k) peak = std::max({peak, std::fabs(m.result.re[k]), std::fabs(m.result.im[k])});
        EXPECT_LE(peak, 1.0);
        EXPECT_GE(peak, m.result.blkExp > 0 ? 0.5 : 0.0);
    } else {
        EXPECT_EQ(m.result.blkExp, 0);
    }
    const double power = amplitude * amplitude / 3;
    m.bound = ref::noiseBound(std::vector<int>(size_t(c.nfft), 2), shifts, power, 1 - c.width, c.twiddle);
    EXPECT_LE(ref::maxError(m.result.re, m.result.im, m.exact, m.scaleExp, true), m.bound);
    return m;
}

TEST(PipelineEndToEnd, MatchesDoublePrecisionTransform) {
    const Case cases[] = {
        // nfftMax nfft width tw scal bfp rnd dir schedule
        {3, 3, 16, 16, 0, 0, 0, 1, {}},       {3, 3, 8, 8, 1, 0, 1, 0, {}},        {3, 3, 12, 10, 1, 1, 0, 1, {}},
        {4, 4, 16, 16, 1, 0, 0, 0, {3, 1}},   {4, 4, 12, 10, 1, 1, 0, 1, {}},      {5, 5, 20, 18, 1, 0, 1, 1, {3, 2, 0}},
        {5, 5, 8, 34, 0, 0, 1, 1, {}},        {6, 6, 34, 34, 0, 0, 1, 0, {}},      {6, 6, 34, 8, 1, 0, 0, 1, {}},
        {7, 7, 24, 20, 1, 0, 1, 1, {}},       {7, 7, 34, 34, 1, 1, 1, 0, {}},      {8, 8, 8, 8, 1, 1, 1, 0, {}},
        {8, 8, 20, 34, 1, 0, 0, 1, {3, 3, 1, 1}}, {9, 9, 10, 9, 1, 1, 0, 1, {}},   {9, 9, 8, 8, 1, 0, 0, 0, {}},
        {10, 10, 16, 16, 0, 0, 0, 0, {}},     {10, 10, 16, 16, 1, 1, 1, 1, {}},    {12, 7, 18, 18, 1, 0, 1, 1, {}},
        {11, 4, 16, 16, 0, 0, 0, 0, {}},      {16, 8, 14, 15, 1, 1, 0, 1, {}},     {16, 16, 16, 18, 1, 0, 1, 0, {}},
    };
    uint32_t seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << seed << " nfft " << c.nfft << " width " << c.width);
        Core core(generics(c.nfftMax, kArch, c.width, c.twiddle, c.scaling, c.bfp, c.rounding, c.nfft < c.nfftMax));
        runAndCheck(core, c, seed++);
    }
}

TEST(PipelineEndToEnd, RunTimeLengthsShareOneState) {
    for (Case c : {Case{10, 0, 16, 16, 1, 0, 1, 1, {}}, Case{10, 0, 12, 14, 1, 1, 0, 0, {}}}) {
        Core core(generics(c.nfftMax, kArch, c.width, c.twiddle, c.scaling, c.bfp, c.rounding, 1));
        for (int nfft : {9, 3, 10, 6, 4, 7}) {
            c.nfft = nfft;
            c.direction = nfft % 2;
            SCOPED_TRACE(nfft);
            runAndCheck(core, c, uint32_t(nfft));
        }
    }
}

TEST(PipelineEndToEnd, FixedScheduleOverflowFlag) {
    // A constant c transforms to N c in bin 0 and exact zeros elsewhere. The
    // flag is set when a scaled result reaches +1 or more; -1 fits.
    struct Flagged { int nfft; double c; std::vector<int32_t> schedule; int overflow; } cases[] = {
        {6, 0.5, {0, 0, 0}, 1},   {6, 0.5, {2, 2, 2}, 0},   {6, 0.25, {1, 2, 2}, 0},
        {7, 0.5, {2, 2, 2, 0}, 1}, {7, 0.5, {2, 2, 2, 1}, 0}, {7, -0.5, {2, 2, 2, 0}, 0},
    };
    for (const Flagged& f : cases) {
        SCOPED_TRACE(testing::Message() << "nfft " << f.nfft << " c " << f.c << " entry " << f.schedule.back());
        Core core(generics(f.nfft, kArch, 16, 16, 1, 0, 1));
        const size_t n = size_t(1) << f.nfft;
        const auto r = core.run(std::vector<double>(n, f.c), std::vector<double>(n, 0.0), 1, f.schedule, f.nfft);
        EXPECT_EQ(r.overflow, f.overflow);
        if (f.overflow) continue;
        int total = 0;
        for (int32_t s : f.schedule) total += s;
        EXPECT_EQ(r.re[0], std::ldexp(f.c * double(n), -total));
        for (size_t k = 1; k < n; ++k) ASSERT_EQ(cd(r.re[k], r.im[k]), cd(0.0, 0.0)) << k;
    }
}

TEST(PipelineEndToEnd, BlockFloatingPointExtremes) {
    // x[N/4] = h1, x[3N/4] = h2 give exactly h1 r^k + h2 r^3k in bin k, r = -j
    // forward and +j inverse; bin 0 is the first result in the engine's memory.
    // The first of equal largest parts decides: +1 needs one bit of
    // normalisation, -1 none; of equal real and imaginary parts the imaginary
    // one counts. Normalisation truncates to the input grid.
    const double lsb = std::ldexp(1.0, -15);
    struct Extreme { cd h1, h2; int blkExp; } cases[] = {{0.5, 0.5, 1},           {-0.5, -0.5, 0}, {{0.5, -0.5}, {0.5, -0.5}, 0}, {{-0.5, 0.5}, {-0.5, 0.5}, 1},
                 {0.0, 0.0, 0},           {0.25, 0.25, 0}, {0.5, 0.5 + 3 * lsb, 1},       {-0.5, -0.5 - 5 * lsb, 1}};
    for (const Extreme& e : cases) {
        for (int nfft : {4, 5}) {
            SCOPED_TRACE(testing::Message() << "nfft " << nfft << " h " << e.h1 << e.h2);
            Core core(generics(6, kArch, 16, 16, 1, 1, 1, 1));
            const size_t n = size_t(1) << nfft;
            std::vector<double> re(n, 0.0), im(n, 0.0);
            re[n / 4] = e.h1.real();
            im[n / 4] = e.h1.imag();
            re[3 * n / 4] = e.h2.real();
            im[3 * n / 4] = e.h2.imag();
            const auto r = core.run(re, im, nfft % 2, {}, nfft);
            EXPECT_EQ(r.blkExp, e.blkExp);
            EXPECT_EQ(r.overflow, 0);
            const cd j(0, nfft % 2 ? -1 : 1);
            const cd powers[] = {1.0, j, -1.0, -j};
            for (size_t k = 0; k < n; ++k) {
                const cd x = (e.h1 * powers[k % 4] + e.h2 * powers[3 * k % 4]) * std::ldexp(1.0, 15 - e.blkExp);
                ASSERT_EQ(cd(r.re[k], r.im[k]), cd(std::floor(x.real()), std::floor(x.imag())) * lsb) << k;
            }
        }
    }
}

}  // namespace
