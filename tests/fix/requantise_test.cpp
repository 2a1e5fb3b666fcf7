// Requantising assignment: alignment, the four rounding modes, the rounding
// carry, the integer-part check under each overflow mode, status and formats.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <utility>

#include "fix_test_util.h"

namespace {

constexpr int32_t kModes[] = {Truncate, RoundHalfAway, RoundHalfEven, RoundHalfEvenHoldMax};

// Assigns src into a fresh (w, f, type, q, o) register; returns its payload,
// or sets *thrown to the text of the Overflow raised.
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
    struct Row {
        double in;
        int32_t byMode[4];  // Truncate, RoundHalfAway, RoundHalfEven, RoundHalfEvenHoldMax
    };
    const Row rows[] = {
        {2.5, {2, 3, 2, 2}},     {-2.5, {-3, -3, -2, -2}}, {3.5, {3, 4, 4, 4}},   {-0.25, {-1, 0, 0, 0}},
        {-0.5, {-1, -1, 0, 0}},  {0.5, {0, 1, 0, 0}},      {2.75, {2, 3, 3, 3}},  {-2.25, {-3, -2, -2, -2}},
        {-2.75, {-3, -3, -3, -3}}, {-3.5, {-4, -4, -4, -4}},
    };
    for (const Row& r : rows) {
        VFix src(0, 32, 16, Signed, Truncate, Wrap);
        src = r.in;
        for (int m = 0; m < 4; ++m)
            EXPECT_EQ(requantise(src, 8, 0, Signed, kModes[m], Saturate), r.byMode[m]) << r.in << " mode " << kModes[m];
    }
}

TEST(Requantise, RoundingCarryAndIntegerOverflowUnderEachOverflowMode) {
    struct Row {
        double in;
        int32_t type, q;
        i128 wrap, sat;
        const char* thrown;  // under Throw; null: same as Wrap
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
        if (r.thrown == nullptr) {
            EXPECT_EQ(thrown, nullptr) << r.in;
            EXPECT_EQ(t, r.wrap) << r.in;
        } else {
            ASSERT_NE(thrown, nullptr) << r.in;
            EXPECT_STREQ(thrown, r.thrown) << r.in;
        }
    }
}

TEST(Requantise, OverflowSignAndFlag) {
    VFix src(0, 24, 8, Signed, Truncate, Wrap), t(0, 8, 0, Signed, Truncate, Throw);
    for (double x : {300.0, -300.0}) {
        src = x;
        try {
            t = src;
            FAIL();
        } catch (const VNumException::Overflow& e) {
            EXPECT_EQ(e.value, x > 0 ? 1 : -1);
        }
    }
    VFix sat(0, 8, 0, Signed, Truncate, Saturate);
    sat = src;
    EXPECT_EQ(sat.flags() & 1u, 1u);
    src = 3.0;
    sat = src;
    EXPECT_EQ(sat.flags() & 1u, 0u);
}

TEST(Requantise, JustBelowOneCarriesIntoTheSignUnlessHeld) {
    const VFix src = withPayload(32767, 16, 15, Signed);  // 1 - 2^-15
    EXPECT_EQ(requantise(src, 8, 7, Signed, RoundHalfAway, Saturate), 127);
    EXPECT_EQ(requantise(src, 8, 7, Signed, RoundHalfAway, Wrap), -128);
    EXPECT_EQ(requantise(src, 8, 7, Signed, RoundHalfEven, Wrap), -128);
    EXPECT_EQ(requantise(src, 8, 7, Signed, RoundHalfEvenHoldMax, Wrap), 127);
    EXPECT_EQ(requantise(src, 8, 7, Signed, Truncate, Wrap), 127);
    // HoldMax holds only the largest pattern; below it the rounding is convergent.
    EXPECT_EQ(requantise(withPayload(0x7EC0, 16, 15, Signed), 8, 7, Signed, RoundHalfEvenHoldMax, Wrap), 127);
    EXPECT_EQ(requantise(withPayload(0x7E80, 16, 15, Signed), 8, 7, Signed, RoundHalfEvenHoldMax, Wrap), 126);
    EXPECT_EQ(requantise(withPayload(0x7D80, 16, 15, Signed), 8, 7, Signed, RoundHalfEvenHoldMax, Wrap), 126);
}

TEST(Requantise, HoldMaxOnlyWhenTheDestinationHasNoMoreIntegerBits) {
    // 15/16 into (4, 3, Unsigned): from (5, 4) the kept bits 0111 are held; from
    // (4, 4) the destination has an integer bit more and rounds up to 1.0.
    EXPECT_EQ(requantise(withPayload(15, 5, 4, Unsigned), 4, 3, Unsigned, RoundHalfEvenHoldMax, Wrap), 7);
    EXPECT_EQ(requantise(withPayload(15, 4, 4, Unsigned), 4, 3, Unsigned, RoundHalfEvenHoldMax, Wrap), 8);
}

TEST(Requantise, StatusAndShadowFollowTheSource) {
    VFix src(0, 16, 8, Signed, Truncate, Wrap), t(0, 8, 4, Signed, RoundHalfEven, Saturate);
    src = 0.3;
    t = src;
    EXPECT_EQ(t.getDbl(), 0.3);
    EXPECT_EQ(t.toDouble(), 5.0 / 16.0);  // 76/256 rounded to 1/16
    src.isKnown = 0;
    t = src;
    EXPECT_FALSE(t.valid());
    EXPECT_TRUE(std::isnan(t.toDouble()));
    EXPECT_EQ(t.toString(10, -1), "*X*");
    EXPECT_EQ(t.bitString(), "XXXX.XXXX");
    t = t;
    EXPECT_EQ(t.isKnown, 0);
    t = 0;
    EXPECT_TRUE(t.valid());
    EXPECT_EQ(t.getDbl(), 0.0);
    EXPECT_EQ(t.width(), 8);
}

TEST(Requantise, NaNGivesAnInvalidZeroAndConstantsKeepIsNumber) {
    VFix x(0, 8, 7, Signed, Truncate, Wrap);
    x = 0.5;
    x = std::nan("");
    EXPECT_FALSE(x.valid());
    EXPECT_EQ(x.getDbl(), 0.5);
    EXPECT_EQ(payloadOf(x), 0);
    EXPECT_TRUE(std::isnan(x.toDouble()));
    EXPECT_EQ(x.toString(10, -1), "NaN");
    const VFix one(1, 0, Signed, Truncate, Wrap);
    EXPECT_FALSE(x >= one);
    EXPECT_FALSE(x < one);
    EXPECT_FALSE(x != one);
    x.isConstant = 1;
    x = 0.25;
    x = std::nan("");
    EXPECT_EQ(x.isNumber, 1);
    EXPECT_EQ(x.isKnown, 0);
}

TEST(Requantise, DoubleAssignment) {
    struct Row {
        double in;
        int32_t w, f, type, q, o;
        i128 payload;
    };
    const Row rows[] = {
        {-1.0, 8, 7, Signed, RoundHalfAway, Saturate, -128},   {1.0, 8, 7, Signed, Truncate, Saturate, 127},
        {1.0, 8, 7, Signed, Truncate, Wrap, -128},             {127.6, 8, 0, Signed, RoundHalfAway, Saturate, 127},
        {127.6, 8, 0, Signed, RoundHalfAway, Wrap, -128},      {-3.0, 8, 0, Unsigned, Truncate, Saturate, 0},
        {-3.0, 8, 0, Unsigned, Truncate, Wrap, 253},           {-2.5, 8, 0, Signed, RoundHalfEvenHoldMax, Wrap, -2},
        {0.3, 8, 7, Signed, Truncate, Wrap, 38},               {96.0, 4, -5, Signed, Truncate, Wrap, 3},
    };
    for (const Row& r : rows) {
        VFix x(0, r.w, r.f, r.type, r.q, r.o);
        x = r.in;
        EXPECT_EQ(payloadOf(x), r.payload) << r.in;
        EXPECT_EQ(x.getDbl(), r.in);
    }
    // A scaled value beyond the range of a double still lands on its bits.
    VFix wide(0, 1100, 1000, Signed, Truncate, Wrap);
    wide = std::ldexp(1.0, 30);
    EXPECT_EQ(wide.getBit(1030), 1);
    EXPECT_EQ(wide.toDouble(), std::ldexp(1.0, 30));
}

TEST(SetFormat, KeepsTheValueAndRoundsOrClampsByTheNewModes) {
    VFix x(0, 8, 7, Signed, Truncate, Wrap);
    x = -0.5078125;  // -65/128
    x.setFormat(16, 15, Signed, Truncate, Wrap);
    EXPECT_EQ(payloadOf(x), -65 * 256);

    VFix y = withPayload(0x4180, 16, 15, Signed);  // 65.5 LSBs of (8, 7)
    y.setFormat(8, 7, 0, RoundHalfEven, 0);
    EXPECT_EQ(payloadOf(y), 66);

    for (const auto& [o, want] : {std::pair{Saturate, 7.9375}, std::pair{Wrap, 4.0}}) {
        VFix z(0, 16, 8, Signed, Truncate, Wrap);
        z = 20.0;
        z.setFormat(8, 4, Signed, Truncate, o);
        EXPECT_EQ(z.toDouble(), want);
    }

    // Signed to unsigned: before a left move the negative value is retyped
    // first; after a right move the rounded value is.
    for (const auto& [o, want] : {std::pair{Saturate, 0}, std::pair{Wrap, 232}}) {
        VFix n(0, 8, 4, Signed, Truncate, o);
        n = -1.5;
        n.setFormat(8, 4, Unsigned, 0, 0);
        EXPECT_EQ(payloadOf(n), want);
    }
    VFix r = withPayload(-1, 8, 4, Signed);
    r.setFormat(8, 2, Unsigned, RoundHalfAway, Wrap);
    EXPECT_EQ(payloadOf(r), 0);

    VFix thr(0, 8, 0, Signed, Truncate, Throw);
    thr = 100;
    EXPECT_THROW(thr.setFormat(8, 2, 0, 0, 0), VNumException::Overflow);
}

TEST(SetFormat, BoolsAndTheListConstructor) {
    VFix b(true);
    EXPECT_THROW(b.setFormat(8, 7, Signed, Truncate, Wrap), VNumException::UnimplementedSpec);
    b.setFormat(1, 0, Unsigned, Truncate, Wrap);
    EXPECT_EQ(b.typeName(), "Bool");
    VFix r;
    r.setFormatFrom(b);
    EXPECT_EQ(r.isBool, 1);
    EXPECT_EQ(r.typeName(), "Bool");
    VFix wide(0, 8, 0, Unsigned, Truncate, Wrap);
    EXPECT_THROW(wide.makeBool(), VNumException::UnimplementedSpec);

    const VFix good{16, 15, Signed, RoundHalfEven, Saturate};
    EXPECT_EQ(good.width(), 16);
    EXPECT_EQ(good.binaryPoint, 15);
    EXPECT_EQ(good.overflowMode(), Saturate);
    for (const VFix& bad : {VFix{16, 15, 3, Truncate, Wrap}, VFix{16, 15, Signed, 5, Wrap}, VFix{16, 15, Signed, 1, 0},
                            VFix{16, 15, Signed, Truncate}}) {
        EXPECT_EQ(bad.width(), 0);
        EXPECT_EQ(bad.binaryPoint, 0);
        EXPECT_EQ(bad.type(), Unsigned);
    }
}

// Exact reference of a requantisation on 128-bit integers. Sources are
// limited to d <= width - 1, where the bit-level decisions equal the
// arithmetic ones.
struct Fmt {
    int32_t w, f;
    bool sgn;
};

i128 refRequantise(i128 s, Fmt src, Fmt dst, int32_t q, int32_t o, const char** thrown) {
    const int32_t d = src.f - dst.f;
    const i128 a = d >= 0 ? floorShift(s, d) : s * pow2(-d);
    const i128 mod = pow2(dst.w);
    const i128 maxPat = dst.sgn ? pow2(dst.w - 1) - 1 : mod - 1;
    i128 p = ((a % mod) + mod) % mod;
    bool up = false;
    if (d >= 1) {
        const i128 rem = s - a * pow2(d), half = pow2(d - 1);
        const bool even = rem > half || (rem == half && (a & 1) != 0);
        switch (q) {
            case RoundHalfAway: up = s < 0 ? rem > half : rem >= half; break;
            case RoundHalfEven: up = even; break;
            case RoundHalfEvenHoldMax:
                up = even && !(dst.w - dst.f <= src.w - src.f && p == pow2(dst.w - 1) - 1);
                break;
            default: break;
        }
    }
    if (up) {
        if (p == maxPat && o == Throw) {
            *thrown = "Overflow on incr";
            return 0;
        }
        p = p == maxPat && o == Saturate ? maxPat : (p + 1) % mod;
    }
    if (o == Wrap) return p;
    const i128 lo = dst.sgn ? -pow2(dst.w - 1) : 0;
    bool over = a < lo || a > maxPat;
    // Only the bits that s has are examined: -1 always passes between signed formats.
    if (src.sgn && dst.sgn && s == -1) over = false;
    if (!over) return p;
    if (o == Throw) {
        *thrown = "during convert";
        return 0;
    }
    return s < 0 ? (lo % mod + mod) % mod : maxPat;
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
        const VFix x = withPayload(s, src.w, src.f, src.sgn ? Signed : Unsigned);
        const char *got = nullptr, *want = nullptr;
        const i128 expect = refRequantise(s, src, dst, q, o, &want);
        const i128 p = requantise(x, dst.w, dst.f, dst.sgn ? Signed : Unsigned, q, o, &got);
        const i128 mod = pow2(dst.w);
        ASSERT_EQ(got == nullptr ? "" : got, std::string(want == nullptr ? "" : want)) << "iteration " << iter;
        if (got == nullptr) {
            ASSERT_TRUE((p % mod + mod) % mod == expect)
                << "iteration " << iter << " src " << src.w << "," << src.f << "," << src.sgn << " dst " << dst.w << ","
                << dst.f << "," << dst.sgn << " q" << q << " o" << o << " s " << static_cast<double>(s) << " got "
                << static_cast<double>(p) << " want " << static_cast<double>(expect);
        }
    }
}

}  // namespace
