/* Creates and releases a state through the installed library. */
#include "vfft_v8_0.h"

int main(void)
{
    velmor_ip_vfft_v8_0_state* state =
        velmor_ip_vfft_v8_0_create_state(velmor_ip_vfft_v8_0_get_default_generics());
    if (state == 0) {
        return 1;
    }
    velmor_ip_vfft_v8_0_destroy_state(state);
    return 0;
}
