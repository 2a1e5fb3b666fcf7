// TwiddleTable: the twiddle factors of a state as machine integers, one entry
// per angle index of the full period 2^nfft_max, unfolded once from the
// quarter-period entries of a TWIDDLE_ROM by its own mirror and negation rule
// (payloads with twiddle_width - 1 fraction bits), so that a lookup is one
// load per part.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/TWIDDLE_ROM.h"

class TwiddleTable {
public:
    explicit TwiddleTable(const TWIDDLE_ROM& rom);

    int64_t re(uint32_t k) const { return re_[k]; }
    int64_t im(uint32_t k) const { return im_[k]; }

private:
    std::vector<int64_t> re_;
    std::vector<int64_t> im_;
};
