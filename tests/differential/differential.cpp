// Differential test of two builds of the library: the machine-integer
// datapath against the reference datapath, loaded side by side with dlopen.
// Random configurations and frames from fixed seeds; every call must give the
// same return code, messages, results (bit for bit), sizes, block exponent,
// overflow flag and input arrays after the call, on every vector target of
// the machine-integer library that the processor runs.
//
//   differential NATIVE.so REFERENCE.so SEED CASES [--case K]
//
// Case K of a seed is reproducible alone with --case K.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "LoadedLibrary.h"
#include "Stderr.h"
#include "VectorTargets.h"
#include "vfft_v8_0.h"

namespace {

uint64_t bits(double x) {
    uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

struct Case {
    velmor_ip_vfft_v8_0_generics g{};
    std::string describe() const { return ::describe(g); }
};

class Generator {
public:
    explicit Generator(uint64_t seed) : rng(seed) {}

    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    double uniform() { return std::uniform_real_distribution<double>(0.0, 1.0)(rng); }

    Case configuration() {
        Case c;
        velmor_ip_vfft_v8_0_generics& g = c.g;
        g.C_ARCH = pick(1, 4);
        const int top = pick(0, 19) == 0 ? 16 : 12;
        g.C_NFFT_MAX = pick(g.C_ARCH == 1 ? 6 : 3, top);
        g.C_HAS_NFFT = g.C_NFFT_MAX > (g.C_ARCH == 1 ? 6 : 3) ? pick(0, 1) : 0;
        g.C_USE_FLT_PT = pick(0, 4) == 0;
        g.C_INPUT_WIDTH = g.C_USE_FLT_PT ? 32 : width();
        g.C_TWIDDLE_WIDTH = width();
        const int scaling = pick(0, 2);  // unscaled, schedule, block floating point
        g.C_HAS_SCALING = scaling != 0;
        g.C_HAS_BFP = scaling == 2;
        g.C_HAS_ROUNDING = pick(0, 1);
        return c;
    }

    // Input and twiddle widths, both ends often.
    int width() {
        const int r = pick(0, 5);
        return r == 0 ? 8 : r == 1 ? 34 : pick(8, 34);
    }

    // One part of a fixed-point frame: codes on the input grid, the extremes,
    // off-grid values and, rarely, NaN.
    double fixedValue(int w, int kind) {
        const double lsb = std::ldexp(1.0, -(w - 1));
        switch (kind) {
        case 0: return -1.0;
        case 1: return 1.0 - lsb;
        case 2: return std::nextafter(1.0, 0.0);
        case 3: return (uniform() * 2 - 1) * 0.999;
        case 4: return std::ldexp(std::floor((uniform() * 2 - 1) * std::ldexp(1.0, w - 1)), -(w - 1)) * 0.01;
        default: return std::ldexp(std::floor((uniform() * 2 - 1) * std::ldexp(1.0, w - 1)), -(w - 1));
        }
    }

    // One part of a floating-point frame over a wide dynamic range, with
    // subnormal singles, doubles that are not singles, infinities and NaN.
    double singleValue(int scale) {
        const int r = pick(0, 199);
        if (r == 0) return 1.0e-40;
        if (r == 1) return 1.0 - std::ldexp(1.0, -30);
        if (r == 2) return std::numeric_limits<double>::infinity();
        if (r == 3) return std::nan("");
        if (r == 4) return 1.0e39;
        if (r < 20) return 0.0;
        return (uniform() * 2 - 1) * std::ldexp(1.0, scale);
    }

    std::mt19937_64 rng;
};

struct Run {
    int32_t code;
    std::string messages;
    velmor_ip_vfft_v8_0_outputs out;
    std::vector<double> xkRe, xkIm, xnRe, xnIm;
};

Run call(const Library& lib, velmor_ip_vfft_v8_0_state* st, int32_t nfft, const std::vector<double>& re,
         const std::vector<double>& im, std::vector<int32_t> schedule, int32_t direction) {
    Run r;
    r.xnRe = re;
    r.xnIm = im;
    const size_t n = re.size();
    r.xkRe.assign(n, -1234.5678);
    r.xkIm.assign(n, -1234.5678);
    r.out = {r.xkRe.data(), static_cast<int32_t>(n), r.xkIm.data(), static_cast<int32_t>(n), -12345, 777};
    velmor_ip_vfft_v8_0_inputs in{nfft, r.xnRe.data(), static_cast<int32_t>(n), r.xnIm.data(),
                                  static_cast<int32_t>(n), schedule.data(), static_cast<int32_t>(schedule.size()),
                                  direction};
    r.messages = StderrCapture().run([&] { r.code = lib.simulate(st, in, &r.out); });
    return r;
}

bool sameDouble(double a, double b, bool anyNaN) {
    if (anyNaN && std::isnan(a) && std::isnan(b)) return true;
    return bits(a) == bits(b);
}

// Describes the first difference, or returns "".
std::string compare(const Run& a, const Run& b, bool fixedPoint) {
    char text[256];
    if (a.code != b.code) return "return code " + std::to_string(a.code) + " vs " + std::to_string(b.code);
    if (a.messages != b.messages) return "messages:\n" + a.messages + "--- vs ---\n" + b.messages;
    if (a.out.blk_exp != b.out.blk_exp)
        return "blk_exp " + std::to_string(a.out.blk_exp) + " vs " + std::to_string(b.out.blk_exp);
    if (a.out.overflow != b.out.overflow)
        return "overflow " + std::to_string(a.out.overflow) + " vs " + std::to_string(b.out.overflow);
    if (a.out.xk_re_size != b.out.xk_re_size || a.out.xk_im_size != b.out.xk_im_size) return "output sizes";
    const std::vector<double>* arrays[4][2] = {
        {&a.xkRe, &b.xkRe}, {&a.xkIm, &b.xkIm}, {&a.xnRe, &b.xnRe}, {&a.xnIm, &b.xnIm}};
    const char* names[4] = {"xk_re", "xk_im", "xn_re", "xn_im"};
    for (int k = 0; k < 4; ++k)
        for (size_t i = 0; i < arrays[k][0]->size(); ++i) {
            const double x = (*arrays[k][0])[i], y = (*arrays[k][1])[i];
            if (!sameDouble(x, y, fixedPoint && k < 2)) {
                std::snprintf(text, sizeof text, "%s[%zu] %016llx (%.17g) vs %016llx (%.17g)", names[k], i,
                              static_cast<unsigned long long>(bits(x)), x, static_cast<unsigned long long>(bits(y)),
                              y);
                return text;
            }
        }
    return "";
}

// Runs case k of the seed on both libraries; returns false after printing
// the first difference.
bool runCase(const Library& native, const Library& reference, uint64_t seed, int k) {
    Generator gen(seed * 1000003u + static_cast<uint64_t>(k));
    const Case c = gen.configuration();
    const velmor_ip_vfft_v8_0_generics& g = c.g;
    velmor_ip_vfft_v8_0_state* sn = nullptr;
    velmor_ip_vfft_v8_0_state* sr = nullptr;
    const std::string mn = StderrCapture().run([&] { sn = native.create(g); });
    const std::string mr = StderrCapture().run([&] { sr = reference.create(g); });
    bool ok = true;
    const auto fail = [&](int callIndex, const std::string& what) {
        std::printf("seed %llu case %d call %d: %s\n  %s\n", static_cast<unsigned long long>(seed), k, callIndex,
                    c.describe().c_str(), what.c_str());
        ok = false;
    };
    if ((sn == nullptr) != (sr == nullptr) || mn != mr) fail(-1, "create_state differs");
    const int calls = ok && sn ? gen.pick(1, 3) : 0;
    for (int ci = 0; ci < calls && ok; ++ci) {
        const int32_t nfft = g.C_HAS_NFFT ? gen.pick(g.C_ARCH == 1 ? 6 : 3, g.C_NFFT_MAX) : g.C_NFFT_MAX;
        const int32_t n = 1 << nfft;
        std::vector<double> re(n), im(n);
        const int flavour = gen.pick(0, 9);
        const int scale = gen.pick(-140, 125);
        for (int32_t i = 0; i < n; ++i) {
            if (g.C_USE_FLT_PT) {
                re[i] = gen.singleValue(scale);
                im[i] = gen.singleValue(scale);
            } else {
                // Mostly on the grid; some frames off the grid, at the
                // extremes, or with a rare NaN.
                const int kind = flavour == 0 ? gen.pick(0, 2) : flavour == 1 ? 3 : flavour == 2 ? 4 : 5;
                re[i] = gen.fixedValue(g.C_INPUT_WIDTH, kind);
                im[i] = gen.fixedValue(g.C_INPUT_WIDTH, kind);
                if (flavour == 3 && gen.pick(0, n) == 0) re[i] = std::nan("");
            }
        }
        const int stages = (g.C_ARCH == 1 || g.C_ARCH == 3) ? (nfft + 1) / 2 : nfft;
        std::vector<int32_t> schedule(stages);
        for (int32_t& s : schedule) s = gen.pick(0, 3);
        if ((g.C_ARCH == 1 || g.C_ARCH == 3) && (nfft & 1)) schedule.back() = gen.pick(0, 1);
        const int32_t direction = gen.pick(0, 1);
        const Run b = call(reference, sr, nfft, re, im, schedule, direction);
        for (const int64_t target : vectorTargets()) {
            runOn(target);
            const std::string diff = compare(call(native, sn, nfft, re, im, schedule, direction), b, !g.C_USE_FLT_PT);
            if (!diff.empty()) fail(ci, "on " + vectorTargetName(target) + ": " + diff);
        }
        runOn(0);
    }
    native.destroy(sn);
    reference.destroy(sr);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s NATIVE.so REFERENCE.so SEED CASES [--case K]\n", argv[0]);
        return 2;
    }
    const Library native(argv[1]);
    const Library reference(argv[2]);
    const uint64_t seed = std::strtoull(argv[3], nullptr, 10);
    const int cases = std::atoi(argv[4]);
    if (argc == 7 && std::strcmp(argv[5], "--case") == 0) return runCase(native, reference, seed, std::atoi(argv[6])) ? 0 : 1;
    int failures = 0;
    for (int k = 0; k < cases; ++k)
        if (!runCase(native, reference, seed, k)) ++failures;
    std::string targets;
    for (const int64_t target : vectorTargets()) targets += " " + vectorTargetName(target);
    std::printf("seed %llu, targets%s: %d of %d cases differ\n", static_cast<unsigned long long>(seed), targets.c_str(),
                failures, cases);
    return failures == 0 ? 0 : 1;
}
