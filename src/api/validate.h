// Argument checks of the simulation call.
#pragma once

#include "vfft_v8_0.h"

// Checks the arguments of one simulation call in reporting order, on arrays
// whose samples lie `step` doubles apart. At the first failure writes its
// message (to the state's reporter, or standard error for a null state) and
// returns its code (1..23); when all pass, sets nfft to the length exponent
// the call uses and returns 0. Besides these messages writes only the warning
// about a length request that a fixed-length core ignores, and changes
// neither the state nor the outputs record.
int validateCall(const velmor_ip_vfft_v8_0_state* st, const velmor_ip_vfft_v8_0_inputs& in,
                 const velmor_ip_vfft_v8_0_outputs* out, int32_t step, int& nfft);
