// RequantPlan, the register write of the machine-integer engines, against
// VFix assignment on its digit route: random formats and values, the four
// quantisation modes, Wrap and Saturate, drops from a left shift that keeps a
// single source bit up to the source's width.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>

#include "fix/RequantPlan.h"
#include "fix_test_util.h"

namespace {

// The Signed payload s of format (ws, fs) as a value with k more fraction
// bits, all 0; for ws + k above 63 bits VFix assigns it on its digits.
VFix withLowZeros(i128 s, int32_t ws, int32_t fs, int32_t k) {
    VFix v(0, ws + k, fs + k, Signed, Truncate, Wrap);
    for (int32_t i = 0; i < ws; ++i) v.setBit(k + i, static_cast<int32_t>((s >> i) & 1));
    return v;
}

template <class Int>
void expectPlanMatchesDigitRoute(int32_t maxWidth, uint64_t seed) {
    std::mt19937_64 rng(seed);
    const auto pick = [&rng](int32_t lo, int32_t hi) { return lo + static_cast<int32_t>(rng() % (hi - lo + 1)); };
    const int32_t bits = 8 * static_cast<int32_t>(sizeof(Int));
    for (int iter = 0; iter < 6000; ++iter) {
        const int32_t ws = pick(1, maxWidth), wt = pick(1, maxWidth);
        // The aligned source fits Int; one time in three the register has one
        // integer bit more, as many or one fewer than the source (HoldMax, carries).
        const int32_t lo = std::max(1 - wt, ws - bits + 1);
        const int32_t drop = rng() % 3 == 0 ? std::clamp(ws - wt + pick(-1, 1), lo, ws) : pick(lo, ws);
        const int32_t fs = pick(-8, 40), ft = fs - drop;
        const int32_t q = pick(Truncate, RoundHalfEvenHoldMax), o = rng() % 2 == 0 ? Wrap : Saturate;
        const i128 s = randomPayload(rng, ws, true);

        VFix t(0, wt, ft, Signed, q, o);
        t = withLowZeros(s, ws, fs, 64 + pick(0, 8));
        const Int got = RequantPlan::between(ws, fs, wt, ft, q, o).apply(static_cast<Int>(s));
        ASSERT_TRUE(static_cast<i128>(got) == payloadOf(t))
            << "iteration " << iter << ": (" << ws << "," << fs << ") into (" << wt << "," << ft << ") q " << q
            << " o " << o;
    }
}

TEST(RequantPlan, MachineWordsMatchTheDigitRoute) { expectPlanMatchesDigitRoute<int64_t>(63, 20261206); }

TEST(RequantPlan, WideMachineWordsMatchTheDigitRoute) { expectPlanMatchesDigitRoute<__int128>(100, 7150917); }

}  // namespace
