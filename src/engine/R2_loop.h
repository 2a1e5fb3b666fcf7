// R2_loop: the radix-2 burst engine (C_ARCH 2 and 4), in VFix registers. An
// in-place radix-2 decimation-in-time transform over two memory banks of
// 32768 samples. Data order: sample i is placed at the bit-reversed index,
// results are read in natural order (R2_walk). Schedule: one 2-bit right shift
// per stage. Block floating point: the first stage is shifted by 1 when some
// loaded sample has no redundant sign bit, each later stage by the largest
// radix-2 growth class written by the stage before. Unscaled: samples are
// loaded divided by 2^(result_width - data_width).
#pragma once

#include <vector>

#include "engine/FFT.h"
#include "engine/TWIDDLE_ROM.h"

class R2_loop : public FFT {
public:
    static constexpr int32_t kBankSize = 32768;

    explicit R2_loop(const ConfigRecord& config);

    int32_t preDivision() const { return pre_division; }
    // Sample i of the frame, on the data grid.
    void load(int32_t i, double re, double im);
    void run(TWIDDLE_ROM& rom);
    void result(int32_t i, double& re, double& im) const;

    int32_t pre_division;  // log2 of the division of loaded values
    std::vector<FixComplex> mem;  // bank b at entries b * kBankSize ...
    FixComplex pe_in[2];
    FixComplex read_regs[2];
    FixComplex write_regs[2];
    FixComplex tw;
};
