// vfft demo: one transform of a built-in signal of five tones through a core,
// with the configuration in words, the block exponent, the overflow flag, the
// five strongest bins and the signal-to-quantisation-noise ratio against a
// double-precision transform of the same input at the same scale.
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <numeric>

#include "commands.h"
#include "core.h"
#include "stimulus.h"

namespace vfft_cli {

namespace {

const char* const kDemoHelp =
    "usage: vfft [demo] [core options]\n"
    "\n"
    "Transforms a built-in frame of five tones of distinct strength and prints\n"
    "the configuration, the block exponent and overflow flag, the five strongest\n"
    "bins and the SQNR against a double-precision transform at the same scale.\n"
    "\n";

// Double-precision radix-2 transform with directly computed twiddles; the
// inverse has no 1/N factor, like the core's.
std::vector<std::complex<double>> referenceTransform(const std::vector<double>& re, const std::vector<double>& im,
                                                     bool forward) {
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
            const double angle = sign * 2.0 * M_PI * double(k) / double(len);
            const std::complex<double> w(std::cos(angle), std::sin(angle));
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

// Five tones of falling strength on distinct bins for every length from 8:
// 1, 3, N/2 + 1, N - 2 and N/4.
std::vector<Tone> demoTones(int points) {
    return {{1, 0.3, 0.0}, {3, 0.2, 0.5}, {points / 2 + 1, 0.12, 1.0}, {points - 2, 0.08, 1.5}, {points / 4, 0.05, 2.0}};
}

}  // namespace

int demoCommand(const std::vector<std::string>& args) {
    if (wantsHelp(args)) {
        std::printf("%s%s", kDemoHelp, kCoreOptionsHelp);
        return 0;
    }
    CoreOptions options;
    ArgReader reader("demo", args);
    while (!reader.done())
        if (!parseCoreOption(reader, options)) reader.unknown();

    std::printf("generics:");
    for (const GenericField& f : kGenericFields) std::printf(" %s=%d", f.name, int(options.generics.*f.member));
    std::printf("\n");
    std::fflush(stdout);
    Core core(options);
    std::printf("core: %s\n", core.describe().c_str());

    const FrameSettings& settings = core.defaults();
    const int n = settings.points();
    const CodeFormat codes = core.inputCodes();
    // Single-precision data keep 24 significant bits, so that grid holds the
    // signal exactly in both modes.
    const Signal x = toneSignal(demoTones(n), n, codes.single ? 23 : codes.fractionBits);
    const FrameResult y = core.transform({{settings, x.re, x.im, "demo frame"}}).front();

    // Scaled results: by the block exponent, or by the schedule's shifts.
    const bool blockFloat = core.rules().has_blk_exp != 0;
    const bool scaled = blockFloat || !settings.schedule.empty();
    const int scaleExp = blockFloat ? y.blkExp : std::accumulate(settings.schedule.begin(), settings.schedule.end(), 0);
    std::printf("%d-point %s transform: blk_exp %d, overflow %d, %s\n", n, settings.direction ? "forward" : "inverse",
                int(y.blkExp), int(y.overflow),
                scaled ? ("results scaled by 2^-" + std::to_string(scaleExp)).c_str() : "results at the scale of the input");

    const auto reference = referenceTransform(x.re, x.im, settings.direction == 1);
    double signal = 0.0, noise = 0.0;
    std::vector<double> power(n);
    for (int k = 0; k < n; ++k) {
        const std::complex<double> want = std::ldexp(1.0, -scaleExp) * reference[k];
        const std::complex<double> got(y.re[k], y.im[k]);
        power[k] = std::norm(got);
        signal += std::norm(want);
        noise += std::norm(got - want);
    }
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    const int shown = std::min(n, 5);
    std::partial_sort(order.begin(), order.begin() + shown, order.end(),
                      [&](int a, int b) { return power[a] > power[b] || (power[a] == power[b] && a < b); });
    std::printf("strongest bins:\n");
    for (int i = 0; i < shown; ++i) {
        const int k = order[i];
        std::printf("  X[%d] = %.9g %+.9gj\n", k, y.re[k], y.im[k]);
    }
    if (noise > 0)
        std::printf("SQNR against a double-precision transform: %.2f dB\n", 10.0 * std::log10(signal / noise));
    else
        std::printf("SQNR against a double-precision transform: exact\n");
    return 0;
}

}  // namespace vfft_cli
