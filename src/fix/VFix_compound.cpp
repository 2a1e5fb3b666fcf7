// VFix: compound assignment (+=, -=, *=, /=, %=), shifts within the width and
// moves of the binary point.
#include "fix/VFix.h"

#include <algorithm>
#include <cmath>

#include "fix/words.h"

using namespace words;

// b is aligned to this value's binary point: shifted left when it has fewer
// fraction bits; when it has more, this value is widened instead and the
// result is cut back to its binary point by truncation.
void VFix::combineAligned(const VFix& b, Combine op) {
    const int64_t d = static_cast<int64_t>(binaryPoint) - b.binaryPoint;
    const auto apply = [op](VNum& x, const VNum& y) {
        switch (op) {
            case Combine::Add: x += y; break;
            case Combine::Sub: x -= y; break;
            case Combine::Rem: x %= y; break;
        }
    };
    if (op != Combine::Rem && ovfl_ == Wrap && d >= 0) {
        // Written back under Wrap, the exact sum keeps just its low bits.
        addShifted(*this, 0, b, d, op == Combine::Sub);
        return;
    }
    if (d == 0) {
        apply(*this, b);
        return;
    }
    const int32_t n = clampShift(d < 0 ? -d : d);
    if (d > 0) {
        VNum t(b, b.width_ + n, b.type_, Truncate, Wrap);
        t <<= n;
        apply(*this, t);
        return;
    }
    VNum t(*this, width_ + n, type_, Truncate, Wrap);
    t <<= n;
    apply(t, b);
    t >>= n;
    t.resize(width_, Signed, 0, Wrap);
    VNum::operator=(t);
}

VFix& VFix::operator+=(const VFix& b) {
    combineAligned(b, Combine::Add);
    shadow += b.shadow;
    andStatus(b);
    return *this;
}

VFix& VFix::operator-=(const VFix& b) {
    combineAligned(b, Combine::Sub);
    shadow -= b.shadow;
    andStatus(b);
    return *this;
}

// The product is formed in a temporary of both widths with b's type, cut to
// this value's binary point by truncation and written with this value's modes.
VFix& VFix::operator*=(const VFix& b) {
    VNum t(*this, width_ + b.width_, b.type_, Truncate, Wrap);
    t *= b;
    t >>= b.binaryPoint;
    VNum::operator=(t);
    shadow *= b.shadow;
    andStatus(b);
    return *this;
}

VFix& VFix::operator/=(const VFix& b) {
    const double q = shadow / b.shadow;
    const int32_t num = isNumber && b.isNumber, aux = auxValid && b.auxValid, known = isKnown && b.isKnown;
    divideBy(b);
    shadow = q;
    isNumber = num;
    auxValid = aux;
    isKnown = known;
    return *this;
}

// Divides magnitudes: a negative operand is negated exactly, divided, and the
// quotient negated back into this value's format.
void VFix::divideBy(const VFix& b) {
    if (isNegative()) {
        VFix m = -*this;
        m.divideBy(b);
        *this = -m;
        return;
    }
    if (b.isNegative()) {
        divideBy(-b);
        *this = -*this;
        return;
    }
    if (b.binaryPoint == 0) {
        VNum::operator/=(b);
        return;
    }
    VNum t(*this, width_ + std::max(b.binaryPoint, 1), Signed, Truncate, Wrap);
    t <<= b.binaryPoint;
    t /= b;
    t.resize(width_, Signed, 0, Wrap);
    VNum::operator=(t);
}

VFix& VFix::operator%=(const VFix& b) {
    combineAligned(b, Combine::Rem);
    shadow = std::fmod(shadow, b.shadow);
    andStatus(b);
    return *this;
}

VFix& VFix::operator>>=(int32_t n) {
    VNum::operator>>=(n);
    shadow = scaled(shadow, -static_cast<int64_t>(n));
    return *this;
}

VFix& VFix::operator<<=(int32_t n) {
    VNum::operator<<=(n);
    shadow = scaled(shadow, n);
    return *this;
}

void VFix::shiftPoint(int32_t n) {
    binaryPoint += n;
    shadow = scaled(shadow, -static_cast<int64_t>(n));
}
