#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <utility>

#include "engine/TWIDDLE_ROM.h"

namespace {

std::complex<double> at(TWIDDLE_ROM& rom, uint32_t k) {
    FixComplex r;
    rom.lookup(r, k);
    return {r.re.toDouble(), r.im.toDouble()};
}

// Every factor is cos + j sin of its angle rounded to the nearest multiple of
// 2^-(T-1), exact at the quarter points; the index wraps modulo 2^nfft_max and
// mirrors to the conjugate.
TEST(TwiddleRom, FactorsAreRoundedCosAndSin) {
    for (const auto& [n, T] : {std::pair(3, 16), {10, 8}, {10, 34}, {16, 16}}) {
        TWIDDLE_ROM rom(n, T);
        const uint32_t period = 1u << n, step = period > 1024 ? period / 1024 : 1;  // quarter points included
        const double grid = std::ldexp(1.0, T - 1);
        for (uint32_t k = 0; k < period; k += step) {
            const std::complex<double> t = at(rom, k);
            const double a = 2 * M_PI * k / period;
            const std::complex<double> exact(std::nearbyint(std::cos(a) * grid), std::nearbyint(std::sin(a) * grid));
            EXPECT_EQ(t, exact / grid) << n << " " << T << " " << k;
            EXPECT_EQ(at(rom, k + period * 5), t);
            EXPECT_EQ(at(rom, period - k), std::conj(t));
        }
    }
    TWIDDLE_ROM rom(6, 16);
    EXPECT_EQ(at(rom, 8).imag(), 23170 * std::ldexp(1.0, -15));  // sin(pi/4)
}

}  // namespace
