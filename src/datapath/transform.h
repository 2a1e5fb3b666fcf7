// One frame through one engine, the same sequence for every engine of both
// datapaths: setup with the call's shape, load, run, read the results.
#pragma once

#include "datapath/Frame.h"
#include "datapath/Shape.h"
#include "vfft_v8_0.h"

// Loads the frame, runs the engine (run(engine) starts it) and reads the
// results, block exponent and overflow flag into *out. Returns the engine's
// pre-division (log2), which the caller undoes.
template <class Engine, class Run>
int32_t transform(Engine& engine, const Shape& shape, const Frame& frame, velmor_ip_vfft_v8_0_outputs* out,
                  Run&& run) {
    engine.setup(shape);
    const int32_t step = frame.step;
    if (frame.toGrid == nullptr)
        for (int32_t i = 0; i < frame.points; ++i) engine.load(i, frame.re[i * step], frame.im[i * step]);
    else
        for (int32_t i = 0; i < frame.points; ++i) engine.load(i, frame.sample(i, false), frame.sample(i, true));
    run(engine);
    for (int32_t i = 0; i < frame.points; ++i) engine.result(i, out->xk_re[i * step], out->xk_im[i * step]);
    out->blk_exp = engine.blk_exp;
    out->overflow = engine.overflow;
    return engine.preDivision();
}
