#include "native/NativeEngine.h"

#include <algorithm>
#include <cmath>

#include "native/Stages.h"

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
      scratch_re(samples),
      scratch_im(samples),
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

void NativeEngine::loadFrame(const Frame& frame) {
    if (frame.step != 1 || invalid_frame) {
        for (int32_t i = 0; i < points; ++i) load(i, frame.sample(i, false), frame.sample(i, true));
        return;
    }
    int64_t* re = natural_input ? re_.data() : scratch_re.data();
    int64_t* im = natural_input ? im_.data() : scratch_im.data();
    int64_t folded = 0;
    if (frame.toGrid == nullptr) {
        folded = std::max(toCodes(frame.re, re, points, to_code, mem_width),
                          toCodes(frame.im, im, points, to_code, mem_width));
    } else {
        // Each value brought onto the grid first (no NaN here), as store does.
        const auto code = [&](double x) {
            return RequantPlan::wrap(static_cast<int64_t>(frame.toGrid(x, frame.how) * to_code), mem_width);
        };
        for (int32_t i = 0; i < points; ++i) {
            re[i] = code(frame.re[i]);
            im[i] = code(frame.im[i]);
            folded = std::max(folded, std::max(fold(re[i]), fold(im[i])));
        }
    }
    if (!natural_input)
        for (int32_t i = 0; i < points; ++i) {
            re_[input_at[i]] = re[i];
            im_[input_at[i]] = im[i];
        }
    if (takes_headroom && has_bfp) {
        // The smallest headroom is that of the largest folded part.
        const int32_t length = folded == 0 ? 0 : 64 - __builtin_clzll(static_cast<uint64_t>(folded));
        bfp_growth = std::min(bfp_growth, std::min(mem_width - 1 - length, 3));
    }
}

void NativeEngine::readResults(const Frame& frame, velmor_ip_vfft_v8_0_outputs* out) {
    if (frame.step != 1 || invalid_frame) {
        for (int32_t i = 0; i < points; ++i) result(i, out->xk_re[i * frame.step], out->xk_im[i * frame.step]);
        return;
    }
    const int64_t* re = re_.data();
    const int64_t* im = im_.data();
    if (!natural_result) {
        for (int32_t i = 0; i < points; ++i) {
            scratch_re[i] = re_[result_at[i]];
            scratch_im[i] = im_[result_at[i]];
        }
        re = scratch_re.data();
        im = scratch_im.data();
    }
    toValues(re, out->xk_re, points, to_value);
    toValues(im, out->xk_im, points, to_value);
}
