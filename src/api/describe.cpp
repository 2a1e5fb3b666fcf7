// What the library is, and the rules of a configuration as a host reads them.
#include "api/State.h"
#include "api/rules.h"
#include "vfft_v8_0_ext.h"

const char* velmor_ip_vfft_v8_0_version(void) { return VFFT_VERSION; }

const char* velmor_ip_vfft_v8_0_datapath(void) { return datapathName(); }

namespace {

// Bits of a fixed-point result code. Every engine reads its results from
// registers with the input's fraction bits. The burst engines' registers are
// as wide as the results (input width, or the unscaled growth of
// C_NFFT_MAX + 1 bits more, taken off again by the pre-division). The
// pipeline's memory has one integer bit more: a scheduled transform that
// overflows keeps values up to +-2, and block floating point's normalisation
// can leave +1 where the largest part was a negative power of two met first;
// unscaled results stay within sqrt(2) times the input range times the length.
int32_t resultWidth(const velmor_ip_vfft_v8_0_generics& g)
{
    if (g.C_HAS_SCALING == 0) return g.C_INPUT_WIDTH + g.C_NFFT_MAX + 1;
    return g.C_ARCH == 3 ? g.C_INPUT_WIDTH + 1 : g.C_INPUT_WIDTH;
}

}  // namespace

int32_t velmor_ip_vfft_v8_0_describe(velmor_ip_vfft_v8_0_generics generics, int32_t nfft,
                                     velmor_ip_vfft_v8_0_description* description)
{
    if (description == nullptr) return 3;
    if (checkGenerics(generics)) return 1;
    const velmor_ip_vfft_v8_0_generics& g = generics;
    velmor_ip_vfft_v8_0_description d{};
    d.nfft = nfft == 0 ? g.C_NFFT_MAX : nfft;
    d.nfft_min = g.C_HAS_NFFT == 1 ? shortestLength(g.C_ARCH) : g.C_NFFT_MAX;
    d.nfft_max = g.C_NFFT_MAX;
    if (d.nfft < d.nfft_min || d.nfft > d.nfft_max) return 2;
    if (readsSchedule(g)) {
        d.stages = scheduleStages(g.C_ARCH, d.nfft);
        for (int32_t s = 0; s < d.stages; ++s) {
            d.schedule_max[s] = largestShift(g.C_ARCH, d.nfft, s);
            // One bit per radix-2 stage keeps a full-scale input in range.
            d.default_schedule[s] = pairedStages(g.C_ARCH) && d.schedule_max[s] == 3 ? 2 : 1;
        }
    }
    d.float_mode = g.C_USE_FLT_PT;
    if (d.float_mode == 1) {
        // Codes are the bit patterns of IEEE singles.
        d.input_width = d.output_width = 32;
        d.has_overflow = 1;
    } else {
        d.input_width = g.C_INPUT_WIDTH;
        d.input_point = d.output_point = g.C_INPUT_WIDTH - 1;
        d.output_width = resultWidth(g);
        d.has_blk_exp = g.C_HAS_SCALING & g.C_HAS_BFP;
        d.has_overflow = readsSchedule(g) ? 1 : 0;
    }
    *description = d;
    return 0;
}
