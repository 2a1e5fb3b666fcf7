// R4_loop: the radix-4 burst engine. An in-place mixed-radix decimation-in-time
// transform over four memory banks; input in digit-reversed order, results in
// natural order. Odd nfft ends with a radix-2 stage on two half-length results.
#pragma once

#include <vector>

#include "engine/FFT.h"
#include "engine/TWIDDLE_ROM.h"

class R4_loop : public FFT {
public:
    static constexpr int32_t kBankSize = 16384;

    explicit R4_loop(const ConfigRecord& config);

    void setup(const ConfigRecord& config);
    void run(TWIDDLE_ROM& rom);

    std::vector<FixComplex> mem;  // bank b at entries b * kBankSize ...
    FixComplex pe_in[4];
    FixComplex read_regs[4];
    FixComplex write_regs[4];
    FixComplex tw1, tw2, tw3;
};
