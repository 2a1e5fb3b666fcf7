#include "report.h"

#include "core.h"

namespace vfft_cli {

std::string frameLine(const FrameRecord& r) {
    return "frame " + std::to_string(r.index) + ": " + std::to_string(1 << r.nfft) + " points, " +
           (r.direction ? "forward" : "inverse") + ", blk_exp " + std::to_string(r.blkExp) + ", overflow " +
           std::to_string(r.overflow);
}

std::string genericsJson(const velmor_ip_vfft_v8_0_generics& g) {
    std::string s = "{";
    for (const GenericField& f : kGenericFields)
        s += std::string(s.size() > 1 ? ", " : "") + "\"" + f.name + "\": " + std::to_string(g.*f.member);
    return s + "}";
}

std::string framesJson(const std::vector<FrameRecord>& frames, const std::string& indent) {
    std::string s = "[";
    for (size_t i = 0; i < frames.size(); ++i) {
        const FrameRecord& r = frames[i];
        std::string schedule = "[";
        for (size_t k = 0; k < r.schedule.size(); ++k) schedule += (k ? ", " : "") + std::to_string(r.schedule[k]);
        schedule += "]";
        s += (i ? ",\n" : "\n") + indent + "  {\"index\": " + std::to_string(r.index) +
             ", \"nfft\": " + std::to_string(r.nfft) + ", \"points\": " + std::to_string(1 << r.nfft) +
             ", \"direction\": " + std::to_string(r.direction) + ", \"scaling_sch\": " + schedule +
             ", \"blk_exp\": " + std::to_string(r.blkExp) + ", \"overflow\": " + std::to_string(r.overflow) +
             ", \"first_sample\": " + std::to_string(r.firstSample) + "}";
    }
    return s + (frames.empty() ? "]" : "\n" + indent + "]");
}

}  // namespace vfft_cli
