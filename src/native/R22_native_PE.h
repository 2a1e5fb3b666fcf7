// R22_native_PE: the radix-2 decimation-in-frequency butterfly of R22_DIF_PE
// on machine integers, register for register (R22_DIF_formats), in both
// register sets: with a
// fixed schedule (two guard integer bits, the shift after the second stage of
// each pair and in the last stage, overflow tests) and without (unscaled and
// block floating point, at the engine width). The twiddle products are held
// in Wide. Payloads are int64_t with W - 1 fraction bits in and out; the
// results are written back in the memory format (W + 1, W - 1).
#pragma once

#include <cstdint>

#include "engine/Formats.h"
#include "fix/RequantPlan.h"
#include "native/NativeEngine.h"

template <class Wide, int32_t Q>
class R22_native_PE {
public:
    // W: engine width; T: twiddle width; nfft and direction of this run.
    R22_native_PE(int32_t W, int32_t T, bool scaledFixed, int32_t nfft_max, int32_t nfftRun,
                  int32_t dir)
        : scaled_fixed(scaledFixed), nfft(nfftRun), direction(dir) {
        const R22_DIF_formats f(W, T, scaled_fixed, nfft_max);
        mem_width = f.in.width;
        scaled_point = f.scaled.point;
        last_point = f.scaled_last.point;
        bf_width = f.bf.width;
        rnd_const = (Wide(1) << f.rnd_ones) - 1;
        product_r = planBetween(f.product, f.product_r, Truncate);
        if (scaled_fixed) {
            out_scaled = planBetween(f.scaled, f.out, Q);
            final_regs = planBetween(f.scaled_last, f.final_regs, Truncate);
            out_final = planBetween(f.final_regs, f.out, Q);
        } else {
            out_product = planBetween(f.product_r, f.out, Q);
        }
    }

    // Butterfly of stage s on x0 = (x0r, x0i), x1 = (x1r, x1i), which receive
    // the two results. The twiddles are used in odd stages that are not the
    // last, the shift with a fixed schedule.
    __attribute__((always_inline)) void butterfly(int32_t s, int32_t block_index, int32_t shift, int64_t& x0r, int64_t& x0i,
                   int64_t& x1r, int64_t& x1i, int64_t w1r, int64_t w1i, int64_t w2r, int64_t w2i) {
        const bool last = s == nfft - 1;
        int64_t br[2], bi[2];
        if (s % 2 == 1 && (block_index & 1) != 0) {
            // x1 rotated by -j (forward) or +j (inverse).
            const int64_t jr = direction == 1 ? x1i : -x1i;
            const int64_t ji = direction == 1 ? -x1r : x1r;
            br[0] = x0r + jr, bi[0] = x0i + ji;
            br[1] = x0r - jr, bi[1] = x0i - ji;
        } else {
            br[0] = x0r + x1r, bi[0] = x0i + x1i;
            br[1] = x0r - x1r, bi[1] = x0i - x1i;
        }
        // With a fixed schedule bf has a bit more than a sum of two memory
        // words needs, and nothing wraps there.
        if (!scaled_fixed)
            for (int i = 0; i < 2; ++i) {
                br[i] = RequantPlan::wrap(br[i], bf_width);
                bi[i] = RequantPlan::wrap(bi[i], bf_width);
            }
        int64_t outr[2], outi[2];
        if (s % 2 == 1 && !last) {
            const int64_t wr[2] = {w1r, w2r}, wi[2] = {w1i, w2i};
            for (int i = 0; i < 2; ++i) {
                const int64_t pr = static_cast<int64_t>(
                    product_r.applyAs<Truncate, Wrap>(Wide(br[i]) * wr[i] - Wide(bi[i]) * wi[i] + rnd_const));
                const int64_t pi = static_cast<int64_t>(
                    product_r.applyAs<Truncate, Wrap>(Wide(br[i]) * wi[i] + Wide(bi[i]) * wr[i] + rnd_const));
                if (scaled_fixed) {
                    // product_r has W + 4 fraction bits, scaled W + 7.
                    scaleOut(pr * (int64_t{1} << (3 - shift)), pi * (int64_t{1} << (3 - shift)), scaled_point,
                             out_scaled, outr[i], outi[i]);
                } else {
                    outr[i] = out_product.applyAs<Q, Wrap>(pr);
                    outi[i] = out_product.applyAs<Q, Wrap>(pi);
                }
            }
        } else if (last && scaled_fixed && s % 2 == 0) {
            // bf has W - 1 fraction bits, scaled W + 7.
            for (int i = 0; i < 2; ++i)
                scaleOut(br[i] * (int64_t{1} << (8 - shift)), bi[i] * (int64_t{1} << (8 - shift)), scaled_point,
                         out_scaled, outr[i], outi[i]);
        } else if (last && scaled_fixed) {
            // The last odd stage scales into (W + 5, W + 2), then truncates
            // through final_regs.
            for (int i = 0; i < 2; ++i) {
                const int64_t sr = br[i] * (int64_t{1} << (3 - shift));
                const int64_t si = bi[i] * (int64_t{1} << (3 - shift));
                overflow |= outsideUnit(sr, last_point) | outsideUnit(si, last_point);
                outr[i] = out_final.applyAs<Q, Wrap>(final_regs.applyAs<Truncate, Wrap>(sr));
                outi[i] = out_final.applyAs<Q, Wrap>(final_regs.applyAs<Truncate, Wrap>(si));
            }
        } else {
            for (int i = 0; i < 2; ++i) outr[i] = br[i], outi[i] = bi[i];
        }
        // Without a fixed schedule out is narrower than memory, and nothing
        // wraps there.
        if (scaled_fixed) {
            for (int i = 0; i < 2; ++i) {
                outr[i] = RequantPlan::wrap(outr[i], mem_width);
                outi[i] = RequantPlan::wrap(outi[i], mem_width);
            }
        }
        x0r = outr[0], x0i = outi[0], x1r = outr[1], x1i = outi[1];
    }

    int32_t overflow = 0;

private:
    // Overflow test on the scaled parts (point fraction bits), then the
    // output quantisation.
    void scaleOut(int64_t sr, int64_t si, int32_t point, const RequantPlan& plan, int64_t& outr,
                  int64_t& outi) {
        overflow |= outsideUnit(sr, point) | outsideUnit(si, point);
        outr = plan.applyAs<Q, Wrap>(sr);
        outi = plan.applyAs<Q, Wrap>(si);
    }

    bool scaled_fixed;
    int32_t nfft;
    int32_t direction;
    int32_t mem_width;
    int32_t bf_width;
    int32_t scaled_point;  // fraction bits of the scaled register
    int32_t last_point;    // and of its format in the last stage
    Wide rnd_const;
    RequantPlan product_r, out_scaled, out_product, final_regs, out_final;
};
