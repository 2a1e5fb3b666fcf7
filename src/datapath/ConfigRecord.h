// The engine configuration of one state, fixed at create_state: what a
// datapath builds its engine from.
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
};
