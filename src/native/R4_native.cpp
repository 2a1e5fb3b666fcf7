#include "native/R4_native.h"

#include <algorithm>

#include "engine/R4_walk.h"
#include "native/R4_native_PE.h"

R4_native::R4_native(const ConfigRecord& config, const TWIDDLE_ROM& rom)
    : NativeEngine(config, rom, EngineFormat::burst(config), 1 << config.nfft_max, true),
      bank(1 << (config.nfft_max - 2)) {}

void R4_native::setup(const Shape& shape) {
    takeShape(shape);
    mapOrder(R4_walk(*this, bank));
}

void R4_native::run() {
    if (invalid_frame) validity.follow(R4_walk(*this, bank), points);
    runStages(*this, R4_DIT_formats(result_width, twiddle_width).product.width);
}

template <class Wide, int32_t Q>
inline void R4_native::stages() {
    const R4_walk walk(*this, bank);
    R4_native_PE<Wide, Q> pe(result_width, twiddle_width);
    int64_t* re = re_.data();
    int64_t* im = im_.data();
    blk_exp = 0;
    bfp_growth = 2 - bfp_growth > 0 ? 2 - bfp_growth : 0;
    for (int32_t s = 0; s < walk.stages(); ++s) {
        const bool r2_mode = walk.radix2(s);
        const int32_t shift = stageShift(s);
        // The element's outputs return to the places of legs 0..3 in the
        // walk's output order: identity, or outputs 1 and 2 (radix-2 stage)
        // or 1 and 3 (inverse kernel) exchanged.
        const int32_t* order = walk.outputOrder(s);
        const bool swap12 = order[1] == 2;
        const bool swap13 = order[1] == 3;
        int64_t w1r = 0, w1i = 0, w2r = 0, w2i = 0, w3r = 0, w3i = 0;
        int64_t folded = 0;  // largest folded part written in the stage
        walk.stage(s, [&](const R4_butterfly& b) __attribute__((always_inline)) {
            if (b.newTwiddles) {
                w1r = twiddles.re(b.tw[0]), w1i = twiddles.im(b.tw[0]);
                w2r = twiddles.re(b.tw[1]), w2i = twiddles.im(b.tw[1]);
                w3r = twiddles.re(b.tw[2]), w3i = twiddles.im(b.tw[2]);
            }
            const int32_t l0 = b.leg[0], l1 = b.leg[1], l2 = b.leg[2], l3 = b.leg[3];
            int64_t x0r = re[l0], x0i = im[l0], x1r = re[l1], x1i = im[l1];
            int64_t x2r = re[l2], x2i = im[l2], x3r = re[l3], x3i = im[l3];
            pe.butterfly(r2_mode, shift, x0r, x0i, x1r, x1i, x2r, x2i, x3r, x3i, w1r, w1i, w2r, w2i, w3r, w3i);
            if (swap12) std::swap(x1r, x2r), std::swap(x1i, x2i);
            if (swap13) std::swap(x1r, x3r), std::swap(x1i, x3i);
            re[l0] = x0r, im[l0] = x0i, re[l1] = x1r, im[l1] = x1i;
            re[l2] = x2r, im[l2] = x2i, re[l3] = x3r, im[l3] = x3i;
            if (has_bfp)
                folded = std::max(std::max(std::max(folded, std::max(fold(x0r), fold(x0i))),
                                           std::max(std::max(fold(x1r), fold(x1i)), std::max(fold(x2r), fold(x2i)))),
                                  std::max(fold(x3r), fold(x3i)));
        });
        if (has_bfp) bfp_growth = growthClass(folded, kGrowthLimits4, 4);
        pe.endStage(shift);
        overflow = pe.overflow();
    }
}
