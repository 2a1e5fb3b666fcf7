// The generics record, its validation, and the creation and release of states.
#include <cstdlib>
#include <new>

#include "api/Report.h"
#include "api/State.h"
#include "api/rules.h"

namespace {

// Writes the message of the first broken rule.
void reportFault(const Reporter& report, const GenericsFault& fault)
{
    constexpr const char* kPrefix = "ERROR:vfft_v8_0:create_state called with ";
    if (fault.range != nullptr) {
        report.line(kPrefix, "invalid ", fault.range->name, " generic: must be in the range ",
                    fault.range->low, " to ", fault.range->high, ": Value is ", fault.value);
    } else {
        report.line(kPrefix, fault.combination);
    }
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
    return velmor_ip_vfft_v8_0_create_state_with_sink(generics, nullptr, nullptr);
}

velmor_ip_vfft_v8_0_state* velmor_ip_vfft_v8_0_create_state_with_sink(velmor_ip_vfft_v8_0_generics generics,
                                                                     velmor_ip_vfft_v8_0_sink sink, void* user)
{
    const Reporter report{sink, user};
    if (const GenericsFault fault = checkGenerics(generics)) {
        reportFault(report, fault);
        return nullptr;
    }
    auto* st = static_cast<velmor_ip_vfft_v8_0_state*>(std::malloc(sizeof(velmor_ip_vfft_v8_0_state)));
    if (st == nullptr) {
        return nullptr;
    }
    st->generics = generics;
    st->config = makeConfig(generics);
    st->reporter = report;
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

void velmor_ip_vfft_v8_0_set_sink(velmor_ip_vfft_v8_0_state* state, velmor_ip_vfft_v8_0_sink sink, void* user)
{
    if (state != nullptr) {
        state->reporter = Reporter{sink, user};
    }
}
