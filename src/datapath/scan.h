// The scans of the caller's values that each datapath answers (Datapath.h),
// as portable loops: value i of an array is values[i * step].
#pragma once

#include <cstdint>

// Some value lies outside [-1, 1) (NaN does not), in one branch-free pass.
inline bool portableAnyOutsideUnit(const double* values, int32_t points, int32_t step) {
    bool outside = false;
    for (int32_t i = 0; i < points * step; i += step) outside |= (values[i] < -1.0) | (values[i] >= 1.0);
    return outside;
}

// Some value times scale is not an integer (NaN is not either). The scaled
// values lie within 2^33 or are NaN; adding and subtracting 1.5 * 2^52 rounds
// such a value to an integer, which equals it exactly when it is one.
inline bool portableAnyOffGrid(const double* values, int32_t points, int32_t step, double scale) {
    constexpr double kRound = 6755399441055744.0;
    bool off = false;
    for (int32_t i = 0; i < points * step; i += step) {
        const double v = scale * values[i];
        off |= !((v + kRound) - kRound == v);
    }
    return off;
}
