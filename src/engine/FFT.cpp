#include "engine/FFT.h"

namespace {

// The overflow limits of the processing elements: +1 and -1 as integers with
// binary point 0.
const VFix& plusOne() {
    static const VFix v(1, 0, Signed, Truncate, Wrap);
    return v;
}
const VFix& minusOne() {
    static const VFix v(-1, 0, Signed, Truncate, Wrap);
    return v;
}

}  // namespace

FFT::FFT() { growth_probe.setFormat(8, 7, Signed, Truncate, Wrap); }

void FFT::setup(const Shape& shape) {
    static_cast<Shape&>(*this) = shape;
    bfp_growth = 32;
}

void FFT::copyConfig(const ConfigRecord& c) {
    data_width = c.data_width;
    result_width = c.result_width;
    twiddle_width = c.twiddle_width;
    nfft_max = c.nfft_max;
    has_rounding = c.has_rounding;
    has_scaling = c.has_scaling;
    has_bfp = c.has_bfp;
}

void FFT::formatCarriers(int32_t sampleWidth) {
    data_format.setFormat(sampleWidth, sampleWidth - 1, Signed, Truncate, Wrap);
    twiddle_format.setFormat(twiddle_width + 1, twiddle_width - 1, Signed, Truncate, Saturate);
}

void FFT::copyElementConfig(const FFT& engine) {
    data_width = engine.data_width;
    result_width = engine.result_width;
    twiddle_width = engine.twiddle_width;
    has_rounding = engine.has_rounding;
    has_scaling = engine.has_scaling;
}

void FFT::formatRegister(FixComplex& r, const RegisterFormat& format, int32_t quant) {
    r.re.setFormat(format.width, format.point, Signed, quant, Wrap);
    r.im.setFormat(format.width, format.point, Signed, quant, Wrap);
    r.re = 0.0;
    r.im = 0.0;
}

void FFT::setRoundingConstant(FixComplex& r, int32_t ones) {
    for (int32_t b = 0; b < ones; ++b) {
        r.re.setBit(b, 1);
        r.im.setBit(b, 1);
    }
}

void FFT::formatLike(FixComplex& r, const VFix& format) {
    r.setFormatFrom(format);
    r.re = 0.0;
    r.im = 0.0;
}

int32_t FFT::signHeadroom(const VFix& x) {
    const int32_t w = x.width();
    const int32_t sign = x.getBit(w - 1);
    int32_t n = 0;
    while (n < 3 && x.getBit(w - 2 - n) == sign) ++n;
    return n;
}

int32_t FFT::sampleHeadroom(const FixComplex& c) {
    const int32_t r = signHeadroom(c.re);
    const int32_t i = signHeadroom(c.im);
    return r < i ? r : i;
}

int32_t FFT::stageShift(int32_t s) {
    const int32_t shift = burstShift(s, bfp_growth);
    blk_exp += shift;
    bfp_growth = 0;
    butterfly_index = 0;
    return shift;
}

int32_t FFT::partClass(const VFix& part, const int32_t* limits, int32_t classes) {
    growth_probe = part;
    const double v = growth_probe.toDouble();
    int32_t c = 0;
    while (c < classes - 1 && !(-limits[c] / 128.0 <= v && v < limits[c] / 128.0)) ++c;
    return c;
}

int32_t FFT::growthClass2(const FixComplex& c) {
    const int32_t r = partClass(c.re, kGrowthLimits2, 3);
    const int32_t i = partClass(c.im, kGrowthLimits2, 3);
    const int32_t g = r > i ? r : i;
    return g > bfp_growth ? g : bfp_growth;
}

int32_t FFT::growthClass4(const FixComplex& c) {
    const int32_t r = partClass(c.re, kGrowthLimits4, 4);
    const int32_t i = partClass(c.im, kGrowthLimits4, 4);
    const int32_t g = r > i ? r : i;
    return g > bfp_growth ? g : bfp_growth;
}

void FFT::checkOverflow(const VFix& x) {
    if (x >= plusOne() || x < minusOne()) overflow = 1;
}
