// NativeEngine: what the machine-integer engines share. Samples are int64_t
// payloads of the engine's memory format (split real and imaginary arrays,
// sized for 2^nfft_max samples); twiddles come from a TwiddleTable; loading
// assigns a double into the memory format as a VFix register would, reading
// back converts a payload to its exact double. The engine keeps the shape of
// the call (Shape), which its walk reads, and the configuration of the state;
// formats, schedule and growth classes are those of the reference engines
// (engine/Formats.h, Shape).
//
// A frame with NaN samples: a NaN loads as an invalid part (payload 0), and
// every value computed from an invalid part is invalid, as in the VFix
// registers. The payloads are computed all the same and never reach a valid
// part, so such a frame runs as any other while the engine follows which
// parts are valid (Validity.h): an invalid result reads as NaN, a stage that
// writes an invalid part has the largest growth class, and the block
// exponent of the pipeline considers the valid parts only.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include "datapath/ConfigRecord.h"
#include "datapath/Frame.h"
#include "datapath/Shape.h"
#include "engine/Formats.h"
#include "fix/RequantPlan.h"
#include "native/TwiddleRuns.h"
#include "native/TwiddleTable.h"
#include "vfft_v8_0.h"

class NativeEngine : public Shape {
public:
    // Sample i of the frame, on the data grid, to its place in memory; the
    // burst engines keep the smallest headroom, which only block floating
    // point reads.
    void load(int32_t i, double re, double im) {
        if (invalid_frame) {
            valid_re[input_at[i]] = re == re;
            valid_im[input_at[i]] = im == im;
        }
        store(input_at[i], re, im);
        if (takes_headroom && has_bfp) {
            const int32_t h = headroom(input_at[i]);
            if (h < bfp_growth) bfp_growth = h;
        }
    }
    // Result i of the last run.
    void result(int32_t i, double& re, double& im) const { read(result_at[i], re, im); }
    // The whole frame (load of every sample), and every result into the
    // output arrays (result): values already on the data grid and the
    // results of valid frames convert in vectors.
    void loadFrame(const Frame& frame);
    void readResults(const Frame& frame, velmor_ip_vfft_v8_0_outputs* out);
    // log2 of the division of loaded values.
    int32_t preDivision() const { return pre_division; }
    // Whether the next frames have NaN samples, whose parts' validity the
    // engine follows.
    void expectNaN(bool on) {
        invalid_frame = on;
        if (on && valid_re.empty()) {
            valid_re.resize(re_.size());
            valid_im.resize(re_.size());
        }
    }

    int32_t data_width;
    int32_t result_width;
    int32_t twiddle_width;
    int32_t has_rounding;
    int32_t bfp_growth = 0;
    int32_t blk_exp = 0;
    int32_t overflow = 0;

protected:
    // format: the sample memory; samples: its size; headroom: whether
    // loading notes the samples' headroom.
    NativeEngine(const ConfigRecord& config, const TWIDDLE_ROM& rom, const EngineFormat& format, int32_t samples,
                 bool headroom);

    // The shape of this call; block floating point starts from the largest
    // headroom, which loading lowers.
    void takeShape(const Shape& shape) {
        static_cast<Shape&>(*this) = shape;
        bfp_growth = 32;
    }
    // Right shift of stage s of a burst engine; also advances blk_exp and
    // resets bfp_growth for the stage.
    int32_t stageShift(int32_t s) {
        const int32_t shift = burstShift(s, bfp_growth);
        blk_exp += shift;
        bfp_growth = 0;
        return shift;
    }

    // The memory offsets of input sample i and result i for this call's
    // length (input(i), result(i)); worked out again only when the length
    // changes. The memory is linear: the stages find the legs of their
    // butterflies in runs of consecutive entries (Stages.h).
    template <class Input, class Result>
    void mapOrder(Input&& input, Result&& result) {
        if (nfft == mapped_nfft) return;
        natural_input = natural_result = true;
        for (int32_t i = 0; i < points; ++i) {
            input_at[i] = input(i);
            result_at[i] = result(i);
            natural_input &= input_at[i] == i;
            natural_result &= result_at[i] == i;
        }
        mapped_nfft = nfft;
    }

    // Stores re / 2^pre and im / 2^pre at offset, as the assignment into the
    // memory format (truncation, wrap) does for values on the data grid.
    void store(int32_t offset, double re, double im) {
        // The values lie on the data grid within [-1, 1] (a floating-point
        // frame may round up to 1, which wraps), so the scaled values are
        // exact integers of at most 52 bits. Frames with NaN samples never
        // come here.
        const auto code = [&](double x) {
            const double scaled = x * to_code;
            return RequantPlan::wrap(scaled == scaled ? static_cast<int64_t>(scaled) : int64_t{0}, mem_width);
        };
        re_[offset] = code(re);
        im_[offset] = code(im);
    }
    void read(int32_t offset, double& re, double& im) const {
        re = static_cast<double>(re_[offset]) * to_value;
        im = static_cast<double>(im_[offset]) * to_value;
        if (invalid_frame) {
            if (!valid_re[offset]) re = std::numeric_limits<double>::quiet_NaN();
            if (!valid_im[offset]) im = std::numeric_limits<double>::quiet_NaN();
        }
    }
    // Smallest sign headroom (0..3) of the two parts at offset: the bits
    // directly below the sign bit that equal it.
    int32_t headroom(int32_t offset) const {
        const auto part = [this](int64_t v) {
            const uint64_t folded = static_cast<uint64_t>(v < 0 ? ~v : v);
            const int32_t length = folded == 0 ? 0 : 64 - __builtin_clzll(folded);
            const int32_t n = mem_width - 1 - length;
            return n < 3 ? n : 3;
        };
        const int32_t r = part(re_[offset]);
        const int32_t i = part(im_[offset]);
        return r < i ? r : i;
    }
    // The largest growth class of the parts whose folded payloads (see
    // fold) have the given maximum: a part v is in class c when
    // -L_c <= probe < L_c for its probe (v truncated to 7 fraction bits), that
    // is when the folded probe is below L_c.
    int32_t growthClass(int64_t foldedMax, const int32_t* limits, int32_t classes) const {
        // Every stage of a frame with NaN samples writes an invalid part,
        // whose class is the last.
        if (invalid_frame) return classes - 1;
        const int64_t probe = foldedMax >> (mem_width - 8);
        int32_t c = 0;
        while (c < classes - 1 && probe >= limits[c]) ++c;
        return c;
    }
    // v for v >= 0, -v - 1 for v < 0: the magnitude that the class limits test.
    static int64_t fold(int64_t v) { return v ^ (v >> 63); }

    std::vector<int64_t> re_;
    std::vector<int64_t> im_;
    std::vector<int32_t> input_at;
    std::vector<int32_t> result_at;
    int32_t mapped_nfft = -1;
    bool natural_input = false;   // input_at[i] == i
    bool natural_result = false;  // result_at[i] == i
    // Codes in the order of the frame, where memory has another.
    std::vector<int64_t> scratch_re, scratch_im;
    TwiddleTable twiddles;
    TwiddleRuns runs;
    int32_t mem_width;
    int32_t mem_point;
    int32_t pre_division;
    double to_code;   // 2^(mem_point - pre)
    double to_value;  // 2^-mem_point
    bool takes_headroom;
    bool invalid_frame = false;
    // 1 where the part at that offset is valid (frames with NaN samples)
    std::vector<uint8_t> valid_re;
    std::vector<uint8_t> valid_im;
};

// Writing a value of format `from` into a register of format `to` with
// quantisation quant and wrap on overflow.
inline RequantPlan planBetween(const RegisterFormat& from, const RegisterFormat& to, int32_t quant) {
    return RequantPlan::between(from.width, from.point, to.width, to.point, quant, Wrap);
}

// 1 when the value v * 2^-point lies outside [-1, 1), else 0.
template <class Int>
inline int32_t outsideUnit(Int v, int32_t point) {
    const Int top = v >> point;
    return top != 0 && top != -1;
}
