// The name velmor_ip_vfft_v8_0_datapath reports for the machine-integer datapath.
#include "api/State.h"

const char* datapathName() { return "native"; }
