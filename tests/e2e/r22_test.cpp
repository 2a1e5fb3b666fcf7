// Pipelined streaming architecture (C_ARCH 3) end to end through the C interface.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "dft_reference.h"

namespace {

using cd = std::complex<double>;
using ref::Core;
using ref::generics;

constexpr int kArch = 3;

struct Case {
    int nfftMax, nfft, width, twiddle;
    int scaling, bfp, rounding;
    int direction;
    int hasNfft;
    std::vector<int32_t> schedule;  // fixed scaling only; empty: two bits per stage pair
};

bool fixedSchedule(const Case& c) { return c.scaling == 1 && c.bfp == 0; }

// Two bits per stage pair and one for the lone last stage of an odd length:
// the growth of the pair, so that the tone signal below never overflows.
std::vector<int32_t> pairSchedule(int nfft) {
    std::vector<int32_t> s(size_t(nfft / 2), 2);
    if (nfft % 2 == 1) s.push_back(1);
    return s;
}

// Right shift of each stage: schedule entry m acts after stage 2m + 1, the
// last entry of an odd length after the lone last stage.
std::vector<int> stageShifts(int nfft, const std::vector<int32_t>& schedule) {
    std::vector<int> shifts(size_t(nfft), 0);
    for (size_t m = 0; m < schedule.size(); ++m) shifts[std::min(2 * m + 1, size_t(nfft) - 1)] = schedule[m];
    return shifts;
}

struct Signal {
    std::vector<double> re, im;
    double norm = 0.0;  // Euclidean norm of the complex samples
};

// Two complex tones of amplitudes 0.4 and 0.25 plus uniform noise of 0.15 per
// part, rounded to the input grid: every part lies within 0.8 and every
// sample magnitude within 0.86.
Signal toneSignal(int nfft, int width, uint32_t seed) {
    const int64_t n = int64_t(1) << nfft;
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int64_t> bin(0, n - 1);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const int64_t k1 = bin(rng), k2 = bin(rng);
    const double phase = M_PI * u(rng);
    const double step = std::ldexp(1.0, 1 - width);
    Signal x;
    x.re.resize(size_t(n));
    x.im.resize(size_t(n));
    double energy = 0.0;
    for (int64_t i = 0; i < n; ++i) {
        const double a1 = 2 * M_PI * double(k1 * i % n) / double(n);
        const double a2 = 2 * M_PI * double(k2 * i % n) / double(n) + phase;
        const cd v = std::polar(0.4, a1) + std::polar(0.25, a2) + 0.15 * cd(u(rng), u(rng));
        x.re[size_t(i)] = std::round(v.real() / step) * step;
        x.im[size_t(i)] = std::round(v.imag() / step) * step;
        energy += x.re[size_t(i)] * x.re[size_t(i)] + x.im[size_t(i)] * x.im[size_t(i)];
    }
    x.norm = std::sqrt(energy);
    return x;
}

// Largest error of any result part, in output units, before the block-
// floating-point normalisation, derived from the word lengths. The engine
// works in units of 2^-(W - 1) (unit d) with W the input width under a fixed
// schedule and input width + nfft_max + 1 otherwise, where the samples are
// loaded divided by 2^(nfft_max + 1). A requantising stage adds at most q to
// each part: half a unit of the product rounding grid (W + 4 fraction bits
// under a fixed schedule, W + 5 otherwise) plus the output quantisation (d
// truncating, d/2 rounding), and under a fixed schedule the last stage instead
// adds the output quantisation and, for an odd last stage and even nfft_max,
// the dropped bit of d/4. An error made in stage s reaches a result through
// 2^(n-s-1) paths of unit gain and the shifts of the later stages. A twiddle
// error, at most sqrt(2) 2^-T in magnitude, adds per twiddle stage at most
// sqrt(2) 2^-T sqrt(N) |x| times the total scaling (Cauchy-Schwarz over the
// paths). Second-order terms are covered by a margin of 10 percent.
double errorBound(const Case& c, const std::vector<int>& shifts, double inputNorm) {
    const bool fixed = fixedSchedule(c);
    const int n = c.nfft;
    const int W = fixed ? c.width : c.width + c.nfftMax + 1;
    const double unit = fixed ? 1.0 : std::ldexp(1.0, c.nfftMax + 1);
    const double d = std::ldexp(1.0, 1 - W);
    const double outQ = c.rounding ? d / 2 : d;
    int after = 0;
    for (int s : shifts) after += s;
    const int total = after;
    double e = 0.0;
    for (int s = 0; s < n; ++s) {
        after -= shifts[size_t(s)];
        const bool last = s == n - 1;
        double q = 0.0;
        if (s % 2 == 1 && !last)
            q = std::ldexp(1.0, -(W + (fixed ? 5 : 6))) + outQ;
        else if (fixed && last)
            q = outQ + (s % 2 == 1 && c.nfftMax % 2 == 0 ? d / 4 : 0.0);
        e += std::ldexp(std::sqrt(2.0) * q, n - s - 1 - after);
    }
    const int twiddleStages = (n - 1) / 2;
    e += twiddleStages * std::sqrt(2.0) * std::ldexp(1.0, -c.twiddle) * std::sqrt(std::ldexp(1.0, n)) *
         (inputNorm / unit) * std::ldexp(1.0, -total);
    return 1.1 * e * unit;
}

// Number of halvings that bring a magnitude m below 1.
int exponentOf(double m) {
    int b = 0;
    while (m >= 1.0) {
        m /= 2;
        ++b;
    }
    return b;
}

std::string describe(const Case& c) {
    std::ostringstream os;
    os << "nfft " << c.nfft << "/" << c.nfftMax << " width " << c.width << " twiddle " << c.twiddle
       << " scaling " << c.scaling << " bfp " << c.bfp << " rounding " << c.rounding << " direction "
       << c.direction;
    return os.str();
}

struct Checked {
    ref::Result result;
    ref::cvec exact;   // double-precision transform of the quantised input
    int scaleExp = 0;  // results are exact / 2^scaleExp
    double error = 0.0;
    double bound = 0.0;
};

Checked runAndCheck(Core& core, const Case& c, const Signal& x) {
    Checked m;
    const std::vector<int32_t> schedule =
        fixedSchedule(c) ? (c.schedule.empty() ? pairSchedule(c.nfft) : c.schedule) : std::vector<int32_t>{};
    m.result = core.run(x.re, x.im, c.nfft, c.direction, schedule);
    EXPECT_EQ(m.result.code, 0);
    m.exact = ref::dft(ref::combine(x.re, x.im), c.direction == 1);
    const std::vector<int> shifts = stageShifts(c.nfft, schedule);
    m.bound = errorBound(c, shifts, x.norm);
    // The reference transform itself is accurate to far below any bound.
    double largest = 0.0;
    for (const cd& v : m.exact) largest = std::max({largest, std::fabs(v.real()), std::fabs(v.imag())});
    m.bound += 1e-12 * largest;
    if (fixedSchedule(c)) {
        for (int s : shifts) m.scaleExp += s;
        EXPECT_EQ(m.result.overflow, 0);
        EXPECT_EQ(m.result.blk_exp, 0);
    } else if (c.bfp) {
        m.scaleExp = m.result.blk_exp;
        EXPECT_GE(m.result.blk_exp, exponentOf(std::max(largest - m.bound, 0.0)));
        EXPECT_LE(m.result.blk_exp, exponentOf(largest + m.bound));
        // Normalisation truncates to the input grid.
        m.bound = std::ldexp(m.bound, -m.scaleExp) + std::ldexp(1.0, 1 - c.width);
        EXPECT_EQ(m.result.overflow, 0);
    } else {
        EXPECT_EQ(m.result.overflow, 0);
        EXPECT_EQ(m.result.blk_exp, 0);
    }
    m.error = ref::maxError(m.result.re, m.result.im, m.exact, m.scaleExp);
    EXPECT_LE(m.error, m.bound);
    return m;
}

TEST(PipelineEndToEnd, MatchesDoublePrecisionTransform) {
    const Case cases[] = {
        // nfftMax nfft width tw scal bfp rnd dir hasNfft schedule
        {3, 3, 16, 16, 0, 0, 0, 1, 0, {}},
        {3, 3, 8, 8, 1, 0, 1, 0, 0, {}},
        {3, 3, 12, 10, 1, 1, 0, 1, 0, {}},
        {4, 4, 12, 10, 1, 1, 0, 1, 0, {}},
        {4, 4, 16, 16, 1, 0, 0, 0, 0, {3, 1}},
        {5, 5, 16, 16, 1, 0, 0, 0, 0, {}},
        {5, 5, 8, 34, 0, 0, 1, 1, 0, {}},
        {5, 5, 20, 18, 1, 0, 1, 1, 0, {3, 2, 0}},
        {6, 6, 34, 34, 0, 0, 1, 0, 0, {}},
        {6, 6, 34, 8, 1, 0, 0, 1, 0, {}},
        {7, 7, 24, 20, 1, 0, 1, 1, 0, {}},
        {7, 7, 34, 34, 1, 1, 1, 0, 0, {}},
        {8, 8, 8, 8, 1, 1, 1, 0, 0, {}},
        {8, 8, 20, 34, 1, 0, 0, 1, 0, {3, 3, 1, 1}},
        {9, 9, 10, 9, 1, 1, 0, 1, 0, {}},
        {9, 9, 8, 8, 1, 0, 0, 0, 0, {}},
        {10, 10, 16, 16, 1, 0, 1, 1, 0, {}},
        {10, 10, 16, 16, 0, 0, 0, 0, 0, {}},
        {10, 10, 16, 16, 1, 1, 1, 1, 0, {}},
        {12, 7, 18, 18, 1, 0, 1, 1, 1, {}},
        {11, 4, 16, 16, 0, 0, 0, 0, 1, {}},
        {16, 8, 14, 15, 1, 1, 0, 1, 1, {}},
        {16, 16, 16, 18, 1, 0, 1, 0, 0, {}},  // the one full-length transform
    };
    uint32_t seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(describe(c));
        Core core(generics(c.nfftMax, kArch, c.width, c.twiddle, c.scaling, c.bfp, c.rounding, c.hasNfft));
        ASSERT_TRUE(core.ok());
        runAndCheck(core, c, toneSignal(c.nfft, c.width, seed++));
    }
}

TEST(PipelineEndToEnd, BoundRejectsWrongDirectionAndStageShift) {
    // The bound is tight enough that a transform with the other kernel sign,
    // or with one bit of scaling more or less, fails it at least twice over,
    // even with 8-bit data and twiddles.
    for (const Case& c : {Case{10, 10, 16, 16, 1, 0, 1, 1, 0, {}}, Case{9, 9, 8, 8, 1, 0, 0, 0, 0, {}},
                          Case{8, 8, 12, 12, 0, 0, 0, 1, 0, {}}}) {
        SCOPED_TRACE(describe(c));
        Core core(generics(c.nfftMax, kArch, c.width, c.twiddle, c.scaling, c.bfp, c.rounding));
        const Signal x = toneSignal(c.nfft, c.width, 7);
        const Checked m = runAndCheck(core, c, x);
        const auto other = ref::dft(ref::combine(x.re, x.im), c.direction != 1);
        EXPECT_GT(ref::maxError(m.result.re, m.result.im, other, m.scaleExp), 2 * m.bound);
        EXPECT_GT(ref::maxError(m.result.re, m.result.im, m.exact, m.scaleExp + 1), 2 * m.bound);
        EXPECT_GT(ref::maxError(m.result.re, m.result.im, m.exact, m.scaleExp - 1), 2 * m.bound);
    }
}

TEST(PipelineEndToEnd, RunTimeLengthsShareOneState) {
    for (const Case& base : {Case{10, 0, 16, 16, 1, 0, 1, 1, 1, {}}, Case{10, 0, 12, 14, 1, 1, 0, 0, 1, {}}}) {
        Core core(generics(base.nfftMax, kArch, base.width, base.twiddle, base.scaling, base.bfp,
                           base.rounding, 1));
        for (int nfft : {9, 3, 10, 6, 4, 7}) {
            Case c = base;
            c.nfft = nfft;
            c.direction = nfft % 2;
            SCOPED_TRACE(describe(c));
            runAndCheck(core, c, toneSignal(nfft, c.width, uint32_t(nfft)));
        }
    }
}

TEST(PipelineEndToEnd, ExactTwiddlesGiveExactTransform) {
    // N = 8 with x[1] = x[5] and x[3] = x[7]: every product by a twiddle other
    // than 1 or -j is a product of 0, so every configuration must return the
    // exact transform. Parts within 0.06 keep every result part below 1.
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> code(-30, 30);
    for (int scaling : {0, 1, 2}) {
        for (int rounding : {0, 1}) {
            for (int direction : {0, 1}) {
                std::vector<double> re(8), im(8);
                for (int i : {0, 1, 2, 3, 4, 6}) {
                    re[size_t(i)] = std::ldexp(code(rng), -9);
                    im[size_t(i)] = std::ldexp(code(rng), -9);
                }
                re[5] = re[1];
                im[5] = im[1];
                re[7] = re[3];
                im[7] = im[3];
                Core core(generics(3, kArch, 10, 12, scaling > 0, scaling == 2, rounding));
                const auto r = core.run(re, im, 3, direction, scaling == 1 ? std::vector<int32_t>{0, 0}
                                                                            : std::vector<int32_t>{});
                ASSERT_EQ(r.code, 0);
                const auto exact = ref::dft(ref::combine(re, im), direction == 1);
                SCOPED_TRACE(testing::Message() << "scaling " << scaling << " rounding " << rounding
                                                << " direction " << direction);
                EXPECT_LT(ref::maxError(r.re, r.im, exact, 0), 1e-12);
                EXPECT_EQ(r.blk_exp, 0);
                EXPECT_EQ(r.overflow, 0);
            }
        }
    }
}

TEST(PipelineEndToEnd, FixedScheduleOverflowFlag) {
    // A constant c transforms to N c in bin 0 and exact zeros elsewhere. The
    // flag is set when a scaled result reaches +1 or more; -1 fits.
    struct Flagged {
        int nfft;
        double c;
        std::vector<int32_t> schedule;
        int overflow;
        double bin0;  // expected bin 0 when no overflow
    } cases[] = {
        {6, 0.5, {0, 0, 0}, 1, 0.0},       {6, 0.5, {2, 2, 2}, 0, 0.5},     {6, 0.25, {1, 2, 2}, 0, 0.5},
        {7, 0.5, {2, 2, 2, 0}, 1, 0.0},    {7, 0.5, {2, 2, 2, 1}, 0, 0.5},  {7, -0.5, {2, 2, 2, 0}, 0, -1.0},
        {7, -0.5, {3, 3, 0, 1}, 0, -0.5},
    };
    for (const Flagged& f : cases) {
        SCOPED_TRACE(testing::Message() << "nfft " << f.nfft << " c " << f.c);
        Core core(generics(f.nfft, kArch, 16, 16, 1, 0, 1));
        const size_t n = size_t(1) << f.nfft;
        const auto r = core.run(std::vector<double>(n, f.c), std::vector<double>(n, 0.0), f.nfft, 1, f.schedule);
        ASSERT_EQ(r.code, 0);
        EXPECT_EQ(r.blk_exp, 0);
        EXPECT_EQ(r.overflow, f.overflow);
        if (f.overflow) continue;
        EXPECT_EQ(r.re[0], f.bin0);
        for (size_t k = 1; k < n; ++k) ASSERT_EQ(r.re[k], 0.0) << k;
    }
    // Tones with too little scaling overflow inside the transform.
    Core core(generics(6, kArch, 16, 16, 1, 0, 0));
    const Signal x = toneSignal(6, 16, 3);
    EXPECT_EQ(core.run(x.re, x.im, 6, 1, {1, 1, 1}).overflow, 1);
}

TEST(PipelineEndToEnd, BlockFloatingPointExtremes) {
    // x[0] = x[N/2] = h gives 2h in every even bin and 0 in every odd bin,
    // exactly. The largest part exactly +1 needs one bit of normalisation,
    // exactly -1 none; all-zero data give exponent 0 and zeros.
    struct Extreme {
        int nfft;
        double h;
        int blkExp;
    } cases[] = {
        {4, 0.5, 1}, {5, 0.5, 1}, {4, -0.5, 0}, {5, -0.5, 0}, {4, 0.0, 0}, {5, 0.0, 0}, {4, 0.25, 0}, {5, 0.375, 0},
    };
    for (const Extreme& e : cases) {
        for (int direction : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "nfft " << e.nfft << " h " << e.h << " direction " << direction);
            Core core(generics(6, kArch, 16, 16, 1, 1, 1, 1));
            const size_t n = size_t(1) << e.nfft;
            std::vector<double> re(n, 0.0), im(n, 0.0);
            re[0] = e.h;
            re[n / 2] = e.h;
            const auto r = core.run(re, im, e.nfft, direction);
            ASSERT_EQ(r.code, 0);
            EXPECT_EQ(r.blk_exp, e.blkExp);
            EXPECT_EQ(r.overflow, 0);
            for (size_t k = 0; k < n; ++k) {
                ASSERT_EQ(r.re[k], k % 2 == 0 ? std::ldexp(2 * e.h, -e.blkExp) : 0.0) << k;
                ASSERT_EQ(r.im[k], 0.0) << k;
            }
        }
    }
}

}  // namespace
