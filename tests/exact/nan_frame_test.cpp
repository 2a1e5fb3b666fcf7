// Frames with a NaN sample: a NaN part is invalid, every value computed from
// an invalid part is invalid and reads as NaN, and the flags come from the
// valid parts. The flags and NaN patterns below follow from where the
// butterflies mix parts.
#include <gtest/gtest.h>

#include <random>

#include "exact_call.h"

namespace exact {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

int countNaN(const std::vector<double>& v) {
    int n = 0;
    for (double x : v) n += std::isnan(x);
    return n;
}

TEST(NaNFrame, OnlyPartsComputedFromNaNAreNaN) {
    // Burst engines: x[0] is an unmultiplied operand of every stage, so a NaN
    // real part of it invalidates every real result and no imaginary one; the
    // imaginary results are those of x[0].re = 0.
    struct Burst {
        int arch, nfftMax;
        std::vector<int32_t> schedule;
    };
    for (const Burst& c : {Burst{2, 4, {1, 1, 1, 1}}, Burst{1, 6, {2, 2, 2}}}) {
        SCOPED_TRACE(c.arch);
        const size_t n = size_t(1) << c.nfftMax;
        std::mt19937 rng(c.arch);
        std::vector<double> re(n), im(n);
        for (size_t i = 0; i < n; ++i) {
            re[i] = units(int64_t(rng() % 8192) - 4096, 16);
            im[i] = units(int64_t(rng() % 8192) - 4096, 16);
        }
        re[0] = 0.0;
        Core core({c.nfftMax, c.arch, 16, 16, 1, 0});
        const Result zero = core.run(re, im, 0, c.schedule);
        re[0] = kNaN;
        const Result r = core.run(re, im, 0, c.schedule);
        ASSERT_EQ(r.code, 0);
        EXPECT_EQ(countNaN(r.re), int(n));
        expectSame(r.im, zero.im, "im");
        EXPECT_EQ(r.overflow, zero.overflow);
    }
}

TEST(NaNFrame, FlagsComeFromTheValidParts) {
    for (int arch : {1, 2, 3}) {
        SCOPED_TRACE(arch);
        const int nfftMax = 6;
        const size_t n = 64;
        // 0.3 at x[0], x[16], x[32], x[48] and x[32].im NaN: the stage that
        // sums the four to 1.2 (and overflows) computes invalid parts only,
        // all other parts are 0. Unscheduled: no overflow.
        std::vector<double> re(n, 0.0), im(n, 0.0);
        for (size_t i : {0, 16, 32, 48}) re[i] = 0.3;
        im[32] = kNaN;
        const std::vector<int32_t> none(arch == 2 ? 6 : 3, 0);
        const Result r = Core({nfftMax, arch, 16, 16, 1, 0}).run(re, im, 1, none);
        ASSERT_EQ(r.code, 0);
        EXPECT_EQ(r.overflow, 0);
        EXPECT_EQ(countNaN(r.re) + countNaN(r.im), int(2 * n));

        // Block floating point, x[32].im NaN: the twiddle product of x[32]
        // in the first stage invalidates both parts, and from there every
        // result. An invalid part has the largest growth class (2 for radix
        // 2, 3 for radix 4), so every stage after the first shifts by it; in
        // the pipeline the block exponent of all-invalid results is 0,
        // however large the inputs.
        const double level = arch == 3 ? 0.9 : 0.05;
        std::vector<double> imag(n, level);
        imag[32] = kNaN;
        const Result b = Core({nfftMax, arch, 16, 16, 1, 1}).run(std::vector<double>(n, level), imag);
        ASSERT_EQ(b.code, 0);
        EXPECT_EQ(b.blkExp, arch == 1 ? 6 : arch == 2 ? 10 : 0);
        EXPECT_EQ(countNaN(b.re) + countNaN(b.im), int(2 * n));
    }
}

}  // namespace
}  // namespace exact
