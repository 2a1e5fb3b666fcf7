// Machine-word and shift-count helpers shared by the VFix sources.
//
// Payloads of up to 63 bits are also handled in 64-bit machine words: their
// patterns are read into a uint64_t and worked on modulo 2^64.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "num/VNum.h"

namespace words {

// Shift counts beyond any width behave alike; clamping keeps the arithmetic in range.
constexpr int64_t kShiftLimit = int64_t{1} << 30;

inline int32_t clampShift(int64_t n) { return static_cast<int32_t>(std::clamp(n, -kShiftLimit, kShiftLimit)); }

// x * 2^n in double arithmetic; ldexp scales exactly where the result is representable.
inline double scaled(double x, int64_t n) { return std::ldexp(x, clampShift(n)); }

// Payloads of up to this many bits are also handled in 64-bit machine words.
constexpr int32_t kNarrowBits = 63;

inline bool isNarrow(int64_t width) { return width <= kNarrowBits; }

// The low w bits set, for 0 <= w <= 64.
inline uint64_t lowMask(int64_t w) { return w <= 0 ? 0 : ~uint64_t{0} >> (64 - w); }

// The stored pattern of a value of at most 63 bits.
inline uint64_t narrowPattern(const VNum& v) {
    const uint32_t* w = v.words();
    uint64_t raw = 0;
    for (int32_t i = v.wordCount() - 1; i >= 0; --i) raw = (raw << 16) | w[i];
    return raw;
}

inline bool patternNegative(const VNum& v, uint64_t raw) {
    return v.type() == Signed && v.width() > 0 && ((raw >> (v.width() - 1)) & 1u) != 0;
}

// The value of a value of at most 63 bits by its type, modulo 2^64.
inline uint64_t narrowValue(const VNum& v) {
    const uint64_t raw = narrowPattern(v);
    return patternNegative(v, raw) ? raw | ~lowMask(v.width()) : raw;
}

// x * 2^n modulo 2^64, n >= 0.
inline uint64_t shiftedUp(uint64_t x, int64_t n) { return n >= 64 ? 0 : x << n; }

}  // namespace words
