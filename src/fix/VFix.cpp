// VFix: fixed-point values on a VNum payload.
//
// The represented value is payload * 2^-binaryPoint. The arithmetic operators
// return exact results in a widened (Truncate, Wrap) format; an assignment
// into a value requantises into that value's own format: align, round by the
// quantisation mode, then check the integer part under the overflow mode.
//
// The operations of the datapath (requantisation, sums, differences,
// products, negation, widening casts and comparisons) work directly on the
// 16-bit digits, or in 64-bit machine words for payloads of up to 63 bits, and
// allocate nothing for payloads that fit inside the VNum object.
//
// This file: construction, casts and the conversion to double.

#include "fix/VFix.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "fix/words.h"
#include "num/digits.h"

using namespace digits;
using namespace words;

namespace {

// The binary point that represents x exactly: the fraction bits of its
// mantissa beyond its exponent, never below 0.
int32_t exactPoint(double x) {
    if (!std::isfinite(x) || x == 0.0) return 0;
    int e = 0;
    const double m = std::frexp(x, &e);
    int32_t k = 1;
    double whole = 0.0;
    while (std::modf(std::ldexp(m, k), &whole) != 0.0) ++k;
    return std::max(0, k - e);
}

// Codes accepted by the list constructor; others are not supported by VFix.
void requireCodes(int32_t type, int32_t quant, int32_t ovfl) {
    if (type < Unsigned || type > Signed || quant < Truncate || quant > RoundHalfEvenHoldMax ||
        ovfl < Wrap || ovfl > Throw)
        throw VNumException::UnimplementedSpec();
}

}  // namespace

// --- construction ---------------------------------------------------------------

VFix::VFix() : tempPool{} {}

VFix::VFix(int32_t v, int32_t width, int32_t b, int32_t type, int32_t quant, int32_t ovfl)
    : VNum(0u, width, type, quant, ovfl), binaryPoint(b), shadow(v), tempPool{} {
    // A negative binary point drops the -b low bits of v, toward minus infinity.
    int64_t x = v;
    if (b < 0) {
        const int32_t k = static_cast<int32_t>(std::min<int64_t>(-static_cast<int64_t>(b), 40));
        x = x < 0 ? ~(~x >> k) : x >> k;
    }
    const uint64_t u = static_cast<uint64_t>(x);
    for (int32_t i = 0; i < nwords_; ++i)
        w_[i] = i < 4 ? static_cast<uint32_t>(u >> (16 * i)) & kDigitMask : (x < 0 ? kDigitMask : 0u);
    w_[nwords_ - 1] &= topMask();
    if (b > 0 && x != 0) VNum::operator<<=(b);
}

VFix::VFix(int32_t v, int32_t b, int32_t type, int32_t quant, int32_t ovfl)
    : VFix(v, std::max(0, b + minIntWidth(v, type)), b, type, quant, ovfl) {}

VFix::VFix(bool b)
    : VNum(b ? 1u : 0u, 1, Unsigned, Truncate, Wrap), shadow(b ? 1.0 : 0.0), isConstant(1), isBool(1),
      tempPool{} {}

VFix::VFix(const VFix& s)
    : VNum(s), binaryPoint(s.binaryPoint), shadow(s.shadow), isNumber(s.isNumber), auxValid(s.auxValid),
      isKnown(s.isKnown), isConstant(s.isConstant), isBool(s.isBool), reserved(s.reserved), tempPool{} {}

VFix::VFix(double x, int32_t width, int32_t b, int32_t type, int32_t quant, int32_t ovfl)
    : VNum(0u, width, type, quant, ovfl), binaryPoint(b), shadow(x), tempPool{} {
    if (std::isnan(x)) {
        isNumber = auxValid = isKnown = 0;
        return;
    }
    assignDouble(std::ldexp(x, b));
}

VFix::VFix(double x, int32_t b, int32_t type, int32_t quant, int32_t ovfl)
    : VNum(std::ldexp(x, b), type, quant, ovfl), binaryPoint(b), shadow(x), tempPool{} {
    if (std::isnan(x)) isNumber = auxValid = isKnown = 0;
}

VFix::VFix(double x) : VFix(x, exactPoint(x), Signed, Truncate, Wrap) {}

VFix::VFix(const VNum& n) : VNum(n), tempPool{} { shadow = toDouble(); }

VFix::VFix(const char* bits, int32_t b, int32_t type)
    : VNum(bits, static_cast<int32_t>(std::strlen(bits)), type), binaryPoint(b), tempPool{} {
    shadow = toDouble();
}

VFix::VFix(std::initializer_list<int32_t> format) : VFix() {
    if (format.size() != 5) return;
    const int32_t* f = format.begin();
    try {
        requireCodes(f[2], f[3], f[4]);
        setFormat(f[0], f[1], f[2], f[3], f[4]);
    } catch (const VNumException::UnimplementedSpec&) {
        // An unsupported format leaves the default value.
    }
}

VFix::VFix(RawTag, Format f) : VNum(0u, f.width, f.type, Truncate, Wrap), binaryPoint(f.point), tempPool{} {}

VFix VFix::castCopy(const VFix& s, int32_t width, int32_t b, int32_t type, int32_t quant, int32_t ovfl) {
    const int32_t t = type != 0 ? type : s.type_;
    // A widening cast that keeps every integer and fraction bit is a plain
    // aligned copy; the general route below gives the same bits.
    const bool exact = !s.isBool && (t == Signed || t == Unsigned) && !(s.type_ == Signed && t == Unsigned) &&
                       b >= s.binaryPoint &&
                       static_cast<int64_t>(width) - b >=
                           static_cast<int64_t>(s.width_) - s.binaryPoint + (s.type_ != t ? 1 : 0);
    if (exact) {
        VFix r(RawTag{}, {width, b, t});
        r.quant_ = quant != 0 ? quant : s.quant_;
        r.ovfl_ = ovfl != 0 ? ovfl : s.ovfl_;
        if (isNarrow(width) && isNarrow(s.width_))
            r.storeNarrow(shiftedUp(narrowValue(s), static_cast<int64_t>(b) - s.binaryPoint) & lowMask(width));
        else
            r.alignTo(s, s.binaryPoint, b);
        r.takeStatus(s);
        r.isConstant = s.isConstant;
        return r;
    }
    VFix r(s);
    r.reserved = 0;
    r.setFormat(width, b, type, quant, ovfl);
    return r;
}

VFix::~VFix() {
    for (VFix* slot : tempPool) delete slot;
}

// The high words are gathered from the top down into an integer part and the
// low words from the bottom up into a fraction, then both are scaled by the
// remaining bits of the binary point. The order fixes the rounding of payloads
// of more than 53 significant bits.
double VFix::toDouble() const {
    if (!valid()) return std::numeric_limits<double>::quiet_NaN();
    const int32_t n = nwords_;
    int32_t q = 0, r = binaryPoint;
    if (binaryPoint >= 0) {
        q = binaryPoint / 16;
        r = binaryPoint % 16;
        if (q > n - 1) r += (q - n + 1) * 16;
    }
    const uint32_t top = w_[n - 1];
    const bool neg = type_ == Signed && width_ > 0 && ((top >> (topbits_ - 1)) & 1u) != 0;
    double acc = neg ? static_cast<double>(static_cast<int32_t>(top) - (1 << topbits_)) : static_cast<double>(top);
    for (int32_t i = n - 2; i >= q; --i) acc = acc * 65536.0 + w_[i];
    double low = 0.0;
    const int32_t lowWords = std::min(q, n - 1);
    for (int32_t i = 0; i < lowWords; ++i) low = (low + w_[i]) * (1.0 / 65536.0);
    return std::ldexp(low, -r) + std::ldexp(acc, -r);
}
