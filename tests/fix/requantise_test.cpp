// Requantising assignment: alignment, the four rounding modes, the rounding
// carry, the integer-part check under each overflow mode, status and formats.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <utility>

#include "fix_test_util.h"

namespace {

// Assigns src into a fresh (w, f, type, q, o) register and returns the payload
// it holds afterwards, also when an Overflow leaves; *thrown gets "text value".
i128 requantise(const VFix& src, int32_t w, int32_t f, int32_t type, int32_t q, int32_t o,
                std::string* thrown = nullptr) {
    VFix t(0, w, f, type, q, o);
    const std::string text = overflowOf([&] { t = src; });
    if (thrown != nullptr) *thrown = text;
    return payloadOf(t);
}

TEST(Requantise, TiesAtIntegerPrecisionByMode) {
    const std::pair<double, std::array<int, 4>> rows[] = {  // Truncate, HalfAway, HalfEven, HoldMax
        {2.5, {2, 3, 2, 2}},    {-2.5, {-3, -3, -2, -2}}, {3.5, {3, 4, 4, 4}},     {-0.25, {-1, 0, 0, 0}},
        {-0.5, {-1, -1, 0, 0}}, {2.75, {2, 3, 3, 3}},     {-2.25, {-3, -2, -2, -2}}, {-3.5, {-4, -4, -4, -4}},
    };
    for (const auto& [in, byMode] : rows)
        for (int32_t q = Truncate; q <= RoundHalfEvenHoldMax; ++q)
            EXPECT_EQ(requantise(withPayload(static_cast<i128>(in * 4), 16, 2, Signed), 8, 0, Signed, q, Saturate),
                      byMode[q - 1]);
}

// Each row from a (24, 8) source in machine words and from a (88, 72) source
// beyond them. Under Throw the register keeps the aligned, rounded and wrapped
// bits; only the integer-part check sets the overflow bit.
TEST(Requantise, RoundingCarryAndIntegerOverflowUnderEachOverflowMode) {
    const struct { double in; int32_t type, q; i128 wrap, sat; const char* thrown; } rows[] = {
        {127.5, Signed, Truncate, 127, 127, ""},     {127.5, Signed, RoundHalfAway, -128, 127, "Overflow on incr 0"},
        {-128.0, Signed, Truncate, -128, -128, ""},  {127.5, Signed, RoundHalfEven, -128, 127, "Overflow on incr 0"},
        {127.5, Signed, RoundHalfEvenHoldMax, 127, 127, ""},
        {255.5, Unsigned, RoundHalfAway, 0, 255, "Overflow on incr 0"},
        {200.0, Signed, RoundHalfAway, -56, 127, "during convert 1"},
        {-200.0, Signed, Truncate, 56, -128, "during convert -1"},
        {-3.0, Unsigned, RoundHalfEven, 253, 0, "during convert -1"},
    };
    for (const int32_t extra : {0, 64}) {
        for (const auto& r : rows) {
            const VFix src = withPayload(static_cast<i128>(r.in * 256) * pow2(extra), 24 + extra, 8 + extra, Signed);
            VFix sat(0, 8, 0, r.type, r.q, Saturate);
            sat = src;
            std::string thrown;
            EXPECT_TRUE(requantise(src, 8, 0, r.type, r.q, Wrap) == r.wrap && payloadOf(sat) == r.sat &&
                        requantise(src, 8, 0, r.type, r.q, Throw, &thrown) == r.wrap && thrown == r.thrown &&
                        (sat.flags() & 1u) == (thrown.rfind("during", 0) == 0 ? 1u : 0u))
                << r.in << " " << r.q << " " << extra;
        }
    }
}

TEST(Requantise, HoldMaxKeepsTheLargestPatternWhenNoIntegerBitIsAdded) {
    const struct { i128 p; int32_t ws, fs, type, wt, ft; i128 want; } rows[] = {
        // Just below 1.0: held, no carry into the sign; below the largest pattern: convergent.
        {32767, 16, 15, Signed, 8, 7, 127}, {pow2(69) - 1, 70, 69, Signed, 66, 65, pow2(65) - 1},
        {0x7EC0, 16, 15, Signed, 8, 7, 127}, {0x7D80, 16, 15, Signed, 8, 7, 126},
        // 15/16 is held from (5, 4), not from (4, 4), which has an integer bit less.
        {15, 5, 4, Unsigned, 4, 3, 7}, {15, 4, 4, Unsigned, 4, 3, 8},
        {pow2(68) - 1, 68, 68, Unsigned, 68, 67, pow2(67)},
    };
    for (const auto& r : rows)
        EXPECT_TRUE(requantise(withPayload(r.p, r.ws, r.fs, r.type), r.wt, r.ft, r.type, RoundHalfEvenHoldMax, Wrap) ==
                    r.want);
}

TEST(Requantise, StatusShadowAndNaN) {
    VFix t(0, 8, 4, Signed, RoundHalfEven, Saturate), src = withPayload(76, 16, 8, Signed);
    src.shadow = 0.3;
    t = src;
    EXPECT_TRUE(t.getDbl() == 0.3 && t.toDouble() == 5.0 / 16.0);  // 76/256 rounded to 1/16
    src.isKnown = 0;
    t = src;
    EXPECT_TRUE(std::isnan(t.toDouble()) && t.toString(10, -1) == "*X*" && t.bitString() == "XXXX.XXXX");
    EXPECT_TRUE((t = 0).valid() && t.getDbl() == 0.0);
    (t = 0.5) = std::nan("");
    EXPECT_TRUE(t.getDbl() == 0.5 && payloadOf(t) == 0 && t.toString(10, -1) == "NaN");
    EXPECT_FALSE(t >= VFix(1, 0, Signed, Truncate, Wrap) || t < VFix(true) || t != VFix(true));
    (t = 0.25).isConstant = 1;  // a constant keeps isNumber
    t = std::nan("");
    EXPECT_TRUE(t.isNumber == 1 && t.isKnown == 0);
}

TEST(Requantise, DoubleAssignment) {
    const struct { double in; int32_t w, f, type, q, o; i128 payload; } rows[] = {
        {-1.0, 8, 7, Signed, RoundHalfAway, Saturate, -128}, {1.0, 8, 7, Signed, Truncate, Saturate, 127},
        {1.0, 8, 7, Signed, Truncate, Wrap, -128},           {127.6, 8, 0, Signed, RoundHalfAway, Wrap, -128},
        {96.0, 4, -5, Signed, Truncate, Wrap, 3},            {-2.5, 8, 0, Signed, RoundHalfEvenHoldMax, Wrap, -2},
    };
    for (const auto& r : rows) EXPECT_EQ(payloadOf(VFix(0, r.w, r.f, r.type, r.q, r.o) = r.in), r.payload) << r.in;
    VFix wide(0, 1100, 1000, Signed, Truncate, Wrap);  // x * 2^1000 is beyond the doubles: still exact
    EXPECT_TRUE((wide = std::ldexp(1.0, 30)).getBit(1030) == 1 && wide.toDouble() == std::ldexp(1.0, 30));
}

TEST(SetFormat, KeepsTheValueAndRoundsOrClampsByTheNewModes) {
    // 65.5 units of (8, 7) and back; 20.0 clamps to 7.9375; a negative value is retyped before
    // a move to the left and after rounding (-1/16 to 0) on a move to the right.
    const struct { i128 p; int32_t w, f, q, o, nw, nf, ntype; i128 want; } rows[] = {  // Signed sources
        {0x4180, 16, 15, RoundHalfEven, Wrap, 8, 7, Signed, 66}, {66, 8, 7, Truncate, Wrap, 16, 15, Signed, 16896},
        {5120, 16, 8, Truncate, Saturate, 8, 4, Signed, 127},   {5120, 16, 8, Truncate, Wrap, 8, 4, Signed, 64},
        {-24, 8, 4, Truncate, Saturate, 8, 4, Unsigned, 0},     {-24, 8, 4, Truncate, Wrap, 8, 4, Unsigned, 232},
        {-1, 8, 4, RoundHalfAway, Wrap, 8, 2, Unsigned, 0},
    };
    for (const auto& r : rows) {
        VFix v = withPayload(r.p, r.w, r.f, Signed);
        v.setFormat(r.nw, r.nf, r.ntype, r.q, r.o);
        EXPECT_TRUE(payloadOf(v) == r.want) << static_cast<int>(r.p);
    }
    VFix thr = withPayload(-100, 8, 4, Signed, Truncate, Throw);  // retyped before the move could overflow
    EXPECT_EQ(overflowOf([&] { thr.setFormat(8, 5, Unsigned, 0, 0); }), "negative value retyped to unsigned 0");
}

TEST(SetFormat, BoolsAndTheListConstructor) {
    VFix b(true), r;
    EXPECT_THROW(b.setFormat(8, 7, Signed, Truncate, Wrap), VNumException::UnimplementedSpec);
    EXPECT_THROW(withPayload(0, 8, 0, Unsigned).makeBool(), VNumException::UnimplementedSpec);
    b.setFormat(1, 0, Unsigned, Truncate, Wrap);
    r.setFormatFrom(b);
    EXPECT_EQ(r.typeName(), "Bool");

    EXPECT_EQ((VFix{16, 15, Signed, RoundHalfEven, Saturate}).typeName(), "Fix_16_15v");
    for (const VFix& bad : {VFix{16, 15, 3, 1, 1}, VFix{16, 15, 2, 5, 1}, VFix{16, 15, 2, 1, 0}, VFix{16, 15, 2, 1}})
        EXPECT_EQ(bad.typeName(), "UFix_0_0v");
}

// Exact reference of a requantisation on 128-bit integers. The rounding
// decisions read bits of s, where positions at or above its width read its
// top bit (which matters only when d reaches the width).
struct Fmt { int32_t w, f; bool sgn; };

i128 refRequantise(i128 s, Fmt src, Fmt dst, int32_t q, int32_t o, std::string* thrown) {
    const int32_t d = src.f - dst.f;
    const i128 a = d >= 0 ? floorShift(s, d) : s * pow2(-d), mod = pow2(dst.w), pat = wrapTo(s, src.w, false);
    const i128 lo = dst.sgn ? -pow2(dst.w - 1) : 0, maxPat = dst.sgn ? pow2(dst.w - 1) - 1 : mod - 1;
    const auto bit = [&](int32_t i) { return i >= 0 && ((pat >> std::min(i, src.w - 1)) & 1) != 0; };
    const auto anyBelow = [&](int32_t hi) { return hi >= 0 && (pat & (pow2(std::min(hi, src.w - 1) + 1) - 1)) != 0; };
    i128 p = wrapTo(a, dst.w, false);
    bool up = false;
    if (d >= 1) {
        const bool even = bit(d - 1) && (bit(d) || anyBelow(d - 2));
        if (q == RoundHalfAway) up = bit(d - 1) && (s >= 0 || anyBelow(std::min(d, src.w) - 2));
        if (q == RoundHalfEven) up = even;
        if (q == RoundHalfEvenHoldMax) up = even && !(dst.w - dst.f <= src.w - src.f && p == pow2(dst.w - 1) - 1);
    }
    const bool carry = up && p == maxPat;
    if (up) p = carry && o == Saturate ? maxPat : (p + 1) % mod;
    if (carry && o == Throw) *thrown = "Overflow on incr 0";
    // Only the bits that s has are examined: -1 always passes between signed formats.
    const bool over = (a < lo || a > maxPat) && !(src.sgn && dst.sgn && s == -1);
    if (o == Wrap || !over || !thrown->empty()) return p;
    if (o == Throw) *thrown = s < 0 ? "during convert -1" : "during convert 1";
    return o == Throw ? p : s < 0 ? (lo + mod) % mod : maxPat;
}

TEST(Requantise, MatchesExactArithmeticOnRandomFormats) {
    std::mt19937_64 rng(20240611);
    for (int iter = 0; iter < 8000; ++iter) {
        // Widths on both sides of 64 bits, where payloads leave machine words,
        // and up to 40 bits dropped beyond the source's width.
        const Fmt src{1 + static_cast<int32_t>(rng() % 70), static_cast<int32_t>(rng() % 56) - 8, rng() % 2 == 0};
        const int32_t d = static_cast<int32_t>(rng() % (src.w + 80)) - 40;  // -40 .. src.w + 39
        const Fmt dst{1 + static_cast<int32_t>(rng() % 70), src.f - d, rng() % 2 == 0};
        const int32_t q = 1 + static_cast<int32_t>(rng() % 4), o = 1 + static_cast<int32_t>(rng() % 3);
        const i128 s = randomPayload(rng, src.w, src.sgn);
        std::string want, got;
        const i128 expect = refRequantise(s, src, dst, q, o, &want);
        const i128 p = requantise(withPayload(s, src.w, src.f, src.sgn ? Signed : Unsigned), dst.w, dst.f,
                                  dst.sgn ? Signed : Unsigned, q, o, &got);
        ASSERT_TRUE(got == want && wrapTo(p, dst.w, false) == expect) << "iteration " << iter << " " << got;
    }
}

}  // namespace
