// One validated frame as the engines receive it: the caller's values and how
// each is brought onto the engine's data grid before it is loaded.
#pragma once

#include <cstdint>

#include "api/quantize.h"
#include "api/single_mode.h"
#include "vfft_v8_0.h"

struct Frame {
    const velmor_ip_vfft_v8_0_inputs* in;
    int32_t points;
    int32_t dataWidth;         // the engine's data width
    int32_t step = 1;          // doubles from one sample to the next, in the inputs and the results
    bool prequantise = false;  // fixed point: values off the input grid are rounded
    const SingleScan* single = nullptr;  // floating point: the input scan
    bool invalid = false;      // some sample is NaN on the data grid

    // Value of real part (imag = false) or imaginary part of sample i on the
    // engine's data grid, before any pre-division.
    double sample(int32_t i, bool imag) const {
        const double x = (imag ? in->xn_im : in->xn_re)[i * step];
        if (single) return scaleAndQuantizeSingle(x, *single, dataWidth);
        return prequantise ? quantizeToWidth(x, dataWidth, 0) : x;
    }
};
