/* A C host of the shared library: the public header compiles as C and the
 * four interface functions link and answer from C. */
#include <stdio.h>

#include "vfft_v8_0.h"

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
    puts(ok ? "ok" : "failed");
    return ok ? 0 : 1;
}
