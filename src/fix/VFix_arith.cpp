// VFix: exact sums, differences, products and shifts, in a widened format.
#include "fix/VFix.h"

#include <algorithm>

#include "fix/words.h"
#include "num/digits.h"

using namespace digits;
using namespace words;

namespace {

// Exact products are formed in stack buffers of this many digits (256 bits);
// wider products take the general route through VNum.
constexpr int32_t kFastWords = 16;

}  // namespace

VFix::Format VFix::sumFormat(const VFix& a, const VFix& b, bool subtract) {
    const int32_t point = std::max(a.binaryPoint, b.binaryPoint);
    const int32_t ints = std::max(a.width_ - a.binaryPoint, b.width_ - b.binaryPoint);
    const bool sgn = subtract || a.type_ == Signed || b.type_ == Signed;
    return {ints + point + (subtract ? 2 : sgn ? 2 : 1), point, sgn ? Signed : Unsigned};
}

VFix::Format VFix::productFormat(const VFix& a, const VFix& b) {
    const bool sgn = a.type_ == Signed || b.type_ == Signed;
    return {a.width_ + b.width_ + (sgn ? 1 : 0), a.binaryPoint + b.binaryPoint, sgn ? Signed : Unsigned};
}

// The product route of a cast of a followed by a *= b loses nothing when b's
// fraction bits fit the room that the cast leaves and no signed operand is
// read as unsigned; then the product is simply exact.
bool VFix::productIsExact(const VFix& a, const VFix& b, int32_t resultWidth) {
    if (a.isBool || (a.type_ == Signed && b.type_ == Unsigned) || wordsFor(resultWidth) > kFastWords) return false;
    return b.binaryPoint >= 0 && b.binaryPoint <= b.width_ + (a.type_ == Signed ? 1 : 0);
}

VFix::VFix(SumTag, const VFix& a, const VFix& b, bool subtract) : VFix(RawTag{}, sumFormat(a, b, subtract)) {
    addShifted(a, static_cast<int64_t>(binaryPoint) - a.binaryPoint, b,
               static_cast<int64_t>(binaryPoint) - b.binaryPoint, subtract);
    takeStatus(a);
    andStatus(b);
    shadow = subtract ? a.shadow - b.shadow : a.shadow + b.shadow;
    isConstant = a.isConstant;
}

VFix::VFix(ProductTag, const VFix& a, const VFix& b) : VFix(RawTag{}, productFormat(a, b)) {
    if (isNarrow(width_)) {
        storeNarrow(narrowValue(a) * narrowValue(b) & lowMask(width_));
    } else {
        uint32_t x[kFastWords], y[kFastWords];
        loadDigits(a, x, nwords_);
        loadDigits(b, y, nwords_);
        mulAccumulate(w_, nwords_, x, nwords_, y, nwords_);
        w_[nwords_ - 1] &= topMask();
    }
    takeStatus(a);
    andStatus(b);
    shadow = a.shadow * b.shadow;
    isConstant = a.isConstant;
}

// re = ar*br - ai*bi and im = ar*bi + ai*br modulo 2^width; re and im are
// zero and formatted, and the products are exact (productIsExact).
void VFix::crossMultiply(VFix& re, VFix& im, const VFix& ar, const VFix& ai, const VFix& br, const VFix& bi) {
    const int32_t n = re.nwords_;
    if (isNarrow(re.width_)) {
        const uint64_t xr = narrowValue(ar), xi = narrowValue(ai), yr = narrowValue(br), yi = narrowValue(bi);
        const uint64_t mask = lowMask(re.width_);
        re.storeNarrow((xr * yr - xi * yi) & mask);
        im.storeNarrow((xr * yi + xi * yr) & mask);
    } else {
        uint32_t xr[kFastWords], xi[kFastWords], yr[kFastWords], yi[kFastWords], negYi[kFastWords];
        loadDigits(ar, xr, n);
        loadDigits(ai, xi, n);
        loadDigits(br, yr, n);
        loadDigits(bi, yi, n);
        loadDigits(bi, negYi, n);
        negateDigits(negYi, n);
        mulAccumulate(re.w_, n, xr, n, yr, n);
        mulAccumulate(re.w_, n, xi, n, negYi, n);
        mulAccumulate(im.w_, n, xr, n, yi, n);
        mulAccumulate(im.w_, n, xi, n, yr, n);
        re.w_[n - 1] &= topMaskFor(re.topbits_);
        im.w_[n - 1] &= topMaskFor(im.topbits_);
    }
    for (VFix* part : {&re, &im}) {
        part->takeStatus(ar);
        part->andStatus(ai);
        part->andStatus(br);
        part->andStatus(bi);
    }
    re.shadow = ar.shadow * br.shadow - ai.shadow * bi.shadow;
    im.shadow = ar.shadow * bi.shadow + ai.shadow * br.shadow;
}

// This payload becomes (x * 2^xs +- y * 2^ys) modulo 2^width, each operand
// read by its own type. x may be this value when xs is 0 (digits are read
// before they are written).
void VFix::addShifted(const VNum& x, int64_t xs, const VNum& y, int64_t ys, bool subtract) {
    if (isNarrow(width_) && isNarrow(x.width()) && isNarrow(y.width()) && xs >= 0 && ys >= 0) {
        const uint64_t vx = shiftedUp(narrowValue(x), xs), vy = shiftedUp(narrowValue(y), ys);
        storeNarrow((subtract ? vx - vy : vx + vy) & lowMask(width_));
        return;
    }
    const Extended dx(x), dy(y);
    uint32_t carry = subtract ? 1u : 0u;
    const uint32_t flip = subtract ? kDigitMask : 0u;
    for (int32_t k = 0; k < nwords_; ++k) {
        const int64_t p = 16 * static_cast<int64_t>(k);
        const uint32_t s = dx.digitAt(p - xs) + (dy.digitAt(p - ys) ^ flip) + carry;
        w_[k] = s & kDigitMask;
        carry = s >> 16;
    }
    w_[nwords_ - 1] &= topMask();
}

// A Bool accepts no format but its own, so it cannot take a wider result.
VFix operator+(const VFix& a, const VFix& b) {
    if (a.isBool) throw VNumException::UnimplementedSpec();
    return VFix(VFix::SumTag{}, a, b, false);
}

VFix operator-(const VFix& a, const VFix& b) {
    if (a.isBool) throw VNumException::UnimplementedSpec();
    return VFix(VFix::SumTag{}, a, b, true);
}

VFix VFix::operator-() const {
    if (isBool) throw VNumException::UnimplementedSpec();
    VFix r(RawTag{}, {width_ + 1, binaryPoint, Signed});
    r.addShifted(VNum::zero(), 0, *this, 0, true);
    r.takeStatus(*this);
    r.shadow = -shadow;
    r.isConstant = isConstant;
    return r;
}

VFix operator*(const VFix& a, const VFix& b) {
    const VFix::Format f = VFix::productFormat(a, b);
    if (VFix::productIsExact(a, b, f.width)) return VFix(VFix::ProductTag{}, a, b);
    VFix r = VFix::castCopy(a, f.width, f.point, f.type, Truncate, Wrap);
    r *= b;
    return r;
}

VFix VFix::operator>>(int32_t n) const {
    VFix r(*this);
    if (n >= 0 && !isBool) {
        // The widened copy keeps the payload; only the point moves.
        r.resize(width_ + n, 0, 0, 0);
        r.binaryPoint = binaryPoint + n;
    } else {
        r.setFormat(width_ + n, n >= 0 ? binaryPoint + n : binaryPoint, 0, 0, 0);
        r.VNum::operator>>=(n);
    }
    r.shadow = scaled(shadow, -static_cast<int64_t>(n));
    return r;
}

VFix VFix::operator<<(int32_t n) const {
    VFix r(*this);
    r.setFormat(width_ + n, n >= 1 ? binaryPoint : binaryPoint + n, 0, 0, 0);
    r.VNum::operator<<=(n);
    r.shadow = scaled(shadow, n);
    return r;
}
