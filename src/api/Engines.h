// The engine types of this library: the machine-integer engines of the
// default library (VFFT_NATIVE), or the reference engines in VFix registers.
#pragma once

#include "engine/TWIDDLE_ROM.h"
#if VFFT_NATIVE
#include "native/R22_native.h"
#include "native/R2_native.h"
#include "native/R4_native.h"
using R4Engine = R4_native;
using R2Engine = R2_native;
using R22Engine = R22_native;
#else
#include "engine/R22_pipeline.h"
#include "engine/R2_loop.h"
#include "engine/R4_loop.h"
using R4Engine = R4_loop;
using R2Engine = R2_loop;
using R22Engine = R22_pipeline;
#endif
