// What a transform reports per frame: a line for people, and the JSON of
// vector-set manifests and run summaries, written frame by frame as the
// frames are transformed. The frame list of such a file reads back as the
// frames' settings.
#ifndef VFFT_TOOLS_REPORT_H
#define VFFT_TOOLS_REPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "core.h"
#include "output.h"

namespace vfft_cli {

struct FrameRecord {
    uint64_t index;
    const FrameSettings* settings;
    int32_t blkExp;
    int32_t overflow;
    uint64_t firstSample;
};

// "frame 0: 1024 points, forward, blk_exp 0, overflow 0"
std::string frameLine(const FrameRecord& r);

// A JSON object {"format": FORMAT, "version": 1, "generics": ..., the port
// widths and binary points, FIELDS, "frames": [...], "frame_count": N,
// "sample_count_in": S, "sample_count_out": S}, the frames written as they
// come.
class FrameReport {
public:
    FrameReport(OutputFile& file, const std::string& format, const Core& core, const std::string& fields);
    void add(const FrameRecord& r);
    // Closes the list and the object with the counts.
    void finish();

private:
    OutputFile& file_;
    uint64_t frames_ = 0, samples_ = 0;
};

// The settings of the frames listed in a JSON file: every record of its
// "frames" list may give "nfft", "direction" and "scaling_sch", as a vector
// set's manifest and a run's summary do.
struct FrameList {
    std::string name;
    std::vector<FrameChoice> frames;
    std::vector<int> lines;  // the line of each record
    // "FILE:LINE: frame record I", naming record i in a failure.
    std::string where(size_t i) const;
};
FrameList readFrameList(const std::string& path);

}  // namespace vfft_cli

#endif
