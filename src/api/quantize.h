// Rounding of the caller's doubles to the grid of a signed fraction.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

// 2^n, from its bits where it is a normal double.
inline double powerOfTwo(int32_t n) {
    if (n < -1022 || n > 1023) return std::ldexp(1.0, n);
    const uint64_t bits = static_cast<uint64_t>(n + 1023) << 52;
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

// The integer nearest to x; halfway cases go to the even integer.
inline double roundHalfEven(double x) {
    // Below 2^51 in magnitude, adding and subtracting 1.5 * 2^52 rounds to
    // the nearest integer, ties to even. A zero result keeps the sign of x,
    // as rounding down or up from it would.
    constexpr double kRound = 6755399441055744.0;
    if (std::fabs(x) < 2251799813685248.0) {
        const double r = (x + kRound) - kRound;
        return r == 0.0 ? std::copysign(0.0, x) : r;
    }
    // From 2^51 on, and for infinities and NaN: the nearer of floor and
    // ceiling, the even one on a tie.
    const double f = std::floor(x);
    const double c = std::ceil(x);
    const double d = std::fabs(x - f);
    if (d < 0.5) return f;
    if (d > 0.5) return c;
    return std::fmod(f, 2.0) == 0.0 ? f : c;
}

// x rounded (ties to even) to a multiple of 2^-(w-1). With noClamp 0 a value
// that would round up to +1.0 or beyond is truncated to the largest code.
inline double quantizeToWidth(double x, int w, int noClamp) {
    const double s = powerOfTwo(w - 1);
    double r = roundHalfEven(s * x);
    if (noClamp == 0) {
        if (r >= s)
            r = std::floor(s * x);
        else if (r < -s)
            r = std::ceil(s * x);
    }
    return r * powerOfTwo(1 - w);  // r / s, exactly
}
