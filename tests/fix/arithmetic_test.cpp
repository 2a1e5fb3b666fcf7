// Full-precision arithmetic, shifts, comparisons, compound assignment, the
// three-operand family, bitwise operations, the text forms and complex pairs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>
#include <tuple>
#include <utility>

#include "fix/FixComplex.h"
#include "fix_test_util.h"

namespace {

TEST(Arithmetic, ResultFormatsStatusAndExactnessAtMinusOne) {
    const VFix m1 = withPayload(-32768, 16, 15, Signed), u16 = withPayload(5, 16, 15, Unsigned);
    const VFix u18 = withPayload(7, 18, 17, Unsigned), fine = withPayload(-3, 4, 6, Signed);
    const struct { VFix r; int32_t w, f, type; double value; } rows[] = {
        {m1 + m1, 18, 15, Signed, -2.0},   {u16 - u18, 20, 17, Signed, std::ldexp(13, -17)},
        {m1 * m1, 33, 30, Signed, 1.0},    {u16 + u18, 19, 17, Unsigned, std::ldexp(27, -17)},
        {-m1, 17, 15, Signed, 1.0},        {u16 * u18, 34, 32, Unsigned, std::ldexp(35, -32)},
        {m1 >> 2, 18, 17, Signed, -0.25},  {withPayload(-pow2(31), 32, 0, Signed) * m1, 49, 15, Signed, 0x1p31},
        {m1 << 3, 19, 15, Signed, -8.0},   {fine + withPayload(2, 3, -2, Signed), 13, 6, Signed, 8 - 3.0 / 64},
    };
    for (const auto& row : rows)
        EXPECT_TRUE(row.r.width() == row.w && row.r.binaryPoint == row.f && row.r.type() == row.type &&
                    row.r.overflowMode() == Wrap && row.r.toDouble() == row.value) << row.w;
    // Shadows follow the double operations; the status is the AND of the operands'.
    VFix a = withPayload(3, 8, 4, Signed), b = withPayload(-5, 8, 2, Signed);
    a.shadow = 0.3, b.shadow = -1.3, b.isKnown = 0;
    for (const auto& [r, shadow] : {std::pair{a + b, 0.3 + -1.3}, {a - b, 0.3 - -1.3}, {a * b, 0.3 * -1.3}, {-b, 1.3}})
        EXPECT_TRUE(r.getDbl() == shadow && !r.valid());
    // A cast that gives an unsigned value no extra bit retypes it under the new overflow mode.
    EXPECT_EQ(payloadOf(VFix::castCopy(withPayload(200, 8, 0, Unsigned), 8, 0, Signed, Truncate, Saturate)), 127);
    for (const auto& op : {+[](const VFix& x) { return x + x; }, +[](const VFix& x) { return x * x; },
                           +[](const VFix& x) { return -x; }})
        EXPECT_THROW(op(VFix(true)), VNumException::UnimplementedSpec);
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
        VFix a = withPayload(pa, wa, fa, sa ? Signed : Unsigned), b = withPayload(pb, wb, fb, sb ? Signed : Unsigned);
        const i128 xa = pa * pow2(std::max(fa, fb) - fa), xb = pb * pow2(std::max(fa, fb) - fb);
        SCOPED_TRACE(iter);

        const VFix sum = a + b;
        VFix viaCast = VFix::castCopy(a, sum.width(), sum.binaryPoint, sum.type(), Truncate, Saturate);
        viaCast += b;
        ASSERT_TRUE(payloadOf(sum) == xa + xb && payloadOf(viaCast) == xa + xb && payloadOf(a - b) == xa - xb);
        // As cast then *=; exact unless b's fraction bits overflow the cast or a signed a meets an unsigned b.
        const VFix prod = a * b;
        VFix viaMul = VFix::castCopy(a, prod.width(), prod.binaryPoint, prod.type(), Truncate, Wrap);
        viaMul *= b;
        ASSERT_TRUE(payloadOf(prod) == payloadOf(viaMul));
        ASSERT_TRUE(!(fb >= 0 && fb <= wb + (sa ? 1 : 0) && !(sa && !sb)) || payloadOf(prod) == pa * pb);
        const int32_t cmp = VFix::compareWith(a, b);
        ASSERT_TRUE((a < b) == (xa < xb) && (a == b) == (xa == xb) && (cmp > 0) - (cmp < 0) == (xa > xb) - (xa < xb));
        ASSERT_TRUE(wa > 53 || a.toDouble() == std::ldexp(static_cast<double>(pa), -fa));
    }
}

// In-place operations keep the format: shifts round by the quantisation mode,
// compound operations align to the destination (a finer operand is truncated
// whatever the mode) and clamp or wrap by the overflow mode.
TEST(Compound, InPlaceOperationsKeepTheFormat) {
    using Op = void (*)(VFix&);
    const Op shr = [](VFix& x) { x >>= 1; }, shl = [](VFix& x) { x <<= 1; };
    const Op addFine = [](VFix& x) { x += withPayload(3, 8, 6, Signed); };  // +3/64
    const Op add = [](VFix& x) { x += withPayload(100, 8, 0, Signed); };
    const Op mul = [](VFix& x) { x *= withPayload(48, 8, 4, Signed); };  // * 3.0
    const struct { i128 p; int32_t w, f, q, o; Op op; i128 want; } rows[] = {
        {-1, 8, 7, Truncate, Wrap, shr, -1},   {-1, 8, 7, RoundHalfEven, Wrap, shr, 0},  // -1/128
        {-1, 8, 7, RoundHalfAway, Wrap, shr, -1}, {-1, 8, 7, RoundHalfEvenHoldMax, Wrap, shr, 0},
        {100, 8, 0, Truncate, Saturate, shl, 127}, {16, 8, 4, RoundHalfAway, Wrap, addFine, 16},
        {-16, 8, 4, RoundHalfAway, Wrap, addFine, -16}, {100, 8, 0, Truncate, Saturate, add, 127},
        {100, 8, 0, Truncate, Wrap, add, -56},    {48, 8, 4, Truncate, Saturate, mul, 127},
        {48, 8, 4, Truncate, Wrap, mul, -112},
    };
    for (const auto& r : rows) {
        VFix x = withPayload(r.p, r.w, r.f, Signed, r.q, r.o);
        r.op(x);
        EXPECT_TRUE(payloadOf(x) == r.want && x.width() == r.w && x.binaryPoint == r.f) << static_cast<int>(r.want);
    }
    VFix thr = withPayload(100, 8, 0, Signed, Truncate, Throw);
    EXPECT_EQ(overflowOf([&] { thr += thr; }), "on decreasing resize 0");
    EXPECT_EQ(payloadOf(thr), 100);
    thr.shiftPoint(3);
    EXPECT_TRUE(thr.toDouble() == 12.5 && (thr >> 2).toDouble() == 3.125);
}

TEST(Compare, AgainstPlusAndMinusOneAndAcrossFormats) {
    const VFix plus1(1, 0, Signed, Truncate, Wrap), minus1(-1, 0, Signed, Truncate, Wrap);
    for (const auto& [p, w, inRange] : {std::tuple{-32768, 16, true}, {32767, 16, true}, {-32769, 18, false},
                                        {32768, 18, false}})
        EXPECT_EQ(withPayload(p, w, 15, Signed) >= plus1 || withPayload(p, w, 15, Signed) < minus1, !inRange) << p;
    EXPECT_TRUE(withPayload(64, 8, 7, Signed) == withPayload(1, 4, 1, Signed));
}

TEST(OtherOperations, DivisionThreeOperandAndBitwise) {
    for (const auto& [a, b, q] :
         {std::tuple{3.0, 2.0, 1.5}, {-3.0, 2.0, -1.5}, {3.0, -0.5, -6.0}, {-1.0, -0.25, 4.0}}) {
        EXPECT_EQ((VFix(a, 16, 8, Signed, Truncate, Wrap) /= VFix(b, 8, 4, Signed, Truncate, Wrap)).toDouble(), q);
    }
    const VFix a = withPayload(-77, 10, 6, Signed), b = withPayload(45, 7, 3, Unsigned);
    VFix t(0, 12, 5, Signed, RoundHalfEven, Saturate), want(t);
    VFix::multInto(t, a, b);
    EXPECT_EQ(payloadOf(t), payloadOf(want = a * b));
    VFix flag(false), p = withPayload(3, 4, 2, Signed);
    for (int32_t code = 1; code <= 7; ++code) {
        VFix::compareByCode(flag, p, withPayload(6, 4, 3, Signed), code);  // 0.75 against 0.75
        EXPECT_EQ(flag.getBit(0), code == 1 || code == 4 || code == 6 ? 1 : 0) << code;
    }
}

// Operands aligned to a common format, a narrower negative one sign-extended:
// as operators and into a register; Bool operands give a Bool.
TEST(OtherOperations, BitwiseOperatorsAndIntoForms) {
    const VFix a = withPayload(-77, 10, 6, Signed), b = withPayload(45, 7, 3, Unsigned);  // -77 and 360 at point 6
    using Into = void (*)(VFix&, const VFix&, const VFix&);
    const struct { VFix op; Into into; int want; } rows[] = {
        {a & b, VFix::andInto, 288},        {a | b, VFix::orInto, -5},         {a ^ b, VFix::xorInto, -293},
        {~(a & b), VFix::nandInto, -289},   {~(a | b), VFix::norInto, 4},      {~(a ^ b), VFix::xnorInto, 292},
    };
    for (const auto& r : rows) {
        VFix t(0, 12, 6, Signed, Truncate, Wrap);
        r.into(t, a, b);
        EXPECT_TRUE(payloadOf(r.op) == r.want && r.op.width() == 10 && r.op.binaryPoint == 6 && payloadOf(t) == r.want)
            << r.want;
    }
    VFix t(0, 12, 6, Signed, Truncate, Wrap);
    VFix::notInto(t, a);
    EXPECT_TRUE(payloadOf(~a) == 76 && payloadOf(t) == 76);
    EXPECT_EQ(payloadOf(withPayload(0x5A, 8, 0, Signed) & withPayload(-1, 4, 0, Signed)), 0x5A);
    const VFix yes(true), no(false);
    VFix nor(0, 2, 0, Unsigned, Truncate, Wrap), xnor(nor), nand(nor);
    VFix::norInto(nor, no, no);
    VFix::xnorInto(xnor, yes, no);
    VFix::nandInto(nand, yes, yes);
    std::string bits = (yes & no).typeName();
    for (const VFix& v : {yes & no, yes | no, yes ^ yes, ~no, nor, xnor, nand}) bits += std::to_string(v.getBit(0));
    EXPECT_EQ(bits, "Bool0101100");
}

TEST(Conversions, TextAndDouble) {
    std::ostringstream os;
    os << withPayload(64, 8, 7, Signed) << withPayload(5, 4, 0, Unsigned) << VFix().typeName() << VFix(true).typeName();
    EXPECT_EQ(os.str(), "VFix[8,7] '0.1000000'Unsigned VFix[4,0] '0101.'UFix_0_0vBool");
    EXPECT_EQ(withPayload(64, 8, 7, Signed).toString(10, 3) + withPayload(-96, 8, 7, Signed).toString(16, -1) +
                  withPayload(-128, 8, 0, Signed).toString(10, 2) + withPayload(3, 8, -2, Signed).toString(10, -1) +
                  withPayload(1, 8, 7, Signed).toString(10, -1) + withPayload(255, 8, 4, Unsigned).toString(40, -1),
              " 0.500-0.C<base16>-128.00 12 0.007F.U<base32>");
    // 2^69 + 2^16 + 1 read from the top word down rounds twice, to 2^69.
    EXPECT_EQ(withPayload(pow2(69) + pow2(16) + 1, 72, 0, Unsigned).toDouble(), std::ldexp(1.0, 69));
    EXPECT_EQ(withPayload(-5, 8, -3, Signed).toDouble(), -40.0);
    EXPECT_EQ(withPayload(3, 4, 40, Signed).toDouble(), std::ldexp(3.0, -40));
    EXPECT_EQ(withPayload(-3, 40, 36, Signed).toDouble(), std::ldexp(-3.0, -36));
}

FixComplex cpx(i128 re, i128 im, int32_t w, int32_t f) {
    return FixComplex(withPayload(re, w, f, Signed), withPayload(im, w, f, Signed));
}

TEST(FixComplex, FormatsProductsAndRegisters) {
    const FixComplex m = cpx(-32768, -32768, 16, 15), r = cpx(-32768, 0, 16, 15);  // -1 - 1i, -1
    for (const auto& [z, w, f] : {std::tuple{m + m, 18, 15}, std::tuple{m - m, 18, 15}, std::tuple{m * m, 34, 30}})
        for (const VFix* part : {&z.re, &z.im}) EXPECT_TRUE(part->width() == w && part->binaryPoint == f);
    EXPECT_TRUE(payloadOf((m * m).re) == 0 && payloadOf((m * m).im) == 2 * pow2(30) && (r * r).re.toDouble() == 1.0);
    FixComplex unknown = m;
    unknown.im.isKnown = 0;
    EXPECT_FALSE((m * unknown).re.valid() || (m * unknown).im.valid() || (m + unknown).im.valid());

    FixComplex reg;
    reg.setFormatFrom(VFix(0, 16, 15, Signed, Truncate, Saturate));
    reg = cpx(3 * pow2(14), pow2(13), 18, 15);  // 1.5 + 0.25i: only the real part clamps
    EXPECT_TRUE(payloadOf(reg.re) == 32767 && reg.im.toDouble() == 0.25);
    reg += cpx(pow2(14), pow2(14), 16, 15);
    EXPECT_TRUE(payloadOf(reg.re) == 32767 && reg.im.toDouble() == 0.75);
    // The pair constructor gives both parts the real part's format.
    EXPECT_EQ(FixComplex(withPayload(1, 8, 7, Signed), withPayload(3, 4, 2, Signed)).im.toDouble(), 0.75);

    // The conjugate keeps the width: the most negative value wraps onto itself.
    const FixComplex c = FixComplex::conjugate(cpx(5, -128, 8, 7));
    EXPECT_TRUE(c.im.width() == 8 && payloadOf(c.im) == -128);
    EXPECT_EQ(payloadOf(FixComplex::conjugate(cpx(5, 3, 8, 7)).im), -3);
}

// Random pairs, with imaginary parts of the real parts' shape (the datapath
// case) or of other shapes, against 128-bit integers: parts are exact at the
// finest point g, then truncated to the real parts' point and wrapped.
TEST(FixComplex, RandomProductsAndDifferences) {
    std::mt19937_64 rng(5);
    for (int iter = 0; iter < 3000; ++iter) {
        int32_t w[4], f[4];  // a.re, a.im, b.re, b.im
        i128 p[4];
        FixComplex a, b;
        const bool sameShape = rng() % 2 == 0;
        for (int k = 0; k < 4; ++k) {
            const int src = sameShape ? k & 2 : k;
            w[k] = k == src ? 1 + static_cast<int32_t>(rng() % 40) : w[src];
            f[k] = k == src ? static_cast<int32_t>(rng() % (std::min(w[k], 10) + 1)) : f[src];
            p[k] = randomPayload(rng, w[k], true);
            VFix& part = k == 0 ? a.re : k == 1 ? a.im : k == 2 ? b.re : b.im;
            part.setFormatFrom(withPayload(0, w[k], f[k], Signed));
            part = withPayload(p[k], w[k], f[k], Signed);
        }
        const int32_t g = *std::max_element(f, f + 4) * 2;
        const auto term = [&](int x, int y) { return p[x] * p[y] * pow2(g - f[x] - f[y]); };
        const FixComplex prod = a * b;
        const int32_t pw = w[0] + w[2] + 2, pf = f[0] + f[2];
        ASSERT_EQ(prod.re.width(), pw);
        ASSERT_TRUE(payloadOf(prod.re) == wrapTo(floorShift(term(0, 2) - term(1, 3), g - pf), pw, true) &&
                    payloadOf(prod.im) == wrapTo(floorShift(term(0, 3) + term(1, 2), g - pf), pw, true)) << iter;

        const FixComplex diff = a - b;
        const int32_t sf = std::max(f[0], f[2]), sw = std::max(w[0] - f[0], w[2] - f[2]) + sf + 2;
        const auto at = [&](int x) { return p[x] * pow2(g - f[x]); };
        ASSERT_TRUE(payloadOf(diff.re) == wrapTo(floorShift(at(0) - at(2), g - sf), sw, true)) << iter;
        ASSERT_TRUE(payloadOf(diff.im) == wrapTo(floorShift(at(1) - at(3), g - sf), sw, true)) << iter;
    }
}

}  // namespace
