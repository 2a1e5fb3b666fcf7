#include "native/R2_native.h"

#include <algorithm>

#include "engine/R2_walk.h"
#include "native/R2_native_PE.h"

R2_native::R2_native(const ConfigRecord& config, const TWIDDLE_ROM& rom)
    : NativeEngine(config, rom, EngineFormat::burst(config), 1 << config.nfft_max, true),
      bank(1 << (config.nfft_max - 1)) {}

void R2_native::setup(const Shape& shape) {
    takeShape(shape);
    mapOrder(R2_walk(*this, bank));
}

void R2_native::run() {
    if (invalid_frame) validity.follow(R2_walk(*this, bank), points);
    runStages(*this, R2_DIT_formats(result_width, twiddle_width).product.width);
}

template <class Wide, int32_t Q>
inline void R2_native::stages() {
    const R2_walk walk(*this, bank);
    R2_native_PE<Wide, Q> pe(result_width, twiddle_width);
    int64_t* re = re_.data();
    int64_t* im = im_.data();
    blk_exp = 0;
    bfp_growth = 1 - bfp_growth > 0 ? 1 - bfp_growth : 0;
    for (int32_t s = 0; s < walk.stages(); ++s) {
        const int32_t shift = stageShift(s);
        int64_t folded = 0;  // largest folded part written in the stage
        walk.stage(s, [&](const R2_butterfly& b) __attribute__((always_inline)) {
            // Leg i sits in bank (i + p) & 1; each result returns to its leg.
            const int32_t a0 = b.addr[b.p], a1 = b.addr[b.p ^ 1];
            int64_t x0r = re[a0], x0i = im[a0], x1r = re[a1], x1i = im[a1];
            pe.butterfly(x0r, x0i, x1r, x1i, twiddles.re(b.tw), twiddles.im(b.tw), shift);
            re[a0] = x0r, im[a0] = x0i, re[a1] = x1r, im[a1] = x1i;
            if (has_bfp)
                folded = std::max(std::max(folded, std::max(fold(x0r), fold(x0i))), std::max(fold(x1r), fold(x1i)));
        });
        if (has_bfp) bfp_growth = growthClass(folded, kGrowthLimits2, 3);
        pe.endStage(shift);
    }
    overflow = pe.overflow();
}
