// Arithmetic, in-place operations, comparison and the strict family of VNum.
#include "num/vnum_test_util.h"

TEST(VNumArith, ResultFormats) {
    const VNum u255 = num(255, 8, Unsigned), u1 = num(1, 8, Unsigned), s128 = num(-128, 8, Signed);
    EXPECT_NUM(u255 + u1, 256, 9, Unsigned);
    EXPECT_NUM(s128 + u255, 127, 10, Signed);
    EXPECT_NUM(num(0, 8, Unsigned) - u255, -255, 10, Signed);
    EXPECT_NUM(num(32768, 16, Unsigned) * num(4, 3, Unsigned), 131072, 19, Unsigned);
    EXPECT_NUM(num(INT32_MIN, 32, Signed) * num(INT32_MIN, 32, Signed), int64_t(1) << 62, 65, Signed);
    EXPECT_NUM(num(-3, 5, Signed) * num(7, 4, Unsigned), -21, 10, Signed);
    EXPECT_NUM(num(-1, 17, Signed) * num(-65536, 17, Signed), 65536, 35, Signed);
    const VNum sum = num(1, 4, Unsigned, RoundHalfAway, Saturate) + num(1, 4, Unsigned, RoundHalfEven, Wrap);
    EXPECT_EQ(sum.quantMode(), RoundHalfEven);
    EXPECT_EQ(sum.overflowMode(), Throw);
    EXPECT_NUM(-num(-128, 8, Signed, Truncate, Saturate), 127, 8, Signed);
    EXPECT_THROW(num(1, 4096, Unsigned) + num(1, 4096, Unsigned), VNumException::tooManyBits);
}

TEST(VNumArith, Bitwise) {
    const VNum a = num(0xA5, 8, Signed);
    EXPECT_NUM(a & num(-1, 4, Signed), -91, 8, Signed);      // -1 sign-extends to eight ones
    EXPECT_NUM(a & num(15, 4, Unsigned), 5, 8, Signed);      // an unsigned operand zero-extends
    EXPECT_NUM(a | num(0x1F0, 12, Unsigned), -11, 8, Signed);  // a wider operand is cut
    EXPECT_NUM(a ^ num(-1, 8, Signed), 90, 8, Signed);
    EXPECT_NUM(~num(5, 20, Unsigned), 0xFFFFA, 20, Unsigned);
}

TEST(VNumArith, CompoundAssignment) {
    struct Case { int32_t mode; int64_t expect; const char* fails; };
    for (const Case c : {Case{Saturate, 127, ""}, Case{Wrap, -56, ""}, Case{Throw, 100, "on decreasing resize"}}) {
        VNum a = num(100, 8, Signed, Truncate, c.mode);
        EXPECT_EQ(overflowText([&] { a += num(100, 8, Signed); }), c.fails);
        EXPECT_NUM(a, c.expect, 8, Signed);
    }
    VNum a = num(-20, 8, Signed, Truncate, Saturate);
    a -= num(120, 8, Signed);
    EXPECT_EQ(dec(val(a)), "-128");
    a = num(-3, 8, Signed);
    a *= num(-30, 8, Signed);
    EXPECT_EQ(dec(val(a)), "90");
    a *= num(2, 3, Signed);
    EXPECT_EQ(dec(val(a)), "127");
}

TEST(VNumArith, IncrementDecrementNegate) {
    struct Case {
        int64_t v; int32_t w, t, mode; int64_t inc; const char* incFails; int64_t dec; const char* decFails;
        int64_t neg; const char* negFails;
    };
    const Case cases[] = {
        {127, 8, Signed, Wrap, -128, "", 126, "", -127, ""},
        {127, 8, Signed, Saturate, 127, "", 126, "", -127, ""},
        {127, 8, Signed, Throw, -128, "Overflow on incr", 126, "", -127, ""},
        {-128, 8, Signed, Wrap, -127, "", 127, "", -128, ""},
        {-128, 8, Signed, Saturate, -127, "", -128, "", 127, ""},
        {-128, 8, Signed, Throw, -127, "", 127, "Overflow on decr", -128, "Overflow on incr"},
        {255, 8, Unsigned, Wrap, 0, "", 254, "", 1, ""},
        {0, 8, Unsigned, Saturate, 1, "", 0, "", 0, ""},
        {0, 8, Unsigned, Throw, 1, "", 255, "Overflow on decr", 0, ""},
        {5, 8, Unsigned, Wrap, 6, "", 4, "", 251, ""},
        {5, 8, Unsigned, Saturate, 6, "", 4, "", 0, ""},
        {5, 8, Unsigned, Throw, 6, "", 4, "", 5, "negating unsigned VNum"},
        {-1, 40, Signed, Throw, 0, "", -2, "", 1, ""},
        {0xFFFFFFFF, 34, Signed, Throw, 0x100000000LL, "", 0xFFFFFFFE, "", -0xFFFFFFFFLL, ""},
    };
    for (const Case& c : cases) {
        VNum a = num(c.v, c.w, c.t, Truncate, c.mode);
        EXPECT_EQ(overflowText([&] { a.increment(); }), c.incFails);
        EXPECT_EQ(dec(val(a)), dec(c.inc)) << c.v << " incr mode " << c.mode;
        VNum b = num(c.v, c.w, c.t, Truncate, c.mode);
        EXPECT_EQ(overflowText([&] { b.decrement(); }), c.decFails);
        EXPECT_EQ(dec(val(b)), dec(c.dec)) << c.v << " decr mode " << c.mode;
        VNum n = num(c.v, c.w, c.t, Truncate, c.mode);
        EXPECT_EQ(overflowText([&] { n.negate(); }), c.negFails);
        EXPECT_EQ(dec(val(n)), dec(c.neg)) << c.v << " negate mode " << c.mode;
    }
}

TEST(VNumArith, Compare) {
    struct Case { int64_t a; int32_t wa, ta; int64_t b; int32_t wb, tb; int32_t sign; };
    const Case cases[] = {
        {15, 4, Unsigned, -1, 8, Signed, 1},
        {-70000, 20, Signed, -5, 16, Signed, -1},
        {5, 3, Unsigned, 5, 40, Signed, 0},
        {-1, 1, Signed, -1, 64, Signed, 0},
        {1LL << 40, 48, Unsigned, 3, 4, Unsigned, 1},
        {-(1LL << 40), 48, Signed, -3, 4, Signed, -1},
        {-65536, 17, Signed, -65535, 40, Signed, -1},
        {0, 0, Unsigned, 0, 16, Signed, 0},
        {0xFFFF, 16, Unsigned, -1, 16, Signed, 1},
    };
    for (const Case& c : cases) {
        const VNum a = num(c.a, c.wa, c.ta), b = num(c.b, c.wb, c.tb);
        const int32_t r = VNum::compare(a, b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
        EXPECT_EQ(-((VNum::compare(b, a) > 0) - (VNum::compare(b, a) < 0)), c.sign);
        EXPECT_EQ(a == b, c.sign == 0);
        EXPECT_EQ(a < b, c.sign < 0);
        EXPECT_EQ(a >= b, c.sign >= 0);
    }
    EXPECT_EQ(VNum::compare(num(0x30005, 20, Unsigned), num(0x30002, 20, Unsigned)), 3);
}

TEST(VNumArith, StrictFamily) {
    const VNum s8 = num(100, 8, Signed), u8 = num(200, 8, Unsigned), s4 = num(3, 4, Signed);
    VNum d = num(0, 8, Signed);
    EXPECT_EQ(illegalText([&] { d.add(s8, u8); }), "VNum::add(p, q) must havethe same type and width");
    EXPECT_EQ(illegalText([&] { d.sub(s8, s4); }), "VNum::sub(p, q) must havethe same type and width");
    EXPECT_EQ(illegalText([&] { d.unsigned_mult(s8, s8); }),
              "VNum::unsigned_mult(p, q) yields result in container of wrong width");
    EXPECT_EQ(illegalText([&] { d.bitAnd(s8, s4); }), "VNum::bitAnd(p, q) q and q must have the same width");
    EXPECT_EQ(illegalText([&] { d.bitOr(s8, s4); }), "VNum::bitOr(p, q) q and q must have the same width");
    EXPECT_EQ(illegalText([&] { d.bitXor(s8, s4); }), "VNum::bitXor(p, q) q and q must have the same width");
    VNum d4 = num(0, 4, Signed);
    EXPECT_EQ(illegalText([&] { d4.bitAnd(s8, u8); }), "VNum::bitAnd(p, q) resultmust have the same width");
    EXPECT_EQ(illegalText([&] { d4.bitOr(s8, u8); }), "VNum::bitOr(p, q) resultmust have the same width");
    EXPECT_EQ(illegalText([&] { d4.bitXor(s8, u8); }), "VNum::bitXor(p, q) resultmust have the same width");
    EXPECT_EQ(illegalText([&] { d4.bitNot(s8); }), "VNum::bitNot(p) resultmust have the same width");
    EXPECT_EQ(illegalText([&] { (void)d.unsigned_comp(u8); }),
              "VNum::unsigned_comp(p) must have the same width and type");
    EXPECT_EQ(dec(val(d)), "0");  // refused before touching the destination

    d.add(s8, num(100, 8, Signed));
    EXPECT_EQ(dec(val(d)), "-56");  // modulo 2^width, no overflow handling
    d.sub(num(-100, 8, Signed), s8);
    EXPECT_EQ(dec(val(d)), "56");
    VNum p = num(0, 16, Signed);
    p.unsigned_mult(num(-1, 8, Signed), num(-1, 8, Signed));  // patterns read as unsigned
    EXPECT_EQ(dec(val(p) & 0xFFFF), dec(255 * 255));
    VNum x = num(0, 8, Unsigned);
    x.bitAnd(s8, u8);
    EXPECT_EQ(dec(val(x)), dec(100 & 200));
    x.bitOr(s8, u8);
    EXPECT_EQ(dec(val(x)), dec(100 | 200));
    x.bitXor(s8, u8);
    EXPECT_EQ(dec(val(x)), dec(100 ^ 200));
    x.bitNot(s8);
    EXPECT_EQ(dec(val(x)), dec(0xFF & ~100));
    const VNum big = num(0x20001, 20, Unsigned), small = num(0x10009, 20, Unsigned);
    EXPECT_EQ(big.unsigned_comp(small), 1);
    EXPECT_EQ(small.unsigned_comp(num(0x1000B, 20, Unsigned)), -2);
    EXPECT_EQ(big.unsigned_comp(big), 0);
}

TEST(VNumArith, DivisionAndRemainder) {
    const VNum a = num(-47, 8, Signed), b = num(5, 4, Unsigned);
    EXPECT_NUM(a / b, -9, 13, Signed);
    EXPECT_NUM(a % b, -2, 8, Signed);
    EXPECT_NUM(num(200, 8, Unsigned) / num(7, 3, Unsigned), 28, 11, Unsigned);
    const VNum wide = num(int64_t(1) << 62, 64, Unsigned);
    EXPECT_NUM(wide / num(3, 2, Unsigned), (int64_t(1) << 62) / 3, 66, Unsigned);
    VNum c = num(100, 8, Signed, Truncate, Saturate);
    c /= num(-7, 4, Signed);
    EXPECT_EQ(dec(val(c)), "-14");
    c %= num(4, 4, Signed);
    EXPECT_EQ(dec(val(c)), "-2");
    int32_t v = 1;
    EXPECT_EQ(illegalText([&] { c /= num(0, 30, Signed); }, &v), "a");
    EXPECT_EQ(v, 0);
    EXPECT_EQ(illegalText([&] { (void)(a % num(0, 3, Unsigned)); }), "a");
}
