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

constexpr int32_t kModes[] = {Truncate, RoundHalfAway, RoundHalfEven, RoundHalfEvenHoldMax};

// Assigns src into a fresh (w, f, type, q, o) register and returns its
// payload, or the text of the Overflow raised in *thrown.
i128 requantise(const VFix& src, int32_t w, int32_t f, int32_t type, int32_t q, int32_t o,
                const char** thrown = nullptr) {
    VFix t(0, w, f, type, q, o);
    try {
        t = src;
    } catch (const VNumException::Overflow& e) {
        if (thrown != nullptr) *thrown = e.message;
        return 0;
    }
    return payloadOf(t);
}

TEST(Requantise, TiesAtIntegerPrecisionByMode) {
    const std::pair<double, std::array<int, 4>> rows[] = {  // Truncate, HalfAway, HalfEven, HoldMax
        {2.5, {2, 3, 2, 2}},    {-2.5, {-3, -3, -2, -2}}, {3.5, {3, 4, 4, 4}},     {-0.25, {-1, 0, 0, 0}},
        {-0.5, {-1, -1, 0, 0}}, {2.75, {2, 3, 3, 3}},     {-2.25, {-3, -2, -2, -2}}, {-3.5, {-4, -4, -4, -4}},
    };
    for (const auto& [in, byMode] : rows) {
        VFix src(0, 32, 16, Signed, Truncate, Wrap);
        src = in;
        for (int m = 0; m < 4; ++m) EXPECT_EQ(requantise(src, 8, 0, Signed, kModes[m], Saturate), byMode[m]) << in;
    }
}

TEST(Requantise, RoundingCarryAndIntegerOverflowUnderEachOverflowMode) {
    struct Row {
        double in;
        int32_t type, q;
        i128 wrap, sat;
        const char* thrown;  // under Throw; null: the Wrap result, no exception
    };
    const Row rows[] = {
        {127.5, Signed, Truncate, 127, 127, nullptr},
        {127.5, Signed, RoundHalfAway, -128, 127, "Overflow on incr"},
        {127.5, Signed, RoundHalfEven, -128, 127, "Overflow on incr"},
        {127.5, Signed, RoundHalfEvenHoldMax, 127, 127, nullptr},
        {255.5, Unsigned, RoundHalfAway, 0, 255, "Overflow on incr"},
        {200.0, Signed, RoundHalfAway, -56, 127, "during convert"},
        {-200.0, Signed, Truncate, 56, -128, "during convert"},
        {-3.0, Unsigned, RoundHalfEven, 253, 0, "during convert"},
        {-128.0, Signed, Truncate, -128, -128, nullptr},
    };
    for (const Row& r : rows) {
        VFix src(0, 24, 8, Signed, Truncate, Wrap);
        src = r.in;
        EXPECT_EQ(requantise(src, 8, 0, r.type, r.q, Wrap), r.wrap) << r.in;
        EXPECT_EQ(requantise(src, 8, 0, r.type, r.q, Saturate), r.sat) << r.in;
        const char* thrown = nullptr;
        const i128 t = requantise(src, 8, 0, r.type, r.q, Throw, &thrown);
        EXPECT_EQ(std::string(thrown == nullptr ? "" : thrown), r.thrown == nullptr ? "" : r.thrown) << r.in;
        EXPECT_TRUE(r.thrown != nullptr || t == r.wrap) << r.in;
    }
    VFix thr(0, 8, 0, Signed, Truncate, Throw), sat(0, 8, 0, Signed, Truncate, Saturate);
    try {
        thr = withPayload(-300, 12, 0, Signed);
        ADD_FAILURE();
    } catch (const VNumException::Overflow& e) {
        EXPECT_EQ(e.value, -1);
    }
    sat = withPayload(-300, 12, 0, Signed);
    EXPECT_EQ(sat.flags() & 1u, 1u);
}

TEST(Requantise, HoldMaxKeepsTheLargestPatternWhenNoIntegerBitIsAdded) {
    // Just below 1.0 into (8, 7, Signed, Wrap): the rounding carries into the sign unless held.
    const i128 below = 32767;
    EXPECT_EQ(requantise(withPayload(below, 16, 15, Signed), 8, 7, Signed, RoundHalfAway, Saturate), 127);
    EXPECT_EQ(requantise(withPayload(below, 16, 15, Signed), 8, 7, Signed, RoundHalfAway, Wrap), -128);
    EXPECT_EQ(requantise(withPayload(below, 16, 15, Signed), 8, 7, Signed, RoundHalfEvenHoldMax, Wrap), 127);
    // Below the largest pattern HoldMax rounds convergently.
    EXPECT_EQ(requantise(withPayload(0x7EC0, 16, 15, Signed), 8, 7, Signed, RoundHalfEvenHoldMax, Wrap), 127);
    EXPECT_EQ(requantise(withPayload(0x7D80, 16, 15, Signed), 8, 7, Signed, RoundHalfEvenHoldMax, Wrap), 126);
    // 15/16 into (4, 3, Unsigned): held from (5, 4); from (4, 4) the destination
    // has an integer bit more and rounds up to 1.0.
    EXPECT_EQ(requantise(withPayload(15, 5, 4, Unsigned), 4, 3, Unsigned, RoundHalfEvenHoldMax, Wrap), 7);
    EXPECT_EQ(requantise(withPayload(15, 4, 4, Unsigned), 4, 3, Unsigned, RoundHalfEvenHoldMax, Wrap), 8);
}

TEST(Requantise, StatusShadowAndNaN) {
    VFix src(0, 16, 8, Signed, Truncate, Wrap), t(0, 8, 4, Signed, RoundHalfEven, Saturate);
    src = 0.3;
    t = src;
    EXPECT_EQ(t.getDbl(), 0.3);
    EXPECT_EQ(t.toDouble(), 5.0 / 16.0);  // 76/256 rounded to 1/16
    src.isKnown = 0;
    t = src;
    EXPECT_TRUE(std::isnan(t.toDouble()));
    EXPECT_EQ(t.toString(10, -1), "*X*");
    EXPECT_EQ(t.bitString(), "XXXX.XXXX");
    t = 0;
    EXPECT_TRUE(t.valid());
    EXPECT_EQ(t.getDbl(), 0.0);

    t = 0.5;
    t = std::nan("");
    EXPECT_EQ(t.getDbl(), 0.5);
    EXPECT_EQ(payloadOf(t), 0);
    EXPECT_EQ(t.toString(10, -1), "NaN");
    const VFix one(1, 0, Signed, Truncate, Wrap);
    EXPECT_FALSE(t >= one || t < one || t != one);
    t.isConstant = 1;
    t = 0.25;
    t = std::nan("");
    EXPECT_EQ(t.isNumber, 1);
    EXPECT_EQ(t.isKnown, 0);
}

TEST(Requantise, DoubleAssignment) {
    struct Row {
        double in;
        int32_t w, f, type, q, o;
        i128 payload;
    };
    const Row rows[] = {
        {-1.0, 8, 7, Signed, RoundHalfAway, Saturate, -128}, {1.0, 8, 7, Signed, Truncate, Saturate, 127},
        {1.0, 8, 7, Signed, Truncate, Wrap, -128},           {127.6, 8, 0, Signed, RoundHalfAway, Saturate, 127},
        {127.6, 8, 0, Signed, RoundHalfAway, Wrap, -128},    {-3.0, 8, 0, Unsigned, Truncate, Saturate, 0},
        {-3.0, 8, 0, Unsigned, Truncate, Wrap, 253},         {-2.5, 8, 0, Signed, RoundHalfEvenHoldMax, Wrap, -2},
        {96.0, 4, -5, Signed, Truncate, Wrap, 3},
    };
    for (const Row& r : rows) {
        VFix x(0, r.w, r.f, r.type, r.q, r.o);
        x = r.in;
        EXPECT_EQ(payloadOf(x), r.payload) << r.in;
    }
    // A scaled value beyond the range of a double still lands on its bits.
    VFix wide(0, 1100, 1000, Signed, Truncate, Wrap);
    wide = std::ldexp(1.0, 30);
    EXPECT_EQ(wide.getBit(1030), 1);
    EXPECT_EQ(wide.toDouble(), std::ldexp(1.0, 30));
}

TEST(SetFormat, KeepsTheValueAndRoundsOrClampsByTheNewModes) {
    VFix y = withPayload(0x4180, 16, 15, Signed);  // 65.5 units of (8, 7)
    y.setFormat(8, 7, 0, RoundHalfEven, 0);
    EXPECT_EQ(payloadOf(y), 66);
    y.setFormat(16, 15, 0, 0, 0);
    EXPECT_EQ(payloadOf(y), 66 * 256);
    for (const auto& [o, want] : {std::pair{Saturate, 7.9375}, std::pair{Wrap, 4.0}}) {
        VFix z = withPayload(20 * 256, 16, 8, Signed);
        z.setFormat(8, 4, Signed, Truncate, o);
        EXPECT_EQ(z.toDouble(), want);
    }
    // Signed to unsigned: before a left move the negative value is retyped;
    // after a right move the rounded value is.
    for (const auto& [o, want] : {std::pair{Saturate, 0}, std::pair{Wrap, 232}}) {
        VFix n = withPayload(-24, 8, 4, Signed, Truncate, o);
        n.setFormat(8, 4, Unsigned, 0, 0);
        EXPECT_EQ(payloadOf(n), want);
    }
    VFix r = withPayload(-1, 8, 4, Signed);
    r.setFormat(8, 2, Unsigned, RoundHalfAway, Wrap);
    EXPECT_EQ(payloadOf(r), 0);
    VFix thr = withPayload(100, 8, 0, Signed, Truncate, Throw);
    EXPECT_THROW(thr.setFormat(8, 2, 0, 0, 0), VNumException::Overflow);
}

TEST(SetFormat, BoolsAndTheListConstructor) {
    VFix b(true), r;
    EXPECT_THROW(b.setFormat(8, 7, Signed, Truncate, Wrap), VNumException::UnimplementedSpec);
    b.setFormat(1, 0, Unsigned, Truncate, Wrap);
    r.setFormatFrom(b);
    EXPECT_EQ(r.typeName(), "Bool");
    EXPECT_THROW(withPayload(0, 8, 0, Unsigned).makeBool(), VNumException::UnimplementedSpec);

    EXPECT_EQ((VFix{16, 15, Signed, RoundHalfEven, Saturate}).typeName(), "Fix_16_15v");
    for (const VFix& bad : {VFix{16, 15, 3, 1, 1}, VFix{16, 15, 2, 5, 1}, VFix{16, 15, 2, 1, 0}, VFix{16, 15, 2, 1}})
        EXPECT_EQ(bad.typeName(), "UFix_0_0v");
}

// Exact reference of a requantisation on 128-bit integers, for sources with
// d <= width - 1, where the bit-level decisions equal the arithmetic ones.
struct Fmt {
    int32_t w, f;
    bool sgn;
};

i128 refRequantise(i128 s, Fmt src, Fmt dst, int32_t q, int32_t o, std::string* thrown) {
    const int32_t d = src.f - dst.f;
    const i128 a = d >= 0 ? floorShift(s, d) : s * pow2(-d), mod = pow2(dst.w);
    const i128 lo = dst.sgn ? -pow2(dst.w - 1) : 0, maxPat = dst.sgn ? pow2(dst.w - 1) - 1 : mod - 1;
    i128 p = ((a % mod) + mod) % mod;
    bool up = false;
    if (d >= 1) {
        const i128 rem = s - a * pow2(d), half = pow2(d - 1);
        const bool even = rem > half || (rem == half && (a & 1) != 0);
        if (q == RoundHalfAway) up = s < 0 ? rem > half : rem >= half;
        if (q == RoundHalfEven) up = even;
        if (q == RoundHalfEvenHoldMax) up = even && !(dst.w - dst.f <= src.w - src.f && p == pow2(dst.w - 1) - 1);
    }
    if (up && p == maxPat && o == Throw) {
        *thrown = "Overflow on incr";
        return 0;
    }
    if (up) p = p == maxPat && o == Saturate ? maxPat : (p + 1) % mod;
    // Only the bits that s has are examined: -1 always passes between signed formats.
    const bool over = (a < lo || a > maxPat) && !(src.sgn && dst.sgn && s == -1);
    if (o == Wrap || !over) return p;
    if (o == Throw) {
        *thrown = "during convert";
        return 0;
    }
    return s < 0 ? (lo + mod) % mod : maxPat;
}

TEST(Requantise, MatchesExactArithmeticOnRandomFormats) {
    std::mt19937_64 rng(20240611);
    for (int iter = 0; iter < 8000; ++iter) {
        // Widths on both sides of 64 bits, where payloads leave machine words.
        const Fmt src{1 + static_cast<int32_t>(rng() % 70), static_cast<int32_t>(rng() % 56) - 8, rng() % 2 == 0};
        const int32_t d = static_cast<int32_t>(rng() % (src.w + 40)) - 40;  // -40 .. src.w - 1
        const Fmt dst{1 + static_cast<int32_t>(rng() % 70), src.f - d, rng() % 2 == 0};
        const int32_t q = kModes[rng() % 4], o = 1 + static_cast<int32_t>(rng() % 3);
        const i128 s = randomPayload(rng, src.w, src.sgn);
        std::string want;
        const i128 expect = refRequantise(s, src, dst, q, o, &want);
        const char* got = nullptr;
        const i128 p = requantise(withPayload(s, src.w, src.f, src.sgn ? Signed : Unsigned), dst.w, dst.f,
                                  dst.sgn ? Signed : Unsigned, q, o, &got);
        ASSERT_EQ(std::string(got == nullptr ? "" : got), want) << "iteration " << iter;
        ASSERT_TRUE(got != nullptr || (p % pow2(dst.w) + pow2(dst.w)) % pow2(dst.w) == expect) << "iteration " << iter;
    }
}

}  // namespace
