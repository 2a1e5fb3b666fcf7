// Whole transforms through the C interface: 16-bit data and twiddles.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "vfft_v8_0.h"

namespace {

void transform(benchmark::State& state, int arch, int scaling, int bfp) {
    const int nfft = static_cast<int>(state.range(0));
    velmor_ip_vfft_v8_0_generics g = velmor_ip_vfft_v8_0_get_default_generics();
    g.C_NFFT_MAX = nfft;
    g.C_ARCH = arch;
    g.C_HAS_SCALING = scaling;
    g.C_HAS_BFP = bfp;
    velmor_ip_vfft_v8_0_state* st = velmor_ip_vfft_v8_0_create_state(g);
    const int n = 1 << nfft;
    std::vector<double> re(n), im(n), xr(n), xi(n);
    for (int i = 0; i < n; ++i) {
        re[i] = std::ldexp(std::floor(16000 * std::sin(0.1 * i)), -15);
        im[i] = std::ldexp(std::floor(12000 * std::cos(0.37 * i)), -15);
    }
    const int stages = arch == 2 ? nfft : (nfft + 1) / 2;
    std::vector<int32_t> schedule(stages, arch == 2 ? 1 : 2);
    if (arch != 2 && (nfft & 1)) schedule.back() = 1;
    for (auto _ : state) {
        velmor_ip_vfft_v8_0_inputs in{nfft, re.data(), n, im.data(), n, schedule.data(), stages, 1};
        velmor_ip_vfft_v8_0_outputs out{xr.data(), n, xi.data(), n, 0, 0};
        benchmark::DoNotOptimize(velmor_ip_vfft_v8_0_bitacc_simulate(st, in, &out));
    }
    state.SetItemsProcessed(state.iterations() * n);
    velmor_ip_vfft_v8_0_destroy_state(st);
}

void Radix4Scaled(benchmark::State& s) { transform(s, 1, 1, 0); }
void Radix2Scaled(benchmark::State& s) { transform(s, 2, 1, 0); }
void PipelineScaled(benchmark::State& s) { transform(s, 3, 1, 0); }
void Radix2Bfp(benchmark::State& s) { transform(s, 2, 1, 1); }

BENCHMARK(Radix4Scaled)->Arg(10)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(Radix2Scaled)->Arg(10)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(PipelineScaled)->Arg(10)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(Radix2Bfp)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace
