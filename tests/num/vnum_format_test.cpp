// Construction, widths, single bits, resize and assignment of VNum.
#include <utility>
#include <vector>

#include "num/vnum_test_util.h"

TEST(VNumFormat, Construction) {
    EXPECT_EQ(VNum(0u, 4096, Signed, Truncate, Wrap).wordCount() + VNum(0u, 17, Signed, Truncate, Wrap).topBits(), 257);
    EXPECT_THROW(VNum(0u, 4097, Unsigned, Truncate, Wrap), VNumException::tooManyBits);
    EXPECT_NUM(VNum(), 0, 0, Unsigned);
    EXPECT_NUM(VNum(0xABCDEu, 18, Unsigned, Truncate, Wrap), 0x2BCDE, 18, Unsigned);
    EXPECT_NUM(VNum(int32_t(-5), Signed, Truncate, Wrap), -5, 4, Signed);
    EXPECT_NUM(VNum("1x0z1", 5, Signed), -5, 5, Signed);  // anything but '0' is a 1
    EXPECT_NUM(VNum(5.5, Signed, RoundHalfAway, Wrap), 6, 4, Signed);
    EXPECT_EQ(num(-3, 5, Signed).bitString() + VNum().typeName() + VNum::one().typeName(), "11101UNum_0Num_16");
    EXPECT_EQ(VNum::zero().quantMode() * 10 + VNum::one().overflowMode(), Truncate * 10 + Wrap);
    struct Case { int32_t v, u, s; };  // smallest widths, unsigned and signed
    for (const Case c : {Case{0, 0, 1}, Case{5, 3, 4}, Case{-1, 1, 1}, Case{-4, 3, 3}, Case{-5, 4, 4},
                         Case{INT32_MAX, 31, 32}})
        EXPECT_EQ(VNum::minIntWidth(c.v, Unsigned) * 100 + VNum::minIntWidth(c.v, Signed), c.u * 100 + c.s) << c.v;
    struct DCase { double x; int32_t u, s; };
    for (const DCase c : {DCase{0.3, 1, 1}, DCase{-0.9, 1, 1}, DCase{-4.0, 3, 3}, DCase{5.5, 3, 4}, DCase{-5.5, 4, 4}})
        EXPECT_EQ(VNum::minDoubleWidth(c.x, Unsigned) * 100 + VNum::minDoubleWidth(c.x, Signed), c.u * 100 + c.s);
}

TEST(VNumFormat, Bits) {
    VNum v = num(0x8001, 16, Unsigned);
    EXPECT_EQ(v.getBit(-1) * 1000 + v.getBit(0) * 100 + v.getBit(40) * 10 + VNum().getBit(3), 110);  // 40: top bit
    struct Case { int32_t i, b; const char* text; int32_t value; };
    for (const Case c : {Case{16, 1, "index", 16}, Case{-1, 1, "index", -1}, Case{3, 2, "val", 2}}) {
        int32_t value = 0;
        EXPECT_EQ(thrown<VNumException::IllegalIntArg>([&] { v.setBit(c.i, c.b); }, &value), c.text);
        EXPECT_EQ(value, c.value);
    }
}

// Under Throw (the results of Wrap and Saturate are property-tested); assignment changes nothing.
TEST(VNumFormat, ResizeAndAssignmentUnderThrow) {
    struct Case { int64_t v; int32_t w, t, nw, nt; const char* fails; int32_t value; };
    for (const Case c : {Case{100, 8, Signed, 6, 0, "on decreasing resize", 0},
                         Case{0, 8, Signed, 1, 0, "on decreasing resize", 0},  // a one-bit signed never fits
                         Case{200, 8, Unsigned, 0, Signed, "on unsigned to signed", 1},
                         Case{-1, 8, Signed, 0, Unsigned, "negative value retyped to unsigned", 0},
                         Case{300, 16, Unsigned, 8, Signed, "on decreasing resize", 0},
                         Case{200, 16, Unsigned, 8, Signed, "on unsigned to signed", 1},
                         Case{-300, 16, Signed, 8, Unsigned, "negative value retyped to unsigned", 0}}) {
        VNum r = num(c.v, c.w, c.t), dst = num(7, c.nw != 0 ? c.nw : c.w, c.nt != 0 ? c.nt : c.t, Truncate, Throw);
        int32_t value = 99;
        const auto f = [&] { c.nw != 0 ? r.resize(c.nw, c.nt, RoundHalfAway, Throw)
                                       : r.retype(c.nt, RoundHalfAway, Throw); };
        EXPECT_EQ(thrown(f, &value), c.fails) << c.v;
        EXPECT_EQ(value * 10 + r.quantMode(), c.value * 10 + RoundHalfAway);  // the modes are replaced first
        const i128 before = val(dst);
        EXPECT_EQ(thrown([&] { dst = num(c.v, c.w, c.t); }), c.fails);
        EXPECT_VAL(dst, before);
    }
    VNum partial = num(100, 8, Signed);  // a shrink that fails has already cut the value
    EXPECT_THROW(partial.resize(6, 0, 0, Throw), VNumException::Overflow);
    EXPECT_NUM(partial, -28, 6, Signed);
    EXPECT_THROW(partial.resize(4097, 0, 0, 0), VNumException::tooManyBits);
}

TEST(VNumFormat, AssignmentAndMoves) {
    VNum flagged(0u, 16, Signed, Truncate, Wrap);
    flagged.assignDouble(1e6);
    flagged = num(70000, 32, Signed);
    flagged = flagged;  // self-assignment changes nothing
    EXPECT_NUM(flagged, 4464, 16, Signed);
    EXPECT_EQ(flagged.flags() & 1u, 1u);  // an assignment keeps the flags, a copy starts clear
    EXPECT_EQ(VNum(flagged).flags() + VNum(flagged, 9, 0, 0, 0).flags(), 0u);
    EXPECT_EQ((VNum() = flagged).words()[0], 0u);  // into width 0
    for (int32_t width : {40, 300}) {  // moves steal heap words and copy inline ones
        VNum src = num(-12345, width, Signed);
        const uint32_t* heap = src.words();
        VNum moved(std::move(src)), same(0u, width, Signed, Truncate, Wrap);
        EXPECT_EQ(moved.words() == heap, width > 16 * VNum::kInlineWords);
        same = std::move(moved);
        EXPECT_EQ(same.toDouble(), -12345.0);
    }
}
