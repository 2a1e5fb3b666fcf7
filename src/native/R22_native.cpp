#include "native/R22_native.h"

#include <cmath>

#include "engine/R22_walk.h"
#include "native/R22_native_PE.h"

R22_native::R22_native(const ConfigRecord& config, const TWIDDLE_ROM& rom)
    : NativeEngine(config, rom, EngineFormat::pipeline(config), 1 << config.nfft_max, false),
      engine_width(EngineFormat::pipeline(config).width) {}

void R22_native::setup(const Shape& shape) {
    takeShape(shape);
    mapOrder(R22_walk(*this));
}

void R22_native::run() {
    if (invalid_frame) validity.follow(R22_walk(*this), points);
    runStages(*this, R22_DIF_formats(engine_width, twiddle_width, true, nfft_max).product.width);
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
    // Invalid parts count as NaN, which the exponent's comparisons pass over;
    // the memory is in the order of the walk.
    blk_exp = R22_walk(*this).blockExponent([&](int32_t i, bool imag) {
        if (invalid_frame && !validity.part(i, imag)) return std::numeric_limits<double>::quiet_NaN();
        return static_cast<double>(imag ? im_[i] : re_[i]) * toInput;
    });
    for (int32_t i = 0; i < points; ++i) {
        re_[i] >>= blk_exp;
        im_[i] >>= blk_exp;
    }
}
