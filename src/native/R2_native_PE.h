// R2_native_PE: the radix-2 decimation-in-time butterfly of R2_DIT_PE on
// machine integers, register for register (see BurstElement): the rounded
// twiddle product, sum and difference, the stage shift, the overflow test
// and the output quantisation. Payloads are int64_t with W - 1 fraction bits
// in and out.
#pragma once

#include "native/BurstElement.h"

template <class Wide, int32_t Q>
class R2_native_PE : public BurstElement<Wide, Q> {
public:
    // W: sample width; T: twiddle width.
    R2_native_PE(int32_t W, int32_t T) : BurstElement<Wide, Q>(R2_DIT_formats(W, T)) {}

    // (a, b) becomes (a + w b, a - w b); shift is the stage's right shift.
    __attribute__((always_inline)) void butterfly(int64_t& ar, int64_t& ai, int64_t& br, int64_t& bi, int64_t wr,
                                                  int64_t wi, int32_t shift) {
        const int64_t cr = this->product(br, bi, wr, wi, true);
        const int64_t ci = this->product(br, bi, wr, wi, false);
        // sums on W + 2 fraction bits
        const int64_t s0r = ar * 8 + cr, s0i = ai * 8 + ci;
        const int64_t s1r = ar * 8 - cr, s1i = ai * 8 - ci;
        ar = this->emit(s0r, shift);
        ai = this->emit(s0i, shift);
        br = this->emit(s1r, shift);
        bi = this->emit(s1i, shift);
    }
};
