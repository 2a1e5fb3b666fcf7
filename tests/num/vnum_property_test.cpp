// Random operands checked against independent computations: __int128 arithmetic
// for narrow values, and two's-complement vectors of bits for wide ones.
#include <cmath>
#include <random>
#include <vector>

#include "num/vnum_test_util.h"

namespace {

std::mt19937_64 rng(20240611);

int32_t pick(int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(rng); }

// Random pattern of the given format; edge patterns (all ones, lone top bit, ...) come often.
VNum randomNum(int32_t width, int32_t type, int32_t q = Truncate, int32_t o = Wrap) {
    VNum r(0u, width, type, q, o);
    const int32_t kind = pick(0, 5);
    for (int32_t i = 0; i < width; ++i) {
        int32_t bit = static_cast<int32_t>(rng() & 1);
        if (kind == 0) bit = 1;
        if (kind == 1) bit = i == width - 1 ? 1 : 0;
        if (kind == 2) bit = i == width - 1 ? 0 : 1;
        if (kind == 3 && i < width / 2) bit = 0;
        r.setBit(i, bit);
    }
    return r;
}

int32_t anyType() { return pick(Unsigned, Signed); }

i128 lowest(int32_t w, int32_t t) { return t == Signed && w > 0 ? -(i128(1) << (w - 1)) : 0; }
i128 highest(int32_t w, int32_t t) { return t == Signed ? (i128(1) << (w - 1)) - 1 : (i128(1) << w) - 1; }

// v modulo 2^w, read by type t.
i128 wrap(i128 v, int32_t w, int32_t t) {
    const unsigned __int128 m = (static_cast<unsigned __int128>(1) << w) - 1;
    const unsigned __int128 u = static_cast<unsigned __int128>(v) & m;
    if (t == Signed && w > 0 && ((u >> (w - 1)) & 1) != 0) return static_cast<i128>(u) - (i128(1) << w);
    return static_cast<i128>(u);
}

i128 floorShift(i128 v, int32_t d) { return d >= 0 ? v >> d : v * (i128(1) << -d); }

}  // namespace

TEST(VNumProperty, NarrowArithmeticAndCompare) {
    for (int iter = 0; iter < 3000; ++iter) {
        const int32_t wa = pick(0, 62), wb = pick(0, 62);
        const VNum a = randomNum(wa, anyType()), b = randomNum(wb, anyType());
        const i128 x = val(a), y = val(b);
        const bool sgn = a.type() == Signed || b.type() == Signed;
        const int32_t st = sgn ? Signed : Unsigned;
        EXPECT_NUM(a + b, x + y, std::max(wa, wb) + (sgn ? 2 : 1), st);
        EXPECT_NUM(a - b, x - y, std::max(wa, wb) + 2, Signed);
        EXPECT_NUM(a * b, x * y, wa + wb + (sgn ? 1 : 0), st);
        const int32_t c = VNum::compare(a, b);
        EXPECT_EQ((c > 0) - (c < 0), (x > y) - (x < y)) << dec(x) << " vs " << dec(y);
        EXPECT_NUM(~a, wrap(~x, wa, a.type()), wa, a.type());
        if (y != 0 && wa > 0) {
            EXPECT_EQ(dec(val(a / b)), dec(x / y)) << dec(x) << " / " << dec(y);
        }
        if (wa <= 53) {
            EXPECT_EQ(a.toDouble(), static_cast<double>(x));
        }
    }
}

TEST(VNumProperty, NarrowConversion) {
    for (int iter = 0; iter < 3000; ++iter) {
        const int32_t ws = pick(0, 62), wd = pick(1, 62), td = anyType();
        const VNum s = randomNum(ws, anyType());
        const i128 v = val(s);
        const bool fits = v >= lowest(wd, td) && v <= highest(wd, td);
        const bool oneBitQuirk = s.type() == Signed && td == Signed && wd == 1 && ws > 1;
        const i128 clamped = fits ? v : v < 0 ? lowest(wd, td) : highest(wd, td);
        const i128 expect[] = {wrap(v, wd, td), clamped, fits && !oneBitQuirk ? v : 0};
        for (int32_t mode : {Wrap, Saturate, Throw}) {
            VNum d(0u, wd, td, Truncate, mode);
            const bool throws = !overflowText([&] { d = s; }).empty();
            EXPECT_EQ(throws, mode == Throw && (!fits || oneBitQuirk)) << dec(v) << " into " << wd;
            EXPECT_EQ(dec(val(d)), dec(expect[mode - 1])) << dec(v) << " into " << wd << " mode " << mode;
            if (mode != Throw) {
                VNum r = s;
                r.resize(wd, td, 0, mode);
                EXPECT_EQ(dec(val(r)), dec(expect[mode - 1]));
            }
        }
    }
}

TEST(VNumProperty, NarrowRequantisation) {
    for (int iter = 0; iter < 3000; ++iter) {
        const int32_t ws = pick(1, 62), wt = pick(1, 62), tt = anyType();
        const VNum s = randomNum(ws, anyType());
        const i128 v = val(s);
        const int32_t sp = pick(0, 30), dp = pick(0, 30), d = sp - dp;
        VNum t = randomNum(wt, tt, Truncate, Saturate);
        t.alignTo(s, sp, dp);
        const i128 aligned = floorShift(v, d);
        EXPECT_EQ(dec(val(t)), dec(wrap(aligned, wt, tt))) << dec(v) << " d=" << d;
        // -1 always fits a signed destination, even one whose range lies below one source unit.
        const int32_t e = (ws - sp) - (wt - dp);
        const bool minusOne = s.type() == Signed && tt == Signed && v == -1 && e >= ws;
        const bool fits = minusOne || (aligned >= lowest(wt, tt) && aligned <= highest(wt, tt));
        const i128 before = val(t);
        t.checkConvert(s, sp, dp);
        EXPECT_EQ((t.flags() & 1u) != 0, !fits) << dec(v) << " sp " << sp << " dp " << dp;
        EXPECT_EQ(dec(val(t)), dec(fits ? before : v < 0 ? lowest(wt, tt) : highest(wt, tt)));
        if (d >= 1 && d < ws) {
            const i128 twice = v >> (d - 1);  // floor(2v / 2^d): its low bit is the half bit
            const bool half = (twice & 1) != 0, above = half && (v & ((i128(1) << (d - 1)) - 1)) != 0;
            const bool away = v >= 0 ? half : above;
            const bool even = half && (above || ((v >> d) & 1) != 0);
            EXPECT_EQ(t.roundsAway(s, sp, dp), away) << dec(v) << " d=" << d;
            EXPECT_EQ(t.roundsEven(s, sp, dp), even) << dec(v) << " d=" << d;
        }
    }
}

TEST(VNumProperty, NarrowShifts) {
    for (int iter = 0; iter < 3000; ++iter) {
        const int32_t w = pick(2, 62), t = anyType(), n = pick(1, w - 1);
        const VNum s = randomNum(w, t);
        const i128 v = val(s);
        const i128 fl = v >> n, rest = v - fl * (i128(1) << n), half = i128(1) << (n - 1);
        const i128 rounded[] = {fl, fl + (rest > half || (rest == half && v >= 0) ? 1 : 0),
                                fl + (rest > half || (rest == half && (fl & 1) != 0) ? 1 : 0)};
        for (int32_t q : {Truncate, RoundHalfAway, RoundHalfEven}) {
            VNum r = s;
            r.retype(0, q, 0);
            r >>= n;
            EXPECT_EQ(dec(val(r)), dec(rounded[q - 1])) << dec(v) << " >> " << n << " quant " << q;
        }
        const i128 up = v * (i128(1) << n);
        const bool fits = up >= lowest(w, t) && up <= highest(w, t);
        for (int32_t mode : {Wrap, Saturate, Throw}) {
            VNum r = s;
            r.retype(0, 0, mode);
            const bool throws = !overflowText([&] { r <<= n; }).empty();
            EXPECT_EQ(throws, mode == Throw && !fits);
            const i128 expect = mode == Wrap || fits ? wrap(up, w, t) : mode == Saturate ? (v < 0 ? lowest(w, t) : highest(w, t)) : v;
            EXPECT_EQ(dec(val(r)), dec(expect)) << dec(v) << " << " << n << " mode " << mode;
        }
    }
}

TEST(VNumProperty, AssignDouble) {
    for (int iter = 0; iter < 3000; ++iter) {
        const int32_t w = pick(1, 40), t = anyType(), q = pick(Truncate, RoundHalfEvenHoldMax), o = pick(Wrap, Throw);
        // Dyadic values near the range limits, so that ties and overflows are common.
        const int64_t mant = static_cast<int64_t>(rng() % (uint64_t(1) << std::min(w + 3, 44)));
        const double x = std::ldexp(static_cast<double>(mant), -pick(0, 3)) * (rng() & 1 ? -1 : 1);
        const double r = q == Truncate ? std::floor(x)
                         : q == RoundHalfAway ? std::copysign(std::floor(std::fabs(x) + 0.5), x)
                                              : std::nearbyint(x);
        const i128 rv = static_cast<i128>(r);
        const bool fits = rv >= lowest(w, t) && rv <= highest(w, t);
        const double limit = std::ldexp(1.0, w - (t == Signed ? 1 : 0));
        const bool flag = x >= limit || (t == Signed ? x < -limit : x <= -limit);
        VNum v(0u, w, t, q, o);
        const bool throws = !overflowText([&] { v.assignDouble(x); }).empty();
        // A one-bit signed value refuses the -1 that rounding a small negative value brings in.
        const bool oneBit = t == Signed && w == 1 && rv == -1 && x > -1;
        EXPECT_EQ(throws, o == Throw && (!fits || flag || oneBit || (t == Unsigned && x < 0))) << x << " into " << w;
        if (o == Throw) continue;
        const i128 expect = o == Wrap || fits ? wrap(rv, w, t) : rv < 0 ? lowest(w, t) : highest(w, t);
        EXPECT_EQ(dec(val(v)), dec(expect)) << x << " into " << w << " quant " << q << " mode " << o;
        EXPECT_EQ((v.flags() & 1u) != 0, flag) << x << " into " << w;
    }
}

// ---------------------------------------------------------------------------------------
// Wide values: two's-complement bit vectors of kRefBits bits, least significant first.

namespace {

constexpr int32_t kRefBits = 720;
using Bits = std::vector<int>;

Bits refOf(const VNum& x) {
    Bits b(kRefBits);
    const int fill = x.type() == Signed ? x.getBit(x.width() - 1) : 0;
    for (int32_t i = 0; i < kRefBits; ++i) b[i] = i < x.width() ? x.getBit(i) : fill;
    return b;
}

Bits refAdd(const Bits& a, const Bits& b) {
    Bits r(kRefBits);
    int carry = 0;
    for (int32_t i = 0; i < kRefBits; ++i) {
        const int s = a[i] + b[i] + carry;
        r[i] = s & 1;
        carry = s >> 1;
    }
    return r;
}

Bits refNeg(const Bits& a) {
    Bits inv(kRefBits), one(kRefBits);
    for (int32_t i = 0; i < kRefBits; ++i) inv[i] = 1 - a[i];
    one[0] = 1;
    return refAdd(inv, one);
}

Bits refShift(const Bits& a, int32_t n) {  // a * 2^n, or floor(a / 2^-n) for n < 0
    Bits r(kRefBits);
    for (int32_t i = 0; i < kRefBits; ++i) {
        const int32_t j = i - n;
        r[i] = j < 0 ? 0 : a[std::min(j, kRefBits - 1)];
    }
    return r;
}

Bits refMul(const Bits& a, const Bits& b) {  // modulo 2^kRefBits, which holds every product here
    Bits r(kRefBits);
    for (int32_t i = 0; i < kRefBits; ++i)
        if (b[i] != 0) r = refAdd(r, refShift(a, i));
    return r;
}

int refCmp(const Bits& a, const Bits& b) {
    if (a.back() != b.back()) return a.back() != 0 ? -1 : 1;
    for (int32_t i = kRefBits - 1; i >= 0; --i)
        if (a[i] != b[i]) return a[i] - b[i];
    return 0;
}

bool refFits(const Bits& a, int32_t w, int32_t t) {
    if (t == Unsigned) {
        for (int32_t i = w; i < kRefBits; ++i)
            if (a[i] != 0) return false;
        return true;
    }
    for (int32_t i = w - 1; i < kRefBits; ++i)
        if (a[i] != a.back()) return false;
    return true;
}

// The low w bits of a, extended by type t.
Bits refWrap(const Bits& a, int32_t w, int32_t t) {
    Bits r(a.begin(), a.begin() + w);
    r.resize(kRefBits, t == Signed && w > 0 ? a[w - 1] : 0);
    return r;
}

Bits refExtreme(int32_t w, int32_t t, bool low) {
    Bits r(kRefBits, 0);
    if (t == Signed) {
        for (int32_t i = 0; i < kRefBits; ++i) r[i] = (i >= w - 1) == low ? 1 : 0;
    } else if (!low) {
        std::fill(r.begin(), r.begin() + w, 1);
    }
    return r;
}

int32_t wideWidth() { return pick(0, 3) == 0 ? pick(0, 40) : pick(63, 300); }

}  // namespace

TEST(VNumProperty, WideArithmetic) {
    for (int iter = 0; iter < 150; ++iter) {
        const VNum a = randomNum(wideWidth(), anyType()), b = randomNum(wideWidth(), anyType());
        const Bits x = refOf(a), y = refOf(b);
        EXPECT_EQ(refOf(a + b), refAdd(x, y)) << a.width() << " + " << b.width();
        EXPECT_EQ(refOf(a - b), refAdd(x, refNeg(y))) << a.width() << " - " << b.width();
        EXPECT_EQ(refOf(a * b), refMul(x, y)) << a.width() << " * " << b.width();
        const int32_t c = VNum::compare(a, b), rc = refCmp(x, y);
        EXPECT_EQ((c > 0) - (c < 0), (rc > 0) - (rc < 0));
        VNum n = a;
        n.retype(0, 0, Wrap);
        n.negate();
        EXPECT_EQ(refOf(n), refWrap(refNeg(x), a.width(), a.type()));
    }
}

TEST(VNumProperty, WideConversionAndShifts) {
    for (int iter = 0; iter < 300; ++iter) {
        const VNum s = randomNum(wideWidth(), anyType());
        const Bits x = refOf(s);
        const int32_t wd = pick(2, 300), td = anyType();
        const bool fits = refFits(x, wd, td);
        const bool neg = x.back() != 0;
        for (int32_t mode : {Wrap, Saturate, Throw}) {
            VNum d(0u, wd, td, Truncate, mode);
            const bool throws = !overflowText([&] { d = s; }).empty();
            EXPECT_EQ(throws, mode == Throw && !fits);
            const Bits expect = mode == Saturate && !fits ? refExtreme(wd, td, neg)
                                : mode == Throw && !fits  ? Bits(kRefBits, 0)
                                                          : refWrap(x, wd, td);
            EXPECT_EQ(refOf(d), expect) << s.width() << " into " << wd << " mode " << mode;
        }
        const int32_t shift = pick(-200, 200);
        VNum t(0u, wd, td, Truncate, Wrap);
        t.alignTo(s, shift > 0 ? shift : 0, shift > 0 ? 0 : -shift);
        EXPECT_EQ(refOf(t), refWrap(refShift(x, -shift), wd, td));
        if (s.width() < 2) continue;
        const int32_t n = pick(1, s.width() - 1);
        VNum r = s;
        r.retype(0, RoundHalfEven, Throw);
        r >>= n;
        const Bits fl = refShift(x, -n);
        const bool half = x[n - 1] != 0, odd = fl[0] != 0;
        bool sticky = false;
        for (int32_t i = 0; i + 1 < n; ++i) sticky = sticky || x[i] != 0;
        Bits one(kRefBits);
        one[0] = 1;
        EXPECT_EQ(refOf(r), half && (sticky || odd) ? refAdd(fl, one) : fl) << s.width() << " >> " << n;
        VNum l = s;
        l.retype(0, 0, Wrap);
        l <<= n;
        EXPECT_EQ(refOf(l), refWrap(refShift(x, n), s.width(), s.type()));
        EXPECT_EQ(refOf(s << n), refShift(x, n));
    }
}
