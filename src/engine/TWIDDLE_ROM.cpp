#include "engine/TWIDDLE_ROM.h"

#include <cmath>

TWIDDLE_ROM::TWIDDLE_ROM(int32_t nmax, int32_t tw_width)
    : nfft_max(nmax), twiddle_width(tw_width), table(new FixComplex[(1 << (nmax - 2)) + 1]) {
    const int32_t T = twiddle_width;
    const int32_t quarter = 1 << (nfft_max - 2);
    for (int32_t q = 0; q <= quarter; ++q) {
        table[q].re.setFormat(T + 1, T - 1, Signed, RoundHalfEven, Saturate);
        table[q].im.setFormat(T + 1, T - 1, Signed, RoundHalfEven, Saturate);
        const double x = (q * 6.283185307179586) / static_cast<double>(1 << nfft_max);
        table[q].re = std::cos(x);
        table[q].im = std::sin(x);
    }
    ret_tw.re.setFormat(T + 1, T - 1, Signed, RoundHalfEven, Saturate);
    ret_tw.im.setFormat(T + 1, T - 1, Signed, RoundHalfEven, Saturate);
}

TWIDDLE_ROM::~TWIDDLE_ROM() { delete[] table; }

TWIDDLE_ROM::Source TWIDDLE_ROM::source(uint32_t k) const {
    // h: second half period; o: second or fourth quarter, read mirrored.
    const uint32_t quarter = 1u << (nfft_max - 2);
    const uint32_t kk = k & ((1u << nfft_max) - 1);
    const uint32_t h = (kk >> (nfft_max - 1)) & 1;
    const uint32_t o = (kk >> (nfft_max - 2)) & 1;
    uint32_t r = kk & (quarter - 1);
    if (o) r = quarter - r;
    return {r, h != o, h != 0};
}

FixComplex& TWIDDLE_ROM::lookup(FixComplex& result, uint32_t k) {
    const Source from = source(k);
    const FixComplex& e = table[from.entry];
    if (from.negateRe)
        ret_tw.re = -e.re;
    else
        ret_tw.re = e.re;
    if (from.negateIm)
        ret_tw.im = -e.im;
    else
        ret_tw.im = e.im;
    // The caller receives the entry's format with its value.
    if (!result.re.sameFormat(ret_tw.re) || result.re.binaryPoint != ret_tw.re.binaryPoint)
        result.setFormatFrom(ret_tw.re);
    result = ret_tw;
    return result;
}
