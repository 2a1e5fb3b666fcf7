// Exact regression tests: simulation calls through the C interface with their
// results kept as doubles, and sample values written in units of the
// least significant bit of a w-bit fraction.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <ios>
#include <vector>

#include "Harness.h"

namespace exact {

struct Generics {
    int nfftMax = 3, arch = 2, width = 16, twiddle = 16, scaling = 1, bfp = 1, rounding = 0, flt = 0;
};

// value of an integer count of units of a signed w-bit fraction, 2^-(w-1) each
inline double units(int64_t count, int width) { return std::ldexp(static_cast<double>(count), 1 - width); }

using Result = ::Result;

// The harness's state for these generics; calls are of C_NFFT_MAX points.
struct Core : ::Core {
    explicit Core(const Generics& g)
        : ::Core({g.nfftMax, g.arch, 0, g.flt, g.flt ? 32 : g.width, g.twiddle, g.scaling, g.bfp, g.rounding}) {}
};

// Every result part equals the expected one bit for bit; the first few
// differences are reported in hexadecimal floating point.
inline void expectSame(const std::vector<double>& got, const std::vector<double>& want, const char* part) {
    ASSERT_EQ(got.size(), want.size()) << part;
    int reported = 0;
    for (size_t k = 0; k < got.size() && reported < 4; ++k) {
        if (got[k] != want[k]) {
            ADD_FAILURE() << part << "[" << k << "] is " << std::hexfloat << got[k] << ", expected " << want[k];
            ++reported;
        }
    }
}

}  // namespace exact
