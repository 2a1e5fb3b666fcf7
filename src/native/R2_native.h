// R2_native: the radix-2 burst engine (C_ARCH 2 and 4) on machine integers,
// giving R2_loop's results bit for bit. Same data order and sequencing
// (R2_walk over two banks of 2^(nfft_max - 1) samples), same schedule, block
// floating point and pre-division of unscaled input as R2_loop; registers
// are int64_t payloads, twiddle products __int128 where they need more than
// 63 bits.
#pragma once

#include "native/NativeEngine.h"

class R2_native : public NativeEngine {
public:
    R2_native(const ConfigRecord& config, const TWIDDLE_ROM& rom);

    void setup(const Shape& shape);
    void run();

    // The stage loops with Wide twiddle products and output quantisation Q
    // (run through runStages).
    template <class Wide, int32_t Q>
    __attribute__((always_inline)) inline void stages();

private:
    int32_t bank;
};
