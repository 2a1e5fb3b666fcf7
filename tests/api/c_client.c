/* A C host of the shared library: the public header compiles as C and the
 * interface functions link and answer from C. */
#include <stdio.h>

#include "vfft_v8_0.h"

static int failures = 0;

static void expect(int condition, const char* what)
{
    if (!condition) {
        fprintf(stdout, "failed: %s\n", what);
        ++failures;
    }
}

int main(void)
{
    velmor_ip_vfft_v8_0_generics g = velmor_ip_vfft_v8_0_get_default_generics();
    velmor_ip_vfft_v8_0_state* state;
    velmor_ip_vfft_v8_0_inputs in = {0};
    velmor_ip_vfft_v8_0_outputs out = {0};

    expect(g.C_NFFT_MAX == 10 && g.C_ARCH == 1 && g.C_INPUT_WIDTH == 16, "defaults");

    state = velmor_ip_vfft_v8_0_create_state(g);
    expect(state != NULL, "default generics accepted");
    expect(velmor_ip_vfft_v8_0_bitacc_simulate(state, in, NULL) == 2, "null outputs rejected");
    velmor_ip_vfft_v8_0_destroy_state(state);

    g.C_ARCH = 9;
    expect(velmor_ip_vfft_v8_0_create_state(g) == NULL, "bad generics rejected");
    expect(velmor_ip_vfft_v8_0_bitacc_simulate(NULL, in, &out) == 1, "null state rejected");
    return failures == 0 ? 0 : 1;
}
