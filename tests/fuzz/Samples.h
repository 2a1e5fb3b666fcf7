// Sample frames from the fuzzer's bytes: a cheap base fill of the whole frame,
// then a few chosen values at chosen places, from a palette of the values
// that matter at the boundary (grid edges, off-grid values, signed zeros,
// NaNs, infinities, huge, tiny and subnormal values, the single range).
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>

#include "Library.h"

namespace samples {

constexpr double kSingleMax = static_cast<double>(FLT_MAX);

inline double fromBits(uint64_t u) {
    double v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

// Code c of a signed w-bit fraction, c taken modulo the code range.
inline double gridValue(int64_t c, int32_t w) {
    const int64_t half = int64_t{1} << (w - 1);
    const int64_t code = ((c % (2 * half)) + 2 * half) % (2 * half) - half;
    return std::ldexp(static_cast<double>(code), -(w - 1));
}

inline double palette(Bytes& in, int32_t w) {
    const double lsb = std::ldexp(1.0, -(w - 1));
    switch (in.byte() % 24) {
    case 0: return 0.0;
    case 1: return -0.0;
    case 2: return -1.0;
    case 3: return 1.0 - lsb;
    case 4: return std::nextafter(1.0, 0.0);
    case 5: return 1.0;
    case 6: return std::nextafter(-1.0, -2.0);
    case 7: return std::numeric_limits<double>::quiet_NaN();
    case 8: return -std::numeric_limits<double>::quiet_NaN();
    case 9: return fromBits(0x7ff0000000000001ull);
    case 10: return std::numeric_limits<double>::infinity();
    case 11: return -std::numeric_limits<double>::infinity();
    case 12: return DBL_MAX;
    case 13: return std::numeric_limits<double>::denorm_min();
    case 14: return 1.0e-40;
    case 15: return -1.0e-40;
    case 16: return 1.0e-50;
    case 17: return kSingleMax;
    case 18: return 3.4028235e38;
    case 19: return -1.0e39;
    case 20: return static_cast<double>(FLT_MIN);
    case 21: return 0.5 + lsb / 2;
    case 22: return in.f64();
    default: return gridValue(in.i32(), w);
    }
}

// A small linear congruential sequence for the base fills.
struct Sequence {
    uint64_t s;
    uint32_t next() {
        s = s * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(s >> 32);
    }
    // Uniform in [-1, 1).
    double unit() { return std::ldexp(static_cast<double>(next()), -31) - 1.0; }
};

// A value that invalidates a frame: NaN in fixed-point mode; in
// floating-point mode also whatever becomes an infinity as a single.
inline bool invalidating(double x, bool single) {
    return std::isnan(x) || (single && std::fabs(x) >= std::ldexp(2.0 - std::ldexp(1.0, -24), 127));
}

// Fills both parts of an n-point frame for input width w (32 in
// floating-point mode, where the base fills span the single range). Without
// `specials` no value invalidates the frame: the default library runs such
// frames through a reference engine built for the call, which under the
// fuzzing instrumentation costs a large multiple of an ordinary call.
inline void fill(Bytes& in, double* re, double* im, int32_t n, int32_t w, bool single, bool specials) {
    const int kind = in.byte() % 6;
    Sequence seq{in.u32()};
    const int scale = in.range(-150, 105);
    const double lsb = std::ldexp(1.0, -(w - 1));
    for (int32_t i = 0; i < n; ++i) {
        for (double* part : {re, im}) {
            double v = 0.0;
            switch (kind) {
            case 0: break;
            case 1: v = single ? std::ldexp(seq.unit(), scale + 22) : gridValue(seq.next(), w); break;
            case 2: v = single ? std::ldexp(seq.unit(), scale + static_cast<int>(seq.next() % 40) - 20) : seq.unit(); break;
            case 3: v = (i & 1) ? -1.0 : (single ? -kSingleMax : 1.0 - lsb); break;
            case 4: v = single ? std::ldexp(seq.unit(), -126 - static_cast<int>(seq.next() % 24)) : seq.unit() * lsb * 4; break;
            default: v = gridValue(seq.next() % 5 - 2, w); break;
            }
            part[i] = v;
        }
    }
    const int overrides = in.byte() % 17;
    for (int k = 0; k < overrides && n > 0; ++k) {
        const int32_t at = static_cast<int32_t>(((in.byte() << 8) | in.byte()) % n);
        double* part = (in.byte() & 1) ? im : re;
        const double v = palette(in, w);
        part[at] = specials || !invalidating(v, single) ? v : 0.5;
    }
}

}  // namespace samples
