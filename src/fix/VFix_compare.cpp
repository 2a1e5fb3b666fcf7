// VFix: comparisons of the represented values.
#include "fix/VFix.h"

#include <algorithm>

#include "fix/words.h"
#include "num/digits.h"

using namespace digits;
using namespace words;

// Three-way comparison of the represented values: both payloads are read at
// the larger binary point, digit by digit from the top, sign-extended.
int32_t VFix::compareValues(const VFix& a, const VFix& b) {
    const bool na = a.isNegative(), nb = b.isNegative();
    if (na != nb) return na ? -1 : 1;
    const int64_t point = std::max(a.binaryPoint, b.binaryPoint);
    const int64_t sa = point - a.binaryPoint, sb = point - b.binaryPoint;
    if (isNarrow(a.width_ + sa) && isNarrow(b.width_ + sb)) {
        // Both scaled values fit a signed machine word.
        const auto va = static_cast<int64_t>(narrowValue(a) << sa), vb = static_cast<int64_t>(narrowValue(b) << sb);
        return va < vb ? -1 : va > vb ? 1 : 0;
    }
    const int32_t n = std::max(wordsFor(a.width_ + sa), wordsFor(b.width_ + sb)) + 1;
    const Extended x(a), y(b);
    for (int32_t k = n - 1; k >= 0; --k) {
        const int64_t p = 16 * static_cast<int64_t>(k);
        const uint32_t dx = x.digitAt(p - sa), dy = y.digitAt(p - sb);
        if (dx != dy) return dx < dy ? -1 : 1;
    }
    return 0;
}

bool operator==(const VFix& a, const VFix& b) { return a.valid() && b.valid() && VFix::compareValues(a, b) == 0; }
bool operator!=(const VFix& a, const VFix& b) { return a.valid() && b.valid() && VFix::compareValues(a, b) != 0; }
bool operator<(const VFix& a, const VFix& b) { return a.valid() && b.valid() && VFix::compareValues(a, b) < 0; }
bool operator>(const VFix& a, const VFix& b) { return a.valid() && b.valid() && VFix::compareValues(a, b) > 0; }
bool operator<=(const VFix& a, const VFix& b) { return a.valid() && b.valid() && VFix::compareValues(a, b) <= 0; }
bool operator>=(const VFix& a, const VFix& b) { return a.valid() && b.valid() && VFix::compareValues(a, b) >= 0; }

// --- comparisons through the scratch pool ----------------------------------------------------------

// Operands of one sign are aligned into slots 6 and 7 of a, in a format that
// holds both exactly, and compared as patterns.
int32_t VFix::compareWith(VFix& a, const VFix& b) {
    const bool na = a.isNegative(), nb = b.isNegative();
    if (na != nb) return na ? -1 : 1;
    const int32_t point = std::max(a.binaryPoint, b.binaryPoint);
    const int32_t width = std::max(a.width_ - a.binaryPoint, b.width_ - b.binaryPoint) + point;
    const int32_t type = na ? Signed : Unsigned;
    VFix& x = a.tempSlot(6, width, point, type, Truncate, Wrap);
    x = a;
    VFix& y = a.tempSlot(7, width, point, type, Truncate, Wrap);
    y = b;
    return x.unsigned_comp(y);
}

bool VFix::equals(VFix& a, const VFix& b) { return a.valid() && b.valid() && compareWith(a, b) == 0; }

void VFix::compareByCode(VFix& t, VFix& a, const VFix& b, int32_t code) {
    bool result = false;
    if (a.valid() && b.valid()) {
        const int32_t c = compareWith(a, b);
        switch (code) {
            case 1: result = c == 0; break;
            case 2: result = c != 0; break;
            case 3: result = c < 0; break;
            case 4: result = c <= 0; break;
            case 5: result = c > 0; break;
            case 6: result = c >= 0; break;
            default: break;
        }
    }
    t = VFix(result);
}
