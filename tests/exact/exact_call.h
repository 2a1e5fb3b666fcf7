// Exact regression tests: one simulation call through the C interface with
// its results kept as doubles, and sample values written in units of the
// least significant bit of a w-bit fraction.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <ios>
#include <vector>

#include "vfft_v8_0.h"

namespace exact {

struct Generics {
    int nfftMax = 3, arch = 2, width = 16, twiddle = 16, scaling = 1, bfp = 1, rounding = 0, flt = 0;
};

struct Result {
    int32_t code = -1, blkExp = 0, overflow = 0;
    std::vector<double> re, im;
};

// value of an integer count of units of a signed w-bit fraction, 2^-(w-1) each
inline double units(int64_t count, int width) { return std::ldexp(static_cast<double>(count), 1 - width); }

// Creates a state for g, runs one call of nfft = C_NFFT_MAX and destroys it.
inline Result simulate(const Generics& g, std::vector<double> re, std::vector<double> im, int direction = 1,
                       std::vector<int32_t> schedule = {}) {
    const velmor_ip_vfft_v8_0_generics gen{g.nfftMax, g.arch,    0,         g.flt,   g.flt ? 32 : g.width,
                                           g.twiddle, g.scaling, g.bfp,     g.rounding};
    velmor_ip_vfft_v8_0_state* state = velmor_ip_vfft_v8_0_create_state(gen);
    Result r;
    if (state == nullptr) return r;
    const int32_t n = int32_t(1) << g.nfftMax;
    re.resize(size_t(n), 0.0);
    im.resize(size_t(n), 0.0);
    r.re.assign(size_t(n), -7.0);
    r.im.assign(size_t(n), -7.0);
    const velmor_ip_vfft_v8_0_inputs in{g.nfftMax,        re.data(), n, im.data(), n,
                                        schedule.data(), static_cast<int32_t>(schedule.size()), direction};
    velmor_ip_vfft_v8_0_outputs out{r.re.data(), n, r.im.data(), n, -1, -1};
    r.code = velmor_ip_vfft_v8_0_bitacc_simulate(state, in, &out);
    r.blkExp = out.blk_exp;
    r.overflow = out.overflow;
    velmor_ip_vfft_v8_0_destroy_state(state);
    return r;
}

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
