#include "native/R22_native.h"

#include <cmath>

#include "engine/R22_walk.h"
#include "native/Stages.h"
#include "native/Validity.h"

R22_native::R22_native(const ConfigRecord& config, const TWIDDLE_ROM& rom)
    : NativeEngine(config, rom, EngineFormat::pipeline(config), 1 << config.nfft_max, false),
      engine_width(EngineFormat::pipeline(config).width) {}

void R22_native::setup(const Shape& shape) {
    takeShape(shape);
    mapOrder([](int32_t i) { return i; }, [this](int32_t i) { return bitReverse(i); });
}

void R22_native::run() {
    const R22_walk walk(*this);
    const uint32_t period = 1u << nfft_max;
    const uint32_t stride = period / static_cast<uint32_t>(points);
    if (runs.stale(nfft)) {
        // Odd stage s that multiplies: position m of a block takes the angle
        // indices c * m * 2^(s - 1), c = 0 and 2 in even blocks, 1 and 3 in
        // odd ones.
        runs.clear(nfft);
        for (int32_t s = 1; s < nfft - 1; s += 2)
            for (uint32_t c = 0; c < 4; ++c) runs.add(twiddles, (c * stride) << (s - 1), points >> (s + 1), period);
    }
    if (invalid_frame) followValidity(walk, valid_re.data(), valid_im.data());
    blk_exp = 0;
    overflow = 0;
    R22Stage stage{};
    stage.re = re_.data();
    stage.im = im_.data();
    stage.points = points;
    stage.nfft = nfft;
    stage.nfftMax = nfft_max;
    stage.width = engine_width;
    stage.twiddle = twiddle_width;
    stage.direction = direction;
    stage.rounding = has_rounding != 0;
    stage.scaledFixed = has_scaling == 1 && has_bfp == 0;
    for (int32_t s = 0; s < nfft; ++s) {
        // Stage s pairs the samples N / 2^(s + 1) apart; an even stage runs
        // with the next one when there is one.
        stage.stage = s;
        stage.paired = s % 2 == 0 && s + 1 < nfft;
        stage.run = points >> (s + 1);
        if (stage.paired) ++s;
        stage.shift = walk.shift(s);
        for (int32_t c = 0; c < 4; ++c) {
            stage.twRe[c] = walk.twiddled(s) ? runs.re(2 * (s - 1) + c) : nullptr;
            stage.twIm[c] = walk.twiddled(s) ? runs.im(2 * (s - 1) + c, direction) : nullptr;
        }
        overflow |= runR22Stage(stage).overflow;
    }
    if (has_scaling == 1 && has_bfp == 1) normalise();
}

// Block floating point: the block exponent of the results, then every part
// shifted down by it with truncation.
void R22_native::normalise() {
    // Payloads to units of the input range: exact products with a power of two.
    const double toInput = std::ldexp(1.0, nfft_max + 1 - mem_point);
    // Invalid parts count as NaN, which the exponent's comparisons pass over.
    blk_exp = R22_walk(*this).blockExponent([&](int32_t i, bool imag) {
        if (invalid_frame && !(imag ? valid_im[i] : valid_re[i])) return std::numeric_limits<double>::quiet_NaN();
        return static_cast<double>(imag ? im_[i] : re_[i]) * toInput;
    });
    for (int32_t i = 0; i < points; ++i) {
        re_[i] >>= blk_exp;
        im_[i] >>= blk_exp;
    }
}
