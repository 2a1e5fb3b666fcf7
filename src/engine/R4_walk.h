// R4_walk: how the radix-4 burst engine moves through its four memory banks.
// It owns the engine's data order (sample i is placed at the digit-reversed
// index, result i is read in natural order) and the sequencing of every stage:
// for each butterfly the memory offset of the sample in each bank, the
// rotation between banks and legs, the twiddle table indices and the order in
// which the element's outputs return to the banks. The reference engine and
// the machine-integer engine are both driven by it; bankSize is the distance
// between banks in their memories.
#pragma once

#include <cstdint>

#include "datapath/Shape.h"

struct R4_butterfly {
    int32_t leg[4];   // memory offset of leg c, the sample whose digit s is c
    int32_t sigma;    // leg c sits in bank (c + sigma) & 3
    uint32_t tw[3];   // twiddle table indices of legs 1, 2, 3, direction applied
    bool newTwiddles; // tw differs from the previous butterfly's
};

class R4_walk {
public:
    // shape: the per-call fields (nfft, half_nfft, nfft_odd, points,
    // r4_points, r4_addr_mask), nfft_max and direction, as set for this call.
    R4_walk(const Shape& shape, int32_t bankSize)
        : e(shape), bank{0, bankSize, 2 * bankSize, 3 * bankSize, 0, bankSize, 2 * bankSize, 3 * bankSize} {}

    int32_t stages() const { return e.nfft_odd + e.half_nfft; }
    // The last stage of an odd-length transform is two radix-2 butterflies.
    bool radix2(int32_t s) const { return e.nfft_odd == 1 && s == stages() - 1; }
    // out[order[i]] of the element returns to the bank of leg i: the radix-2
    // stage exchanges outputs 1 and 2, the inverse kernel outputs 1 and 3
    // (turning the element's -j into +j).
    const int32_t* outputOrder(int32_t s) const;

    // Memory offset of input sample i and of result i.
    int32_t input(int32_t i) const;
    int32_t result(int32_t i) const;

    template <class Visit>
    __attribute__((always_inline)) void stage(int32_t s, Visit&& visit) const;

private:
    static int32_t reverseDigits(int32_t v, int32_t digits) {
        int32_t r = 0;
        for (int32_t d = 0; d < digits; ++d) {
            r = 4 * r + (v & 3);
            v >>= 2;
        }
        return r;
    }

    const Shape& e;
    int32_t bank[8];  // offset of bank b & 3
};

template <class Visit>
inline void R4_walk::stage(int32_t s, Visit&& visit) const {
    const int32_t h = e.half_nfft;
    const int32_t butterflies = e.points / 4;
    const int32_t eighth = e.points / 8;
    const uint32_t stride = (1u << e.nfft_max) / static_cast<uint32_t>(e.points);
    R4_butterfly b{};
    if (radix2(s)) {
        // Legs at q, q + N/2, q + 2 and q + 2 + N/2, where q is k with a 0
        // inserted at bit 1; the digit sum of q rotates legs over banks.
        const int32_t mask2 = (eighth - 1) & ~2;
        b.newTwiddles = true;
        for (int32_t k = 0; k < butterflies; ++k) {
            const int32_t q = 2 * k - (k & 1);
            b.sigma = e.digitSum(q) & 3;
            const int32_t base = q & mask2;
            for (int32_t c = 0; c < 4; ++c) b.leg[c] = bank[c + b.sigma] + base + (c & 1) * eighth + (c & 2);
            b.tw[0] = e.directedIndex(stride * static_cast<uint32_t>(q));
            b.tw[1] = e.directedIndex(0);
            b.tw[2] = e.directedIndex(stride * static_cast<uint32_t>(q + 2));
            visit(b);
        }
        return;
    }
    // A bank address has h - 1 base-4 digits; leg c of butterfly k has digit s
    // equal to c, which weighs 4^s in the address and drops out with the top
    // digit in the last radix-4 stage. Butterflies from r4_points / 4 on
    // belong to the second half of an odd-length transform, N/8 higher.
    const int32_t addrMask = (1 << (2 * (h - 1))) - 1;
    const int32_t secondHalf = e.r4_points / 4;
    const int32_t lowMask = (1 << (2 * s)) - 1;
    const int32_t legStep = s <= h - 2 ? (1 << (2 * s)) : 0;
    const int32_t twiddleShift = 2 * (h - 1 - s) + e.nfft_odd;
    int64_t lastAngle = -1;
    for (int32_t k = 0; k < butterflies; ++k) {
        b.sigma = e.digitSum(k) & 3;
        // The first stage visits the butterflies in digit-reversed order of
        // k: the digits of k above the lowest, reversed, form the address.
        int32_t base = s == 0 ? 4 * reverseDigits(k >> 2, h - 2)
                              : ((((k >> (2 * s)) << (2 * s + 2)) | (k & lowMask)) & addrMask);
        if (k >= secondHalf) base += eighth;
        for (int32_t c = 0; c < 4; ++c) b.leg[c] = bank[c + b.sigma] + base + c * legStep;
        // The twiddles depend on k mod 4^s only.
        const int64_t angle = static_cast<int64_t>(k & lowMask) << twiddleShift;
        b.newTwiddles = angle != lastAngle;
        if (b.newTwiddles) {
            lastAngle = angle;
            const uint32_t i1 = stride * static_cast<uint32_t>(angle);
            b.tw[0] = e.directedIndex(i1);
            b.tw[1] = e.directedIndex(2 * i1);
            b.tw[2] = e.directedIndex(3 * i1);
        }
        visit(b);
    }
}

inline const int32_t* R4_walk::outputOrder(int32_t s) const {
    static constexpr int32_t kIdentity[4] = {0, 1, 2, 3};
    static constexpr int32_t kRadix2Order[4] = {0, 2, 1, 3};
    static constexpr int32_t kInverseOrder[4] = {0, 3, 2, 1};
    if (radix2(s)) return kRadix2Order;
    return e.direction == 0 ? kInverseOrder : kIdentity;
}

inline int32_t R4_walk::input(int32_t i) const {
    const int32_t j = e.digitReverse(i);
    const int32_t eighth = e.points / 8;
    const int32_t a = e.nfft_odd ? (j & (eighth - 1)) + ((j >> 2) & eighth) : (j & e.r4_addr_mask);
    return bank[e.digitSum(j) & 3] + a;
}

inline int32_t R4_walk::result(int32_t i) const {
    const int32_t a = ((e.r4_points >> 2) & (i >> 2)) + (i & e.r4_addr_mask);
    return bank[e.digitSum(i) & 3] + a;
}
