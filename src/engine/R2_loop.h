// R2_loop: the radix-2 burst engine. An in-place radix-2 decimation-in-time
// transform over two memory banks; input in bit-reversed order, results in
// natural order.
#pragma once

#include <vector>

#include "engine/FFT.h"
#include "engine/TWIDDLE_ROM.h"

class R2_loop : public FFT {
public:
    static constexpr int32_t kBankSize = 32768;

    explicit R2_loop(const ConfigRecord& config);

    void setup(const ConfigRecord& config);
    void run(TWIDDLE_ROM& rom);

    std::vector<FixComplex> mem;  // bank b at entries b * kBankSize ...
    FixComplex pe_in[2];
    FixComplex read_regs[2];
    FixComplex write_regs[2];
    FixComplex tw;
};
