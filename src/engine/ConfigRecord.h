// The engine configuration of one state: fixed at create_state, except the
// per-call fields that every simulation call rewrites before the engine runs.
#pragma once

#include <cstdint>

struct ConfigRecord {
    int32_t data_width;
    int32_t result_width;
    int32_t twiddle_width;
    int32_t nfft_max;
    int32_t has_rounding;
    int32_t has_scaling;
    int32_t has_bfp;
    int32_t arch;
    int32_t use_flt_pt;
    // per call
    int32_t nfft_odd;
    int32_t r4_addr_mask;
    int32_t points;
    int32_t nfft;
    int32_t r4_points;
    int32_t half_nfft;
};
