// Floating-point data mode: single-precision inputs are scanned for special
// values and scaled by an input block exponent onto the engine's fraction
// grid; results are rounded to single significance and scaled back.
#pragma once

#include <cstdint>

#include "api/Report.h"
#include "vfft_v8_0.h"

struct SingleScan {
    bool invalid = false;   // an infinity or NaN invalidates the output
    bool infinite = false;  // the largest magnitude is infinite: no block exponent
    int32_t exponent = 0;   // input block exponent
    // The division by 2^exponent as single-precision steps of at most 2^62:
    // multiplications by 2^c (negative exponent) or 2^-c, each as exact as the
    // division by 2^c would be.
    float steps[3] = {1.0f, 1.0f, 1.0f};
    int32_t stepCount = 1;
};

// Flushes subnormal singles to zero in the caller's arrays, warns about them
// and about infinities and NaNs, and finds the input block exponent. Sample i
// of an array a is a[i * step].
SingleScan scanSingleInputs(const velmor_ip_vfft_v8_0_inputs& in, int32_t points, int32_t step,
                            const Reporter& report);

// x as a single, divided by 2^exponent in single-precision steps, on the grid
// of a signed w-bit fraction (ties to even, no clamp).
double scaleAndQuantizeSingle(double x, const SingleScan& scan, int32_t w);

// Rounds each result to 24 significant bits, scales it by 2^k and flags
// results beyond the single range; all results become NaN when the input was
// invalid. Result i of an array a is a[i * step].
void finishSingleResults(const SingleScan& scan, int32_t k, velmor_ip_vfft_v8_0_outputs* out,
                         int32_t points, int32_t step);
