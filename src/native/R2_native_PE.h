// R2_native_PE: the radix-2 decimation-in-time butterfly of R2_DIT_PE on
// machine integers, register for register: the twiddle product (in Wide,
// W + T + 2 bits) plus the rounding constant, truncated to W + 2 fraction
// bits; sum and difference; the stage shift; the overflow test on the
// shifted value; the output quantisation Q to (W, W - 1) with wrap. Payloads
// are int64_t with W - 1 fraction bits in and out.
#pragma once

#include <cstdint>

#include "fix/RequantPlan.h"
#include "native/NativeEngine.h"

template <class Wide, int32_t Q>
class R2_native_PE {
public:
    // W: sample width; T: twiddle width.
    R2_native_PE(int32_t W, int32_t T)
        : rnd_const((Wide(1) << (T - 5)) - 1),
          product_r(RequantPlan::between(W + T + 2, W + T - 2, W + 4, W + 2, Truncate, Wrap)),
          out(RequantPlan::between(W + 8, W + 5, W, W - 1, Q, Wrap)),
          scaled_point(W + 5) {}

    // (a, b) becomes (a + w b, a - w b); shift is the stage's right shift.
    __attribute__((always_inline)) void butterfly(int64_t& ar, int64_t& ai, int64_t& br, int64_t& bi, int64_t wr, int64_t wi,
                   int32_t shift) {
        const Wide pr = Wide(br) * wr - Wide(bi) * wi + rnd_const;
        const Wide pi = Wide(br) * wi + Wide(bi) * wr + rnd_const;
        const int64_t cr = static_cast<int64_t>(product_r.applyAs<Truncate, Wrap>(pr));
        const int64_t ci = static_cast<int64_t>(product_r.applyAs<Truncate, Wrap>(pi));
        // Sums on W + 2 fraction bits, then on the W + 5 fraction bits of
        // the scaled register divided by 2^shift (exact).
        const int64_t up = int64_t{1} << (3 - shift);
        const int64_t s0r = (ar * 8 + cr) * up, s0i = (ai * 8 + ci) * up;
        const int64_t s1r = (ar * 8 - cr) * up, s1i = (ai * 8 - ci) * up;
        overflow |= outsideUnit(s0r, scaled_point) | outsideUnit(s0i, scaled_point) |
                    outsideUnit(s1r, scaled_point) | outsideUnit(s1i, scaled_point);
        ar = out.applyAs<Q, Wrap>(s0r);
        ai = out.applyAs<Q, Wrap>(s0i);
        br = out.applyAs<Q, Wrap>(s1r);
        bi = out.applyAs<Q, Wrap>(s1i);
    }

    int32_t overflow = 0;

private:
    Wide rnd_const;
    RequantPlan product_r;
    RequantPlan out;
    int32_t scaled_point;
};
