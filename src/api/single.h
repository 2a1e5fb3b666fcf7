// IEEE single-precision helpers for the floating-point data mode. Doubles
// beyond the single range are converted without relying on out-of-range
// float conversion.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

// The largest finite single, (2 - 2^-23) * 2^127.
constexpr double kSingleMax = 3.4028234663852886e38;

// x rounded to single precision (nearest, ties to even); beyond the range an
// infinity of x's sign, NaN stays NaN. Inline: the floating-point mode takes
// it for every value.
inline float toSingle(double x) {
    // Doubles from the midpoint between the largest single and 2^128 upward
    // round to infinity (the midpoint itself ties to the even infinity).
    const double overflowEdge = 3.4028235677973366e38;  // 2^128 - 2^103
    if (std::isnan(x)) return std::numeric_limits<float>::quiet_NaN();
    if (x >= overflowEdge) return std::numeric_limits<float>::infinity();
    if (x <= -overflowEdge) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(x);
}

inline uint32_t singleBits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}
inline bool isNanSingle(float f) {
    const uint32_t u = singleBits(f);
    return (u & 0x7F800000u) == 0x7F800000u && (u & 0x007FFFFFu) != 0;
}
inline bool isInfSingle(float f) {
    const uint32_t u = singleBits(f);
    return (u & 0x7F800000u) == 0x7F800000u && (u & 0x007FFFFFu) == 0;
}
inline bool isSubnormalSingle(float f) {
    const uint32_t u = singleBits(f);
    return (u & 0x7F800000u) == 0 && (u & 0x007FFFFFu) != 0;
}
