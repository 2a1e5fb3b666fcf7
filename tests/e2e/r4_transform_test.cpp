// Radix-4 burst core (C_ARCH 1) through the C interface: every scaling
// option, rounding, both directions, odd and even lengths, run-time lengths
// and widths 8 to 34, each compared with a double-precision DFT of the
// quantised input at the documented scale, within an error bound derived
// from the word lengths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "e2e/dft_reference.h"

namespace {

const double kSqrt2 = std::sqrt(2.0);

// Stage structure of an engine: the radix of each stage and, for block
// floating point, the largest shift each stage can take.
struct Plan {
    std::vector<int> radix;
    std::vector<int> maxShift;
};

Plan radix4Plan(int nfft) {
    Plan p;
    for (int s = 0; s < nfft / 2; ++s) p.radix.push_back(4);
    if (nfft & 1) p.radix.push_back(2);
    p.maxShift.assign(p.radix.size(), 3);
    p.maxShift[0] = 2;
    return p;
}

Plan radix2Plan(int nfft) {
    Plan p;
    p.radix.assign(nfft, 2);
    p.maxShift.assign(nfft, 2);
    p.maxShift[0] = 1;
    return p;
}

struct Bounds {
    double peak;  // largest error of one result
    double rms;   // root-mean-square error over the results
};

// Error bounds in output units (complex magnitudes, so they also bound each
// part). Every stage of radix r with shift sh adds, to each of its outputs:
//   - the rounding of r - 1 twiddle products to W + 2 fraction bits,
//   - the twiddle quantisation error (2^-T per part) times the signal,
// both divided by 2^sh, and the output quantisation (one LSB 2^-(W-1) when
// truncating, half of it when rounding). Each error then passes through the
// later stages: their worst-case gain prod(r / 2^sh) bounds the peak error,
// their norm prod(sqrt(r) / 2^sh) the RMS error. `shifts` holds the stage
// shifts when known (unscaled: zeros; fixed schedule); for block floating
// point it is empty and the later stages are assumed to have taken as little
// of blkExp as possible, which gives the largest gains.
Bounds errorBounds(const Plan& p, const std::vector<int>& shifts, int blkExp, int W, int T, int rounding,
                   double inPeak, double inRms, double outScale) {
    const size_t stages = p.radix.size();
    const bool known = !shifts.empty();
    const double product = kSqrt2 * (std::ldexp(1.0, -(W + 3)) + std::ldexp(1.0, -(W + T - 2)));
    const double twiddle = kSqrt2 * std::ldexp(1.0, -T);
    const double output = kSqrt2 * std::ldexp(1.0, rounding ? -W : -(W - 1));
    double peak = 0.0, rms = 0.0;
    double sigPeak = inPeak, sigRms = inRms;
    int takenSoFar = 0;
    for (size_t s = 0; s < stages; ++s) {
        const int r = p.radix[s];
        const int sh = known ? shifts[s] : 0;
        double gain = 1.0, norm = 1.0;
        if (known) {
            for (size_t t = s + 1; t < stages; ++t) {
                gain *= p.radix[t] / std::ldexp(1.0, shifts[t]);
                norm *= std::sqrt(double(p.radix[t])) / std::ldexp(1.0, shifts[t]);
            }
        } else {
            takenSoFar += p.maxShift[s];
            const int later = std::max(0, blkExp - takenSoFar);
            for (size_t t = s + 1; t < stages; ++t) {
                gain *= p.radix[t];
                norm *= std::sqrt(double(p.radix[t]));
            }
            gain /= std::ldexp(1.0, later);
            norm /= std::ldexp(1.0, later);
        }
        const double m = known ? std::min(kSqrt2, sigPeak) : kSqrt2;
        const double mr = known ? std::min(kSqrt2, sigRms) : kSqrt2;
        const double scale = std::ldexp(1.0, -sh);
        peak += ((r - 1) * (product + twiddle * m) * scale + output) * gain;
        rms += ((r - 1) * product * scale + std::sqrt(double(r)) * twiddle * mr * scale + output) * norm;
        if (known) {
            sigPeak *= r * scale;
            sigRms *= std::sqrt(double(r)) * scale;
        }
    }
    return {peak * outScale, rms * outScale};
}

struct Config {
    int nfftMax, arch, inputWidth, twiddleWidth, scaling, bfp, rounding, hasNfft;
};

// Width of the engine's samples and the factor from engine units to the
// values the caller sees.
int engineWidth(const Config& c) { return c.scaling ? c.inputWidth : c.inputWidth + c.nfftMax + 1; }
double outputScale(const Config& c) { return c.scaling ? 1.0 : std::ldexp(1.0, c.nfftMax + 1); }

velmor_ip_vfft_v8_0_generics toGenerics(const Config& c) {
    return ref::generics(c.nfftMax, c.arch, c.inputWidth, c.twiddleWidth, c.scaling, c.bfp, c.rounding,
                         c.hasNfft);
}

struct Frame {
    std::vector<double> re, im;
    ref::cvec x;
};

Frame noiseFrame(int nfft, int width, double amplitude, uint32_t seed) {
    Frame f;
    const size_t n = size_t(1) << nfft;
    f.re = ref::gridNoise(n, width, amplitude, seed);
    f.im = ref::gridNoise(n, width, amplitude, seed + 1000);
    f.x = ref::combine(f.re, f.im);
    return f;
}

// The documented scale of the results: a fixed schedule divides by
// 2^(sum of its entries), block floating point by 2^blk_exp; unscaled
// results are the transform at full size.
int scaleExponent(const Config& c, const std::vector<int32_t>& schedule, const ref::Result& r) {
    if (!c.scaling) return 0;
    if (c.bfp) return r.blk_exp;
    int e = 0;
    for (int v : schedule) e += v;
    return e;
}

Bounds boundsFor(const Config& c, int nfft, const std::vector<int32_t>& schedule, const ref::Result& r,
                 const ref::cvec& x) {
    const Plan plan = c.arch == 1 ? radix4Plan(nfft) : radix2Plan(nfft);
    std::vector<int> shifts;
    if (!c.scaling) shifts.assign(plan.radix.size(), 0);
    if (c.scaling && !c.bfp) shifts.assign(schedule.begin(), schedule.end());
    double peak = 0.0, power = 0.0;
    for (const auto& v : x) {
        peak = std::max(peak, std::abs(v));
        power += std::norm(v);
    }
    const double toEngine = 1.0 / outputScale(c);
    return errorBounds(plan, shifts, r.blk_exp, engineWidth(c), c.twiddleWidth, c.rounding, peak * toEngine,
                       std::sqrt(power / double(x.size())) * toEngine, outputScale(c));
}

bool within(const std::vector<double>& re, const std::vector<double>& im, const ref::cvec& X, int scaleExp,
            const Bounds& b) {
    return ref::maxError(re, im, X, scaleExp) <= b.peak && ref::rmsError(re, im, X, scaleExp) <= b.rms;
}

// Runs one frame and checks it against the DFT. The same check must fail for
// the transform of the other direction and for the results with outputs 1 and
// 3 of every last-stage butterfly exchanged (bins k + N/4 and k + 3N/4), so
// the bound is tight enough to see such faults; with 12 or more bits of data
// and twiddle it must also see one exchanged pair of results.
void checkFrame(const Config& c, ref::Core& core, const Frame& f, int nfft, int direction,
                const std::vector<int32_t>& schedule, const std::string& what) {
    SCOPED_TRACE(what);
    const ref::Result r = core.run(f.re, f.im, nfft, direction, schedule);
    ASSERT_EQ(r.code, 0);
    ASSERT_EQ(r.re.size(), size_t(1) << nfft);
    EXPECT_EQ(r.overflow, 0);
    if (!c.scaling || !c.bfp) {
        EXPECT_EQ(r.blk_exp, 0);
    }
    const ref::cvec X = ref::dft(f.x, direction == 1);
    const int e = scaleExponent(c, schedule, r);
    const Bounds b = boundsFor(c, nfft, schedule, r, f.x);
    EXPECT_LE(ref::maxError(r.re, r.im, X, e), b.peak);
    EXPECT_LE(ref::rmsError(r.re, r.im, X, e), b.rms);

    const ref::cvec flipped = ref::dft(f.x, direction != 1);
    EXPECT_FALSE(within(r.re, r.im, flipped, e, b)) << "bound too loose to see the direction";
    const size_t n = r.re.size();
    std::vector<double> re = r.re, im = r.im;
    for (size_t k = n / 4; k < n / 2; ++k) {
        std::swap(re[k], re[k + n / 2]);
        std::swap(im[k], im[k + n / 2]);
    }
    EXPECT_FALSE(within(re, im, X, e, b)) << "bound too loose to see exchanged butterfly outputs";
    if (std::min(c.inputWidth, c.twiddleWidth) >= 12) {
        re = r.re;
        im = r.im;
        std::swap(re[1], re[n / 2 + 3]);
        std::swap(im[1], im[n / 2 + 3]);
        EXPECT_FALSE(within(re, im, X, e, b)) << "bound too loose to see two exchanged results";
    }
}

std::string describe(const Config& c, int nfft, int direction) {
    return "nfft " + std::to_string(nfft) + " of " + std::to_string(c.nfftMax) + ", widths " +
           std::to_string(c.inputWidth) + "/" + std::to_string(c.twiddleWidth) + ", scaling " +
           std::to_string(c.scaling) + " bfp " + std::to_string(c.bfp) + " rounding " +
           std::to_string(c.rounding) + ", direction " + std::to_string(direction);
}

struct Case {
    Config config;
    int nfft;
    int direction;
    std::vector<int32_t> schedule;
    double amplitude;
};

void runCases(const std::vector<Case>& cases) {
    uint32_t seed = 1;
    for (const Case& k : cases) {
        ref::Core core(toGenerics(k.config));
        ASSERT_TRUE(core.ok());
        const Frame f = noiseFrame(k.nfft, k.config.inputWidth, k.amplitude, seed += 7);
        checkFrame(k.config, core, f, k.nfft, k.direction, k.schedule, describe(k.config, k.nfft, k.direction));
    }
}

// A fixed schedule of shift 2 per radix-4 stage keeps every sample of an
// input below 0.5 per part inside the range; a final radix-2 entry of 1 does
// too, an entry of 0 needs the smaller input.
TEST(R4Transform, FixedSchedules) {
    runCases({
        {{10, 1, 16, 16, 1, 0, 0, 0}, 10, 1, {2, 2, 2, 2, 2}, 0.5},
        {{10, 1, 16, 16, 1, 0, 1, 0}, 10, 0, {2, 2, 2, 2, 2}, 0.5},
        {{9, 1, 16, 16, 1, 0, 0, 0}, 9, 1, {2, 2, 2, 2, 1}, 0.5},
        {{9, 1, 16, 16, 1, 0, 1, 0}, 9, 0, {2, 2, 2, 2, 0}, 0.3},
        {{7, 1, 16, 16, 1, 0, 0, 0}, 7, 0, {3, 2, 2, 0}, 0.5},
        {{7, 1, 16, 18, 1, 0, 1, 0}, 7, 1, {1, 3, 2, 1}, 0.5},
        {{6, 1, 12, 12, 1, 0, 1, 0}, 6, 1, {2, 2, 2}, 0.5},
        {{8, 1, 16, 16, 1, 0, 0, 0}, 8, 0, {3, 3, 1, 1}, 0.5},
    });
}

TEST(R4Transform, Unscaled) {
    runCases({
        {{10, 1, 16, 16, 0, 0, 0, 0}, 10, 1, {}, 0.99},
        {{10, 1, 16, 16, 0, 0, 1, 0}, 10, 0, {}, 0.99},
        {{9, 1, 16, 16, 0, 0, 0, 0}, 9, 0, {}, 0.99},
        {{9, 1, 18, 14, 0, 0, 1, 0}, 9, 1, {}, 0.99},
        {{6, 1, 16, 16, 0, 0, 0, 0}, 6, 1, {}, 0.99},
        {{7, 1, 16, 16, 0, 0, 1, 0}, 7, 0, {}, 0.99},
    });
}

// Block floating point at amplitudes whose largest part has no, one and two
// redundant sign bits, so the first stage shifts by 2, 1 and 0.
TEST(R4Transform, BlockFloatingPoint) {
    runCases({
        {{10, 1, 16, 16, 1, 1, 0, 0}, 10, 1, {}, 0.9},
        {{10, 1, 16, 16, 1, 1, 1, 0}, 10, 0, {}, 0.4},
        {{9, 1, 16, 16, 1, 1, 0, 0}, 9, 0, {}, 0.2},
        {{9, 1, 16, 16, 1, 1, 1, 0}, 9, 1, {}, 0.9},
        {{8, 1, 16, 16, 1, 1, 1, 0}, 8, 1, {}, 0.02},
        {{7, 1, 16, 16, 1, 1, 0, 0}, 7, 0, {}, 0.6},
        {{6, 1, 16, 16, 1, 1, 0, 0}, 6, 1, {}, 0.9},
    });
}

// Input and twiddle widths across their whole range, in every scaling option.
TEST(R4Transform, Widths) {
    runCases({
        {{8, 1, 8, 8, 1, 0, 1, 0}, 8, 1, {2, 2, 2, 2}, 0.5},
        {{7, 1, 8, 8, 1, 1, 0, 0}, 7, 0, {}, 0.9},
        {{7, 1, 8, 8, 0, 0, 0, 0}, 7, 1, {}, 0.99},
        {{8, 1, 34, 34, 1, 0, 0, 0}, 8, 0, {2, 2, 2, 2}, 0.5},
        {{9, 1, 34, 34, 1, 1, 1, 0}, 9, 1, {}, 0.9},
        {{9, 1, 34, 34, 0, 0, 1, 0}, 9, 0, {}, 0.99},
        {{8, 1, 8, 34, 1, 0, 0, 0}, 8, 1, {2, 2, 2, 2}, 0.5},
        {{8, 1, 34, 8, 1, 1, 0, 0}, 8, 0, {}, 0.9},
        {{7, 1, 12, 20, 0, 0, 1, 0}, 7, 0, {}, 0.99},
        {{10, 1, 24, 10, 1, 0, 1, 0}, 10, 1, {2, 2, 2, 2, 2}, 0.5},
        {{6, 1, 20, 28, 1, 1, 1, 0}, 6, 0, {}, 0.9},
    });
}

// Run-time length below the largest: the twiddle indices step by
// 2^C_NFFT_MAX / N.
TEST(R4Transform, RunTimeLength) {
    runCases({
        {{12, 1, 16, 16, 1, 0, 0, 1}, 6, 1, {2, 2, 2}, 0.5},
        {{12, 1, 16, 16, 1, 0, 1, 1}, 7, 0, {2, 2, 2, 1}, 0.5},
        {{12, 1, 16, 16, 0, 0, 0, 1}, 8, 0, {}, 0.99},
        {{12, 1, 16, 16, 1, 1, 1, 1}, 9, 1, {}, 0.9},
        {{11, 1, 16, 16, 1, 1, 0, 1}, 10, 0, {}, 0.9},
        {{16, 1, 16, 16, 1, 0, 1, 1}, 6, 0, {2, 2, 2}, 0.5},
    });
}

TEST(R4Transform, LargeLengths) {
    runCases({
        {{12, 1, 16, 16, 1, 0, 1, 0}, 12, 1, {2, 2, 2, 2, 2, 2}, 0.5},
        {{13, 1, 18, 16, 1, 1, 0, 0}, 13, 0, {}, 0.9},
    });
}

// A constant input keeps all but one sample of every stage at 0, so the
// results are exact: X[0] = N x / 2^(schedule), every other bin 0. Growth to
// +1 is an overflow (and wraps to -1), growth to exactly -1 is not.
TEST(R4Transform, ConstantInputScheduleAndOverflow) {
    const struct {
        int nfft;
        double x;
        std::vector<int32_t> schedule;
        int overflow;
        double bin0;
    } cases[] = {
        {6, 0.5, {2, 2, 2}, 0, 0.5},
        {7, 0.5, {2, 2, 2, 1}, 0, 0.5},
        {7, 0.5, {2, 2, 2, 0}, 1, -1.0},   // the radix-2 stage reaches +1
        {6, 0.5, {1, 2, 2}, 1, -1.0},      // +1 after the first stage, wrapped to -1
        {6, -0.25, {0, 2, 2}, 0, -1.0},    // exactly -1 in every stage
        {9, -0.25, {0, 2, 2, 2, 0}, 1, 0.0},
        {8, 0.125, {0, 3, 1, 2}, 0, 0.5},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE("nfft " + std::to_string(k.nfft) + " x " + std::to_string(k.x));
        ref::Core core(ref::generics(k.nfft, 1, 16, 16, 1, 0, 0));
        const size_t n = size_t(1) << k.nfft;
        const ref::Result r =
            core.run(std::vector<double>(n, k.x), std::vector<double>(n, 0.0), k.nfft, 1, k.schedule);
        ASSERT_EQ(r.code, 0);
        EXPECT_EQ(r.overflow, k.overflow);
        EXPECT_EQ(r.blk_exp, 0);
        EXPECT_EQ(r.re[0], k.bin0);
        EXPECT_EQ(r.im[0], 0.0);
        if (!k.overflow) {
            for (size_t i = 1; i < n; ++i) {
                ASSERT_EQ(r.re[i], 0.0) << i;
                ASSERT_EQ(r.im[i], 0.0) << i;
            }
        }
    }
    // Unscaled: the full-size bin 0 and no flags.
    ref::Core core(ref::generics(10, 1, 16, 16, 0, 0, 0));
    const ref::Result r = core.run(std::vector<double>(1024, 0.5), std::vector<double>(1024, 0.0), 10, 1);
    EXPECT_EQ(r.re[0], 512.0);
    EXPECT_EQ(r.re[1], 0.0);
    EXPECT_EQ(r.blk_exp, 0);
    EXPECT_EQ(r.overflow, 0);
    // A schedule of zeros overflows on noise of half scale.
    ref::Core zero(ref::generics(8, 1, 16, 16, 1, 0, 1));
    const Frame f = noiseFrame(8, 16, 0.5, 99);
    EXPECT_EQ(zero.run(f.re, f.im, 8, 0, {0, 0, 0, 0}).overflow, 1);
}

// Block floating point on a constant input: the first shift comes from the
// headroom of the input (2 for none, 1 for one redundant sign bit, 0 for
// two or more), each later one from the radix-4 growth class of the stage
// before; here every stage after the first writes a class-2 value.
TEST(R4Transform, BlockExponentOfConstantInput) {
    const double q3 = 9830 / 32768.0;   // about 0.3: headroom 1, 0.6 after the first stage
    const double q6 = 19661 / 32768.0;  // about 0.6: headroom 0
    const double q1 = 3277 / 32768.0;   // about 0.1: headroom 2, 0.4 after the first stage
    const struct {
        int nfft;
        double x;
        int blkExp;
        double bin0;
    } cases[] = {
        {6, q3, 5, 2 * q3}, {7, q3, 7, q3}, {6, q6, 6, q6}, {7, q6, 8, q3},  // q6 / 2 truncated is q3
        {6, q1, 4, 4 * q1}, {8, -q3, 7, -2 * q3}, {9, q1, 8, 2 * q1},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE("nfft " + std::to_string(k.nfft) + " x " + std::to_string(k.x));
        ref::Core core(ref::generics(k.nfft, 1, 16, 16, 1, 1, 0));
        const size_t n = size_t(1) << k.nfft;
        const ref::Result r = core.run(std::vector<double>(n, k.x), std::vector<double>(n, 0.0), k.nfft, 0);
        ASSERT_EQ(r.code, 0);
        EXPECT_EQ(r.blk_exp, k.blkExp);
        EXPECT_EQ(r.overflow, 0);
        EXPECT_EQ(r.re[0], k.bin0);
        for (size_t i = 1; i < n; ++i) ASSERT_EQ(r.re[i], 0.0) << i;
    }
}

// The radix-4 and the radix-2 engines compute the same DFT by different
// roundings: both must lie within their own bounds of it.
TEST(R4Transform, AgreesWithRadix2Engine) {
    const struct {
        int nfft, scaling, bfp, rounding, direction;
    } cases[] = {{8, 0, 0, 0, 1}, {9, 1, 1, 1, 0}, {7, 0, 0, 1, 0}, {10, 1, 1, 0, 1}};
    uint32_t seed = 500;
    for (const auto& k : cases) {
        const Frame f = noiseFrame(k.nfft, 16, 0.9, seed += 3);
        const ref::cvec X = ref::dft(f.x, k.direction == 1);
        for (int arch : {1, 2}) {
            SCOPED_TRACE("arch " + std::to_string(arch) + " nfft " + std::to_string(k.nfft));
            const Config c{k.nfft, arch, 16, 16, k.scaling, k.bfp, k.rounding, 0};
            ref::Core core(toGenerics(c));
            const ref::Result r = core.run(f.re, f.im, k.nfft, k.direction);
            ASSERT_EQ(r.code, 0);
            const Bounds b = boundsFor(c, k.nfft, {}, r, f.x);
            const int e = scaleExponent(c, {}, r);
            EXPECT_LE(ref::maxError(r.re, r.im, X, e), b.peak);
            EXPECT_LE(ref::rmsError(r.re, r.im, X, e), b.rms);
        }
    }
}

// One state serving calls of different lengths and directions gives, call
// by call, exactly what a fresh state gives.
TEST(R4Transform, ConsecutiveCallsMatchFreshStates) {
    const std::pair<int, int> calls[] = {{10, 1}, {7, 0}, {8, 1}, {9, 0}, {6, 1}, {10, 0}};
    for (int bfp : {0, 1}) {
        const Config c{10, 1, 16, 16, 1, bfp, 1, 1};
        ref::Core shared(toGenerics(c));
        uint32_t seed = 900;
        for (const auto& call : calls) {
            const int nfft = call.first, direction = call.second;
            SCOPED_TRACE(describe(c, nfft, direction));
            std::vector<int32_t> schedule;
            if (!bfp) schedule.assign((nfft + 1) / 2, 2);
            if (!bfp && (nfft & 1)) schedule.back() = 1;
            const Frame f = noiseFrame(nfft, 16, bfp ? 0.7 : 0.4, seed += 11);
            const ref::Result a = shared.run(f.re, f.im, nfft, direction, schedule);
            ref::Core fresh(toGenerics(c));
            const ref::Result b = fresh.run(f.re, f.im, nfft, direction, schedule);
            ASSERT_EQ(a.code, 0);
            EXPECT_EQ(a.re, b.re);
            EXPECT_EQ(a.im, b.im);
            EXPECT_EQ(a.blk_exp, b.blk_exp);
            EXPECT_EQ(a.overflow, b.overflow);
        }
    }
}

}  // namespace
