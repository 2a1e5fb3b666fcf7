// VFix: the three-operand family, t = op(a, b), computed in the scratch pool
// of t so that repeated operations allocate nothing.
#include "fix/VFix.h"

#include "fix/words.h"

using namespace words;

void VFix::init_temp_pool() { freeTempPool(); }

VFix& VFix::tempSlot(int32_t k, int32_t width, int32_t b, int32_t type, int32_t quant, int32_t ovfl) {
    if (k < 0 || k >= kPoolSlots) k = 0;
    VFix*& slot = tempPool[k];
    if (slot != nullptr && slot->width_ != width) {
        delete slot;
        slot = nullptr;
    }
    if (slot == nullptr) slot = new VFix(0, width, b, type, quant, ovfl);
    slot->binaryPoint = b;
    slot->type_ = type;
    slot->quant_ = quant;
    slot->ovfl_ = ovfl;
    return *slot;
}

void VFix::freeTempPool() {
    for (VFix*& slot : tempPool) {
        delete slot;
        slot = nullptr;
    }
}

void VFix::sumInto(VFix& t, const VFix& a, const VFix& b, bool subtract) {
    const Format f = sumFormat(a, b, subtract);
    VFix& x = t.tempSlot(0, f.width, f.point, f.type, Truncate, Wrap);
    x = a;
    VFix& y = t.tempSlot(1, f.width, f.point, f.type, Truncate, Wrap);
    y = b;
    const bool direct = t.width_ == f.width && t.binaryPoint == f.point && t.type_ == f.type &&
                        t.quant_ == Truncate && t.ovfl_ == Wrap;
    VFix& r = direct ? t : t.tempSlot(2, f.width, f.point, f.type, Truncate, Wrap);
    if (subtract)
        r.sub(x, y);
    else
        r.add(x, y);
    r.takeStatus(x);
    r.andStatus(y);
    r.shadow = subtract ? x.shadow - y.shadow : x.shadow + y.shadow;
    if (!direct) t = r;
}

void VFix::addInto(VFix& t, const VFix& a, const VFix& b) { sumInto(t, a, b, false); }

void VFix::subInto(VFix& t, const VFix& a, const VFix& b) { sumInto(t, a, b, true); }

void VFix::negInto(VFix& t, const VFix& a) {
    VFix& x = t.tempSlot(0, a.width_ + 1, a.binaryPoint, Signed, Truncate, Wrap);
    x = a;
    x.negate();
    x.shadow = -a.shadow;
    t = x;
}

// Magnitudes are multiplied as unsigned patterns; a negative operand's
// negation within its own width leaves its magnitude as that pattern, even
// for the most negative value.
void VFix::multInto(VFix& t, const VFix& a, const VFix& b) {
    const bool na = a.isNegative(), nb = b.isNegative();
    VFix& x = t.tempSlot(0, a.width_, a.binaryPoint, Signed, Truncate, Wrap);
    x = a;
    if (na) x.negate();
    VFix& y = t.tempSlot(1, b.width_, b.binaryPoint, Signed, Truncate, Wrap);
    y = b;
    if (nb) y.negate();
    const int32_t type = a.type_ == Signed || b.type_ == Signed ? Signed : Unsigned;
    VFix& r = t.tempSlot(2, a.width_ + b.width_, a.binaryPoint + b.binaryPoint, type, Truncate, Wrap);
    r.unsigned_mult(x, y);
    if (na != nb) r.negate();
    r.takeStatus(a);
    r.andStatus(b);
    r.shadow = a.shadow * b.shadow;
    t = r;
}

// t = a * 2^n (left) or a * 2^-n (right) exactly: the width grows by n, and a
// right shift moves the binary point instead of the bits.
void VFix::shiftInto(VFix& t, const VFix& a, int32_t n, bool right) {
    if (n < 0) {
        shiftInto(t, a, -n, !right);
        return;
    }
    VFix& x = t.tempSlot(0, a.width_ + n, right ? a.binaryPoint + n : a.binaryPoint, a.type_, Truncate, Wrap);
    x.alignTo(a, 0, right ? 0 : n);
    x.takeStatus(a);
    x.shadow = scaled(a.shadow, right ? -static_cast<int64_t>(n) : n);
    t = x;
}

void VFix::shiftLeftInto(VFix& t, const VFix& a, int32_t n) { shiftInto(t, a, n, false); }

void VFix::shiftRightInto(VFix& t, const VFix& a, int32_t n) { shiftInto(t, a, n, true); }
