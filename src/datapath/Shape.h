// Shape: what one call asks of an engine besides its samples. The transform
// length and the values derived from it, the direction and the packed
// scaling schedule change with every call; the largest length and the
// scaling mode are the state's. The driver works it out once per call
// (Shape::of), the engine keeps it for the call, and the walks that sequence
// both datapaths' engines read it, with the index functions below.
#pragma once

#include <cstdint>

#include "datapath/ConfigRecord.h"

// Sums of the four base-4 digits of every byte.
struct DigitSums {
    constexpr DigitSums() : of() {
        for (int32_t i = 0; i < 256; ++i) of[i] = (i & 3) + ((i >> 2) & 3) + ((i >> 4) & 3) + ((i >> 6) & 3);
    }
    int32_t of[256];
};
inline constexpr DigitSums kDigitSums{};

struct Shape {
    int32_t nfft_odd = 0;      // nfft & 1
    int32_t r4_addr_mask = 0;  // r4_points / 4 - 1
    int32_t points = 64;       // N = 2^nfft
    int32_t nfft = 0;
    int32_t r4_points = 64;    // N, or N / 2 for odd nfft
    int32_t half_nfft = 0;     // nfft >> 1
    int32_t nfft_max = 0;
    int32_t has_scaling = 0;
    int32_t has_bfp = 0;
    int32_t direction = 1;     // 1 forward, 0 inverse
    int32_t scaling_word = 0;  // schedule entry k in bits 2k + 1..2k; 0 without a fixed schedule

    // The shape of a call of 2^nfft points in the given direction. The
    // schedule (size entries) is packed only for a scaled datapath without
    // block floating point.
    static Shape of(const ConfigRecord& config, int32_t nfft, int32_t direction, const int32_t* schedule,
                    int32_t size) {
        Shape s;
        s.nfft_odd = nfft & 1;
        s.points = 1 << nfft;
        s.nfft = nfft;
        s.r4_points = s.nfft_odd ? s.points / 2 : s.points;
        s.r4_addr_mask = s.r4_points / 4 - 1;
        s.half_nfft = nfft >> 1;
        s.nfft_max = config.nfft_max;
        s.has_scaling = config.has_scaling;
        s.has_bfp = config.has_bfp;
        s.direction = direction;
        if (config.has_scaling == 1 && config.has_bfp == 0) {
            uint32_t word = 0;
            for (int32_t k = size - 1; k >= 0; --k) word = 4 * word + static_cast<uint32_t>(schedule[k]);
            s.scaling_word = static_cast<int32_t>(word);
        }
        return s;
    }

    // The low nfft (bitReverse) or nfft - 1 (bitReverseShort) bits of i in
    // reverse order.
    int32_t bitReverse(int32_t i) const { return lowBitsReversed(i, nfft); }
    int32_t bitReverseShort(int32_t i) const { return lowBitsReversed(i, nfft - 1); }
    // Radix-4 digit reversal; for odd nfft the lowest bit becomes the top one.
    int32_t digitReverse(int32_t i) const {
        const int32_t r = nfft_odd ? (i & 1) : 0;
        const uint32_t v = static_cast<uint32_t>(nfft_odd ? (i >> 1) : i);
        if (half_nfft < 1) return r;
        return (r << (2 * half_nfft)) | static_cast<int32_t>(reverseDigits(v, false) >> (32 - 2 * half_nfft));
    }
    // Number of one bits among the low nfft bits of i.
    int32_t bitSum(int32_t i) const { return ones(static_cast<uint32_t>(i) & ((1u << nfft) - 1)); }
    // Sum of the low half_nfft + nfft_odd base-4 digits of j.
    int32_t digitSum(int32_t j) const {
        const uint32_t low = static_cast<uint32_t>(j) & ((1u << (2 * (half_nfft + nfft_odd))) - 1);
        return kDigitSums.of[low & 0xFF] + kDigitSums.of[low >> 8];
    }

    // Twiddle table index of angle index i: the forward transform uses the
    // conjugate angle, 2^nfft_max - i.
    uint32_t directedIndex(uint32_t i) const {
        const uint32_t period = 1u << nfft_max;
        return direction == 1 ? (period - i) & (period - 1) : i;
    }

    // Right shift of stage s of a burst engine, where growth is the block-
    // floating-point growth of the stage before.
    int32_t burstShift(int32_t s, int32_t growth) const {
        if (!has_scaling) return 0;
        return has_bfp ? growth : (scaling_word >> (2 * s)) & 3;
    }

private:
    // The 16 base-4 digits of v in reverse order; with bits set, the 32 bits.
    static uint32_t reverseDigits(uint32_t v, bool bits) {
        v = (v >> 16) | (v << 16);
        v = ((v >> 8) & 0x00FF00FFu) | ((v & 0x00FF00FFu) << 8);
        v = ((v >> 4) & 0x0F0F0F0Fu) | ((v & 0x0F0F0F0Fu) << 4);
        v = ((v >> 2) & 0x33333333u) | ((v & 0x33333333u) << 2);
        if (bits) v = ((v >> 1) & 0x55555555u) | ((v & 0x55555555u) << 1);
        return v;
    }
    // The low n bits of i in reverse order (0 when n < 1).
    static int32_t lowBitsReversed(int32_t i, int32_t n) {
        return n < 1 ? 0 : static_cast<int32_t>(reverseDigits(static_cast<uint32_t>(i), true) >> (32 - n));
    }
    static int32_t ones(uint32_t v) {
        v = v - ((v >> 1) & 0x55555555u);
        v = (v & 0x33333333u) + ((v >> 2) & 0x33333333u);
        return static_cast<int32_t>((((v + (v >> 4)) & 0x0F0F0F0Fu) * 0x01010101u) >> 24);
    }
};
