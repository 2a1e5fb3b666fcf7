#include <gtest/gtest.h>

#include <cmath>

#include "engine/TWIDDLE_ROM.h"

namespace {

struct Twiddle {
    double re, im;
};

Twiddle at(TWIDDLE_ROM& rom, uint32_t k) {
    FixComplex r;
    rom.lookup(r, k);
    return {r.re.toDouble(), r.im.toDouble()};
}

TEST(TwiddleRom, QuarterPointsAreExact) {
    for (int n : {3, 8, 16}) {
        TWIDDLE_ROM rom(n, 16);
        const uint32_t q = 1u << (n - 2);
        const Twiddle expect[] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
        for (uint32_t i = 0; i < 4; ++i) {
            const Twiddle t = at(rom, i * q);
            EXPECT_EQ(t.re, expect[i].re) << n << " " << i;
            EXPECT_EQ(t.im, expect[i].im) << n << " " << i;
        }
    }
}

TEST(TwiddleRom, EntriesAreRoundedCosAndSin) {
    for (int T : {8, 16, 24, 34}) {
        TWIDDLE_ROM rom(10, T);
        const double step = std::ldexp(1.0, -(T - 1));
        for (uint32_t k = 0; k < 1024; k += 7) {
            const Twiddle t = at(rom, k);
            const double a = 2 * M_PI * k / 1024.0;
            EXPECT_LE(std::fabs(t.re - std::cos(a)), step / 2 + 1e-15) << T << " " << k;
            EXPECT_LE(std::fabs(t.im - std::sin(a)), step / 2 + 1e-15) << T << " " << k;
            EXPECT_EQ(std::ldexp(t.re, T - 1), std::round(std::ldexp(t.re, T - 1)));
        }
    }
    TWIDDLE_ROM rom(6, 16);
    EXPECT_EQ(at(rom, 8).im, 23170 * std::ldexp(1.0, -15));  // sin(pi/4)
}

TEST(TwiddleRom, IndexWrapsAndMirrorsConjugate) {
    TWIDDLE_ROM rom(10, 18);
    for (uint32_t k = 1; k < 1024; k += 13) {
        const Twiddle a = at(rom, k);
        const Twiddle wrapped = at(rom, k + 1024 * 5);
        const Twiddle mirror = at(rom, 1024 - k);
        EXPECT_EQ(a.re, wrapped.re);
        EXPECT_EQ(a.im, wrapped.im);
        EXPECT_EQ(a.re, mirror.re);
        EXPECT_EQ(a.im, -mirror.im);
    }
}

}  // namespace
