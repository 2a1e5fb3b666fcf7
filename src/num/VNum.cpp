// VNum: storage, construction, assignment between formats, and the format and
// single bits of a value.
//
// Values of up to kInlineWords words live inside the object; wider ones own a
// heap array whose capacity is at least the word count.

#include "num/VNum.h"

#include <algorithm>
#include <cmath>

#include "num/digits.h"

using namespace digits;

namespace {

// Number of bits needed to write v (0 for 0).
int32_t bitLength(uint32_t v) { return v == 0 ? 0 : 32 - __builtin_clz(v); }

// Position of the highest bit that differs from the sign (the highest 0 of a
// negative value, the highest 1 of any other); 0 when there is none.
int32_t significantBit(const VNum& v, bool neg) {
    const uint32_t* w = v.words();
    for (int32_t i = v.wordCount() - 1; i >= 0; --i) {
        const uint32_t m = i == v.wordCount() - 1 ? topMaskFor(v.topBits()) : kDigitMask;
        const uint32_t d = (neg ? ~w[i] : w[i]) & m;
        if (d != 0) return 16 * i + bitLength(d) - 1;
    }
    return 0;
}

}  // namespace

// --- storage ------------------------------------------------------------------

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

void VNum::allocate(int32_t width) {
    takeStorage(wordsFor(width));
    setWidth(width);
    clearWords();
}

void VNum::copyWordsFrom(const VNum& s) { std::copy(s.w_, s.w_ + nwords_, w_); }

void VNum::copyExtended(const VNum& s) {
    loadDigits(s, w_, nwords_);
    w_[nwords_ - 1] &= topMask();
}

// --- construction ---------------------------------------------------------------

VNum::VNum() { inline_[0] = 0; }

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


const VNum& VNum::zero() {
    static const VNum z(0u, 16, Signed, Truncate, Wrap);
    return z;
}

const VNum& VNum::one() {
    static const VNum o(1u, 16, Signed, Truncate, Wrap);
    return o;
}
