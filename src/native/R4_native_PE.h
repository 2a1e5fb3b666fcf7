// R4_native_PE: the radix-4 decimation-in-time butterfly of R4_DIT_PE on
// machine integers, register for register: three twiddle products (in Wide,
// W + T + 2 bits) plus the rounding constant, truncated to W + 2 fraction
// bits; the two addition layers (forward kernel, -j by exchanging parts), or
// the copies of the dual radix-2 mode; the stage shift; the overflow test on
// the shifted values; the output quantisation Q to (W, W - 1) with wrap.
// Payloads are int64_t with W - 1 fraction bits in and out.
#pragma once

#include <algorithm>
#include <cstdint>

#include "fix/RequantPlan.h"

template <class Wide, int32_t Q>
class R4_native_PE {
public:
    // W: sample width; T: twiddle width.
    R4_native_PE(int32_t W, int32_t T)
        : rnd_const((Wide(1) << (T - 5)) - 1),
          product_r(RequantPlan::between(W + T + 2, W + T - 2, W + 4, W + 2, Truncate, Wrap)),
          out(RequantPlan::between(W + 9, W + 5, W, W - 1, Q, Wrap)),
          sum_point(W + 2) {}

    // (xc_r, xc_i) are legs c = 0..3, (wm_r, wm_i) the twiddles of legs 1..3.
    // On return (xc_r, xc_i) holds output c of the element.
    __attribute__((always_inline)) void butterfly(bool r2_mode, int32_t shift, int64_t& x0r, int64_t& x0i,
                                                  int64_t& x1r, int64_t& x1i, int64_t& x2r, int64_t& x2i,
                                                  int64_t& x3r, int64_t& x3i, int64_t w1r, int64_t w1i,
                                                  int64_t w2r, int64_t w2i, int64_t w3r, int64_t w3i) {
        const int64_t br = product(x1r, x1i, w1r, w1i, true);
        const int64_t bi = product(x1r, x1i, w1r, w1i, false);
        const int64_t cr = product(x2r, x2i, w2r, w2i, true);
        const int64_t ci = product(x2r, x2i, w2r, w2i, false);
        const int64_t dr = product(x3r, x3i, w3r, w3i, true);
        const int64_t di = product(x3r, x3i, w3r, w3i, false);
        const int64_t ar = x0r * 8, ai = x0i * 8;
        // legs on W + 2 fraction bits
        int64_t l0r, l0i, l1r, l1i, l2r, l2i, l3r, l3i;
        if (r2_mode) {
            l0r = ar, l0i = ai, l1r = br, l1i = bi, l2r = cr, l2i = ci, l3r = dr, l3i = di;
        } else {
            l0r = ar + cr, l0i = ai + ci;
            l2r = ar - cr, l2i = ai - ci;
            l1r = br + dr, l1i = bi + di;
            l3r = bi - di, l3i = dr - br;  // (b - d) * -j
        }
        // The sums on W + 2 fraction bits; emit scales them.
        x0r = emit(l0r + l1r, shift);
        x0i = emit(l0i + l1i, shift);
        x1r = emit(l2r + l3r, shift);
        x1i = emit(l2i + l3i, shift);
        x2r = emit(l0r - l1r, shift);
        x2i = emit(l0i - l1i, shift);
        x3r = emit(l2r - l3r, shift);
        x3i = emit(l2i - l3i, shift);
    }

    // Closes a stage of the given shift: the overflow test of its scaled
    // values, made on the largest and smallest sum.
    void endStage(int32_t shift) {
        const int64_t limit = int64_t{1} << (sum_point + shift);
        overflowed |= highest >= limit || lowest < -limit;
        highest = lowest = 0;
    }

    // 1 when a scaled value of this run lay outside [-1, 1).
    int32_t overflow() const { return overflowed; }

private:
    // Real (re) or imaginary part of (xr + j xi)(wr + j wi), rounded into
    // product_r. Its magnitude stays below 2 (|x| <= sqrt 2, |w| <= 1 + 2^-(T-1)),
    // within the two integer bits of product_r, so the truncation is the
    // whole requantisation.
    __attribute__((always_inline)) int64_t product(int64_t xr, int64_t xi, int64_t wr, int64_t wi, bool re) const {
        const Wide p = re ? Wide(xr) * wr - Wide(xi) * wi : Wide(xr) * wi + Wide(xi) * wr;
        return static_cast<int64_t>((p + rnd_const) >> product_r.drop);
    }

    // A sum on W + 2 fraction bits, divided by 2^shift on the W + 5 fraction
    // bits of the scaled register (exact), into the output register.
    __attribute__((always_inline)) int64_t emit(int64_t sum, int32_t shift) {
        highest = std::max(highest, sum);
        lowest = std::min(lowest, sum);
        return out.applyAs<Q, Wrap>(shiftUp(sum, 3 - shift));
    }

    Wide rnd_const;
    RequantPlan product_r;
    RequantPlan out;
    int32_t sum_point;
    int64_t highest = 0;
    int64_t lowest = 0;
    int32_t overflowed = 0;
};
