// R2_walk: how the radix-2 burst engine moves through its two memory banks.
// It owns the engine's data order (sample i is placed at the bit-reversed
// index, result i is read in natural order) and the sequencing of every
// stage: for each butterfly the memory offset of the sample in each bank, the
// rotation between banks and legs, and the twiddle table index. The reference
// engine and the machine-integer engine are both driven by it; bankSize is
// the distance between the banks in their memories.
#pragma once

#include <cstdint>

#include "datapath/Shape.h"

struct R2_butterfly {
    int32_t addr[2];  // memory offset of the sample held by bank j
    int32_t p;        // leg i of the element sits in bank (i + p) & 1
    uint32_t tw;      // twiddle table index, direction applied
};

class R2_walk {
public:
    // shape: nfft, points, nfft_max and direction, as set for this call.
    R2_walk(const Shape& shape, int32_t bankSize) : e(shape), bank(bankSize) {}

    int32_t stages() const { return e.nfft; }
    // An nfft-bit index I lives in bank (ones of I) & 1 at address I >> 1.
    int32_t input(int32_t i) const {
        return (e.bitSum(i) & 1) * bank + e.bitReverseShort(i & (e.points / 2 - 1));
    }
    int32_t result(int32_t i) const { return (e.bitSum(i) & 1) * bank + (i >> 1); }

    template <class Visit>
    __attribute__((always_inline)) void stage(int32_t s, Visit&& visit) const {
        const uint32_t stride = (1u << e.nfft_max) / static_cast<uint32_t>(e.points);
        const int32_t lowMask = (1 << s) - 1;
        R2_butterfly b{};
        for (int32_t k = 0; k < e.points / 2; ++k) {
            // Operand j is k with the bit (p + j) & 1 inserted at position s,
            // p the parity of k; its parity puts it in bank j, at the index
            // shifted down by one. From k - 1 to k the trailing ones of k - 1
            // and one more bit flip, which changes the parity by that count.
            b.p = k == 0 ? 0 : b.p ^ ((__builtin_ctz(static_cast<uint32_t>(k)) + 1) & 1);
            for (int32_t j = 0; j < 2; ++j) {
                const int32_t index = ((k & ~lowMask) << 1) | (((b.p + j) & 1) << s) | (k & lowMask);
                b.addr[j] = j * bank + (index >> 1);
            }
            b.tw = e.directedIndex((static_cast<uint32_t>(k & lowMask) << (e.nfft - 1 - s)) * stride);
            visit(b);
        }
    }

private:
    const Shape& e;
    int32_t bank;
};
