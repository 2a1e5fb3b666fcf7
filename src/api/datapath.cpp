// The data path of one validated simulation call: the caller's doubles are
// brought onto the engine's sample grid, placed in the engine's memory in the
// order its architecture expects, transformed, and read back in natural order
// with the block exponent and the overflow flag.
#include <cmath>
#include <cstring>

#include "api/Report.h"
#include "api/State.h"
#include "api/quantize.h"
#include "api/single.h"
#include "engine/R22_pipeline.h"
#include "engine/R2_loop.h"
#include "engine/R4_loop.h"

namespace {

// Multiplies x by 2^k in steps of at most 2^62.
double scaleByPowerOfTwo(double x, int32_t k) {
    int32_t n = k < 0 ? -k : k;
    do {
        const int32_t c = n < 62 ? n : 62;
        x = k < 0 ? x / std::ldexp(1.0, c) : x * std::ldexp(1.0, c);
        n -= 62;
    } while (n > 0);
    return x;
}

// Fixed-point mode: true when some value is off the grid of the input width.
bool needsPrequantisation(const velmor_ip_vfft_v8_0_inputs& in, int32_t points, int32_t inputWidth) {
    const double s = std::ldexp(1.0, inputWidth - 1);
    for (int32_t i = 0; i < points; ++i) {
        const double re = s * in.xn_re[i];
        if (!(re == std::floor(re))) return true;
        const double im = s * in.xn_im[i];
        if (!(im == std::floor(im))) return true;
    }
    return false;
}

// Floating-point mode: the input scan and the input block exponent.
struct SingleScan {
    bool invalid = false;
    bool infinite = false;  // the largest magnitude is infinite: no block exponent
    int32_t exponent = 0;
};

void flushSubnormal(double& x, const char* part) {
    if (isSubnormalSingle(toSingle(x))) {
        x = 0.0;
        reportLine("WARNING:vfft_v8_0:simulate called with a denormalized ", part,
                   " data value, this value will be set to zero");
    }
}

void noteMagnitude(double x, const char* part, double& largest, bool& invalid) {
    const float f = toSingle(x);
    const double m = f > 0 ? x : -x;
    if (m > largest) largest = toSingle(m);
    if (isNanSingle(f) || isInfSingle(f)) {
        invalid = true;
        reportLine("WARNING:vfft_v8_0:simulate called with ", part,
                   " data values set to inf or NaN, output will be invalidated");
    }
}

SingleScan scanSingleInputs(const velmor_ip_vfft_v8_0_inputs& in, int32_t points) {
    SingleScan scan;
    double largest = 0.0;
    for (int32_t i = 0; i < points; ++i) {
        flushSubnormal(in.xn_re[i], "real");
        flushSubnormal(in.xn_im[i], "imag");
        noteMagnitude(in.xn_re[i], "real", largest, scan.invalid);
        noteMagnitude(in.xn_im[i], "imag", largest, scan.invalid);
    }
    if (std::isinf(largest)) {
        scan.infinite = true;
        scan.invalid = true;
    } else if (largest > 0) {
        scan.exponent = static_cast<int32_t>(std::floor(std::log10(largest) / std::log10(2.0)) + 1);
    }
    return scan;
}

// x as a single, divided by 2^e in single-precision steps, on the grid of a
// signed w-bit fraction (ties to even, no clamp).
double scaleAndQuantizeSingle(double x, const SingleScan& scan, int32_t w) {
    float f = toSingle(x);
    if (scan.infinite) {
        f = f * 0.0f;
    } else {
        const int32_t e = scan.exponent;
        int32_t n = e < 0 ? -e : e;
        do {
            const int32_t c = n < 62 ? n : 62;
            const float step = std::ldexp(1.0f, c);
            f = e < 0 ? f * step : f / step;
            n -= 62;
        } while (n > 0);
    }
    return quantizeToWidth(static_cast<double>(f), w, 1);
}

// Rounds x to 24 significant bits, ties to even, without single-precision
// exponent limits.
double roundToSingleSignificance(double v) {
    if (v == 0.0) return v;
    const double s = v >= 0 ? 1.0 : -1.0;
    const double x = std::fabs(v);
    const int32_t e = static_cast<int32_t>(std::floor(std::log10(x) / std::log10(2.0)));
    const double scale = std::ldexp(1.0, -1 - e);
    return s * quantizeToWidth(x * scale, 25, 1) / scale;
}

// Engine-specific placement of sample i and read-back of result i.
FixComplex& inputSlot(R2_loop& e, int32_t i) {
    const int32_t half = e.points / 2;
    return e.mem[(e.bitSum(i) & 1) * R2_loop::kBankSize + e.bitReverseShort(i & (half - 1))];
}
const FixComplex& resultSlot(R2_loop& e, int32_t i) {
    return e.mem[(e.bitSum(i) & 1) * R2_loop::kBankSize + (i >> 1)];
}

FixComplex& inputSlot(R4_loop& e, int32_t i) {
    const int32_t j = e.digitReverse(i);
    const int32_t eighth = e.points / 8;
    const int32_t a = e.nfft_odd ? (j & (eighth - 1)) + ((j >> 2) & eighth) : (j & e.r4_addr_mask);
    return e.mem[(e.digitSum(j) & 3) * R4_loop::kBankSize + a];
}
const FixComplex& resultSlot(R4_loop& e, int32_t i) {
    const int32_t a = ((e.r4_points >> 2) & (i >> 2)) + (i & e.r4_addr_mask);
    return e.mem[(e.digitSum(i) & 3) * R4_loop::kBankSize + a];
}

FixComplex& inputSlot(R22_pipeline& e, int32_t i) { return e.mem[i]; }
const FixComplex& resultSlot(R22_pipeline& e, int32_t i) { return e.mem[e.bitReverse(i)]; }

// Pre-division of the loaded values (log2 of the divisor) for an unscaled
// engine, so that the growth of the transform fits the engine's width.
int32_t preDivision(const R2_loop& e) { return e.has_scaling ? 0 : e.result_width - e.data_width; }
int32_t preDivision(const R4_loop& e) { return e.has_scaling ? 0 : e.result_width - e.data_width; }
int32_t preDivision(const R22_pipeline& e) {
    return (!e.has_scaling || e.has_bfp) ? e.engine_width - e.data_width : 0;
}

constexpr bool takesHeadroom(const R22_pipeline&) { return false; }
constexpr bool takesHeadroom(const FFT&) { return true; }

struct CallContext {
    const velmor_ip_vfft_v8_0_state* st;
    const velmor_ip_vfft_v8_0_inputs* in;
    velmor_ip_vfft_v8_0_outputs* out;
    bool prequantise;
    const SingleScan* scan;  // floating-point mode only
};

template <class Engine>
void loadRunRead(Engine& engine, const CallContext& cx) {
    const ConfigRecord& cfg = cx.st->config;
    const int32_t points = cfg.points;
    engine.setup(cfg);
    const bool headroom = takesHeadroom(engine);
    if (headroom) engine.bfp_growth = 32;
    const double divisor = std::ldexp(1.0, preDivision(engine));
    for (int32_t i = 0; i < points; ++i) {
        double re = cx.in->xn_re[i];
        double im = cx.in->xn_im[i];
        if (cx.scan) {
            re = scaleAndQuantizeSingle(re, *cx.scan, cfg.data_width);
            im = scaleAndQuantizeSingle(im, *cx.scan, cfg.data_width);
        } else if (cx.prequantise) {
            re = quantizeToWidth(re, cfg.data_width, 0);
            im = quantizeToWidth(im, cfg.data_width, 0);
        }
        FixComplex& slot = inputSlot(engine, i);
        slot.re = re / divisor;
        slot.im = im / divisor;
        if (headroom) {
            const int32_t h = FFT::sampleHeadroom(slot);
            if (h < engine.bfp_growth) engine.bfp_growth = h;
        }
    }
    if (cfg.has_scaling && !cfg.has_bfp) {
        uint32_t word = 0;
        for (int32_t k = cx.in->scaling_sch_size - 1; k >= 0; --k)
            word = 4 * word + static_cast<uint32_t>(cx.in->scaling_sch[k]);
        engine.scaling_word = static_cast<int32_t>(word);
    }
    engine.direction = cx.in->direction;
    engine.run(*cx.st->twiddle_rom);
    engine.r4_addr_mask = cfg.r4_addr_mask;
    for (int32_t i = 0; i < points; ++i) {
        const FixComplex& r = resultSlot(engine, i);
        cx.out->xk_re[i] = r.re.toDouble();
        cx.out->xk_im[i] = r.im.toDouble();
    }
    cx.out->blk_exp = engine.blk_exp;
    cx.out->overflow = engine.overflow;
}

// Floating-point mode: results to single significance, re-scaled by the block
// exponents, and checked against the single-precision range.
void finishSingleResults(const velmor_ip_vfft_v8_0_state* st, const SingleScan& scan,
                         velmor_ip_vfft_v8_0_outputs* out, int32_t points) {
    const ConfigRecord& cfg = st->config;
    if (scan.invalid) {
        float nan;
        const uint32_t pattern = 0x7FFFFFFFu;
        std::memcpy(&nan, &pattern, sizeof nan);
        for (int32_t i = 0; i < points; ++i) out->xk_re[i] = out->xk_im[i] = nan;
        return;
    }
    const int32_t k = cfg.has_scaling ? scan.exponent + out->blk_exp : cfg.nfft_max + scan.exponent + 1;
    for (int32_t i = 0; i < points; ++i) {
        double* parts[2] = {&out->xk_re[i], &out->xk_im[i]};
        for (double* p : parts) {
            *p = scaleByPowerOfTwo(roundToSingleSignificance(*p), k);
            if (std::fabs(*p) > kSingleMax) {
                *p = toSingle(*p);
                out->overflow = 1;
            }
        }
    }
}

}  // namespace

int runDataPath(velmor_ip_vfft_v8_0_state* st, velmor_ip_vfft_v8_0_inputs in,
                velmor_ip_vfft_v8_0_outputs* out, int nfft) {
    const int32_t points = 1 << nfft;
    ConfigRecord& cfg = st->config;
    const bool single = cfg.use_flt_pt != 0;

    CallContext cx{st, &in, out, false, nullptr};
    SingleScan scan;
    if (single) {
        scan = scanSingleInputs(in, points);
        cx.scan = &scan;
    } else if (needsPrequantisation(in, points, st->generics.C_INPUT_WIDTH)) {
        cx.prequantise = true;
        reportLine("WARNING:vfft_v8_0:simulate called with real and/or imaginary data values that are "
                   "not pre-quantized to signed two's-complement fixed-point values of precision "
                   "C_INPUT_WIDTH = ",
                   st->generics.C_INPUT_WIDTH,
                   " bits.  All real and imaginary data will be internally rounded to the nearest "
                   "quantization level for this precision (using convergent rounding to nearest even).");
    }

    cfg.nfft_odd = nfft & 1;
    cfg.points = points;
    cfg.nfft = nfft;
    cfg.half_nfft = nfft >> 1;
    cfg.r4_points = (nfft & 1) ? points / 2 : points;
    cfg.r4_addr_mask = cfg.r4_points / 4 - 1;

    if (cfg.arch == 1)
        loadRunRead(*st->r4, cx);
    else if (cfg.arch == 3)
        loadRunRead(*st->r22, cx);
    else
        loadRunRead(*st->r2, cx);

    if (single) {
        finishSingleResults(st, scan, out, points);
    } else if (!cfg.has_scaling || (st->generics.C_ARCH == 3 && cfg.has_bfp)) {
        const double f = std::ldexp(1.0, cfg.nfft_max + 1);
        for (int32_t i = 0; i < points; ++i) {
            out->xk_re[i] *= f;
            out->xk_im[i] *= f;
        }
    }

    out->xk_re_size = points;
    out->xk_im_size = points;
    if (single || !cfg.has_scaling) {
        out->blk_exp = 0;
        if (!single) out->overflow = 0;
    } else if (cfg.has_bfp) {
        out->overflow = 0;
    } else {
        out->blk_exp = 0;
    }
    return 0;
}
