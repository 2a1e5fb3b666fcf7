// One frame through one engine: the engine contract shared by the reference
// engines and the machine-integer engines (setup, load, schedule and
// direction, run, result). The reference engines run with the state's
// twiddle table, the machine-integer engines with their own integer table.
#pragma once

#include "api/Frame.h"
#include "engine/ConfigRecord.h"

// Loads the frame, runs the engine (run(engine) starts it) and reads the
// results, block exponent and overflow flag into *out. Returns the engine's
// pre-division (log2), which the caller undoes.
template <class Engine, class Run>
int32_t transform(Engine& engine, const ConfigRecord& config, const Frame& frame, velmor_ip_vfft_v8_0_outputs* out,
                  Run&& run) {
    engine.setup(config);
    const int32_t step = frame.step;
    if (frame.single == nullptr && !frame.prequantise)
        // Fixed-point values already on the grid load as they are.
        for (int32_t i = 0; i < frame.points; ++i) engine.load(i, frame.in->xn_re[i * step], frame.in->xn_im[i * step]);
    else
        for (int32_t i = 0; i < frame.points; ++i) engine.load(i, frame.sample(i, false), frame.sample(i, true));
    engine.takeSchedule(frame.in->scaling_sch, frame.in->scaling_sch_size);
    engine.direction = frame.in->direction;
    run(engine);
    for (int32_t i = 0; i < frame.points; ++i) engine.result(i, out->xk_re[i * step], out->xk_im[i * step]);
    out->blk_exp = engine.blk_exp;
    out->overflow = engine.overflow;
    return engine.preDivision();
}
