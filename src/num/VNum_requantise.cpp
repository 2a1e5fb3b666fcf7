// VNum: the blocks of a requantisation from a source with binary point
// srcPoint into this value with binary point dstPoint: alignment, the rounding
// decisions and the overflow check.

#include "num/VNum.h"

#include <algorithm>

#include "num/digits.h"

using namespace digits;

namespace {

// Bit i of v with the reading rules of getBit, for any 64-bit index.
int32_t bitAt(const VNum& v, int64_t i) {
    if (i < 0) return 0;
    return v.getBit(static_cast<int32_t>(std::min<int64_t>(i, v.width())));
}

}  // namespace

void VNum::alignTo(const VNum& s, int32_t srcPoint, int32_t dstPoint) {
    const int64_t d = static_cast<int64_t>(srcPoint) - dstPoint;
    const Extended x(s);
    // Ascending for a right move and descending for a left move, so that s may be this value.
    if (d >= 0) {
        for (int32_t i = 0; i < nwords_; ++i) w_[i] = x.digitAt(16 * static_cast<int64_t>(i) + d);
    } else {
        for (int32_t i = nwords_ - 1; i >= 0; --i) w_[i] = x.digitAt(16 * static_cast<int64_t>(i) + d);
    }
    w_[nwords_ - 1] &= topMask();
}

bool VNum::roundsAway(const VNum& s, int32_t srcPoint, int32_t dstPoint) const {
    const int64_t d = static_cast<int64_t>(srcPoint) - dstPoint;
    if (d < 1) return false;
    if (bitAt(s, d - 1) == 0) return false;
    return !s.isNegative() || anyOne(s, 0, std::min<int64_t>(d, s.width_) - 2);
}

bool VNum::roundsEven(const VNum& s, int32_t srcPoint, int32_t dstPoint) const {
    const int64_t d = static_cast<int64_t>(srcPoint) - dstPoint;
    if (d < 1) return false;
    if (bitAt(s, d - 1) == 0) return false;
    return bitAt(s, d) != 0 || anyOne(s, 0, std::min<int64_t>(d - 2, s.width_ - 1));
}

void VNum::checkConvert(const VNum& s, int32_t srcPoint, int32_t dstPoint) {
    flags_ &= ~1u;
    if (ovfl_ == Wrap) return;
    int64_t e = (static_cast<int64_t>(s.width_) - srcPoint) - (static_cast<int64_t>(width_) - dstPoint);
    const bool neg = s.isNegative();
    const int32_t ws = s.width_;
    bool over;
    if (s.type_ == Signed && type_ == Signed) {
        if (e < 0) {
            over = false;
        } else {
            const int64_t k = std::min<int64_t>(e, ws - 1);
            over = neg ? anyZero(s, ws - k - 1, ws - 1) : anyOne(s, ws - k - 1, ws - 1);
        }
    } else if (s.type_ == Signed) {
        over = neg || (e >= 0 && anyOne(s, ws - std::min<int64_t>(e, ws), ws - 1));
    } else {
        if (type_ == Signed) ++e;
        over = e >= 0 && anyOne(s, ws - std::min<int64_t>(e, ws), ws - 1);
    }
    if (!over) return;
    flags_ |= 1u;
    if (ovfl_ == Throw) throw VNumException::Overflow("during convert", neg ? -1 : 1);
    setExtreme(neg ? -1 : 1);
}
