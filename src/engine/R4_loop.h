// R4_loop: the radix-4 burst engine, in VFix registers. An in-place mixed-
// radix decimation-in-time transform over four memory banks of 16384 samples.
// Data order: sample i is placed at the digit-reversed index, results are read
// in natural order (R4_walk). Odd nfft ends with a radix-2 stage on the two
// half-length results. Schedule: one 2-bit right shift per stage (the last
// one 0 or 1 for odd nfft). Block floating point: the first stage is shifted
// by 2 minus the smallest sign headroom of the loaded samples, each later
// stage by the largest radix-4 growth class written by the stage before.
// Unscaled: samples are loaded divided by 2^(result_width - data_width).
#pragma once

#include <vector>

#include "engine/FFT.h"
#include "engine/TWIDDLE_ROM.h"

class R4_loop : public FFT {
public:
    static constexpr int32_t kBankSize = 16384;

    explicit R4_loop(const ConfigRecord& config);

    int32_t preDivision() const { return pre_division; }
    // Sample i of the frame, on the data grid.
    void load(int32_t i, double re, double im);
    void run(TWIDDLE_ROM& rom);
    void result(int32_t i, double& re, double& im) const;

    int32_t pre_division;  // log2 of the division of loaded values
    std::vector<FixComplex> mem;  // bank b at entries b * kBankSize ...
    FixComplex pe_in[4];
    FixComplex read_regs[4];
    FixComplex write_regs[4];
    FixComplex tw1, tw2, tw3;
};
