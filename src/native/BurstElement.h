// BurstElement: what the radix-2 and radix-4 machine-integer elements share,
// with the registers of their format tables (R2_DIT_formats,
// R4_DIT_formats). A twiddle product (in Wide) plus the rounding constant is
// truncated to the product_r grid (W + 2 fraction bits), which rounds it to
// nearest with ties downward; the element's sums, on that grid, are divided
// by the stage shift on the 3 more fraction bits of the scaled register and
// quantised by Q to the output format with wrap; the overflow test of the
// scaled values is made per stage on the extreme sums.
#pragma once

#include <algorithm>
#include <cstdint>

#include "engine/Formats.h"
#include "fix/RequantPlan.h"
#include "native/NativeEngine.h"

template <class Wide, int32_t Q>
class BurstElement {
public:
    template <class Formats>
    explicit BurstElement(const Formats& f)
        : rnd_const((Wide(1) << f.rnd_ones) - 1),
          product_r(planBetween(f.product, f.product_r, Truncate)),
          out(planBetween(f.scaled, f.out, Q)),
          sum_point(f.product_r.point) {}

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
