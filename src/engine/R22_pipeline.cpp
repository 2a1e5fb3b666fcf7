#include "engine/R22_pipeline.h"

#include <cmath>

#include "engine/R22_DIF_PE.h"

R22_pipeline::R22_pipeline(const ConfigRecord& config) : mem(kMemSize) {
    copyConfig(config);
    // Block floating point runs unscaled at full width and normalises once
    // at the end.
    engine_width = has_scaling == 1 && has_bfp == 1 ? data_width + nfft_max + 1 : result_width;
    const int32_t W = engine_width;
    formatCarriers(W);
    formatLike(tw1, twiddle_format);
    formatLike(tw2, twiddle_format);
    // The memory has one integer bit more than the samples: it carries the
    // growth of the first stage of a pair, which is not shifted.
    const VFix memory_format(0, W + 1, W - 1, Signed, Truncate, Wrap);
    const int32_t used = 1 << nfft_max;
    for (int32_t i = 0; i < used; ++i) formatLike(mem[i], memory_format);
    formatLike(pe_in[0], memory_format);
    formatLike(pe_in[1], memory_format);
}

void R22_pipeline::setup(const ConfigRecord& config) {
    nfft = config.nfft;
    points = config.points;
}

void R22_pipeline::run(TWIDDLE_ROM& rom) {
    const int32_t n = points;
    const uint32_t stride = (1u << nfft_max) / static_cast<uint32_t>(n);
    const bool scaled_fixed = has_scaling == 1 && has_bfp == 0;
    R22_DIF_PE pe(pe_in, *this);
    blk_exp = 0;
    for (int32_t s = 0; s < nfft; ++s) {
        const bool last = s == nfft - 1;
        // Schedule entry m scales stage 2m + 1; the lone last stage of an
        // odd-length transform takes the low bit of the next entry.
        int32_t shift = 0;
        if (scaled_fixed && s % 2 == 1)
            shift = (scaling_word >> (2 * (s >> 1))) & 3;
        else if (scaled_fixed && last)
            shift = (scaling_word >> (2 * (s >> 1))) & 1;
        const bool twiddled = s % 2 == 1 && !last;
        const int32_t half = n >> (s + 1);
        for (int32_t k = 0; k < n / 2; ++k) {
            const int32_t top = (n >> s) * (k / half) + k % half;
            const int32_t bottom = top + half;
            const int32_t block_index = top >> (nfft - s);
            pe_in[0] = mem[top];
            pe_in[1] = mem[bottom];
            if (twiddled) {
                const uint32_t b = static_cast<uint32_t>(block_index & 1);
                const uint32_t m = static_cast<uint32_t>(top % half);
                rom.lookup(tw1, directedIndex(((b * m) << (s - 1)) * stride));
                rom.lookup(tw2, directedIndex((((b + 2) * m) << (s - 1)) * stride));
            }
            pe.butterfly(tw1, tw2, s, block_index, shift);
            mem[top] = pe.out[0];
            mem[bottom] = pe.out[1];
            overflow = pe.overflow;
        }
    }
    if (has_scaling == 1 && has_bfp == 1) {
        blockExponent();
        for (int32_t i = 0; i < n; ++i) {
            mem[i].re = mem[i].re >> blk_exp;
            mem[i].im = mem[i].im >> blk_exp;
        }
    }
}

void R22_pipeline::blockExponent() {
    // The samples were loaded divided by 2^(nfft_max + 1); f brings the
    // results back to units of the input range.
    const double f = std::ldexp(1.0, nfft_max + 1);
    double v = 0.0;
    for (int32_t i = 0; i < points; ++i) {
        const double a = mem[i].re.toDouble() * f;
        const double b = mem[i].im.toDouble() * f;
        const double c = std::fabs(a) > std::fabs(b) ? a : b;
        if (std::fabs(c) > std::fabs(v)) v = c;
    }
    blk_exp = 0;
    while (v >= 1.0 || v < -1.0) {
        v /= 2.0;
        ++blk_exp;
    }
}
