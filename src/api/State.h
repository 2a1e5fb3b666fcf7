// The state record behind the opaque velmor_ip_vfft_v8_0_state handle, and the
// library-internal functions that build, release and run its engine.
//
// Both libraries share this record and the whole call path; they differ in
// the engine types: the reference library runs the engines in VFix
// registers, the default library (VFFT_NATIVE) the machine-integer engines,
// which give the same results bit for bit.
#pragma once

#include "api/Engines.h"
#include "api/Frame.h"
#include "api/Report.h"
#include "engine/ConfigRecord.h"
#include "vfft_v8_0.h"

// Plain C record, taken with malloc and released with free. Exactly one engine
// pointer, the one selected by generics.C_ARCH, is set; the others are null.
struct velmor_ip_vfft_v8_0_state {
    velmor_ip_vfft_v8_0_generics generics;  // as passed to create_state, never overridden
    ConfigRecord config;                    // what the engine is built from and run with
    TWIDDLE_ROM* twiddle_rom;               // one table for lengths up to 2^C_NFFT_MAX (reference
                                            // library; the machine-integer engines hold their own)
    R4Engine* r4;                           // C_ARCH 1
    R2Engine* r2;                           // C_ARCH 2 and 4
    R22Engine* r22;                         // C_ARCH 3
    Reporter reporter;                      // where the messages of calls on this state go
};

// The name of this library's datapath, as velmor_ip_vfft_v8_0_datapath reports it.
const char* datapathName();

// Creates the twiddle table and the engine selected by st->generics.C_ARCH from
// st->config. Called once the generics are valid and the configuration is filled.
// Nulls all four pointers first, so that releaseTables may follow a build that
// failed half way.
void buildTables(velmor_ip_vfft_v8_0_state* st);

// Deletes the twiddle table and the selected engine where their pointers are set;
// leaves the record itself to the caller.
void releaseTables(velmor_ip_vfft_v8_0_state* st);

// Transforms the frame with the state's engine (the per-call fields of
// st->config are set) and fills the results, blk_exp and overflow of *out.
// Returns the engine's pre-division (log2), which the caller undoes.
int32_t runEngine(velmor_ip_vfft_v8_0_state* st, const Frame& frame, velmor_ip_vfft_v8_0_outputs* out);

// Runs one validated call with length exponent nfft on arrays whose samples
// lie `step` doubles apart: loads the inputs into the engine, runs it and
// fills *out. Returns 0.
int runDataPath(velmor_ip_vfft_v8_0_state* st, velmor_ip_vfft_v8_0_inputs in,
                velmor_ip_vfft_v8_0_outputs* out, int nfft, int32_t step);
