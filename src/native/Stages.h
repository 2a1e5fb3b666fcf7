// Stages: one stage of a machine-integer engine over its linear memory, in
// the version compiled for the processor's best vector target (Highway
// dynamic dispatch). A stage is a set of independent butterflies whose legs
// lie in runs: the legs of butterfly (block b, position m) sit at
// b * radix * run + c * run + m for leg c, and its twiddles depend on m only,
// so a vector of butterflies loads its legs and twiddles with unit stride.
// Vector targets process butterflies in 64-bit lanes, with twiddle products
// from 32 x 32 -> 64-bit multiplies of the operands or of their halves; the
// portable target, and the few configurations whose registers the lanes
// cannot hold, run one butterfly at a time through the scalar elements. Every
// target gives the same integers.
#pragma once

#include <cstdint>

// A stage of the radix-2 or radix-4 burst engine (R2_native_PE, R4_native_PE
// registers): radix 4 for a radix-4 stage, 2 for a radix-2 stage (of either
// engine).
struct BurstStage {
    int64_t* re;
    int64_t* im;
    int32_t points;  // memory entries of the transform
    int32_t run;
    int32_t radix;
    const int64_t* twRe[3];  // twiddles of legs 1..radix - 1 by position m
    const int64_t* twIm[3];
    int32_t width;    // W: sample width
    int32_t twiddle;  // T
    int32_t shift;
    bool rounding;
    bool inverse;  // radix 4: outputs 1 and 3 exchanged (inverse kernel)
    bool bfp;      // the growth of the outputs is wanted
};

// A stage s of the pipelined engine (R22_native_PE registers), or with
// paired an even stage s that is not the last and stage s + 1 in one pass.
// Blocks are the runs of 2 * run entries (run: stage s's); odd stages rotate
// the second leg of odd blocks, and odd stages that are not the last
// multiply by twiddles: even blocks by tw[0] and tw[2], odd blocks by tw[1]
// and tw[3]. The shift is the odd stage's (even stages other than the last
// take none).
struct R22Stage {
    int64_t* re;
    int64_t* im;
    int32_t points;
    int32_t run;
    int32_t stage;
    bool paired;
    int32_t nfft;
    int32_t nfftMax;
    const int64_t* twRe[4];
    const int64_t* twIm[4];
    int32_t width;  // W: engine width
    int32_t twiddle;
    int32_t shift;
    int32_t direction;
    bool rounding;
    bool scaledFixed;
};

struct StageResult {
    int32_t overflow = 0;  // a scaled value of the stage lay outside [-1, 1)
    int64_t folded = 0;    // burst stages with bfp: the largest folded output part
};

StageResult runBurstStage(const BurstStage& stage);
StageResult runR22Stage(const R22Stage& stage);

// Codes of n values on a memory grid: x[i] * scale (exact integers of at
// most 53 bits) wrapped to width bits; returns the largest folded code (v
// for v >= 0, -v - 1 below). n is a power of two, at least 8.
int64_t toCodes(const double* x, int64_t* codes, int32_t n, double scale, int32_t width);
// x[i] = codes[i] * scale (exact for codes of at most 53 bits).
void toValues(const int64_t* codes, double* x, int32_t n, double scale);

// The scans of Datapath.h on n consecutive values (n a power of two, at
// least 8).
bool scanOutsideUnit(const double* x, int32_t n);
bool scanOffGrid(const double* x, int32_t n, double scale);

// "native " and the name of the vector target the stages run on ("native
// AVX2", "native NEON", "native SCALAR", ...).
const char* nativeDatapathName();
