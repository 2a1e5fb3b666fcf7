// The simulation entry point: argument checks, then the data path.
#include "api/State.h"
#include "api/validate.h"

int32_t velmor_ip_vfft_v8_0_bitacc_simulate(velmor_ip_vfft_v8_0_state* state,
                                            velmor_ip_vfft_v8_0_inputs inputs,
                                            velmor_ip_vfft_v8_0_outputs* outputs)
{
    int nfft = 0;
    const int code = validateCall(state, inputs, outputs, nfft);
    if (code != 0) {
        return code;
    }
    return runDataPath(state, inputs, outputs, nfft);
}
