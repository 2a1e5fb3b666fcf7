// Requantisation blocks, shifts, doubles and text forms of VNum.
#include <cmath>

#include "num/vnum_test_util.h"

TEST(VNumConvert, AlignTo) {
    VNum t = num(0, 24, Signed);
    t.alignTo(num(-0xEDCC, 20, Signed), 0, 4);
    EXPECT_EQ(t.words()[0], 0x2340u);
    EXPECT_EQ(t.words()[1], 0xF1u);
    struct Case { int64_t v; int32_t w, type, src, dst, tw, tt; int64_t expect; };
    const Case cases[] = {
        {-1, 8, Signed, 3, 0, 8, Signed, -1},       {-8, 8, Signed, 3, 0, 8, Signed, -1},
        {15, 4, Unsigned, 3, 0, 8, Signed, 1},      {-8, 4, Signed, 0, 0, 8, Signed, -8},
        {0x1234, 16, Unsigned, 0, 20, 40, Signed, int64_t(0x1234) << 20},
        {-3, 4, Signed, 0, 17, 24, Unsigned, -(int64_t(3) << 17) & 0xFFFFFF},  // t's type is not consulted
        {0x7654321, 28, Signed, 21, 0, 7, Signed, 0x3B},  {-5, 8, Signed, 40, 0, 8, Signed, -1},
        {5, 8, Signed, 40, 0, 8, Signed, 0},
    };
    for (const Case& c : cases) {
        VNum dst = num(77, c.tw, c.tt);
        dst.alignTo(num(c.v, c.w, c.type), c.src, c.dst);
        EXPECT_EQ(dec(val(dst)), dec(c.expect)) << c.v << " " << c.src << "->" << c.dst;
    }
    VNum self = num(-100, 40, Signed);
    self.alignTo(self, 0, 5);
    EXPECT_EQ(dec(val(self)), "-3200");
    self.alignTo(self, 7, 0);
    EXPECT_EQ(dec(val(self)), "-25");
}

TEST(VNumConvert, RoundingDecisions) {
    struct Case { int64_t v; int32_t w, type, d; bool away, even; };
    const Case cases[] = {
        {6, 8, Signed, 2, true, true},      // 1.5
        {-2, 8, Signed, 2, false, true},    // -0.5: already away after the floor; even rounds to 0
        {-3, 8, Signed, 2, false, false},   // -0.75
        {-1, 8, Signed, 2, true, true},     // -0.25
        {3, 8, Signed, 1, true, true},      {1, 8, Signed, 1, true, false},
        {5, 8, Signed, 1, true, false},     {7, 8, Signed, 1, true, true},
        {9, 8, Signed, 3, false, false},    // 1.125
        {5, 8, Signed, 0, false, false},    {5, 8, Signed, -2, false, false},
        {0x80, 8, Unsigned, 10, true, true},  // past the width the top bit stands in
        {0x7F, 8, Signed, 10, false, false},  {-128, 8, Signed, 8, false, true},
        {-127, 8, Signed, 10, true, true},
    };
    for (const Case& c : cases) {
        const VNum s = num(c.v, c.w, c.type);
        const VNum t = num(0, 8, Signed);
        EXPECT_EQ(t.roundsAway(s, c.d, 0), c.away) << c.v << " d=" << c.d;
        EXPECT_EQ(t.roundsEven(s, c.d + 3, 3), c.even) << c.v << " d=" << c.d;
    }
}

TEST(VNumConvert, CheckConvert) {
    // (16, Signed) with 4 fraction bits into (12, Signed) with 4: 8 integer bits.
    struct Case { double x; bool over; int32_t sign; };
    for (const Case c : {Case{-128.0, false, 0}, Case{127.9375, false, 0}, Case{128.0, true, 1},
                         Case{-128.0625, true, -1}, Case{0.0, false, 0}}) {
        const VNum s = num(static_cast<int64_t>(c.x * 16), 16, Signed);
        for (int32_t mode : {Wrap, Saturate, Throw}) {
            VNum t = num(5, 12, Signed, Truncate, mode);
            int32_t value = 0;
            const std::string text = overflowText([&] { t.checkConvert(s, 4, 4); }, &value);
            const bool seen = c.over && mode != Wrap;
            EXPECT_EQ(t.flags() & 1u, seen ? 1u : 0u) << c.x << " mode " << mode;
            EXPECT_EQ(text, seen && mode == Throw ? "during convert" : "");
            if (seen && mode == Throw) {
                EXPECT_EQ(value, c.sign);
            }
            const int64_t expect = seen && mode == Saturate ? (c.sign > 0 ? 2047 : -2048) : 5;
            EXPECT_EQ(dec(val(t)), dec(expect));
        }
    }
    struct TypeCase { int64_t v; int32_t ws, ts, sp, wt, tt, dp; bool over; };
    const TypeCase types[] = {
        {-1, 8, Signed, 0, 16, Unsigned, 0, true},  // negative into unsigned, even with room
        {127, 8, Signed, 0, 7, Unsigned, 0, false}, {128, 9, Signed, 0, 7, Unsigned, 0, true},
        {255, 8, Unsigned, 0, 8, Signed, 0, true},  {127, 8, Unsigned, 0, 8, Signed, 0, false},
        {255, 8, Unsigned, 0, 8, Unsigned, 0, false}, {256, 9, Unsigned, 0, 8, Unsigned, 0, true},
        {7, 8, Unsigned, 2, 1, Unsigned, 0, false}, {8, 8, Unsigned, 2, 1, Unsigned, 0, true},
        {-1, 4, Signed, 0, 1, Signed, 0, false},    {1, 4, Signed, 0, 1, Signed, 0, true},
        {1, 4, Signed, 0, 40, Signed, 39, true},    {-1, 4, Signed, 0, 40, Signed, 39, false},
    };
    for (const TypeCase& c : types) {
        VNum t = num(0, c.wt, c.tt, Truncate, Saturate);
        t.checkConvert(num(c.v, c.ws, c.ts), c.sp, c.dp);
        EXPECT_EQ((t.flags() & 1u) != 0, c.over) << c.v << " into " << c.wt;
    }
    VNum odd = num(5, 8, Signed, Truncate, 7);  // any mode but Wrap and Throw saturates
    odd.checkConvert(num(-300, 12, Signed), 0, 0);
    EXPECT_EQ(dec(val(odd)), "-128");
}

TEST(VNumConvert, LeftShift) {
    struct Case { int64_t v; int32_t w, t, n; int64_t wrap, sat; int32_t thrValue; };
    const Case cases[] = {
        {1, 8, Signed, 7, -128, 127, 1},    {-2, 8, Signed, 7, 0, -128, -1},
        {3, 8, Unsigned, 6, 192, 192, 0},   {3, 8, Unsigned, 7, 128, 255, 1},
        {-1, 8, Signed, 7, -128, -128, 0},  {5, 40, Signed, 33, int64_t(5) << 33, int64_t(5) << 33, 0},
        {0x1234, 40, Unsigned, 27, int64_t(0x1234) << 27, int64_t(0x1234) << 27, 0},
        {0x1234, 40, Unsigned, 28, (int64_t(0x1234) << 28) & 0xFFFFFFFFFFLL, 0xFFFFFFFFFFLL, 1},
        {5, 8, Signed, 8, 0, 127, 1},       {-5, 8, Signed, 20, 0, -128, -1},
        {0, 8, Signed, 30, 0, 0, 0},        {-6, 8, Signed, -1, -3, -3, 0},
    };
    for (const Case& c : cases) {
        VNum w = num(c.v, c.w, c.t, Truncate, Wrap), s = num(c.v, c.w, c.t, Truncate, Saturate);
        VNum t = num(c.v, c.w, c.t, Truncate, Throw);
        w <<= c.n;
        s <<= c.n;
        int32_t value = 0;
        const std::string text = overflowText([&] { t <<= c.n; }, &value);
        EXPECT_EQ(dec(val(w)), dec(c.wrap)) << c.v << " << " << c.n;
        EXPECT_EQ(dec(val(s)), dec(c.sat)) << c.v << " << " << c.n;
        EXPECT_EQ(text, c.thrValue != 0 ? "during left shift" : "");
        EXPECT_EQ(value, c.thrValue);
        EXPECT_EQ(dec(val(t)), dec(c.thrValue != 0 ? c.v : c.wrap));  // unchanged when it throws
    }
    VNum bad = num(1, 8, Signed, Truncate, 9);
    EXPECT_THROW(bad <<= 8, std::bad_exception);
    try {
        bad <<= 9;
    } catch (const std::bad_exception& e) {
        EXPECT_STREQ(e.what(), "bad exception");
    }
    const VNum x = num(-3, 5, Signed, RoundHalfEven, Saturate);
    EXPECT_NUM(x << 20, -(int64_t(3) << 20), 25, Signed);
    EXPECT_EQ((x << 20).quantMode(), RoundHalfEven);
    EXPECT_NUM(x >> 1, -2, 5, Signed);
}

TEST(VNumConvert, RightShiftRounding) {
    struct Case { int64_t v; int32_t w, t, n; int64_t trunc, away, even; };
    const Case cases[] = {
        {-6, 8, Signed, 2, -2, -2, -2},     {-5, 8, Signed, 1, -3, -3, -2},
        {5, 8, Signed, 1, 2, 3, 2},         {7, 8, Signed, 1, 3, 4, 4},
        {-7, 8, Signed, 1, -4, -4, -4},     {-6, 8, Signed, 1, -3, -3, -3},
        {0x1FFFF, 18, Unsigned, 1, 0xFFFF, 0x10000, 0x10000},  // the increment carries across words
        {-0x18000, 20, Signed, 16, -2, -2, -2},  {-0x17FFF, 20, Signed, 16, -2, -1, -1},
        {5, 8, Signed, 8, 0, 0, 0},         {-5, 8, Signed, 8, -1, 0, 0},
        {0x80, 8, Unsigned, 8, 0, 1, 0},    {0x80, 8, Unsigned, 9, 0, 0, 0},
        {-1, 1, Signed, 1, -1, -1, 0},      {-1, 1, Signed, 2, -1, 0, 0},
        {3, 8, Signed, -2, 12, 12, 12},
    };
    for (const Case& c : cases) {
        const int64_t expect[] = {c.trunc, c.away, c.even, c.even};
        for (int32_t q : {Truncate, RoundHalfAway, RoundHalfEven, RoundHalfEvenHoldMax}) {
            VNum v = num(c.v, c.w, c.t, q, Throw);
            v >>= c.n;
            EXPECT_EQ(dec(val(v)), dec(expect[q - 1])) << c.v << " >> " << c.n << " quant " << q;
        }
    }
}

TEST(VNumConvert, AssignDouble) {
    struct Case { double x; int32_t q, mode; int64_t expect; bool flag; const char* fails; };
    const Case cases[] = {
        {-128.0, Truncate, Throw, -128, false, ""},
        {127.5, RoundHalfAway, Saturate, 127, false, ""},
        {127.5, RoundHalfAway, Throw, 127, false, "on decreasing resize"},  // digits written, +1 refused
        {127.5, RoundHalfAway, Wrap, -128, false, ""},
        {-2.5, RoundHalfAway, Wrap, -3, false, ""},
        {-2.5, RoundHalfEven, Wrap, -2, false, ""},
        {-2.5, RoundHalfEvenHoldMax, Wrap, -2, false, ""},
        {-2.5, Truncate, Wrap, -3, false, ""},
        {-3.5, RoundHalfEven, Wrap, -4, false, ""},
        {2.5, RoundHalfEven, Wrap, 2, false, ""},
        {2.75, Truncate, Wrap, 2, false, ""},
        {-0.25, Truncate, Wrap, -1, false, ""},
        {200.0, Truncate, Wrap, -56, true, ""},
        {200.0, Truncate, Saturate, 127, true, ""},
        {-300.0, Truncate, Saturate, -128, true, ""},
        {200.0, Truncate, Throw, 9, true, "VNum-assign-from-double saturated"},
        {-128.5, RoundHalfEven, Saturate, -128, true, ""},
        {-127.5, RoundHalfAway, Throw, -128, false, ""},
        {1e300, Truncate, Saturate, 127, true, ""},
    };
    for (const Case& c : cases) {
        VNum v = num(9, 8, Signed, c.q, c.mode);
        EXPECT_EQ(overflowText([&] { v.assignDouble(c.x); }), c.fails) << c.x;
        EXPECT_EQ(dec(val(v)), dec(c.expect)) << c.x << " quant " << c.q << " mode " << c.mode;
        EXPECT_EQ(v.flags() & 1u, c.flag ? 1u : 0u) << c.x;
    }
    struct UCase { double x; int32_t q, mode; int64_t expect; const char* fails; };
    const UCase unsignedCases[] = {
        {-1.0, Truncate, Saturate, 0, ""},
        {-1.0, Truncate, Throw, 9, "VNum-assign-from-double, negative to unsigned"},
        {-1.0, Truncate, Wrap, 255, ""},
        {-0.25, RoundHalfAway, Throw, 9, "VNum-assign-from-double, negative to unsigned"},
        {255.5, RoundHalfAway, Throw, 255, "on decreasing resize"},
        {255.5, RoundHalfAway, Saturate, 255, ""},
        {255.5, RoundHalfAway, Wrap, 0, ""},
        {255.5, RoundHalfEven, Throw, 255, "on decreasing resize"},
        {254.5, RoundHalfEven, Throw, 254, ""},
    };
    for (const UCase& c : unsignedCases) {
        VNum v = num(9, 8, Unsigned, c.q, c.mode);
        EXPECT_EQ(overflowText([&] { v.assignDouble(c.x); }), c.fails) << c.x;
        EXPECT_EQ(dec(val(v)), dec(c.expect)) << c.x << " mode " << c.mode;
        EXPECT_EQ(v.flags() & 1u, 0u);
    }
    VNum wide(0u, 100, Signed, RoundHalfEven, Throw);
    wide.assignDouble(-std::ldexp(3.0, 80) - 0.5);  // not representable: rounds to -3 * 2^80
    EXPECT_EQ(dec(val(wide)), "-" + dec(i128(3) << 80));
    wide.assignDouble(std::ldexp(1.0, 98) + std::ldexp(1.0, 60));
    EXPECT_EQ(dec(val(wide)), dec((i128(1) << 98) + (i128(1) << 60)));
    wide.assignDouble(std::ldexp(1.0, 50) + std::ldexp(1.0, 10) + 7.5);
    EXPECT_EQ(dec(val(wide)), dec((i128(1) << 50) + (i128(1) << 10) + 8));
    wide.assignInt(-5);
    EXPECT_EQ(dec(val(wide)), "-5");
    EXPECT_THROW(wide.assignDouble(1e100), VNumException::Overflow);
    EXPECT_EQ(wide.flags() & 1u, 1u);
    EXPECT_EQ(dec(val(wide)), "-5");
    wide.assignInt(0);  // zero leaves the flags alone
    EXPECT_EQ(dec(val(wide)), "0");
    EXPECT_EQ(wide.flags() & 1u, 1u);
    VNum nan(0u, 8, Signed, Truncate, Saturate);
    nan.assignDouble(std::nan(""));
    EXPECT_EQ(dec(val(nan)), "0");
    nan.assignDouble(-HUGE_VAL);
    EXPECT_EQ(dec(val(nan)), "-128");
}

TEST(VNumConvert, ToDouble) {
    EXPECT_EQ(num(-65536, 17, Signed).toDouble(), -65536.0);
    EXPECT_EQ(num(-1, 64, Unsigned).toDouble(), 18446744073709551616.0);
    EXPECT_EQ(num(-128, 8, Signed).toDouble(), -128.0);
    EXPECT_EQ(num(-32768, 16, Signed).toDouble(), -32768.0);
    EXPECT_EQ(num(0x7FFF, 16, Unsigned).toDouble(), 32767.0);
    EXPECT_EQ(VNum().toDouble(), 0.0);
    VNum big(0u, 4096, Signed, Truncate, Wrap);
    big.setBit(4000, 1);
    EXPECT_EQ(big.toDouble(), std::ldexp(1.0, 4000));  // beyond the double range
    big.setBit(4095, 1);
    EXPECT_EQ(big.toDouble(), -HUGE_VAL);
    VNum mid(0u, 200, Signed, Truncate, Wrap);
    mid.setBit(150, 1);
    mid.setBit(0, 1);
    EXPECT_EQ(mid.toDouble(), std::ldexp(1.0, 150));
    mid.setBit(199, 1);
    EXPECT_EQ(mid.toDouble(), -std::ldexp(1.0, 199) + std::ldexp(1.0, 150));
}

TEST(VNumConvert, BitString) {
    EXPECT_EQ(num(-3, 5, Signed).bitString(), "11101");
    EXPECT_EQ(num(0x10001, 17, Unsigned).bitString(), "10000000000000001");
}
