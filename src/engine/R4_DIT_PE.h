// R4_DIT_PE: one radix-4 decimation-in-time butterfly of the radix-4 burst
// engine, or two independent radix-2 butterflies in the last stage of an
// odd-length transform. Inputs 1, 2 and 3 are multiplied by their twiddles at
// full precision and rounded to three fraction bits more than the data; two
// layers of exact additions form the outputs (forward kernel, -j by exchanging
// parts), which are scaled by the stage shift, checked for overflow and
// quantised back to the data width.
#pragma once

#include "engine/FFT.h"

class R4_DIT_PE : public FFT {
public:
    // inputs: the engine's four input registers, read at every butterfly.
    R4_DIT_PE(const FixComplex* inputs, const FFT& engine);

    // Radix-4 (r2_mode 0): out = x0 + x1 w1 + x2 w2 + x3 w3 combined with the
    // forward kernel, in the order 0, 1, 2, 3 of the output frequency.
    // Dual radix-2 (r2_mode != 0): out[0] = x0 + x1 w1, out[1] = x2 w2 + x3 w3,
    // out[2] = x0 - x1 w1, out[3] = x2 w2 - x3 w3.
    void butterfly(int32_t r2_mode, int32_t shift, const FixComplex& tw1, const FixComplex& tw2,
                   const FixComplex& tw3);
    // The two addition layers from pe_in[0] and the rounded products into sums.
    void combine(int32_t r2_mode);

    const FixComplex* pe_in;
    FixComplex sums[4];
    FixComplex scaled[4];
    FixComplex out[4];
    FixComplex product_r[3];
    FixComplex product[3];
    FixComplex rnd_const;
    FixComplex legs[4];
};
