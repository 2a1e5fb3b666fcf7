// The simulation entry points: argument checks, then the data path, for one
// frame or for a batch of frames.
#include <cstddef>

#include "api/State.h"
#include "api/rules.h"
#include "api/validate.h"
#include "vfft_v8_0_ext.h"

int32_t velmor_ip_vfft_v8_0_bitacc_simulate(velmor_ip_vfft_v8_0_state* state,
                                            velmor_ip_vfft_v8_0_inputs inputs,
                                            velmor_ip_vfft_v8_0_outputs* outputs)
{
    int nfft = 0;
    const int code = validateCall(state, inputs, outputs, 1, nfft);
    if (code != 0) {
        return code;
    }
    return runDataPath(state, inputs, outputs, nfft, 1);
}

namespace {

// Checks the batch record itself; 0 when it is usable, else -1 after one line.
int32_t checkBatch(const velmor_ip_vfft_v8_0_batch* batch, const Reporter& report)
{
    constexpr const char* kPrefix = "ERROR:vfft_v8_0:simulate_batch called with ";
    if (batch == nullptr) {
        report.line(kPrefix, "null batch structure");
        return -1;
    }
    if (batch->frames < 0) {
        report.line(kPrefix, "invalid frames input ", batch->frames, ": must be 0 or more");
        return -1;
    }
    if (batch->step != 1 && batch->step != 2) {
        report.line(kPrefix, "invalid step input ", batch->step, ": must be 1 or 2");
        return -1;
    }
    if (batch->schedule_per_frame != 0 && batch->schedule_per_frame != 1) {
        report.line(kPrefix, "invalid schedule_per_frame input ", batch->schedule_per_frame, ": must be 0 or 1");
        return -1;
    }
    return 0;
}

}  // namespace

// Frame by frame, each frame is one single call on its slice of the arrays:
// checked in full (so a bad shared argument stops frame 0 with the single
// call's code and message, and later frames repeat its warnings as single
// calls would), then transformed. The outputs record takes each delivered
// frame's sizes and flags.
int32_t velmor_ip_vfft_v8_0_simulate_batch(velmor_ip_vfft_v8_0_state* state,
                                           velmor_ip_vfft_v8_0_inputs inputs,
                                           velmor_ip_vfft_v8_0_outputs* outputs,
                                           velmor_ip_vfft_v8_0_batch* batch)
{
    if (checkBatch(batch, state != nullptr ? state->reporter : Reporter{}) != 0) {
        if (batch != nullptr) batch->failed_frame = 0;
        return -1;
    }
    const int32_t step = batch->step;
    std::ptrdiff_t frameSize = 0;  // doubles from one frame to the next, known once frame 0 passed
    for (int64_t f = 0; f < batch->frames; ++f) {
        velmor_ip_vfft_v8_0_inputs in = inputs;
        velmor_ip_vfft_v8_0_outputs out{};
        if (outputs != nullptr) out = *outputs;
        if (batch->directions != nullptr) in.direction = batch->directions[f];
        if (f > 0) {
            // Frame 0 passed: every array the call reads is there.
            const std::ptrdiff_t offset = static_cast<std::ptrdiff_t>(f) * frameSize;
            in.xn_re += offset;
            in.xn_im += offset;
            out.xk_re += offset;
            out.xk_im += offset;
            if (batch->schedule_per_frame == 1 && readsSchedule(state->generics))
                in.scaling_sch += static_cast<std::ptrdiff_t>(f) * in.scaling_sch_size;
        }
        int nfft = 0;
        const int code = validateCall(state, in, outputs != nullptr ? &out : nullptr, step, nfft);
        if (code != 0) {
            batch->failed_frame = f;
            return code;
        }
        frameSize = (std::ptrdiff_t{1} << nfft) * step;
        runDataPath(state, in, &out, nfft, step);
        outputs->xk_re_size = out.xk_re_size;
        outputs->xk_im_size = out.xk_im_size;
        outputs->blk_exp = out.blk_exp;
        outputs->overflow = out.overflow;
        if (batch->blk_exp != nullptr) batch->blk_exp[f] = out.blk_exp;
        if (batch->overflow != nullptr) batch->overflow[f] = out.overflow;
    }
    batch->failed_frame = -1;
    return 0;
}
