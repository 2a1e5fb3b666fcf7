#include "core.h"

#include <algorithm>
#include <initializer_list>

namespace vfft_cli {

using Generics = velmor_ip_vfft_v8_0_generics;

const GenericField kGenericFields[9] = {
    {"C_NFFT_MAX", &Generics::C_NFFT_MAX},
    {"C_ARCH", &Generics::C_ARCH},
    {"C_HAS_NFFT", &Generics::C_HAS_NFFT},
    {"C_USE_FLT_PT", &Generics::C_USE_FLT_PT},
    {"C_INPUT_WIDTH", &Generics::C_INPUT_WIDTH},
    {"C_TWIDDLE_WIDTH", &Generics::C_TWIDDLE_WIDTH},
    {"C_HAS_SCALING", &Generics::C_HAS_SCALING},
    {"C_HAS_BFP", &Generics::C_HAS_BFP},
    {"C_HAS_ROUNDING", &Generics::C_HAS_ROUNDING},
};

const char* const kCoreOptionsHelp =
    "Core options (each sets generics; the defaults are those of the library):\n"
    "  --arch radix4|radix2|pipelined|radix2-lite   C_ARCH 1|2|3|4\n"
    "  --nfft-max N             largest length 2^N, C_NFFT_MAX\n"
    "  --nfft N                 run-time length 2^N per frame (C_HAS_NFFT=1)\n"
    "  --input-width W          input sample width in bits, C_INPUT_WIDTH\n"
    "  --twiddle-width W        twiddle width in bits, C_TWIDDLE_WIDTH\n"
    "  --scaling unscaled|schedule|bfp   C_HAS_SCALING and C_HAS_BFP\n"
    "  --schedule S0,S1,...     right shift per stage, first stage first (scheduled\n"
    "                           scaling; by default one bit per radix-2 stage and\n"
    "                           two per radix-4 stage)\n"
    "  --rounding truncate|convergent    C_HAS_ROUNDING\n"
    "  --float                  IEEE single-precision data (C_USE_FLT_PT=1,\n"
    "                           C_INPUT_WIDTH=32)\n"
    "  --inverse                inverse transform (default forward)\n"
    "  NAME=VALUE               any generic by name, e.g. C_ARCH=3\n";

namespace {

struct Word {
    const char* word;
    int32_t value;
};

int32_t chooseWord(const std::string& option, const std::string& value, std::initializer_list<Word> words) {
    std::string expected;
    for (const Word& w : words) {
        if (value == w.word) return w.value;
        expected += expected.empty() ? w.word : std::string("|") + w.word;
    }
    usageError(option + ": expected " + expected + ", got '" + value + "'");
}

std::vector<int32_t> parseSchedule(const std::string& text) {
    std::vector<int32_t> schedule;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        schedule.push_back(parseInt32(item, "--schedule value " + std::to_string(schedule.size())));
        if (comma == std::string::npos) return schedule;
        start = comma + 1;
    }
}

bool parseGeneric(const std::string& arg, Generics& g) {
    const size_t eq = arg.find('=');
    if (arg.compare(0, 2, "C_") != 0 || eq == std::string::npos) return false;
    const std::string name = arg.substr(0, eq);
    for (const GenericField& f : kGenericFields) {
        if (name == f.name) {
            g.*f.member = parseInt32(arg.substr(eq + 1), name);
            return true;
        }
    }
    std::string names;
    for (const GenericField& f : kGenericFields) names += std::string(" ") + f.name;
    usageError("unknown generic '" + name + "'; the generics are" + names);
}

}  // namespace

bool parseCoreOption(ArgReader& r, CoreOptions& o) {
    Generics& g = o.generics;
    if (parseGeneric(r.peek(), g)) {
        r.take();
        return true;
    }
    if (auto v = r.value("--arch")) {
        g.C_ARCH = chooseWord("--arch", *v, {{"radix4", 1}, {"radix2", 2}, {"pipelined", 3}, {"radix2-lite", 4}});
    } else if (auto v = r.value("--nfft-max")) {
        g.C_NFFT_MAX = parseInt32(*v, "--nfft-max");
    } else if (auto v = r.value("--nfft")) {
        o.frame.nfft = parseInt32(*v, "--nfft");
        g.C_HAS_NFFT = 1;
    } else if (auto v = r.value("--input-width")) {
        g.C_INPUT_WIDTH = parseInt32(*v, "--input-width");
    } else if (auto v = r.value("--twiddle-width")) {
        g.C_TWIDDLE_WIDTH = parseInt32(*v, "--twiddle-width");
    } else if (auto v = r.value("--scaling")) {
        const int32_t s = chooseWord("--scaling", *v, {{"unscaled", 0}, {"schedule", 1}, {"bfp", 2}});
        g.C_HAS_SCALING = s > 0;
        g.C_HAS_BFP = s == 2;
    } else if (auto v = r.value("--schedule")) {
        o.frame.schedule = parseSchedule(*v);
    } else if (auto v = r.value("--rounding")) {
        g.C_HAS_ROUNDING = chooseWord("--rounding", *v, {{"truncate", 0}, {"convergent", 1}});
    } else if (r.flag("--float")) {
        g.C_USE_FLT_PT = 1;
        g.C_INPUT_WIDTH = 32;
    } else if (r.flag("--inverse")) {
        o.frame.direction = 0;
    } else {
        return false;
    }
    return true;
}

Core::Core(const CoreOptions& o)
    : generics_(o.generics),
      state_(velmor_ip_vfft_v8_0_create_state(o.generics), velmor_ip_vfft_v8_0_destroy_state),
      choice_(o.frame) {
    if (!state_) throw Failure(kExitFailure, "");
    ports_ = rulesAt(0);
    defaults_ = settings({}, "", kExitUsage);
}

velmor_ip_vfft_v8_0_description Core::rulesAt(int32_t nfft) const {
    velmor_ip_vfft_v8_0_description d;
    const int32_t code = velmor_ip_vfft_v8_0_describe(generics_, nfft, &d);
    if (code != 0)
        dataError("the library cannot describe the core at nfft " + std::to_string(nfft) + " (code " +
                  std::to_string(code) + ")");
    return d;
}

FrameSettings Core::settings(const FrameChoice& c, const std::string& what, int exitCode) const {
    // A failure names the option, or the field of the frame's record.
    const auto fail = [&](const char* option, const char* field, const std::string& message) {
        throw Failure(exitCode, (what.empty() ? option : what + ": " + field) + ": " + message);
    };
    FrameSettings s;
    s.nfft = c.nfft ? *c.nfft : choice_.nfft ? *choice_.nfft : ports_.nfft_max;
    if (s.nfft < ports_.nfft_min || s.nfft > ports_.nfft_max) {
        if (!generics_.C_HAS_NFFT)
            fail("--nfft", "nfft", "a run-time length needs C_HAS_NFFT=1, but C_HAS_NFFT=0 was given");
        fail("--nfft", "nfft",
             std::to_string(s.nfft) + " is out of range; expected " + std::to_string(ports_.nfft_min) +
                 " to C_NFFT_MAX = " + std::to_string(ports_.nfft_max));
    }
    s.direction = c.direction ? *c.direction : choice_.direction ? *choice_.direction : 1;
    if (s.direction != 0 && s.direction != 1)
        fail("--inverse", "direction", std::to_string(s.direction) + " is neither 1 (forward) nor 0 (inverse)");
    const velmor_ip_vfft_v8_0_description d = rulesAt(s.nfft);
    const auto given = [](const std::optional<std::vector<int32_t>>& v) { return v && !v->empty(); };
    const std::vector<int32_t>* schedule = given(c.schedule) ? &*c.schedule
                                           : given(choice_.schedule) ? &*choice_.schedule
                                                                     : nullptr;
    if (d.stages == 0) {
        if (schedule)
            fail("--schedule", "scaling_sch",
                 "this core takes no scaling schedule; it applies to fixed-point cores with "
                 "--scaling schedule (C_HAS_SCALING=1 C_HAS_BFP=0 C_USE_FLT_PT=0)");
        return s;
    }
    if (!schedule) {
        s.schedule.assign(d.default_schedule, d.default_schedule + d.stages);
        return s;
    }
    if (schedule->size() != size_t(d.stages))
        fail("--schedule", "scaling_sch",
             std::to_string(schedule->size()) + " values; a " + std::to_string(s.points()) +
                 "-point frame of this core has " + std::to_string(d.stages) +
                 " stages, one value each, first stage first");
    for (int32_t i = 0; i < d.stages; ++i)
        if ((*schedule)[i] < 0 || (*schedule)[i] > d.schedule_max[i])
            fail("--schedule", "scaling_sch",
                 "stage " + std::to_string(i) + " is given " + std::to_string((*schedule)[i]) + "; expected 0 to " +
                     std::to_string(d.schedule_max[i]));
    s.schedule = *schedule;
    return s;
}

CodeFormat Core::inputCodes() const { return {ports_.float_mode != 0, ports_.input_width, ports_.input_point}; }

CodeFormat Core::outputCodes() const { return {ports_.float_mode != 0, ports_.output_width, ports_.output_point}; }

std::vector<FrameResult> Core::transform(const std::vector<FrameIn>& frames) {
    const FrameSettings& first = frames.front().settings;
    const size_t n = size_t(first.points()), k = frames.size(), stages = first.schedule.size();
    std::vector<double> inRe(k * n), inIm(k * n), outRe(k * n), outIm(k * n);
    std::vector<int32_t> directions(k), schedules(k * stages), blkExp(k), overflow(k);
    for (size_t f = 0; f < k; ++f) {
        const FrameIn& frame = frames[f];
        std::copy(frame.re.begin(), frame.re.end(), inRe.begin() + f * n);
        std::copy(frame.im.begin(), frame.im.end(), inIm.begin() + f * n);
        directions[f] = frame.settings.direction;
        std::copy(frame.settings.schedule.begin(), frame.settings.schedule.end(), schedules.begin() + f * stages);
    }
    const velmor_ip_vfft_v8_0_inputs in{first.nfft,       inRe.data(),
                                        int32_t(n),       inIm.data(),
                                        int32_t(n),       stages ? schedules.data() : nullptr,
                                        int32_t(stages),  first.direction};
    velmor_ip_vfft_v8_0_outputs out{outRe.data(), int32_t(n), outIm.data(), int32_t(n), 0, 0};
    velmor_ip_vfft_v8_0_batch batch{int64_t(k), 1, directions.data(), stages ? 1 : 0, blkExp.data(),
                                    overflow.data(), -1};
    const int32_t code = velmor_ip_vfft_v8_0_simulate_batch(state_.get(), in, &out, &batch);
    if (code != 0) {
        const size_t failed = batch.failed_frame >= 0 && size_t(batch.failed_frame) < k ? size_t(batch.failed_frame) : 0;
        dataError(frames[failed].context + ": the library rejected the call with code " + std::to_string(code));
    }
    std::vector<FrameResult> results(k);
    for (size_t f = 0; f < k; ++f) {
        results[f].re.assign(outRe.begin() + f * n, outRe.begin() + (f + 1) * n);
        results[f].im.assign(outIm.begin() + f * n, outIm.begin() + (f + 1) * n);
        results[f].blkExp = blkExp[f];
        results[f].overflow = overflow[f];
    }
    return results;
}

std::string Core::describe() const {
    const Generics& g = generics_;
    static const char* const archs[] = {"radix-4 burst I/O", "radix-2 burst I/O", "pipelined streaming I/O",
                                        "radix-2 lite burst I/O"};
    std::string s = archs[g.C_ARCH - 1];
    s += ", " + std::to_string(defaults_.points()) + " points";
    s += g.C_HAS_NFFT ? " (run-time length, largest " + std::to_string(1 << g.C_NFFT_MAX) + ")" : "";
    if (g.C_USE_FLT_PT) {
        s += ", IEEE single-precision data";
    } else {
        s += ", " + std::to_string(ports_.input_width) + "-bit input";
        s += ", " + std::to_string(ports_.output_width) + "-bit output";
    }
    s += ", " + std::to_string(g.C_TWIDDLE_WIDTH) + "-bit twiddles";
    if (g.C_USE_FLT_PT) {
        s += g.C_ARCH == 3 ? ", unscaled inside" : ", block floating point inside";
        return s + ", truncation";
    }
    if (!g.C_HAS_SCALING) {
        s += ", unscaled";
    } else if (g.C_HAS_BFP) {
        s += ", block floating point";
    } else {
        s += ", scaled by schedule ";
        const std::vector<int32_t>& schedule = defaults_.schedule;
        for (size_t i = 0; i < schedule.size(); ++i) s += (i ? "," : "") + std::to_string(schedule[i]);
    }
    return s + (g.C_HAS_ROUNDING ? ", convergent rounding" : ", truncation");
}

void Batcher::add(FrameIn frame) {
    if (!frames_.empty() && (frame.settings.nfft != frames_.front().settings.nfft || samples_ >= (size_t(1) << 16)))
        finish();
    samples_ += frame.re.size();
    frames_.push_back(std::move(frame));
}

void Batcher::finish() {
    if (frames_.empty()) return;
    const std::vector<FrameResult> results = core_.transform(frames_);
    for (size_t i = 0; i < frames_.size(); ++i) deliver_(frames_[i], results[i]);
    frames_.clear();
    samples_ = 0;
}

}  // namespace vfft_cli
