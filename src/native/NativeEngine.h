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
// parts are valid through the walk of its stages (Validity): an invalid
// result reads as NaN, a stage that writes an invalid part has the largest
// growth class, and the block exponent of the pipeline considers the valid
// parts only.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include "datapath/ConfigRecord.h"
#include "datapath/Shape.h"
#include "engine/Formats.h"
#include "fix/RequantPlan.h"
#include "native/TwiddleTable.h"
#include "native/Validity.h"

class NativeEngine : public Shape {
public:
    // Sample i of the frame, on the data grid, to its place in memory; the
    // burst engines keep the smallest headroom, which only block floating
    // point reads.
    void load(int32_t i, double re, double im) {
        if (invalid_frame) validity.load(i, re, im);
        store(input_at[i], re, im);
        if (takes_headroom && has_bfp) {
            const int32_t h = headroom(input_at[i]);
            if (h < bfp_growth) bfp_growth = h;
        }
    }
    // Result i of the last run.
    void result(int32_t i, double& re, double& im) const {
        read(result_at[i], re, im);
        if (invalid_frame) {
            if (!validity.result(i, false)) re = std::numeric_limits<double>::quiet_NaN();
            if (!validity.result(i, true)) im = std::numeric_limits<double>::quiet_NaN();
        }
    }
    // log2 of the division of loaded values.
    int32_t preDivision() const { return pre_division; }
    // Whether the next frames have NaN samples, whose parts' validity the
    // engine follows.
    void expectNaN(bool on) {
        invalid_frame = on;
        if (on) validity.reserve(static_cast<int32_t>(re_.size()));
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
    // length, from the engine's walk; worked out again only when the length
    // changes.
    template <class Walk>
    void mapOrder(const Walk& walk) {
        if (nfft == mapped_nfft) return;
        for (int32_t i = 0; i < points; ++i) {
            input_at[i] = walk.input(i);
            result_at[i] = walk.result(i);
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
    TwiddleTable twiddles;
    int32_t mem_width;
    int32_t mem_point;
    int32_t pre_division;
    double to_code;   // 2^(mem_point - pre)
    double to_value;  // 2^-mem_point
    bool takes_headroom;
    bool invalid_frame = false;
    Validity validity;  // of the parts of a frame with NaN samples
};

// True when the processor has the AVX2 and BMI2 extensions. The engines'
// stage loops are compiled twice, for them and for any x86-64, and the call
// takes the version the processor runs; both compute the same integers. A
// build with VFFT_PORTABLE_LOOPS defined always takes the portable version
// (the sanitizer build does, so that the tests cover both).
inline bool extendedTarget() {
#ifdef VFFT_PORTABLE_LOOPS
    return false;
#else
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2");
#endif
}

// Runs the engine's stage loops, engine.stages<Wide, Q>(), with twiddle
// products in __int128 where the product register is wider than 63 bits
// (else int64_t) and the output quantisation Q of the configuration, in the
// version compiled for this processor.
template <class Wide, int32_t Q, class Engine>
__attribute__((target("avx2,bmi2"))) void stagesExtended(Engine& engine) {
    engine.template stages<Wide, Q>();
}
template <class Wide, int32_t Q, class Engine>
void stagesPortable(Engine& engine) {
    engine.template stages<Wide, Q>();
}
template <class Wide, int32_t Q, class Engine>
void stagesOn(Engine& engine) {
    extendedTarget() ? stagesExtended<Wide, Q>(engine) : stagesPortable<Wide, Q>(engine);
}
template <class Engine>
void runStages(Engine& engine, int32_t productWidth) {
    const bool wide = productWidth > 63;
    if (engine.has_rounding)
        wide ? stagesOn<__int128, RoundHalfEvenHoldMax>(engine) : stagesOn<int64_t, RoundHalfEvenHoldMax>(engine);
    else
        wide ? stagesOn<__int128, Truncate>(engine) : stagesOn<int64_t, Truncate>(engine);
}

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
