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

    const R22_DIF_formats f(result_width, twiddle_width, scaled_fixed, nfft_max);
    const int32_t outQuant = has_rounding ? RoundHalfEvenHoldMax : Truncate;
    round_grid = f.round_grid;
    for (int i = 0; i < 2; ++i) {
        formatRegister(out[i], f.out, outQuant);
        formatRegister(bf[i], f.bf, Truncate);
        formatRegister(product[i], f.product, Truncate);
        formatRegister(product_biased[i], f.product, Truncate);
        formatRegister(product_r[i], f.product_r, Truncate);
        // Used with a fixed schedule only.
        if (scaled_fixed) {
            formatRegister(scaled[i], f.scaled, Truncate);
            formatRegister(final_regs[i], f.final_regs, Truncate);
        }
    }
    formatRegister(rnd_const, f.rnd_const, Truncate);
    setRoundingConstant(rnd_const, f.rnd_ones);
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
        const RegisterFormat last = R22_DIF_formats(result_width, twiddle_width, true, nfft_max).scaled_last;
        for (int i = 0; i < 2; ++i) {
            scaled[i].re.setFormat(last.width, last.point, Signed, Truncate, Wrap);
            scaled[i].im.setFormat(last.width, last.point, Signed, Truncate, Wrap);
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
