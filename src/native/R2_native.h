// R2_native: the radix-2 burst engine (C_ARCH 2 and 4) on machine integers,
// giving R2_loop's results bit for bit: same butterflies (the samples whose
// bit-reversed indices differ in bit s), twiddles, schedule, block floating
// point and pre-division of unscaled input as R2_loop. The memory is linear
// instead of two banks: the sample of index I sits at I, so the legs of
// stage s lie in runs of 2^s entries and the results in natural order.
#pragma once

#include "native/NativeEngine.h"

class R2_native : public NativeEngine {
public:
    R2_native(const ConfigRecord& config, const TWIDDLE_ROM& rom);

    void setup(const Shape& shape);
    void run();
};
