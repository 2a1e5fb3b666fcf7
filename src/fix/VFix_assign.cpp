// VFix: format changes and requantising assignment.
#include "fix/VFix.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "fix/RequantPlan.h"
#include "fix/words.h"
#include "num/digits.h"

using namespace digits;
using namespace words;

namespace {

// The register payload by the shared plan, its modes as template arguments so
// that each mode's arithmetic is compiled on its own.
template <int32_t O>
int64_t applyPlan(const RequantPlan& plan, int64_t v) {
    switch (plan.quant) {
        case RoundHalfAway: return plan.applyAs<RoundHalfAway, O>(v);
        case RoundHalfEven: return plan.applyAs<RoundHalfEven, O>(v);
        case RoundHalfEvenHoldMax: return plan.applyAs<RoundHalfEvenHoldMax, O>(v);
        default: return plan.applyAs<Truncate, O>(v);
    }
}

}  // namespace

// --- format ---------------------------------------------------------------------------

void VFix::setFormat(int32_t width, int32_t b, int32_t type, int32_t quant, int32_t ovfl) {
    if (isBool) {
        if (width == 1 && b == 0) return;
        throw VNumException::UnimplementedSpec();
    }
    if (quant != 0) quant_ = quant;
    if (ovfl != 0) ovfl_ = ovfl;
    const int32_t t = type != 0 ? type : type_;
    if (width > width_) resize(width, 0, 0, 0);
    // Retyping before a left move keeps a negative value from being shifted
    // into the unsigned range; after a right move it acts on the rounded value.
    if (type_ == Signed && t == Unsigned && b >= binaryPoint) retype(Unsigned, 0, 0);
    const int64_t shift = static_cast<int64_t>(b) - binaryPoint;
    if (shift > 0)
        VNum::operator<<=(clampShift(shift));
    else if (shift < 0)
        VNum::operator>>=(clampShift(-shift));
    binaryPoint = b;
    if (type_ == Signed && t == Unsigned) retype(Unsigned, 0, 0);
    if (width < width_) resize(width, 0, 0, 0);
    if (t == Signed && type_ != Signed) retype(Signed, 0, 0);
}

void VFix::setFormatFrom(const VFix& f) {
    setFormat(f.width_, f.binaryPoint, f.type_, f.quant_, f.ovfl_);
    if (f.isBool && f.width_ == 1 && f.binaryPoint == 0 && f.type_ == Unsigned) {
        if (!isNumber) *this = 0;
        makeBool();
    }
    if (f.isConstant) {
        if (!isNumber) {
            isNumber = 1;
            isKnown = 0;
        }
        isConstant = 1;
    }
}

void VFix::makeBool() {
    if (width_ != 1 || binaryPoint != 0 || type_ != Unsigned) throw VNumException::UnimplementedSpec();
    if (!isNumber) {
        w_[0] = 0;
        isNumber = 1;
    }
    isBool = 1;
    isConstant = 1;
}

// --- assignment -----------------------------------------------------------------------

VFix& VFix::operator=(const VFix& s) {
    if (this == &s) return *this;
    if (s.width_ >= 1 && isNarrow(s.width_) && width_ >= 1 && isNarrow(width_)) {
        requantiseNarrow(s);
    } else {
        alignTo(s, s.binaryPoint, binaryPoint);
        // The increment carries out of the format only from the largest
        // pattern; increment() then applies this value's overflow mode.
        if (roundsUpFrom(s)) increment();
        checkConvert(s, s.binaryPoint, binaryPoint);
    }
    takeStatus(s);
    return *this;
}

// The steps of the general route (alignTo, roundsAway or roundsEven with the
// HoldMax exception, increment, checkConvert) on payloads of 1 to 63 bits held
// in machine words. As there, bits of s at or above its width read its top
// bit, and the words hold the aligned and rounded bits when an overflow is thrown.
//
// Between Signed formats under Wrap or Saturate the payload comes from the
// RequantPlan that the machine-integer engines write their registers with,
// when the aligned source fits a machine word, at least one of its bits lands
// in this value and no dropped bit lies above the source's width. Outside these
// bounds the general route reads missing bits differently (an all-ones source
// shifted out of the width does not overflow; sign bits above the width are no
// sticky bits of RoundHalfAway).
void VFix::requantiseNarrow(const VFix& s) {
    const int32_t ws = s.width_, wt = width_;
    const uint64_t mask = lowMask(wt);
    const uint64_t raw = narrowPattern(s);
    const bool top = ((raw >> (ws - 1)) & 1u) != 0;
    const uint64_t ext = top ? raw | ~lowMask(ws) : raw;
    const int64_t d = static_cast<int64_t>(s.binaryPoint) - binaryPoint;

    if (s.type_ == Signed && type_ == Signed && (ovfl_ == Wrap || ovfl_ == Saturate) && d <= ws && d + wt >= 1 &&
        ws - d <= 64) {
        const RequantPlan plan = RequantPlan::between(ws, s.binaryPoint, wt, binaryPoint, quant_, ovfl_);
        const auto v = static_cast<int64_t>(ext);
        flags_ &= ~1u;
        if (ovfl_ == Wrap) {
            storeNarrow(static_cast<uint64_t>(applyPlan<Wrap>(plan, v)) & mask);
            return;
        }
        storeNarrow(static_cast<uint64_t>(applyPlan<Saturate>(plan, v)) & mask);
        // The integer part overflows when the source bits from the register's
        // top position upward are not all copies of the sign.
        const int64_t above = v >> std::min<int64_t>(d + wt - 1, 63);
        if (above != 0 && above != -1) flags_ |= 1u;
        return;
    }

    const bool neg = s.type_ == Signed && top;
    const uint64_t value = s.type_ == Signed ? ext : raw;

    uint64_t p = 0;
    if (d >= 64)
        p = neg ? ~uint64_t{0} : 0;
    else if (d >= 0)
        p = neg ? ~(~value >> d) : value >> d;
    else
        p = shiftedUp(value, -d);
    p &= mask;

    if (d >= 1) {
        const auto bit = [ext](int64_t i) { return ((ext >> std::min<int64_t>(i, 63)) & 1u) != 0; };
        const auto anyOwn = [raw, ws](int64_t hi) { return (raw & lowMask(std::min<int64_t>(hi, ws - 1) + 1)) != 0; };
        bool up = false;
        switch (quant_) {
            case RoundHalfAway: up = bit(d - 1) && (!neg || anyOwn(std::min<int64_t>(d, ws) - 2)); break;
            case RoundHalfEvenHoldMax:
                if (static_cast<int64_t>(wt) - binaryPoint <= static_cast<int64_t>(ws) - s.binaryPoint &&
                    p == mask >> 1)
                    break;
                [[fallthrough]];
            case RoundHalfEven: up = bit(d - 1) && (bit(d) || anyOwn(d - 2)); break;
            default: break;
        }
        if (up) {
            const uint64_t q = (p + 1) & mask;
            const bool carry = type_ == Signed ? ((p >> (wt - 1)) & 1u) == 0 && ((q >> (wt - 1)) & 1u) != 0 : q == 0;
            p = q;
            if (carry && ovfl_ != Wrap) {
                if (ovfl_ != Saturate) {
                    storeNarrow(p);
                    throw VNumException::Overflow("Overflow on incr", 0);
                }
                p = type_ == Signed ? mask >> 1 : mask;
            }
        }
    }
    storeNarrow(p);

    flags_ &= ~1u;
    if (ovfl_ == Wrap) return;
    int64_t e = (static_cast<int64_t>(ws) - s.binaryPoint) - (static_cast<int64_t>(wt) - binaryPoint);
    // Own bits of s from position lo to its top.
    const auto from = [ws](int64_t lo) { return lowMask(ws) & ~lowMask(std::max<int64_t>(lo, 0)); };
    bool over = false;
    if (s.type_ == Signed && type_ == Signed) {
        if (e >= 0) {
            const uint64_t m = from(ws - std::min<int64_t>(e, ws - 1) - 1);
            over = ((neg ? ~raw : raw) & m) != 0;
        }
    } else if (s.type_ == Signed) {
        over = neg || (e >= 0 && (raw & from(ws - std::min<int64_t>(e, ws))) != 0);
    } else {
        if (type_ == Signed) ++e;
        over = e >= 0 && (raw & from(ws - std::min<int64_t>(e, ws))) != 0;
    }
    if (!over) return;
    flags_ |= 1u;
    if (ovfl_ == Throw) throw VNumException::Overflow("during convert", neg ? -1 : 1);
    if (neg)
        storeNarrow(type_ == Signed ? uint64_t{1} << (wt - 1) : 0);
    else
        storeNarrow(type_ == Signed ? mask >> 1 : mask);
}

// Rounding decision for s, whose aligned bits this value already holds.
bool VFix::roundsUpFrom(const VFix& s) const {
    switch (quant_) {
        case RoundHalfAway: return roundsAway(s, s.binaryPoint, binaryPoint);
        case RoundHalfEven: return roundsEven(s, s.binaryPoint, binaryPoint);
        case RoundHalfEvenHoldMax:
            // When this format has no more integer bits than s, the kept bits
            // all come from s; the largest positive pattern is then held.
            if (static_cast<int64_t>(width_) - binaryPoint <= static_cast<int64_t>(s.width_) - s.binaryPoint &&
                holdsLargestPattern())
                return false;
            return roundsEven(s, s.binaryPoint, binaryPoint);
        default: return false;
    }
}

// True when the payload is a 0 followed by width - 1 ones.
bool VFix::holdsLargestPattern() const {
    if (width_ <= 0) return false;
    const int32_t top = nwords_ - 1;
    for (int32_t i = 0; i < top; ++i)
        if (w_[i] != kDigitMask) return false;
    return w_[top] == topMask() >> 1;
}

VFix& VFix::operator=(double x) {
    if (std::isnan(x)) {
        if (!isConstant) isNumber = 0;
        auxValid = 0;
        isKnown = 0;
        std::fill(w_, w_ + nwords_, 0u);
        return *this;
    }
    int e = 0;
    std::frexp(x, &e);
    const int64_t top = static_cast<int64_t>(binaryPoint) + e;
    if (width_ >= 54 && top >= 1024) {
        // x * 2^binaryPoint is beyond the doubles: convert its 54 leading bits and shift.
        assignDouble(std::ldexp(x, 54 - e));
        VNum::operator<<=(clampShift(top - 54));
    } else {
        assignDouble(std::ldexp(x, binaryPoint));
    }
    shadow = x;
    isNumber = auxValid = isKnown = 1;
    return *this;
}

VFix& VFix::operator=(int32_t v) {
    if (v != 0) return *this = static_cast<double>(v);
    std::fill(w_, w_ + nwords_, 0u);
    shadow = 0.0;
    isNumber = auxValid = isKnown = 1;
    return *this;
}

VFix& VFix::operator=(bool b) {
    w_[0] = b && width_ > 0 ? 1u : 0u;
    shadow = b ? 1.0 : 0.0;
    isNumber = auxValid = isKnown = 1;
    return *this;
}

void VFix::setNaN() {
    isNumber = auxValid = isKnown = 0;
    shadow = std::numeric_limits<double>::quiet_NaN();
}
