#include "api/single_mode.h"

#include <cmath>
#include <cstring>

#include "api/quantize.h"
#include "api/single.h"

namespace {

void flushSubnormal(double& x, const char* part, const Reporter& report) {
    if (isSubnormalSingle(toSingle(x))) {
        x = 0.0;
        report.line("WARNING:vfft_v8_0:simulate called with a denormalized ", part,
                   " data value, this value will be set to zero");
    }
}

void noteMagnitude(double x, const char* part, double& largest, bool& invalid, const Reporter& report) {
    const float f = toSingle(x);
    const double m = f > 0 ? x : -x;
    if (m > largest) largest = toSingle(m);
    if (isNanSingle(f) || isInfSingle(f)) {
        invalid = true;
        report.line("WARNING:vfft_v8_0:simulate called with ", part,
                   " data values set to inf or NaN, output will be invalidated");
    }
}

// Multiplication by 2^k in steps of at most 2^62: each step divides by 2^c
// (k < 0) or multiplies by it, which is the multiplication by the exact
// factor 2^-c or 2^c. The exponents of a call (input block exponent, engine
// block exponent, pre-division) stay within +-500.
struct PowerOfTwoSteps {
    explicit PowerOfTwoSteps(int32_t k) {
        int32_t n = k < 0 ? -k : k;
        do {
            const int32_t c = n < 62 ? n : 62;
            factors[count++] = powerOfTwo(k < 0 ? -c : c);
            n -= 62;
        } while (n > 0);
    }
    double apply(double x) const {
        for (int32_t i = 0; i < count; ++i) x *= factors[i];
        return x;
    }
    int32_t count = 0;
    double factors[9];
};

// floor(log10(x) / log10(2)) for x > 0. Away from powers of two it is the
// binary exponent of x, read from its bits; within a relative 2^-30 of one,
// where the rounding of the logarithms decides, the logarithms are evaluated.
int32_t binaryExponent(double x) {
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const int32_t field = static_cast<int32_t>((bits >> 52) & 0x7FF);
    const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
    if (field != 0 && fraction > (uint64_t{1} << 22) && fraction < (uint64_t{1} << 52) - (uint64_t{1} << 22))
        return field - 1023;
    return static_cast<int32_t>(std::floor(std::log10(x) / std::log10(2.0)));
}

// Rounds x to 24 significant bits, ties to even, without single-precision
// exponent limits.
double roundToSingleSignificance(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    const int32_t field = static_cast<int32_t>((bits >> 52) & 0x7FF);
    const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
    if (field > 1 && field < 2045 && fraction > (uint64_t{1} << 22) &&
        fraction < (uint64_t{1} << 52) - (uint64_t{1} << 22)) {
        // Where binaryExponent reads the exponent from the bits: the 29
        // fraction bits below the 24 kept ones rounded away on the bits
        // themselves (half minus one, plus the lowest kept bit; a carry runs
        // into the exponent).
        bits += (uint64_t{1} << 28) - 1 + ((bits >> 29) & 1);
        bits &= ~((uint64_t{1} << 29) - 1);
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    if (v == 0.0) return v;
    const double s = v >= 0 ? 1.0 : -1.0;
    const double x = std::fabs(v);
    const int32_t e = binaryExponent(x);
    const double scale = powerOfTwo(-1 - e);
    const double rounded = s * quantizeToWidth(x * scale, 25, 1);
    // Division by the power of two scale, as multiplication by its inverse
    // where that is a normal double.
    return e < 1022 && e > -1022 ? rounded * powerOfTwo(1 + e) : rounded / scale;
}

}  // namespace

namespace {

// The largest single magnitude of a frame whose values are all zeros or
// normal singles (within the single range, from the smallest normal
// magnitude up), which neither warn nor change; -1 for any other frame. For
// such values the magnitude noted per value is |x|, and the largest of them
// rounds to the single of the largest |x|.
double plainLargest(const velmor_ip_vfft_v8_0_inputs& in, int32_t points, int32_t step) {
    constexpr double kSmallestNormal = 1.1754943508222875e-38;  // 2^-126
    double largest = 0.0;
    bool plain = true;
    for (int32_t i = 0; i < points * step; i += step)
        for (const double x : {in.xn_re[i], in.xn_im[i]}) {
            const double a = std::fabs(x);
            largest = a > largest ? a : largest;
            plain &= a == 0.0 || (a >= kSmallestNormal && a <= kSingleMax);  // false for NaN
        }
    return plain ? toSingle(largest) : -1.0;
}

}  // namespace

SingleScan scanSingleInputs(const velmor_ip_vfft_v8_0_inputs& in, int32_t points, int32_t step,
                            const Reporter& report) {
    SingleScan scan;
    double largest = plainLargest(in, points, step);
    if (largest < 0) {
        largest = 0.0;
        for (int32_t i = 0; i < points * step; i += step) {
            flushSubnormal(in.xn_re[i], "real", report);
            flushSubnormal(in.xn_im[i], "imag", report);
            noteMagnitude(in.xn_re[i], "real", largest, scan.invalid, report);
            noteMagnitude(in.xn_im[i], "imag", largest, scan.invalid, report);
        }
    }
    if (std::isinf(largest)) {
        scan.infinite = true;
        scan.invalid = true;
    } else if (largest > 0) {
        scan.exponent = static_cast<int32_t>(std::floor(std::log10(largest) / std::log10(2.0)) + 1);
    }
    const int32_t e = scan.exponent;
    int32_t n = e < 0 ? -e : e;
    scan.stepCount = 0;
    do {
        const int32_t c = n < 62 ? n : 62;
        scan.steps[scan.stepCount++] = std::ldexp(1.0f, e < 0 ? c : -c);
        n -= 62;
    } while (n > 0);
    return scan;
}

double scaleAndQuantizeSingle(double x, const SingleScan& scan, int32_t w) {
    float f = toSingle(x);
    if (scan.infinite)
        f = f * 0.0f;
    else
        for (int32_t k = 0; k < scan.stepCount; ++k) f *= scan.steps[k];
    return quantizeToWidth(static_cast<double>(f), w, 1);
}

void finishSingleResults(const SingleScan& scan, int32_t k, velmor_ip_vfft_v8_0_outputs* out,
                         int32_t points, int32_t step) {
    if (scan.invalid) {
        float nan;
        const uint32_t pattern = 0x7FFFFFFFu;
        std::memcpy(&nan, &pattern, sizeof nan);
        for (int32_t i = 0; i < points * step; i += step) out->xk_re[i] = out->xk_im[i] = nan;
        return;
    }
    const PowerOfTwoSteps scale(k);
    for (int32_t i = 0; i < points * step; i += step) {
        double* parts[2] = {&out->xk_re[i], &out->xk_im[i]};
        for (double* p : parts) {
            *p = scale.apply(roundToSingleSignificance(*p));
            if (std::fabs(*p) > kSingleMax) {
                *p = toSingle(*p);
                out->overflow = 1;
            }
        }
    }
}
