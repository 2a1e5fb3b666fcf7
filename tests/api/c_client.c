/* A C host of a shared library: the public headers compile as C, and every
 * interface function links and answers from C. It is also the short run that
 * a memory checker watches: states of every architecture in every scaling
 * mode and in floating-point mode built and destroyed twice, accepted calls on
 * and off the input grid and at run-time lengths, refused calls, special
 * values (a NaN in fixed point, subnormal and infinite singles), refused
 * generics, and a batch as the README shows it. Exits with 1 when a call does
 * not answer as it should. */
#include <math.h>
#include <stdio.h>

#include "vfft_v8_0_ext.h"

static int failures = 0;
static long lines = 0;

/* The states' messages are counted, not printed. */
static void countLine(void* user, const char* line)
{
    (void)line;
    ++*(long*)user;
}

static void expect(int ok, const char* what, int arch, int mode)
{
    if (!ok) {
        printf("FAILED: %s (C_ARCH %d, mode %d)\n", what, arch, mode);
        ++failures;
    }
}

/* One call of 2^nfft points, all values `value` except one `odd` value at
 * index 1; returns the code and checks the reported sizes on success. */
static int32_t call(velmor_ip_vfft_v8_0_state* st, int32_t arch, int32_t nfft, double value, double odd, int nullInput)
{
    static double re[256], im[256], xkRe[256], xkIm[256];
    const int32_t n = 1 << nfft, stages = arch == 1 || arch == 3 ? (nfft + 1) / 2 : nfft;
    int32_t schedule[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    for (int32_t i = 0; i < n; ++i) re[i] = value, im[i] = -value;
    re[1] = odd;
    velmor_ip_vfft_v8_0_inputs in = {nfft, nullInput ? NULL : re, n, im, n, schedule, stages, 1};
    velmor_ip_vfft_v8_0_outputs out = {xkRe, n, xkIm, n, 0, 0};
    const int32_t code = velmor_ip_vfft_v8_0_bitacc_simulate(st, in, &out);
    if (code == 0 && (out.xk_re_size != n || out.xk_im_size != n)) ++failures;
    return code;
}

int main(void)
{
    velmor_ip_vfft_v8_0_generics g = velmor_ip_vfft_v8_0_get_default_generics();
    velmor_ip_vfft_v8_0_inputs none = {0};
    velmor_ip_vfft_v8_0_state* st = velmor_ip_vfft_v8_0_create_state(g);
    expect(g.C_NFFT_MAX == 10 && g.C_ARCH == 1 && g.C_INPUT_WIDTH == 16 && st != NULL, "default generics", 1, 1);
    expect(velmor_ip_vfft_v8_0_bitacc_simulate(st, none, NULL) == 2, "null outputs", 1, 1);
    velmor_ip_vfft_v8_0_destroy_state(st);
    expect(velmor_ip_vfft_v8_0_bitacc_simulate(NULL, none, NULL) == 1, "null state", 1, 1);
    for (int32_t arch = 1; arch <= 4; ++arch)
        for (int mode = 0; mode < 4; ++mode) /* unscaled, scheduled, block floating point, floating point */
            for (int cycle = 0; cycle < 2; ++cycle) {
                const int32_t top = arch == 1 ? 7 : 5, low = arch == 1 ? 6 : 3;
                const velmor_ip_vfft_v8_0_generics h = {top, arch, 1, mode == 3, mode == 3 ? 32 : 12 + arch,
                                                        18, mode == 1 || mode == 2, mode == 2, cycle};
                st = velmor_ip_vfft_v8_0_create_state_with_sink(h, countLine, &lines);
                expect(st != NULL, "create_state", arch, mode);
                if (st == NULL) continue;
                expect(call(st, arch, top, 0.25, -0.5, 0) == 0, "frame on the grid", arch, mode);
                expect(call(st, arch, low, 0.125, 0.3, 0) == 0, "frame off the grid, shorter", arch, mode);
                expect(call(st, arch, top, 0.25, 0.5, 1) == 8, "null xn_re", arch, mode);
                expect(call(st, arch, top + 1, 0.25, 0.5, 0) != 0, "nfft too large", arch, mode);
                if (cycle == 0 && mode == 3 && arch % 2 == 1)
                    expect(call(st, arch, low, 1.0e-40, INFINITY, 0) == 0, "subnormal and infinite singles", arch, mode);
                if (cycle == 0 && mode == arch - 1)
                    expect(call(st, arch, low, 0.25, NAN, 0) == 0, "NaN in a fixed-point frame", arch, mode);
                velmor_ip_vfft_v8_0_destroy_state(st);
            }
    g.C_HAS_BFP = 1;
    g.C_HAS_SCALING = 0;
    expect(velmor_ip_vfft_v8_0_create_state(g) == NULL, "contradicting scaling generics", 1, 0);

    /* Four 64-point impulses of 0.5 as complex pairs on a radix-2 core with
     * one bit of scaling per stage: every result is 0.5 / 64. */
    g = velmor_ip_vfft_v8_0_get_default_generics();
    g.C_ARCH = 2;
    g.C_NFFT_MAX = 6;
    st = velmor_ip_vfft_v8_0_create_state(g);
    double z[4 * 64 * 2] = {0}, y[4 * 64 * 2];
    int32_t schedule[6] = {1, 1, 1, 1, 1, 1}, overflow[4];
    for (int f = 0; f < 4; ++f) z[2 * 64 * f] = 0.5;
    velmor_ip_vfft_v8_0_inputs in = {6, z, 64, z + 1, 64, schedule, 6, 1};
    velmor_ip_vfft_v8_0_outputs out = {y, 64, y + 1, 64, 0, 0};
    velmor_ip_vfft_v8_0_batch batch = {4, 2, NULL, 0, NULL, overflow, 0};
    expect(velmor_ip_vfft_v8_0_simulate_batch(st, in, &out, &batch) == 0 && batch.failed_frame == -1 &&
               overflow[3] == 0 && y[2 * 255] == 0.0078125 && y[2 * 255 + 1] == 0.0,
           "batch", 2, 1);
    velmor_ip_vfft_v8_0_destroy_state(st);
    velmor_ip_vfft_v8_0_description d;
    expect(velmor_ip_vfft_v8_0_describe(g, 0, &d) == 0 && d.stages == 6 && d.output_width == 16, "describe", 2, 1);
    expect(lines == 236, "messages", 0, 0); /* the same on both libraries */
    printf("%s %s: %ld messages, %d failed\n", velmor_ip_vfft_v8_0_version(), velmor_ip_vfft_v8_0_datapath(), lines, failures);
    return failures == 0 ? 0 : 1;
}
