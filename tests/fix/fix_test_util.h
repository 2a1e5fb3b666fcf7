// Helpers for the fixed-point tests: payloads as exact 128-bit integers.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

#include "fix/VFix.h"

using i128 = __int128;

inline i128 pow2(int32_t n) { return i128{1} << n; }

// v modulo 2^w, read as a two's-complement number when sgn.
inline i128 wrapTo(i128 v, int32_t w, bool sgn) {
    const i128 m = ((v % pow2(w)) + pow2(w)) % pow2(w);
    return sgn && m >= pow2(w - 1) ? m - pow2(w) : m;
}

// floor(x / 2^n)
inline i128 floorShift(i128 x, int32_t n) { return x >= 0 ? x / pow2(n) : -((-x + pow2(n) - 1) / pow2(n)); }

// A value of format (w, f, type, q, o), w <= 120, whose payload is p modulo 2^w.
inline VFix withPayload(i128 p, int32_t w, int32_t f, int32_t type, int32_t q = Truncate, int32_t o = Wrap) {
    VFix v(0, w, f, type, q, o);
    for (int32_t i = 0; i < w; ++i) v.setBit(i, static_cast<int32_t>((p >> i) & 1));
    return v;
}

// The payload read by the value's type.
inline i128 payloadOf(const VFix& v) {
    i128 p = 0;
    for (int32_t i = 0; i < v.width(); ++i) p |= static_cast<i128>(v.getBit(i)) << i;
    return v.width() > 0 ? wrapTo(p, v.width(), v.type() == Signed) : 0;
}

// The text and value of the Overflow that f raises; empty when it raises none.
template <class F> std::string overflowOf(F f) {
    try {
        f();
    } catch (const VNumException::Overflow& e) {
        return std::string(e.message) + " " + std::to_string(e.value);
    }
    return "";
}

// A random payload of width w and the given type, biased toward the ends of its range.
inline i128 randomPayload(std::mt19937_64& rng, int32_t w, bool sgn) {
    const i128 lo = sgn ? -pow2(w - 1) : 0, hi = sgn ? pow2(w - 1) - 1 : pow2(w) - 1;
    const auto r = (static_cast<unsigned __int128>(rng()) << 64) | rng();
    const i128 end = static_cast<i128>(r % 3);
    const uint64_t pick = rng() % 4;
    if (pick < 2) return pick == 0 ? std::min(hi, lo + end) : std::max(lo, hi - end);
    return lo + static_cast<i128>(r % static_cast<unsigned __int128>(hi - lo + 1));
}
