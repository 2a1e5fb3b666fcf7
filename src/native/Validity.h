// Which parts of the samples are valid after each stage of a frame with NaN
// samples, followed through an engine's walk by the processing element's
// order of operations: a value is valid when every operand it is computed
// from is. A twiddle product involves both parts of its operand; sums and
// differences combine parts of equal kind (real with real), except that the
// rotation by -j or +j of the pipelined element pairs the real part of one
// operand with the imaginary part of the other. re and im hold 1 for a valid
// part, indexed by memory offset.
#pragma once

#include <cstdint>

#include "engine/R22_walk.h"
#include "engine/R2_walk.h"
#include "engine/R4_walk.h"

// Radix-2: (a, b) becomes (a + wb, a - wb).
inline void followValidity(const R2_walk& walk, uint8_t* re, uint8_t* im) {
    for (int32_t s = 0; s < walk.stages(); ++s)
        walk.stage(s, [&](const R2_butterfly& b) {
            const int32_t a = b.addr[b.p], x = b.addr[b.p ^ 1];
            const uint8_t product = re[x] & im[x];
            re[a] = re[x] = re[a] & product;
            im[a] = im[x] = im[a] & product;
        });
}

// Radix-4: every output combines leg 0 with the products of legs 1 to 3;
// the dual radix-2 stage leg 0 with the product of leg 1 (to legs 0 and 1)
// and the products of legs 2 and 3 (to legs 2 and 3).
inline void followValidity(const R4_walk& walk, uint8_t* re, uint8_t* im) {
    for (int32_t s = 0; s < walk.stages(); ++s) {
        const bool radix2 = walk.radix2(s);
        walk.stage(s, [&](const R4_butterfly& b) {
            const int32_t* l = b.leg;
            const uint8_t p1 = re[l[1]] & im[l[1]];
            const uint8_t p23 = re[l[2]] & im[l[2]] & re[l[3]] & im[l[3]];
            if (radix2) {
                re[l[0]] = re[l[1]] = re[l[0]] & p1;
                im[l[0]] = im[l[1]] = im[l[0]] & p1;
                re[l[2]] = re[l[3]] = im[l[2]] = im[l[3]] = p23;
            } else {
                const uint8_t r = re[l[0]] & p1 & p23, i = im[l[0]] & p1 & p23;
                for (int32_t c = 0; c < 4; ++c) re[l[c]] = r, im[l[c]] = i;
            }
        });
    }
}

// Pipelined: sum and difference of top and bottom, the bottom rotated in odd
// blocks of odd stages; the stages with twiddles multiply both results.
inline void followValidity(const R22_walk& walk, uint8_t* re, uint8_t* im) {
    for (int32_t s = 0; s < walk.stages(); ++s) {
        const bool twiddled = walk.twiddled(s);
        walk.stage(s, [&](const R22_butterfly& b) {
            const int32_t t = b.top, u = b.bottom;
            const bool rotated = s % 2 == 1 && (b.block_index & 1) != 0;
            uint8_t r = re[t] & (rotated ? im[u] : re[u]);
            uint8_t i = im[t] & (rotated ? re[u] : im[u]);
            if (twiddled) r = i = r & i;
            re[t] = re[u] = r;
            im[t] = im[u] = i;
        });
    }
}
