// Floating-point data mode (C_USE_FLT_PT = 1) end to end, every architecture.
#include <gtest/gtest.h>

#include <limits>

#include "Harness.h"
#include "dft_reference.h"

namespace {

velmor_ip_vfft_v8_0_generics floatGenerics(int arch, int nfftMax, int hasNfft = 0) {
    auto g = ref::generics(nfftMax, arch, 32, 24, 1, 0, 1, hasNfft);
    g.C_USE_FLT_PT = 1;
    return g;
}

constexpr int kArchs[] = {1, 2, 3, 4};

TEST(FloatMode, UnscaledResultBeyondSingleRangeBecomesInfinity) {
    Core core(floatGenerics(3, 3));
    const auto r = core.run(std::vector<double>(8, 3.0e38), std::vector<double>(8, 0.0), 1, {}, 3);
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.re, (std::vector<double>{std::numeric_limits<double>::infinity(), 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(r.overflow, 1);
}

// The unscaled pipeline keeps every bit of its 27-bit samples: one LSB of a
// frame whose largest value is 0.75 survives to the sum of bin 0, where a
// narrower sample grid would round it away (a tie to even).
TEST(FloatMode, SamplesUseTheFullDataWidth) {
    Core core(floatGenerics(3, 3));
    std::vector<double> re = {0.75, -0.75, 0.75, -0.75, 0.75, -0.75, 0.75, -0.75}, im(8, 0.0);
    im[1] = std::ldexp(1.0, -26);
    const auto r = core.run(re, im, 1, {}, 3);
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.re[0], 0.0);
    EXPECT_EQ(r.im[0], std::ldexp(1.0, -26));
    EXPECT_EQ(r.re[4], 6.0);
}

// Results carry single-precision significance and stay within a few single
// ulps of the largest bin over the whole exponent range.
TEST(FloatMode, WideDynamicRangeMatchesDoublePrecisionTransform) {
    for (int arch : kArchs) {
        for (double scale : {1e-30, 1e-3, 1.0, 1e12, 1e30}) {
            for (int nfft : {6, 7, 10}) {
                Core core(floatGenerics(arch, 10, 1));
                auto re = ref::gridNoise(size_t(1) << nfft, 24, 1.0, nfft);
                auto im = ref::gridNoise(size_t(1) << nfft, 24, 1.0, nfft + 7);
                for (double* v : {re.data(), im.data()})
                    for (size_t i = 0; i < re.size(); ++i) v[i] = static_cast<float>(v[i] * scale);
                const auto r = core.run(re, im, nfft & 1, {}, nfft);
                ASSERT_EQ(r.code, 0);
                EXPECT_EQ(r.blkExp, 0);
                const auto X = ref::dft(ref::combine(re, im), (nfft & 1) == 1);
                double peak = 0;
                for (const auto& x : X) peak = std::max({peak, std::fabs(x.real()), std::fabs(x.imag())});
                EXPECT_LE(ref::maxError(r.re, r.im, X, 0), peak * 2e-6) << arch << " " << scale << " " << nfft;
                for (size_t k = 0; k < re.size(); ++k) ASSERT_TRUE(r.re[k] == float(r.re[k]) && r.im[k] == float(r.im[k]));
            }
        }
    }
}

}  // namespace
