// VFix: bitwise operations on operands aligned to a common format.
#include "fix/VFix.h"

#include <algorithm>

// x, y and r share the common format; a and b are aligned into x and y by
// assignment, which sign-extends a negative operand.
void VFix::bitwise(VFix& x, VFix& y, VFix& r, const VFix& a, const VFix& b, BitOp op, bool invert) {
    x = a;
    switch (op) {
        case BitOp::And: y = b; r.bitAnd(x, y); break;
        case BitOp::Or: y = b; r.bitOr(x, y); break;
        case BitOp::Xor: y = b; r.bitXor(x, y); break;
        case BitOp::Not: r.bitNot(x); break;
    }
    if (invert) r.complement();
    r.takeStatus(a);
    r.andStatus(b);
    r.shadow = r.toDouble();
}

uint32_t VFix::combineBools(const VFix& a, const VFix& b, BitOp op) {
    const uint32_t x = a.w_[0], y = b.w_[0];
    switch (op) {
        case BitOp::And: return x & y;
        case BitOp::Or: return x | y;
        case BitOp::Xor: return x ^ y;
        case BitOp::Not: break;
    }
    return ~x & 1u;
}

void VFix::bitwiseInto(VFix& t, const VFix& a, const VFix& b, BitOp op, bool invert) {
    if (a.isBool && b.isBool) {
        uint32_t bit = combineBools(a, b, op);
        if (invert) bit ^= 1u;
        VFix& r = t.tempSlot(2, 1, 0, Unsigned, Truncate, Wrap);
        r.w_[0] = bit;
        r.shadow = bit;
        r.isNumber = 1;
        r.auxValid = a.auxValid && b.auxValid;
        r.isKnown = a.isKnown && b.isKnown;
        t = r;
        return;
    }
    const int32_t point = std::max(a.binaryPoint, b.binaryPoint);
    const int32_t width = std::max(a.width_ - a.binaryPoint, b.width_ - b.binaryPoint) + point;
    const int32_t type = a.type_ == Signed || b.type_ == Signed ? Signed : Unsigned;
    VFix& x = t.tempSlot(0, width, point, type, Truncate, Wrap);
    VFix& y = t.tempSlot(1, width, point, type, Truncate, Wrap);
    VFix& r = t.tempSlot(2, width, point, type, Truncate, Wrap);
    bitwise(x, y, r, a, b, op, invert);
    t = r;
}

VFix VFix::bitwiseValue(const VFix& a, const VFix& b, BitOp op) {
    if (a.isBool && b.isBool) {
        VFix r(combineBools(a, b, op) != 0);
        r.auxValid = a.auxValid && b.auxValid;
        r.isKnown = a.isKnown && b.isKnown;
        return r;
    }
    const int32_t point = std::max(a.binaryPoint, b.binaryPoint);
    const Format f{std::max(a.width_ - a.binaryPoint, b.width_ - b.binaryPoint) + point, point,
                   a.type_ == Signed || b.type_ == Signed ? Signed : Unsigned};
    VFix x(RawTag{}, f), y(RawTag{}, f), r(RawTag{}, f);
    bitwise(x, y, r, a, b, op, false);
    return r;
}

void VFix::andInto(VFix& t, const VFix& a, const VFix& b) { bitwiseInto(t, a, b, BitOp::And, false); }
void VFix::nandInto(VFix& t, const VFix& a, const VFix& b) { bitwiseInto(t, a, b, BitOp::And, true); }
void VFix::orInto(VFix& t, const VFix& a, const VFix& b) { bitwiseInto(t, a, b, BitOp::Or, false); }
void VFix::norInto(VFix& t, const VFix& a, const VFix& b) { bitwiseInto(t, a, b, BitOp::Or, true); }
void VFix::xorInto(VFix& t, const VFix& a, const VFix& b) { bitwiseInto(t, a, b, BitOp::Xor, false); }
void VFix::xnorInto(VFix& t, const VFix& a, const VFix& b) { bitwiseInto(t, a, b, BitOp::Xor, true); }
void VFix::notInto(VFix& t, const VFix& a) { bitwiseInto(t, a, a, BitOp::Not, false); }

VFix operator&(const VFix& a, const VFix& b) { return VFix::bitwiseValue(a, b, VFix::BitOp::And); }
VFix operator|(const VFix& a, const VFix& b) { return VFix::bitwiseValue(a, b, VFix::BitOp::Or); }
VFix operator^(const VFix& a, const VFix& b) { return VFix::bitwiseValue(a, b, VFix::BitOp::Xor); }
VFix VFix::operator~() const { return bitwiseValue(*this, *this, BitOp::Not); }
