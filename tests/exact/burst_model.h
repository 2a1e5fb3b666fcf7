// A plain-integer model of the scaled burst engines (radix 2 and radix 4, block
// floating point or a fixed schedule), written from the datapath rules on
// int64_t payloads: samples are W-bit fractions with W - 1 fraction bits,
// twiddles T + 1 bits with T - 1 fraction bits. Within a stage the butterfly
// order does not matter, so the model walks an ordinary in-place
// decimation-in-time transform over the reordered input instead of the
// engines' banks. Payloads stay below 2^62 for W + T up to 56.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace model {

struct Cx {
    int64_t re = 0, im = 0;
};

// floor(v / 2^d)
inline int64_t floorShift(int64_t v, int d) { return v >= 0 ? v >> d : -((-v - 1) >> d) - 1; }

// the low w bits of v read as a signed w-bit number
inline int64_t wrap(int64_t v, int w) {
    const uint64_t low = static_cast<uint64_t>(v) & ((uint64_t(1) << w) - 1);
    return low >= (uint64_t(1) << (w - 1)) ? static_cast<int64_t>(low) - (int64_t(1) << w) : static_cast<int64_t>(low);
}

inline bool bit(int64_t v, int k) { return ((static_cast<uint64_t>(v) >> k) & 1) != 0; }

// Quarter-wave table of 2^(n-2) + 1 entries, each part rounded to T - 1
// fraction bits with ties to even; lookups unfold the other quarters.
class TwiddleTable {
public:
    TwiddleTable(int n, int t) : n_(n) {
        for (int64_t q = 0; q <= (int64_t(1) << (n - 2)); ++q) {
            const double x = (static_cast<double>(q) * 6.283185307179586) / std::ldexp(1.0, n);
            table_.push_back({static_cast<int64_t>(std::nearbyint(std::ldexp(std::cos(x), t - 1))),
                              static_cast<int64_t>(std::nearbyint(std::ldexp(std::sin(x), t - 1)))});
        }
    }
    // (cos, sin) of 2 pi k / 2^n
    Cx lookup(int64_t k) const {
        const int64_t quarter = int64_t(1) << (n_ - 2);
        k &= (int64_t(1) << n_) - 1;
        const bool secondHalf = bit(k, n_ - 1), oddQuarter = bit(k, n_ - 2);
        int64_t r = k & (quarter - 1);
        if (oddQuarter) r = quarter - r;
        const Cx e = table_[size_t(r)];
        return {secondHalf != oddQuarter ? -e.re : e.re, secondHalf ? -e.im : e.im};
    }

private:
    int n_;
    std::vector<Cx> table_;
};

struct Config {
    int W = 16, T = 16, nfftMax = 3, nfft = 3;
    bool rounding = false, bfp = true;
    int direction = 1;
    std::vector<int> schedule;  // one shift per stage when bfp is false
};

struct Output {
    std::vector<Cx> x;  // natural order, W - 1 fraction bits
    int blkExp = 0, overflow = 0;
};

class Burst {
public:
    explicit Burst(const Config& c) : c_(c), rom_(c.nfftMax, c.T) {}

    Output radix2(const std::vector<Cx>& in) {
        const int n = c_.nfft;
        const int64_t points = int64_t(1) << n;
        std::vector<Cx> y(static_cast<size_t>(points));
        for (int64_t i = 0; i < points; ++i) y[size_t(reverseBits(i, n))] = in[size_t(i)];
        growth_ = std::max(1 - smallestHeadroom(in), 0);
        out_ = {};
        for (int s = 0; s < n; ++s) {
            const int shift = startStage(s);
            for (int64_t i0 = 0; i0 < points; ++i0) {
                if (bit(i0, s)) continue;
                const int64_t i1 = i0 + (int64_t(1) << s);
                const Cx w = twiddle((i0 & ((int64_t(1) << s) - 1)) << (n - 1 - s));
                const Cx p = roundedProduct(y[size_t(i1)], w), a = y[size_t(i0)];
                y[size_t(i0)] = finish({8 * a.re + p.re, 8 * a.im + p.im}, shift, classes2);
                y[size_t(i1)] = finish({8 * a.re - p.re, 8 * a.im - p.im}, shift, classes2);
            }
        }
        out_.x = y;
        return out_;
    }

    // Even lengths: radix-4 stages only. Odd lengths: the radix-4 stages
    // transform both halves of the digit-reversed input (twiddles of the half
    // length), and a radix-2 stage joins them as E[m] +- W^m O[m].
    Output radix4(const std::vector<Cx>& in) {
        const int n = c_.nfft, half = n / 2, odd = n & 1;
        const int64_t points = int64_t(1) << n;
        std::vector<Cx> y(static_cast<size_t>(points));
        for (int64_t i = 0; i < points; ++i) {
            int64_t r = odd ? (i & 1) : 0, v = odd ? i >> 1 : i;
            for (int d = 0; d < half; ++d, v >>= 2) r = 4 * r + (v & 3);
            y[size_t(r)] = in[size_t(i)];
        }
        growth_ = std::max(2 - smallestHeadroom(in), 0);
        out_ = {};
        for (int s = 0; s < half; ++s) {
            const int shift = startStage(s);
            const int64_t step = int64_t(1) << (2 * s);
            for (int64_t j0 = 0; j0 < points; ++j0) {
                if (((j0 >> (2 * s)) & 3) != 0) continue;
                const int64_t t = (j0 & (step - 1)) << (2 * (half - 1 - s) + odd);
                Cx leg[4];
                for (int m = 0; m < 4; ++m) leg[m] = y[size_t(j0 + m * step)];
                const Cx a = {8 * leg[0].re, 8 * leg[0].im}, b = roundedProduct(leg[1], twiddle(t)),
                         c = roundedProduct(leg[2], twiddle(2 * t)), d = roundedProduct(leg[3], twiddle(3 * t));
                // forward kernel: a + b + c + d, a - jb - c + jd, a - b + c - d, a + jb - c - jd
                Cx sum[4] = {{a.re + b.re + c.re + d.re, a.im + b.im + c.im + d.im},
                             {a.re + b.im - c.re - d.im, a.im - b.re - c.im + d.re},
                             {a.re - b.re + c.re - d.re, a.im - b.im + c.im - d.im},
                             {a.re - b.im - c.re + d.im, a.im + b.re - c.im - d.re}};
                if (c_.direction == 0) std::swap(sum[1], sum[3]);
                for (int m = 0; m < 4; ++m) y[size_t(j0 + m * step)] = finish(sum[m], shift, classes4);
            }
        }
        if (odd) {
            const int shift = startStage(half);
            for (int64_t m = 0; m < points / 2; ++m) {
                const Cx e = y[size_t(m)], p = roundedProduct(y[size_t(m + points / 2)], twiddle(m));
                y[size_t(m)] = finish({8 * e.re + p.re, 8 * e.im + p.im}, shift, classes4);
                y[size_t(m + points / 2)] = finish({8 * e.re - p.re, 8 * e.im - p.im}, shift, classes4);
            }
        }
        out_.x = y;
        return out_;
    }

private:
    struct Classes {
        int count;
        int64_t limits[3];  // in units of 2^-7
    };
    static constexpr Classes classes2{2, {53, 106, 0}};
    static constexpr Classes classes4{3, {24, 48, 97}};

    static int64_t reverseBits(int64_t i, int n) {
        int64_t r = 0;
        for (int b = 0; b < n; ++b) r = 2 * r + ((i >> b) & 1);
        return r;
    }

    // redundant sign bits below the sign bit, at most 3
    int headroom(int64_t v) const {
        int h = 0;
        while (h < 3 && bit(v, c_.W - 2 - h) == bit(v, c_.W - 1)) ++h;
        return h;
    }

    int smallestHeadroom(const std::vector<Cx>& in) const {
        int h = 32;
        for (const Cx& v : in) h = std::min({h, headroom(v.re), headroom(v.im)});
        return h;
    }

    int startStage(int s) {
        const int shift = c_.bfp ? growth_ : c_.schedule[size_t(s)];
        out_.blkExp += shift;
        growth_ = 0;
        return shift;
    }

    // twiddle of angle index t of this length, conjugated for the forward kernel
    Cx twiddle(int64_t t) const {
        const int64_t full = int64_t(1) << c_.nfftMax;
        const int64_t k = t << (c_.nfftMax - c_.nfft);
        return rom_.lookup(c_.direction == 1 ? (full - k) & (full - 1) : k);
    }

    // b * w rounded to W + 2 fraction bits, halves toward minus infinity
    Cx roundedProduct(const Cx& b, const Cx& w) const {
        const int64_t bias = (int64_t(1) << (c_.T - 5)) - 1;
        const auto round = [&](int64_t p) { return wrap(floorShift(p + bias, c_.T - 4), c_.W + 4); };
        return {round(b.re * w.re - b.im * w.im), round(b.re * w.im + b.im * w.re)};
    }

    // A butterfly result with W + 2 fraction bits: overflow test after the
    // shift, then truncation or convergent rounding (no increment into the
    // largest positive pattern) to W - 1 fraction bits and wrap to W bits;
    // the written sample raises the stage's growth class.
    Cx finish(const Cx& sum, int shift, const Classes& classes) {
        const auto part = [&](int64_t s) {
            const int64_t one = int64_t(1) << (c_.W + 2 + shift);
            if (s >= one || s < -one) out_.overflow = 1;
            const int d = 3 + shift;
            int64_t k = floorShift(s, d);
            const bool largest = (static_cast<uint64_t>(k) & ((uint64_t(1) << c_.W) - 1)) == (uint64_t(1) << (c_.W - 1)) - 1;
            const bool sticky = (static_cast<uint64_t>(s) & ((uint64_t(1) << (d - 1)) - 1)) != 0;
            if (c_.rounding && !largest && bit(s, d - 1) && (sticky || bit(k, 0))) ++k;
            const int64_t v = wrap(k, c_.W);
            const int64_t probe = floorShift(v, c_.W - 8);
            for (int g = classes.count; g > 0; --g) {
                const int64_t limit = classes.limits[g - 1];
                if (probe < -limit || probe >= limit) {
                    growth_ = std::max(growth_, g);
                    break;
                }
            }
            return v;
        };
        return {part(sum.re), part(sum.im)};
    }

    Config c_;
    TwiddleTable rom_;
    int growth_ = 0;
    Output out_;
};

}  // namespace model
