// Argument checks of the simulation call, one message and code per failure.
#include "api/validate.h"

#include <cmath>

#include "api/Report.h"
#include "api/State.h"
#include "api/single.h"

namespace {

constexpr const char* kPrefix = "ERROR:vfft_v8_0:simulate called with ";

// Fixed-point data are signed fractions. Floating-point data must be singles:
// finite doubles beyond the single range that do not round to infinity are
// refused, while infinities and NaNs pass on to the data path, which handles them.
bool acceptable(double v, bool floatMode)
{
    if (!floatMode) {
        return !(v < -1.0 || v >= 1.0);
    }
    return !(std::fabs(v) > kSingleMax && !std::isinf(toSingle(v)));
}

struct SampleArray {
    const char* part;  // "real" or "imaginary"
    const char* name;  // "xn_re" or "xn_im"
    int32_t nullCode;  // the size and value codes follow it
};

constexpr SampleArray kReal{"real", "xn_re", VFFT_V8_0_NULL_XN_RE};
constexpr SampleArray kImag{"imaginary", "xn_im", VFFT_V8_0_NULL_XN_IM};

// A state without its engine is corrupt; the code names the architecture.
int checkEngine(const velmor_ip_vfft_v8_0_state& st)
{
    int code = 0;
    if (st.datapath == nullptr) {
        switch (st.generics.C_ARCH) {
        case 1:
            code = VFFT_V8_0_CORRUPT_RADIX4_STATE;
            break;
        case 2:
        case 4:
            code = VFFT_V8_0_CORRUPT_RADIX2_STATE;
            break;
        case 3:
            code = VFFT_V8_0_CORRUPT_PIPELINE_STATE;
            break;
        default:
            break;
        }
    }
    if (code != 0) {
        reportLine(kPrefix, "corrupted state structure");
    }
    return code;
}

// A fixed-length core ignores the requested length, with a warning when it differs.
int selectLength(const velmor_ip_vfft_v8_0_generics& g, int32_t requested, int& nfft)
{
    if (g.C_HAS_NFFT == 1) {
        const bool radix4 = g.C_ARCH == 1;
        const int32_t low = radix4 ? 6 : 3;
        if (requested < low || requested > g.C_NFFT_MAX) {
            reportLine(kPrefix, "nfft input ", requested, " out of legal range ", low,
                       " to C_NFFT_MAX");
            return radix4 ? VFFT_V8_0_NFFT_RANGE_RADIX4 : VFFT_V8_0_NFFT_RANGE;
        }
        nfft = requested;
        return 0;
    }
    if (requested != g.C_NFFT_MAX) {
        reportLine("WARNING:vfft_v8_0:simulate called with nfft input = ", requested,
                   ", different from C_NFFT_MAX = ", g.C_NFFT_MAX,
                   ", which is not permitted when C_HAS_NFFT is 0.  The nfft input will be "
                   "ignored and C_NFFT_MAX used instead.");
    }
    nfft = g.C_NFFT_MAX;
    return 0;
}

int checkSamples(const SampleArray& a, const double* values, int32_t size, int32_t points,
                 bool floatMode)
{
    if (values == nullptr) {
        reportLine(kPrefix, "null pointer for ", a.name, " input");
        return a.nullCode;
    }
    if (size != points) {
        reportLine(kPrefix, "incorrect ", a.name, "_size input ", size, ": must be 2^nfft = ",
                   points);
        return a.nullCode + 1;  // VFFT_V8_0_XN_RE_SIZE or VFFT_V8_0_XN_IM_SIZE
    }
    // Fixed point: one branch-free pass finds whether any value is out of
    // range; only then is the first one looked for.
    if (!floatMode) {
        bool outside = false;
        for (int32_t i = 0; i < points; ++i) outside |= (values[i] < -1.0) | (values[i] >= 1.0);
        if (!outside) return 0;
    }
    for (int32_t i = 0; i < points; ++i) {
        if (acceptable(values[i], floatMode)) {
            continue;
        }
        if (floatMode) {
            reportLine(kPrefix, "invalid ", a.part, " data value: ", a.name, "[", i,
                       "] = ", values[i], ": all values must be in the range ", -kSingleMax,
                       "< data < ", kSingleMax);
        } else {
            reportLine(kPrefix, "invalid ", a.part, " data value: ", a.name, "[", i,
                       "] = ", values[i], ": all values must be in the range -1.0 <= data < 1.0");
        }
        return a.nullCode + 2;  // VFFT_V8_0_XN_RE_VALUE or VFFT_V8_0_XN_IM_VALUE
    }
    return 0;
}

// Every value is range-checked before the rule for a final radix-2 stage.
int checkSchedule(const velmor_ip_vfft_v8_0_generics& g, const velmor_ip_vfft_v8_0_inputs& in,
                  int nfft)
{
    if (in.scaling_sch == nullptr) {
        reportLine(kPrefix, "null pointer for scaling_sch input");
        return VFFT_V8_0_NULL_SCHEDULE;
    }
    const bool radix4Stages = g.C_ARCH == 1 || g.C_ARCH == 3;
    if (radix4Stages && in.scaling_sch_size != (nfft + 1) / 2) {
        reportLine(kPrefix, "incorrect scaling_sch_size input ", in.scaling_sch_size,
                   ": must be ceil(nfft/2) = ", (nfft + 1) / 2);
        return VFFT_V8_0_SCHEDULE_SIZE_RADIX4;
    }
    if (!radix4Stages && in.scaling_sch_size != nfft) {
        reportLine(kPrefix, "incorrect scaling_sch_size input ", in.scaling_sch_size,
                   ": must be nfft = ", nfft);
        return VFFT_V8_0_SCHEDULE_SIZE_RADIX2;
    }
    for (int32_t i = 0; i < in.scaling_sch_size; ++i) {
        if (in.scaling_sch[i] < 0 || in.scaling_sch[i] > 3) {
            reportLine(kPrefix, "invalid scaling value: scaling_sch[", i, "] = ", in.scaling_sch[i],
                       ": all values must be in the range 0 to 3");
            return VFFT_V8_0_SCHEDULE_VALUE;
        }
    }
    const int32_t last = in.scaling_sch_size - 1;
    if (radix4Stages && nfft % 2 == 1 && in.scaling_sch[last] > 1) {
        reportLine(kPrefix, "invalid scaling value: scaling value in the final stage, scaling_sch[",
                   last, "] = ", in.scaling_sch[last],
                   ": when C_ARCH = 1 (Radix-4, Burst I/O architecture) or C_ARCH = 3 "
                   "(Pipelined, Streaming I/O architecture) and nfft is odd, the final stage "
                   "scaling value must be 0 or 1");
        return VFFT_V8_0_FINAL_SCHEDULE_VALUE;
    }
    return 0;
}

int checkOutputs(const velmor_ip_vfft_v8_0_outputs& out, int32_t points)
{
    if (out.xk_re == nullptr) {
        reportLine(kPrefix, "null pointer for xk_re output");
        return VFFT_V8_0_NULL_XK_RE;
    }
    if (out.xk_im == nullptr) {
        reportLine(kPrefix, "null pointer for xk_im output");
        return VFFT_V8_0_NULL_XK_IM;
    }
    if (out.xk_re_size < points) {
        reportLine(kPrefix, "too small a value for xk_re_size in outputs structure ",
                   out.xk_re_size, ": must be at least 2^nfft = ", points);
        return VFFT_V8_0_XK_RE_SIZE;
    }
    if (out.xk_im_size < points) {
        reportLine(kPrefix, "too small a value for xk_im_size in outputs structure ",
                   out.xk_im_size, ": must be at least 2^nfft = ", points);
        return VFFT_V8_0_XK_IM_SIZE;
    }
    return 0;
}

}  // namespace

int validateCall(const velmor_ip_vfft_v8_0_state* st, const velmor_ip_vfft_v8_0_inputs& in,
                 const velmor_ip_vfft_v8_0_outputs* out, int& nfft)
{
    if (st == nullptr) {
        reportLine(kPrefix, "null state structure");
        return VFFT_V8_0_NULL_STATE;
    }
    if (out == nullptr) {
        reportLine(kPrefix, "null output structure");
        return VFFT_V8_0_NULL_OUTPUTS;
    }
    const velmor_ip_vfft_v8_0_generics& g = st->generics;
    int code = checkEngine(*st);
    if (code != 0) {
        return code;
    }
    int length = 0;
    code = selectLength(g, in.nfft, length);
    if (code != 0) {
        return code;
    }
    const int32_t points = int32_t{1} << length;
    const bool floatMode = st->config.use_flt_pt != 0;
    code = checkSamples(kReal, in.xn_re, in.xn_re_size, points, floatMode);
    if (code != 0) {
        return code;
    }
    code = checkSamples(kImag, in.xn_im, in.xn_im_size, points, floatMode);
    if (code != 0) {
        return code;
    }
    // Only a fixed scaling schedule is read; other configurations ignore it.
    if (g.C_HAS_SCALING == 1 && g.C_HAS_BFP == 0 && !floatMode) {
        code = checkSchedule(g, in, length);
        if (code != 0) {
            return code;
        }
    }
    if (in.direction != 0 && in.direction != 1) {
        reportLine(kPrefix, "invalid direction input ", in.direction, ": must be 0 or 1");
        return VFFT_V8_0_DIRECTION;
    }
    code = checkOutputs(*out, points);
    if (code == 0) {
        nfft = length;
    }
    return code;
}
