// A short end-to-end run of the C interface for a memory checker: states of
// every architecture in every scaling mode and in floating-point mode built
// and destroyed twice, accepted calls on and off the input grid and at
// run-time lengths, refused calls, special values (a NaN in fixed point,
// subnormal and infinite singles) and refused generics. Exits with 1 when a
// call does not answer as it should; the checker judges memory use.
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "vfft_v8_0.h"

namespace {

int failures = 0;

void expect(bool ok, const char* what, int arch, int mode) {
    if (!ok) {
        std::printf("FAILED: %s (C_ARCH %d, mode %d)\n", what, arch, mode);
        ++failures;
    }
}

// One call of 2^nfft points, all values `value` except one `odd` value at
// index 1; returns the code and checks the reported sizes on success.
int32_t call(velmor_ip_vfft_v8_0_state* st, const velmor_ip_vfft_v8_0_generics& g, int32_t nfft, double value,
             double odd, bool nullInput = false) {
    const int32_t n = 1 << nfft;
    std::vector<double> re(n, value), im(n, -value), xkRe(n), xkIm(n);
    re[1] = odd;
    const int32_t stages = g.C_ARCH == 1 || g.C_ARCH == 3 ? (nfft + 1) / 2 : nfft;
    std::vector<int32_t> schedule(stages, 1);
    velmor_ip_vfft_v8_0_inputs in{nfft, nullInput ? nullptr : re.data(), n, im.data(), n, schedule.data(), stages, 1};
    velmor_ip_vfft_v8_0_outputs out{xkRe.data(), n, xkIm.data(), n, 0, 0};
    const int32_t code = velmor_ip_vfft_v8_0_bitacc_simulate(st, in, &out);
    if (code == 0 && (out.xk_re_size != n || out.xk_im_size != n)) ++failures;
    return code;
}

}  // namespace

int main() {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    {
        const velmor_ip_vfft_v8_0_generics g = velmor_ip_vfft_v8_0_get_default_generics();
        velmor_ip_vfft_v8_0_state* st = velmor_ip_vfft_v8_0_create_state(g);
        expect(st != nullptr, "default generics", g.C_ARCH, 1);
        expect(call(st, g, g.C_NFFT_MAX, 0.25, 0.5) == 0, "default call", g.C_ARCH, 1);
        velmor_ip_vfft_v8_0_destroy_state(st);
    }
    for (int32_t arch = 1; arch <= 4; ++arch)
        for (int mode = 0; mode < 4; ++mode)  // unscaled, scheduled, block floating point, floating point
            for (int cycle = 0; cycle < 2; ++cycle) {
                const int32_t top = arch == 1 ? 7 : 5;
                const velmor_ip_vfft_v8_0_generics g{top, arch, 1, mode == 3, mode == 3 ? 32 : 12 + arch,
                                                     18, mode == 1 || mode == 2, mode == 2, cycle};
                velmor_ip_vfft_v8_0_state* st = velmor_ip_vfft_v8_0_create_state(g);
                expect(st != nullptr, "create_state", arch, mode);
                if (st == nullptr) continue;
                const int32_t low = arch == 1 ? 6 : 3;
                expect(call(st, g, top, 0.25, -0.5) == 0, "frame on the grid", arch, mode);
                expect(call(st, g, low, 0.125, 0.3) == 0, "frame off the grid, shorter", arch, mode);
                expect(call(st, g, top, 0.25, 0.5, true) == 8, "null xn_re", arch, mode);
                expect(call(st, g, top + 1, 0.25, 0.5) != 0, "nfft too large", arch, mode);
                // Special values once per architecture: they run through a
                // reference engine of their own in the default library.
                if (cycle == 0 && mode == 3 && arch % 2 == 1)
                    expect(call(st, g, low, 1.0e-40, inf) == 0, "subnormal and infinite singles", arch, mode);
                if (cycle == 0 && mode == arch - 1)
                    expect(call(st, g, low, 0.25, nan) == 0, "NaN in a fixed-point frame", arch, mode);
                velmor_ip_vfft_v8_0_destroy_state(st);
            }
    velmor_ip_vfft_v8_0_generics bad = velmor_ip_vfft_v8_0_get_default_generics();
    bad.C_HAS_BFP = 1;
    bad.C_HAS_SCALING = 0;
    expect(velmor_ip_vfft_v8_0_create_state(bad) == nullptr, "contradicting scaling generics", 1, 0);
    velmor_ip_vfft_v8_0_destroy_state(nullptr);
    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}
