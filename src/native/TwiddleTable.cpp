#include "native/TwiddleTable.h"

#include <cmath>

TwiddleTable::TwiddleTable(const TWIDDLE_ROM& rom) : re_(size_t{1} << rom.nfft_max), im_(re_.size()) {
    // The entries' payloads, of at most 35 bits: exact as doubles. Negation
    // of a value in [-1, 1] is exact in the entry format.
    const uint32_t entries = (1u << (rom.nfft_max - 2)) + 1;
    std::vector<int64_t> cos(entries), sin(entries);
    for (uint32_t q = 0; q < entries; ++q) {
        cos[q] = static_cast<int64_t>(std::ldexp(rom.table[q].re.toDouble(), rom.twiddle_width - 1));
        sin[q] = static_cast<int64_t>(std::ldexp(rom.table[q].im.toDouble(), rom.twiddle_width - 1));
    }
    for (uint32_t k = 0; k < re_.size(); ++k) {
        const TWIDDLE_ROM::Source from = rom.source(k);
        re_[k] = from.negateRe ? -cos[from.entry] : cos[from.entry];
        im_[k] = from.negateIm ? -sin[from.entry] : sin[from.entry];
    }
}
