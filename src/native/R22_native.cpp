#include "native/R22_native.h"

#include <cmath>

#include "engine/R22_walk.h"
#include "native/R22_native_PE.h"

namespace {

int32_t engineWidth(const ConfigRecord& c) {
    return c.has_scaling == 1 && c.has_bfp == 1 ? c.data_width + c.nfft_max + 1 : c.result_width;
}

}  // namespace

R22_native::R22_native(const ConfigRecord& config, const TWIDDLE_ROM& rom)
    : NativeEngine(config, rom, engineWidth(config) + 1, engineWidth(config) - 1, 1 << config.nfft_max,
                   engineWidth(config) - config.data_width, false),
      engine_width(engineWidth(config)) {}

void R22_native::setup(const ConfigRecord& config) {
    nfft = config.nfft;
    points = config.points;
    mapOrder(R22_walk(*this));
}

void R22_native::run() {
    runStages(*this, engine_width + twiddle_width + 3);
    if (has_scaling == 1 && has_bfp == 1) normalise();
}

template <class Wide, int32_t Q>
inline void R22_native::stages() {
    const R22_walk walk(*this);
    R22_native_PE<Wide, Q> pe(engine_width, twiddle_width, has_scaling == 1 && has_bfp == 0, nfft_max, nfft,
                              direction);
    int64_t* re = re_.data();
    int64_t* im = im_.data();
    blk_exp = 0;
    for (int32_t s = 0; s < walk.stages(); ++s) {
        const int32_t shift = walk.shift(s);
        walk.stage(s, [&](const R22_butterfly& b) __attribute__((always_inline)) {
            pe.butterfly(s, b.block_index, shift, re[b.top], im[b.top], re[b.bottom], im[b.bottom],
                         twiddles.re(b.tw1), twiddles.im(b.tw1), twiddles.re(b.tw2), twiddles.im(b.tw2));
        });
    }
    overflow = pe.overflow;
}

// Block floating point: the block exponent of the results, then every part
// shifted down by it with truncation.
void R22_native::normalise() {
    // Payloads to units of the input range: exact products with a power of two.
    const double toInput = std::ldexp(1.0, nfft_max + 1 - mem_point);
    blk_exp = R22_walk(*this).blockExponent(
        [&](int32_t i, bool imag) { return static_cast<double>(imag ? im_[i] : re_[i]) * toInput; });
    for (int32_t i = 0; i < points; ++i) {
        re_[i] >>= blk_exp;
        im_[i] >>= blk_exp;
    }
}
