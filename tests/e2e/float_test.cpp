// Floating-point data mode (C_USE_FLT_PT = 1) end to end, every architecture.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <limits>
#include <string>

#include "dft_reference.h"

namespace {

using ref::Core;

// Collects what the library writes to standard error while it lives.
class StderrCapture {
public:
    StderrCapture() : file_(std::tmpfile()), saved_(dup(2)) {
        std::cerr.flush();
        std::fflush(stderr);
        dup2(fileno(file_), 2);
    }
    ~StderrCapture() {
        restore();
        std::fclose(file_);
    }
    std::string text() {
        restore();
        std::string s;
        std::rewind(file_);
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, file_)) > 0) s.append(buf, n);
        return s;
    }

private:
    void restore() {
        if (saved_ < 0) return;
        std::cerr.flush();
        std::fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        saved_ = -1;
    }
    std::FILE* file_;
    int saved_;
};

velmor_ip_vfft_v8_0_generics floatGenerics(int arch, int nfftMax, int hasNfft = 0) {
    auto g = ref::generics(nfftMax, arch, 32, 16, 1, 0, 1, hasNfft);
    g.C_USE_FLT_PT = 1;
    g.C_TWIDDLE_WIDTH = 24;
    return g;
}

constexpr int kArchs[] = {1, 2, 3, 4};

bool isSingleNanPattern(double x) {
    float f = static_cast<float>(x);
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return std::isnan(x) && u == 0x7FFFFFFFu;
}

TEST(FloatMode, AllZeroInputGivesZeros) {
    for (int arch : kArchs) {
        Core core(floatGenerics(arch, 6));
        StderrCapture err;
        const auto r = core.run(std::vector<double>(64, 0.0), std::vector<double>(64, 0.0), 6, 1);
        EXPECT_EQ(err.text(), "") << arch;
        ASSERT_EQ(r.code, 0);
        for (int k = 0; k < 64; ++k) ASSERT_EQ(r.re[k], 0.0) << arch;
        EXPECT_EQ(r.blk_exp, 0);
        EXPECT_EQ(r.overflow, 0);
    }
}

TEST(FloatMode, ImpulseKeepsItsHeightForAnyBlockExponent) {
    // The input block exponent (2 for 3.0, 0 for 0.75, negative for tiny
    // values) and the engine's own exponent are undone exactly.
    for (int arch : kArchs) {
        for (double height : {3.0, 0.75, -1.5e-20, 6.0e25}) {
            Core core(floatGenerics(arch, 7));
            std::vector<double> re(128, 0.0), im(128, 0.0);
            re[0] = height;
            const auto r = core.run(re, im, 7, 0);
            ASSERT_EQ(r.code, 0);
            const double expect = static_cast<float>(height);
            for (int k = 0; k < 128; ++k) {
                ASSERT_EQ(r.re[k], expect) << arch << " " << height << " " << k;
                ASSERT_EQ(r.im[k], 0.0) << arch << " " << height << " " << k;
            }
            EXPECT_EQ(r.blk_exp, 0);
        }
    }
}

TEST(FloatMode, SubnormalSinglesAreFlushedWithAWarning) {
    velmor_ip_vfft_v8_0_state* st = velmor_ip_vfft_v8_0_create_state(floatGenerics(2, 3));
    ASSERT_NE(st, nullptr);
    std::vector<double> re(8, 0.25), im(8, 0.0), xr(8), xi(8);
    re[2] = 1.0e-40;
    im[5] = -1.0e-40;
    im[6] = 1.0e-50;  // zero as a single: no warning
    velmor_ip_vfft_v8_0_inputs in{3, re.data(), 8, im.data(), 8, nullptr, 0, 1};
    velmor_ip_vfft_v8_0_outputs out{xr.data(), 8, xi.data(), 8, 0, 0};
    StderrCapture err;
    EXPECT_EQ(velmor_ip_vfft_v8_0_bitacc_simulate(st, in, &out), 0);
    EXPECT_EQ(err.text(),
              "WARNING:vfft_v8_0:simulate called with a denormalized real data value, this value will be set "
              "to zero\n"
              "WARNING:vfft_v8_0:simulate called with a denormalized imag data value, this value will be set "
              "to zero\n");
    EXPECT_EQ(re[2], 0.0);
    EXPECT_EQ(im[5], 0.0);
    EXPECT_FALSE(std::signbit(im[5]));
    EXPECT_EQ(im[6], 1.0e-50);
    EXPECT_EQ(xr[0], 1.75f);
    velmor_ip_vfft_v8_0_destroy_state(st);
}

TEST(FloatMode, InfinityOrNanInvalidatesEveryResult) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double value;
        bool imag;
        const char* warning;
    } cases[] = {
        {inf, false, "WARNING:vfft_v8_0:simulate called with real data values set to inf or NaN, output will be invalidated\n"},
        {nan, true, "WARNING:vfft_v8_0:simulate called with imag data values set to inf or NaN, output will be invalidated\n"},
        {1.0e39, false, "WARNING:vfft_v8_0:simulate called with real data values set to inf or NaN, output will be invalidated\n"},
        {-inf, true, "WARNING:vfft_v8_0:simulate called with imag data values set to inf or NaN, output will be invalidated\n"},
    };
    for (int arch : kArchs) {
        for (const auto& c : cases) {
            Core core(floatGenerics(arch, 6));
            std::vector<double> re = ref::gridNoise(64, 16, 0.5, 3), im(64, 0.25);
            (c.imag ? im : re)[9] = c.value;
            StderrCapture err;
            const auto r = core.run(re, im, 6, 1);
            EXPECT_EQ(err.text(), c.warning) << arch;
            ASSERT_EQ(r.code, 0);
            for (int k = 0; k < 64; ++k) {
                ASSERT_TRUE(isSingleNanPattern(r.re[k])) << arch << " " << k;
                ASSERT_TRUE(isSingleNanPattern(r.im[k])) << arch << " " << k;
            }
        }
    }
}

TEST(FloatMode, ValuesJustBeyondTheSingleRangeAreRejected) {
    Core core(floatGenerics(1, 6));
    std::vector<double> re(64, 0.0), im(64, 0.0);
    re[4] = 3.4028235e38;
    StderrCapture err;
    EXPECT_EQ(core.run(re, im, 6, 1).code, 10);
    re[4] = 0.0;
    im[7] = -3.4028235e38;
    EXPECT_EQ(core.run(re, im, 6, 1).code, 13);
    EXPECT_EQ(err.text(),
              "ERROR:vfft_v8_0:simulate called with invalid real data value: xn_re[4] = 3.40282e+38: all "
              "values must be in the range -3.40282e+38< data < 3.40282e+38\n"
              "ERROR:vfft_v8_0:simulate called with invalid imaginary data value: xn_im[7] = -3.40282e+38: "
              "all values must be in the range -3.40282e+38< data < 3.40282e+38\n");
}

TEST(FloatMode, UnscaledResultBeyondSingleRangeBecomesInfinity) {
    Core core(floatGenerics(3, 3));
    std::vector<double> re(8, 3.0e38), im(8, 0.0);
    const auto r = core.run(re, im, 3, 1);
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.re[0], std::numeric_limits<double>::infinity());
    EXPECT_EQ(r.overflow, 1);
    for (int k = 1; k < 8; ++k) EXPECT_EQ(r.re[k], 0.0) << k;
}

TEST(FloatMode, WideDynamicRangeMatchesDoublePrecisionTransform) {
    for (int arch : kArchs) {
        for (double scale : {1e-30, 1e-3, 1.0, 1e12, 1e30}) {
            for (int nfft : {6, 7, 10}) {
                Core core(floatGenerics(arch, 10, 1));
                const size_t n = size_t(1) << nfft;
                auto re = ref::gridNoise(n, 24, 1.0, nfft);
                auto im = ref::gridNoise(n, 24, 1.0, nfft + 7);
                for (size_t i = 0; i < n; ++i) {
                    re[i] = static_cast<float>(re[i] * scale);
                    im[i] = static_cast<float>(im[i] * scale);
                }
                const auto r = core.run(re, im, nfft, nfft & 1);
                ASSERT_EQ(r.code, 0);
                EXPECT_EQ(r.blk_exp, 0);
                const auto X = ref::dft(ref::combine(re, im), (nfft & 1) == 1);
                double peak = 0;
                for (const auto& x : X) peak = std::max({peak, std::fabs(x.real()), std::fabs(x.imag())});
                const double err = ref::maxError(r.re, r.im, X, 0);
                EXPECT_LE(err, peak * 2e-6) << arch << " " << scale << " " << nfft;
                for (size_t k = 0; k < n; ++k) {
                    ASSERT_EQ(r.re[k], static_cast<double>(static_cast<float>(r.re[k])));
                    ASSERT_EQ(r.im[k], static_cast<double>(static_cast<float>(r.im[k])));
                }
            }
        }
    }
}

}  // namespace
