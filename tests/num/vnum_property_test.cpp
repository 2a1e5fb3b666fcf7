// Random operands checked against independent computations: __int128 arithmetic
// for narrow values, and two's-complement vectors of bits for wide ones.
#include <cmath>
#include <random>
#include <vector>

#include "num/vnum_test_util.h"

namespace {

std::mt19937_64 rng(20240611);

int32_t pick(int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(rng); }
int32_t anyType() { return pick(Unsigned, Signed); }

// Random pattern of the given format; edge patterns (all ones, lone top bit, ...) come often.
VNum randomNum(int32_t width, int32_t type) {
    VNum r(0u, width, type, Truncate, Wrap);
    const int32_t kind = pick(0, 5);
    for (int32_t i = 0; i < width; ++i) {
        const int32_t coin = static_cast<int32_t>(rng() & 1);
        const int32_t bits[] = {1, i == width - 1, i != width - 1, i < width / 2 ? 0 : coin, coin, coin};
        r.setBit(i, bits[kind]);
    }
    return r;
}

i128 lowest(int32_t w, int32_t t) { return t == Signed && w > 0 ? -(i128(1) << (w - 1)) : 0; }
i128 highest(int32_t w, int32_t t) { return t == Signed ? (w > 0 ? (i128(1) << (w - 1)) - 1 : 0) : (i128(1) << w) - 1; }
bool inRange(i128 v, int32_t w, int32_t t) { return v >= lowest(w, t) && v <= highest(w, t); }

// v modulo 2^w, read by type t.
i128 wrap(i128 v, int32_t w, int32_t t) {
    const unsigned __int128 u = static_cast<unsigned __int128>(v) & ((static_cast<unsigned __int128>(1) << w) - 1);
    if (t == Signed && w > 0 && ((u >> (w - 1)) & 1) != 0) return static_cast<i128>(u) - (i128(1) << w);
    return static_cast<i128>(u);
}

// v brought into (w, t): the low bits under Wrap or when it fits, else the extreme of its sign.
i128 clamp(i128 v, int32_t w, int32_t t, int32_t mode) {
    return mode == Wrap || inRange(v, w, t) ? wrap(v, w, t) : v < 0 ? lowest(w, t) : highest(w, t);
}

// Wide values: two's-complement bit vectors of kRefBits bits, least significant first.

constexpr int32_t kRefBits = 720;
using Bits = std::vector<int>;

Bits refOf(const VNum& x) {  // extended by its type
    Bits b(kRefBits, x.type() == Signed ? x.getBit(x.width() - 1) : 0);
    for (int32_t i = 0; i < x.width(); ++i) b[i] = x.getBit(i);
    return b;
}

Bits refAdd(const Bits& a, const Bits& b, int carry = 0) {
    Bits r(kRefBits);
    for (int32_t i = 0; i < kRefBits; ++i, carry >>= 1) r[i] = (carry += a[i] + b[i]) & 1;
    return r;
}

Bits refNeg(Bits a) {
    for (int& bit : a) bit ^= 1;
    return refAdd(a, Bits(kRefBits), 1);
}

Bits refShift(const Bits& a, int32_t n) {  // a * 2^n, or floor(a / 2^-n) for n < 0
    Bits r(kRefBits);
    for (int32_t i = 0; i < kRefBits; ++i) r[i] = i - n < 0 ? 0 : a[std::min(i - n, kRefBits - 1)];
    return r;
}

Bits refMul(const Bits& a, const Bits& b) {  // modulo 2^kRefBits, which holds every product here
    Bits r(kRefBits);
    for (int32_t i = 0; i < kRefBits; ++i) r = b[i] != 0 ? refAdd(r, refShift(a, i)) : r;
    return r;
}

// The low w bits of a, extended by type t.
Bits refWrap(const Bits& a, int32_t w, int32_t t) {
    Bits r(a.begin(), a.begin() + w);
    r.resize(kRefBits, t == Signed && w > 0 ? a[w - 1] : 0);
    return r;
}

Bits refExtreme(int32_t w, int32_t t, bool low) {
    Bits r(kRefBits);
    for (int32_t i = 0; i < kRefBits; ++i) r[i] = t == Signed ? (i >= w - 1) == low : !low && i < w;
    return r;
}

int32_t wideWidth() { return pick(0, 3) == 0 ? pick(0, 40) : pick(63, 300); }

}  // namespace

TEST(VNumProperty, NarrowValues) {
    for (int iter = 0; iter < 4000; ++iter) {
        const int32_t wa = pick(0, 62), wb = pick(0, 62), ta = anyType(), wd = pick(1, 62), td = anyType();
        const VNum a = randomNum(wa, ta), b = randomNum(wb, anyType());
        const i128 x = val(a), y = val(b);
        const int32_t st = std::max(ta, b.type());  // Signed when either is
        const bool sgn = st == Signed;
        EXPECT_NUM(a + b, x + y, std::max(wa, wb) + (sgn ? 2 : 1), st);
        EXPECT_NUM(a - b, x - y, std::max(wa, wb) + 2, Signed);
        EXPECT_NUM(a * b, x * y, wa + wb + (sgn ? 1 : 0), st);
        EXPECT_NUM(a & b, wrap(x & y, wa, ta), wa, ta);  // b sign- or zero-extended, or cut
        EXPECT_NUM(a | b, wrap(x | y, wa, ta), wa, ta);
        EXPECT_NUM(a ^ b, wrap(x ^ y, wa, ta), wa, ta);
        EXPECT_NUM(~a, wrap(~x, wa, ta), wa, ta);
        const int32_t c = VNum::compare(a, b);
        EXPECT_EQ((std::vector<bool>{c < 0, c == 0, a < b, a > b, a <= b, a >= b, a == b, a != b}),
                  (std::vector<bool>{x < y, x == y, x < y, x > y, x <= y, x >= y, x == y, x != y}));
        if (y != 0 && wa > 0) {
            EXPECT_NUM(a / b, x / y, wa + wb + (sgn ? 1 : 0), st);
            EXPECT_NUM(a % b, wrap(x, wa, Signed) % y, wa, Signed);  // a is first read as signed
        }
        if (wa <= 53) { EXPECT_EQ(a.toDouble(), static_cast<double>(x)); }
        // A signed value shrunk to one bit never fits, whatever its value.
        const bool oneBit = ta == Signed && td == Signed && wd == 1 && wa > 1;
        for (int32_t mode : {Wrap, Saturate, Throw}) {
            const bool fails = mode != Wrap && (oneBit || !inRange(x, wd, td));
            VNum d(0u, wd, td, Truncate, mode), r(a, 0, 0, 0, mode);
            EXPECT_EQ(!thrown([&] { d = a; }).empty(), fails && mode == Throw) << dec(x) << " into " << wd;
            EXPECT_VAL(d, fails && mode == Throw ? 0 : clamp(x, wd, td, mode)) << dec(x) << " into " << wd;
            if (mode != Throw) r.resize(wd, td, 0, 0);
            EXPECT_VAL(r, mode != Throw ? clamp(x, wd, td, mode) : x);
            if (wa == 0) continue;
            VNum inc(a, 0, 0, 0, mode), decr = inc, neg = inc;
            const bool incOver = mode != Wrap && x == highest(wa, ta), decOver = mode != Wrap && x == lowest(wa, ta);
            const bool negOver = mode != Wrap && (ta == Signed ? x == lowest(wa, ta) : x != 0);
            EXPECT_EQ(thrown([&] { inc.increment(); }), incOver && mode == Throw ? "Overflow on incr" : "");
            EXPECT_VAL(inc, incOver && mode == Saturate ? x : wrap(x + 1, wa, ta));
            EXPECT_EQ(thrown([&] { decr.decrement(); }), decOver && mode == Throw ? "Overflow on decr" : "");
            EXPECT_VAL(decr, decOver && mode == Saturate ? x : wrap(x - 1, wa, ta));
            EXPECT_EQ(thrown([&] { neg.negate(); }),
                      !negOver || mode != Throw ? "" : ta == Signed ? "Overflow on incr" : "negating unsigned VNum");
            EXPECT_VAL(neg, !negOver ? wrap(-x, wa, ta) : mode == Throw ? x : ta == Signed ? highest(wa, ta) : 0);
            // Left shifts, also by the width or more: only zero fits then.
            const int32_t n = pick(1, wa + 2);
            const i128 up = x * (i128(1) << n);
            EXPECT_NUM(a << n, up, wa + n, ta);  // exact in a wider copy
            const bool over = mode != Wrap && !inRange(up, wa, ta);
            VNum l(a, 0, 0, 0, mode);
            int32_t sign = 0;
            EXPECT_EQ(thrown([&] { l <<= n; }, &sign), over && mode == Throw ? "during left shift" : "");
            EXPECT_EQ(sign, over && mode == Throw ? (x < 0 ? -1 : 1) : 0);
            EXPECT_VAL(l, over && mode == Throw ? x : clamp(up, wa, ta, mode)) << dec(x) << " << " << n;
        }
        if (wa < 2) continue;
        const int32_t n = pick(1, wa - 1);
        const i128 fl = x >> n, rest = x - fl * (i128(1) << n), half = i128(1) << (n - 1);
        const i128 even = fl + (rest > half || (rest == half && (fl & 1) != 0) ? 1 : 0);
        const i128 rounded[] = {fl, fl + (rest > half || (rest == half && x >= 0) ? 1 : 0), even, even};
        for (int32_t q : {Truncate, RoundHalfAway, RoundHalfEven, RoundHalfEvenHoldMax})
            EXPECT_NUM(VNum(a, 0, 0, q, Throw) >> n, rounded[q - 1], wa, ta) << dec(x) << " >> " << n << " q" << q;
    }
}

TEST(VNumProperty, NarrowRequantisation) {
    for (int iter = 0; iter < 3000; ++iter) {
        const int32_t ws = pick(1, 62), wt = pick(1, 62), tt = anyType();
        const VNum s = randomNum(ws, anyType());
        const i128 v = val(s);
        const int32_t sp = pick(0, 30), dp = pick(0, 30), d = sp - dp;
        VNum t(randomNum(wt, tt), 0, 0, 0, Saturate);
        t.alignTo(s, sp, dp);
        const i128 aligned = d >= 0 ? v >> d : v * (i128(1) << -d);
        EXPECT_VAL(t, wrap(aligned, wt, tt)) << dec(v) << " d=" << d;
        // -1 always fits a signed destination, even one whose range lies below one source unit.
        const bool minusOne = s.type() == Signed && tt == Signed && v == -1 && (ws - sp) - (wt - dp) >= ws;
        const bool fits = minusOne || inRange(aligned, wt, tt);
        const i128 before = val(t);
        t.checkConvert(s, sp, dp);
        EXPECT_EQ((t.flags() & 1u) != 0, !fits) << dec(v) << " sp " << sp << " dp " << dp;
        EXPECT_VAL(t, fits ? before : v < 0 ? lowest(wt, tt) : highest(wt, tt));
        if (d < 1 || d >= ws) continue;
        const bool half = ((v >> (d - 1)) & 1) != 0, above = half && (v & ((i128(1) << (d - 1)) - 1)) != 0;
        EXPECT_EQ(t.roundsAway(s, sp, dp), v >= 0 ? half : above) << dec(v) << " d=" << d;
        EXPECT_EQ(t.roundsEven(s, sp, dp), half && (above || ((v >> d) & 1) != 0)) << dec(v) << " d=" << d;
    }
}

TEST(VNumProperty, AssignDouble) {
    for (int iter = 0; iter < 3000; ++iter) {
        const int32_t w = pick(1, 40), t = anyType(), q = pick(Truncate, RoundHalfEvenHoldMax), o = pick(Wrap, Throw);
        // Dyadic values near the range limits, so that ties and overflows are common.
        const int64_t mant = static_cast<int64_t>(rng() % (uint64_t(1) << std::min(w + 3, 44)));
        const double x = std::ldexp(static_cast<double>(mant), -pick(0, 3)) * (rng() & 1 ? -1 : 1);
        const i128 rv = i128(q == Truncate ? std::floor(x) : q == RoundHalfAway ? std::round(x) : std::nearbyint(x));
        const double limit = std::ldexp(1.0, w - (t == Signed ? 1 : 0));
        const bool flag = x >= limit || (t == Signed ? x < -limit : x <= -limit);
        // A one-bit signed value refuses the -1 that rounding a small negative value brings in.
        const bool oneBit = t == Signed && w == 1 && rv == -1 && x > -1;
        const bool negUnsigned = t == Unsigned && x < 0;
        const bool throws = o == Throw && (!inRange(rv, w, t) || flag || oneBit || negUnsigned);
        const std::string text = !flag && !negUnsigned ? "on decreasing resize"
            : std::string("VNum-assign-from-double") + (flag ? " saturated" : ", negative to unsigned");
        VNum v(1u, w, t, q, o);
        EXPECT_EQ(thrown([&] { v.assignDouble(x); }), throws ? text : "") << x << " into " << w;
        EXPECT_EQ((v.flags() & 1u) != 0, flag) << x << " into " << w;
        // A refused rounding step leaves the digits written before it; the other refusals leave the value.
        const i128 kept = text[0] == 'o' ? rv + (x < 0 ? 1 : -1) : val(VNum(1u, w, t, q, o));
        EXPECT_VAL(v, throws ? kept : clamp(rv, w, t, o)) << x << " into " << w << " quant " << q << " mode " << o;
    }
}


TEST(VNumProperty, WideValues) {
    for (int iter = 0; iter < 300; ++iter) {
        const VNum s = randomNum(wideWidth(), anyType()), b = randomNum(wideWidth(), anyType());
        const Bits x = refOf(s), y = refOf(b), diff = refAdd(x, refNeg(y));
        EXPECT_EQ(refOf(s + b), refAdd(x, y)) << s.width() << " + " << b.width();
        EXPECT_EQ(refOf(s - b), diff) << s.width() << " - " << b.width();
        EXPECT_EQ(refOf(s * b), refMul(x, y)) << s.width() << " * " << b.width();
        const int32_t c = VNum::compare(s, b);
        EXPECT_EQ((c > 0) - (c < 0), diff.back() != 0 ? -1 : diff != Bits(kRefBits) ? 1 : 0);
        EXPECT_EQ(refOf(-VNum(s, 0, 0, 0, Wrap)), refWrap(refNeg(x), s.width(), s.type()));
        const int32_t wd = pick(2, 300), td = anyType();
        const bool fits = refWrap(x, wd, td) == x;
        for (int32_t mode : {Wrap, Saturate, Throw}) {
            VNum d(0u, wd, td, Truncate, mode);
            EXPECT_EQ(!thrown([&] { d = s; }).empty(), mode == Throw && !fits);
            EXPECT_EQ(refOf(d), fits || mode == Wrap ? refWrap(x, wd, td)
                                : mode == Throw      ? Bits(kRefBits) : refExtreme(wd, td, x.back() != 0));
        }
        const int32_t shift = pick(-200, 200);
        VNum t(0u, wd, td, Truncate, Wrap);
        t.alignTo(s, std::max(shift, 0), std::max(-shift, 0));
        EXPECT_EQ(refOf(t), refWrap(refShift(x, -shift), wd, td));
        if (s.width() < 2) continue;
        const int32_t n = pick(1, s.width() - 1);
        const VNum r = VNum(s, 0, 0, RoundHalfEven, Throw) >> n;
        const Bits fl = refShift(x, -n);
        const bool sticky = fl[0] != 0 || std::count(x.begin(), x.begin() + n - 1, 1) != 0;  // or odd
        EXPECT_EQ(refOf(r), refAdd(fl, Bits(kRefBits), x[n - 1] != 0 && sticky)) << s.width() << " >> " << n;
        VNum l(s, 0, 0, 0, Wrap);
        l <<= n;
        EXPECT_EQ(refOf(l), refWrap(refShift(x, n), s.width(), s.type()));
        EXPECT_EQ(refOf(s << n), refShift(x, n));
    }
}
