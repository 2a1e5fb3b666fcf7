// VNum: shifts. Shifts in place stay within the width: a right shift rounds by
// the quantisation mode, a left shift meets the overflow mode. The shifting
// operators return a copy.

#include "num/VNum.h"

#include <algorithm>

#include "num/digits.h"

using namespace digits;

VNum& VNum::operator<<=(int32_t n) {
    shiftLeftBy(n);
    return *this;
}

VNum& VNum::operator>>=(int32_t n) {
    shiftRightBy(n);
    return *this;
}

VNum VNum::operator<<(int32_t n) const {
    if (n < 0) {
        VNum r(*this, width_ + n, 0, 0, 0);
        r <<= n;
        return r;
    }
    if (static_cast<int64_t>(width_) + n > 16 * kMaxWords) throw VNumException::tooManyBits();
    // The widened copy holds the shifted value exactly, so it is built directly.
    VNum r(Uninit{}, width_ + n, type_, quant_, ovfl_);
    r.alignTo(*this, 0, n);
    return r;
}

VNum VNum::operator>>(int32_t n) const {
    VNum r(*this);
    r >>= n;
    return r;
}

void VNum::shiftLeftBy(int64_t n) {
    if (n == 0) return;
    if (n < 0) {
        shiftRightBy(-n);
        return;
    }
    if (width_ <= 0) return;
    const bool neg = isNegative();
    if (n < width_) {
        if (ovfl_ != Wrap) {
            const bool over = type_ == Signed
                                  ? (neg ? anyZero(*this, width_ - n - 1, width_ - 1)
                                         : anyOne(*this, width_ - n - 1, width_ - 1))
                                  : anyOne(*this, width_ - n, width_ - 1);
            if (over && ovfl_ == Saturate) {
                setExtreme(neg ? -1 : 1);
                return;
            }
            if (over && ovfl_ == Throw) throw VNumException::Overflow("during left shift", neg ? -1 : 1);
        }
        const int32_t wordShift = static_cast<int32_t>(n >> 4), bitShift = static_cast<int32_t>(n & 15);
        for (int32_t i = nwords_ - 1; i >= 0; --i) {
            const int32_t j = i - wordShift;
            uint32_t v = j >= 0 ? w_[j] << bitShift : 0u;
            if (bitShift != 0 && j >= 1) v |= w_[j - 1] >> (16 - bitShift);
            w_[i] = v & kDigitMask;
        }
        w_[nwords_ - 1] &= topMask();
        return;
    }
    if (allZero(w_, nwords_)) return;
    switch (ovfl_) {
        case Wrap: clearWords(); return;
        case Saturate: setExtreme(neg ? -1 : 1); return;
        case Throw: throw VNumException::Overflow("during left shift", neg ? -1 : 1);
        default: throw VNumException::BadException();
    }
}

void VNum::shiftRightBy(int64_t n) {
    if (n == 0) return;
    if (n < 0) {
        shiftLeftBy(-n);
        return;
    }
    if (width_ <= 0) return;
    const bool neg = isNegative();
    if (n < width_) {
        const int32_t k = static_cast<int32_t>(n);
        bool up = false;
        switch (quant_) {
            case RoundHalfAway: up = getBit(k - 1) != 0 && (!neg || anyOne(*this, 0, k - 2)); break;
            case RoundHalfEven:
            case RoundHalfEvenHoldMax:
                up = getBit(k - 1) != 0 && (getBit(k) != 0 || anyOne(*this, 0, k - 2));
                break;
            default: break;
        }
        const Extended x(*this);
        for (int32_t i = 0; i < nwords_; ++i) w_[i] = x.digitAt(16 * static_cast<int64_t>(i) + k);
        w_[nwords_ - 1] &= topMask();
        // After a shift by at least one bit the increment cannot overflow.
        if (up) increment();
        return;
    }
    if (quant_ == RoundHalfEven || quant_ == RoundHalfEvenHoldMax) {
        clearWords();
    } else if (!neg) {
        const bool up = quant_ == RoundHalfAway && n == width_ && getBit(width_ - 1) != 0;
        clearWords();
        if (up) w_[0] = 1;
    } else if (quant_ == RoundHalfAway) {
        if (n >= 2) clearWords();
    } else {
        std::fill(w_, w_ + nwords_, kDigitMask);
        w_[nwords_ - 1] &= topMask();
    }
}
