// Digit helpers of the numeric library, shared by VNum and VFix.
//
// A value's words each hold one 16-bit digit, least significant first. Every
// digit operation works in 32-bit unsigned arithmetic: a digit sum with its
// carry stays below 2^17, and a digit product plus a digit plus a carry stays
// below 2^32.
#pragma once

#include <algorithm>
#include <cstdint>

#include "num/VNum.h"

namespace digits {

constexpr uint32_t kDigitMask = 0xFFFFu;

inline int32_t wordsFor(int64_t width) { return width < 1 ? 1 : static_cast<int32_t>((width - 1) / 16 + 1); }

inline int32_t topBitsFor(int32_t width) {
    if (width <= 0) return 0;
    const int32_t r = width % 16;
    return r == 0 ? 16 : r;
}

inline uint32_t topMaskFor(int32_t topBits) { return (1u << topBits) - 1u; }

// Reads a value's words as if the value were sign-extended (negative Signed)
// or zero-extended to any number of words.
class Extended {
public:
    explicit Extended(const VNum& v)
        : w_(v.words()), top_(v.wordCount() - 1), fill_(v.isNegative() ? kDigitMask : 0u),
          topFill_(fill_ & ~topMaskFor(v.topBits())) {}
    // Word i (i >= 0).
    uint32_t operator[](int64_t i) const {
        if (i < top_) return w_[i];
        if (i == top_) return w_[i] | topFill_;
        return fill_;
    }
    // The 16 bits at positions p to p + 15; positions below 0 read 0.
    uint32_t digitAt(int64_t p) const {
        if (p <= -16) return 0;
        if (p < 0) return ((*this)[0] << -p) & kDigitMask;
        const int64_t wi = p >> 4;
        const int32_t off = static_cast<int32_t>(p & 15);
        if (off == 0) return (*this)[wi];
        return (((*this)[wi] >> off) | ((*this)[wi + 1] << (16 - off))) & kDigitMask;
    }

private:
    const uint32_t* w_;
    int32_t top_;
    uint32_t fill_;
    uint32_t topFill_;
};

// The first n words of v, extended by its type.
inline void loadDigits(const VNum& v, uint32_t* out, int32_t n) {
    const Extended x(v);
    for (int32_t i = 0; i < n; ++i) out[i] = x[i];
}

inline bool allZero(const uint32_t* w, int32_t n) {
    return std::all_of(w, w + n, [](uint32_t d) { return d == 0; });
}

// Two's-complement negation of n digits, modulo 2^(16n).
inline void negateDigits(uint32_t* w, int32_t n) {
    uint32_t carry = 1;
    for (int32_t i = 0; i < n; ++i) {
        const uint32_t t = (~w[i] & kDigitMask) + carry;
        w[i] = t & kDigitMask;
        carry = t >> 16;
    }
}

// acc (an digits) += x (n digits) * y (m digits) modulo 2^(16 an), schoolbook,
// one row per digit of x.
inline void mulAccumulate(uint32_t* acc, int32_t an, const uint32_t* x, int32_t n, const uint32_t* y, int32_t m) {
    for (int32_t i = 0; i < n; ++i) {
        const uint32_t xi = x[i];
        if (xi == 0) continue;
        uint32_t carry = 0;
        int32_t k = i;
        for (int32_t j = 0; j < m && k < an; ++j, ++k) {
            const uint32_t t = xi * y[j] + acc[k] + carry;
            acc[k] = t & kDigitMask;
            carry = t >> 16;
        }
        for (; carry != 0 && k < an; ++k) {
            const uint32_t t = acc[k] + carry;
            acc[k] = t & kDigitMask;
            carry = t >> 16;
        }
    }
}

// The magnitude of a negative value, read as an unsigned number of the same
// width (it always fits), written into out.
inline const uint32_t* magnitude(const VNum& v, uint32_t* out) {
    std::copy(v.words(), v.words() + v.wordCount(), out);
    negateDigits(out, v.wordCount());
    out[v.wordCount() - 1] &= topMaskFor(v.topBits());
    return out;
}

// True when any bit of v at positions lo..hi (clipped to the width) equals `one`.
inline bool anyBitIs(const VNum& v, int64_t lo, int64_t hi, bool one) {
    lo = std::max<int64_t>(lo, 0);
    hi = std::min<int64_t>(hi, v.width() - 1);
    if (lo > hi) return false;
    const int32_t wl = static_cast<int32_t>(lo >> 4), wh = static_cast<int32_t>(hi >> 4);
    const uint32_t* w = v.words();
    for (int32_t i = wl; i <= wh; ++i) {
        const int32_t from = i == wl ? static_cast<int32_t>(lo & 15) : 0;
        const int32_t to = i == wh ? static_cast<int32_t>(hi & 15) : 15;
        const uint32_t m = ((2u << to) - 1u) & ~((1u << from) - 1u);
        if (((one ? w[i] : ~w[i]) & m) != 0) return true;
    }
    return false;
}
inline bool anyOne(const VNum& v, int64_t lo, int64_t hi) { return anyBitIs(v, lo, hi, true); }
inline bool anyZero(const VNum& v, int64_t lo, int64_t hi) { return anyBitIs(v, lo, hi, false); }

}  // namespace digits
