// Exact regression tests: simulation calls through the C interface with their
// results kept as doubles, and sample values written in units of the
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

// A simulation state for one set of generics, reused for several calls (each
// call rewrites everything of the state that it reads).
class Core {
public:
    explicit Core(const Generics& g)
        : nfft_(g.nfftMax),
          state_(velmor_ip_vfft_v8_0_create_state({g.nfftMax, g.arch, 0, g.flt, g.flt ? 32 : g.width, g.twiddle,
                                                   g.scaling, g.bfp, g.rounding})) {}
    ~Core() { velmor_ip_vfft_v8_0_destroy_state(state_); }
    Core(const Core&) = delete;
    Core& operator=(const Core&) = delete;

    // One call of nfft = C_NFFT_MAX; the inputs are padded with zeros.
    Result run(std::vector<double> re, std::vector<double> im, int direction = 1,
               std::vector<int32_t> schedule = {}) {
        Result r;
        if (state_ == nullptr) return r;
        const int32_t n = int32_t(1) << nfft_;
        re.resize(size_t(n), 0.0);
        im.resize(size_t(n), 0.0);
        r.re.assign(size_t(n), -7.0);
        r.im.assign(size_t(n), -7.0);
        const velmor_ip_vfft_v8_0_inputs in{nfft_,           re.data(), n, im.data(), n,
                                            schedule.data(), static_cast<int32_t>(schedule.size()), direction};
        velmor_ip_vfft_v8_0_outputs out{r.re.data(), n, r.im.data(), n, -1, -1};
        r.code = velmor_ip_vfft_v8_0_bitacc_simulate(state_, in, &out);
        r.blkExp = out.blk_exp;
        r.overflow = out.overflow;
        return r;
    }

private:
    int32_t nfft_;
    velmor_ip_vfft_v8_0_state* state_;
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
