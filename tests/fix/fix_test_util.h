// Helpers for the fixed-point tests: payloads as exact 128-bit integers.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>

#include "fix/VFix.h"

using i128 = __int128;

// A value of format (w, f, type, q, o), w <= 120, whose payload is p modulo 2^w.
inline VFix withPayload(i128 p, int32_t w, int32_t f, int32_t type, int32_t q = Truncate, int32_t o = Wrap) {
    VFix v(0, w, f, type, q, o);
    for (int32_t i = 0; i < w; ++i) v.setBit(i, static_cast<int32_t>((p >> i) & 1));
    return v;
}

// The payload read by the value's type.
inline i128 payloadOf(const VFix& v) {
    i128 p = 0;
    for (int32_t i = 0; i < v.width(); ++i)
        if (v.getBit(i) != 0) p |= i128{1} << i;
    if (v.type() == Signed && v.width() > 0 && v.getBit(v.width() - 1) != 0) p -= i128{1} << v.width();
    return p;
}

inline i128 pow2(int32_t n) { return i128{1} << n; }

// floor(x / 2^n)
inline i128 floorShift(i128 x, int32_t n) { return x >= 0 ? x / pow2(n) : -((-x + pow2(n) - 1) / pow2(n)); }

// A random payload of width w and the given type, biased toward the ends of its range.
inline i128 randomPayload(std::mt19937_64& rng, int32_t w, bool sgn) {
    const i128 lo = sgn ? -pow2(w - 1) : 0, hi = sgn ? pow2(w - 1) - 1 : pow2(w) - 1;
    switch (rng() % 4) {
        case 0: return std::min(hi, lo + static_cast<i128>(rng() % 3));
        case 1: return std::max(lo, hi - static_cast<i128>(rng() % 3));
        default: {
            using u128 = unsigned __int128;
            const u128 r = (static_cast<u128>(rng()) << 64) | rng();
            return lo + static_cast<i128>(r % static_cast<u128>(hi - lo + 1));
        }
    }
}
