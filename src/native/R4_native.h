// R4_native: the radix-4 burst engine on machine integers, giving R4_loop's
// results bit for bit: same butterflies (the samples that differ in one
// base-4 digit of their digit-reversed index), twiddles, output exchanges,
// schedule, block floating point and pre-division of unscaled input as
// R4_loop. The memory is linear instead of four banks: the sample of index J
// sits at J, so the legs of a stage lie in runs of 4^s entries and the
// results in natural order.
#pragma once

#include "native/NativeEngine.h"

class R4_native : public NativeEngine {
public:
    R4_native(const ConfigRecord& config, const TWIDDLE_ROM& rom);

    void setup(const Shape& shape);
    void run();
};
