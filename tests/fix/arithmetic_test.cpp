// Full-precision arithmetic, shifts, comparisons, compound assignment, the
// three-operand family, bitwise operations and the text forms.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <tuple>
#include <utility>

#include "fix_test_util.h"

namespace {

TEST(Arithmetic, ResultFormatsAndExactnessAtMinusOne) {
    const VFix m1 = withPayload(-32768, 16, 15, Signed), u16 = withPayload(5, 16, 15, Unsigned);
    const VFix u18 = withPayload(7, 18, 17, Unsigned), fine = withPayload(-3, 4, 6, Signed);
    const struct {
        VFix r;
        int32_t w, f, type;
    } rows[] = {
        {m1 + m1, 18, 15, Signed},   {u16 - u18, 20, 17, Signed},  {u16 + u18, 19, 17, Unsigned},
        {m1 * m1, 33, 30, Signed},   {u16 * u18, 34, 32, Unsigned}, {-m1, 17, 15, Signed},
        {m1 >> 2, 18, 17, Signed},   {m1 << 3, 19, 15, Signed},
        {fine + withPayload(2, 3, -2, Signed), 13, 6, Signed},  // 5 integer and 6 fraction bits, sign, carry
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.r.width(), row.w);
        EXPECT_EQ(row.r.binaryPoint, row.f);
        EXPECT_EQ(row.r.type(), row.type);
    }
    EXPECT_EQ((m1 + m1).overflowMode(), Wrap);
    // A cast that gives an unsigned value no extra bit retypes it under the new overflow mode.
    EXPECT_EQ(payloadOf(VFix::castCopy(withPayload(200, 8, 0, Unsigned), 8, 0, Signed, Truncate, Saturate)), 127);
    EXPECT_EQ((m1 + withPayload(-1, 16, 15, Signed)).toDouble(), -1.0 - std::ldexp(1.0, -15));
    EXPECT_EQ(payloadOf(m1 * m1), pow2(30));
    EXPECT_EQ(payloadOf(-withPayload(-128, 8, 0, Signed)), 128);
    const VFix m32 = withPayload(-pow2(31), 32, 0, Signed);
    EXPECT_EQ(payloadOf(m32 * m32), pow2(62));
    const VFix b(true);
    EXPECT_THROW(b + m1, VNumException::UnimplementedSpec);
    EXPECT_THROW(b * m1, VNumException::UnimplementedSpec);
    EXPECT_THROW(-b, VNumException::UnimplementedSpec);
}

// Random operands against 128-bit integers; sums also against the general
// route of a cast followed by a compound operation under Saturate (which
// never acts on an exact result).
TEST(Arithmetic, RandomOperandsAreExact) {
    std::mt19937_64 rng(77);
    for (int iter = 0; iter < 4000; ++iter) {
        const int32_t wa = 1 + static_cast<int32_t>(rng() % 40), fa = static_cast<int32_t>(rng() % 48) - 8;
        const int32_t wb = 1 + static_cast<int32_t>(rng() % 40), fb = static_cast<int32_t>(rng() % 48) - 8;
        const bool sa = rng() % 2 == 0, sb = rng() % 2 == 0;
        const i128 pa = randomPayload(rng, wa, sa), pb = randomPayload(rng, wb, sb);
        VFix a = withPayload(pa, wa, fa, sa ? Signed : Unsigned);
        const VFix b = withPayload(pb, wb, fb, sb ? Signed : Unsigned);
        const i128 xa = pa * pow2(std::max(fa, fb) - fa), xb = pb * pow2(std::max(fa, fb) - fb);
        SCOPED_TRACE(iter);

        const VFix sum = a + b;
        ASSERT_TRUE(payloadOf(sum) == xa + xb);
        ASSERT_TRUE(payloadOf(a - b) == xa - xb);
        VFix viaCast = VFix::castCopy(a, sum.width(), sum.binaryPoint, sum.type(), Truncate, Saturate);
        viaCast += b;
        ASSERT_TRUE(payloadOf(viaCast) == xa + xb);
        // Exact unless b has more fraction bits than the cast of a leaves room for,
        // or a signed a meets an unsigned b.
        if (fb >= 0 && fb <= wb + (sa ? 1 : 0) && !(sa && !sb)) {
            const VFix prod = a * b;
            VFix viaMul = VFix::castCopy(a, prod.width(), prod.binaryPoint, prod.type(), Truncate, Saturate);
            viaMul *= b;
            ASSERT_TRUE(payloadOf(prod) == pa * pb);
            ASSERT_TRUE(payloadOf(viaMul) == pa * pb);
        }
        ASSERT_EQ(a < b, xa < xb);
        ASSERT_EQ(a == b, xa == xb);
        const int32_t cmp = VFix::compareWith(a, b);
        ASSERT_EQ(cmp < 0 ? -1 : cmp > 0, xa < xb ? -1 : xa > xb);
        if (wa <= 53) {
            ASSERT_EQ(a.toDouble(), std::ldexp(static_cast<double>(pa), -fa));
        }
    }
}

TEST(Shifts, RoundByModeOrMoveThePoint) {
    for (const auto& [q, payload] : {std::pair{Truncate, -1}, std::pair{RoundHalfEven, 0},
                                     std::pair{RoundHalfEvenHoldMax, 0}, std::pair{RoundHalfAway, -1}}) {
        VFix x = withPayload(-1, 8, 7, Signed, q);  // -1/128
        x >>= 1;
        EXPECT_EQ(payloadOf(x), payload) << q;
    }
    VFix x = withPayload(-37, 8, 7, Signed);
    x.shadow = -37.0 / 128;
    EXPECT_EQ(payloadOf(x >> 2), -37);
    EXPECT_EQ((x >> 2).getDbl(), -37.0 / 512);
    EXPECT_EQ((x << 2).toDouble(), -37.0 / 32);
    x.shiftPoint(3);
    EXPECT_EQ(x.toDouble(), -37.0 / 1024);
    VFix sat = withPayload(100, 8, 0, Signed, Truncate, Saturate);
    sat <<= 1;
    EXPECT_EQ(payloadOf(sat), 127);
}

TEST(Compare, AgainstPlusAndMinusOneAndAcrossFormats) {
    const VFix plus1(1, 0, Signed, Truncate, Wrap), minus1(-1, 0, Signed, Truncate, Wrap);
    for (i128 p : {-32768, -1, 0, 32767}) {
        EXPECT_FALSE(withPayload(p, 16, 15, Signed) >= plus1);
        EXPECT_FALSE(withPayload(p, 16, 15, Signed) < minus1);
    }
    EXPECT_TRUE(withPayload(-32769, 18, 15, Signed) < minus1);
    EXPECT_TRUE(withPayload(32768, 18, 15, Signed) >= plus1);
    EXPECT_TRUE(withPayload(64, 8, 7, Signed) == withPayload(1, 4, 1, Signed));
    EXPECT_TRUE(withPayload(15, 4, 0, Unsigned) > withPayload(-1, 8, 0, Signed));
}

TEST(Compound, AlignToTheDestination) {
    // A finer operand is cut to the destination's point by truncation, whatever its quantisation mode.
    for (const auto& [start, want] : {std::pair{16, 16}, std::pair{-16, -16}}) {
        VFix a = withPayload(start, 8, 4, Signed, RoundHalfAway);
        a += withPayload(3, 8, 6, Signed);  // +3/64
        EXPECT_EQ(payloadOf(a), want);
    }
    for (const auto& [o, sum, product] : {std::tuple{Saturate, 127, 127}, std::tuple{Wrap, -56, -112}}) {
        VFix x = withPayload(100, 8, 0, Signed, Truncate, o);
        x += withPayload(100, 8, 0, Signed);
        EXPECT_EQ(payloadOf(x), sum);
        VFix y = withPayload(48, 8, 4, Signed, Truncate, o);  // 3.0 * 3.0
        y *= withPayload(48, 8, 4, Signed);
        EXPECT_EQ(payloadOf(y), product);
    }
    VFix thr = withPayload(100, 8, 0, Signed, Truncate, Throw);
    EXPECT_THROW(thr += thr, VNumException::Overflow);
    EXPECT_EQ(payloadOf(thr), 100);
}

TEST(OtherOperations, DivisionThreeOperandAndBitwise) {
    for (const auto& [a, b, q] : {std::tuple{3.0, 2.0, 1.5}, std::tuple{-3.0, 2.0, -1.5}, std::tuple{3.0, -0.5, -6.0},
                                  std::tuple{-1.0, -0.25, 4.0}}) {
        VFix x(a, 16, 8, Signed, Truncate, Wrap);
        x /= VFix(b, 8, 4, Signed, Truncate, Wrap);
        EXPECT_EQ(x.toDouble(), q);
    }
    VFix r(7.5, 16, 8, Signed, Truncate, Wrap);
    r %= VFix(2.0, 8, 0, Signed, Truncate, Wrap);
    EXPECT_EQ(r.toDouble(), 1.5);

    const VFix a = withPayload(-77, 10, 6, Signed), b = withPayload(45, 7, 3, Unsigned);
    VFix t(0, 12, 5, Signed, RoundHalfEven, Saturate), want(0, 12, 5, Signed, RoundHalfEven, Saturate);
    VFix::multInto(t, a, b);
    want = a * b;
    EXPECT_EQ(payloadOf(t), payloadOf(want));
    VFix::subInto(t, a, b);
    want = a - b;
    EXPECT_EQ(payloadOf(t), payloadOf(want));
    VFix exact(0, 12, 6, Signed, Truncate, Wrap);  // the full-precision format receives the sum directly
    VFix::addInto(exact, a, b);
    EXPECT_EQ(payloadOf(exact), -77 + 45 * 8);
    for (VFix* slot : VFix(exact).tempPool) EXPECT_EQ(slot, nullptr);

    const VFix x = withPayload(0x5A, 8, 0, Signed);
    EXPECT_EQ(payloadOf(x & withPayload(-1, 4, 0, Signed)), 0x5A);  // -1 is sign-extended
    EXPECT_EQ((x | withPayload(1, 2, 1, Signed)).toDouble(), 90.5);
    const VFix yes(true), no(false);
    VFix flag(false);
    VFix::norInto(flag, no, no);
    EXPECT_EQ(flag.getBit(0), 1);
    VFix p = withPayload(3, 4, 2, Signed);
    for (int32_t code = 1; code <= 7; ++code) {
        VFix::compareByCode(flag, p, withPayload(6, 4, 3, Signed), code);  // 0.75 against 0.75
        EXPECT_EQ(flag.getBit(0), code == 1 || code == 4 || code == 6 ? 1 : 0) << code;
    }
}

TEST(Text, Forms) {
    std::ostringstream os;
    os << withPayload(64, 8, 7, Signed) << ' ' << withPayload(5, 4, 0, Unsigned);
    EXPECT_EQ(os.str(), "VFix[8,7] '0.1000000' Unsigned VFix[4,0] '0101.'");
    EXPECT_EQ(VFix().typeName(), "UFix_0_0v");
    EXPECT_EQ(withPayload(0, 16, 15, Signed).typeName(), "Fix_16_15v");
    EXPECT_EQ(VFix(true).typeName(), "Bool");
    const struct {
        VFix v;
        int32_t base, digits;
        const char* text;
    } rows[] = {
        {withPayload(64, 8, 7, Signed), 10, -1, " 0.5"},      {withPayload(64, 8, 7, Signed), 10, 3, " 0.500"},
        {withPayload(-96, 8, 7, Signed), 16, -1, "-0.C<base16>"}, {withPayload(5, 8, 0, Unsigned), 2, -1, "101<base2>"},
        {withPayload(-128, 8, 0, Signed), 10, 2, "-128.00"},  {withPayload(3, 8, -2, Signed), 10, -1, " 12"},
        {withPayload(1, 8, 7, Signed), 10, -1, " 0.007"},     {withPayload(255, 8, 4, Unsigned), 40, -1, "F.U<base32>"},
    };
    for (const auto& r : rows) EXPECT_EQ(r.v.toString(r.base, r.digits), r.text);
}

TEST(ToDouble, WordOrderAndPoints) {
    // 2^69 + 2^16 + 1 read from the top word down rounds twice, to 2^69.
    EXPECT_EQ(withPayload(pow2(69) + pow2(16) + 1, 72, 0, Unsigned).toDouble(), std::ldexp(1.0, 69));
    EXPECT_EQ(withPayload(-5, 8, -3, Signed).toDouble(), -40.0);
    EXPECT_EQ(withPayload(3, 4, 40, Signed).toDouble(), std::ldexp(3.0, -40));
    EXPECT_EQ(withPayload(-3, 40, 36, Signed).toDouble(), std::ldexp(-3.0, -36));
}

}  // namespace
