// R4_native_PE: the radix-4 decimation-in-time butterfly of R4_DIT_PE on
// machine integers, register for register: three twiddle products (in Wide,
// W + T + 2 bits) plus the rounding constant, truncated to W + 2 fraction
// bits; the two addition layers (forward kernel, -j by exchanging parts), or
// the copies of the dual radix-2 mode; the stage shift; the overflow test on
// the shifted values; the output quantisation Q to (W, W - 1) with wrap.
// Payloads are int64_t with W - 1 fraction bits in and out.
#pragma once

#include <cstdint>

#include "fix/RequantPlan.h"
#include "native/NativeEngine.h"

template <class Wide, int32_t Q>
class R4_native_PE {
public:
    // W: sample width; T: twiddle width.
    R4_native_PE(int32_t W, int32_t T)
        : rnd_const((Wide(1) << (T - 5)) - 1),
          product_r(RequantPlan::between(W + T + 2, W + T - 2, W + 4, W + 2, Truncate, Wrap)),
          out(RequantPlan::between(W + 9, W + 5, W, W - 1, Q, Wrap)),
          scaled_point(W + 5) {}

    // x[i] = (xr[i], xi[i]) are legs 0..3; w[m] the twiddles of legs 1..3.
    // On return x[i] holds output i of the element.
    __attribute__((always_inline)) void butterfly(bool r2_mode, int32_t shift, int64_t* xr, int64_t* xi, const int64_t* wr,
                   const int64_t* wi) {
        int64_t pr[3], pi[3];
        for (int m = 0; m < 3; ++m) {
            const Wide re = Wide(xr[m + 1]) * wr[m] - Wide(xi[m + 1]) * wi[m] + rnd_const;
            const Wide im = Wide(xr[m + 1]) * wi[m] + Wide(xi[m + 1]) * wr[m] + rnd_const;
            pr[m] = static_cast<int64_t>(product_r.applyAs<Truncate, Wrap>(re));
            pi[m] = static_cast<int64_t>(product_r.applyAs<Truncate, Wrap>(im));
        }
        const int64_t ar = xr[0] * 8, ai = xi[0] * 8;
        int64_t lr[4], li[4];
        if (r2_mode) {
            lr[0] = ar, li[0] = ai;
            lr[1] = pr[0], li[1] = pi[0];
            lr[2] = pr[1], li[2] = pi[1];
            lr[3] = pr[2], li[3] = pi[2];
        } else {
            lr[0] = ar + pr[1], li[0] = ai + pi[1];
            lr[2] = ar - pr[1], li[2] = ai - pi[1];
            lr[1] = pr[0] + pr[2], li[1] = pi[0] + pi[2];
            // (b - d) * -j
            lr[3] = pi[0] - pi[2], li[3] = pr[2] - pr[0];
        }
        // Sums on W + 2 fraction bits, then on the W + 5 fraction bits of
        // the scaled register divided by 2^shift (exact).
        const int64_t up = int64_t{1} << (3 - shift);
        const int64_t sr[4] = {(lr[0] + lr[1]) * up, (lr[2] + lr[3]) * up, (lr[0] - lr[1]) * up,
                               (lr[2] - lr[3]) * up};
        const int64_t si[4] = {(li[0] + li[1]) * up, (li[2] + li[3]) * up, (li[0] - li[1]) * up,
                               (li[2] - li[3]) * up};
        for (int i = 0; i < 4; ++i) {
            overflow |= outsideUnit(sr[i], scaled_point) | outsideUnit(si[i], scaled_point);
            xr[i] = out.applyAs<Q, Wrap>(sr[i]);
            xi[i] = out.applyAs<Q, Wrap>(si[i]);
        }
    }

    int32_t overflow = 0;

private:
    Wide rnd_const;
    RequantPlan product_r;
    RequantPlan out;
    int32_t scaled_point;
};
