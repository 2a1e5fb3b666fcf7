// Burst architectures (C_ARCH 1, 2 and 4) end to end through the C interface.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "Harness.h"
#include "dft_reference.h"

namespace {

using ref::generics;
struct Config {
    int nfftMax, nfft, width, twiddle, scaling, bfp, rounding, direction;
    double amplitude;  // per part
};

struct Measured {  // the result, its input, scale, error bound and RMS error against the exact transform
    Result r;
    ref::cvec x;
    int scaleExp = 0;
    double bound = 0.0, error = 0.0;
};

// One bit more than the growth in the first stage, one less in the last: every
// shift from 0 to 3 occurs and no sample of magnitude below 0.71 overflows.
std::vector<int32_t> schedule(const std::vector<int>& radix) {
    std::vector<int32_t> s;
    for (int r : radix) s.push_back(r / 2);
    s.front() += 1;
    s.back() -= 1;
    return s;
}

Measured measure(const Config& c, int arch) {
    const size_t n = size_t(1) << c.nfft;
    const auto re = ref::gridNoise(n, c.width, c.amplitude, 1), im = ref::gridNoise(n, c.width, c.amplitude, 101);
    Core core(generics(c.nfftMax, arch, c.width, c.twiddle, c.scaling, c.bfp, c.rounding, c.nfft < c.nfftMax));
    const auto radix = ref::burstStages(arch, c.nfft);
    const auto sch = c.scaling && !c.bfp ? schedule(radix) : std::vector<int32_t>{};
    Measured m{core.run(re, im, c.direction, sch, c.nfft), ref::combine(re, im)};
    std::vector<int> shifts(sch.begin(), sch.end());
    if (!c.scaling) shifts.assign(radix.size(), 0);
    if (c.bfp) shifts = ref::earliestShifts(radix, m.r.blkExp);
    for (int s : shifts) m.scaleExp += s;
    double power = 0.0;
    for (const auto& x : m.x) power += std::norm(x) / double(2 * n);
    m.bound = ref::noiseBound(radix, shifts, power, -(c.width - 1), c.twiddle);
    m.error = ref::maxError(m.r.re, m.r.im, ref::dft(m.x, c.direction == 1), m.scaleExp, true);
    return m;
}

TEST(BurstEndToEnd, MatchesDoublePrecisionTransform) {
    const Config configs[] = {
        // nfftMax nfft width twiddle scaling bfp rounding direction amplitude
        {3, 3, 16, 16, 1, 0, 0, 1, 0.5},    {5, 5, 8, 8, 1, 1, 1, 1, 0.9},     {6, 6, 16, 16, 1, 0, 0, 1, 0.5},
        {7, 7, 16, 16, 1, 0, 1, 0, 0.5},    {10, 10, 16, 16, 1, 0, 0, 1, 0.5}, {9, 9, 16, 16, 0, 0, 0, 1, 0.99},
        {10, 10, 16, 16, 0, 0, 1, 0, 0.99}, {10, 10, 16, 16, 1, 1, 0, 1, 0.9}, {9, 9, 16, 16, 1, 1, 1, 0, 0.4},
        {8, 8, 16, 16, 1, 1, 0, 1, 0.2},    {7, 7, 8, 8, 1, 0, 1, 1, 0.5},     {7, 7, 8, 8, 1, 1, 0, 0, 0.9},
        {7, 7, 8, 8, 0, 0, 0, 1, 0.99},     {8, 8, 34, 34, 1, 0, 0, 0, 0.5},   {9, 9, 34, 34, 0, 0, 1, 1, 0.99},
        {8, 8, 34, 8, 1, 1, 0, 0, 0.9},     {8, 8, 8, 34, 1, 0, 1, 1, 0.5},    {12, 7, 16, 16, 1, 0, 1, 0, 0.5},
        {12, 9, 16, 12, 1, 1, 0, 1, 0.9},   {11, 6, 16, 16, 0, 0, 0, 1, 0.99}, {16, 6, 16, 16, 1, 0, 1, 1, 0.5},
        {13, 13, 18, 16, 1, 1, 0, 0, 0.9},
    };
    for (const Config& c : configs) {
        Result two;
        for (int arch : {1, 2, 4}) {
            if (arch == 1 && c.nfft < 6) continue;
            SCOPED_TRACE(testing::Message() << "arch " << arch << " config " << &c - configs);
            const Measured m = measure(c, arch);
            ASSERT_EQ(m.r.code, 0);
            EXPECT_LE(m.error, m.bound);
            EXPECT_EQ(m.r.overflow, 0);
            EXPECT_TRUE(c.bfp || m.r.blkExp == 0);
            if (arch == 2) two = m.r;
            if (arch == 4) {  // the same engine as C_ARCH 2, bit for bit
                EXPECT_EQ(std::tie(m.r.re, m.r.im, m.r.blkExp), std::tie(two.re, two.im, two.blkExp));
            }
        }
    }
}

// A constant input keeps all but one sample of every stage at 0, so the
// results are exact: X[0] = N x / 2^(block exponent or schedule), the other
// bins 0. Growth to +1 is an overflow and wraps to -1, growth to exactly -1
// is not; the schedules are told apart by the stage in which they shift. No
// schedule means unscaled, or block floating point when a block exponent is
// given: its first shift comes from the headroom of the input (radix 2: 1 for
// none; radix 4: 2 for none, 1 for one redundant sign bit), each later one
// from the growth class of the samples the stage before wrote.
TEST(BurstEndToEnd, ConstantInputExactResults) {
    const double q1 = 3277 / 32768.0, q3 = 9830 / 32768.0, q6 = 19661 / 32768.0;  // headroom 2, 1, 0
    const struct {
        int arch, nfft;
        double x;
        std::vector<int32_t> schedule;
        int blkExp, overflow;
        double bin0;
    } cases[] = {
        {2, 3, 0.5, {2, 1, 0}, 0, 0, 0.5},          {2, 3, 0.5, {0, 1, 2}, 0, 1, -0.5},
        {2, 3, 0.5, {1, 2, 3}, 0, 0, 1.0 / 16},     {2, 6, -0.25, {0, 0, 1, 1, 1, 1}, 0, 0, -1.0},
        {2, 6, 0.5, {0, 0, 0, 0, 0, 0}, 0, 1, 0.0}, {1, 6, 0.5, {2, 2, 2}, 0, 0, 0.5},
        {1, 7, 0.5, {2, 2, 2, 1}, 0, 0, 0.5},       {1, 6, 3 / 32768.0, {3, 0, 2}, 0, 0, 4 / 32768.0},
        {1, 7, 0.5, {2, 2, 2, 0}, 0, 1, -1.0},      {1, 6, -0.25, {0, 2, 2}, 0, 0, -1.0},
        {1, 9, -0.25, {0, 2, 2, 2, 0}, 0, 1, 0.0},  {1, 8, 0.125, {0, 3, 1, 2}, 0, 0, 0.5},
        {1, 10, 0.5, {}, 0, 0, 512.0},              {2, 10, 0.5, {}, 0, 0, 512.0},
        {1, 6, q3, {}, 5, 0, 2 * q3},               {1, 7, q3, {}, 7, 0, q3},
        {1, 6, q6, {}, 6, 0, q6},                   {1, 7, q6, {}, 8, 0, q3},
        {1, 6, q1, {}, 4, 0, 4 * q1},               {1, 8, -q3, {}, 7, 0, -2 * q3},
        {1, 9, q1, {}, 8, 0, 2 * q1},               {2, 6, -1.0, {}, 7, 0, -0.5},
        {2, 6, 0.125, {}, 4, 0, 0.5},               {2, 5, q6, {}, 5, 0, q6},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(testing::Message() << "arch " << k.arch << " nfft " << k.nfft << " x " << k.x);
        const bool bfp = k.blkExp > 0;
        Core core(generics(k.nfft, k.arch, 16, 16, bfp || !k.schedule.empty(), bfp, 0));
        const size_t n = size_t(1) << k.nfft;
        const auto r = core.run(std::vector<double>(n, k.x), std::vector<double>(n, 0.0), 1, k.schedule, k.nfft);
        ASSERT_EQ(r.code, 0);
        EXPECT_EQ(r.overflow, k.overflow);
        EXPECT_EQ(r.blkExp, k.blkExp);
        for (size_t i = 0; i < n; ++i) {
            ASSERT_EQ(r.re[i], i ? 0.0 : k.bin0) << i;
            ASSERT_EQ(r.im[i], 0.0) << i;
        }
    }
}

// Values off the input grid are all rounded, ties to even, after one warning;
// a value that would round up to +1 becomes the largest code. An impulse at
// index 0 passes the rounded value to every bin unchanged.
TEST(BurstEndToEnd, OffGridInputsAreRoundedToEven) {
    const double step = std::ldexp(1.0, -15);
    const struct {
        double x, re, im;  // input x - jx and its rounded parts
    } cases[] = {{0.5 + step / 2, 0.5, -0.5},
                 {0.5 + 1.5 * step, 0.5 + 2 * step, -0.5 - 2 * step},
                 {1 - step / 4, 1 - step, -1.0}};
    for (int arch : {1, 2}) {
        for (const auto& c : cases) {
            Core core(generics(6, arch, 16, 16, 0, 0, 0));
            std::vector<double> re(64), im(64);
            re[0] = c.x;
            im[0] = -c.x;
            Result r;
            const std::string err = captureStderr([&] { r = core.run(re, im, 1, {}, 6); });
            EXPECT_EQ(err, "WARNING:vfft_v8_0:simulate called with real and/or imaginary data values that are not "
                           "pre-quantized to signed two's-complement fixed-point values of precision "
                           "C_INPUT_WIDTH = 16 bits.  All real and imaginary data will be internally rounded to "
                           "the nearest quantization level for this precision (using convergent rounding to "
                           "nearest even).\n");
            EXPECT_EQ(r.re, std::vector<double>(64, c.re)) << arch << " " << c.x;
            EXPECT_EQ(r.im, std::vector<double>(64, c.im)) << arch << " " << c.x;
        }
    }
}

}  // namespace
