#include "engine/R4_DIT_PE.h"

R4_DIT_PE::R4_DIT_PE(const FixComplex* inputs, const FFT& engine) : pe_in(inputs) {
    copyElementConfig(engine);
    const R4_DIT_formats f(result_width, twiddle_width);
    const int32_t outQuant = has_rounding ? RoundHalfEvenHoldMax : Truncate;
    for (int i = 0; i < 4; ++i) {
        formatRegister(sums[i], f.sums, Truncate);
        formatRegister(scaled[i], f.scaled, Truncate);
        formatRegister(out[i], f.out, outQuant);
        formatRegister(legs[i], f.legs, Truncate);
    }
    for (int m = 0; m < 3; ++m) {
        formatRegister(product_r[m], f.product_r, Truncate);
        formatRegister(product[m], f.product, Truncate);
    }
    // Half a unit of the product_r grid minus one unit of the product grid:
    // adding it before truncation rounds to nearest, ties downward.
    formatRegister(rnd_const, f.rnd_const, Truncate);
    setRoundingConstant(rnd_const, f.rnd_ones);
}

void R4_DIT_PE::combine(int32_t r2_mode) {
    const FixComplex& a = pe_in[0];
    const FixComplex& b = product_r[0];
    const FixComplex& c = product_r[1];
    const FixComplex& d = product_r[2];
    if (r2_mode == 0) {
        legs[0] = a + c;
        legs[2] = a - c;
        legs[1] = b + d;
        // (b - d) * -j: the parts exchange and the new imaginary part is the
        // negated real part of b - d, i.e. d.re - b.re (exact).
        legs[3].re = b.im - d.im;
        legs[3].im = d.re - b.re;
    } else {
        legs[0] = a;
        legs[1] = b;
        legs[2] = c;
        legs[3] = d;
    }
    sums[0] = legs[0] + legs[1];
    sums[2] = legs[0] - legs[1];
    sums[1] = legs[2] + legs[3];
    sums[3] = legs[2] - legs[3];
}

void R4_DIT_PE::butterfly(int32_t r2_mode, int32_t shift, const FixComplex& tw1, const FixComplex& tw2,
                          const FixComplex& tw3) {
    product[0] = pe_in[1] * tw1;
    product[1] = pe_in[2] * tw2;
    product[2] = pe_in[3] * tw3;
    for (int m = 0; m < 3; ++m) {
        product[m] = product[m] + rnd_const;
        product_r[m] = product[m];
    }
    combine(r2_mode);
    for (int i = 0; i < 4; ++i) {
        scaled[i] = sums[i];
        scaled[i].re >>= shift;
        scaled[i].im >>= shift;
        out[i] = scaled[i];
        checkOverflow(scaled[i].re);
        checkOverflow(scaled[i].im);
    }
}
