// TWIDDLE_ROM: the core's twiddle-factor memory. It stores a quarter period
// plus one entry of (cos, sin) for a period of 2^nfft_max points, quantised
// to twiddle_width + 1 bits with twiddle_width - 1 fraction bits, and unfolds
// the other three quarters on lookup by mirroring and negation.
#pragma once

#include <cstdint>

#include "fix/FixComplex.h"

class TWIDDLE_ROM {
public:
    TWIDDLE_ROM(int32_t nfft_max, int32_t twiddle_width);
    virtual ~TWIDDLE_ROM();
    TWIDDLE_ROM(const TWIDDLE_ROM&) = delete;
    TWIDDLE_ROM& operator=(const TWIDDLE_ROM&) = delete;

    // (cos, sin) of 2*pi*k / 2^nfft_max, k taken modulo 2^nfft_max. The value
    // and format of the entry are copied into result.
    FixComplex& lookup(FixComplex& result, uint32_t k);

    // Where the twiddle of angle index k comes from: the table entry, and
    // which of its parts are negated.
    struct Source {
        uint32_t entry;
        bool negateRe;
        bool negateIm;
    };
    Source source(uint32_t k) const;

    int32_t nfft_max;
    int32_t twiddle_width;
    FixComplex ret_tw;
    FixComplex* table;
};
