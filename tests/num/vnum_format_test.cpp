// Construction, widths, single bits, resize/retype and assignment of VNum.
#include <cmath>
#include <utility>

#include "num/vnum_test_util.h"

TEST(VNumFormat, WordCountAndTopBits) {
    struct Case { int32_t width, words, top; };
    for (const Case c : {Case{0, 1, 0}, Case{1, 1, 1}, Case{16, 1, 16}, Case{17, 2, 1}, Case{32, 2, 16},
                         Case{129, 9, 1}, Case{4096, 256, 16}}) {
        const VNum v(0u, c.width, Signed, Truncate, Wrap);
        EXPECT_EQ(v.wordCount(), c.words) << c.width;
        EXPECT_EQ(v.topBits(), c.top) << c.width;
        EXPECT_EQ(v.toDouble(), 0.0);
    }
    EXPECT_THROW(VNum(0u, 4097, Unsigned, Truncate, Wrap), VNumException::tooManyBits);
    const VNum d;
    EXPECT_EQ(d.width(), 0);
    EXPECT_EQ(d.type(), Unsigned);
    for (int32_t i : {-1, 0, 1, 100}) EXPECT_EQ(d.getBit(i), 0);
    EXPECT_EQ(d.bitString(), "");
}

TEST(VNumFormat, Constructors) {
    EXPECT_NUM(VNum(0xABCDEu, 17, Unsigned, Truncate, Wrap), 0xBCDE, 17, Unsigned);
    EXPECT_NUM(VNum(0xFFFFFFFFu, 32, Signed, Truncate, Wrap), -1, 32, Signed);
    EXPECT_NUM(VNum(int32_t(-5), Signed, Truncate, Wrap), -5, 4, Signed);
    EXPECT_NUM(VNum(int32_t(5), Unsigned, Truncate, Wrap), 5, 3, Unsigned);
    EXPECT_NUM(VNum("1x0z1", 5, Signed), -5, 5, Signed);  // anything but '0' is a 1
    EXPECT_EQ(VNum("0011", 4, Unsigned).bitString(), "0011");
    EXPECT_NUM(VNum(-2.5, 8, Signed, RoundHalfEven, Wrap), -2, 8, Signed);
    EXPECT_NUM(VNum(5.5, Unsigned, RoundHalfAway, Wrap), 6, 3, Unsigned);
    const VNum s = num(-3, 20, Signed);
    EXPECT_NUM(VNum(s, 40, 0, 0, 0), -3, 40, Signed);
    EXPECT_EQ(VNum(s, 0, 0, 0, Saturate).overflowMode(), Saturate);
    EXPECT_THROW(VNum(s, 0, Unsigned, 0, Throw), VNumException::Overflow);
    EXPECT_EQ(s.typeName(), "Num_20");
    EXPECT_EQ(num(3, 7, Unsigned).typeName(), "UNum_7");
}

TEST(VNumFormat, MinWidths) {
    struct IntCase { int32_t v, u, s; };
    for (const IntCase c : {IntCase{0, 0, 1}, IntCase{1, 1, 2}, IntCase{5, 3, 4}, IntCase{-1, 1, 1},
                            IntCase{-2, 2, 2}, IntCase{-3, 3, 3}, IntCase{-4, 3, 3}, IntCase{-5, 4, 4},
                            IntCase{0x7FFFFFFF, 31, 32}}) {
        EXPECT_EQ(VNum::minIntWidth(c.v, Unsigned), c.u) << c.v;
        EXPECT_EQ(VNum::minIntWidth(c.v, Signed), c.s) << c.v;
    }
    struct DblCase { double x; int32_t u, s; };
    for (const DblCase c : {DblCase{0.3, 1, 1}, DblCase{0.0, 1, 1}, DblCase{-4.0, 3, 3}, DblCase{5.5, 3, 4},
                            DblCase{-5.5, 4, 4}, DblCase{-0.9, 1, 1}, DblCase{4.0, 3, 4}}) {
        EXPECT_EQ(VNum::minDoubleWidth(c.x, Unsigned), c.u) << c.x;
        EXPECT_EQ(VNum::minDoubleWidth(c.x, Signed), c.s) << c.x;
    }
}

TEST(VNumFormat, Bits) {
    VNum v = num(0x8001, 16, Unsigned);
    EXPECT_EQ(v.getBit(-1), 0);
    EXPECT_EQ(v.getBit(0), 1);
    EXPECT_EQ(v.getBit(40), 1);  // past the width reads the top bit, also unsigned
    v.setBit(15, 0);
    v.setBit(3, 1);
    EXPECT_EQ(dec(val(v)), "9");
    int32_t bad = 0;
    EXPECT_EQ(illegalText([&] { v.setBit(16, 1); }, &bad), "index");
    EXPECT_EQ(bad, 16);
    EXPECT_EQ(illegalText([&] { v.setBit(-1, 1); }, &bad), "index");
    EXPECT_EQ(bad, -1);
    EXPECT_EQ(illegalText([&] { v.setBit(3, 2); }, &bad), "val");
    EXPECT_EQ(bad, 2);
    EXPECT_FALSE(num(-1, 8, Unsigned).isNegative());
    EXPECT_TRUE(num(-1, 8, Signed).isNegative());
}

TEST(VNumFormat, Extremes) {
    struct Case { int32_t width, type, sign; int64_t expect; };
    for (const Case c : {Case{8, Signed, 1, 127}, Case{8, Signed, -1, -128}, Case{8, Unsigned, 1, 255},
                         Case{8, Unsigned, -1, 0}, Case{17, Signed, 1, 65535}, Case{17, Signed, -1, -65536},
                         Case{33, Unsigned, 1, 0x1FFFFFFFFLL}, Case{1, Signed, -1, -1}, Case{1, Signed, 1, 0},
                         Case{16, Signed, 0, 0}}) {
        VNum v = num(5, c.width, c.type);
        v.setExtreme(c.sign);
        EXPECT_EQ(dec(val(v)), dec(c.expect)) << c.width << " " << c.sign;
    }
}

// resize/retype under each overflow mode; `fails` is the exception text under Throw.
TEST(VNumFormat, ResizeAndRetype) {
    struct Case {
        int64_t v; int32_t w, t, nw, nt; int64_t wrap, sat; const char* fails; int32_t value;
    };
    const Case cases[] = {
        {100, 8, Signed, 6, 0, -28, 31, "on decreasing resize", 0},
        {-100, 8, Signed, 6, 0, 28, -32, "on decreasing resize", 0},
        {-32, 8, Signed, 6, 0, -32, -32, "", 0},
        {31, 8, Signed, 6, 0, 31, 31, "", 0},
        {200, 8, Unsigned, 0, Signed, -56, 127, "on unsigned to signed", 1},
        {-1, 8, Signed, 0, Unsigned, 255, 0, "negative value retyped to unsigned", 0},
        {15, 4, Unsigned, 16, Signed, 15, 15, "", 0},
        {0, 8, Signed, 1, 0, 0, 0, "on decreasing resize", 0},  // a 1-bit signed never fits
        {-1, 8, Signed, 1, 0, -1, -1, "on decreasing resize", 0},
        {300, 16, Unsigned, 8, Signed, 44, 127, "on decreasing resize", 0},
        {200, 16, Unsigned, 8, Signed, -56, 127, "on unsigned to signed", 1},
        {-300, 16, Signed, 8, Unsigned, 212, 0, "negative value retyped to unsigned", 0},
        {300, 16, Signed, 8, Unsigned, 44, 255, "on decreasing resize", 0},
        {-3, 20, Signed, 40, 0, -3, -3, "", 0},
    };
    for (const Case& c : cases) {
        const int32_t finalType = c.nt != 0 ? c.nt : c.t;
        VNum wrap = num(c.v, c.w, c.t, Truncate, Wrap);
        wrap.resize(c.nw, c.nt, 0, 0);
        EXPECT_EQ(dec(val(wrap)), dec(c.wrap)) << c.v << " -> " << c.nw;
        EXPECT_EQ(wrap.type(), finalType);
        VNum sat = num(c.v, c.w, c.t, Truncate, Wrap);
        sat.resize(c.nw, c.nt, RoundHalfEven, Saturate);
        EXPECT_EQ(dec(val(sat)), dec(c.sat)) << c.v << " -> " << c.nw;
        EXPECT_EQ(sat.quantMode(), RoundHalfEven);
        EXPECT_EQ(sat.width(), c.nw != 0 ? c.nw : c.w);
        VNum thr = num(c.v, c.w, c.t, Truncate, Wrap);
        int32_t value = 99;
        EXPECT_EQ(overflowText([&] { thr.resize(c.nw, c.nt, 0, Throw); }, &value), c.fails);
        if (*c.fails != '\0') {
            EXPECT_EQ(value, c.value);
        }
        // Assignment converts the same way, and leaves the destination alone when it throws.
        for (int32_t mode : {Wrap, Saturate, Throw}) {
            const VNum before = num(7, c.nw != 0 ? c.nw : c.w, finalType, Truncate, mode);
            VNum dst = before;
            const VNum src = num(c.v, c.w, c.t);
            const std::string text = overflowText([&] { dst = src; });
            const i128 expect = mode == Wrap ? c.wrap : mode == Saturate ? c.sat : *c.fails ? val(before) : c.wrap;
            EXPECT_EQ(text, mode == Throw ? c.fails : "");
            EXPECT_EQ(dec(val(dst)), dec(expect)) << c.v << " mode " << mode;
        }
    }
    VNum v = num(-3, 20, Signed);
    v.resize(40, 0, 0, 0);
    EXPECT_EQ(v.words()[0], 65533u);
    EXPECT_EQ(v.words()[1], 65535u);
    EXPECT_EQ(v.words()[2], 255u);
    EXPECT_THROW(v.resize(4097, 0, 0, 0), VNumException::tooManyBits);
    // Under Throw the steps before the failing one stay applied.
    VNum partial = num(100, 8, Signed);
    EXPECT_THROW(partial.resize(6, 0, RoundHalfAway, Throw), VNumException::Overflow);
    EXPECT_EQ(partial.width(), 6);
    EXPECT_EQ(partial.quantMode(), RoundHalfAway);
    EXPECT_EQ(dec(val(partial)), "-28");
}

TEST(VNumFormat, AssignmentKeepsDestinationFormat) {
    const VNum big = num(70000, 32, Signed);
    VNum sat = num(0, 16, Signed, Truncate, Saturate);
    VNum wrap = num(0, 16, Signed, Truncate, Wrap);
    sat = big;
    wrap = big;
    EXPECT_NUM(sat, 32767, 16, Signed);
    EXPECT_NUM(wrap, 4464, 16, Signed);
    wrap = wrap;  // self-assignment changes nothing
    EXPECT_EQ(dec(val(wrap)), "4464");
    VNum zeroWidth;
    zeroWidth = big;
    EXPECT_EQ(zeroWidth.width(), 0);
    EXPECT_EQ(zeroWidth.words()[0], 0u);
    // The flags word survives an assignment; a copy starts clear.
    VNum flagged(0u, 8, Signed, Truncate, Wrap);
    flagged.assignDouble(1000.0);
    ASSERT_EQ(flagged.flags() & 1u, 1u);
    flagged = num(3, 8, Signed);
    EXPECT_EQ(flagged.flags() & 1u, 1u);
    EXPECT_EQ(VNum(flagged).flags(), 0u);
}

// Moves steal heap words, copy inline ones, and keep the destination's format.
TEST(VNumFormat, Moves) {
    for (int32_t width : {40, 300}) {
        VNum src = num(-12345, width, Signed);
        const uint32_t* heap = src.words();
        VNum moved(std::move(src));
        EXPECT_EQ(moved.toDouble(), -12345.0);
        EXPECT_EQ(moved.words() == heap, width > 16 * VNum::kInlineWords);
        VNum same(0u, width, Signed, Truncate, Wrap);
        same = std::move(moved);
        EXPECT_EQ(same.toDouble(), -12345.0);
        VNum narrow(0u, 8, Unsigned, Truncate, Saturate);
        narrow = num(-5, width, Signed);
        EXPECT_NUM(narrow, 0, 8, Unsigned);
        narrow = VNum(same, 0, 0, 0, 0) * num(-1, 2, Signed);
        EXPECT_NUM(narrow, 255, 8, Unsigned);
    }
    VNum a = num(1, 300, Unsigned);
    VNum b = std::move(a);
    a = num(6, 300, Unsigned);  // a moved-from value can be assigned again
    EXPECT_EQ(b.toDouble(), 1.0);
}

// The storage interface of derived classes: allocate gives zeroed words of a new width.
class Storage : public VNum {
public:
    void take(int32_t width) { allocate(width); }
    void drop() { release(); }
    bool onHeap() const { return w_ != inline_; }
};

TEST(VNumFormat, DerivedStorage) {
    Storage s;
    for (int32_t width : {300, 200, 40, 130, 0, 4096}) {
        s.take(width);
        EXPECT_EQ(s.width(), width);
        EXPECT_EQ(s.onHeap(), s.wordCount() > VNum::kInlineWords);
        EXPECT_EQ(s.toDouble(), 0.0);
        s.setExtreme(1);
    }
    s.drop();
    EXPECT_FALSE(s.onHeap());
    s.take(17);
    EXPECT_EQ(s.topBits(), 1);
    EXPECT_THROW(s.take(4097), VNumException::tooManyBits);
}

TEST(VNumFormat, SharedConstants) {
    EXPECT_NUM(VNum::zero(), 0, 16, Signed);
    EXPECT_NUM(VNum::one(), 1, 16, Signed);
    EXPECT_EQ(VNum::one().quantMode(), Truncate);
    EXPECT_EQ(VNum::one().overflowMode(), Wrap);
    EXPECT_EQ(&VNum::one(), &VNum::one());
}
