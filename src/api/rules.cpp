#include "api/rules.h"

namespace {

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

const char* contradiction(const velmor_ip_vfft_v8_0_generics& g)
{
    if (g.C_NFFT_MAX < 6 && g.C_ARCH == 1) {
        return "C_NFFT_MAX < 6 (transform length less than 2^6 = 64) and C_ARCH = 1 "
               "(Radix-4, Burst I/O architecture): this architecture has a minimum transform "
               "length of 64, so C_NFFT_MAX must be 6 or greater.";
    }
    if (g.C_NFFT_MAX == 3 && g.C_HAS_NFFT == 1) {
        return "C_NFFT_MAX = 3 (transform length of 2^3 = 8) and C_HAS_NFFT = 1 (run-time "
               "configurable transform length): the minimum transform length of 8 cannot be "
               "run-time configurable as it cannot be reduced.";
    }
    if (g.C_NFFT_MAX == 6 && g.C_ARCH == 1 && g.C_HAS_NFFT == 1) {
        return "C_NFFT_MAX = 6 (transform length of 2^6 = 64) and C_HAS_NFFT = 1 (run-time "
               "configurable transform length) and C_ARCH = 1 (Radix-4, Burst I/O "
               "architecture): the minimum transform length of 64 in this architecture cannot "
               "be run-time configurable as it cannot be reduced.";
    }
    if (g.C_HAS_SCALING == 0 && g.C_HAS_BFP == 1) {
        return "C_HAS_SCALING = 0 (unscaled) and C_HAS_BFP = 1 (block floating point "
               "scaling): these contradict and do not specify a valid scaling option.";
    }
    if (g.C_USE_FLT_PT == 1 && g.C_INPUT_WIDTH != 32) {
        return "C_USE_FLT_PT = 1 and C_INPUT_WIDTH != 32: only IEEE single-precision data of "
               "32 bits is supported.";
    }
    return nullptr;
}

}  // namespace

// Combinations are looked at only when every field is in range.
GenericsFault checkGenerics(const velmor_ip_vfft_v8_0_generics& g)
{
    GenericsFault fault;
    for (const RangeRule& rule : kRangeRules) {
        const int32_t value = g.*rule.field;
        if (value < rule.low || value > rule.high) {
            fault.range = &rule;
            fault.value = value;
            return fault;
        }
    }
    fault.combination = contradiction(g);
    return fault;
}
