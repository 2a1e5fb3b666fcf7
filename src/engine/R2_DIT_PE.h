// R2_DIT_PE: one radix-2 decimation-in-time butterfly of the radix-2 burst
// engine. The second input is multiplied by the twiddle at full precision and
// rounded to three fraction bits more than the data; sum and difference are
// scaled by the stage shift, checked for overflow and quantised back to the
// data width.
#pragma once

#include "engine/FFT.h"

class R2_DIT_PE : public FFT {
public:
    // inputs: the engine's two input registers, read at every butterfly.
    R2_DIT_PE(const FixComplex* inputs, const FFT& engine);

    // out[0] = a + w*b, out[1] = a - w*b for a = pe_in[0], b = pe_in[1].
    void butterfly(const FixComplex& w, int32_t shift);
    void addSub();

    const FixComplex* pe_in;
    FixComplex scaled[2];
    FixComplex out[2];
    FixComplex sums[2];
    FixComplex product_r;
    FixComplex product;
    FixComplex rnd_const;
};
