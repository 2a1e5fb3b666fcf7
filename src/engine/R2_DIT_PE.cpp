#include "engine/R2_DIT_PE.h"

R2_DIT_PE::R2_DIT_PE(const FixComplex* inputs, const FFT& engine) : pe_in(inputs) {
    copyElementConfig(engine);
    const R2_DIT_formats f(result_width, twiddle_width);
    const int32_t outQuant = has_rounding ? RoundHalfEvenHoldMax : Truncate;
    for (int i = 0; i < 2; ++i) {
        formatRegister(scaled[i], f.scaled, Truncate);
        formatRegister(out[i], f.out, outQuant);
        formatRegister(sums[i], f.sums, Truncate);
    }
    formatRegister(product_r, f.product_r, Truncate);
    formatRegister(product, f.product, Truncate);
    // Half a unit of the product_r grid minus one unit of the product grid:
    // adding it before truncation rounds to nearest, ties downward.
    formatRegister(rnd_const, f.rnd_const, Truncate);
    setRoundingConstant(rnd_const, f.rnd_ones);
}

void R2_DIT_PE::addSub() {
    sums[0] = pe_in[0] + product_r;
    sums[1] = pe_in[0] - product_r;
}

void R2_DIT_PE::butterfly(const FixComplex& w, int32_t shift) {
    product = pe_in[1] * w;
    product = product + rnd_const;
    product_r = product;
    addSub();
    for (int i = 0; i < 2; ++i) {
        scaled[i] = sums[i];
        scaled[i].re >>= shift;
        scaled[i].im >>= shift;
        out[i] = scaled[i];
        checkOverflow(scaled[i].re);
        checkOverflow(scaled[i].im);
    }
}
