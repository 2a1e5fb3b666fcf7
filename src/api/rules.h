// The rules of a configuration, shared by create_state, the argument checks
// of the simulation calls and describe: which generics are valid, which
// transform lengths a call may ask for, and the shape of a scaling schedule.
#pragma once

#include <cstdint>

#include "vfft_v8_0.h"

struct RangeRule {
    const char* name;
    int32_t velmor_ip_vfft_v8_0_generics::*field;
    int32_t low;
    int32_t high;
};

// The first rule a generics record breaks, in reporting order: an
// out-of-range field (with its value) or a contradictory combination.
struct GenericsFault {
    const RangeRule* range = nullptr;
    int32_t value = 0;
    const char* combination = nullptr;  // what contradicts what, and why

    explicit operator bool() const { return range != nullptr || combination != nullptr; }
};

GenericsFault checkGenerics(const velmor_ip_vfft_v8_0_generics& g);

// Shortest run-time length exponent of an architecture: the radix-4 engine
// needs at least 2^6 points.
inline int32_t shortestLength(int32_t arch) { return arch == 1 ? 6 : 3; }

// Architectures 1 and 3 take one schedule entry per pair of radix-2 stages;
// for odd nfft the last entry scales a lone radix-2 stage.
inline bool pairedStages(int32_t arch) { return arch == 1 || arch == 3; }

inline int32_t scheduleStages(int32_t arch, int32_t nfft) { return pairedStages(arch) ? (nfft + 1) / 2 : nfft; }

// Largest shift of schedule entry `stage` at length exponent nfft.
inline int32_t largestShift(int32_t arch, int32_t nfft, int32_t stage)
{
    return pairedStages(arch) && nfft % 2 == 1 && stage == scheduleStages(arch, nfft) - 1 ? 1 : 3;
}

// Only a fixed-point core scaled by a fixed schedule reads the schedule.
inline bool readsSchedule(const velmor_ip_vfft_v8_0_generics& g)
{
    return g.C_HAS_SCALING == 1 && g.C_HAS_BFP == 0 && g.C_USE_FLT_PT == 0;
}
