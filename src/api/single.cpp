#include "api/single.h"

#include <cmath>
#include <cstring>
#include <limits>

float toSingle(double x) {
    // Doubles from the midpoint between the largest single and 2^128 upward
    // round to infinity (the midpoint itself ties to the even infinity).
    const double overflowEdge = 3.4028235677973366e38;  // 2^128 - 2^103
    if (std::isnan(x)) return std::numeric_limits<float>::quiet_NaN();
    if (x >= overflowEdge) return std::numeric_limits<float>::infinity();
    if (x <= -overflowEdge) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(x);
}

uint32_t singleBits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

bool isNanSingle(float f) {
    const uint32_t u = singleBits(f);
    return (u & 0x7F800000u) == 0x7F800000u && (u & 0x007FFFFFu) != 0;
}

bool isInfSingle(float f) {
    const uint32_t u = singleBits(f);
    return (u & 0x7F800000u) == 0x7F800000u && (u & 0x007FFFFFu) == 0;
}

bool isSubnormalSingle(float f) {
    const uint32_t u = singleBits(f);
    return (u & 0x7F800000u) == 0 && (u & 0x007FFFFFu) != 0;
}
