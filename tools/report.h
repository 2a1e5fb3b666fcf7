// What a transform reports per frame, as a line for people and as JSON for
// scripts and test benches.
#ifndef VFFT_TOOLS_REPORT_H
#define VFFT_TOOLS_REPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "vfft_v8_0.h"

namespace vfft_cli {

struct FrameRecord {
    int index;
    int nfft;
    int direction;
    std::vector<int32_t> schedule;
    int32_t blkExp;
    int32_t overflow;
    long long firstSample;
};

// "frame 0: 1024 points, forward, blk_exp 0, overflow 0"
std::string frameLine(const FrameRecord& r);

// {"C_NFFT_MAX": 10, ...}
std::string genericsJson(const velmor_ip_vfft_v8_0_generics& g);
// [ {"index": 0, "nfft": ..., "first_sample": ...}, ... ] with one frame per line.
std::string framesJson(const std::vector<FrameRecord>& frames, const std::string& indent);

}  // namespace vfft_cli

#endif
