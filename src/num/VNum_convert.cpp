// VNum: conversions from and to doubles and integers, and text.
#include "num/VNum.h"

#include <cmath>
#include <cstdio>

#include "num/digits.h"

using namespace digits;

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
