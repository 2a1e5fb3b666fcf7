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
double roundHalfEven(double x);

// x rounded (ties to even) to a multiple of 2^-(w-1). With noClamp 0 a value
// that would round up to +1.0 or beyond is truncated to the largest code.
double quantizeToWidth(double x, int w, int noClamp);
