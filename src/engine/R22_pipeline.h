// R22_pipeline: the pipelined streaming engine. nfft radix-2 decimation-in-
// frequency stages in the radix-2^2 arrangement over one linear memory; input
// in natural order, results left in bit-reversed order.
#pragma once

#include <vector>

#include "engine/FFT.h"
#include "engine/TWIDDLE_ROM.h"

class R22_pipeline : public FFT {
public:
    static constexpr int32_t kMemSize = 65536;

    explicit R22_pipeline(const ConfigRecord& config);

    void setup(const ConfigRecord& config);
    void run(TWIDDLE_ROM& rom);
    // Block-floating-point exponent of the results in mem.
    void blockExponent();

    int32_t engine_width;
    std::vector<FixComplex> mem;
    FixComplex pe_in[2];
    FixComplex tw1, tw2;
};
