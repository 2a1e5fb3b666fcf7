// End-to-end test support: a double-precision reference transform, a noise
// model of the burst engines, a simulation state owner and grid inputs.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <vector>

#include "vfft_v8_0.h"

namespace ref {

using cvec = std::vector<std::complex<double>>;

// X[k] = sum x[n] e^(-+2 pi j n k / N), forward with the minus sign, no 1/N;
// recursive radix 2 with directly computed twiddles.
inline cvec dft(const cvec& x, bool forward) {
    const size_t n = x.size();
    if (n == 1) return x;
    cvec half[2] = {cvec(n / 2), cvec(n / 2)}, X(n);
    for (size_t i = 0; i < n; ++i) half[i % 2][i / 2] = x[i];
    for (cvec& h : half) h = dft(h, forward);
    for (size_t k = 0; k < n / 2; ++k) {
        const auto t = std::polar(1.0, (forward ? -2.0 : 2.0) * M_PI * double(k) / double(n)) * half[1][k];
        X[k] = half[0][k] + t;
        X[k + n / 2] = half[0][k] - t;
    }
    return X;
}

// Largest (root-mean-square with rms set) part-wise difference between a
// result and a reference divided by 2^scaleExp.
inline double maxError(const std::vector<double>& re, const std::vector<double>& im, const cvec& ref,
                       int scaleExp, bool rms = false) {
    const double f = std::ldexp(1.0, -scaleExp);
    double worst = 0.0, sum = 0.0;
    for (size_t i = 0; i < ref.size(); ++i) {
        for (double d : {re[i] - ref[i].real() * f, im[i] - ref[i].imag() * f}) {
            worst = std::max(worst, std::fabs(d));
            sum += d * d;
        }
    }
    return rms ? std::sqrt(sum / double(2 * ref.size())) : worst;
}

// Stage radices of a burst engine: radix-4 stages and a final radix-2 stage
// for odd lengths (C_ARCH 1), radix-2 stages otherwise.
inline std::vector<int> burstStages(int arch, int nfft) {
    std::vector<int> radix(size_t(arch == 1 ? nfft / 2 : nfft), arch == 1 ? 4 : 2);
    if (arch == 1 && nfft % 2 == 1) radix.push_back(2);
    return radix;
}

// Block floating point: the block exponent spent as early as the engine can
// (radix 2: 1 bit in the first stage, 2 later; radix 4: 2, then 3), the
// placement that amplifies the rounding noise most.
inline std::vector<int> earliestShifts(const std::vector<int>& radix, int blkExp) {
    std::vector<int> shifts(radix.size(), 0);
    for (size_t s = 0; s < radix.size(); ++s) {
        shifts[s] = std::min(blkExp, (radix[0] == 4 ? 2 : 1) + (s > 0 ? 1 : 0));
        blkExp -= shifts[s];
    }
    return shifts;
}

// Three times the modelled RMS part error of a burst engine's result, in
// result units, for inputs of mean square `power` per part. A stage of radix
// r and shift sh multiplies the power of signal and error by r / 4^sh, and
// adds twiddle quantisation noise in proportion to the signal and one LSB^2
// of product and output rounding (truncation bias included).
inline double noiseBound(const std::vector<int>& radix, const std::vector<int>& shifts, double power,
                         int lsbExp, int twiddleWidth) {
    const double lsb = std::ldexp(1.0, lsbExp), tw = std::ldexp(1.0, -(twiddleWidth - 1));
    double noise = 0.0;
    for (size_t s = 0; s < radix.size(); ++s) {
        const double g = radix[s] / std::ldexp(1.0, 2 * shifts[s]);
        noise = (noise + power * tw * tw) * g + lsb * lsb;
        power *= g;
    }
    return 3.0 * std::sqrt(noise);
}

inline velmor_ip_vfft_v8_0_generics generics(int nfftMax, int arch, int inputWidth, int twiddleWidth,
                                             int scaling, int bfp, int rounding, int hasNfft = 0) {
    return {nfftMax, arch, hasNfft, 0, inputWidth, twiddleWidth, scaling, bfp, rounding};
}

// n random values in [-amplitude, amplitude) on the grid of a `width`-bit fraction.
inline std::vector<double> gridNoise(size_t n, int width, double amplitude, uint32_t seed) {
    std::mt19937_64 rng(seed);
    const double step = std::ldexp(1.0, -(width - 1)), top = std::floor(amplitude / step);
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
