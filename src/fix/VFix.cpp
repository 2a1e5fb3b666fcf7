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

#include "fix/VFix.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <ostream>
#include <vector>

#include "num/digits.h"

using namespace digits;

namespace {

// Exact products are formed in stack buffers of this many digits (256 bits);
// wider products take the general route through VNum.
constexpr int32_t kFastWords = 16;
// Shift counts beyond any width behave alike; clamping keeps the arithmetic in range.
constexpr int64_t kShiftLimit = int64_t{1} << 30;

int32_t clampShift(int64_t n) { return static_cast<int32_t>(std::clamp(n, -kShiftLimit, kShiftLimit)); }

// x * 2^n in double arithmetic; ldexp scales exactly where the result is representable.
double scaled(double x, int64_t n) { return std::ldexp(x, clampShift(n)); }

// Payloads of up to this many bits are also handled in 64-bit machine words.
constexpr int32_t kNarrowBits = 63;

bool isNarrow(int64_t width) { return width <= kNarrowBits; }

// The low w bits set, for 0 <= w <= 64.
uint64_t lowMask(int64_t w) { return w <= 0 ? 0 : ~uint64_t{0} >> (64 - w); }

// The stored pattern of a value of at most 63 bits.
uint64_t narrowPattern(const VNum& v) {
    const uint32_t* w = v.words();
    uint64_t raw = 0;
    for (int32_t i = v.wordCount() - 1; i >= 0; --i) raw = (raw << 16) | w[i];
    return raw;
}

bool patternNegative(const VNum& v, uint64_t raw) {
    return v.type() == Signed && v.width() > 0 && ((raw >> (v.width() - 1)) & 1u) != 0;
}

// The value of a value of at most 63 bits by its type, modulo 2^64.
uint64_t narrowValue(const VNum& v) {
    const uint64_t raw = narrowPattern(v);
    return patternNegative(v, raw) ? raw | ~lowMask(v.width()) : raw;
}

// x * 2^n modulo 2^64, n >= 0.
uint64_t shiftedUp(uint64_t x, int64_t n) { return n >= 64 ? 0 : x << n; }

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

// --- unsigned integers for the text conversion (16-bit digits, least significant first)

using BigDigits = std::vector<uint32_t>;

bool isZero(const BigDigits& v) {
    return std::all_of(v.begin(), v.end(), [](uint32_t d) { return d == 0; });
}

// v = floor(v / m); returns v mod m.
uint32_t divideSmall(BigDigits& v, uint32_t m) {
    uint32_t rem = 0;
    for (size_t i = v.size(); i-- > 0;) {
        const uint32_t cur = (rem << 16) | v[i];
        v[i] = cur / m;
        rem = cur % m;
    }
    return rem;
}

void multiplySmall(BigDigits& v, uint32_t m) {
    uint32_t carry = 0;
    for (uint32_t& d : v) {
        const uint32_t t = d * m + carry;
        d = t & kDigitMask;
        carry = t >> 16;
    }
    if (carry != 0) v.push_back(carry);
}

uint32_t bitOf(const BigDigits& v, int64_t i) {
    const size_t w = static_cast<size_t>(i / 16);
    return w < v.size() ? (v[w] >> (i % 16)) & 1u : 0u;
}

// Bits lo..hi-1 of v as a new number.
BigDigits bitRange(const BigDigits& v, int64_t lo, int64_t hi) {
    BigDigits r(static_cast<size_t>(wordsFor(hi - lo)), 0u);
    for (int64_t i = lo; i < hi; ++i)
        if (bitOf(v, i) != 0) r[static_cast<size_t>((i - lo) / 16)] |= 1u << ((i - lo) % 16);
    return r;
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
void VFix::requantiseNarrow(const VFix& s) {
    const int32_t ws = s.width_, wt = width_;
    const uint64_t mask = lowMask(wt);
    const uint64_t raw = narrowPattern(s);
    const bool top = ((raw >> (ws - 1)) & 1u) != 0;
    const uint64_t ext = top ? raw | ~lowMask(ws) : raw;
    const bool neg = s.type_ == Signed && top;
    const uint64_t value = s.type_ == Signed ? ext : raw;
    const int64_t d = static_cast<int64_t>(s.binaryPoint) - binaryPoint;

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

void VFix::storeNarrow(uint64_t p) {
    for (int32_t i = 0; i < nwords_; ++i) w_[i] = static_cast<uint32_t>(p >> (16 * i)) & kDigitMask;
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

void VFix::takeStatus(const VFix& s) {
    isNumber = s.isNumber;
    auxValid = s.auxValid;
    isKnown = s.isKnown;
    shadow = s.shadow;
}

void VFix::andStatus(const VFix& b) {
    isNumber = isNumber && b.isNumber;
    auxValid = auxValid && b.auxValid;
    isKnown = isKnown && b.isKnown;
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

// --- scratch pool -------------------------------------------------------------------------

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

// --- full-precision arithmetic ----------------------------------------------------------------

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

// --- compound assignment ------------------------------------------------------------------

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

// --- comparison -----------------------------------------------------------------------------

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

// --- three-operand family ---------------------------------------------------------------------

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

void VFix::shiftLeftInto(VFix& t, const VFix& a, int32_t n) {
    if (n < 0) {
        shiftRightInto(t, a, -n);
        return;
    }
    VFix& x = t.tempSlot(0, a.width_ + n, a.binaryPoint, a.type_, Truncate, Wrap);
    x.alignTo(a, 0, n);
    x.takeStatus(a);
    x.shadow = scaled(a.shadow, n);
    t = x;
}

void VFix::shiftRightInto(VFix& t, const VFix& a, int32_t n) {
    if (n < 0) {
        shiftLeftInto(t, a, -n);
        return;
    }
    VFix& x = t.tempSlot(0, a.width_ + n, a.binaryPoint + n, a.type_, Truncate, Wrap);
    x.alignTo(a, 0, 0);
    x.takeStatus(a);
    x.shadow = scaled(a.shadow, -static_cast<int64_t>(n));
    t = x;
}

// --- bitwise operations ---------------------------------------------------------------------

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

// --- text ------------------------------------------------------------------------------------------

std::string VFix::typeName() const {
    if (isBool && width_ == 1 && binaryPoint == 0 && type_ == Unsigned) return "Bool";
    return std::string(type_ == Signed ? "Fix_" : "UFix_") + std::to_string(width_) + "_" +
           std::to_string(binaryPoint) + (isConstant ? "" : "v");
}

std::string VFix::bitString() const {
    std::string s = valid() ? VNum::bitString() : std::string(static_cast<size_t>(std::max(width_, 0)), 'X');
    const int64_t at = std::clamp<int64_t>(static_cast<int64_t>(width_) - binaryPoint, 0,
                                           static_cast<int64_t>(s.size()));
    s.insert(static_cast<size_t>(at), 1, '.');
    return s;
}

std::ostream& operator<<(std::ostream& os, const VFix& v) {
    if (v.type() == Unsigned) os << "Unsigned ";
    return os << "VFix[" << v.width() << "," << v.binaryPoint << "] '" << v.bitString() << "'";
}

// Digits are written from the most significant position down. Integer digits
// are exact; fraction digits stop when the remainder is 0, below the last
// requested fraction digit, or where a digit's weight falls below the working
// precision of the binary point plus 3k bits (k bits per digit of the base).
std::string VFix::toString(int32_t base, int32_t fractionDigits) const {
    if (!isNumber) return "NaN";
    if (!isKnown) return "*X*";
    base = std::clamp(base, 2, 32);
    const double bitsPerDigit = std::log2(static_cast<double>(base));
    const bool automatic = fractionDigits == -1;
    if (automatic) fractionDigits = std::max(0, static_cast<int32_t>(std::ceil(binaryPoint / bitsPerDigit)));
    const int32_t k = static_cast<int32_t>(std::ceil(bitsPerDigit));
    const int64_t workingBits = static_cast<int64_t>(binaryPoint) + 3 * k;

    std::string out;
    const bool neg = isNegative();
    if (type_ == Signed) out += neg ? '-' : ' ';

    // The magnitude, with one extra word so that the most negative value fits.
    BigDigits mag(static_cast<size_t>(nwords_) + 1);
    loadDigits(*this, mag.data(), nwords_ + 1);
    if (neg) negateDigits(mag.data(), nwords_ + 1);
    if (binaryPoint < 0) {  // scale to an integer: times 2^-binaryPoint
        const int64_t up = -static_cast<int64_t>(binaryPoint);
        mag.insert(mag.begin(), static_cast<size_t>(up / 16), 0u);
        multiplySmall(mag, 1u << (up % 16));
    }
    const int64_t fracBits = std::max<int64_t>(binaryPoint, 0);
    const int64_t totalBits = 16 * static_cast<int64_t>(mag.size());
    BigDigits whole = bitRange(mag, fracBits, std::max(totalBits, fracBits));
    BigDigits frac = bitRange(mag, 0, fracBits);

    std::string intDigits;
    static const char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUV";
    do {
        intDigits += kAlphabet[divideSmall(whole, static_cast<uint32_t>(base))];
    } while (!isZero(whole));
    out.append(intDigits.rbegin(), intDigits.rend());

    int32_t written = 0;  // fraction digits written
    while (!isZero(frac) && written < fractionDigits &&
           static_cast<double>(written + 1) * bitsPerDigit <= static_cast<double>(workingBits)) {
        if (written == 0) out += '.';
        multiplySmall(frac, static_cast<uint32_t>(base));
        uint32_t d = 0;
        for (int64_t i = fracBits + 4; i >= fracBits; --i) d = (d << 1) | bitOf(frac, i);
        frac = bitRange(frac, 0, fracBits);
        out += kAlphabet[d];
        ++written;
    }
    if (!automatic) {
        if (written == 0 && fractionDigits > 0) out += '.';
        out.append(static_cast<size_t>(std::max(0, fractionDigits - written)), '0');
    }
    if (base != 10) out += "<base" + std::to_string(base) + ">";
    return out;
}
