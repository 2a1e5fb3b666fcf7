// ReferenceEngine: the engine of a state's architecture in VFix registers
// (R4_loop, R2_loop or R22_pipeline, sized for the largest transform) and
// the TWIDDLE_ROM it runs with.
#pragma once

#include <memory>

#include "datapath/ConfigRecord.h"
#include "datapath/Frame.h"
#include "datapath/Shape.h"
#include "engine/R22_pipeline.h"
#include "engine/R2_loop.h"
#include "engine/R4_loop.h"
#include "engine/TWIDDLE_ROM.h"
#include "vfft_v8_0.h"

class ReferenceEngine {
public:
    explicit ReferenceEngine(const ConfigRecord& config);

    // One frame through the engine: the results, blk_exp and overflow into
    // *out. Returns the pre-division (log2) of the loaded samples.
    int32_t transform(const Shape& shape, const Frame& frame, velmor_ip_vfft_v8_0_outputs* out);

private:
    TWIDDLE_ROM rom;
    std::unique_ptr<R4_loop> r4;        // C_ARCH 1
    std::unique_ptr<R2_loop> r2;        // C_ARCH 2 and 4
    std::unique_ptr<R22_pipeline> r22;  // C_ARCH 3
};
