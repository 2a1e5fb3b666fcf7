// Argument checks of the simulation call, one message and code per failure.
#include "api/validate.h"

#include <cmath>

#include "api/State.h"
#include "api/rules.h"
#include "api/single.h"
#include "datapath/Datapath.h"

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
int checkEngine(const velmor_ip_vfft_v8_0_state& st, const Reporter& report)
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
        report.line(kPrefix, "corrupted state structure");
    }
    return code;
}

// A fixed-length core ignores the requested length, with a warning when it differs.
int selectLength(const velmor_ip_vfft_v8_0_generics& g, int32_t requested, int& nfft, const Reporter& report)
{
    if (g.C_HAS_NFFT == 1) {
        const int32_t low = shortestLength(g.C_ARCH);
        if (requested < low || requested > g.C_NFFT_MAX) {
            report.line(kPrefix, "nfft input ", requested, " out of legal range ", low, " to C_NFFT_MAX");
            return g.C_ARCH == 1 ? VFFT_V8_0_NFFT_RANGE_RADIX4 : VFFT_V8_0_NFFT_RANGE;
        }
        nfft = requested;
        return 0;
    }
    if (requested != g.C_NFFT_MAX) {
        report.line("WARNING:vfft_v8_0:simulate called with nfft input = ", requested,
                   ", different from C_NFFT_MAX = ", g.C_NFFT_MAX,
                   ", which is not permitted when C_HAS_NFFT is 0.  The nfft input will be "
                   "ignored and C_NFFT_MAX used instead.");
    }
    nfft = g.C_NFFT_MAX;
    return 0;
}

// Sample i of the array is values[i * step].
int checkSamples(const SampleArray& a, const double* values, int32_t size, int32_t points, int32_t step,
                 bool floatMode, const Reporter& report)
{
    if (values == nullptr) {
        report.line(kPrefix, "null pointer for ", a.name, " input");
        return a.nullCode;
    }
    if (size != points) {
        report.line(kPrefix, "incorrect ", a.name, "_size input ", size, ": must be 2^nfft = ", points);
        return a.nullCode + 1;  // VFFT_V8_0_XN_RE_SIZE or VFFT_V8_0_XN_IM_SIZE
    }
    // Fixed point: only a frame with a value out of range (one pass of the
    // datapath finds whether there is one) is searched for the first one.
    if (!floatMode && !anyOutsideUnit(values, points, step)) {
        return 0;
    }
    for (int32_t i = 0; i < points; ++i) {
        const double value = values[i * step];
        if (acceptable(value, floatMode)) {
            continue;
        }
        if (floatMode) {
            report.line(kPrefix, "invalid ", a.part, " data value: ", a.name, "[", i, "] = ", value,
                        ": all values must be in the range ", -kSingleMax, "< data < ", kSingleMax);
        } else {
            report.line(kPrefix, "invalid ", a.part, " data value: ", a.name, "[", i, "] = ", value,
                        ": all values must be in the range -1.0 <= data < 1.0");
        }
        return a.nullCode + 2;  // VFFT_V8_0_XN_RE_VALUE or VFFT_V8_0_XN_IM_VALUE
    }
    return 0;
}

// Every value is range-checked before the rule for a final radix-2 stage.
int checkSchedule(const velmor_ip_vfft_v8_0_generics& g, const velmor_ip_vfft_v8_0_inputs& in,
                  int nfft, const Reporter& report)
{
    if (in.scaling_sch == nullptr) {
        report.line(kPrefix, "null pointer for scaling_sch input");
        return VFFT_V8_0_NULL_SCHEDULE;
    }
    const bool paired = pairedStages(g.C_ARCH);
    const int32_t stages = scheduleStages(g.C_ARCH, nfft);
    if (in.scaling_sch_size != stages) {
        report.line(kPrefix, "incorrect scaling_sch_size input ", in.scaling_sch_size,
                    paired ? ": must be ceil(nfft/2) = " : ": must be nfft = ", stages);
        return paired ? VFFT_V8_0_SCHEDULE_SIZE_RADIX4 : VFFT_V8_0_SCHEDULE_SIZE_RADIX2;
    }
    for (int32_t i = 0; i < stages; ++i) {
        if (in.scaling_sch[i] < 0 || in.scaling_sch[i] > 3) {
            report.line(kPrefix, "invalid scaling value: scaling_sch[", i, "] = ", in.scaling_sch[i],
                        ": all values must be in the range 0 to 3");
            return VFFT_V8_0_SCHEDULE_VALUE;
        }
    }
    const int32_t last = stages - 1;
    if (in.scaling_sch[last] > largestShift(g.C_ARCH, nfft, last)) {
        report.line(kPrefix, "invalid scaling value: scaling value in the final stage, scaling_sch[", last,
                    "] = ", in.scaling_sch[last],
                    ": when C_ARCH = 1 (Radix-4, Burst I/O architecture) or C_ARCH = 3 "
                    "(Pipelined, Streaming I/O architecture) and nfft is odd, the final stage "
                    "scaling value must be 0 or 1");
        return VFFT_V8_0_FINAL_SCHEDULE_VALUE;
    }
    return 0;
}

int checkOutputs(const velmor_ip_vfft_v8_0_outputs& out, int32_t points, const Reporter& report)
{
    if (out.xk_re == nullptr) {
        report.line(kPrefix, "null pointer for xk_re output");
        return VFFT_V8_0_NULL_XK_RE;
    }
    if (out.xk_im == nullptr) {
        report.line(kPrefix, "null pointer for xk_im output");
        return VFFT_V8_0_NULL_XK_IM;
    }
    if (out.xk_re_size < points) {
        report.line(kPrefix, "too small a value for xk_re_size in outputs structure ",
                   out.xk_re_size, ": must be at least 2^nfft = ", points);
        return VFFT_V8_0_XK_RE_SIZE;
    }
    if (out.xk_im_size < points) {
        report.line(kPrefix, "too small a value for xk_im_size in outputs structure ",
                   out.xk_im_size, ": must be at least 2^nfft = ", points);
        return VFFT_V8_0_XK_IM_SIZE;
    }
    return 0;
}

}  // namespace

int validateCall(const velmor_ip_vfft_v8_0_state* st, const velmor_ip_vfft_v8_0_inputs& in,
                 const velmor_ip_vfft_v8_0_outputs* out, int32_t step, int& nfft)
{
    const Reporter report = st != nullptr ? st->reporter : Reporter{};
    if (st == nullptr) {
        report.line(kPrefix, "null state structure");
        return VFFT_V8_0_NULL_STATE;
    }
    if (out == nullptr) {
        report.line(kPrefix, "null output structure");
        return VFFT_V8_0_NULL_OUTPUTS;
    }
    const velmor_ip_vfft_v8_0_generics& g = st->generics;
    int code = checkEngine(*st, report);
    if (code != 0) {
        return code;
    }
    int length = 0;
    code = selectLength(g, in.nfft, length, report);
    if (code != 0) {
        return code;
    }
    const int32_t points = int32_t{1} << length;
    const bool floatMode = st->config.use_flt_pt != 0;
    code = checkSamples(kReal, in.xn_re, in.xn_re_size, points, step, floatMode, report);
    if (code != 0) {
        return code;
    }
    code = checkSamples(kImag, in.xn_im, in.xn_im_size, points, step, floatMode, report);
    if (code != 0) {
        return code;
    }
    if (readsSchedule(g)) {
        code = checkSchedule(g, in, length, report);
        if (code != 0) {
            return code;
        }
    }
    if (in.direction != 0 && in.direction != 1) {
        report.line(kPrefix, "invalid direction input ", in.direction, ": must be 0 or 1");
        return VFFT_V8_0_DIRECTION;
    }
    code = checkOutputs(*out, points, report);
    if (code == 0) {
        nfft = length;
    }
    return code;
}
