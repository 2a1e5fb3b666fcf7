// VNum: arbitrary-width integers in 16-bit digits.
//
// Every digit operation works in 32-bit unsigned arithmetic: a digit sum with
// its carry stays below 2^17, and a digit product plus a digit plus a carry
// stays below 2^32. Values of up to kInlineWords words live inside the object;
// wider ones own a heap array whose capacity is at least the word count.

#include "num/VNum.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <exception>

namespace {

constexpr uint32_t kDigitMask = 0xFFFFu;

// The exception of states that correct callers never reach; its text is "bad exception".
class BadException : public std::bad_exception {
public:
    const char* what() const noexcept override { return "bad exception"; }
};

int32_t wordsFor(int32_t width) { return width < 1 ? 1 : (width - 1) / 16 + 1; }

int32_t topBitsFor(int32_t width) {
    if (width <= 0) return 0;
    const int32_t r = width % 16;
    return r == 0 ? 16 : r;
}

// Number of bits needed to write v (0 for 0).
int32_t bitLength(uint32_t v) { return v == 0 ? 0 : 32 - __builtin_clz(v); }

// Reads a value's words as if the value were sign-extended (negative Signed)
// or zero-extended to any number of words.
class Ext {
public:
    explicit Ext(const VNum& v)
        : w_(v.words()), top_(v.wordCount() - 1), fill_(v.isNegative() ? kDigitMask : 0u),
          topFill_(fill_ & ~((1u << v.topBits()) - 1u)) {}
    // Word i (i >= 0).
    uint32_t operator[](int64_t i) const {
        if (i < top_) return w_[i];
        if (i == top_) return w_[i] | topFill_;
        return fill_;
    }
    // The 16 bits at positions p to p + 15; positions below 0 read 0.
    uint32_t digitAt(int64_t p) const {
        if (p <= -16) return 0;
        if (p < 0) return ((*this)[0] << -p) & kDigitMask;
        const int64_t wi = p >> 4;
        const int32_t off = static_cast<int32_t>(p & 15);
        if (off == 0) return (*this)[wi];
        return (((*this)[wi] >> off) | ((*this)[wi + 1] << (16 - off))) & kDigitMask;
    }

private:
    const uint32_t* w_;
    int32_t top_;
    uint32_t fill_;
    uint32_t topFill_;
};

// Mask of the bits lo..hi (0 <= lo <= hi <= 15) of one digit.
uint32_t digitRange(int32_t lo, int32_t hi) { return ((2u << hi) - 1u) & ~((1u << lo) - 1u); }

// True when any bit of v at positions lo..hi (clipped to the width) equals `one`.
bool anyBitIs(const VNum& v, int64_t lo, int64_t hi, bool one) {
    lo = std::max<int64_t>(lo, 0);
    hi = std::min<int64_t>(hi, v.width() - 1);
    if (lo > hi) return false;
    const int32_t wl = static_cast<int32_t>(lo >> 4), wh = static_cast<int32_t>(hi >> 4);
    const uint32_t* w = v.words();
    for (int32_t i = wl; i <= wh; ++i) {
        const uint32_t m = digitRange(i == wl ? static_cast<int32_t>(lo & 15) : 0,
                                      i == wh ? static_cast<int32_t>(hi & 15) : 15);
        if (((one ? w[i] : ~w[i]) & m) != 0) return true;
    }
    return false;
}
bool anyOne(const VNum& v, int64_t lo, int64_t hi) { return anyBitIs(v, lo, hi, true); }
bool anyZero(const VNum& v, int64_t lo, int64_t hi) { return anyBitIs(v, lo, hi, false); }

// Bit i of v with the reading rules of getBit, for any 64-bit index.
int32_t bitAt(const VNum& v, int64_t i) {
    if (i < 0) return 0;
    return v.getBit(static_cast<int32_t>(std::min<int64_t>(i, v.width())));
}

// Position of the highest bit that differs from the sign (the highest 0 of a
// negative value, the highest 1 of any other); 0 when there is none.
int32_t significantBit(const VNum& v, bool neg) {
    const uint32_t* w = v.words();
    for (int32_t i = v.wordCount() - 1; i >= 0; --i) {
        const uint32_t m = i == v.wordCount() - 1 ? (1u << v.topBits()) - 1u : kDigitMask;
        const uint32_t d = (neg ? ~w[i] : w[i]) & m;
        if (d != 0) return 16 * i + bitLength(d) - 1;
    }
    return 0;
}

bool allZero(const uint32_t* w, int32_t n) {
    for (int32_t i = 0; i < n; ++i)
        if (w[i] != 0) return false;
    return true;
}

// Two's-complement negation of n digits within a width whose top digit mask is topMask.
void negateDigits(uint32_t* w, int32_t n, uint32_t topMask) {
    uint32_t carry = 1;
    for (int32_t i = 0; i < n; ++i) {
        const uint32_t t = (~w[i] & kDigitMask) + carry;
        w[i] = t & kDigitMask;
        carry = t >> 16;
    }
    w[n - 1] &= topMask;
}

// The magnitude of a negative value, read as an unsigned number of the same
// width (it always fits), written into out.
const uint32_t* magnitude(const VNum& v, uint32_t* out) {
    std::copy(v.words(), v.words() + v.wordCount(), out);
    negateDigits(out, v.wordCount(), (1u << v.topBits()) - 1u);
    return out;
}

// r (rn words, zeroed) += x (n words) * y (m words), schoolbook, row by row.
void mulDigits(const uint32_t* x, int32_t n, const uint32_t* y, int32_t m, uint32_t* r, int32_t rn) {
    for (int32_t j = 0; j < m; ++j) {
        const uint32_t yj = y[j];
        uint32_t carry = 0;
        for (int32_t i = 0; i < n; ++i) {
            const uint32_t t = yj * x[i] + r[i + j] + carry;
            r[i + j] = t & kDigitMask;
            carry = t >> 16;
        }
        if (n + j < rn) r[n + j] = (r[n + j] + carry) & kDigitMask;
    }
}

// Compares two n-digit numbers.
int32_t compareDigits(const uint32_t* a, const uint32_t* b, int32_t n) {
    for (int32_t i = n - 1; i >= 0; --i)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return 0;
}

int32_t resultQuant(const VNum& a, const VNum& b) { return std::max(a.quantMode(), b.quantMode()); }

}  // namespace

// --- storage ------------------------------------------------------------------

void VNum::takeStorage(int32_t n) {
    if (n < 1) throw BadException();
    if (n > kMaxWords) throw VNumException::tooManyBits();
    if (n <= kInlineWords) {
        release();
    } else if (w_ == inline_ || n > nwords_) {
        uint32_t* p = new uint32_t[n];
        release();
        w_ = p;
    }
    nwords_ = n;
}

void VNum::setWordCount(int32_t n) {
    if (n > kMaxWords) throw VNumException::tooManyBits();
    if (n <= kInlineWords) {
        if (w_ != inline_) {
            std::copy(w_, w_ + n, inline_);
            release();
        }
    } else if (w_ == inline_ || n > nwords_) {
        uint32_t* p = new uint32_t[n];
        std::copy(w_, w_ + std::min(n, nwords_), p);
        release();
        w_ = p;
    }
    nwords_ = n;
}

void VNum::setWidth(int32_t width) {
    width_ = width;
    topbits_ = topBitsFor(width);
}

void VNum::allocate(int32_t width) {
    takeStorage(wordsFor(width));
    setWidth(width);
    clearWords();
}

void VNum::release() {
    if (w_ != inline_) {
        delete[] w_;
        w_ = inline_;
    }
}

void VNum::clearWords() { std::fill(w_, w_ + nwords_, 0u); }

void VNum::copyWordsFrom(const VNum& s) { std::copy(s.w_, s.w_ + nwords_, w_); }

void VNum::copyExtended(const VNum& s) {
    const Ext x(s);
    for (int32_t i = 0; i < nwords_; ++i) w_[i] = x[i];
    w_[nwords_ - 1] &= topMask();
}

// --- construction ---------------------------------------------------------------

VNum::VNum() { inline_[0] = 0; }

VNum::VNum(Uninit, int32_t width, int32_t type, int32_t quant, int32_t ovfl)
    : type_(type), quant_(quant), ovfl_(ovfl) {
    takeStorage(wordsFor(width));
    setWidth(width);
}

VNum::VNum(uint32_t pattern, int32_t width, int32_t type, int32_t quant, int32_t ovfl)
    : type_(type), quant_(quant), ovfl_(ovfl) {
    allocate(width);
    w_[0] = pattern & kDigitMask;
    if (nwords_ > 1) w_[1] = pattern >> 16;
    w_[nwords_ - 1] &= topMask();
}

VNum::VNum(int32_t v, int32_t type, int32_t quant, int32_t ovfl)
    : VNum(static_cast<uint32_t>(v), minIntWidth(v, type), type, quant, ovfl) {}

VNum::VNum(const char* bits, int32_t width, int32_t type) : type_(type) {
    allocate(width);
    for (int32_t i = 0; i < width; ++i)
        if (bits[width - 1 - i] != '0') w_[i >> 4] |= 1u << (i & 15);
}

VNum::VNum(const VNum& s) : type_(s.type_), quant_(s.quant_), ovfl_(s.ovfl_) {
    takeStorage(s.nwords_);
    setWidth(s.width_);
    copyWordsFrom(s);
}

VNum::VNum(VNum&& s) noexcept
    : width_(s.width_), type_(s.type_), quant_(s.quant_), ovfl_(s.ovfl_), nwords_(s.nwords_),
      topbits_(s.topbits_) {
    if (s.w_ != s.inline_) {
        w_ = s.w_;
        s.w_ = s.inline_;
        s.width_ = 0;
        s.nwords_ = 1;
        s.topbits_ = 0;
        s.inline_[0] = 0;
    } else {
        std::copy(s.inline_, s.inline_ + nwords_, inline_);
    }
}

VNum::VNum(const VNum& s, int32_t width, int32_t type, int32_t quant, int32_t ovfl)
    : VNum(Uninit{}, width != 0 ? width : s.width_, type != 0 ? type : s.type_,
           quant != 0 ? quant : s.quant_, ovfl != 0 ? ovfl : s.ovfl_) {
    convertFrom(s);
}

VNum::VNum(double x, int32_t width, int32_t type, int32_t quant, int32_t ovfl)
    : VNum(0u, width, type, quant, ovfl) {
    assignDouble(x);
}

VNum::VNum(double x, int32_t type, int32_t quant, int32_t ovfl)
    : VNum(x, minDoubleWidth(x, type), type, quant, ovfl) {}

VNum::~VNum() { release(); }

// --- assignment -------------------------------------------------------------------

// Gives this value the result of converting s into this format: s is widened
// (sign- or zero-extended by its own type) or cut to this width, and the
// overflow mode decides about a value that does not fit. The checks run in the
// order of a resize (negative to unsigned, decreasing width, unsigned to
// signed) and come before any word is written, so a throw leaves this unchanged.
void VNum::convertFrom(const VNum& s) {
    if (ovfl_ == Saturate || ovfl_ == Throw) {
        const bool thr = ovfl_ == Throw;
        const bool neg = s.isNegative();
        if (neg && type_ == Unsigned) {
            if (thr) throw VNumException::Overflow("negative value retyped to unsigned", 0);
            clearWords();
            return;
        }
        if (width_ < s.width_) {
            const int32_t h = significantBit(s, neg);
            const bool signedView = s.type_ == Signed && type_ == Signed;
            if (h > width_ - (signedView ? 2 : 1)) {
                if (thr) throw VNumException::Overflow("on decreasing resize", 0);
                setExtreme(neg ? -1 : 1);
                return;
            }
        }
        if (s.type_ != Signed && type_ == Signed && width_ > 0 && width_ <= s.width_ &&
            s.getBit(width_ - 1) != 0) {
            if (thr) throw VNumException::Overflow("on unsigned to signed", 1);
            setExtreme(1);
            return;
        }
    }
    copyExtended(s);
}

VNum& VNum::operator=(const VNum& s) {
    if (this == &s) return *this;
    if (sameFormat(s))
        copyWordsFrom(s);
    else
        convertFrom(s);
    return *this;
}

VNum& VNum::operator=(VNum&& s) {
    if (this == &s) return *this;
    if (!sameFormat(s))
        convertFrom(s);
    else if (w_ != inline_ && s.w_ != s.inline_)
        std::swap(w_, s.w_);
    else
        copyWordsFrom(s);
    return *this;
}

// --- format and bits ------------------------------------------------------------------

bool VNum::isNegative() const {
    return type_ == Signed && width_ > 0 && ((w_[nwords_ - 1] >> (topbits_ - 1)) & 1u) != 0;
}

int32_t VNum::getBit(int32_t i) const {
    if (i < 0 || width_ <= 0) return 0;
    if (i >= width_) i = width_ - 1;
    return static_cast<int32_t>((w_[i >> 4] >> (i & 15)) & 1u);
}

void VNum::setBit(int32_t i, int32_t b) {
    if (i < 0 || i >= width_) throw VNumException::IllegalIntArg("index", i);
    if (b != 0 && b != 1) throw VNumException::IllegalIntArg("val", b);
    const uint32_t m = 1u << (i & 15);
    if (b != 0)
        w_[i >> 4] |= m;
    else
        w_[i >> 4] &= ~m;
}

void VNum::setExtreme(int32_t s) {
    const int32_t top = nwords_ - 1;
    if (s > 0) {
        std::fill(w_, w_ + top, kDigitMask);
        w_[top] = topMask();
        if (type_ == Signed) w_[top] >>= 1;
        return;
    }
    clearWords();
    if (s < 0 && type_ == Signed && topbits_ > 0) w_[top] = 1u << (topbits_ - 1);
}

int32_t VNum::minIntWidth(int32_t v, int32_t type) {
    const uint32_t m = v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
    const int32_t len = bitLength(m);
    if (v >= 0) return len + (type == Signed ? 1 : 0);
    return (m & (m - 1u)) == 0 ? len : len + 1;
}

int32_t VNum::minDoubleWidth(double x, int32_t type) {
    if (!std::isfinite(x)) return 1;  // no width describes it; callers filter such values
    int e = 0;
    const double f = std::frexp(x, &e);
    if (e < 1) return 1;
    if (x >= 0) return e + (type == Signed ? 1 : 0);
    return f == -0.5 ? e : e + 1;
}

void VNum::resize(int32_t w, int32_t t, int32_t q, int32_t o) {
    if (q != 0) quant_ = q;
    if (o != 0) ovfl_ = o;
    if (w == 0) w = width_;
    if (t == 0) t = type_;

    if (w > width_) {  // grow, extending by the current type
        const bool neg = isNegative();
        const int32_t oldTop = nwords_ - 1;
        const int32_t n = wordsFor(w);
        if (neg) w_[oldTop] |= kDigitMask & ~topMask();
        setWordCount(n);
        std::fill(w_ + oldTop + 1, w_ + n, neg ? kDigitMask : 0u);
        setWidth(w);
        w_[n - 1] &= topMask();
    }
    if (t == Unsigned && type_ != Unsigned) {
        if (getBit(width_ - 1) != 0) {
            if (ovfl_ == Saturate) clearWords();
            if (ovfl_ == Throw) throw VNumException::Overflow("negative value retyped to unsigned", 0);
        }
        type_ = Unsigned;
    }
    if (w < width_) {  // shrink, keeping the low bits
        const bool neg = isNegative();
        const int32_t h = significantBit(*this, neg);
        const bool fits = h <= w - (type_ == Signed ? 2 : 1);
        setWordCount(wordsFor(w));
        setWidth(w);
        w_[nwords_ - 1] &= topMask();
        if (!fits) {
            if (ovfl_ == Saturate) setExtreme(neg ? -1 : 1);
            if (ovfl_ == Throw) throw VNumException::Overflow("on decreasing resize", 0);
        }
    }
    if (t == Signed && type_ != Signed) {
        if (getBit(width_ - 1) != 0) {
            if (ovfl_ == Saturate) {
                type_ = Signed;
                setExtreme(1);
            }
            if (ovfl_ == Throw) throw VNumException::Overflow("on unsigned to signed", 1);
        }
        type_ = Signed;
    }
}

void VNum::retype(int32_t t, int32_t q, int32_t o) { resize(width_, t, q, o); }

// --- full-precision arithmetic ------------------------------------------------------------

VNum operator+(const VNum& a, const VNum& b) {
    const bool sgn = a.type_ == Signed || b.type_ == Signed;
    VNum r(VNum::Uninit{}, std::max(a.width_, b.width_) + (sgn ? 2 : 1), sgn ? Signed : Unsigned,
           resultQuant(a, b), Throw);
    const Ext x(a), y(b);
    const int32_t top = r.nwords_ - 1;
    uint32_t carry = 0;
    for (int32_t i = 0; i < top; ++i) {
        const uint32_t s = x[i] + y[i] + carry;
        r.w_[i] = s & kDigitMask;
        carry = s >> 16;
    }
    r.w_[top] = (x[top] + y[top] + carry) & r.topMask();
    return r;
}

VNum operator-(const VNum& a, const VNum& b) {
    VNum r(VNum::Uninit{}, std::max(a.width_, b.width_) + 2, Signed, resultQuant(a, b), Throw);
    const Ext x(a), y(b);
    const int32_t top = r.nwords_ - 1;
    uint32_t borrow = 0;
    for (int32_t i = 0; i < top; ++i) {
        const uint32_t s = x[i] - y[i] - borrow;
        r.w_[i] = s & kDigitMask;
        borrow = (s >> 16) & 1u;
    }
    r.w_[top] = (x[top] - y[top] - borrow) & r.topMask();
    return r;
}

VNum operator*(const VNum& a, const VNum& b) {
    const bool sgn = a.type_ == Signed || b.type_ == Signed;
    VNum r(VNum::Uninit{}, a.width_ + b.width_ + (sgn ? 1 : 0), sgn ? Signed : Unsigned,
           resultQuant(a, b), Throw);
    r.clearWords();
    const bool na = a.isNegative(), nb = b.isNegative();
    uint32_t ma[VNum::kMaxWords], mb[VNum::kMaxWords];
    const uint32_t* x = na ? magnitude(a, ma) : a.w_;
    const uint32_t* y = nb ? magnitude(b, mb) : b.w_;
    mulDigits(x, a.nwords_, y, b.nwords_, r.w_, r.nwords_);
    r.w_[r.nwords_ - 1] &= r.topMask();
    if (na != nb) negateDigits(r.w_, r.nwords_, r.topMask());
    return r;
}

VNum operator/(const VNum& a, const VNum& b) {
    const bool sgn = a.type_ == Signed || b.type_ == Signed;
    VNum r(a, a.width_ + b.width_ + (sgn ? 1 : 0), sgn ? Signed : Unsigned, resultQuant(a, b), Throw);
    r /= b;
    return r;
}

VNum operator%(const VNum& a, const VNum& b) {
    VNum r(a, a.width_, Signed, Truncate, Wrap);
    r %= b;
    return r;
}

VNum VNum::operator-() const {
    VNum r(*this);
    r.negate();
    return r;
}

namespace {
enum class BitOp { And, Or, Xor };

// a op b in a's format, b sign- or zero-extended (or cut) to a's width.
VNum bitwise(const VNum& a, const VNum& b, BitOp op) {
    VNum r(a);
    uint32_t* w = r.words();
    const Ext y(b);
    const int32_t n = r.wordCount();
    for (int32_t i = 0; i < n; ++i) {
        switch (op) {
            case BitOp::And: w[i] &= y[i]; break;
            case BitOp::Or: w[i] |= y[i]; break;
            case BitOp::Xor: w[i] ^= y[i]; break;
        }
    }
    w[n - 1] &= (1u << r.topBits()) - 1u;
    return r;
}
}  // namespace

VNum operator&(const VNum& a, const VNum& b) { return bitwise(a, b, BitOp::And); }
VNum operator|(const VNum& a, const VNum& b) { return bitwise(a, b, BitOp::Or); }
VNum operator^(const VNum& a, const VNum& b) { return bitwise(a, b, BitOp::Xor); }

VNum VNum::operator~() const {
    VNum r(*this);
    r.complement();
    return r;
}

VNum& VNum::operator+=(const VNum& b) { return *this = *this + b; }
VNum& VNum::operator-=(const VNum& b) { return *this = *this - b; }
VNum& VNum::operator*=(const VNum& b) { return *this = *this * b; }

VNum& VNum::operator/=(const VNum& b) {
    divideBy(b, false);
    return *this;
}

VNum& VNum::operator%=(const VNum& b) {
    divideBy(b, true);
    return *this;
}

// Truncating division on the magnitudes, bit by bit: the quotient takes the
// sign of a product, the remainder the sign of the dividend. The exact result
// is assigned into this value's format.
void VNum::divideBy(const VNum& b, bool wantRemainder) {
    if (compare(b, zero()) == 0) throw VNumException::IllegalIntArg("a", 0);
    const bool na = isNegative(), nb = b.isNegative();
    uint32_t ma[kMaxWords], mb[kMaxWords];
    const uint32_t* x = na ? magnitude(*this, ma) : w_;
    const uint32_t* y = nb ? magnitude(b, mb) : b.w_;
    const int32_t dn = b.nwords_ + 1;  // the running remainder stays below 2 * |b|
    uint32_t rem[kMaxWords + 1] = {};
    VNum result(Uninit{}, width_ + 1, Signed, Truncate, Wrap);
    result.clearWords();
    uint32_t* quo = result.w_;
    uint32_t yy[kMaxWords + 1];
    std::copy(y, y + b.nwords_, yy);
    yy[b.nwords_] = 0;
    for (int32_t i = width_ - 1; i >= 0; --i) {
        uint32_t in = (x[i >> 4] >> (i & 15)) & 1u;
        for (int32_t k = 0; k < dn; ++k) {
            const uint32_t t = (rem[k] << 1) | in;
            rem[k] = t & kDigitMask;
            in = t >> 16;
        }
        if (compareDigits(rem, yy, dn) >= 0) {
            uint32_t borrow = 0;
            for (int32_t k = 0; k < dn; ++k) {
                const uint32_t t = rem[k] - yy[k] - borrow;
                rem[k] = t & kDigitMask;
                borrow = (t >> 16) & 1u;
            }
            quo[i >> 4] |= 1u << (i & 15);
        }
    }
    bool negative = na != nb;
    if (wantRemainder) {
        result.clearWords();
        std::copy(rem, rem + std::min(dn, result.nwords_), quo);
        negative = na;
    }
    if (negative) negateDigits(quo, result.nwords_, result.topMask());
    *this = result;
}

// --- in-place operations --------------------------------------------------------------------

void VNum::increment() {
    const bool wasNeg = isNegative();
    const int32_t top = nwords_ - 1;
    bool carryOut = false;
    int32_t i = 0;
    for (; i < top; ++i) {
        if (++w_[i] <= kDigitMask) break;
        w_[i] = 0;
    }
    if (i == top) {
        ++w_[top];
        if ((w_[top] & ~topMask()) != 0) {
            w_[top] &= topMask();
            carryOut = true;
        }
    }
    if (ovfl_ == Wrap) return;
    const bool over = type_ == Signed ? !wasNeg && isNegative() : carryOut;
    if (!over) return;
    if (ovfl_ == Saturate) {
        setExtreme(1);
        return;
    }
    throw VNumException::Overflow("Overflow on incr", 0);
}

void VNum::decrement() {
    const bool wasNeg = isNegative();
    const int32_t top = nwords_ - 1;
    bool borrowOut = false;
    int32_t i = 0;
    for (; i < top; ++i) {
        if (w_[i] != 0) {
            --w_[i];
            break;
        }
        w_[i] = kDigitMask;
    }
    if (i == top) {
        if (w_[top] == 0) {
            w_[top] = topMask();
            borrowOut = true;
        } else {
            --w_[top];
        }
    }
    if (ovfl_ == Wrap) return;
    const bool over = type_ == Signed ? wasNeg && !isNegative() : borrowOut;
    if (!over) return;
    if (ovfl_ == Saturate) {
        setExtreme(-1);
        return;
    }
    throw VNumException::Overflow("Overflow on decr", 0);
}

void VNum::negate() {
    if (type_ != Signed && ovfl_ != Wrap) {
        if (allZero(w_, nwords_)) return;
        if (ovfl_ == Saturate) {
            clearWords();
            return;
        }
        throw VNumException::Overflow("negating unsigned VNum", 0);
    }
    complement();
    increment();
}

void VNum::complement() {
    for (int32_t i = 0; i < nwords_; ++i) w_[i] = ~w_[i] & kDigitMask;
    w_[nwords_ - 1] &= topMask();
}

int32_t VNum::compare(const VNum& a, const VNum& b) {
    const bool na = a.isNegative(), nb = b.isNegative();
    if (na != nb) return na ? -1 : 1;
    const int32_t width = std::max(a.width_, b.width_);
    const int32_t n = wordsFor(width);
    const uint32_t topMask = (1u << topBitsFor(width)) - 1u;
    const Ext x(a), y(b);
    auto word = [&](const Ext& e, int32_t i) { return i == n - 1 ? e[i] & topMask : e[i]; };
    // The highest word that differs from the sign fill.
    auto significant = [&](const Ext& e) {
        for (int32_t i = n - 1; i > 0; --i) {
            const uint32_t fill = na ? (i == n - 1 ? topMask : kDigitMask) : 0u;
            if (word(e, i) != fill) return i;
        }
        return 0;
    };
    const int32_t ia = significant(x), ib = significant(y);
    if (ia != ib) return na ? ib - ia : ia - ib;
    for (int32_t i = ia; i >= 0; --i) {
        const uint32_t da = word(x, i), db = word(y, i);
        if (da != db) return static_cast<int32_t>(da) - static_cast<int32_t>(db);
    }
    return 0;
}

// --- strict family ----------------------------------------------------------------------------

void VNum::add(const VNum& p, const VNum& q) {
    if (p.type_ != q.type_ || p.type_ != type_ || p.width_ != q.width_ || p.width_ != width_)
        throw VNumException::IllegalIntArg("VNum::add(p, q) must havethe same type and width", 0);
    uint32_t carry = 0;
    for (int32_t i = 0; i < nwords_; ++i) {
        const uint32_t s = p.w_[i] + q.w_[i] + carry;
        w_[i] = s & kDigitMask;
        carry = s >> 16;
    }
    w_[nwords_ - 1] &= topMask();
}

void VNum::sub(const VNum& p, const VNum& q) {
    if (p.type_ != q.type_ || p.type_ != type_ || p.width_ != q.width_ || p.width_ != width_)
        throw VNumException::IllegalIntArg("VNum::sub(p, q) must havethe same type and width", 0);
    uint32_t borrow = 0;
    for (int32_t i = 0; i < nwords_; ++i) {
        const uint32_t s = p.w_[i] - q.w_[i] - borrow;
        w_[i] = s & kDigitMask;
        borrow = (s >> 16) & 1u;
    }
    w_[nwords_ - 1] &= topMask();
}

void VNum::unsigned_mult(const VNum& p, const VNum& q) {
    if (width_ != p.width_ + q.width_)
        throw VNumException::IllegalIntArg(
            "VNum::unsigned_mult(p, q) yields result in container of wrong width", 0);
    uint32_t r[kMaxWords];  // p or q may be this value
    std::fill(r, r + nwords_, 0u);
    mulDigits(p.w_, p.nwords_, q.w_, q.nwords_, r, nwords_);
    std::copy(r, r + nwords_, w_);
    w_[nwords_ - 1] &= topMask();
}

void VNum::bitAnd(const VNum& p, const VNum& q) {
    if (p.width_ != q.width_)
        throw VNumException::IllegalIntArg("VNum::bitAnd(p, q) q and q must have the same width", 0);
    if (width_ != p.width_)
        throw VNumException::IllegalIntArg("VNum::bitAnd(p, q) resultmust have the same width", 0);
    for (int32_t i = 0; i < nwords_; ++i) w_[i] = p.w_[i] & q.w_[i];
}

void VNum::bitOr(const VNum& p, const VNum& q) {
    if (p.width_ != q.width_)
        throw VNumException::IllegalIntArg("VNum::bitOr(p, q) q and q must have the same width", 0);
    if (width_ != p.width_)
        throw VNumException::IllegalIntArg("VNum::bitOr(p, q) resultmust have the same width", 0);
    for (int32_t i = 0; i < nwords_; ++i) w_[i] = p.w_[i] | q.w_[i];
}

void VNum::bitXor(const VNum& p, const VNum& q) {
    if (p.width_ != q.width_)
        throw VNumException::IllegalIntArg("VNum::bitXor(p, q) q and q must have the same width", 0);
    if (width_ != p.width_)
        throw VNumException::IllegalIntArg("VNum::bitXor(p, q) resultmust have the same width", 0);
    for (int32_t i = 0; i < nwords_; ++i) w_[i] = p.w_[i] ^ q.w_[i];
}

void VNum::bitNot(const VNum& p) {
    if (width_ != p.width_)
        throw VNumException::IllegalIntArg("VNum::bitNot(p) resultmust have the same width", 0);
    for (int32_t i = 0; i < nwords_; ++i) w_[i] = ~p.w_[i] & kDigitMask;
    w_[nwords_ - 1] &= topMask();
}

int32_t VNum::unsigned_comp(const VNum& p) const {
    if (width_ != p.width_ || type_ != p.type_)
        throw VNumException::IllegalIntArg("VNum::unsigned_comp(p) must have the same width and type", 0);
    for (int32_t i = nwords_ - 1; i >= 0; --i)
        if (w_[i] != p.w_[i]) return static_cast<int32_t>(w_[i]) - static_cast<int32_t>(p.w_[i]);
    return 0;
}

// --- requantisation blocks ----------------------------------------------------------------------

void VNum::alignTo(const VNum& s, int32_t srcPoint, int32_t dstPoint) {
    const int64_t d = static_cast<int64_t>(srcPoint) - dstPoint;
    const Ext x(s);
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

// --- shifts -------------------------------------------------------------------------------------

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
        default: throw BadException();
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
        const Ext x(*this);
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

// --- conversions ----------------------------------------------------------------------------------

void VNum::assignDouble(double x) {
    flags_ &= ~1u;
    if (std::isnan(x)) {  // no value to convert: callers filter NaN, it reads as 0
        clearWords();
        return;
    }
    const bool sgn = type_ == Signed;
    const bool inf = std::isinf(x);
    int e = 0;
    const double f = inf ? 0.0 : std::frexp(x, &e);
    if (sgn && f == -0.5 && e == width_) {
        setExtreme(-1);
        return;
    }
    if (inf || static_cast<int64_t>(e) + (sgn ? 1 : 0) > width_) {
        flags_ |= 1u;
        if (ovfl_ == Saturate) {
            setExtreme(x > 0 ? 1 : -1);
            return;
        }
        if (ovfl_ == Throw) throw VNumException::Overflow("VNum-assign-from-double saturated", 0);
        if (inf) {  // an infinite value has no low bits to keep
            clearWords();
            return;
        }
    }
    double a = x;
    const bool neg = x < 0;
    if (neg) {
        if (!sgn) {
            if (ovfl_ == Saturate) {
                clearWords();
                return;
            }
            if (ovfl_ == Throw)
                throw VNumException::Overflow("VNum-assign-from-double, negative to unsigned", 0);
        }
        a = -x;
    }
    double whole;
    const double phi = std::modf(a, &whole);
    bool up = false, down = false;
    switch (quant_) {
        case RoundHalfAway: up = phi >= 0.5; break;
        case RoundHalfEven:
        case RoundHalfEvenHoldMax: {
            double half;
            up = phi > 0.5 || (phi == 0.5 && std::modf(a / 2, &half) == 0.75);
            break;
        }
        case Truncate: down = neg && phi > 0; break;
        default: break;
    }
    for (int32_t i = 0; i < nwords_; ++i) {
        const int32_t s = i == nwords_ - 1 ? topbits_ : 16;
        a = std::ldexp(a, -s);
        double upper;
        const double frac = std::modf(a, &upper);
        w_[i] = static_cast<uint32_t>(std::ldexp(frac, s));
        a = upper;
    }
    if (neg) {
        negate();
        if (up || down) *this = *this - one();
    } else if (up) {
        *this = *this + one();
    }
}

void VNum::assignInt(int32_t v) {
    if (v == 0)
        clearWords();
    else
        assignDouble(static_cast<double>(v));
}

double VNum::toDouble() const {
    uint32_t mag[kMaxWords];
    const bool neg = isNegative();
    const uint32_t* d = neg ? magnitude(*this, mag) : w_;
    const int32_t top = nwords_ - 1;
    int32_t m = top;
    while (m > 0 && d[m] == 0) --m;
    const int32_t k = m == top ? top - 1 : m;
    // Least significant word first: this order fixes the rounding of wide values.
    double y = 0.0;
    for (int32_t i = 0; i <= k; ++i) y = (y + d[i]) * (1.0 / 65536.0);
    if (m == top) y += d[top];
    const double r = std::ldexp(y, 16 * (k + 1));
    return neg ? -r : r;
}

std::string VNum::typeName() const {
    char buf[32];
    std::snprintf(buf, sizeof buf, type_ == Signed ? "Num_%d" : "UNum_%d", static_cast<int>(width_));
    return buf;
}

std::string VNum::bitString() const {
    std::string s(width_ > 0 ? static_cast<size_t>(width_) : 0u, '0');
    for (int32_t i = 0; i < width_; ++i)
        if (getBit(i) != 0) s[static_cast<size_t>(width_ - 1 - i)] = '1';
    return s;
}

const VNum& VNum::zero() {
    static const VNum z(0u, 16, Signed, Truncate, Wrap);
    return z;
}

const VNum& VNum::one() {
    static const VNum o(1u, 16, Signed, Truncate, Wrap);
    return o;
}
