// FFT: common base of the reference engines and processing elements, in VFix
// registers. Beside the shape of the call (Shape: per-call transform
// parameters, direction, schedule and the index functions that map samples
// to and from the engines' sample memories) it carries the datapath
// configuration, the block exponent and overflow bookkeeping and the
// headroom and growth functions of block floating point.
#pragma once

#include <cstdint>

#include "datapath/ConfigRecord.h"
#include "datapath/Shape.h"
#include "engine/Formats.h"
#include "fix/FixComplex.h"

class FFT : public Shape {
public:
    FFT();
    virtual ~FFT() = default;

    // The shape of this call; block floating point starts from the largest
    // headroom, which loading lowers.
    void setup(const Shape& shape);

    // Redundant sign bits (0..3) below the sign bit of x.
    static int32_t signHeadroom(const VFix& x);
    static int32_t sampleHeadroom(const FixComplex& c);

    // Right shift of stage s of a burst engine; also advances blk_exp and
    // resets bfp_growth and butterfly_index for the stage.
    int32_t stageShift(int32_t s);
    // max(bfp_growth, growth class of c) for the radix-2 and radix-4 engines.
    int32_t growthClass2(const FixComplex& c);
    int32_t growthClass4(const FixComplex& c);

    int32_t data_width = 0;
    int32_t result_width = 0;
    int32_t twiddle_width = 0;
    int32_t has_rounding = 0;
    int32_t bfp_growth = 0;
    VFix growth_probe;
    int32_t blk_exp = 0;
    int32_t overflow = 0;
    int32_t butterfly_index = 0;
    int32_t stage_index = 0;
    VFix data_format;
    VFix twiddle_format;

protected:
    // Engine constructors: copy the fixed configuration of the state.
    void copyConfig(const ConfigRecord& c);
    // Engine constructors: data_format for samples of the given width, and
    // the twiddle format.
    void formatCarriers(int32_t sampleWidth);
    // Processing elements: the configuration their engine hands them.
    void copyElementConfig(const FFT& engine);
    // Registers are formatted once and start at 0.
    static void formatRegister(FixComplex& r, const RegisterFormat& format, int32_t quant);
    // Processing elements: the rounding constant, `ones` low one bits in both parts.
    static void setRoundingConstant(FixComplex& r, int32_t ones);
    static void formatLike(FixComplex& r, const VFix& format);
    // Processing elements: OR a 1 into overflow when x lies outside [-1, 1).
    void checkOverflow(const VFix& x);

private:
    int32_t partClass(const VFix& part, const int32_t* limits, int32_t classes);
};
