#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "engine/R4_loop.h"

namespace {

using cd = std::complex<double>;

ConfigRecord config(int32_t nfftMax, int32_t width, int32_t twiddleWidth, int32_t scaling) {
    ConfigRecord c{};
    c.data_width = width;
    c.result_width = scaling ? width : width + nfftMax + 1;
    c.twiddle_width = twiddleWidth;
    c.nfft_max = nfftMax;
    c.has_scaling = scaling;
    c.arch = 1;
    return c;
}

void setLength(ConfigRecord& c, int32_t nfft) {
    c.nfft = nfft;
    c.nfft_odd = nfft & 1;
    c.half_nfft = nfft >> 1;
    c.points = 1 << nfft;
    c.r4_points = (nfft & 1) ? c.points / 2 : c.points;
    c.r4_addr_mask = c.r4_points / 4 - 1;
}

TEST(R4Loop, ConstructionFormatsBanksForLargestLength) {
    const ConfigRecord c = config(8, 16, 12, 0);
    R4_loop e(c);
    EXPECT_EQ(e.result_width, 25);
    EXPECT_EQ(e.nfft_max, 8);
    for (int32_t b = 0; b < 4; ++b) {
        const FixComplex& last = e.mem[b * R4_loop::kBankSize + 63];
        EXPECT_EQ(last.re.width(), 25);
        EXPECT_EQ(last.im.binaryPoint, 24);
        EXPECT_EQ(last.re.toDouble(), 0.0);
        EXPECT_EQ(e.mem[b * R4_loop::kBankSize + 64].re.width(), 0);  // beyond 2^8 / 4
    }
    for (const FixComplex* r : {&e.tw1, &e.tw2, &e.tw3}) {
        EXPECT_EQ(r->re.width(), 13);
        EXPECT_EQ(r->im.binaryPoint, 11);
        EXPECT_EQ(r->re.overflowMode(), Saturate);
    }
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(e.pe_in[i].re.width(), 25);
        EXPECT_EQ(e.read_regs[i].im.width(), 25);
        EXPECT_EQ(e.write_regs[i].re.binaryPoint, 24);
    }
}

// An impulse at i0 transforms to 0.5 e^(-+2 pi j i0 k / N). The samples are
// placed and read with the engine's own position rule, without the driver.
TEST(R4Loop, ImpulseThroughEngine) {
    const struct {
        int32_t nfftMax, nfft, i0, direction;
    } cases[] = {{6, 6, 1, 1}, {7, 7, 5, 1}, {7, 7, 66, 0}, {8, 6, 37, 0}, {9, 7, 3, 1}};
    for (const auto& t : cases) {
        ConfigRecord c = config(t.nfftMax, 16, 16, 0);
        R4_loop e(c);
        setLength(c, t.nfft);
        e.setup(c);
        const int32_t n = 1 << t.nfft;
        const int32_t eighth = n / 8;
        for (int32_t i = 0; i < n; ++i) {
            const int32_t j = e.digitReverse(i);
            const int32_t a = e.nfft_odd ? (j & (eighth - 1)) + ((j >> 2) & eighth) : (j & e.r4_addr_mask);
            FixComplex& slot = e.mem[(e.digitSum(j) & 3) * R4_loop::kBankSize + a];
            slot.re = i == t.i0 ? 0.5 : 0.0;
            slot.im = 0.0;
        }
        e.direction = t.direction;
        TWIDDLE_ROM rom(t.nfftMax, 16);
        e.run(rom);
        EXPECT_EQ(e.r4_addr_mask, c.r4_addr_mask);
        EXPECT_EQ(e.blk_exp, 0);
        EXPECT_EQ(e.overflow, 0);
        const double sign = t.direction ? -1.0 : 1.0;
        double worst = 0.0;
        for (int32_t k = 0; k < n; ++k) {
            const int32_t a = ((e.r4_points >> 2) & (k >> 2)) + (k & e.r4_addr_mask);
            const FixComplex& r = e.mem[(e.digitSum(k) & 3) * R4_loop::kBankSize + a];
            const double angle = sign * 2.0 * M_PI * double((t.i0 * k) % n) / n;
            worst = std::max(worst, std::abs(cd(r.re.toDouble(), r.im.toDouble()) - 0.5 * std::polar(1.0, angle)));
        }
        // Twiddle quantisation (2^-16 per part) and product rounding, per stage.
        EXPECT_LT(worst, 4 * t.nfft * std::ldexp(1.0, -16)) << t.nfft << " " << t.i0;
    }
}

}  // namespace
