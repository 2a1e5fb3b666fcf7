#include "native/R4_native.h"

#include "native/Stages.h"
#include "native/Validity.h"

R4_native::R4_native(const ConfigRecord& config, const TWIDDLE_ROM& rom)
    : NativeEngine(config, rom, EngineFormat::burst(config), 1 << config.nfft_max, true) {}

void R4_native::setup(const Shape& shape) {
    takeShape(shape);
    mapOrder([this](int32_t i) { return digitReverse(i); }, [](int32_t i) { return i; });
}

void R4_native::run() {
    const int32_t h = half_nfft;
    const uint32_t period = 1u << nfft_max;
    const uint32_t stride = period / static_cast<uint32_t>(points);
    if (runs.stale(nfft)) {
        // Radix-4 stage s: legs 1..3 of the butterflies at position m take
        // the angle indices c * m * 4^(h - 1 - s), doubled in the halves of
        // an odd-length transform. The radix-2 stage: position m of N/2
        // takes m.
        runs.clear(nfft);
        for (int32_t s = 0; s < h; ++s)
            for (uint32_t c = 1; c <= 3; ++c)
                runs.add(twiddles, c * (stride << (2 * (h - 1 - s) + nfft_odd)), 1 << (2 * s), period);
        if (nfft_odd) runs.add(twiddles, stride, points / 2, period);
    }
    if (invalid_frame) followRadix4Validity(*this, valid_re.data(), valid_im.data());
    blk_exp = 0;
    overflow = 0;
    bfp_growth = 2 - bfp_growth > 0 ? 2 - bfp_growth : 0;
    BurstStage stage{};
    stage.re = re_.data();
    stage.im = im_.data();
    stage.points = points;
    stage.width = result_width;
    stage.twiddle = twiddle_width;
    stage.rounding = has_rounding != 0;
    stage.bfp = has_bfp != 0;
    for (int32_t s = 0; s < nfft_odd + h; ++s) {
        stage.shift = stageShift(s);
        if (s < h) {
            // Legs c = 0..3 of a butterfly differ in digit s, 4^s apart; the
            // inverse kernel exchanges outputs 1 and 3.
            stage.radix = 4;
            stage.run = 1 << (2 * s);
            stage.inverse = direction == 0;
            for (int32_t c = 0; c < 3; ++c) {
                stage.twRe[c] = runs.re(3 * s + c);
                stage.twIm[c] = runs.im(3 * s + c, direction);
            }
        } else {
            // The last stage of an odd-length transform: the element's two
            // radix-2 butterflies, each on samples N/2 apart (legs 2 and 3
            // through a unit twiddle, which changes no value).
            stage.radix = 2;
            stage.run = points / 2;
            stage.twRe[0] = runs.re(3 * h);
            stage.twIm[0] = runs.im(3 * h, direction);
        }
        const StageResult r = runBurstStage(stage);
        overflow |= r.overflow;
        if (has_bfp) bfp_growth = growthClass(r.folded, kGrowthLimits4, 4);
    }
}
