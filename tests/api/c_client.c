/* A C host of the shared library: the public headers compile as C, and the
 * interface functions link and answer from C, the batch as the README shows. */
#include <stdio.h>

#include "vfft_v8_0_ext.h"

int main(void)
{
    velmor_ip_vfft_v8_0_generics g = velmor_ip_vfft_v8_0_get_default_generics();
    velmor_ip_vfft_v8_0_inputs in = {0};
    velmor_ip_vfft_v8_0_outputs out = {0};
    velmor_ip_vfft_v8_0_state* state = velmor_ip_vfft_v8_0_create_state(g);
    int ok = g.C_NFFT_MAX == 10 && g.C_ARCH == 1 && g.C_INPUT_WIDTH == 16 && state != NULL;
    ok = ok && velmor_ip_vfft_v8_0_bitacc_simulate(state, in, NULL) == 2;
    velmor_ip_vfft_v8_0_destroy_state(state);
    g.C_ARCH = 9;
    ok = ok && velmor_ip_vfft_v8_0_create_state(g) == NULL;
    ok = ok && velmor_ip_vfft_v8_0_bitacc_simulate(NULL, in, &out) == 1;

    /* Four 64-point impulses of 0.5 as complex pairs on a radix-2 core with
     * one bit of scaling per stage: every result is 0.5 / 64. */
    g.C_ARCH = 2;
    g.C_NFFT_MAX = 6;
    state = velmor_ip_vfft_v8_0_create_state(g);
    double z[4 * 64 * 2] = {0}, y[4 * 64 * 2];
    int32_t schedule[6] = {1, 1, 1, 1, 1, 1}, overflow[4];
    for (int f = 0; f < 4; ++f) z[2 * 64 * f] = 0.5;
    velmor_ip_vfft_v8_0_inputs batchIn = {6, z, 64, z + 1, 64, schedule, 6, 1};
    velmor_ip_vfft_v8_0_outputs batchOut = {y, 64, y + 1, 64, 0, 0};
    velmor_ip_vfft_v8_0_batch batch = {4, 2, NULL, 0, NULL, overflow, 0};
    ok = ok && velmor_ip_vfft_v8_0_simulate_batch(state, batchIn, &batchOut, &batch) == 0;
    ok = ok && batch.failed_frame == -1 && overflow[3] == 0 && y[2 * 255] == 0.0078125 && y[2 * 255 + 1] == 0.0;
    velmor_ip_vfft_v8_0_destroy_state(state);
    puts(ok ? "ok" : "failed");
    return ok ? 0 : 1;
}
