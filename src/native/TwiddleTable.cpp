#include "native/TwiddleTable.h"

#include <cmath>

TwiddleTable::TwiddleTable(TWIDDLE_ROM& rom) : re_(size_t{1} << rom.nfft_max), im_(re_.size()) {
    FixComplex entry;
    for (uint32_t k = 0; k < re_.size(); ++k) {
        rom.lookup(entry, k);
        // Payloads of at most 35 bits: exact as doubles.
        re_[k] = static_cast<int64_t>(std::ldexp(entry.re.toDouble(), rom.twiddle_width - 1));
        im_[k] = static_cast<int64_t>(std::ldexp(entry.im.toDouble(), rom.twiddle_width - 1));
    }
}
