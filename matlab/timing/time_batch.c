/* Seconds for one batch call of F frames of 2^N points on the default core
 * (best of three), the C side of the Octave timing: time_batch F N. */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "vfft_v8_0_ext.h"

static double seconds(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + 1e-9 * t.tv_nsec;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: time_batch FRAMES NFFT\n");
        return 2;
    }
    const long frames = atol(argv[1]);
    velmor_ip_vfft_v8_0_generics g = velmor_ip_vfft_v8_0_get_default_generics();
    g.C_NFFT_MAX = atoi(argv[2]);
    velmor_ip_vfft_v8_0_description d;
    velmor_ip_vfft_v8_0_state* state = velmor_ip_vfft_v8_0_create_state(g);
    if (frames < 1 || !state || velmor_ip_vfft_v8_0_describe(g, 0, &d) != 0) return 1;
    const size_t points = (size_t)1 << g.C_NFFT_MAX, values = points * (size_t)frames;
    double* data = malloc(4 * values * sizeof *data);
    if (!data) return 1;
    /* Values on the 16-bit grid in [-1, 1). */
    unsigned long seed = 1;
    for (size_t i = 0; i < 2 * values; ++i) {
        seed = seed * 6364136223846793005UL + 1442695040888963407UL;
        data[i] = ((double)(seed >> 48) - 32768.0) / 32768.0;
    }
    velmor_ip_vfft_v8_0_inputs in = {g.C_NFFT_MAX, data, (int32_t)points, data + values, (int32_t)points,
                                     d.default_schedule, d.stages, 1};
    velmor_ip_vfft_v8_0_outputs out = {data + 2 * values, (int32_t)points, data + 3 * values, (int32_t)points, 0, 0};
    double best = 1e30;
    for (int run = 0; run < 3; ++run) {
        velmor_ip_vfft_v8_0_batch batch = {frames, 1, NULL, 0, NULL, NULL, -1};
        const double start = seconds();
        if (velmor_ip_vfft_v8_0_simulate_batch(state, in, &out, &batch) != 0) return 1;
        const double t = seconds() - start;
        best = t < best ? t : best;
    }
    printf("%.6f\n", best);
    free(data);
    velmor_ip_vfft_v8_0_destroy_state(state);
    return 0;
}
