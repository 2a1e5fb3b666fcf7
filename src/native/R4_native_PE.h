// R4_native_PE: the radix-4 decimation-in-time butterfly of R4_DIT_PE on
// machine integers, register for register (see BurstElement): three rounded
// twiddle products; the two addition layers (forward kernel, -j by
// exchanging parts); the stage shift; the overflow test; the output
// quantisation. Payloads are int64_t with W - 1 fraction bits in and out.
// (The element's dual radix-2 mode is two radix-2 butterflies, which the
// engine runs through R2_native_PE.)
#pragma once

#include "native/BurstElement.h"

template <class Wide, int32_t Q>
class R4_native_PE : public BurstElement<Wide, Q> {
public:
    // W: sample width; T: twiddle width.
    R4_native_PE(int32_t W, int32_t T) : BurstElement<Wide, Q>(R4_DIT_formats(W, T)) {}

    // (xc_r, xc_i) are legs c = 0..3, (wm_r, wm_i) the twiddles of legs 1..3.
    // On return (xc_r, xc_i) holds output c of the element.
    __attribute__((always_inline)) void butterfly(int32_t shift, int64_t& x0r, int64_t& x0i,
                                                  int64_t& x1r, int64_t& x1i, int64_t& x2r, int64_t& x2i,
                                                  int64_t& x3r, int64_t& x3i, int64_t w1r, int64_t w1i,
                                                  int64_t w2r, int64_t w2i, int64_t w3r, int64_t w3i) {
        const int64_t br = this->product(x1r, x1i, w1r, w1i, true);
        const int64_t bi = this->product(x1r, x1i, w1r, w1i, false);
        const int64_t cr = this->product(x2r, x2i, w2r, w2i, true);
        const int64_t ci = this->product(x2r, x2i, w2r, w2i, false);
        const int64_t dr = this->product(x3r, x3i, w3r, w3i, true);
        const int64_t di = this->product(x3r, x3i, w3r, w3i, false);
        const int64_t ar = x0r * 8, ai = x0i * 8;
        // legs on W + 2 fraction bits
        const int64_t l0r = ar + cr, l0i = ai + ci;
        const int64_t l2r = ar - cr, l2i = ai - ci;
        const int64_t l1r = br + dr, l1i = bi + di;
        const int64_t l3r = bi - di, l3i = dr - br;  // (b - d) * -j
        // The sums on W + 2 fraction bits; emit scales them.
        x0r = this->emit(l0r + l1r, shift);
        x0i = this->emit(l0i + l1i, shift);
        x1r = this->emit(l2r + l3r, shift);
        x1i = this->emit(l2i + l3i, shift);
        x2r = this->emit(l0r - l1r, shift);
        x2i = this->emit(l0i - l1i, shift);
        x3r = this->emit(l2r - l3r, shift);
        x3i = this->emit(l2i - l3i, shift);
    }
};
