#include "engine/R22_pipeline.h"

#include <cmath>

#include "engine/R22_DIF_PE.h"
#include "engine/R22_walk.h"

R22_pipeline::R22_pipeline(const ConfigRecord& config) : mem(kMemSize) {
    copyConfig(config);
    const EngineFormat format = EngineFormat::pipeline(config);
    engine_width = format.width;
    formatCarriers(engine_width);
    formatLike(tw1, twiddle_format);
    formatLike(tw2, twiddle_format);
    const VFix memory_format(0, format.memory.width, format.memory.point, Signed, Truncate, Wrap);
    const int32_t used = 1 << nfft_max;
    for (int32_t i = 0; i < used; ++i) formatLike(mem[i], memory_format);
    formatLike(pe_in[0], memory_format);
    formatLike(pe_in[1], memory_format);
}

void R22_pipeline::load(int32_t i, double re, double im) {
    FixComplex& slot = mem[R22_walk(*this).input(i)];
    slot.re = std::ldexp(re, -preDivision());
    slot.im = std::ldexp(im, -preDivision());
}

void R22_pipeline::result(int32_t i, double& re, double& im) const {
    const FixComplex& r = mem[R22_walk(*this).result(i)];
    re = r.re.toDouble();
    im = r.im.toDouble();
}

void R22_pipeline::run(TWIDDLE_ROM& rom) {
    const R22_walk walk(*this);
    R22_DIF_PE pe(pe_in, *this);
    blk_exp = 0;
    for (int32_t s = 0; s < walk.stages(); ++s) {
        const int32_t shift = walk.shift(s);
        const bool twiddled = walk.twiddled(s);
        walk.stage(s, [&](const R22_butterfly& b) {
            pe_in[0] = mem[b.top];
            pe_in[1] = mem[b.bottom];
            if (twiddled) {
                rom.lookup(tw1, b.tw1);
                rom.lookup(tw2, b.tw2);
            }
            pe.butterfly(tw1, tw2, s, b.block_index, shift);
            mem[b.top] = pe.out[0];
            mem[b.bottom] = pe.out[1];
            overflow = pe.overflow;
        });
    }
    if (has_scaling == 1 && has_bfp == 1) {
        blockExponent();
        for (int32_t i = 0; i < points; ++i) {
            mem[i].re = mem[i].re >> blk_exp;
            mem[i].im = mem[i].im >> blk_exp;
        }
    }
}

void R22_pipeline::blockExponent() {
    // The samples were loaded divided by 2^(nfft_max + 1); f brings the
    // results back to units of the input range.
    const double f = std::ldexp(1.0, nfft_max + 1);
    blk_exp = R22_walk(*this).blockExponent(
        [&](int32_t i, bool imag) { return (imag ? mem[i].im : mem[i].re).toDouble() * f; });
}
