// The state record behind the opaque velmor_ip_vfft_v8_0_state handle, and the
// library-internal functions that build, release and run its engine.
#pragma once

#include "engine/ConfigRecord.h"
#include "vfft_v8_0.h"

class TWIDDLE_ROM;
class R4_loop;
class R2_loop;
class R22_pipeline;

// Plain C record, taken with malloc and released with free. Exactly one engine
// pointer, the one selected by generics.C_ARCH, is set; the others are null.
struct velmor_ip_vfft_v8_0_state {
    velmor_ip_vfft_v8_0_generics generics;  // as passed to create_state, never overridden
    ConfigRecord config;                    // what the engine is built from and run with
    TWIDDLE_ROM* twiddle_rom;               // one table for lengths up to 2^C_NFFT_MAX
    R4_loop* r4;                            // C_ARCH 1
    R2_loop* r2;                            // C_ARCH 2 and 4
    R22_pipeline* r22;                      // C_ARCH 3
};

// Creates the twiddle table and the engine selected by st->generics.C_ARCH from
// st->config. Called once the generics are valid and the configuration is filled.
// Nulls all four pointers first, so that releaseTables may follow a build that
// failed half way.
void buildTables(velmor_ip_vfft_v8_0_state* st);

// Deletes the twiddle table and the selected engine where their pointers are set;
// leaves the record itself to the caller.
void releaseTables(velmor_ip_vfft_v8_0_state* st);

// Runs one validated call with length exponent nfft: loads the inputs into the
// engine, runs it and fills *out. Returns 0.
int runDataPath(velmor_ip_vfft_v8_0_state* st, velmor_ip_vfft_v8_0_inputs in,
                velmor_ip_vfft_v8_0_outputs* out, int nfft);
