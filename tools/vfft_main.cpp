// vfft: runs one demonstration transform through the library. The generics
// start from the defaults and may be overridden on the command line as
// NAME=VALUE (for example C_ARCH=3 C_NFFT_MAX=12). The input is a built-in
// multi-tone signal on the input grid; the program prints the block exponent,
// the overflow flag, the strongest bins and the signal-to-quantisation-noise
// ratio of the result against a double-precision transform of the same input
// at the same scale.
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "vfft_v8_0.h"

namespace {

struct Field {
    const char* name;
    int32_t velmor_ip_vfft_v8_0_generics::*member;
};

const Field kFields[] = {
    {"C_NFFT_MAX", &velmor_ip_vfft_v8_0_generics::C_NFFT_MAX},
    {"C_ARCH", &velmor_ip_vfft_v8_0_generics::C_ARCH},
    {"C_HAS_NFFT", &velmor_ip_vfft_v8_0_generics::C_HAS_NFFT},
    {"C_USE_FLT_PT", &velmor_ip_vfft_v8_0_generics::C_USE_FLT_PT},
    {"C_INPUT_WIDTH", &velmor_ip_vfft_v8_0_generics::C_INPUT_WIDTH},
    {"C_TWIDDLE_WIDTH", &velmor_ip_vfft_v8_0_generics::C_TWIDDLE_WIDTH},
    {"C_HAS_SCALING", &velmor_ip_vfft_v8_0_generics::C_HAS_SCALING},
    {"C_HAS_BFP", &velmor_ip_vfft_v8_0_generics::C_HAS_BFP},
    {"C_HAS_ROUNDING", &velmor_ip_vfft_v8_0_generics::C_HAS_ROUNDING},
};

bool applyOverride(velmor_ip_vfft_v8_0_generics& g, const char* arg) {
    const char* eq = std::strchr(arg, '=');
    if (!eq) return false;
    for (const Field& f : kFields) {
        if (std::strlen(f.name) == size_t(eq - arg) && std::strncmp(arg, f.name, eq - arg) == 0) {
            char* end = nullptr;
            const long v = std::strtol(eq + 1, &end, 10);
            if (end == eq + 1 || *end != '\0') return false;
            g.*f.member = static_cast<int32_t>(v);
            return true;
        }
    }
    return false;
}

// Double-precision radix-2 transform with directly computed twiddles.
std::vector<std::complex<double>> referenceTransform(const std::vector<double>& re,
                                                     const std::vector<double>& im, bool forward) {
    const size_t n = re.size();
    int bits = 0;
    while ((size_t(1) << bits) < n) ++bits;
    std::vector<std::complex<double>> a(n);
    for (size_t i = 0; i < n; ++i) {
        size_t r = 0;
        for (int b = 0; b < bits; ++b) r |= ((i >> b) & 1) << (bits - 1 - b);
        a[r] = {re[i], im[i]};
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

}  // namespace

int main(int argc, char** argv) {
    velmor_ip_vfft_v8_0_generics g = velmor_ip_vfft_v8_0_get_default_generics();
    for (int i = 1; i < argc; ++i) {
        if (!applyOverride(g, argv[i])) {
            std::fprintf(stderr, "vfft: argument %d, '%s': expected NAME=VALUE with NAME one of", i, argv[i]);
            for (const Field& f : kFields) std::fprintf(stderr, " %s", f.name);
            std::fprintf(stderr, " and an integer VALUE\n");
            return 2;
        }
    }
    std::printf("generics:");
    for (const Field& f : kFields) std::printf(" %s=%d", f.name, static_cast<int>(g.*f.member));
    std::printf("\n");

    velmor_ip_vfft_v8_0_state* state = velmor_ip_vfft_v8_0_create_state(g);
    if (!state) return 1;

    const int nfft = g.C_NFFT_MAX;
    const int n = 1 << nfft;
    // Three tones and a little offset, at 80% of full scale, on the input grid.
    const int width = g.C_USE_FLT_PT ? 24 : g.C_INPUT_WIDTH;
    const double step = std::ldexp(1.0, -(width - 1));
    std::vector<double> re(n), im(n), xr(n), xi(n);
    for (int i = 0; i < n; ++i) {
        const double t = 2.0 * M_PI * i / n;
        const double a = 0.45 * std::cos(3 * t) + 0.25 * std::sin(17 * t + 0.3) + 0.1 * std::cos((n / 4 + 5) * t);
        const double b = 0.45 * std::sin(3 * t) - 0.2 * std::cos(40 % (n / 2) * t) + 0.01;
        re[i] = std::floor(a / step) * step;
        im[i] = std::floor(b / step) * step;
    }
    const bool radix2 = g.C_ARCH == 2 || g.C_ARCH == 4;
    const int stages = radix2 ? nfft : (nfft + 1) / 2;
    // Enough scaling for the data never to overflow: one bit per radix-2 stage.
    std::vector<int32_t> schedule(stages, radix2 ? 1 : 2);
    if (!radix2 && (nfft & 1)) schedule.back() = 1;
    int scheduleSum = 0;
    for (int32_t s : schedule) scheduleSum += s;

    const int direction = 1;
    velmor_ip_vfft_v8_0_inputs in{nfft, re.data(), n, im.data(), n, schedule.data(), stages, direction};
    velmor_ip_vfft_v8_0_outputs out{xr.data(), n, xi.data(), n, 0, 0};
    const int code = velmor_ip_vfft_v8_0_bitacc_simulate(state, in, &out);
    velmor_ip_vfft_v8_0_destroy_state(state);
    if (code != 0) return 1;

    // The scale of the results: 2^-(schedule) or 2^-blk_exp for a scaled core.
    int scaleExp = 0;
    if (g.C_HAS_SCALING && !g.C_USE_FLT_PT) scaleExp = g.C_HAS_BFP ? out.blk_exp : scheduleSum;
    const auto ref = referenceTransform(re, im, direction == 1);
    double signal = 0.0, noise = 0.0;
    int strongest[3] = {0, 0, 0};
    for (int k = 0; k < n; ++k) {
        const std::complex<double> want = std::ldexp(1.0, -scaleExp) * ref[k];
        const std::complex<double> got(xr[k], xi[k]);
        signal += std::norm(want);
        noise += std::norm(got - want);
        for (int j = 0; j < 3; ++j) {
            if (std::norm(got) > xr[strongest[j]] * xr[strongest[j]] + xi[strongest[j]] * xi[strongest[j]]) {
                for (int m = 2; m > j; --m) strongest[m] = strongest[m - 1];
                strongest[j] = k;
                break;
            }
        }
    }
    std::printf("%d-point forward transform: blk_exp %d, overflow %d, results scaled by 2^-%d\n", n, out.blk_exp,
                out.overflow, scaleExp);
    for (int k : strongest) std::printf("  X[%d] = %.9g %+.9gj\n", k, xr[k], xi[k]);
    if (noise > 0)
        std::printf("SQNR against a double-precision transform: %.2f dB\n", 10.0 * std::log10(signal / noise));
    else
        std::printf("SQNR against a double-precision transform: exact\n");
    return 0;
}
