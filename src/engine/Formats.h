// The register formats of the engines and processing elements: width and
// binary point of every register, in one table per element. Both datapaths
// build their registers from these tables (the reference engines as VFix
// formats, the machine-integer engines as the requantisation plans between
// them), together with the sample formats and the growth classes of block
// floating point.
#pragma once

#include <cstdint>

#include "datapath/ConfigRecord.h"

// A signed register of `width` bits with `point` fraction bits.
struct RegisterFormat {
    int32_t width;
    int32_t point;
};

// The sample memory of an engine: its format, the width W of the data that
// its processing element takes, and the pre-division (log2) of loaded values.
struct EngineFormat {
    RegisterFormat memory;
    int32_t width;
    int32_t pre_division;

    // Radix-2 and radix-4 burst engines: samples of result_width bits;
    // unscaled input is loaded divided by the growth the width leaves.
    static EngineFormat burst(const ConfigRecord& c) {
        return {{c.result_width, c.result_width - 1}, c.result_width,
                c.has_scaling ? 0 : c.result_width - c.data_width};
    }
    // Pipelined engine: block floating point runs unscaled at the full width
    // data_width + nfft_max + 1 and normalises at the end; the memory has one
    // integer bit more than the samples, for the growth of the first stage
    // of a pair. Without a fixed schedule the input is pre-divided.
    static EngineFormat pipeline(const ConfigRecord& c) {
        const int32_t W = c.has_scaling == 1 && c.has_bfp == 1 ? c.data_width + c.nfft_max + 1 : c.result_width;
        return {{W + 1, W - 1}, W, W - c.data_width};
    }
};

// Radix-2 DIT element for samples of width W and twiddles of width T.
struct R2_DIT_formats {
    RegisterFormat in, out, sums, scaled, product, product_r, rnd_const;
    int32_t rnd_ones;  // rnd_const holds this many low one bits in both parts

    R2_DIT_formats(int32_t W, int32_t T)
        : in{W, W - 1}, out{W, W - 1}, sums{W + 5, W + 2}, scaled{W + 8, W + 5}, product{W + T + 2, W + T - 2},
          product_r{W + 4, W + 2}, rnd_const{W + T + 2, W + T - 2}, rnd_ones(T - 5) {}
};

// Radix-4 DIT element: as the radix-2 one, with the first-layer legs and
// wider sums for the four-term outputs.
struct R4_DIT_formats {
    RegisterFormat in, out, legs, sums, scaled, product, product_r, rnd_const;
    int32_t rnd_ones;

    R4_DIT_formats(int32_t W, int32_t T)
        : in{W, W - 1}, out{W, W - 1}, legs{W + 6, W + 2}, sums{W + 9, W + 5}, scaled{W + 9, W + 5},
          product{W + T + 2, W + T - 2}, product_r{W + 4, W + 2}, rnd_const{W + T + 2, W + T - 2}, rnd_ones(T - 5) {}
};

// Radix-2^2 DIF element for engine width W and twiddle width T. With a fixed
// schedule (scaledFixed) the outputs carry two guard integer bits and the
// data are scaled after the second stage of each pair and in the last stage
// (scaled, then scaled_last and final_regs there); otherwise the element runs
// at the engine width and scaled and final_regs are not used.
struct R22_DIF_formats {
    RegisterFormat in, out, bf, product, product_r, scaled, scaled_last, final_regs, rnd_const;
    int32_t round_grid;  // fraction bits to which the twiddle products are rounded
    int32_t rnd_ones;

    R22_DIF_formats(int32_t W, int32_t T, bool scaledFixed, int32_t nfft_max)
        : in{W + 1, W - 1},
          out{scaledFixed ? W + 2 : W, W - 1},
          bf{scaledFixed ? W + 2 : W, W - 1},
          product{scaledFixed ? W + T + 3 : W + T + 1, W + T - 2},
          product_r{scaledFixed ? W + 8 : W + 6, scaledFixed ? W + 4 : W + 5},
          scaled{W + 11, W + 7},
          scaled_last{W + 5, W + 2},
          final_regs{nfft_max % 2 == 0 ? W + 4 : W + 5, nfft_max % 2 == 0 ? W + 1 : W + 2},
          rnd_const{W + T + 3, W + T - 2},
          round_grid(scaledFixed ? W + 4 : W + 5),
          // Half a unit of the round_grid fraction grid minus one unit of the
          // product grid: 2^k - 1 with k = T + W - round_grid - 3, 0 for T = 8.
          rnd_ones(T + W - round_grid - 3 > 0 ? T + W - round_grid - 3 : 0) {}
};

// Block floating point: upper limits of the growth classes below the last,
// in units of 2^-7: a part v is in the first class whose limit L gives
// -L <= 128 v < L.
inline constexpr int32_t kGrowthLimits2[2] = {53, 106};
inline constexpr int32_t kGrowthLimits4[3] = {24, 48, 97};
