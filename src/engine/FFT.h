// FFT: common base of the engines and processing elements. It carries the
// datapath configuration, the per-call transform parameters, block exponent
// and overflow bookkeeping, and the index and headroom functions that map
// samples to and from the engines' sample memories.
#pragma once

#include <cstdint>

#include "engine/ConfigRecord.h"
#include "fix/FixComplex.h"

// Sums of the four base-4 digits of every byte.
struct DigitSums {
    constexpr DigitSums() : of() {
        for (int32_t i = 0; i < 256; ++i) of[i] = (i & 3) + ((i >> 2) & 3) + ((i >> 4) & 3) + ((i >> 6) & 3);
    }
    int32_t of[256];
};
inline constexpr DigitSums kDigitSums{};

class FFT {
public:
    FFT();
    virtual ~FFT() = default;

    // Index functions on this object's nfft, half_nfft and nfft_odd.
    int32_t bitReverse(int32_t i) const;
    int32_t bitReverseShort(int32_t i) const;
    int32_t digitReverse(int32_t i) const;
    int32_t bitSum(int32_t i) const { return ones(static_cast<uint32_t>(i) & ((1u << nfft) - 1)); }
    int32_t digitSum(int32_t j) const {
        const uint32_t low = static_cast<uint32_t>(j) & ((1u << (2 * (half_nfft + nfft_odd))) - 1);
        return kDigitSums.of[low & 0xFF] + kDigitSums.of[low >> 8];
    }

    // Redundant sign bits (0..3) below the sign bit of x.
    static int32_t signHeadroom(const VFix& x);
    static int32_t sampleHeadroom(const FixComplex& c);

    // Twiddle table index of angle index i: the forward transform uses the
    // conjugate angle, 2^nfft_max - i.
    uint32_t directedIndex(uint32_t i) const {
        const uint32_t period = 1u << nfft_max;
        return direction == 1 ? (period - i) & (period - 1) : i;
    }

    // The caller's schedule packed two bits per stage, first stage lowest;
    // taken only by a scaled datapath without block floating point.
    void takeSchedule(const int32_t* schedule, int32_t size);

    // Right shift of stage s of a burst engine; also advances blk_exp and
    // resets bfp_growth and butterfly_index for the stage.
    int32_t stageShift(int32_t s);
    // Upper limits of the growth classes below the last, in units of 2^-7:
    // a part v is in the first class whose limit L gives -L <= 128 v < L.
    static constexpr int32_t kGrowthLimits2[2] = {53, 106};
    static constexpr int32_t kGrowthLimits4[3] = {24, 48, 97};
    // max(bfp_growth, growth class of c) for the radix-2 and radix-4 engines.
    int32_t growthClass2(const FixComplex& c);
    int32_t growthClass4(const FixComplex& c);

    int32_t data_width = 0;
    int32_t result_width = 0;
    int32_t twiddle_width = 0;
    int32_t nfft_max = 0;
    int32_t has_rounding = 0;
    int32_t has_scaling = 0;
    int32_t has_bfp = 0;
    int32_t bfp_growth = 0;
    VFix growth_probe;
    int32_t blk_exp = 0;
    int32_t direction = 1;
    int32_t overflow = 0;
    int32_t nfft_odd = 0;
    int32_t r4_addr_mask = 0;
    int32_t points = 64;
    int32_t nfft = 0;
    int32_t r4_points = 64;
    int32_t half_nfft = 0;
    int32_t scaling_word = 0;
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
    static void formatRegister(FixComplex& r, int32_t width, int32_t point, int32_t quant);
    static void formatLike(FixComplex& r, const VFix& format);
    // Processing elements: OR a 1 into overflow when x lies outside [-1, 1).
    void checkOverflow(const VFix& x);

private:
    // Number of one bits of v.
    static int32_t ones(uint32_t v) {
        v = v - ((v >> 1) & 0x55555555u);
        v = (v & 0x33333333u) + ((v >> 2) & 0x33333333u);
        return static_cast<int32_t>((((v + (v >> 4)) & 0x0F0F0F0Fu) * 0x01010101u) >> 24);
    }
    int32_t partClass(const VFix& part, const int32_t* limits, int32_t classes);
};
