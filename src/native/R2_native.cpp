#include "native/R2_native.h"

#include "native/Stages.h"
#include "native/Validity.h"

R2_native::R2_native(const ConfigRecord& config, const TWIDDLE_ROM& rom)
    : NativeEngine(config, rom, EngineFormat::burst(config), 1 << config.nfft_max, true) {}

void R2_native::setup(const Shape& shape) {
    takeShape(shape);
    mapOrder([this](int32_t i) { return bitReverse(i); }, [](int32_t i) { return i; });
}

void R2_native::run() {
    const uint32_t period = 1u << nfft_max;
    const uint32_t stride = period / static_cast<uint32_t>(points);
    if (runs.stale(nfft)) {
        // Stage s: the butterfly at position m takes angle index m * 2^(nfft - 1 - s).
        runs.clear(nfft);
        for (int32_t s = 0; s < nfft; ++s) runs.add(twiddles, stride << (nfft - 1 - s), 1 << s, period);
    }
    if (invalid_frame) followRadix2Validity(*this, valid_re.data(), valid_im.data());
    blk_exp = 0;
    overflow = 0;
    bfp_growth = 1 - bfp_growth > 0 ? 1 - bfp_growth : 0;
    BurstStage stage{};
    stage.re = re_.data();
    stage.im = im_.data();
    stage.points = points;
    stage.radix = 2;
    stage.width = result_width;
    stage.twiddle = twiddle_width;
    stage.rounding = has_rounding != 0;
    stage.bfp = has_bfp != 0;
    for (int32_t s = 0; s < nfft; ++s) {
        stage.shift = stageShift(s);
        stage.run = 1 << s;
        stage.twRe[0] = runs.re(s);
        stage.twIm[0] = runs.im(s, direction);
        const StageResult r = runBurstStage(stage);
        overflow |= r.overflow;
        if (has_bfp) bfp_growth = growthClass(r.folded, kGrowthLimits2, 3);
    }
}
