// Which parts of the samples are valid after each stage of a frame with NaN
// samples, followed stage by stage through the butterflies of an engine's
// memory by the processing element's order of operations: a value is valid when every operand it is computed
// from is. A twiddle product involves both parts of its operand; sums and
// differences combine parts of equal kind (real with real), except that the
// rotation by -j or +j of the pipelined element pairs the real part of one
// operand with the imaginary part of the other. re and im hold 1 for a valid
// part, indexed by memory offset.
#pragma once

#include <cstdint>

#include "datapath/Shape.h"
#include "engine/R22_walk.h"

// Radix-2 on the linear memory of R2_native: stage s pairs the entries 2^s
// apart; (a, b) becomes (a + wb, a - wb).
inline void followRadix2Validity(const Shape& shape, uint8_t* re, uint8_t* im) {
    for (int32_t run = 1; run < shape.points; run *= 2)
        for (int32_t base = 0; base < shape.points; base += 2 * run)
            for (int32_t a = base; a < base + run; ++a) {
                const int32_t x = a + run;
                const uint8_t product = re[x] & im[x];
                re[a] = re[x] = re[a] & product;
                im[a] = im[x] = im[a] & product;
            }
}

// Radix-4 on the linear memory of R4_native: every output of a radix-4
// stage (legs 4^s apart) combines leg 0 with the products of legs 1 to 3.
// The dual radix-2 stage pairs the entries N/2 apart: legs 0 and 1 (index
// bit 1 clear) take leg 0 and the product of leg 1, legs 2 and 3 the
// products of both.
inline void followRadix4Validity(const Shape& shape, uint8_t* re, uint8_t* im) {
    for (int32_t s = 0; s < shape.half_nfft; ++s) {
        const int32_t run = 1 << (2 * s);
        for (int32_t base = 0; base < shape.points; base += 4 * run)
            for (int32_t m = base; m < base + run; ++m) {
                const int32_t l[4] = {m, m + run, m + 2 * run, m + 3 * run};
                const uint8_t p = re[l[1]] & im[l[1]] & re[l[2]] & im[l[2]] & re[l[3]] & im[l[3]];
                const uint8_t r = re[l[0]] & p, i = im[l[0]] & p;
                for (int32_t c = 0; c < 4; ++c) re[l[c]] = r, im[l[c]] = i;
            }
    }
    if (!shape.nfft_odd) return;
    const int32_t half = shape.points / 2;
    for (int32_t a = 0; a < half; ++a) {
        const int32_t x = a + half;
        const uint8_t product = re[x] & im[x];
        if (a & 2) {
            re[a] = re[x] = im[a] = im[x] = re[a] & im[a] & product;
        } else {
            re[a] = re[x] = re[a] & product;
            im[a] = im[x] = im[a] & product;
        }
    }
}

// Pipelined (the same linear memory in both datapaths): sum and difference
// of top and bottom, the bottom rotated in odd
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
