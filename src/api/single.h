// IEEE single-precision helpers for the floating-point data mode. Doubles
// beyond the single range are converted without relying on out-of-range
// float conversion.
#pragma once

#include <cstdint>

// The largest finite single, (2 - 2^-23) * 2^127.
constexpr double kSingleMax = 3.4028234663852886e38;

// x rounded to single precision (nearest, ties to even); beyond the range an
// infinity of x's sign, NaN stays NaN.
float toSingle(double x);

uint32_t singleBits(float f);
bool isNanSingle(float f);
bool isInfSingle(float f);
bool isSubnormalSingle(float f);
