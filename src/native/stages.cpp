// The stage loops of the machine-integer engines, compiled once per vector
// target by Highway (foreach_target re-includes this file per target) and
// chosen at run time for the processor. See Stages.h.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "native/stages.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <algorithm>

#include "native/R22_native_PE.h"
#include "native/R2_native_PE.h"
#include "native/R4_native_PE.h"
#include "native/Stages.h"

HWY_BEFORE_NAMESPACE();
namespace vfft_stages {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// ---------------------------------------------------------------- scalar

// One butterfly at a time through the scalar elements, with twiddle
// products in Wide and output quantisation Q.
template <class Wide, int32_t Q>
StageResult burstScalar(const BurstStage& j) {
    int64_t* re = j.re;
    int64_t* im = j.im;
    const int32_t R = j.run;
    int64_t folded = 0;
    StageResult result;
    if (j.radix == 4) {
        R4_native_PE<Wide, Q> pe(j.width, j.twiddle);
        for (int32_t base = 0; base < j.points; base += 4 * R)
            for (int32_t m = 0; m < R; ++m) {
                const int32_t l0 = base + m, l1 = l0 + R, l2 = l1 + R, l3 = l2 + R;
                int64_t x0r = re[l0], x0i = im[l0], x1r = re[l1], x1i = im[l1];
                int64_t x2r = re[l2], x2i = im[l2], x3r = re[l3], x3i = im[l3];
                pe.butterfly(j.shift, x0r, x0i, x1r, x1i, x2r, x2i, x3r, x3i, j.twRe[0][m], j.twIm[0][m],
                             j.twRe[1][m], j.twIm[1][m], j.twRe[2][m], j.twIm[2][m]);
                if (j.inverse) std::swap(x1r, x3r), std::swap(x1i, x3i);
                re[l0] = x0r, im[l0] = x0i, re[l1] = x1r, im[l1] = x1i;
                re[l2] = x2r, im[l2] = x2i, re[l3] = x3r, im[l3] = x3i;
                if (j.bfp)
                    for (const int64_t v : {x0r, x0i, x1r, x1i, x2r, x2i, x3r, x3i})
                        folded = std::max(folded, v ^ (v >> 63));
            }
        pe.endStage(j.shift);
        result.overflow = pe.overflow();
    } else {
        R2_native_PE<Wide, Q> pe(j.width, j.twiddle);
        for (int32_t base = 0; base < j.points; base += 2 * R)
            for (int32_t m = 0; m < R; ++m) {
                const int32_t l0 = base + m, l1 = l0 + R;
                int64_t x0r = re[l0], x0i = im[l0], x1r = re[l1], x1i = im[l1];
                pe.butterfly(x0r, x0i, x1r, x1i, j.twRe[0][m], j.twIm[0][m], j.shift);
                re[l0] = x0r, im[l0] = x0i, re[l1] = x1r, im[l1] = x1i;
                if (j.bfp)
                    for (const int64_t v : {x0r, x0i, x1r, x1i}) folded = std::max(folded, v ^ (v >> 63));
            }
        pe.endStage(j.shift);
        result.overflow = pe.overflow();
    }
    result.folded = folded;
    return result;
}

template <class Wide, int32_t Q>
StageResult r22Scalar(const R22Stage& j) {
    R22_native_PE<Wide, Q> pe(j.width, j.twiddle, j.scaledFixed, j.nfftMax, j.nfft, j.direction);
    for (int32_t s = j.stage; s <= j.stage + (j.paired ? 1 : 0); ++s) {
        const int32_t R = j.run >> (s - j.stage);
        // The twiddles (when given) belong to the odd stage.
        const bool twiddled = s % 2 == 1 && j.twRe[0] != nullptr;
        for (int32_t base = 0, block = 0; base < j.points; base += 2 * R, ++block) {
            const int32_t odd = block & 1;
            for (int32_t m = 0; m < R; ++m) {
                const int32_t t = base + m, b = t + R;
                pe.butterfly(s, block, j.shift, j.re[t], j.im[t], j.re[b], j.im[b],
                             twiddled ? j.twRe[odd][m] : 0, twiddled ? j.twIm[odd][m] : 0,
                             twiddled ? j.twRe[odd + 2][m] : 0, twiddled ? j.twIm[odd + 2][m] : 0);
            }
        }
    }
    StageResult result;
    result.overflow = pe.overflow;
    return result;
}

#if HWY_TARGET != HWY_SCALAR && HWY_TARGET != HWY_EMU128

// ---------------------------------------------------------------- vectors

// How the twiddle products are formed from 32 x 32 -> 64-bit multiplies: one
// per partial product when both operands fit 32 bits; two when the sample
// needs up to 62 bits (split at bit 31, the low part unsigned), the twiddle
// 32 and the product 63; four, with the twiddle split too and the dropped
// bits taken from the low partial products only, for samples up to 52 bits,
// twiddles up to 62 and wider products.
enum Multiply { kNarrow, kSplit, kWide };

// x = high * 2^31 + low, 0 <= low < 2^31, both as 32-bit lanes.
template <class D>
HWY_INLINE void split(D d, hn::Vec<D> x, hn::Vec<D>& high, hn::Vec<D>& low) {
    low = hn::And(x, hn::Set(d, 0x7FFFFFFF));
    high = hn::ShiftRight<31>(x);
}

template <int32_t kMul, class D>
HWY_INLINE hn::Vec<D> mul(D d, hn::Vec<D> x, hn::Vec<D> w) {
    const hn::Repartition<int32_t, D> d32;
    const auto w32 = hn::BitCast(d32, w);
    if (kMul == kNarrow) return hn::MulEven(hn::BitCast(d32, x), w32);
    hn::Vec<D> high, low;
    split(d, x, high, low);
    return hn::Add(hn::ShiftLeft<31>(hn::MulEven(hn::BitCast(d32, high), w32)),
                   hn::MulEven(hn::BitCast(d32, low), w32));
}

// floor((a b + c e + rnd) / 2^drop), or with c e subtracted (kMinus),
// exactly; 1 <= drop <= 31.
template <int32_t kMul, bool kMinus, class D, class V = hn::Vec<D>>
HWY_INLINE V dot(D d, V a, V b, V c, V e, V rnd, int32_t drop) {
    const auto combine = [](V x, V y) HWY_ATTR { return kMinus ? hn::Sub(x, y) : hn::Add(x, y); };
    if (kMul != kWide) return hn::ShiftRightSame(hn::Add(combine(mul<kMul>(d, a, b), mul<kMul>(d, c, e)), rnd), drop);
    const hn::Repartition<int32_t, D> d32;
    const auto m = [&](V x, V y) HWY_ATTR { return hn::MulEven(hn::BitCast(d32, x), hn::BitCast(d32, y)); };
    V ah, al, bh, bl, ch, cl, eh, el;
    split(d, a, ah, al), split(d, b, bh, bl), split(d, c, ch, cl), split(d, e, eh, el);
    // a b + c e = high 2^62 + middle 2^31 + low; only low has bits below 2^31.
    const V high = combine(m(ah, bh), m(ch, eh));
    const V middle = combine(hn::Add(m(ah, bl), m(al, bh)), hn::Add(m(ch, el), m(cl, eh)));
    const V low = hn::Add(combine(m(al, bl), m(cl, el)), rnd);
    return hn::Add(hn::Add(hn::ShiftLeftSame(high, 62 - drop), hn::ShiftLeftSame(middle, 31 - drop)),
                   hn::ShiftRightSame(low, drop));
}

// The low `bits` bits of v as a signed value.
template <class D>
HWY_INLINE hn::Vec<D> wrap(D, hn::Vec<D> v, int32_t bits) {
    return bits >= 64 ? v : hn::ShiftRightSame(hn::ShiftLeftSame(v, 64 - bits), 64 - bits);
}

// RequantPlan::apply on int64_t lanes, for plans with wrap and truncation or
// RoundHalfEvenHoldMax.
template <class D>
HWY_INLINE hn::Vec<D> requant(D d, hn::Vec<D> v, const RequantPlan& plan) {
    if (plan.drop <= 0) return wrap(d, hn::ShiftLeftSame(v, -plan.drop), plan.width);
    auto p = hn::ShiftRightSame(v, plan.drop);
    if (plan.quant == RoundHalfEvenHoldMax) {
        // Half a unit minus one, plus the kept lowest bit: a carry into the
        // kept bits exactly when the value rounds up (ties to even).
        const auto bias = hn::Add(hn::Set(d, (int64_t{1} << (plan.drop - 1)) - 1), hn::And(p, hn::Set(d, 1)));
        auto up = hn::ShiftRightSame(hn::Add(v, bias), plan.drop);
        if (plan.holdMax) {
            const int64_t largest = (int64_t{1} << (plan.width - 1)) - 1;
            up = hn::IfThenElse(hn::Eq(wrap(d, p, plan.width), hn::Set(d, largest)), p, up);
        }
        p = up;
    }
    return wrap(d, p, plan.width);
}

// Largest and smallest of the tested values, and the largest folded part.
template <class D>
struct Extremes {
    explicit Extremes(D d) : highest(hn::Zero(d)), lowest(hn::Zero(d)), folded(hn::Zero(d)) {}
    HWY_INLINE void note(hn::Vec<D> v) {
        highest = hn::Max(highest, v);
        lowest = hn::Min(lowest, v);
    }
    HWY_INLINE void fold(hn::Vec<D> v) { folded = hn::Max(folded, hn::Xor(v, hn::ShiftRight<63>(v))); }
    hn::Vec<D> highest, lowest, folded;
};

template <class D>
int64_t largestLane(D d, hn::Vec<D> v) {
    return hn::GetLane(hn::MaxOfLanes(d, v));
}
template <class D>
int64_t smallestLane(D d, hn::Vec<D> v) {
    return hn::GetLane(hn::MinOfLanes(d, v));
}

// The burst element (BurstElement) on lanes, with the registers of the
// radix-4 or radix-2 format table.
template <int32_t kMul, class D>
struct BurstLanes {
    template <class Formats>
    BurstLanes(D d_, const BurstStage& j, const Formats& f)
        : d(d_),
          rnd(hn::Set(d_, (int64_t{1} << f.rnd_ones) - 1)),
          productDrop(f.product.point - f.product_r.point),
          up(f.scaled.point - f.product_r.point - j.shift),
          sumPoint(f.product_r.point),
          out(planBetween(f.scaled, f.out, j.rounding ? RoundHalfEvenHoldMax : Truncate)),
          ext(d_) {}

    using V = hn::Vec<D>;
    // Real and imaginary parts of (xr + j xi)(wr + j wi), rounded to the
    // product_r grid (ties downward).
    HWY_INLINE void product(V xr, V xi, V wr, V wi, V& pr, V& pi) const {
        pr = dot<kMul, true>(d, xr, wr, xi, wi, rnd, productDrop);
        pi = dot<kMul, false>(d, xr, wi, xi, wr, rnd, productDrop);
    }
    // A sum on the product_r grid, divided by the shift on the scaled
    // register's grid and quantised to the output format.
    HWY_INLINE V emit(V sum) {
        ext.note(sum);
        return requant(d, hn::ShiftLeftSame(sum, up), out);
    }

    D d;
    V rnd;
    int32_t productDrop;
    int32_t up;
    int32_t sumPoint;
    RequantPlan out;
    Extremes<D> ext;
};

template <int32_t kMul, class D>
HWY_INLINE void radix4(BurstLanes<kMul, D>& e, const BurstStage& j, hn::Vec<D>& x0r, hn::Vec<D>& x0i,
                       hn::Vec<D>& x1r, hn::Vec<D>& x1i, hn::Vec<D>& x2r, hn::Vec<D>& x2i, hn::Vec<D>& x3r,
                       hn::Vec<D>& x3i, hn::Vec<D> w1r, hn::Vec<D> w1i, hn::Vec<D> w2r, hn::Vec<D> w2i,
                       hn::Vec<D> w3r, hn::Vec<D> w3i) {
    hn::Vec<D> br, bi, cr, ci, dr, di;
    e.product(x1r, x1i, w1r, w1i, br, bi);
    e.product(x2r, x2i, w2r, w2i, cr, ci);
    e.product(x3r, x3i, w3r, w3i, dr, di);
    const auto ar = hn::ShiftLeft<3>(x0r), ai = hn::ShiftLeft<3>(x0i);
    const auto l0r = hn::Add(ar, cr), l0i = hn::Add(ai, ci);
    const auto l2r = hn::Sub(ar, cr), l2i = hn::Sub(ai, ci);
    const auto l1r = hn::Add(br, dr), l1i = hn::Add(bi, di);
    const auto l3r = hn::Sub(bi, di), l3i = hn::Sub(dr, br);  // (b - d) * -j
    x0r = e.emit(hn::Add(l0r, l1r));
    x0i = e.emit(hn::Add(l0i, l1i));
    x2r = e.emit(hn::Sub(l0r, l1r));
    x2i = e.emit(hn::Sub(l0i, l1i));
    auto o1r = e.emit(hn::Add(l2r, l3r)), o1i = e.emit(hn::Add(l2i, l3i));
    auto o3r = e.emit(hn::Sub(l2r, l3r)), o3i = e.emit(hn::Sub(l2i, l3i));
    if (j.inverse) std::swap(o1r, o3r), std::swap(o1i, o3i);
    x1r = o1r, x1i = o1i, x3r = o3r, x3i = o3i;
    if (j.bfp)
        for (const auto& v : {x0r, x0i, x1r, x1i, x2r, x2i, x3r, x3i}) e.ext.fold(v);
}

template <int32_t kMul, class D>
HWY_INLINE void radix2(BurstLanes<kMul, D>& e, const BurstStage& j, hn::Vec<D>& x0r, hn::Vec<D>& x0i,
                       hn::Vec<D>& x1r, hn::Vec<D>& x1i, hn::Vec<D> wr, hn::Vec<D> wi) {
    hn::Vec<D> cr, ci;
    e.product(x1r, x1i, wr, wi, cr, ci);
    const auto ar = hn::ShiftLeft<3>(x0r), ai = hn::ShiftLeft<3>(x0i);
    x0r = e.emit(hn::Add(ar, cr));
    x0i = e.emit(hn::Add(ai, ci));
    x1r = e.emit(hn::Sub(ar, cr));
    x1i = e.emit(hn::Sub(ai, ci));
    if (j.bfp)
        for (const auto& v : {x0r, x0i, x1r, x1i}) e.ext.fold(v);
}

// The butterflies of a burst stage, Lanes(d) at a time: legs in runs of at
// least Lanes(d) entries, or (run 1) interleaved.
template <int32_t kMul, class D>
StageResult burstLanes(D d, const BurstStage& j) {
    using V = hn::Vec<D>;
    BurstLanes<kMul, D> e = j.radix == 4 ? BurstLanes<kMul, D>(d, j, R4_DIT_formats(j.width, j.twiddle))
                                            : BurstLanes<kMul, D>(d, j, R2_DIT_formats(j.width, j.twiddle));
    int64_t* HWY_RESTRICT re = j.re;
    int64_t* HWY_RESTRICT im = j.im;
    const int32_t R = j.run;
    const int32_t N = static_cast<int32_t>(hn::Lanes(d));
    if (j.radix == 4 && R == 1) {
        // Twiddles of position 0 for every butterfly.
        const V w1r = hn::Set(d, j.twRe[0][0]), w1i = hn::Set(d, j.twIm[0][0]);
        const V w2r = hn::Set(d, j.twRe[1][0]), w2i = hn::Set(d, j.twIm[1][0]);
        const V w3r = hn::Set(d, j.twRe[2][0]), w3i = hn::Set(d, j.twIm[2][0]);
        for (int32_t base = 0; base < j.points; base += 4 * N) {
            V x0r, x1r, x2r, x3r, x0i, x1i, x2i, x3i;
            hn::LoadInterleaved4(d, re + base, x0r, x1r, x2r, x3r);
            hn::LoadInterleaved4(d, im + base, x0i, x1i, x2i, x3i);
            radix4(e, j, x0r, x0i, x1r, x1i, x2r, x2i, x3r, x3i, w1r, w1i, w2r, w2i, w3r, w3i);
            hn::StoreInterleaved4(x0r, x1r, x2r, x3r, d, re + base);
            hn::StoreInterleaved4(x0i, x1i, x2i, x3i, d, im + base);
        }
    } else if (j.radix == 4) {
        for (int32_t base = 0; base < j.points; base += 4 * R)
            for (int32_t m = 0; m < R; m += N) {
                int64_t* r = re + base + m;
                int64_t* i = im + base + m;
                V x0r = hn::LoadU(d, r), x1r = hn::LoadU(d, r + R), x2r = hn::LoadU(d, r + 2 * R),
                  x3r = hn::LoadU(d, r + 3 * R);
                V x0i = hn::LoadU(d, i), x1i = hn::LoadU(d, i + R), x2i = hn::LoadU(d, i + 2 * R),
                  x3i = hn::LoadU(d, i + 3 * R);
                radix4(e, j, x0r, x0i, x1r, x1i, x2r, x2i, x3r, x3i, hn::LoadU(d, j.twRe[0] + m),
                       hn::LoadU(d, j.twIm[0] + m), hn::LoadU(d, j.twRe[1] + m), hn::LoadU(d, j.twIm[1] + m),
                       hn::LoadU(d, j.twRe[2] + m), hn::LoadU(d, j.twIm[2] + m));
                hn::StoreU(x0r, d, r), hn::StoreU(x1r, d, r + R), hn::StoreU(x2r, d, r + 2 * R);
                hn::StoreU(x3r, d, r + 3 * R);
                hn::StoreU(x0i, d, i), hn::StoreU(x1i, d, i + R), hn::StoreU(x2i, d, i + 2 * R);
                hn::StoreU(x3i, d, i + 3 * R);
            }
    } else if (R == 1) {
        const V wr = hn::Set(d, j.twRe[0][0]), wi = hn::Set(d, j.twIm[0][0]);
        for (int32_t base = 0; base < j.points; base += 2 * N) {
            V x0r, x1r, x0i, x1i;
            hn::LoadInterleaved2(d, re + base, x0r, x1r);
            hn::LoadInterleaved2(d, im + base, x0i, x1i);
            radix2(e, j, x0r, x0i, x1r, x1i, wr, wi);
            hn::StoreInterleaved2(x0r, x1r, d, re + base);
            hn::StoreInterleaved2(x0i, x1i, d, im + base);
        }
    } else {
        for (int32_t base = 0; base < j.points; base += 2 * R)
            for (int32_t m = 0; m < R; m += N) {
                int64_t* r = re + base + m;
                int64_t* i = im + base + m;
                V x0r = hn::LoadU(d, r), x1r = hn::LoadU(d, r + R);
                V x0i = hn::LoadU(d, i), x1i = hn::LoadU(d, i + R);
                radix2(e, j, x0r, x0i, x1r, x1i, hn::LoadU(d, j.twRe[0] + m), hn::LoadU(d, j.twIm[0] + m));
                hn::StoreU(x0r, d, r), hn::StoreU(x1r, d, r + R);
                hn::StoreU(x0i, d, i), hn::StoreU(x1i, d, i + R);
            }
    }
    const int64_t limit = int64_t{1} << (e.sumPoint + j.shift);
    StageResult result;
    result.overflow = largestLane(d, e.ext.highest) >= limit || smallestLane(d, e.ext.lowest) < -limit;
    result.folded = largestLane(d, e.ext.folded);
    return result;
}

// What the pipelined element does in a stage: the sum and difference only
// (even stages, and the last stage without a fixed schedule), the twiddle
// products (odd stages before the last), or the scaling of the last stage
// with a fixed schedule, even or odd.
enum R22Mode { kSums, kTwiddled, kLastEven, kLastOdd };

// The pipelined element (R22_native_PE) on lanes.
template <int32_t kMul, class D>
struct R22Lanes {
    using V = hn::Vec<D>;
    R22Lanes(D d_, const R22Stage& j) : d(d_), ext(d_) {
        const R22_DIF_formats f(j.width, j.twiddle, j.scaledFixed, j.nfftMax);
        rnd = hn::Set(d, (int64_t{1} << f.rnd_ones) - 1);
        const bool last = j.stage == j.nfft - 1;
        odd = j.stage % 2 == 1;
        mode = odd && !last ? kTwiddled : !last || !j.scaledFixed ? kSums : odd ? kLastOdd : kLastEven;
        bfWidth = f.bf.width;
        memWidth = f.in.width;
        scaledFixed = j.scaledFixed;
        forward = j.direction == 1;
        // The shifts that align product_r and bf to the scaled registers.
        productUp = f.scaled.point - f.product_r.point - j.shift;
        bfUp = f.scaled.point - f.bf.point - j.shift;
        lastUp = f.scaled_last.point - f.bf.point - j.shift;
        const int32_t Q = j.rounding ? RoundHalfEvenHoldMax : Truncate;
        productR = planBetween(f.product, f.product_r, Truncate);
        if (scaledFixed) {
            outScaled = planBetween(f.scaled, f.out, Q);
            finalRegs = planBetween(f.scaled_last, f.final_regs, Truncate);
            outFinal = planBetween(f.final_regs, f.out, Q);
            // The point of the values whose range is tested.
            testPoint = mode == kLastOdd ? f.scaled_last.point : f.scaled.point;
        } else {
            outProduct = planBetween(f.product_r, f.out, Q);
        }
    }

    HWY_INLINE V scaledOut(V v, const RequantPlan& plan) {
        ext.note(v);
        return requant(d, v, plan);
    }

    // Results of (x0, x1) in place; kRotate: the odd block of an odd stage.
    template <int32_t kMode, bool kRotate>
    HWY_INLINE void butterfly(V& x0r, V& x0i, V& x1r, V& x1i, V w1r, V w1i, V w2r, V w2i) {
        V jr = x1r, ji = x1i;
        if (kRotate) {
            // x1 rotated by -j (forward) or +j (inverse).
            jr = forward ? x1i : hn::Neg(x1i);
            ji = forward ? hn::Neg(x1r) : x1r;
        }
        V br[2] = {hn::Add(x0r, jr), hn::Sub(x0r, jr)};
        V bi[2] = {hn::Add(x0i, ji), hn::Sub(x0i, ji)};
        if (!scaledFixed)
            for (int i = 0; i < 2; ++i) br[i] = wrap(d, br[i], bfWidth), bi[i] = wrap(d, bi[i], bfWidth);
        V outr[2], outi[2];
        if (kMode == kTwiddled) {
            const V wr[2] = {w1r, w2r}, wi[2] = {w1i, w2i};
            for (int i = 0; i < 2; ++i) {
                // Truncation into product_r: the dropped bits, then wrap.
                const V pr = wrap(d, dot<kMul, true>(d, br[i], wr[i], bi[i], wi[i], rnd, productR.drop), productR.width);
                const V pi = wrap(d, dot<kMul, false>(d, br[i], wi[i], bi[i], wr[i], rnd, productR.drop), productR.width);
                if (scaledFixed) {
                    outr[i] = scaledOut(hn::ShiftLeftSame(pr, productUp), outScaled);
                    outi[i] = scaledOut(hn::ShiftLeftSame(pi, productUp), outScaled);
                } else {
                    outr[i] = requant(d, pr, outProduct);
                    outi[i] = requant(d, pi, outProduct);
                }
            }
        } else if (kMode == kLastEven) {
            for (int i = 0; i < 2; ++i) {
                outr[i] = scaledOut(hn::ShiftLeftSame(br[i], bfUp), outScaled);
                outi[i] = scaledOut(hn::ShiftLeftSame(bi[i], bfUp), outScaled);
            }
        } else if (kMode == kLastOdd) {
            // The last odd stage scales into (W + 5, W + 2), then truncates
            // through final_regs.
            for (int i = 0; i < 2; ++i) {
                const V sr = hn::ShiftLeftSame(br[i], lastUp), si = hn::ShiftLeftSame(bi[i], lastUp);
                ext.note(sr);
                ext.note(si);
                outr[i] = requant(d, requant(d, sr, finalRegs), outFinal);
                outi[i] = requant(d, requant(d, si, finalRegs), outFinal);
            }
        } else {
            for (int i = 0; i < 2; ++i) outr[i] = br[i], outi[i] = bi[i];
        }
        if (scaledFixed)
            for (int i = 0; i < 2; ++i) outr[i] = wrap(d, outr[i], memWidth), outi[i] = wrap(d, outi[i], memWidth);
        x0r = outr[0], x0i = outi[0], x1r = outr[1], x1i = outi[1];
    }

    D d;
    V rnd;
    bool odd, scaledFixed, forward;
    int32_t mode, bfWidth, memWidth, productUp, bfUp, lastUp, testPoint = 0;
    RequantPlan productR, outScaled, outProduct, finalRegs, outFinal;
    Extremes<D> ext;
};

// The butterflies of one block of a pipelined stage (run >= Lanes(d)).
template <int32_t kMode, bool kRotate, class E, class D>
HWY_INLINE void r22Block(E& e, D d, const R22Stage& j, int32_t base, int32_t tw) {
    using V = hn::Vec<D>;
    const int32_t R = j.run;
    const int32_t N = static_cast<int32_t>(hn::Lanes(d));
    const V zero = hn::Zero(d);
    for (int32_t m = 0; m < R; m += N) {
        int64_t* HWY_RESTRICT r = j.re + base + m;
        int64_t* HWY_RESTRICT i = j.im + base + m;
        V x0r = hn::LoadU(d, r), x1r = hn::LoadU(d, r + R);
        V x0i = hn::LoadU(d, i), x1i = hn::LoadU(d, i + R);
        if (kMode == kTwiddled)
            e.template butterfly<kMode, kRotate>(x0r, x0i, x1r, x1i, hn::LoadU(d, j.twRe[tw] + m),
                                                 hn::LoadU(d, j.twIm[tw] + m), hn::LoadU(d, j.twRe[tw + 2] + m),
                                                 hn::LoadU(d, j.twIm[tw + 2] + m));
        else
            e.template butterfly<kMode, kRotate>(x0r, x0i, x1r, x1i, zero, zero, zero, zero);
        hn::StoreU(x0r, d, r), hn::StoreU(x1r, d, r + R);
        hn::StoreU(x0i, d, i), hn::StoreU(x1i, d, i + R);
    }
}

template <int32_t kMode, class E, class D>
HWY_INLINE void r22Blocks(E& e, D d, const R22Stage& j) {
    using V = hn::Vec<D>;
    const int32_t N = static_cast<int32_t>(hn::Lanes(d));
    if (j.run == 1) {
        // The last stage: an even and an odd block side by side.
        const V zero = hn::Zero(d);
        for (int32_t base = 0; base < j.points; base += 4 * N) {
            V a0r, a1r, b0r, b1r, a0i, a1i, b0i, b1i;
            hn::LoadInterleaved4(d, j.re + base, a0r, a1r, b0r, b1r);
            hn::LoadInterleaved4(d, j.im + base, a0i, a1i, b0i, b1i);
            e.template butterfly<kMode, false>(a0r, a0i, a1r, a1i, zero, zero, zero, zero);
            if (e.odd)
                e.template butterfly<kMode, true>(b0r, b0i, b1r, b1i, zero, zero, zero, zero);
            else
                e.template butterfly<kMode, false>(b0r, b0i, b1r, b1i, zero, zero, zero, zero);
            hn::StoreInterleaved4(a0r, a1r, b0r, b1r, d, j.re + base);
            hn::StoreInterleaved4(a0i, a1i, b0i, b1i, d, j.im + base);
        }
        return;
    }
    // Blocks of 2 * run entries, even and odd in turn; the first stage has one.
    for (int32_t base = 0; base < j.points; base += 4 * j.run) {
        r22Block<kMode, false>(e, d, j, base, 0);
        if (base + 2 * j.run == j.points)
            break;
        if (e.odd)
            r22Block<kMode, true>(e, d, j, base + 2 * j.run, 1);
        else
            r22Block<kMode, false>(e, d, j, base + 2 * j.run, 1);
    }
}

// Two stages in one pass, an even stage s that is not the last and stage
// s + 1: the four legs base + {0, 1, 2, 3} * run / 2 + m of a block of stage
// s (run: that stage's) meet first in pairs (0, 2) and (1, 3), then (0, 1)
// in the even block of stage s + 1 and (2, 3) in its odd block.
template <int32_t kMode, class E, class D, class V = hn::Vec<D>>
HWY_INLINE void r22Quad(E& first, E& second, D d, const R22Stage& j, V& x0r, V& x0i, V& x1r, V& x1i, V& x2r,
                        V& x2i, V& x3r, V& x3i, int32_t m) {
    const V zero = hn::Zero(d);
    first.template butterfly<kSums, false>(x0r, x0i, x2r, x2i, zero, zero, zero, zero);
    first.template butterfly<kSums, false>(x1r, x1i, x3r, x3i, zero, zero, zero, zero);
    if (kMode == kTwiddled) {
        second.template butterfly<kMode, false>(x0r, x0i, x1r, x1i, hn::LoadU(d, j.twRe[0] + m),
                                                hn::LoadU(d, j.twIm[0] + m), hn::LoadU(d, j.twRe[2] + m),
                                                hn::LoadU(d, j.twIm[2] + m));
        second.template butterfly<kMode, true>(x2r, x2i, x3r, x3i, hn::LoadU(d, j.twRe[1] + m),
                                               hn::LoadU(d, j.twIm[1] + m), hn::LoadU(d, j.twRe[3] + m),
                                               hn::LoadU(d, j.twIm[3] + m));
    } else {
        second.template butterfly<kMode, false>(x0r, x0i, x1r, x1i, zero, zero, zero, zero);
        second.template butterfly<kMode, true>(x2r, x2i, x3r, x3i, zero, zero, zero, zero);
    }
}

template <int32_t kMode, class E, class D>
HWY_INLINE void r22PairBlocks(E& first, E& second, D d, const R22Stage& j) {
    using V = hn::Vec<D>;
    const int32_t quarter = j.run / 2;
    const int32_t N = static_cast<int32_t>(hn::Lanes(d));
    if (quarter == 1) {
        // Every twiddle index is 0 here: the last pair of stages.
        for (int32_t base = 0; base < j.points; base += 4 * N) {
            V x0r, x1r, x2r, x3r, x0i, x1i, x2i, x3i;
            hn::LoadInterleaved4(d, j.re + base, x0r, x1r, x2r, x3r);
            hn::LoadInterleaved4(d, j.im + base, x0i, x1i, x2i, x3i);
            r22Quad<kMode>(first, second, d, j, x0r, x0i, x1r, x1i, x2r, x2i, x3r, x3i, 0);
            hn::StoreInterleaved4(x0r, x1r, x2r, x3r, d, j.re + base);
            hn::StoreInterleaved4(x0i, x1i, x2i, x3i, d, j.im + base);
        }
        return;
    }
    for (int32_t base = 0; base < j.points; base += 4 * quarter)
        for (int32_t m = 0; m < quarter; m += N) {
            int64_t* HWY_RESTRICT r = j.re + base + m;
            int64_t* HWY_RESTRICT i = j.im + base + m;
            V x0r = hn::LoadU(d, r), x1r = hn::LoadU(d, r + quarter), x2r = hn::LoadU(d, r + 2 * quarter),
              x3r = hn::LoadU(d, r + 3 * quarter);
            V x0i = hn::LoadU(d, i), x1i = hn::LoadU(d, i + quarter), x2i = hn::LoadU(d, i + 2 * quarter),
              x3i = hn::LoadU(d, i + 3 * quarter);
            r22Quad<kMode>(first, second, d, j, x0r, x0i, x1r, x1i, x2r, x2i, x3r, x3i, m);
            hn::StoreU(x0r, d, r), hn::StoreU(x1r, d, r + quarter), hn::StoreU(x2r, d, r + 2 * quarter);
            hn::StoreU(x3r, d, r + 3 * quarter);
            hn::StoreU(x0i, d, i), hn::StoreU(x1i, d, i + quarter), hn::StoreU(x2i, d, i + 2 * quarter);
            hn::StoreU(x3i, d, i + 3 * quarter);
        }
}

template <int32_t kMul, class D>
StageResult r22Lanes(D d, const R22Stage& j) {
    R22Stage next = j;
    next.stage = j.stage + 1;
    next.run = j.run / 2;
    R22Lanes<kMul, D> first(d, j), second(d, next);
    R22Lanes<kMul, D>& e = j.paired ? second : first;
    if (j.paired) {
        switch (second.mode) {
        case kTwiddled: r22PairBlocks<kTwiddled>(first, second, d, j); break;
        case kLastOdd: r22PairBlocks<kLastOdd>(first, second, d, j); break;
        default: r22PairBlocks<kSums>(first, second, d, j); break;
        }
    } else {
        switch (e.mode) {
        case kTwiddled: r22Blocks<kTwiddled>(e, d, j); break;
        case kLastEven: r22Blocks<kLastEven>(e, d, j); break;
        case kLastOdd: r22Blocks<kLastOdd>(e, d, j); break;
        default: r22Blocks<kSums>(e, d, j); break;
        }
    }
    StageResult result;
    if (j.scaledFixed) {
        const int64_t limit = int64_t{1} << e.testPoint;
        result.overflow = largestLane(d, e.ext.highest) >= limit || smallestLane(d, e.ext.lowest) < -limit;
    }
    return result;
}

// Runs body(d) with the widest lanes that the run allows: all lanes when the
// run fills them, else 4 or 2 (types of their own only where there are more
// lanes); a run of 1 (legs interleaved) takes 4 * lanes entries at a time,
// which the transform must hold.
template <class Body>
HWY_INLINE StageResult withLanes(int32_t run, int32_t points, Body&& body) {
    const hn::ScalableTag<int64_t> full;
    const hn::CappedTag<int64_t, 4> four;
    const hn::CappedTag<int64_t, 2> two;
    const int32_t fits = run == 1 ? points / 4 : run;
    if (fits >= static_cast<int32_t>(hn::Lanes(full))) return body(full);
    return fits >= 4 ? body(four) : body(two);
}

// The multiply that the operands allow (Multiply), or -1 for none: then
// the scalar elements run. drop: the bits that the rounding of the products
// drops.
inline int32_t multiplyFor(int32_t sampleWidth, int32_t twiddleWidth, int32_t productWidth, int32_t drop) {
    if (twiddleWidth + 1 <= 32 && productWidth <= 63) return sampleWidth <= 32 ? kNarrow : sampleWidth <= 62 ? kSplit : -1;
    return sampleWidth <= 52 && twiddleWidth + 1 <= 62 && drop >= 1 && drop <= 31 ? kWide : -1;
}

#endif  // vector targets

StageResult burstStage(const BurstStage& j) {
    // Both elements' products have the same width.
    const R4_DIT_formats f(j.width, j.twiddle);
    const bool wide = f.product.width > 63;
#if HWY_TARGET != HWY_SCALAR && HWY_TARGET != HWY_EMU128
    const int32_t kind = multiplyFor(f.in.width, j.twiddle, f.product.width, f.product.point - f.product_r.point);
    if (kind >= 0)
        return withLanes(j.run, j.points, [&](auto d) {
            if (kind == kNarrow)
                return burstLanes<kNarrow>(d, j);
            if (kind == kSplit)
                return burstLanes<kSplit>(d, j);
            return burstLanes<kWide>(d, j);
        });
#endif
    if (j.rounding)
        return wide ? burstScalar<__int128, RoundHalfEvenHoldMax>(j) : burstScalar<int64_t, RoundHalfEvenHoldMax>(j);
    return wide ? burstScalar<__int128, Truncate>(j) : burstScalar<int64_t, Truncate>(j);
}

StageResult r22Stage(const R22Stage& j) {
    const R22_DIF_formats f(j.width, j.twiddle, j.scaledFixed, j.nfftMax);
    // The scalar element holds the products of both register sets in one type.
    const bool wide = R22_DIF_formats(j.width, j.twiddle, true, j.nfftMax).product.width > 63;
#if HWY_TARGET != HWY_SCALAR && HWY_TARGET != HWY_EMU128
    // The multiplied values are the bf registers; every other register of
    // the element stays within 64 bits when the scaled one does.
    const int32_t kind = multiplyFor(f.bf.width, j.twiddle, f.product.width, f.product.point - f.product_r.point);
    if (kind >= 0 && f.scaled.width <= 64)
        return withLanes(j.paired ? j.run / 2 : j.run, j.points, [&](auto d) {
            if (kind == kNarrow)
                return r22Lanes<kNarrow>(d, j);
            if (kind == kSplit)
                return r22Lanes<kSplit>(d, j);
            return r22Lanes<kWide>(d, j);
        });
#endif
    (void)f;
    if (j.rounding) return wide ? r22Scalar<__int128, RoundHalfEvenHoldMax>(j) : r22Scalar<int64_t, RoundHalfEvenHoldMax>(j);
    return wide ? r22Scalar<__int128, Truncate>(j) : r22Scalar<int64_t, Truncate>(j);
}

// Conversions between the caller's doubles and memory codes, for every
// target: n is a power of two of at least 8 values, a multiple of the lanes.

int64_t toCodes(const double* HWY_RESTRICT x, int64_t* HWY_RESTRICT codes, int32_t n, double scale,
                int32_t width) {
    const hn::ScalableTag<double> df;
    const hn::RebindToSigned<decltype(df)> di;
    const auto s = hn::Set(df, scale);
    auto folded = hn::Zero(di);
    for (int32_t i = 0; i < n; i += static_cast<int32_t>(hn::Lanes(df))) {
        // Exact integers of at most 53 bits, wrapped to the memory width.
        const auto v = hn::ShiftRightSame(hn::ShiftLeftSame(hn::ConvertTo(di, hn::Mul(hn::LoadU(df, x + i), s)), 64 - width),
                                          64 - width);
        hn::StoreU(v, di, codes + i);
        folded = hn::Max(folded, hn::Xor(v, hn::ShiftRight<63>(v)));
    }
    return hn::GetLane(hn::MaxOfLanes(di, folded));
}

void toValues(const int64_t* HWY_RESTRICT codes, double* HWY_RESTRICT x, int32_t n, double scale) {
    const hn::ScalableTag<double> df;
    const hn::RebindToSigned<decltype(df)> di;
    const auto s = hn::Set(df, scale);
    for (int32_t i = 0; i < n; i += static_cast<int32_t>(hn::Lanes(df)))
        hn::StoreU(hn::Mul(hn::ConvertTo(df, hn::LoadU(di, codes + i)), s), df, x + i);
}

// Some value outside [-1, 1) (NaN is not).
bool outsideUnit(const double* HWY_RESTRICT x, int32_t n) {
    const hn::ScalableTag<double> df;
    const auto low = hn::Set(df, -1.0), high = hn::Set(df, 1.0);
    auto outside = hn::Zero(df);
    for (int32_t i = 0; i < n; i += static_cast<int32_t>(hn::Lanes(df))) {
        const auto v = hn::LoadU(df, x + i);
        outside = hn::Or(outside, hn::VecFromMask(df, hn::Or(hn::Lt(v, low), hn::Ge(v, high))));
    }
    return !hn::AllFalse(df, hn::MaskFromVec(outside));
}

// Some value times scale is not an integer (NaN is not either); the scaled
// values lie within 2^33 or are NaN, where adding and subtracting 1.5 * 2^52
// rounds to an integer.
bool offGrid(const double* HWY_RESTRICT x, int32_t n, double scale) {
    const hn::ScalableTag<double> df;
    const auto s = hn::Set(df, scale), round = hn::Set(df, 6755399441055744.0);
    auto off = hn::Zero(df);
    for (int32_t i = 0; i < n; i += static_cast<int32_t>(hn::Lanes(df))) {
        const auto v = hn::Mul(hn::LoadU(df, x + i), s);
        off = hn::Or(off, hn::VecFromMask(df, hn::Not(hn::Eq(hn::Sub(hn::Add(v, round), round), v))));
    }
    return !hn::AllFalse(df, hn::MaskFromVec(off));
}

// "native " and the name of this target.
const char* targetName() {
    return HWY_TARGET == HWY_AVX3 ? "native AVX3"
         : HWY_TARGET == HWY_AVX2 ? "native AVX2"
         : HWY_TARGET == HWY_SSE4 ? "native SSE4"
         : HWY_TARGET == HWY_NEON ? "native NEON"
         : HWY_TARGET == HWY_EMU128 ? "native EMU128"
         : HWY_TARGET == HWY_SCALAR ? "native SCALAR"
                                    : "native";
}

}  // namespace HWY_NAMESPACE
}  // namespace vfft_stages
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace vfft_stages {
HWY_EXPORT(burstStage);
HWY_EXPORT(r22Stage);
HWY_EXPORT(targetName);
HWY_EXPORT(toCodes);
HWY_EXPORT(toValues);
HWY_EXPORT(outsideUnit);
HWY_EXPORT(offGrid);
}  // namespace vfft_stages

StageResult runBurstStage(const BurstStage& stage) { return HWY_DYNAMIC_DISPATCH(vfft_stages::burstStage)(stage); }
StageResult runR22Stage(const R22Stage& stage) { return HWY_DYNAMIC_DISPATCH(vfft_stages::r22Stage)(stage); }
int64_t toCodes(const double* x, int64_t* codes, int32_t n, double scale, int32_t width) {
    return HWY_DYNAMIC_DISPATCH(vfft_stages::toCodes)(x, codes, n, scale, width);
}
void toValues(const int64_t* codes, double* x, int32_t n, double scale) {
    HWY_DYNAMIC_DISPATCH(vfft_stages::toValues)(codes, x, n, scale);
}
bool scanOutsideUnit(const double* x, int32_t n) { return HWY_DYNAMIC_DISPATCH(vfft_stages::outsideUnit)(x, n); }
bool scanOffGrid(const double* x, int32_t n, double scale) {
    return HWY_DYNAMIC_DISPATCH(vfft_stages::offGrid)(x, n, scale);
}
const char* nativeDatapathName() { return HWY_DYNAMIC_DISPATCH(vfft_stages::targetName)(); }
#endif
