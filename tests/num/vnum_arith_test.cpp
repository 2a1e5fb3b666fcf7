// VNum arithmetic beyond the property tests: modes, compound assignment, strict family, division.
#include "num/vnum_test_util.h"

TEST(VNumArith, ResultModesCompareAndCompound) {
    const VNum sum = num(1, 4, Unsigned, RoundHalfAway, Saturate) + num(1, 4, Unsigned, RoundHalfEven, Wrap);
    EXPECT_EQ(sum.quantMode() * 10 + sum.overflowMode(), RoundHalfEven * 10 + Throw);
    EXPECT_THROW(num(1, 4096, Unsigned) + num(1, 4096, Unsigned), VNumException::tooManyBits);
    // The distance of the significant words, else the difference of the first differing digits.
    EXPECT_EQ(VNum::compare(num(int64_t(1) << 40, 48, Unsigned), num(3, 4, Unsigned)), 2);
    EXPECT_EQ(VNum::compare(num(-70000, 20, Signed), num(-5, 16, Signed)), -1);
    EXPECT_EQ(VNum::compare(num(0x30005, 20, Unsigned), num(0x30002, 20, Unsigned)), 3);
    struct Case { int32_t mode; const char* values; const char* fails; };  // of +=, -= and *=
    for (const Case c : {Case{Saturate, "127 127 -128", ""}, Case{Wrap, "-56 80 -88", ""},
                         Case{Throw, "100 100 100", "on decreasing resize"}}) {
        VNum a = num(100, 8, Signed, Truncate, c.mode), s = a, p = a;
        EXPECT_EQ(thrown([&] { a += num(100, 8, Signed); }), c.fails);
        EXPECT_EQ(thrown([&] { s -= num(-20, 6, Signed) - num(216, 8, Unsigned); }), c.fails);
        EXPECT_EQ(thrown([&] { p *= num(-6, 4, Signed); }), c.fails);
        EXPECT_EQ(dec(val(a)) + " " + dec(val(s)) + " " + dec(val(p)), c.values);
    }
}

TEST(VNumArith, StrictFamilyAndDivision) {
    const VNum s8 = num(100, 8, Signed), u8 = num(200, 8, Unsigned), s4 = num(3, 4, Signed), u20 = num(1, 20, Unsigned);
    VNum d = num(0, 20, Signed), d4 = num(0, 4, Signed), p = num(0, 16, Signed);
    using Illegal = VNumException::IllegalIntArg;
    EXPECT_EQ(thrown<Illegal>([&] { d.add(s8, s4); }), "VNum::add(p, q) must havethe same type and width");
    EXPECT_EQ(thrown<Illegal>([&] { d.sub(u20, u20); }), "VNum::sub(p, q) must havethe same type and width");
    EXPECT_EQ(thrown<Illegal>([&] { d.unsigned_mult(s8, s8); }),
              "VNum::unsigned_mult(p, q) yields result in container of wrong width");
    EXPECT_EQ(thrown<Illegal>([&] { d.bitAnd(s8, s4); }), "VNum::bitAnd(p, q) q and q must have the same width");
    EXPECT_EQ(thrown<Illegal>([&] { d.bitOr(s8, s4); }), "VNum::bitOr(p, q) q and q must have the same width");
    EXPECT_EQ(thrown<Illegal>([&] { d.bitXor(s8, s4); }), "VNum::bitXor(p, q) q and q must have the same width");
    EXPECT_EQ(thrown<Illegal>([&] { d4.bitAnd(s8, u8); }), "VNum::bitAnd(p, q) resultmust have the same width");
    EXPECT_EQ(thrown<Illegal>([&] { d4.bitOr(s8, u8); }), "VNum::bitOr(p, q) resultmust have the same width");
    EXPECT_EQ(thrown<Illegal>([&] { d4.bitXor(s8, u8); }), "VNum::bitXor(p, q) resultmust have the same width");
    EXPECT_EQ(thrown<Illegal>([&] { d4.bitNot(s8); }), "VNum::bitNot(p) resultmust have the same width");
    EXPECT_EQ(thrown<Illegal>([&] { (void)d.unsigned_comp(u8); }),
              "VNum::unsigned_comp(p) must have the same width and type");
    EXPECT_VAL(d, 0);  // refused before touching the destination
    d.add(num(0x7FFFF, 20, Signed), num(0x10001, 20, Signed));  // carries across words, modulo 2^width
    EXPECT_VAL(d, 0x90000 - 0x100000);
    d.sub(num(0x10000, 20, Signed), num(1, 20, Signed));
    EXPECT_VAL(d, 0xFFFF);
    p.unsigned_mult(num(-1, 8, Signed), num(-1, 8, Signed));  // the patterns are read as unsigned
    EXPECT_VAL(p, 255 * 255 - 65536);
    VNum x = num(0, 8, Unsigned), o = x, e = x, n = x;
    x.bitAnd(s8, u8);
    o.bitOr(s8, u8);
    e.bitXor(s8, u8);
    n.bitNot(s8);
    EXPECT_EQ(dec(val(x)) + " " + dec(val(o)) + " " + dec(val(e)) + " " + dec(val(n)), "64 236 172 155");
    EXPECT_EQ(num(0x20001, 20, Unsigned).unsigned_comp(num(0x10009, 20, Unsigned)), 1);
    EXPECT_EQ(num(0x10009, 20, Unsigned).unsigned_comp(num(0x1000B, 20, Unsigned)), -2);
    VNum c = num(100, 8, Signed, Truncate, Saturate);  // division in place, and by zero
    c /= num(-7, 4, Signed);
    c %= num(4, 4, Signed);
    EXPECT_VAL(c, -2);
    int32_t v = 1;
    EXPECT_EQ(thrown<Illegal>([&] { c /= num(0, 30, Signed); }, &v), "a");
    EXPECT_EQ(v, 0);
    EXPECT_EQ(thrown<Illegal>([&] { (void)(c % num(0, 3, Unsigned)); }), "a");
}
