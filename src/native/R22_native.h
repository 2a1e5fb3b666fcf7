// R22_native: the pipelined streaming engine on machine integers, giving
// R22_pipeline's results bit for bit. Same data order and butterflies (one
// linear memory of 2^nfft_max samples with one guard integer bit), same
// schedule per stage pair, final block-floating-point normalisation and
// pre-division as R22_pipeline; the stages run in pairs, one pass over the
// memory per pair (Stages.h).
#pragma once

#include "native/NativeEngine.h"

class R22_native : public NativeEngine {
public:
    R22_native(const ConfigRecord& config, const TWIDDLE_ROM& rom);

    void setup(const Shape& shape);
    void run();

    int32_t engine_width;

private:
    void normalise();
};
