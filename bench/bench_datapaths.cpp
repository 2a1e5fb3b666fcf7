// Time per frame of the two libraries (the default one on its best vector
// target and on the portable one) and of FFTW's double-precision complex
// transform of the same length, measured in one run. Both libraries are
// loaded side by side with dlopen, since they export the same functions.
//
//   bench_datapaths NATIVE.so REFERENCE.so [benchmark options]
//
// Benchmark names: library/architecture/configuration/N, library native,
// portable (the default library on the portable target) or reference.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "LoadedLibrary.h"
#include "VectorTargets.h"
#include "vfft_v8_0.h"

namespace {

struct Architecture {
    const char* name;
    int32_t code;
};
constexpr Architecture kArchitectures[] = {{"radix4", 1}, {"radix2", 2}, {"pipelined", 3}};

struct Configuration {
    const char* name;
    int32_t inputWidth, twiddleWidth, scaling, bfp, flt;
};
constexpr Configuration kConfigurations[] = {
    {"16-bit scheduled", 16, 16, 1, 0, 0},
    {"24-bit block floating point", 24, 24, 1, 1, 0},
    {"34-bit unscaled", 34, 34, 0, 0, 0},
    {"floating point", 32, 24, 1, 0, 1},
};

// target: the vector target of the default library to run on (0: the best
// one the processor runs).
void transform(benchmark::State& state, const Library& lib, const Architecture& arch, const Configuration& c,
               int32_t nfft, int64_t target) {
    runOn(target);
    velmor_ip_vfft_v8_0_generics g{nfft, arch.code, 0, c.flt, c.inputWidth, c.twiddleWidth, c.scaling, c.bfp, 0};
    velmor_ip_vfft_v8_0_state* st = lib.create(g);
    if (st == nullptr) {
        state.SkipWithError("create_state refused the configuration");
        return;
    }
    const int32_t n = 1 << nfft;
    // Noise at half scale on the input grid (values of any size in
    // floating-point mode).
    std::mt19937_64 rng(nfft);
    std::uniform_real_distribution<double> u(-0.5, 0.5);
    const double grid = std::ldexp(1.0, c.flt ? 30 : c.inputWidth - 1);
    std::vector<double> re(n), im(n), xr(n), xi(n);
    for (int32_t i = 0; i < n; ++i) {
        re[i] = std::floor(u(rng) * grid) / grid * (c.flt ? 1000.0 : 1.0);
        im[i] = std::floor(u(rng) * grid) / grid * (c.flt ? 1000.0 : 1.0);
    }
    // One bit per radix-2 stage, two per radix-4 stage: no overflow.
    const int32_t stages = arch.code == 2 ? nfft : (nfft + 1) / 2;
    std::vector<int32_t> schedule(stages, arch.code == 2 ? 1 : 2);
    if (arch.code != 2 && (nfft & 1)) schedule.back() = 1;
    for (auto _ : state) {
        velmor_ip_vfft_v8_0_inputs in{nfft, re.data(), n, im.data(), n, schedule.data(), stages, 1};
        velmor_ip_vfft_v8_0_outputs out{xr.data(), n, xi.data(), n, 0, 0};
        if (lib.simulate(st, in, &out) != 0) {
            state.SkipWithError("the simulation call failed");
            break;
        }
        benchmark::DoNotOptimize(xr.data());
    }
    lib.destroy(st);
    runOn(0);
}

void fftwTransform(benchmark::State& state, int32_t nfft) {
    const int n = 1 << nfft;
    fftw_complex* in = fftw_alloc_complex(n);
    fftw_complex* out = fftw_alloc_complex(n);
    const fftw_plan plan = fftw_plan_dft_1d(n, in, out, FFTW_FORWARD, FFTW_MEASURE);
    std::mt19937_64 rng(nfft);
    std::uniform_real_distribution<double> u(-0.5, 0.5);
    for (int i = 0; i < n; ++i) in[i][0] = u(rng), in[i][1] = u(rng);
    for (auto _ : state) {
        fftw_execute(plan);
        benchmark::DoNotOptimize(out);
    }
    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s NATIVE.so REFERENCE.so [benchmark options]\n", argv[0]);
        return 2;
    }
    static const Library native(argv[1]);
    static const Library reference(argv[2]);
    // The default library on its best vector target and on the portable one.
    const int64_t portable = vectorTargets().back();
    benchmark::AddCustomContext("native_target", vectorTargetName(vectorTargets().front()));
    const int32_t lengths[] = {6, 10, 14, 16};
    for (const int32_t nfft : lengths) {
        const std::string size = std::to_string(1 << nfft);
        for (const Architecture& arch : kArchitectures)
            for (const Configuration& c : kConfigurations) {
                const std::string tail = "/" + std::string(arch.name) + "/" + c.name + "/" + size;
                benchmark::RegisterBenchmark(("native" + tail).c_str(), transform, std::cref(native), std::cref(arch),
                                             std::cref(c), nfft, int64_t{0})
                    ->Unit(benchmark::kMicrosecond);
                benchmark::RegisterBenchmark(("portable" + tail).c_str(), transform, std::cref(native),
                                             std::cref(arch), std::cref(c), nfft, portable)
                    ->Unit(benchmark::kMicrosecond);
                // The reference takes milliseconds per frame: short lengths only.
                if (nfft <= 10)
                    benchmark::RegisterBenchmark(("reference" + tail).c_str(), transform, std::cref(reference),
                                                 std::cref(arch), std::cref(c), nfft, int64_t{0})
                        ->Unit(benchmark::kMicrosecond);
            }
        benchmark::RegisterBenchmark(("fftw/double/complex/" + size).c_str(), fftwTransform, nfft)
            ->Unit(benchmark::kMicrosecond);
    }
    argv[2] = argv[0];
    argc -= 2;
    argv += 2;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
