// Test support for end-to-end transforms: a double-precision reference
// transform, an owner of a simulation state, and input generators on the grid
// of the input width.
#pragma once

#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <vector>

#include "vfft_v8_0.h"

namespace ref {

using cvec = std::vector<std::complex<double>>;

// X[k] = sum x[n] e^(-+2 pi j n k / N): forward uses the minus sign; no 1/N.
// Radix-2 with directly computed twiddles, accurate to a few ulps times log N.
inline cvec dft(const cvec& x, bool forward) {
    const size_t n = x.size();
    int bits = 0;
    while ((size_t(1) << bits) < n) ++bits;
    cvec a(n);
    for (size_t i = 0; i < n; ++i) {
        size_t r = 0;
        for (int b = 0; b < bits; ++b) r |= ((i >> b) & 1) << (bits - 1 - b);
        a[r] = x[i];
    }
    const double sign = forward ? -1.0 : 1.0;
    for (size_t len = 2; len <= n; len <<= 1) {
        for (size_t k = 0; k < len / 2; ++k) {
            const double ang = sign * 2.0 * M_PI * double(k) / double(len);
            const std::complex<double> w(std::cos(ang), std::sin(ang));
            for (size_t s = 0; s < n; s += len) {
                const auto u = a[s + k];
                const auto v = a[s + k + len / 2] * w;
                a[s + k] = u + v;
                a[s + k + len / 2] = u - v;
            }
        }
    }
    return a;
}

// Largest part-wise absolute difference between a result and a reference
// divided by 2^scaleExp.
inline double maxError(const std::vector<double>& re, const std::vector<double>& im, const cvec& ref,
                       int scaleExp) {
    const double f = std::ldexp(1.0, -scaleExp);
    double e = 0.0;
    for (size_t i = 0; i < ref.size(); ++i) {
        e = std::max(e, std::fabs(re[i] - ref[i].real() * f));
        e = std::max(e, std::fabs(im[i] - ref[i].imag() * f));
    }
    return e;
}

// Root-mean-square part-wise difference between a result and a reference
// divided by 2^scaleExp.
inline double rmsError(const std::vector<double>& re, const std::vector<double>& im, const cvec& ref,
                       int scaleExp) {
    const double f = std::ldexp(1.0, -scaleExp);
    double acc = 0.0;
    for (size_t i = 0; i < ref.size(); ++i) {
        const double dr = re[i] - ref[i].real() * f;
        const double di = im[i] - ref[i].imag() * f;
        acc += dr * dr + di * di;
    }
    return std::sqrt(acc / double(2 * ref.size()));
}

// Noise model of a fixed-point transform, in output units. Every stage adds
// about one output LSB of quantisation noise per part (truncation bias
// included) and twiddle quantisation noise proportional to the signal; a
// stage of gain g (2 for radix-2, 4 for radix-4) multiplies the power of what
// it receives by g / 4^shift. Returns three times the modelled RMS part error:
// far below the signal, so a wrong twiddle, index map or shift shows.
inline double noiseBound(const std::vector<int>& gains, const std::vector<int>& shifts, int lsbExp,
                         int twiddleWidth, double amplitude) {
    const double lsb = std::ldexp(1.0, lsbExp);
    const double tw = std::ldexp(1.0, -(twiddleWidth - 1));
    double signal = amplitude * amplitude / 3.0;
    double noise = 0.0;
    for (size_t s = 0; s < gains.size(); ++s) {
        const double g = double(gains[s]) / std::ldexp(1.0, 2 * shifts[s]);
        noise = noise * g + signal * g * tw * tw + lsb * lsb;
        signal *= g;
    }
    return 3.0 * std::sqrt(noise);
}

// RMS of one part of a random signal after the same stages, for comparison.
inline double signalLevel(const std::vector<int>& gains, const std::vector<int>& shifts, double amplitude) {
    double signal = amplitude * amplitude / 3.0;
    for (size_t s = 0; s < gains.size(); ++s) signal *= double(gains[s]) / std::ldexp(1.0, 2 * shifts[s]);
    return std::sqrt(signal);
}

struct Result {
    int code = -1;
    std::vector<double> re, im;
    int blk_exp = 0;
    int overflow = 0;
};

// Owns one simulation state for the lifetime of a test.
class Core {
public:
    explicit Core(const velmor_ip_vfft_v8_0_generics& g) : st_(velmor_ip_vfft_v8_0_create_state(g)) {}
    ~Core() {
        if (st_) velmor_ip_vfft_v8_0_destroy_state(st_);
    }
    Core(const Core&) = delete;
    Core& operator=(const Core&) = delete;
    bool ok() const { return st_ != nullptr; }

    Result run(std::vector<double> re, std::vector<double> im, int nfft, int direction,
               std::vector<int32_t> schedule = {}) {
        Result r;
        const size_t n = re.size();
        r.re.assign(n, 0.0);
        r.im.assign(n, 0.0);
        velmor_ip_vfft_v8_0_inputs in{nfft,
                                      re.data(),
                                      int32_t(n),
                                      im.data(),
                                      int32_t(n),
                                      schedule.empty() ? nullptr : schedule.data(),
                                      int32_t(schedule.size()),
                                      direction};
        velmor_ip_vfft_v8_0_outputs out{r.re.data(), int32_t(n), r.im.data(), int32_t(n), -7, -7};
        r.code = velmor_ip_vfft_v8_0_bitacc_simulate(st_, in, &out);
        r.blk_exp = out.blk_exp;
        r.overflow = out.overflow;
        return r;
    }

private:
    velmor_ip_vfft_v8_0_state* st_;
};

inline velmor_ip_vfft_v8_0_generics generics(int nfftMax, int arch, int inputWidth, int twiddleWidth,
                                             int scaling, int bfp, int rounding, int hasNfft = 0) {
    velmor_ip_vfft_v8_0_generics g = velmor_ip_vfft_v8_0_get_default_generics();
    g.C_NFFT_MAX = nfftMax;
    g.C_ARCH = arch;
    g.C_HAS_NFFT = hasNfft;
    g.C_INPUT_WIDTH = inputWidth;
    g.C_TWIDDLE_WIDTH = twiddleWidth;
    g.C_HAS_SCALING = scaling;
    g.C_HAS_BFP = bfp;
    g.C_HAS_ROUNDING = rounding;
    return g;
}

// n random values in [-amplitude, amplitude) on the grid of a signed
// `width`-bit fraction.
inline std::vector<double> gridNoise(size_t n, int width, double amplitude, uint32_t seed) {
    std::mt19937_64 rng(seed);
    const double step = std::ldexp(1.0, -(width - 1));
    const double top = std::floor(amplitude / step);
    std::uniform_real_distribution<double> u(-top, top);
    std::vector<double> v(n);
    for (auto& x : v) x = std::floor(u(rng)) * step;
    return v;
}

inline cvec combine(const std::vector<double>& re, const std::vector<double>& im) {
    cvec x(re.size());
    for (size_t i = 0; i < re.size(); ++i) x[i] = {re[i], im[i]};
    return x;
}

}  // namespace ref
