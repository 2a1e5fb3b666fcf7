// TwiddleRuns: the twiddles of a transform's stages as contiguous arrays, so
// that a stage loads the twiddles of consecutive butterflies with unit
// stride. A run of the given step holds, at position m, the twiddle of angle
// index m * step in the transform's direction. The arrays of both
// directions are kept (the forward twiddles are the conjugates); they are
// built again only when the transform length changes.
#pragma once

#include <cstdint>
#include <vector>

#include "native/TwiddleTable.h"

class TwiddleRuns {
public:
    // True when the runs were built for another length: the caller then
    // clears and adds them in the same order as before.
    bool stale(int32_t nfft) const { return nfft != built; }
    void clear(int32_t nfft) {
        built = nfft;
        re_.clear();
        im_.clear();
        conj_.clear();
        offsets.clear();
    }
    // Adds a run of count entries; runs are numbered from 0 in order.
    void add(const TwiddleTable& table, uint32_t step, int32_t count, uint32_t period) {
        offsets.push_back(re_.size());
        for (int32_t m = 0; m < count; ++m) {
            const uint32_t k = (static_cast<uint32_t>(m) * step) & (period - 1);
            re_.push_back(table.re(k));
            im_.push_back(table.im(k));
            conj_.push_back(-table.im(k));
        }
    }
    // Run number i in the given direction (1: forward, conjugate angles).
    const int64_t* re(int32_t i) const { return re_.data() + offsets[i]; }
    const int64_t* im(int32_t i, int32_t direction) const {
        return (direction == 1 ? conj_.data() : im_.data()) + offsets[i];
    }

private:
    int32_t built = -1;
    std::vector<int64_t> re_, im_, conj_;
    std::vector<size_t> offsets;
};
