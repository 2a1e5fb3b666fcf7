#include "native/NativeEngine.h"

#include <cmath>

#include "fix/RequantPlan.h"

NativeEngine::NativeEngine(const ConfigRecord& config, TWIDDLE_ROM& rom, int32_t width, int32_t point,
                           int32_t samples)
    : re_(samples), im_(samples), twiddles(rom), mem_width(width), mem_point(point) {
    copyConfig(config);
}

void NativeEngine::store(int32_t offset, double re, double im, int32_t pre) {
    // The values lie on the memory grid within [-1, 1] (a floating-point
    // frame may round up to 1, which wraps), so the scaled values are exact
    // integers of at most 53 bits.
    const auto code = [&](double x) {
        const double scaled = std::floor(std::ldexp(x, mem_point - pre));
        return RequantPlan::wrap(std::isnan(scaled) ? int64_t{0} : static_cast<int64_t>(scaled), mem_width);
    };
    re_[offset] = code(re);
    im_[offset] = code(im);
}

void NativeEngine::read(int32_t offset, double& re, double& im) const {
    re = std::ldexp(static_cast<double>(re_[offset]), -mem_point);
    im = std::ldexp(static_cast<double>(im_[offset]), -mem_point);
}

namespace {

// Bits directly below the sign bit of a width-bit payload that equal it, at most 3.
int32_t payloadHeadroom(int64_t v, int32_t width) {
    const int64_t folded = v < 0 ? ~v : v;
    int32_t n = 0;
    while (n < 3 && ((folded >> (width - 2 - n)) & 1) == 0) ++n;
    return n;
}

int32_t payloadClass(int64_t v, int32_t width, const int32_t* limits, int32_t classes) {
    // The part truncated to 7 fraction bits, in units of 2^-7.
    const int64_t probe = v >> (width - 8);
    int32_t c = 0;
    while (c < classes - 1 && !(-limits[c] <= probe && probe < limits[c])) ++c;
    return c;
}

}  // namespace

int32_t NativeEngine::headroom(int32_t offset) const {
    const int32_t r = payloadHeadroom(re_[offset], mem_width);
    const int32_t i = payloadHeadroom(im_[offset], mem_width);
    return r < i ? r : i;
}

int32_t NativeEngine::growthClass(int32_t offset, const int32_t* limits, int32_t classes) const {
    const int32_t r = payloadClass(re_[offset], mem_width, limits, classes);
    const int32_t i = payloadClass(im_[offset], mem_width, limits, classes);
    return r > i ? r : i;
}
