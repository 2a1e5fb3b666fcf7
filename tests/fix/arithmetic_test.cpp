// Full-precision arithmetic, shifts, comparisons, compound assignment, the
// three-operand family, bitwise operations and the text forms.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>

#include "fix_test_util.h"

namespace {

struct Shape {
    int32_t w, f, type;
};

void expectShape(const VFix& v, Shape s) {
    EXPECT_EQ(v.width(), s.w);
    EXPECT_EQ(v.binaryPoint, s.f);
    EXPECT_EQ(v.type(), s.type);
}

TEST(Arithmetic, ResultFormats) {
    const VFix s16 = withPayload(-32768, 16, 15, Signed), u16 = withPayload(5, 16, 15, Unsigned);
    const VFix u18 = withPayload(7, 18, 17, Unsigned), fine = withPayload(-3, 4, 6, Signed);
    const VFix coarse = withPayload(2, 3, -2, Signed);
    expectShape(s16 + s16, {18, 15, Signed});
    expectShape(u16 - u18, {20, 17, Signed});
    expectShape(u16 + u18, {19, 17, Unsigned});
    expectShape(s16 * s16, {33, 30, Signed});
    expectShape(u16 * u18, {34, 32, Unsigned});
    expectShape(fine + coarse, {13, 6, Signed});  // 5 integer bits, 6 fraction bits, sign, carry
    expectShape(-s16, {17, 15, Signed});
    expectShape(s16 >> 2, {18, 17, Signed});
    expectShape(s16 << 3, {19, 15, Signed});
    const VFix sum = s16 + s16;
    EXPECT_EQ(sum.quantMode(), Truncate);
    EXPECT_EQ(sum.overflowMode(), Wrap);
}

TEST(Arithmetic, ExactNearTheMostNegativeValue) {
    const VFix m1 = withPayload(-32768, 16, 15, Signed);           // -1
    const VFix near = withPayload(-32767, 16, 15, Signed);         // -1 + 2^-15
    EXPECT_EQ((m1 + m1).toDouble(), -2.0);
    EXPECT_EQ((m1 + near).toDouble(), -2.0 + std::ldexp(1.0, -15));
    EXPECT_EQ((near - m1).toDouble(), std::ldexp(1.0, -15));
    EXPECT_EQ(payloadOf(m1 * m1), pow2(30));
    EXPECT_EQ(payloadOf(-m1), 32768);
    const VFix m8 = withPayload(-128, 8, 0, Signed);
    EXPECT_EQ(payloadOf(-m8), 128);
    const VFix m32 = withPayload(-pow2(31), 32, 0, Signed);
    EXPECT_EQ(payloadOf(m32 * m32), pow2(62));
    const VFix b(true);
    EXPECT_THROW(b + m8, VNumException::UnimplementedSpec);
    EXPECT_THROW(b - m8, VNumException::UnimplementedSpec);
    EXPECT_THROW(b * m8, VNumException::UnimplementedSpec);
    EXPECT_THROW(-b, VNumException::UnimplementedSpec);
}

// Sums, differences, products and comparisons of random operands against
// 128-bit integers, and against the general route of a cast followed by a
// compound operation under Saturate (which never acts on an exact result).
TEST(Arithmetic, RandomOperandsAreExact) {
    std::mt19937_64 rng(77);
    for (int iter = 0; iter < 4000; ++iter) {
        const Shape sa{1 + static_cast<int32_t>(rng() % 40), static_cast<int32_t>(rng() % 48) - 8,
                       rng() % 2 == 0 ? Signed : Unsigned};
        const Shape sb{1 + static_cast<int32_t>(rng() % 40), static_cast<int32_t>(rng() % 48) - 8,
                       rng() % 2 == 0 ? Signed : Unsigned};
        const i128 pa = randomPayload(rng, sa.w, sa.type == Signed), pb = randomPayload(rng, sb.w, sb.type == Signed);
        VFix a = withPayload(pa, sa.w, sa.f, sa.type);
        const VFix b = withPayload(pb, sb.w, sb.f, sb.type);
        const int32_t f = std::max(sa.f, sb.f);
        const i128 xa = pa * pow2(f - sa.f), xb = pb * pow2(f - sb.f);
        SCOPED_TRACE(iter);

        const VFix sum = a + b, diff = a - b;
        ASSERT_TRUE(payloadOf(sum) == xa + xb);
        ASSERT_TRUE(payloadOf(diff) == xa - xb);
        VFix viaCast = VFix::castCopy(a, sum.width(), sum.binaryPoint, sum.type(), Truncate, Saturate);
        viaCast += b;
        ASSERT_TRUE(payloadOf(viaCast) == xa + xb);

        // Products are exact unless b has more fraction bits than the cast of a leaves room
        // for, or a signed a meets an unsigned b.
        if (sb.f >= 0 && sb.f <= sb.w + (sa.type == Signed ? 1 : 0) && !(sa.type == Signed && sb.type == Unsigned)) {
            const VFix prod = a * b;
            VFix viaMul = VFix::castCopy(a, prod.width(), prod.binaryPoint, prod.type(), Truncate, Saturate);
            viaMul *= b;
            ASSERT_TRUE(payloadOf(prod) == pa * pb);
            ASSERT_TRUE(payloadOf(viaMul) == pa * pb);
        }

        ASSERT_EQ(a < b, xa < xb);
        ASSERT_EQ(a == b, xa == xb);
        ASSERT_EQ(a >= b, xa >= xb);
        const int32_t cmp = VFix::compareWith(a, b);
        ASSERT_EQ(cmp < 0, xa < xb);
        ASSERT_EQ(cmp == 0, xa == xb);
        if (sa.w <= 53) {
            ASSERT_EQ(a.toDouble(), std::ldexp(static_cast<double>(pa), -sa.f));
        }
    }
}

TEST(Arithmetic, ShadowAndStatusCombine) {
    VFix a(0, 16, 8, Signed, Truncate, Wrap), b(0, 16, 8, Signed, Truncate, Wrap);
    a = 1.3;
    b = -0.7;
    EXPECT_EQ((a + b).getDbl(), 1.3 + -0.7);
    EXPECT_EQ((a * b).getDbl(), 1.3 * -0.7);
    EXPECT_EQ((a >> 3).getDbl(), 1.3 / 8);
    b.isKnown = 0;
    EXPECT_EQ((a - b).isKnown, 0);
    EXPECT_EQ((a * b).isKnown, 0);
    a.isConstant = 1;
    EXPECT_EQ((a + a).isConstant, 1);
}

TEST(Shifts, RoundByModeOrChangeFormat) {
    struct Row {
        int32_t q;
        i128 payload;
    };
    for (const Row& r : {Row{Truncate, -1}, Row{RoundHalfEven, 0}, Row{RoundHalfEvenHoldMax, 0}, Row{RoundHalfAway, -1}}) {
        VFix x = withPayload(-1, 8, 7, Signed, r.q);  // -1/128
        x >>= 1;
        EXPECT_EQ(payloadOf(x), r.payload) << r.q;
    }
    VFix x = withPayload(-37, 8, 7, Signed);
    x.shadow = -37.0 / 128;
    const VFix right = x >> 2, left = x << 2;
    EXPECT_EQ(payloadOf(right), -37);
    EXPECT_EQ(right.toDouble(), -37.0 / 512);
    EXPECT_EQ(right.getDbl(), -37.0 / 512);
    EXPECT_EQ(left.toDouble(), -37.0 / 32);
    x.shiftPoint(3);
    EXPECT_EQ(x.toDouble(), -37.0 / 1024);
    EXPECT_EQ(x.getDbl(), -37.0 / 1024);

    VFix sat = withPayload(100, 8, 0, Signed, Truncate, Saturate);
    sat <<= 1;
    EXPECT_EQ(payloadOf(sat), 127);
    VFix thr = withPayload(100, 8, 0, Signed, Truncate, Throw);
    EXPECT_THROW(thr <<= 1, VNumException::Overflow);
}

TEST(Compare, AgainstPlusAndMinusOneAndAcrossFormats) {
    const VFix plus1(1, 0, Signed, Truncate, Wrap), minus1(-1, 0, Signed, Truncate, Wrap);
    for (i128 p : {i128{-32768}, i128{-1}, i128{0}, i128{32767}}) {
        const VFix x = withPayload(p, 16, 15, Signed);
        EXPECT_FALSE(x >= plus1);
        EXPECT_FALSE(x < minus1);
    }
    const VFix sum = withPayload(-32768, 16, 15, Signed) + withPayload(-1, 16, 15, Signed);
    EXPECT_TRUE(sum < minus1);
    EXPECT_TRUE(withPayload(32768, 18, 15, Signed) >= plus1);
    EXPECT_TRUE(withPayload(64, 8, 7, Signed) == withPayload(1, 4, 1, Signed));
    EXPECT_TRUE(withPayload(15, 4, 0, Unsigned) > withPayload(-1, 8, 0, Signed));
}

TEST(Compound, AlignsToTheDestinationPointAndModes) {
    // A finer operand is cut to the destination's point by truncation, whatever its quantisation mode.
    VFix a(0, 8, 4, Signed, RoundHalfAway, Wrap);
    const VFix b = withPayload(3, 8, 6, Signed);  // 3/64
    for (const auto& [start, want] : {std::pair{1.0, 1.0}, std::pair{-1.0, -1.0}}) {
        a = start;
        a += b;
        EXPECT_EQ(a.toDouble(), want);
    }
    a = 1.0;
    a -= b;
    EXPECT_EQ(a.toDouble(), 0.9375);

    struct Row {
        int32_t o;
        i128 payload;
    };
    for (const Row& r : {Row{Saturate, 127}, Row{Wrap, -56}}) {
        VFix x = withPayload(100, 8, 0, Signed, Truncate, r.o);
        x += withPayload(100, 8, 0, Signed);
        EXPECT_EQ(payloadOf(x), r.payload);
    }
    VFix thr = withPayload(100, 8, 0, Signed, Truncate, Throw);
    EXPECT_THROW(thr += thr, VNumException::Overflow);
    EXPECT_EQ(payloadOf(thr), 100);

    for (const Row& r : {Row{Saturate, 127}, Row{Wrap, -112}}) {  // 3.0 * 3.0 in (8, 4)
        VFix x = withPayload(48, 8, 4, Signed, Truncate, r.o);
        x *= withPayload(48, 8, 4, Signed);
        EXPECT_EQ(payloadOf(x), r.payload);
    }
}

TEST(Compound, DivisionAndRemainder) {
    struct Row {
        double a, b, quotient;
    };
    for (const Row& r : {Row{3.0, 2.0, 1.5}, Row{-3.0, 2.0, -1.5}, Row{3.0, -0.5, -6.0}, Row{-1.0, -0.25, 4.0}}) {
        VFix a(0, 16, 8, Signed, Truncate, Wrap), b(0, 8, 4, Signed, Truncate, Wrap);
        a = r.a;
        b = r.b;
        a /= b;
        EXPECT_EQ(a.toDouble(), r.quotient) << r.a << " / " << r.b;
        EXPECT_EQ(a.getDbl(), r.quotient);
    }
    VFix a(0, 16, 8, Signed, Truncate, Wrap), b(0, 8, 0, Signed, Truncate, Wrap);
    a = 7.5;
    b = 2;
    a %= b;
    EXPECT_EQ(a.toDouble(), 1.5);
    b = 0;
    EXPECT_THROW(a /= b, VNumException::IllegalIntArg);
}

TEST(ThreeOperand, MatchesTheValueOperators) {
    const VFix a = withPayload(-77, 10, 6, Signed), b = withPayload(45, 7, 3, Unsigned);
    VFix t(0, 12, 5, Signed, RoundHalfEven, Saturate);
    VFix want(0, 12, 5, Signed, RoundHalfEven, Saturate);
    VFix::addInto(t, a, b);
    want = a + b;
    EXPECT_TRUE(payloadOf(t) == payloadOf(want));
    EXPECT_EQ(t.getDbl(), want.getDbl());
    VFix::subInto(t, a, b);
    want = a - b;
    EXPECT_TRUE(payloadOf(t) == payloadOf(want));
    VFix::multInto(t, a, b);
    want = a * b;
    EXPECT_TRUE(payloadOf(t) == payloadOf(want));
    VFix::negInto(t, a);
    want = -a;
    EXPECT_TRUE(payloadOf(t) == payloadOf(want));
    VFix::shiftLeftInto(t, a, 2);
    want = a << 2;
    EXPECT_TRUE(payloadOf(t) == payloadOf(want));
    VFix::shiftRightInto(t, a, -2);
    EXPECT_TRUE(payloadOf(t) == payloadOf(want));

    // The destination already in the full-precision format receives the sum directly.
    VFix exact(0, 12, 6, Signed, Truncate, Wrap);
    VFix::addInto(exact, a, b);
    EXPECT_TRUE(payloadOf(exact) == -77 + 45 * 8);
    const VFix copy(exact);
    for (VFix* slot : copy.tempPool) EXPECT_EQ(slot, nullptr);
    const VFix& s0 = exact.tempSlot(0, 12, 6, Signed, Truncate, Wrap);
    EXPECT_EQ(&exact.tempSlot(0, 12, 0, Unsigned, Truncate, Wrap), &s0);
    EXPECT_EQ(s0.type(), Unsigned);
    exact.freeTempPool();
    EXPECT_EQ(exact.tempPool[0], nullptr);
}

TEST(Bitwise, AlignAndSignExtend) {
    const VFix a = withPayload(0x5A, 8, 0, Signed), m1 = withPayload(-1, 4, 0, Signed);
    EXPECT_TRUE(payloadOf(a & m1) == 0x5A);
    const VFix half = withPayload(1, 2, 1, Signed);  // 0.5
    const VFix both = a | half;                       // 90.5 in (9, 1)
    EXPECT_EQ(both.toDouble(), 90.5);
    EXPECT_EQ(both.getDbl(), 90.5);
    EXPECT_TRUE(payloadOf(~a) == ~0x5A);
    VFix t(0, 9, 1, Signed, Truncate, Wrap);
    VFix::xorInto(t, a, half);
    EXPECT_EQ(t.toDouble(), 90.5);
    VFix::nandInto(t, a, m1);
    EXPECT_TRUE(payloadOf(t) == ~0x5A * 2);

    const VFix yes(true), no(false);
    VFix flag;
    flag.setFormatFrom(yes);
    VFix::andInto(flag, yes, no);
    EXPECT_EQ(flag.getBit(0), 0);
    VFix::norInto(flag, no, no);
    EXPECT_EQ(flag.getBit(0), 1);
    EXPECT_EQ((yes ^ no).typeName(), "Bool");

    VFix x = withPayload(3, 4, 2, Signed);  // 0.75
    const VFix y = withPayload(6, 4, 3, Signed);
    for (int32_t code = 1; code <= 7; ++code) {
        VFix::compareByCode(flag, x, y, code);
        EXPECT_EQ(flag.getBit(0), code == 1 || code == 4 || code == 6 ? 1 : 0) << code;
    }
    EXPECT_TRUE(VFix::equals(x, y));
}

TEST(Text, Forms) {
    VFix h(0, 8, 7, Signed, Truncate, Wrap);
    h = 0.5;
    std::ostringstream os;
    os << h << ' ' << withPayload(5, 4, 0, Unsigned);
    EXPECT_EQ(os.str(), "VFix[8,7] '0.1000000' Unsigned VFix[4,0] '0101.'");
    EXPECT_EQ(VFix().typeName(), "UFix_0_0v");
    EXPECT_EQ(withPayload(0, 16, 15, Signed).typeName(), "Fix_16_15v");
    h.isConstant = 1;
    EXPECT_EQ(h.typeName(), "Fix_8_7");

    struct Row {
        VFix v;
        int32_t base, digits;
        const char* text;
    };
    const Row rows[] = {
        {withPayload(64, 8, 7, Signed), 10, -1, " 0.5"},
        {withPayload(64, 8, 7, Signed), 10, 3, " 0.500"},
        {withPayload(-96, 8, 7, Signed), 16, -1, "-0.C<base16>"},
        {withPayload(5, 8, 0, Unsigned), 2, -1, "101<base2>"},
        {withPayload(-128, 8, 0, Signed), 10, 2, "-128.00"},
        {withPayload(3, 8, -2, Signed), 10, -1, " 12"},
        {withPayload(1, 8, 7, Signed), 10, -1, " 0.007"},
        {withPayload(255, 8, 4, Unsigned), 40, -1, "F.U<base32>"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.v.toString(r.base, r.digits), r.text);
}

TEST(ToDouble, WordOrderAndPoints) {
    // 2^69 + 2^16 + 1 read from the top word down rounds twice, to 2^69.
    const VFix wide = withPayload(pow2(69) + pow2(16) + 1, 72, 0, Unsigned);
    EXPECT_EQ(wide.toDouble(), std::ldexp(1.0, 69));
    EXPECT_EQ(withPayload(-5, 8, -3, Signed).toDouble(), -40.0);
    EXPECT_EQ(withPayload(3, 4, 40, Signed).toDouble(), std::ldexp(3.0, -40));
    EXPECT_EQ(withPayload(-3, 40, 36, Signed).toDouble(), std::ldexp(-3.0, -36));
    EXPECT_EQ(VFix().toDouble(), 0.0);
}

}  // namespace
