#include "native/R4_native.h"

#include <algorithm>

#include "engine/R4_walk.h"
#include "native/R4_native_PE.h"

R4_native::R4_native(const ConfigRecord& config, TWIDDLE_ROM& rom)
    : NativeEngine(config, rom, config.result_width, config.result_width - 1, 1 << config.nfft_max,
                   config.has_scaling ? 0 : config.result_width - config.data_width),
      bank(1 << (config.nfft_max - 2)) {}

void R4_native::setup(const ConfigRecord& config) {
    nfft = config.nfft;
    half_nfft = config.half_nfft;
    points = config.points;
    r4_points = config.r4_points;
    nfft_odd = config.nfft_odd;
    r4_addr_mask = config.r4_addr_mask;
    bfp_growth = 32;
}

void R4_native::load(int32_t i, double re, double im) {
    const int32_t offset = R4_walk(*this, bank).input(i);
    store(offset, re, im);
    const int32_t h = headroom(offset);
    if (h < bfp_growth) bfp_growth = h;
}

void R4_native::result(int32_t i, double& re, double& im) const { read(R4_walk(*this, bank).result(i), re, im); }

void R4_native::run(TWIDDLE_ROM&) {
    const bool wide = needsWide(result_width + twiddle_width + 2);
    if (has_rounding)
        wide ? transform<__int128, RoundHalfEvenHoldMax>() : transform<int64_t, RoundHalfEvenHoldMax>();
    else
        wide ? transform<__int128, Truncate>() : transform<int64_t, Truncate>();
}

template <class Wide, int32_t Q>
void R4_native::transform() {
    const R4_walk walk(*this, bank);
    R4_native_PE<Wide, Q> pe(result_width, twiddle_width);
    int64_t* re = re_.data();
    int64_t* im = im_.data();
    blk_exp = 0;
    bfp_growth = 2 - bfp_growth > 0 ? 2 - bfp_growth : 0;
    for (int32_t s = 0; s < walk.stages(); ++s) {
        const bool r2_mode = walk.radix2(s);
        const int32_t shift = stageShift(s);
        const int32_t* order = walk.outputOrder(s);
        int64_t wr[3] = {}, wi[3] = {};
        walk.stage(s, [&](const R4_butterfly& b) __attribute__((always_inline)) {
            if (b.newTwiddles)
                for (int m = 0; m < 3; ++m) wr[m] = twiddles.re(b.tw[m]), wi[m] = twiddles.im(b.tw[m]);
            // Leg i sits in bank (i + sigma) & 3.
            int32_t leg[4];
            int64_t xr[4], xi[4];
            for (int i = 0; i < 4; ++i) {
                leg[i] = b.addr[(i + b.sigma) & 3];
                xr[i] = re[leg[i]];
                xi[i] = im[leg[i]];
            }
            pe.butterfly(r2_mode, shift, xr, xi, wr, wi);
            // Output order[i] returns to the bank of leg i.
            for (int i = 0; i < 4; ++i) {
                re[leg[i]] = xr[order[i]];
                im[leg[i]] = xi[order[i]];
            }
            if (has_bfp)
                for (int j = 0; j < 4; ++j) bfp_growth = std::max(bfp_growth, growthClass(b.addr[j], kGrowthLimits4, 4));
        });
        overflow = pe.overflow;
    }
}
