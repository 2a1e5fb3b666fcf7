#include "engine/R2_loop.h"

#include "engine/R2_DIT_PE.h"

R2_loop::R2_loop(const ConfigRecord& config) : mem(2 * kBankSize) {
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

void R2_loop::setup(const ConfigRecord& config) {
    nfft = config.nfft;
    points = config.points;
}

void R2_loop::run(TWIDDLE_ROM& rom) {
    const uint32_t stride = (1u << nfft_max) / static_cast<uint32_t>(points);
    R2_DIT_PE pe(pe_in, *this);
    blk_exp = 0;
    bfp_growth = 1 - bfp_growth > 0 ? 1 - bfp_growth : 0;
    const int32_t butterflies = points / 2;
    for (int32_t s = 0; s < nfft; ++s) {
        stage_index = s;
        const int32_t shift = stageShift(s);
        const int32_t lowMask = (1 << s) - 1;
        for (int32_t k = 0; k < butterflies; ++k) {
            butterfly_index = k;
            const int32_t p = bitSum(k);
            // Operand j is k with the bit (p + j) & 1 inserted at position s;
            // its parity puts it in bank j, at the index shifted down by one.
            int32_t addr[2];
            for (int32_t j = 0; j < 2; ++j) {
                const int32_t index = ((k & ~lowMask) << 1) | (((p + j) & 1) << s) | (k & lowMask);
                addr[j] = j * kBankSize + (index >> 1);
            }
            const uint32_t angle = static_cast<uint32_t>(k & lowMask) << (nfft - 1 - s);
            rom.lookup(tw, directedIndex(angle * stride));
            read_regs[0] = mem[addr[0]];
            read_regs[1] = mem[addr[1]];
            pe_in[0] = read_regs[p & 1];
            pe_in[1] = read_regs[(p + 1) & 1];
            pe.butterfly(tw, shift);
            write_regs[0] = pe.out[p & 1];
            write_regs[1] = pe.out[(p + 1) & 1];
            for (int32_t j = 0; j < 2; ++j) {
                mem[addr[j]] = write_regs[j];
                if (has_bfp) bfp_growth = growthClass2(write_regs[j]);
            }
        }
    }
    overflow = pe.overflow;
}
