#include "native/NativeEngine.h"

#include <cmath>

#include "fix/RequantPlan.h"

NativeEngine::NativeEngine(const ConfigRecord& config, const TWIDDLE_ROM& rom, int32_t width, int32_t point,
                           int32_t samples, int32_t pre, bool headroom)
    : re_(samples),
      im_(samples),
      input_at(samples),
      result_at(samples),
      twiddles(rom),
      mem_width(width),
      mem_point(point),
      to_code(std::ldexp(1.0, point - pre)),
      to_value(std::ldexp(1.0, -point)),
      takes_headroom(headroom) {
    copyConfig(config);
}
