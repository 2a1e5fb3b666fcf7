// The data path of one validated simulation call, as a sequence of named
// steps: scan the inputs, work out the shape of the call, transform the frame
// with the state's datapath (setup, load, run, unload), bring the results to
// the caller's scale, and report the block exponent and the overflow flag.
#include <cmath>

#include "api/State.h"
#include "api/quantize.h"
#include "api/single_mode.h"

namespace {

bool anyNaN(const Frame& frame) {
    for (int32_t i = 0; i < frame.points * frame.step; i += frame.step)
        if (std::isnan(frame.re[i]) || std::isnan(frame.im[i])) return true;
    return false;
}

// The steps that bring the caller's values onto the data grid (Frame::toGrid):
// rounding to the data width in fixed-point mode, the input block exponent
// and the data width in floating-point mode.
double fixedToGrid(double x, const void* width) { return quantizeToWidth(x, *static_cast<const int32_t*>(width), 0); }

struct SingleGrid {
    SingleScan scan;
    int32_t width;
};
double singleToGrid(double x, const void* grid) {
    const auto* g = static_cast<const SingleGrid*>(grid);
    return scaleAndQuantizeSingle(x, g->scan, g->width);
}

// Fixed-point mode: the pre-quantisation test and its warning.
void scanFixedInputs(const velmor_ip_vfft_v8_0_state* st, Frame& frame) {
    const int32_t width = st->generics.C_INPUT_WIDTH;
    const double scale = std::ldexp(1.0, width - 1);
    const bool off = anyOffGrid(frame.re, frame.points, frame.step, scale) ||
                     anyOffGrid(frame.im, frame.points, frame.step, scale);
    if (!off) return;
    frame.toGrid = fixedToGrid;
    frame.how = &st->config.data_width;
    frame.invalid = anyNaN(frame);
    st->reporter.line("WARNING:vfft_v8_0:simulate called with real and/or imaginary data values that are "
                      "not pre-quantized to signed two's-complement fixed-point values of precision "
                      "C_INPUT_WIDTH = ",
                      width,
                      " bits.  All real and imaginary data will be internally rounded to the nearest "
                      "quantization level for this precision (using convergent rounding to nearest even).");
}

// Fixed-point mode: undoes the engine's pre-division of unscaled input.
void undoPreDivision(velmor_ip_vfft_v8_0_outputs* out, const Frame& frame, int32_t preDivision) {
    if (preDivision == 0) return;
    const double factor = powerOfTwo(preDivision);
    for (int32_t i = 0; i < frame.points * frame.step; i += frame.step) {
        out->xk_re[i] *= factor;
        out->xk_im[i] *= factor;
    }
}
// The block exponent is reported for block floating point only, the overflow
// flag for a fixed schedule and in floating-point mode.
void reportFlags(const ConfigRecord& cfg, velmor_ip_vfft_v8_0_outputs* out, int32_t points) {
    out->xk_re_size = points;
    out->xk_im_size = points;
    const bool single = cfg.use_flt_pt != 0;
    if (single || !cfg.has_scaling) {
        out->blk_exp = 0;
        if (!single) out->overflow = 0;
    } else if (cfg.has_bfp) {
        out->overflow = 0;
    } else {
        out->blk_exp = 0;
    }
}

}  // namespace

int runDataPath(velmor_ip_vfft_v8_0_state* st, velmor_ip_vfft_v8_0_inputs in,
                velmor_ip_vfft_v8_0_outputs* out, int nfft, int32_t step) {
    const ConfigRecord& cfg = st->config;
    Frame frame{in.xn_re, in.xn_im, 1 << nfft, step};
    SingleGrid single;
    if (cfg.use_flt_pt) {
        single = {scanSingleInputs(in, frame.points, step, st->reporter), cfg.data_width};
        frame.toGrid = singleToGrid;
        frame.how = &single;
        frame.invalid = single.scan.invalid;
    } else {
        scanFixedInputs(st, frame);
    }
    const Shape shape = Shape::of(cfg, nfft, in.direction, in.scaling_sch, in.scaling_sch_size);
    const int32_t preDivision = transformFrame(*st->datapath, shape, frame, out);
    if (cfg.use_flt_pt)
        // Results return to the input scale: the input block exponent, the
        // engine's block exponent and its pre-division.
        finishSingleResults(single.scan, single.scan.exponent + out->blk_exp + preDivision, out, frame.points, step);
    else
        undoPreDivision(out, frame, preDivision);
    reportFlags(cfg, out, frame.points);
    return 0;
}
