// VNum requantisation, shifts and doubles where the property tests do not reach.
#include <cmath>

#include "num/vnum_test_util.h"

TEST(VNumConvert, RequantisationBlocks) {
    VNum self = num(-100, 40, Signed);  // the source may be the destination, in both directions
    self.alignTo(self, 0, 5);
    self.alignTo(self, 7, 0);
    EXPECT_VAL(self, -25);
    // Past the width of s its top bit stands in for the half and kept bits.
    struct Case { int64_t v; int32_t w, type, d; bool away, even; };
    for (const Case c : {Case{-2, 8, Signed, 2, false, true}, Case{5, 8, Signed, 0, false, false},
                         Case{0x80, 8, Unsigned, 10, true, true}, Case{0x7F, 8, Signed, 10, false, false},
                         Case{-128, 8, Signed, 8, false, true}, Case{-128, 8, Signed, 9, false, true},
                         Case{-127, 8, Signed, 10, true, true}, Case{-1, 1, Signed, 3, false, true}}) {
        EXPECT_EQ(self.roundsAway(num(c.v, c.w, c.type), c.d, 0), c.away) << c.v << " d=" << c.d;
        EXPECT_EQ(self.roundsEven(num(c.v, c.w, c.type), c.d + 3, 3), c.even) << c.v << " d=" << c.d;
    }
    // checkConvert of (16, Signed) with 4 fraction bits into (12, Signed) with 4: 128 and -128.0625 overflow.
    for (int32_t mode : {int32_t(Wrap), int32_t(Saturate), int32_t(Throw), 7}) {  // 7 saturates
        for (const double x : {128.0, -128.0625}) {
            VNum t(0u, 12, Signed, Truncate, mode);
            thrown([&] { t.assignDouble(1e6); });  // sets the flag, which every check clears first
            t = num(5, 12, Signed);
            int32_t sign = 0;
            EXPECT_EQ(thrown([&] { t.checkConvert(num(static_cast<int64_t>(x * 16), 16, Signed), 4, 4); }, &sign),
                      mode == Throw ? "during convert" : "");
            EXPECT_EQ(dec(sign) + " " + dec(t.flags()) + " " + dec(val(t)), mode == Wrap ? "0 0 5"
                      : mode == Throw ? (x > 0 ? "1 1 5" : "-1 1 5") : x > 0 ? "0 1 2047" : "0 1 -2048");
            t.checkConvert(num(-2048, 16, Signed), 4, 4);  // a value that fits clears the flag
            EXPECT_EQ(t.flags(), 0u);
        }
    }
}

TEST(VNumConvert, ShiftEdges) {
    // By the width or more, by zero and by negative counts, under Truncate, RoundHalfAway, RoundHalfEven.
    struct Case { int64_t v; int32_t w, t, n; int64_t trunc, away, even; };
    for (const Case c : {Case{5, 8, Signed, 8, 0, 0, 0}, Case{-5, 8, Signed, 8, -1, 0, 0},
                         Case{0x80, 8, Unsigned, 8, 0, 1, 0}, Case{0x80, 8, Unsigned, 9, 0, 0, 0},
                         Case{-1, 1, Signed, 1, -1, -1, 0}, Case{-1, 1, Signed, 2, -1, 0, 0},
                         Case{3, 8, Signed, -2, 12, 12, 12}, Case{-6, 8, Signed, 0, -6, -6, -6}}) {
        const int64_t expect[] = {c.trunc, c.away, c.even, c.even};
        for (int32_t q : {Truncate, RoundHalfAway, RoundHalfEven, RoundHalfEvenHoldMax}) {
            VNum r = num(c.v, c.w, c.t, q, Throw), l = r;
            r >>= c.n;
            l <<= -c.n;
            const std::string e = dec(expect[q - 1]);
            EXPECT_EQ(dec(val(r)) + " " + dec(val(l)), e + " " + e) << c.v << " >> " << c.n << " quant " << q;
        }
    }
    std::string text;  // of a left shift past the width under an unknown mode
    try { num(1, 8, Signed, Truncate, 9) <<= 8; } catch (const std::bad_exception& e) { text = e.what(); }
    EXPECT_EQ(text, "bad exception");
    const VNum x = num(-3, 5, Signed, RoundHalfEven, Saturate);  // the shifted copies keep the modes
    EXPECT_EQ((x << 20).quantMode() * 10 + (x >> 1).overflowMode(), RoundHalfEven * 10 + Saturate);
}

TEST(VNumConvert, DoublesBeyondFiftyThreeBits) {
    VNum wide(0u, 100, Signed, RoundHalfEven, Throw);
    wide.assignDouble(-std::ldexp(3.0, 80) - 0.5);  // not representable: rounds to -3 * 2^80
    EXPECT_VAL(wide, -(i128(3) << 80));
    wide.assignDouble(std::ldexp(1.0, 98) + std::ldexp(1.0, 60));
    EXPECT_VAL(wide, (i128(1) << 98) + (i128(1) << 60));
    EXPECT_THROW(wide.assignDouble(1e100), VNumException::Overflow);
    wide.assignInt(0);  // zero leaves the flag alone
    EXPECT_EQ(numText(wide) + std::to_string(wide.flags()), "0 100s1");
    VNum inf(0u, 8, Signed, Truncate, Saturate);  // no undefined conversion of NaN or infinity
    for (double x : {std::nan(""), -HUGE_VAL}) inf.assignDouble(x);
    EXPECT_VAL(inf, -128);
    EXPECT_EQ(num(-1, 64, Unsigned).toDouble(), 18446744073709551616.0);  // rounded while accumulating
    VNum big(0u, 4096, Signed, Truncate, Wrap);
    for (int32_t i : {4000, 199, 150, 72, 40, 19, 6}) big.setBit(i, 1);
    EXPECT_EQ(big.toDouble(), HUGE_VAL);  // beyond the double range
    big.setBit(4095, 1);
    EXPECT_EQ(big.toDouble(), -HUGE_VAL);
    VNum mid(big, 200, 0, 0, 0);
    EXPECT_EQ(mid.toDouble(), -std::ldexp(1.0, 199) + std::ldexp(1.0, 150));
    // 2^72 + 2^40 + 2^19 + 2^6 rounds up to 2^72 + 2^40 + 2^20 when the low words come first (to even when not).
    EXPECT_EQ(VNum(big, 80, Unsigned, 0, 0).toDouble(), 0x1.0000000100001p+72);
}
