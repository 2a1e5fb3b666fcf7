// FixComplex: a complex fixed-point pair. Both parts normally share one format;
// result formats of the operators are taken from the real parts.
#pragma once

#include "fix/VFix.h"

class FixComplex {
public:
    FixComplex() = default;
    FixComplex(const VFix& real, const VFix& imag);  // both parts take real's format
    FixComplex(const FixComplex& z) = default;
    FixComplex& operator=(const FixComplex& z);      // requantising, part by part

    void setFormatFrom(const VFix& f);

    friend FixComplex operator+(const FixComplex& a, const FixComplex& b);
    friend FixComplex operator-(const FixComplex& a, const FixComplex& b);
    friend FixComplex operator*(const FixComplex& a, const FixComplex& b);
    FixComplex& operator+=(const FixComplex& b);
    static FixComplex conjugate(const FixComplex& z);

    VFix re;
    VFix im;

private:
    struct SumTag {};
    struct ProductTag {};
    // Both parts built directly in the full-precision result format.
    FixComplex(SumTag, const FixComplex& a, const FixComplex& b, bool subtract);
    FixComplex(ProductTag, const VFix::Format& f, const FixComplex& a, const FixComplex& b);

    static FixComplex sum(const FixComplex& a, const FixComplex& b, bool subtract);
    static FixComplex product(const FixComplex& a, const FixComplex& b);
};
