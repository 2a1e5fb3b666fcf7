// R2_native_PE: the radix-2 decimation-in-time butterfly of R2_DIT_PE on
// machine integers, register for register: the twiddle product (in Wide,
// W + T + 2 bits) plus the rounding constant, truncated to W + 2 fraction
// bits; sum and difference; the stage shift; the overflow test on the
// shifted value; the output quantisation Q to (W, W - 1) with wrap. Payloads
// are int64_t with W - 1 fraction bits in and out.
#pragma once

#include <algorithm>
#include <cstdint>

#include "fix/RequantPlan.h"

template <class Wide, int32_t Q>
class R2_native_PE {
public:
    // W: sample width; T: twiddle width.
    R2_native_PE(int32_t W, int32_t T)
        : rnd_const((Wide(1) << (T - 5)) - 1),
          product_r(RequantPlan::between(W + T + 2, W + T - 2, W + 4, W + 2, Truncate, Wrap)),
          out(RequantPlan::between(W + 8, W + 5, W, W - 1, Q, Wrap)),
          sum_point(W + 2) {}

    // (a, b) becomes (a + w b, a - w b); shift is the stage's right shift.
    __attribute__((always_inline)) void butterfly(int64_t& ar, int64_t& ai, int64_t& br, int64_t& bi, int64_t wr,
                                                  int64_t wi, int32_t shift) {
        // The product's magnitude stays below 2 (|b| <= sqrt 2, |w| <= 1 +
        // 2^-(T-1)), within the two integer bits of product_r, so the
        // truncation is the whole requantisation.
        const int64_t cr = static_cast<int64_t>((Wide(br) * wr - Wide(bi) * wi + rnd_const) >> product_r.drop);
        const int64_t ci = static_cast<int64_t>((Wide(br) * wi + Wide(bi) * wr + rnd_const) >> product_r.drop);
        // Sums on W + 2 fraction bits, then on the W + 5 fraction bits of
        // the scaled register divided by 2^shift (exact).
        const int64_t s0r = ar * 8 + cr, s0i = ai * 8 + ci;
        const int64_t s1r = ar * 8 - cr, s1i = ai * 8 - ci;
        highest = std::max(std::max(std::max(highest, s0r), std::max(s0i, s1r)), s1i);
        lowest = std::min(std::min(std::min(lowest, s0r), std::min(s0i, s1r)), s1i);
        const int32_t up = 3 - shift;
        ar = out.applyAs<Q, Wrap>(shiftUp(s0r, up));
        ai = out.applyAs<Q, Wrap>(shiftUp(s0i, up));
        br = out.applyAs<Q, Wrap>(shiftUp(s1r, up));
        bi = out.applyAs<Q, Wrap>(shiftUp(s1i, up));
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
    Wide rnd_const;
    RequantPlan product_r;
    RequantPlan out;
    int32_t sum_point;
    int64_t highest = 0;
    int64_t lowest = 0;
    int32_t overflowed = 0;
};
