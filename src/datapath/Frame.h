// One validated frame as an engine receives it: the caller's values and how
// each is brought onto the engine's data grid before it is loaded.
#pragma once

#include <cstdint>

struct Frame {
    const double* re;
    const double* im;
    int32_t points;
    int32_t step = 1;  // doubles from one sample to the next, in the inputs and the results
    // Brings one of the caller's values onto the data grid, with the
    // parameters `how` of that step; null when the values lie on it already.
    double (*toGrid)(double x, const void* how) = nullptr;
    const void* how = nullptr;
    bool invalid = false;  // some value on the data grid is NaN

    // Real part (imag = false) or imaginary part of sample i on the data
    // grid, before any pre-division.
    double sample(int32_t i, bool imag) const {
        const double x = (imag ? im : re)[i * step];
        return toGrid ? toGrid(x, how) : x;
    }
};
