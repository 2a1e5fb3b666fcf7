// The state record behind the opaque velmor_ip_vfft_v8_0_state handle, and the
// data path of one simulation call.
//
// Both libraries share this record and the whole call path; they differ in
// the datapath they link (datapath/Datapath.h): the reference library runs
// the engines in VFix registers, the default library the machine-integer
// engines, which give the same results bit for bit.
#pragma once

#include "api/Report.h"
#include "datapath/ConfigRecord.h"
#include "datapath/Datapath.h"
#include "vfft_v8_0.h"

// Plain C record, taken with malloc and released with free.
struct velmor_ip_vfft_v8_0_state {
    velmor_ip_vfft_v8_0_generics generics;  // as passed to create_state, never overridden
    ConfigRecord config;                    // what the engine is built from and run with
    Datapath* datapath;                     // the engine of C_ARCH and its tables
    Reporter reporter;                      // where the messages of calls on this state go
};

// Runs one validated call with length exponent nfft on arrays whose samples
// lie `step` doubles apart: loads the inputs into the engine, runs it and
// fills *out. Returns 0.
int runDataPath(velmor_ip_vfft_v8_0_state* st, velmor_ip_vfft_v8_0_inputs in,
                velmor_ip_vfft_v8_0_outputs* out, int nfft, int32_t step);
