// R22_walk: how the pipelined streaming engine moves through its linear
// memory. It owns the engine's data order (samples in natural order, results
// left bit-reversed) and the sequencing of every stage: the pair of samples of
// each butterfly, its block index and the twiddle table indices of the stage
// pair's multiplication, and the shift that a fixed scaling schedule gives the
// stage. The reference engine and the machine-integer engine are both driven
// by it.
#pragma once

#include <cmath>
#include <cstdint>

#include "datapath/Shape.h"

struct R22_butterfly {
    int32_t top;          // memory offset of the first sample
    int32_t bottom;       // top + N / 2^(s + 1)
    int32_t block_index;  // top >> (nfft - s)
    uint32_t tw1, tw2;    // twiddle table indices (odd stages that are not the last)
};

class R22_walk {
public:
    // shape: nfft, points, nfft_max, direction, scaling_word, has_scaling
    // and has_bfp, as set for this call.
    explicit R22_walk(const Shape& shape) : e(shape) {}

    int32_t stages() const { return e.nfft; }
    int32_t input(int32_t i) const { return i; }
    int32_t result(int32_t i) const { return e.bitReverse(i); }
    // Odd stages that are not the last multiply by twiddles.
    bool twiddled(int32_t s) const { return s % 2 == 1 && s != e.nfft - 1; }

    // With a fixed schedule, entry m scales stage 2m + 1 and the lone last
    // stage of an odd-length transform takes the low bit of its entry; other
    // stages, and transforms without a fixed schedule, are not shifted.
    int32_t shift(int32_t s) const {
        if (e.has_scaling != 1 || e.has_bfp != 0) return 0;
        const int32_t entry = (e.scaling_word >> (2 * (s >> 1))) & 3;
        if (s % 2 == 1) return entry;
        return s == e.nfft - 1 ? entry & 1 : 0;
    }

    // Block floating point: the number of halvings that bring the largest
    // result part, in units of the input range, into [-1, 1). part(i, imag)
    // gives the real or imaginary part of result slot i in those units; of a
    // sample the part of larger magnitude counts (the imaginary one on a
    // tie), and of equal magnitudes the first found stays.
    template <class Part>
    int32_t blockExponent(Part&& part) const {
        double v = 0.0;
        for (int32_t i = 0; i < e.points; ++i) {
            const double a = part(i, false);
            const double b = part(i, true);
            const double c = std::fabs(a) > std::fabs(b) ? a : b;
            if (std::fabs(c) > std::fabs(v)) v = c;
        }
        int32_t shift = 0;
        while (v >= 1.0 || v < -1.0) {
            v /= 2.0;
            ++shift;
        }
        return shift;
    }

    template <class Visit>
    __attribute__((always_inline)) void stage(int32_t s, Visit&& visit) const {
        const int32_t n = e.points;
        const uint32_t stride = (1u << e.nfft_max) / static_cast<uint32_t>(n);
        const bool withTwiddles = twiddled(s);
        // half = N / 2^(s + 1) is a power of two: k / half and k mod half
        // are a shift and a mask.
        const int32_t halfBits = e.nfft - s - 1;
        const int32_t halfMask = (1 << halfBits) - 1;
        R22_butterfly b{};
        for (int32_t k = 0; k < n / 2; ++k) {
            b.top = ((k >> halfBits) << (halfBits + 1)) + (k & halfMask);
            b.bottom = b.top + halfMask + 1;
            b.block_index = b.top >> (e.nfft - s);
            if (withTwiddles) {
                const uint32_t odd = static_cast<uint32_t>(b.block_index & 1);
                const uint32_t m = static_cast<uint32_t>(b.top & halfMask);
                b.tw1 = e.directedIndex(((odd * m) << (s - 1)) * stride);
                b.tw2 = e.directedIndex((((odd + 2) * m) << (s - 1)) * stride);
            }
            visit(b);
        }
    }

private:
    const Shape& e;
};
