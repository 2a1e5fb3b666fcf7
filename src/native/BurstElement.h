// BurstElement: what the radix-2 and radix-4 machine-integer elements share.
// A twiddle product (in Wide, W + T + 2 bits) plus the rounding constant
// 2^(T - 5) - 1 is truncated to W + 2 fraction bits, which rounds it to
// nearest with ties downward; the element's sums (on W + 2 fraction bits)
// are divided by the stage shift on the W + 5 fraction bits of the scaled
// register and quantised by Q to the output format (W, W - 1) with wrap; the
// overflow test of the scaled values is made per stage on the extreme sums.
#pragma once

#include <algorithm>
#include <cstdint>

#include "fix/RequantPlan.h"

template <class Wide, int32_t Q>
class BurstElement {
public:
    // W: sample width; T: twiddle width; scaledWidth: the width of the
    // element's scaled register (W + 5 fraction bits).
    BurstElement(int32_t W, int32_t T, int32_t scaledWidth)
        : rnd_const((Wide(1) << (T - 5)) - 1),
          product_r(RequantPlan::between(W + T + 2, W + T - 2, W + 4, W + 2, Truncate, Wrap)),
          out(RequantPlan::between(scaledWidth, W + 5, W, W - 1, Q, Wrap)),
          sum_point(W + 2) {}

    // Closes a stage of the given shift: the overflow test of its scaled
    // values, made on the largest and smallest sum.
    void endStage(int32_t shift) {
        const int64_t limit = int64_t{1} << (sum_point + shift);
        overflowed |= highest >= limit || lowest < -limit;
        highest = lowest = 0;
    }

    // 1 when a scaled value of this run lay outside [-1, 1).
    int32_t overflow() const { return overflowed; }

protected:
    // Real (re) or imaginary part of (xr + j xi)(wr + j wi), rounded into
    // product_r. Its magnitude stays below 2 (|x| <= sqrt 2, |w| <= 1 +
    // 2^-(T-1)), within the two integer bits of product_r, so the truncation
    // is the whole requantisation.
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

private:
    Wide rnd_const;
    RequantPlan product_r;
    RequantPlan out;
    int32_t sum_point;
    int64_t highest = 0;
    int64_t lowest = 0;
    int32_t overflowed = 0;
};
