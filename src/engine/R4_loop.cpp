#include "engine/R4_loop.h"

#include <cmath>

#include "engine/R4_DIT_PE.h"
#include "engine/R4_walk.h"

R4_loop::R4_loop(const ConfigRecord& config)
    : pre_division(EngineFormat::burst(config).pre_division), mem(4 * kBankSize) {
    copyConfig(config);
    formatCarriers(result_width);
    tw1.setFormatFrom(twiddle_format);
    tw2.setFormatFrom(twiddle_format);
    tw3.setFormatFrom(twiddle_format);
    const int32_t used = (1 << nfft_max) / 4;
    for (int32_t b = 0; b < 4; ++b)
        for (int32_t a = 0; a < used; ++a) formatLike(mem[b * kBankSize + a], data_format);
    for (int i = 0; i < 4; ++i) {
        formatLike(pe_in[i], data_format);
        formatLike(read_regs[i], data_format);
        formatLike(write_regs[i], data_format);
    }
}

void R4_loop::load(int32_t i, double re, double im) {
    FixComplex& slot = mem[R4_walk(*this, kBankSize).input(i)];
    slot.re = std::ldexp(re, -preDivision());
    slot.im = std::ldexp(im, -preDivision());
    const int32_t h = sampleHeadroom(slot);
    if (h < bfp_growth) bfp_growth = h;
}

void R4_loop::result(int32_t i, double& re, double& im) const {
    const FixComplex& r = mem[R4_walk(*this, kBankSize).result(i)];
    re = r.re.toDouble();
    im = r.im.toDouble();
}

void R4_loop::run(TWIDDLE_ROM& rom) {
    const R4_walk walk(*this, kBankSize);
    R4_DIT_PE pe(pe_in, *this);
    blk_exp = 0;
    bfp_growth = 2 - bfp_growth > 0 ? 2 - bfp_growth : 0;
    for (int32_t s = 0; s < walk.stages(); ++s) {
        stage_index = s;
        const int32_t r2_mode = walk.radix2(s) ? 1 : 0;
        const int32_t shift = stageShift(s);
        const int32_t* order = walk.outputOrder(s);
        walk.stage(s, [&](const R4_butterfly& b) {
            if (b.newTwiddles) {
                rom.lookup(tw1, b.tw[0]);
                rom.lookup(tw2, b.tw[1]);
                rom.lookup(tw3, b.tw[2]);
            }
            // Bank j holds leg (j - sigma) & 3.
            const int32_t rho = (-b.sigma) & 3;
            for (int32_t j = 0; j < 4; ++j) read_regs[j] = mem[b.leg[(j + rho) & 3]];
            for (int32_t i = 0; i < 4; ++i) pe_in[i] = read_regs[(i + b.sigma) & 3];
            pe.butterfly(r2_mode, shift, tw1, tw2, tw3);
            for (int32_t j = 0; j < 4; ++j) write_regs[j] = pe.out[order[(j + rho) & 3]];
            for (int32_t j = 0; j < 4; ++j) {
                mem[b.leg[(j + rho) & 3]] = write_regs[j];
                if (has_bfp) bfp_growth = growthClass4(write_regs[j]);
            }
            ++butterfly_index;
        });
        overflow = pe.overflow;
    }
}
