#include "engine/R2_loop.h"

#include <cmath>

#include "engine/R2_DIT_PE.h"
#include "engine/R2_walk.h"

R2_loop::R2_loop(const ConfigRecord& config)
    : pre_division(EngineFormat::burst(config).pre_division), mem(2 * kBankSize) {
    copyConfig(config);
    formatCarriers(result_width);
    tw.setFormatFrom(twiddle_format);
    const int32_t used = (1 << nfft_max) / 2;
    for (int32_t a = 0; a < used; ++a) {
        formatLike(mem[a], data_format);
        formatLike(mem[kBankSize + a], data_format);
    }
    for (int i = 0; i < 2; ++i) {
        formatLike(pe_in[i], data_format);
        formatLike(read_regs[i], data_format);
        formatLike(write_regs[i], data_format);
    }
}

void R2_loop::load(int32_t i, double re, double im) {
    FixComplex& slot = mem[R2_walk(*this, kBankSize).input(i)];
    slot.re = std::ldexp(re, -preDivision());
    slot.im = std::ldexp(im, -preDivision());
    const int32_t h = sampleHeadroom(slot);
    if (h < bfp_growth) bfp_growth = h;
}

void R2_loop::result(int32_t i, double& re, double& im) const {
    const FixComplex& r = mem[R2_walk(*this, kBankSize).result(i)];
    re = r.re.toDouble();
    im = r.im.toDouble();
}

void R2_loop::run(TWIDDLE_ROM& rom) {
    const R2_walk walk(*this, kBankSize);
    R2_DIT_PE pe(pe_in, *this);
    blk_exp = 0;
    bfp_growth = 1 - bfp_growth > 0 ? 1 - bfp_growth : 0;
    for (int32_t s = 0; s < walk.stages(); ++s) {
        stage_index = s;
        const int32_t shift = stageShift(s);
        walk.stage(s, [&](const R2_butterfly& b) {
            rom.lookup(tw, b.tw);
            read_regs[0] = mem[b.addr[0]];
            read_regs[1] = mem[b.addr[1]];
            pe_in[0] = read_regs[b.p];
            pe_in[1] = read_regs[b.p ^ 1];
            pe.butterfly(tw, shift);
            write_regs[0] = pe.out[b.p];
            write_regs[1] = pe.out[b.p ^ 1];
            for (int32_t j = 0; j < 2; ++j) {
                mem[b.addr[j]] = write_regs[j];
                if (has_bfp) bfp_growth = growthClass2(write_regs[j]);
            }
            ++butterfly_index;
        });
    }
    overflow = pe.overflow;
}
