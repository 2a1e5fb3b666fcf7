#include "native/NativeEngine.h"

#include <cmath>

#include "fix/RequantPlan.h"

NativeEngine::NativeEngine(const ConfigRecord& config, const TWIDDLE_ROM& rom, int32_t width, int32_t point,
                           int32_t samples, int32_t pre)
    : re_(samples),
      im_(samples),
      input_at(samples),
      result_at(samples),
      twiddles(rom),
      mem_width(width),
      mem_point(point),
      to_code(std::ldexp(1.0, point - pre)),
      to_value(std::ldexp(1.0, -point)) {
    copyConfig(config);
}

void NativeEngine::store(int32_t offset, double re, double im) {
    // The values lie on the data grid within [-1, 1] (a floating-point frame
    // may round up to 1, which wraps), so the scaled values are exact
    // integers of at most 52 bits. Frames with NaN samples never come here.
    const auto code = [&](double x) {
        const double scaled = x * to_code;
        return RequantPlan::wrap(scaled == scaled ? static_cast<int64_t>(scaled) : int64_t{0}, mem_width);
    };
    re_[offset] = code(re);
    im_[offset] = code(im);
}

void NativeEngine::read(int32_t offset, double& re, double& im) const {
    re = static_cast<double>(re_[offset]) * to_value;
    im = static_cast<double>(im_[offset]) * to_value;
}

namespace {

// Bits directly below the sign bit of a width-bit payload that equal it, at most 3.
int32_t payloadHeadroom(int64_t v, int32_t width) {
    const uint64_t folded = static_cast<uint64_t>(v < 0 ? ~v : v);
    const int32_t length = folded == 0 ? 0 : 64 - __builtin_clzll(folded);
    const int32_t n = width - 1 - length;
    return n < 3 ? n : 3;
}

}  // namespace

int32_t NativeEngine::headroom(int32_t offset) const {
    const int32_t r = payloadHeadroom(re_[offset], mem_width);
    const int32_t i = payloadHeadroom(im_[offset], mem_width);
    return r < i ? r : i;
}

