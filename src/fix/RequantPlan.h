// RequantPlan: writing a signed value into a signed register of another
// format, on machine integers (int64_t or __int128). It is the assignment
// rule of VFix, worked out once for a source format and a register format:
// align the source to the register's fraction bits, round by the register's
// quantisation mode (the decision is made on the source's dropped bits), keep
// the register's width, and on overflow of the integer part wrap or
// saturate. The machine-integer engines write every register through it; the
// VFix tests check it against VFix assignment.
#pragma once

#include <cstdint>

#include "num/VNum.h"

// The unsigned type of the same width, for shifts that move bits through the sign.
template <class Int> struct UnsignedOf;
template <> struct UnsignedOf<int64_t> { using type = uint64_t; };
template <> struct UnsignedOf<__int128> { using type = unsigned __int128; };

// v * 2^n for n >= 0, also for negative v.
inline int64_t shiftUp(int64_t v, int32_t n) { return static_cast<int64_t>(static_cast<uint64_t>(v) << n); }

struct RequantPlan {
    int32_t drop = 0;   // source fraction bits minus register fraction bits
    int32_t width = 1;  // register width, at most the bits of the integer type
    int32_t quant = Truncate;
    int32_t ovfl = Wrap;  // Wrap or Saturate
    // RoundHalfEvenHoldMax holds the largest positive pattern only when the
    // register has no more integer bits than the source.
    bool holdMax = false;
    // Truncation with wrap as two shifts: left by lead = (bits of the
    // integer type) - width - drop, then arithmetically right by bits - width.
    int32_t lead = 0;

    static RequantPlan between(int32_t fromWidth, int32_t fromPoint, int32_t width, int32_t point,
                               int32_t quant, int32_t ovfl) {
        RequantPlan p;
        p.drop = fromPoint - point;
        p.width = width;
        p.quant = quant;
        p.ovfl = ovfl;
        p.holdMax = quant == RoundHalfEvenHoldMax && width - point <= fromWidth - fromPoint;
        p.lead = 64 - width - p.drop;
        return p;
    }

    // The low `bits` bits of v as a signed value.
    template <class Int>
    static Int wrap(Int v, int32_t bits) {
        using U = typename UnsignedOf<Int>::type;
        const int32_t up = static_cast<int32_t>(8 * sizeof(Int)) - bits;
        return static_cast<Int>(static_cast<U>(v) << up) >> up;
    }

    // v (the source payload, sign-extended) written into the register; the
    // register's payload, sign-extended. Q and O are the register's
    // quantisation and overflow modes.
    template <int32_t Q, int32_t O, class Int>
    Int applyAs(Int v) const {
        if (Q == Truncate && O == Wrap && sizeof(Int) == 8 && drop >= 0 && lead >= 0)
            return static_cast<Int>(static_cast<typename UnsignedOf<Int>::type>(v) << lead) >> (64 - width);
        Int p;
        bool up = false;
        if (drop <= 0) {
            p = static_cast<Int>(static_cast<typename UnsignedOf<Int>::type>(v) << -drop);
        } else {
            p = v >> drop;
            if (Q != Truncate) {
                const bool half = ((v >> (drop - 1)) & 1) != 0;
                const bool sticky = (v & ((Int(1) << (drop - 1)) - 1)) != 0;
                if (Q == RoundHalfAway)
                    up = half && (v >= 0 || sticky);
                else if (Q == RoundHalfEven || !holdMax || wrap(p, width) != largest<Int>())
                    up = half && (sticky || (p & 1) != 0);
            }
        }
        Int r = wrap(p, width);
        if (up) {
            // A carry out of the register turns the largest value negative.
            const bool carry = r == largest<Int>();
            r = carry && O == Saturate ? r : wrap(Int(r + 1), width);
        }
        if (O == Saturate && (p > largest<Int>() || p < -largest<Int>() - 1))
            r = v < 0 ? -largest<Int>() - 1 : largest<Int>();
        return r;
    }

    template <class Int>
    Int apply(Int v) const {
        return ovfl == Saturate ? applyIn<Saturate>(v) : applyIn<Wrap>(v);
    }

private:
    template <int32_t O, class Int>
    Int applyIn(Int v) const {
        switch (quant) {
        case RoundHalfAway: return applyAs<RoundHalfAway, O>(v);
        case RoundHalfEven: return applyAs<RoundHalfEven, O>(v);
        case RoundHalfEvenHoldMax: return applyAs<RoundHalfEvenHoldMax, O>(v);
        default: return applyAs<Truncate, O>(v);
        }
    }

    template <class Int>
    Int largest() const {
        return (Int(1) << (width - 1)) - 1;
    }
};
