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

void FFT::formatRegister(FixComplex& r, int32_t width, int32_t point, int32_t quant) {
    r.re.setFormat(width, point, Signed, quant, Wrap);
    r.im.setFormat(width, point, Signed, quant, Wrap);
    r.re = 0.0;
    r.im = 0.0;
}

void FFT::formatLike(FixComplex& r, const VFix& format) {
    r.setFormatFrom(format);
    r.re = 0.0;
    r.im = 0.0;
}

namespace {

// The 16 base-4 digits of v in reverse order; with bits set, the 32 bits.
uint32_t reverseDigits(uint32_t v, bool bits) {
    v = (v >> 16) | (v << 16);
    v = ((v >> 8) & 0x00FF00FFu) | ((v & 0x00FF00FFu) << 8);
    v = ((v >> 4) & 0x0F0F0F0Fu) | ((v & 0x0F0F0F0Fu) << 4);
    v = ((v >> 2) & 0x33333333u) | ((v & 0x33333333u) << 2);
    if (bits) v = ((v >> 1) & 0x55555555u) | ((v & 0x55555555u) << 1);
    return v;
}

// The low n bits of i in reverse order (0 when n < 1).
int32_t lowBitsReversed(int32_t i, int32_t n) {
    return n < 1 ? 0 : static_cast<int32_t>(reverseDigits(static_cast<uint32_t>(i), true) >> (32 - n));
}

}  // namespace

int32_t FFT::bitReverse(int32_t i) const { return lowBitsReversed(i, nfft); }

int32_t FFT::bitReverseShort(int32_t i) const { return lowBitsReversed(i, nfft - 1); }

int32_t FFT::digitReverse(int32_t i) const {
    const int32_t r = nfft_odd ? (i & 1) : 0;
    const uint32_t v = static_cast<uint32_t>(nfft_odd ? (i >> 1) : i);
    if (half_nfft < 1) return r;
    return (r << (2 * half_nfft)) | static_cast<int32_t>(reverseDigits(v, false) >> (32 - 2 * half_nfft));
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

void FFT::takeSchedule(const int32_t* schedule, int32_t size) {
    if (has_scaling != 1 || has_bfp != 0) return;
    uint32_t word = 0;
    for (int32_t k = size - 1; k >= 0; --k) word = 4 * word + static_cast<uint32_t>(schedule[k]);
    scaling_word = static_cast<int32_t>(word);
}

int32_t FFT::stageShift(int32_t s) {
    int32_t shift = 0;
    if (has_scaling) shift = has_bfp ? bfp_growth : ((scaling_word >> (2 * s)) & 3);
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
