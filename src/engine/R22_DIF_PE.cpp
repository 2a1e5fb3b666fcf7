#include "engine/R22_DIF_PE.h"

#include "engine/R22_pipeline.h"

R22_DIF_PE::R22_DIF_PE(const FixComplex* inputs, const R22_pipeline& engine) : pe_in(inputs) {
    copyElementConfig(engine);
    result_width = engine.engine_width;
    nfft = engine.nfft;
    nfft_max = engine.nfft_max;
    has_bfp = engine.has_bfp;
    direction = engine.direction;
    scaled_fixed = has_scaling == 1 && has_bfp == 0;

    const int32_t W = result_width;
    const int32_t T = twiddle_width;
    const int32_t outQuant = has_rounding ? RoundHalfEvenHoldMax : Truncate;
    if (scaled_fixed) {
        // Two guard integer bits above the sample format: the growth of a
        // stage pair before its shift.
        round_grid = W + 4;
        for (int i = 0; i < 2; ++i) {
            formatRegister(out[i], W + 2, W - 1, outQuant);
            formatRegister(bf[i], W + 2, W - 1, Truncate);
            formatRegister(product[i], W + T + 3, W + T - 2, Truncate);
            formatRegister(product_biased[i], W + T + 3, W + T - 2, Truncate);
            formatRegister(product_r[i], W + 8, W + 4, Truncate);
            formatRegister(scaled[i], W + 11, W + 7, Truncate);
            if (nfft_max % 2 == 0)
                formatRegister(final_regs[i], W + 4, W + 1, Truncate);
            else
                formatRegister(final_regs[i], W + 5, W + 2, Truncate);
        }
    } else {
        round_grid = W + 5;
        for (int i = 0; i < 2; ++i) {
            formatRegister(out[i], W, W - 1, outQuant);
            formatRegister(bf[i], W, W - 1, Truncate);
            formatRegister(product[i], W + T + 1, W + T - 2, Truncate);
            formatRegister(product_biased[i], W + T + 1, W + T - 2, Truncate);
            formatRegister(product_r[i], W + 6, W + 5, Truncate);
        }
    }
    // Half a unit of the round_grid fraction grid minus one unit of the
    // product grid: adding it before truncation rounds to nearest, ties
    // toward minus infinity. Its payload 2^k - 1 is k low one bits.
    formatRegister(rnd_const, W + T + 3, W + T - 2, Truncate);
    const int32_t ones = T + W - round_grid - 3;
    for (int32_t b = 0; b < ones; ++b) {
        rnd_const.re.setBit(b, 1);
        rnd_const.im.setBit(b, 1);
    }
}

void R22_DIF_PE::bf2i() {
    bf[0] = pe_in[0] + pe_in[1];
    bf[1] = pe_in[0] - pe_in[1];
}

void R22_DIF_PE::bf2ii(int32_t block_index) {
    if ((block_index & 1) == 0) {
        bf2i();
        return;
    }
    const FixComplex& x0 = pe_in[0];
    const FixComplex& x1 = pe_in[1];
    // x0 -/+ j*x1: -j*x1 = x1.im - j*x1.re, +j*x1 = -x1.im + j*x1.re.
    if (direction == 1) {
        bf[0].re = x0.re + x1.im;
        bf[0].im = x0.im - x1.re;
        bf[1].re = x0.re - x1.im;
        bf[1].im = x0.im + x1.re;
    } else {
        bf[0].re = x0.re - x1.im;
        bf[0].im = x0.im + x1.re;
        bf[1].re = x0.re + x1.im;
        bf[1].im = x0.im - x1.re;
    }
}

void R22_DIF_PE::scaleInto(const FixComplex* v, int32_t shift) {
    for (int i = 0; i < 2; ++i) {
        scaled[i].re = v[i].re >> shift;
        scaled[i].im = v[i].im >> shift;
    }
    for (int i = 0; i < 2; ++i) {
        checkOverflow(scaled[i].re);
        checkOverflow(scaled[i].im);
    }
}

void R22_DIF_PE::lastOddStage(int32_t shift) {
    if (!scaled_fixed) {
        out[0] = bf[0];
        out[1] = bf[1];
        return;
    }
    // The last stage scales without twiddle products: scaled needs only the
    // data grid plus the largest shift.
    if (!last_stage_format) {
        const int32_t W = result_width;
        for (int i = 0; i < 2; ++i) {
            scaled[i].re.setFormat(W + 5, W + 2, Signed, Truncate, Wrap);
            scaled[i].im.setFormat(W + 5, W + 2, Signed, Truncate, Wrap);
        }
        last_stage_format = true;
    }
    scaleInto(bf, shift);
    for (int i = 0; i < 2; ++i) {
        final_regs[i] = scaled[i];
        out[i] = final_regs[i];
    }
}

void R22_DIF_PE::butterfly(const FixComplex& tw1, const FixComplex& tw2, int32_t s,
                           int32_t block_index, int32_t shift) {
    const bool last = s == nfft - 1;
    if (s % 2 == 0) {
        bf2i();
        if (last && scaled_fixed) {
            scaleInto(bf, shift);
            out[0] = scaled[0];
            out[1] = scaled[1];
        } else {
            out[0] = bf[0];
            out[1] = bf[1];
        }
        return;
    }
    bf2ii(block_index);
    if (last) {
        lastOddStage(shift);
        return;
    }
    product[0] = bf[0] * tw1;
    product[1] = bf[1] * tw2;
    for (int i = 0; i < 2; ++i) {
        product_biased[i] = product[i] + rnd_const;
        product_r[i] = product_biased[i];
    }
    if (scaled_fixed) {
        scaleInto(product_r, shift);
        out[0] = scaled[0];
        out[1] = scaled[1];
    } else {
        out[0] = product_r[0];
        out[1] = product_r[1];
    }
}
