// FixComplex: complex fixed-point pairs for the datapath.
//
// The operators size their result from the real parts. When each operand's
// imaginary part has the shape of its real part (as everywhere in the
// datapath), both result parts are built directly in that format; otherwise
// the parts are first given the format and then receive the per-part results
// by requantising assignment.

#include "fix/FixComplex.h"

namespace {

bool sameShape(const VFix& x, const VFix& y) {
    return x.width() == y.width() && x.binaryPoint == y.binaryPoint && x.type() == y.type();
}

// A pair whose parts hold 0 in (width, point, type, Truncate, Wrap).
FixComplex zeroPair(int32_t width, int32_t point, int32_t type) {
    const VFix format(0, width, point, type, Truncate, Wrap);
    FixComplex r;
    r.re.setFormatFrom(format);
    r.re = format;
    r.im.setFormatFrom(format);
    r.im = format;
    return r;
}

}  // namespace

FixComplex::FixComplex(const VFix& real, const VFix& imag) {
    re.setFormatFrom(real);
    im.setFormatFrom(real);
    re = real;
    im = imag;
}

FixComplex& FixComplex::operator=(const FixComplex& z) {
    re = z.re;
    im = z.im;
    return *this;
}

void FixComplex::setFormatFrom(const VFix& f) {
    re.setFormatFrom(f);
    im.setFormatFrom(f);
}

// The parts are results of a fresh pair, so they carry no constant marking.
FixComplex::FixComplex(SumTag, const FixComplex& a, const FixComplex& b, bool subtract)
    : re(VFix::SumTag{}, a.re, b.re, subtract), im(VFix::SumTag{}, a.im, b.im, subtract) {
    re.isConstant = 0;
    im.isConstant = 0;
}

FixComplex::FixComplex(ProductTag, const VFix::Format& f, const FixComplex& a, const FixComplex& b)
    : re(VFix::RawTag{}, f), im(VFix::RawTag{}, f) {
    VFix::crossMultiply(re, im, a.re, a.im, b.re, b.im);
}

FixComplex FixComplex::sum(const FixComplex& a, const FixComplex& b, bool subtract) {
    if (!a.re.isBool && !a.im.isBool && sameShape(a.re, a.im) && sameShape(b.re, b.im))
        return FixComplex(SumTag{}, a, b, subtract);
    const VFix::Format f = VFix::sumFormat(a.re, b.re, subtract);
    FixComplex r = zeroPair(f.width, f.point, f.type);
    r.re = subtract ? a.re - b.re : a.re + b.re;
    r.im = subtract ? a.im - b.im : a.im + b.im;
    return r;
}

// re = ar*br - ai*bi and im = ar*bi + ai*br, one bit wider than either
// product sum needs, so both parts are exact.
FixComplex FixComplex::product(const FixComplex& a, const FixComplex& b) {
    const VFix::Format f{a.re.width() + b.re.width() + 2, a.re.binaryPoint + b.re.binaryPoint, Signed};
    if (!a.im.isBool && sameShape(a.re, a.im) && sameShape(b.re, b.im) && VFix::productIsExact(a.re, b.re, f.width))
        return FixComplex(ProductTag{}, f, a, b);
    FixComplex r = zeroPair(f.width, f.point, f.type);
    const VFix p1 = a.im * b.im;
    const VFix p2 = a.re * b.re;
    r.re = p2 - p1;
    const VFix p3 = a.im * b.re;
    const VFix p4 = a.re * b.im;
    r.im = p4 + p3;
    return r;
}

FixComplex operator+(const FixComplex& a, const FixComplex& b) { return FixComplex::sum(a, b, false); }

FixComplex operator-(const FixComplex& a, const FixComplex& b) { return FixComplex::sum(a, b, true); }

FixComplex operator*(const FixComplex& a, const FixComplex& b) { return FixComplex::product(a, b); }

FixComplex& FixComplex::operator+=(const FixComplex& b) {
    re += b.re;
    im += b.im;
    return *this;
}

FixComplex FixComplex::conjugate(const FixComplex& z) {
    FixComplex c(z);
    c.im.negate();
    c.im.shadow = -c.im.shadow;
    return c;
}
