// One frame through one engine: the engine contract shared by the reference
// engines and the machine-integer engines (setup, load, schedule and
// direction, run, result).
#pragma once

#include "api/Frame.h"
#include "engine/ConfigRecord.h"
#include "engine/TWIDDLE_ROM.h"

// Loads the frame, runs the engine and reads the results, block exponent and
// overflow flag into *out. Returns the engine's pre-division (log2), which
// the caller undoes.
template <class Engine>
int32_t transform(Engine& engine, TWIDDLE_ROM& rom, const ConfigRecord& config, const Frame& frame,
                  velmor_ip_vfft_v8_0_outputs* out) {
    engine.setup(config);
    for (int32_t i = 0; i < frame.points; ++i) engine.load(i, frame.sample(i, false), frame.sample(i, true));
    engine.takeSchedule(frame.in->scaling_sch, frame.in->scaling_sch_size);
    engine.direction = frame.in->direction;
    engine.run(rom);
    for (int32_t i = 0; i < frame.points; ++i) engine.result(i, out->xk_re[i], out->xk_im[i]);
    out->blk_exp = engine.blk_exp;
    out->overflow = engine.overflow;
    return engine.preDivision();
}
