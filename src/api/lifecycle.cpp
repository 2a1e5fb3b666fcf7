// The generics record, its validation, and the creation and release of states.
#include <cstdlib>
#include <new>

#include "api/Report.h"
#include "api/State.h"

namespace {

struct RangeRule {
    const char* name;
    int32_t velmor_ip_vfft_v8_0_generics::*field;
    int32_t low;
    int32_t high;
};

// Range rules in reporting order; C_USE_FLT_PT, although fourth in the record,
// is checked last.
constexpr RangeRule kRangeRules[] = {
    {"C_NFFT_MAX", &velmor_ip_vfft_v8_0_generics::C_NFFT_MAX, 3, 16},
    {"C_ARCH", &velmor_ip_vfft_v8_0_generics::C_ARCH, 1, 4},
    {"C_HAS_NFFT", &velmor_ip_vfft_v8_0_generics::C_HAS_NFFT, 0, 1},
    {"C_INPUT_WIDTH", &velmor_ip_vfft_v8_0_generics::C_INPUT_WIDTH, 8, 34},
    {"C_TWIDDLE_WIDTH", &velmor_ip_vfft_v8_0_generics::C_TWIDDLE_WIDTH, 8, 34},
    {"C_HAS_SCALING", &velmor_ip_vfft_v8_0_generics::C_HAS_SCALING, 0, 1},
    {"C_HAS_BFP", &velmor_ip_vfft_v8_0_generics::C_HAS_BFP, 0, 1},
    {"C_HAS_ROUNDING", &velmor_ip_vfft_v8_0_generics::C_HAS_ROUNDING, 0, 1},
    {"C_USE_FLT_PT", &velmor_ip_vfft_v8_0_generics::C_USE_FLT_PT, 0, 1},
};

constexpr const char* kCreatePrefix = "ERROR:vfft_v8_0:create_state called with ";

// Reports the first out-of-range generic; true when all are in range.
bool rangesValid(const velmor_ip_vfft_v8_0_generics& g)
{
    for (const RangeRule& rule : kRangeRules) {
        const int32_t value = g.*rule.field;
        if (value < rule.low || value > rule.high) {
            reportLine(kCreatePrefix, "invalid ", rule.name, " generic: must be in the range ",
                       rule.low, " to ", rule.high, ": Value is ", value);
            return false;
        }
    }
    return true;
}

// Reports the first contradictory combination; true when there is none.
bool combinationValid(const velmor_ip_vfft_v8_0_generics& g)
{
    const char* problem = nullptr;
    if (g.C_NFFT_MAX < 6 && g.C_ARCH == 1) {
        problem = "C_NFFT_MAX < 6 (transform length less than 2^6 = 64) and C_ARCH = 1 "
                  "(Radix-4, Burst I/O architecture): this architecture has a minimum transform "
                  "length of 64, so C_NFFT_MAX must be 6 or greater.";
    } else if (g.C_NFFT_MAX == 3 && g.C_HAS_NFFT == 1) {
        problem = "C_NFFT_MAX = 3 (transform length of 2^3 = 8) and C_HAS_NFFT = 1 (run-time "
                  "configurable transform length): the minimum transform length of 8 cannot be "
                  "run-time configurable as it cannot be reduced.";
    } else if (g.C_NFFT_MAX == 6 && g.C_ARCH == 1 && g.C_HAS_NFFT == 1) {
        problem = "C_NFFT_MAX = 6 (transform length of 2^6 = 64) and C_HAS_NFFT = 1 (run-time "
                  "configurable transform length) and C_ARCH = 1 (Radix-4, Burst I/O "
                  "architecture): the minimum transform length of 64 in this architecture cannot "
                  "be run-time configurable as it cannot be reduced.";
    } else if (g.C_HAS_SCALING == 0 && g.C_HAS_BFP == 1) {
        problem = "C_HAS_SCALING = 0 (unscaled) and C_HAS_BFP = 1 (block floating point "
                  "scaling): these contradict and do not specify a valid scaling option.";
    } else if (g.C_USE_FLT_PT == 1 && g.C_INPUT_WIDTH != 32) {
        problem = "C_USE_FLT_PT = 1 and C_INPUT_WIDTH != 32: only IEEE single-precision data of "
                  "32 bits is supported.";
    }
    if (problem != nullptr) {
        reportLine(kCreatePrefix, problem);
        return false;
    }
    return true;
}

// The engine configuration for valid generics. Floating-point mode runs the
// fixed-point engine on a block-exponent-scaled fraction whose width leaves the
// architecture's growth headroom, as block floating point without rounding, or
// unscaled for the pipelined architecture.
ConfigRecord makeConfig(const velmor_ip_vfft_v8_0_generics& g)
{
    ConfigRecord c{};
    const bool floatMode = g.C_USE_FLT_PT == 1;
    if (floatMode) {
        c.data_width = g.C_ARCH == 1 ? 29 : g.C_ARCH == 3 ? 27 : 28;
        c.result_width = g.C_ARCH == 3 ? c.data_width + g.C_NFFT_MAX + 1 : c.data_width;
    } else {
        c.data_width = g.C_INPUT_WIDTH;
        c.result_width = (g.C_NFFT_MAX + 1) * (1 - g.C_HAS_SCALING) + g.C_INPUT_WIDTH;
    }
    c.twiddle_width = g.C_TWIDDLE_WIDTH;
    c.nfft_max = g.C_NFFT_MAX;
    c.has_rounding = g.C_HAS_ROUNDING;
    c.has_scaling = g.C_HAS_SCALING;
    c.has_bfp = g.C_HAS_BFP;
    c.arch = g.C_ARCH;
    c.use_flt_pt = g.C_USE_FLT_PT;
    if (floatMode) {
        c.has_rounding = 0;
        c.has_scaling = g.C_ARCH == 3 ? 0 : 1;
        c.has_bfp = g.C_ARCH == 3 ? 0 : 1;
    }
    return c;
}

}  // namespace

velmor_ip_vfft_v8_0_generics velmor_ip_vfft_v8_0_get_default_generics(void)
{
    velmor_ip_vfft_v8_0_generics g;
    g.C_NFFT_MAX = 10;
    g.C_ARCH = 1;
    g.C_HAS_NFFT = 0;
    g.C_USE_FLT_PT = 0;
    g.C_INPUT_WIDTH = 16;
    g.C_TWIDDLE_WIDTH = 16;
    g.C_HAS_SCALING = 1;
    g.C_HAS_BFP = 0;
    g.C_HAS_ROUNDING = 0;
    return g;
}

velmor_ip_vfft_v8_0_state* velmor_ip_vfft_v8_0_create_state(velmor_ip_vfft_v8_0_generics generics)
{
    if (!rangesValid(generics) || !combinationValid(generics)) {
        return nullptr;
    }
    auto* st = static_cast<velmor_ip_vfft_v8_0_state*>(std::malloc(sizeof(velmor_ip_vfft_v8_0_state)));
    if (st == nullptr) {
        return nullptr;
    }
    st->generics = generics;
    st->config = makeConfig(generics);
    // Out of memory while building: report no state.
    try {
        st->datapath = makeDatapath(st->config);
    } catch (const std::bad_alloc&) {
        std::free(st);
        return nullptr;
    }
    return st;
}

void velmor_ip_vfft_v8_0_destroy_state(velmor_ip_vfft_v8_0_state* state)
{
    if (state == nullptr) {
        return;
    }
    destroyDatapath(state->datapath);
    std::free(state);
}
