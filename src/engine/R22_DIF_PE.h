// R22_DIF_PE: one radix-2 decimation-in-frequency butterfly of the pipelined
// streaming engine, in the radix-2^2 arrangement. Stages come in pairs: the
// first stage of a pair is a plain sum and difference (bf2i), the second one
// rotates its second input by -j (forward) or +j (inverse) in odd blocks
// (bf2ii) and is followed by the twiddle multiplication of the pair. With a
// fixed scaling schedule the data are shifted after the second stage of each
// pair and in the last stage, checked for overflow and quantised with two
// guard integer bits; unscaled and block-floating-point transforms run at the
// full engine width without shifts.
#pragma once

#include "engine/FFT.h"

class R22_pipeline;

class R22_DIF_PE : public FFT {
public:
    // inputs: the engine's two input registers, read at every butterfly.
    R22_DIF_PE(const FixComplex* inputs, const R22_pipeline& engine);

    // Butterfly of stage s on pe_in[0], pe_in[1]; results in out[0], out[1].
    // tw1, tw2 are used only in odd stages that are not the last; shift only
    // with a fixed schedule, in odd stages and in the last stage.
    void butterfly(const FixComplex& tw1, const FixComplex& tw2, int32_t s, int32_t block_index,
                   int32_t shift);
    // bf[0] = x0 + x1, bf[1] = x0 - x1.
    void bf2i();
    // As bf2i in even blocks; in odd blocks x1 is first rotated by -j
    // (forward) or +j (inverse).
    void bf2ii(int32_t block_index);

    const FixComplex* pe_in;
    FixComplex out[2];
    FixComplex bf[2];
    FixComplex product[2];
    FixComplex product_biased[2];
    FixComplex product_r[2];
    FixComplex scaled[2];
    FixComplex final_regs[2];
    FixComplex rnd_const;

    // Fixed scaling schedule (scaled without block floating point).
    bool scaled_fixed;
    // Fraction bits to which the twiddle products are rounded.
    int32_t round_grid;

private:
    // Scales the four parts of v by 2^-shift into scaled, with overflow checks.
    void scaleInto(const FixComplex* v, int32_t shift);
    void lastOddStage(int32_t shift);

    bool last_stage_format = false;
};
