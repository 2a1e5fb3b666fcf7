#include "engine/R4_loop.h"

#include "engine/R4_DIT_PE.h"

namespace {

// Order in which the element's outputs are taken: the radix-2 stage exchanges
// outputs 1 and 2 so that each result returns to the index of its leg; the
// inverse kernel exchanges outputs 1 and 3, turning -j into +j.
constexpr int32_t kIdentity[4] = {0, 1, 2, 3};
constexpr int32_t kRadix2Order[4] = {0, 2, 1, 3};
constexpr int32_t kInverseOrder[4] = {0, 3, 2, 1};

// The low `digits` base-4 digits of v in reverse order.
int32_t reverseDigits(int32_t v, int32_t digits) {
    int32_t r = 0;
    for (int32_t d = 0; d < digits; ++d) {
        r = 4 * r + (v & 3);
        v >>= 2;
    }
    return r;
}

}  // namespace

R4_loop::R4_loop(const ConfigRecord& config) : mem(4 * kBankSize) {
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

void R4_loop::setup(const ConfigRecord& config) {
    nfft = config.nfft;
    half_nfft = config.half_nfft;
    points = config.points;
    r4_points = config.r4_points;
    nfft_odd = config.nfft_odd;
    r4_addr_mask = config.r4_addr_mask;
}

void R4_loop::run(TWIDDLE_ROM& rom) {
    const uint32_t stride = (1u << nfft_max) / static_cast<uint32_t>(points);
    R4_DIT_PE pe(pe_in, *this);
    blk_exp = 0;
    bfp_growth = 2 - bfp_growth > 0 ? 2 - bfp_growth : 0;

    const int32_t h = half_nfft;
    const int32_t stages = nfft_odd + h;
    const int32_t butterflies = points / 4;
    const int32_t eighth = points / 8;
    // Radix-4 stages: a bank address has h - 1 base-4 digits; butterflies from
    // r4_points / 4 on belong to the second half of an odd-length transform,
    // whose samples sit N/8 higher in every bank.
    const int32_t addrMask = (1 << (2 * (h - 1))) - 1;
    const int32_t secondHalf = r4_points / 4;
    // Radix-2 stage: the address of leg 0 with bit 1 (the leg 2 offset) clear.
    const int32_t mask2 = (eighth - 1) & ~2;

    for (int32_t s = 0; s < stages; ++s) {
        stage_index = s;
        const int32_t r2_mode = (nfft_odd == 1 && s == stages - 1) ? 1 : 0;
        const int32_t shift = stageShift(s);
        const int32_t* order =
            r2_mode ? kRadix2Order : (direction == 0 ? kInverseOrder : kIdentity);
        // Per-stage constants of the radix-4 address and twiddle rules: leg c
        // of butterfly k has digit s equal to c; digit s of the address weighs
        // 4^s, and drops out with the top digit in the last radix-4 stage.
        const int32_t lowMask = (1 << (2 * s)) - 1;
        const int32_t legStep = s <= h - 2 ? (1 << (2 * s)) : 0;
        const int32_t twiddleShift = 2 * (h - 1 - s) + nfft_odd;
        int64_t lastTwiddle = -1;

        for (int32_t k = 0; k < butterflies; ++k) {
            butterfly_index = k;
            // Radix-2 stage: legs at q, q + N/2, q + 2 and q + 2 + N/2, where
            // q is k with a 0 inserted at bit 1. The digit sum of leg 0 gives
            // the rotation between legs and banks: bank j holds leg rho + j.
            const int32_t q = r2_mode ? 2 * k - (k & 1) : k;
            const int32_t sigma = digitSum(q) & 3;
            const int32_t rho = (-sigma) & 3;
            int32_t addr[4];
            if (r2_mode) {
                const int32_t base = q & mask2;
                for (int32_t j = 0; j < 4; ++j) {
                    const int32_t leg = (j + rho) & 3;
                    addr[j] = j * kBankSize + base + (leg & 1) * eighth + (leg & 2);
                }
                rom.lookup(tw1, directedIndex(stride * static_cast<uint32_t>(q)));
                rom.lookup(tw2, directedIndex(0));
                rom.lookup(tw3, directedIndex(stride * static_cast<uint32_t>(q + 2)));
            } else {
                // Address of leg 0. The first stage visits the butterflies in
                // digit-reversed order of k: the digits of k above the lowest
                // form the address digits above digit 0, reversed.
                int32_t base;
                if (s == 0)
                    base = 4 * reverseDigits(k >> 2, h - 2);
                else
                    base = ((((k >> (2 * s)) << (2 * s + 2)) | (k & lowMask)) & addrMask);
                if (k >= secondHalf) base += eighth;
                for (int32_t j = 0; j < 4; ++j) addr[j] = j * kBankSize + base + ((rho + j) & 3) * legStep;
                // The twiddles depend on k mod 4^s only; consecutive butterflies
                // that share it keep the factors already looked up.
                const int64_t t = static_cast<int64_t>(k & lowMask) << twiddleShift;
                if (t != lastTwiddle) {
                    lastTwiddle = t;
                    const uint32_t i1 = stride * static_cast<uint32_t>(t);
                    rom.lookup(tw1, directedIndex(i1));
                    rom.lookup(tw2, directedIndex(2 * i1));
                    rom.lookup(tw3, directedIndex(3 * i1));
                }
            }
            for (int32_t j = 0; j < 4; ++j) read_regs[j] = mem[addr[j]];
            for (int32_t i = 0; i < 4; ++i) pe_in[i] = read_regs[(i + sigma) & 3];
            pe.butterfly(r2_mode, shift, tw1, tw2, tw3);
            for (int32_t j = 0; j < 4; ++j) write_regs[j] = pe.out[order[(j + rho) & 3]];
            for (int32_t j = 0; j < 4; ++j) {
                mem[addr[j]] = write_regs[j];
                if (has_bfp) bfp_growth = growthClass4(write_regs[j]);
            }
        }
        overflow = pe.overflow;
    }
}
