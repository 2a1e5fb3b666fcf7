// R22_pipeline: the pipelined streaming engine, in VFix registers. nfft
// radix-2 decimation-in-frequency stages in the radix-2^2 arrangement over
// one linear memory of 65536 samples with one guard integer bit. Data order:
// samples in natural order, results read bit-reversed (R22_walk). Schedule:
// one 2-bit right shift per stage pair, applied after its second stage (the
// lone last stage of odd nfft takes 0 or 1). Unscaled and block floating
// point run at the full width data_width + nfft_max + 1, with samples loaded
// divided by 2^(nfft_max + 1); block floating point normalises the whole
// result once at the end by its largest part.
#pragma once

#include <vector>

#include "engine/FFT.h"
#include "engine/TWIDDLE_ROM.h"

class R22_pipeline : public FFT {
public:
    static constexpr int32_t kMemSize = 65536;

    explicit R22_pipeline(const ConfigRecord& config);

    int32_t preDivision() const { return engine_width - data_width; }
    // Sample i of the frame, on the data grid.
    void load(int32_t i, double re, double im);
    void run(TWIDDLE_ROM& rom);
    void result(int32_t i, double& re, double& im) const;
    // Block-floating-point exponent of the results in mem.
    void blockExponent();

    int32_t engine_width;
    std::vector<FixComplex> mem;
    FixComplex pe_in[2];
    FixComplex tw1, tw2;
};
