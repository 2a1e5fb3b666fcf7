#include "report.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>

#include "json.h"

namespace vfft_cli {

std::string frameLine(const FrameRecord& r) {
    return "frame " + std::to_string(r.index) + ": " + std::to_string(r.settings->points()) + " points, " +
           (r.settings->direction ? "forward" : "inverse") + ", blk_exp " + std::to_string(r.blkExp) +
           ", overflow " + std::to_string(r.overflow);
}

FrameReport::FrameReport(OutputFile& file, const std::string& format, const Core& core, const std::string& fields)
    : file_(file) {
    std::string generics = "{";
    for (const GenericField& f : kGenericFields)
        generics += std::string(generics.size() > 1 ? ", " : "") + "\"" + f.name +
                    "\": " + std::to_string(core.generics().*f.member);
    const CodeFormat in = core.inputCodes(), out = core.outputCodes();
    file_.write("{\"format\": \"" + format + "\", \"version\": 1,\n \"generics\": " + generics +
                "},\n \"float\": " + (in.single ? "true" : "false") +
                ", \"input_width\": " + std::to_string(in.width) + ", \"input_point\": " +
                std::to_string(in.fractionBits) + ", \"output_width\": " + std::to_string(out.width) +
                ", \"output_point\": " + std::to_string(out.fractionBits) + fields + ",\n \"frames\": [");
}

void FrameReport::add(const FrameRecord& r) {
    std::string schedule = "[";
    for (size_t k = 0; k < r.settings->schedule.size(); ++k)
        schedule += (k ? ", " : "") + std::to_string(r.settings->schedule[k]);
    file_.write(std::string(frames_ ? ",\n" : "\n") + "   {\"index\": " + std::to_string(r.index) +
                ", \"nfft\": " + std::to_string(r.settings->nfft) + ", \"points\": " +
                std::to_string(r.settings->points()) + ", \"direction\": " + std::to_string(r.settings->direction) +
                ", \"scaling_sch\": " + schedule + "], \"blk_exp\": " + std::to_string(r.blkExp) +
                ", \"overflow\": " + std::to_string(r.overflow) + ", \"first_sample\": " +
                std::to_string(r.firstSample) + "}");
    ++frames_;
    samples_ += uint64_t(r.settings->points());
}

void FrameReport::finish() {
    file_.write(std::string(frames_ ? "\n ]" : "]") + ",\n \"frame_count\": " + std::to_string(frames_) +
                ", \"sample_count_in\": " + std::to_string(samples_) +
                ", \"sample_count_out\": " + std::to_string(samples_) + "}\n");
}

std::string FrameList::where(size_t i) const {
    return name + ":" + std::to_string(lines[i]) + ": frame record " + std::to_string(i);
}

namespace {

int32_t integer(const Json& v, const std::string& where) {
    int64_t n = 0;
    if (v.type != Json::Type::Number || readInt64(v.text, n) != IntText::Ok ||
        n < std::numeric_limits<int32_t>::min() || n > std::numeric_limits<int32_t>::max())
        dataError(where + ": expected a 32-bit integer, got " + (v.type == Json::Type::Number ? v.text : "another value"));
    return int32_t(n);
}

}  // namespace

FrameList readFrameList(const std::string& path) {
    std::ifstream file(path);
    if (!file) dataError("cannot read '" + path + "': " + std::strerror(errno));
    std::ostringstream text;
    text << file.rdbuf();
    const Json doc = parseJson(text.str(), path);
    const Json* frames = doc.member("frames");
    if (!frames || frames->type != Json::Type::Array || frames->items.empty())
        dataError(path + ": expected an object with a list \"frames\" of one record per frame");
    FrameList list{path, {}, {}};
    for (const Json& record : frames->items) {
        list.lines.push_back(record.line);
        const std::string where = list.where(list.frames.size());
        if (record.type != Json::Type::Object) dataError(where + ": expected an object");
        FrameChoice c;
        if (const Json* v = record.member("nfft")) c.nfft = integer(*v, where + ": nfft");
        if (const Json* v = record.member("direction")) c.direction = integer(*v, where + ": direction");
        if (const Json* v = record.member("scaling_sch")) {
            if (v->type != Json::Type::Array) dataError(where + ": scaling_sch: expected a list of integers");
            c.schedule.emplace();
            for (const Json& s : v->items) c.schedule->push_back(integer(s, where + ": scaling_sch"));
        }
        list.frames.push_back(std::move(c));
    }
    return list;
}

}  // namespace vfft_cli
