// NativeEngine: what the machine-integer engines share. Samples are int64_t
// payloads of the engine's memory format (split real and imaginary arrays,
// sized for 2^nfft_max samples); twiddles come from a TwiddleTable; loading
// assigns a double into the memory format as a VFix register would, reading
// back converts a payload to its exact double. The engine's configuration,
// per-call fields, index functions, stage shift and schedule are those of
// the FFT base, as in the reference engines.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/FFT.h"
#include "fix/RequantPlan.h"
#include "native/TwiddleRuns.h"
#include "native/TwiddleTable.h"

class NativeEngine : public FFT {
public:
    // Sample i of the frame, on the data grid, to its place in memory; the
    // burst engines keep the smallest headroom, which only block floating
    // point reads.
    void load(int32_t i, double re, double im) {
        store(input_at[i], re, im);
        if (takes_headroom && has_bfp) {
            const int32_t h = headroom(input_at[i]);
            if (h < bfp_growth) bfp_growth = h;
        }
    }
    // Result i of the last run.
    void result(int32_t i, double& re, double& im) const { read(result_at[i], re, im); }

protected:
    // width, point: the memory format; samples: its size; pre: the
    // pre-division (log2) of loaded values; headroom: whether loading notes
    // the samples' headroom.
    NativeEngine(const ConfigRecord& config, const TWIDDLE_ROM& rom, int32_t width, int32_t point,
                 int32_t samples, int32_t pre, bool headroom);

    // The memory offsets of input sample i and result i for this call's
    // length (input(i), result(i)); worked out again only when the length
    // changes. The memory is linear: the stages find the legs of their
    // butterflies in runs of consecutive entries (see Stages.h).
    template <class Input, class Result>
    void mapOrder(Input&& input, Result&& result) {
        if (nfft == mapped_nfft) return;
        for (int32_t i = 0; i < points; ++i) {
            input_at[i] = input(i);
            result_at[i] = result(i);
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
    TwiddleTable twiddles;
    TwiddleRuns runs;
    int32_t mem_width;
    int32_t mem_point;
    double to_code;   // 2^(mem_point - pre)
    double to_value;  // 2^-mem_point
    bool takes_headroom;
};

// 1 when the value v * 2^-point lies outside [-1, 1), else 0.
template <class Int>
inline int32_t outsideUnit(Int v, int32_t point) {
    const Int top = v >> point;
    return top != 0 && top != -1;
}
