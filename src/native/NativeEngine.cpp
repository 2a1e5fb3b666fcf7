#include "native/NativeEngine.h"

#include <cmath>

NativeEngine::NativeEngine(const ConfigRecord& config, const TWIDDLE_ROM& rom, const EngineFormat& format,
                           int32_t samples, bool headroom)
    : data_width(config.data_width),
      result_width(config.result_width),
      twiddle_width(config.twiddle_width),
      has_rounding(config.has_rounding),
      re_(samples),
      im_(samples),
      input_at(samples),
      result_at(samples),
      twiddles(rom),
      mem_width(format.memory.width),
      mem_point(format.memory.point),
      pre_division(format.pre_division),
      to_code(std::ldexp(1.0, mem_point - pre_division)),
      to_value(std::ldexp(1.0, -mem_point)),
      takes_headroom(headroom) {
    nfft_max = config.nfft_max;
    has_scaling = config.has_scaling;
    has_bfp = config.has_bfp;
}
