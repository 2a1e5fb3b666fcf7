// VNum: full-precision arithmetic, the in-place operations and comparison.
#include "num/VNum.h"

#include <algorithm>

#include "num/digits.h"

using namespace digits;

namespace {

// Compares two n-digit numbers.
int32_t compareDigits(const uint32_t* a, const uint32_t* b, int32_t n) {
    for (int32_t i = n - 1; i >= 0; --i)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return 0;
}

int32_t resultQuant(const VNum& a, const VNum& b) { return std::max(a.quantMode(), b.quantMode()); }

enum class BitOp { And, Or, Xor };

// a op b in a's format, b sign- or zero-extended (or cut) to a's width.
VNum bitwise(const VNum& a, const VNum& b, BitOp op) {
    VNum r(a);
    uint32_t* w = r.words();
    const Extended y(b);
    const int32_t n = r.wordCount();
    for (int32_t i = 0; i < n; ++i) {
        switch (op) {
            case BitOp::And: w[i] &= y[i]; break;
            case BitOp::Or: w[i] |= y[i]; break;
            case BitOp::Xor: w[i] ^= y[i]; break;
        }
    }
    w[n - 1] &= topMaskFor(r.topBits());
    return r;
}

}  // namespace

// --- full-precision arithmetic ------------------------------------------------------------

VNum operator+(const VNum& a, const VNum& b) {
    const bool sgn = a.type_ == Signed || b.type_ == Signed;
    VNum r(VNum::Uninit{}, std::max(a.width_, b.width_) + (sgn ? 2 : 1), sgn ? Signed : Unsigned,
           resultQuant(a, b), Throw);
    const Extended x(a), y(b);
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
    const Extended x(a), y(b);
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
    mulAccumulate(r.w_, r.nwords_, x, a.nwords_, y, b.nwords_);
    r.w_[r.nwords_ - 1] &= r.topMask();
    if (na != nb) {
        negateDigits(r.w_, r.nwords_);
        r.w_[r.nwords_ - 1] &= r.topMask();
    }
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
    if (negative) {
        negateDigits(quo, result.nwords_);
        quo[result.nwords_ - 1] &= result.topMask();
    }
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
    const uint32_t topMask = topMaskFor(topBitsFor(width));
    const Extended x(a), y(b);
    auto word = [&](const Extended& e, int32_t i) { return i == n - 1 ? e[i] & topMask : e[i]; };
    // The highest word that differs from the sign fill.
    auto significant = [&](const Extended& e) {
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

