#include "core.h"

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
    "                           scaling; default one bit per radix-2 stage)\n"
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

// One bit of right shift per radix-2 stage and two per radix-4 stage undo
// each stage's largest growth, so inputs of magnitude below 1 stay in range;
// the final radix-2 stage of an odd length takes one.
std::vector<int32_t> defaultSchedule(int32_t arch, int nfft) {
    if (arch == 2 || arch == 4) return std::vector<int32_t>(nfft, 1);
    std::vector<int32_t> s((nfft + 1) / 2, 2);
    if (nfft % 2) s.back() = 1;
    return s;
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
        o.nfft = parseInt32(*v, "--nfft");
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
        o.schedule = parseSchedule(*v);
    } else if (auto v = r.value("--rounding")) {
        g.C_HAS_ROUNDING = chooseWord("--rounding", *v, {{"truncate", 0}, {"convergent", 1}});
    } else if (r.flag("--float")) {
        g.C_USE_FLT_PT = 1;
        g.C_INPUT_WIDTH = 32;
    } else if (r.flag("--inverse")) {
        o.direction = 0;
    } else {
        return false;
    }
    return true;
}

Core::Core(const CoreOptions& o)
    : generics_(o.generics),
      state_(velmor_ip_vfft_v8_0_create_state(o.generics), velmor_ip_vfft_v8_0_destroy_state),
      direction_(o.direction) {
    if (!state_) throw Failure(kExitFailure, "");
    const Generics& g = generics_;
    nfft_ = g.C_NFFT_MAX;
    if (o.nfft) {
        const int lowest = g.C_ARCH == 1 ? 6 : 3;
        if (!g.C_HAS_NFFT) usageError("--nfft: a run-time length needs C_HAS_NFFT=1, but C_HAS_NFFT=0 was given");
        if (*o.nfft < lowest || *o.nfft > g.C_NFFT_MAX)
            usageError("--nfft: " + std::to_string(*o.nfft) + " is out of range; expected " +
                       std::to_string(lowest) + " to C_NFFT_MAX = " + std::to_string(g.C_NFFT_MAX));
        nfft_ = *o.nfft;
    }
    if (scheduled()) {
        schedule_ = o.schedule ? *o.schedule : defaultSchedule(g.C_ARCH, nfft_);
    } else if (o.schedule) {
        usageError("--schedule: this core takes no scaling schedule; it applies to fixed-point cores with "
                   "--scaling schedule (C_HAS_SCALING=1 C_HAS_BFP=0 C_USE_FLT_PT=0)");
    }
}

bool Core::scheduled() const {
    return generics_.C_HAS_SCALING == 1 && generics_.C_HAS_BFP == 0 && generics_.C_USE_FLT_PT == 0;
}

Widths Core::widths() const {
    if (generics_.C_USE_FLT_PT) return {true, 32, 32};
    const int in = generics_.C_INPUT_WIDTH;
    return {false, in, generics_.C_HAS_SCALING ? in : in + generics_.C_NFFT_MAX + 1};
}

FrameResult Core::transform(std::vector<double> re, std::vector<double> im, const std::string& context) {
    FrameResult r;
    const int n = points();
    r.re.assign(n, 0.0);
    r.im.assign(n, 0.0);
    velmor_ip_vfft_v8_0_inputs in{nfft_,
                                  re.data(),
                                  static_cast<int32_t>(re.size()),
                                  im.data(),
                                  static_cast<int32_t>(im.size()),
                                  schedule_.data(),
                                  static_cast<int32_t>(schedule_.size()),
                                  direction_};
    velmor_ip_vfft_v8_0_outputs out{r.re.data(), n, r.im.data(), n, 0, 0};
    const int32_t code = velmor_ip_vfft_v8_0_bitacc_simulate(state_.get(), in, &out);
    if (code != 0) dataError(context + ": the library rejected the call with code " + std::to_string(code));
    r.blkExp = out.blk_exp;
    r.overflow = out.overflow;
    return r;
}

std::string Core::describe() const {
    const Generics& g = generics_;
    static const char* const archs[] = {"radix-4 burst I/O", "radix-2 burst I/O", "pipelined streaming I/O",
                                        "radix-2 lite burst I/O"};
    std::string s = archs[g.C_ARCH - 1];
    s += ", " + std::to_string(points()) + " points";
    s += g.C_HAS_NFFT ? " (run-time length, largest " + std::to_string(1 << g.C_NFFT_MAX) + ")" : "";
    if (g.C_USE_FLT_PT) {
        s += ", IEEE single-precision data";
    } else {
        s += ", " + std::to_string(g.C_INPUT_WIDTH) + "-bit input";
        s += ", " + std::to_string(widths().output) + "-bit output";
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
        for (size_t i = 0; i < schedule_.size(); ++i) s += (i ? "," : "") + std::to_string(schedule_[i]);
    }
    return s + (g.C_HAS_ROUNDING ? ", convergent rounding" : ", truncation");
}

}  // namespace vfft_cli
