// Hot VNum operations of the datapath: sums and products of register-sized
// values assigned into registers, and the requantisation chain.
#include <benchmark/benchmark.h>

#include "num/VNum.h"

namespace {

VNum pattern(uint32_t bits, int32_t width, int32_t type, int32_t quant, int32_t ovfl) {
    VNum v(0u, width, type, quant, ovfl);
    for (int32_t i = 0; i < width; ++i) v.setBit(i, static_cast<int32_t>((bits >> (i % 32)) & 1));
    return v;
}

// A 40-bit signed sum assigned into a saturating 40-bit register.
void BM_Add40Assign(benchmark::State& state) {
    const VNum a = pattern(0x9E3779B9u, 40, Signed, Truncate, Wrap);
    const VNum b = pattern(0x7F4A7C15u, 40, Signed, Truncate, Wrap);
    VNum r(0u, 40, Signed, Truncate, Saturate);
    for (auto _ : state) {
        r = a + b;
        benchmark::DoNotOptimize(r.words());
    }
}
BENCHMARK(BM_Add40Assign);

// A 34 x 18 bit product (data times twiddle) into a full-width register.
void BM_Mult34x18(benchmark::State& state) {
    const VNum a = pattern(0xC2B2AE35u, 34, Signed, Truncate, Wrap);
    const VNum b = pattern(0x27D4EB2Fu, 18, Signed, Truncate, Wrap);
    VNum r(0u, 53, Signed, Truncate, Wrap);
    for (auto _ : state) {
        r = a * b;
        benchmark::DoNotOptimize(r.words());
    }
}
BENCHMARK(BM_Mult34x18);

// The requantisation of a product into a 34-bit register: align, round, check.
void BM_AlignRoundCheck(benchmark::State& state) {
    const VNum s = pattern(0x165667B1u, 53, Signed, Truncate, Wrap);
    VNum t(0u, 34, Signed, RoundHalfEven, Saturate);
    for (auto _ : state) {
        t.alignTo(s, 50, 31);
        if (t.roundsEven(s, 50, 31)) t.increment();
        t.checkConvert(s, 50, 31);
        benchmark::DoNotOptimize(t.words());
    }
}
BENCHMARK(BM_AlignRoundCheck);

// A rounding right shift in place, as in block floating-point scaling.
void BM_ShiftRightRounded(benchmark::State& state) {
    const VNum s = pattern(0x85EBCA77u, 40, Signed, RoundHalfEven, Wrap);
    VNum v = s;
    for (auto _ : state) {
        v = s;
        v >>= 3;
        benchmark::DoNotOptimize(v.words());
    }
}
BENCHMARK(BM_ShiftRightRounded);

// Width in bits of a sum of wide values: past the inline buffer the words live on the heap.
void BM_AddWide(benchmark::State& state) {
    const int32_t width = static_cast<int32_t>(state.range(0));
    const VNum a = pattern(0x9E3779B9u, width, Signed, Truncate, Wrap);
    const VNum b = pattern(0x7F4A7C15u, width, Signed, Truncate, Wrap);
    VNum r(0u, width, Signed, Truncate, Wrap);
    for (auto _ : state) {
        r = a + b;
        benchmark::DoNotOptimize(r.words());
    }
}
BENCHMARK(BM_AddWide)->Arg(100)->Arg(300);

void BM_AssignDouble(benchmark::State& state) {
    VNum v(0u, 24, Signed, RoundHalfEven, Saturate);
    double x = -1234.5;
    for (auto _ : state) {
        v.assignDouble(x);
        benchmark::DoNotOptimize(v.words());
        x += 0.25;
    }
}
BENCHMARK(BM_AssignDouble);

}  // namespace
