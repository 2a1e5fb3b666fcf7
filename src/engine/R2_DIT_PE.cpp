#include "engine/R2_DIT_PE.h"

R2_DIT_PE::R2_DIT_PE(const FixComplex* inputs, const FFT& engine) : pe_in(inputs) {
    copyElementConfig(engine);
    const int32_t W = result_width;
    const int32_t T = twiddle_width;
    const int32_t outQuant = has_rounding ? RoundHalfEvenHoldMax : Truncate;
    for (int i = 0; i < 2; ++i) {
        formatRegister(scaled[i], W + 8, W + 5, Truncate);
        formatRegister(out[i], W, W - 1, outQuant);
        formatRegister(sums[i], W + 5, W + 2, Truncate);
    }
    formatRegister(product_r, W + 4, W + 2, Truncate);
    formatRegister(product, W + T + 2, W + T - 2, Truncate);
    // Half a unit of the W + 2 fraction-bit grid minus one unit of the product
    // grid: adding it before truncation rounds to nearest, ties downward.
    formatRegister(rnd_const, W + T + 2, W + T - 2, Truncate);
    for (int32_t b = 0; b <= T - 6; ++b) {
        rnd_const.re.setBit(b, 1);
        rnd_const.im.setBit(b, 1);
    }
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
