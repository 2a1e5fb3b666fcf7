// Validity: which parts of a frame with NaN samples are valid after each
// stage, followed through an engine's walk by the processing element's order
// of operations: a value is valid when every operand it is computed from is.
// A twiddle product involves both parts of its operand; sums and differences
// combine parts of equal kind (real with real), except that the rotation by
// -j or +j of the pipelined element pairs the real part of one operand with
// the imaginary part of the other. It depends on the walk only, not on how
// an engine lays out its memory.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/R22_walk.h"
#include "engine/R2_walk.h"
#include "engine/R4_walk.h"

// Radix-2: (a, b) becomes (a + wb, a - wb).
inline void followParts(const R2_walk& walk, uint8_t* re, uint8_t* im) {
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
inline void followParts(const R4_walk& walk, uint8_t* re, uint8_t* im) {
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
inline void followParts(const R22_walk& walk, uint8_t* re, uint8_t* im) {
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

class Validity {
public:
    // Room for frames of up to `samples` samples.
    void reserve(int32_t samples) {
        if (static_cast<int32_t>(re.size()) >= samples) return;
        for (std::vector<uint8_t>* v : {&in_re, &in_im, &re, &im, &out_re, &out_im}) v->resize(samples);
    }
    // Sample i of the frame, on the data grid.
    void load(int32_t i, double xr, double xi) {
        in_re[i] = xr == xr;
        in_im[i] = xi == xi;
    }
    // The loaded samples through the stages of the walk, which places sample
    // i at walk.input(i) and finds result i at walk.result(i).
    template <class Walk>
    void follow(const Walk& walk, int32_t points) {
        for (int32_t i = 0; i < points; ++i) {
            re[walk.input(i)] = in_re[i];
            im[walk.input(i)] = in_im[i];
        }
        followParts(walk, re.data(), im.data());
        for (int32_t i = 0; i < points; ++i) {
            out_re[i] = re[walk.result(i)];
            out_im[i] = im[walk.result(i)];
        }
    }
    // Whether the real (imag = false) or imaginary part of result i, or of the
    // sample at offset of the walk after the last stage, is valid.
    bool result(int32_t i, bool imag) const { return (imag ? out_im : out_re)[i] != 0; }
    bool part(int32_t offset, bool imag) const { return (imag ? im : re)[offset] != 0; }

private:
    std::vector<uint8_t> in_re, in_im;    // by sample of the frame
    std::vector<uint8_t> re, im;          // by offset of the walk
    std::vector<uint8_t> out_re, out_im;  // by result
};
