// Fuzz target on the C interface of either library (the first byte chooses):
// any generics, then up to three calls with arguments that stray freely.
// Besides the address, leak and undefined-behaviour checks of the build, every
// answer is held to the interface's promises:
// - create_state returns a state and writes nothing, or returns null with one
//   create_state error line;
// - a refused call returns a code 1..23 with one error line that names the
//   argument of its code (after the ignored-nfft warning at most), and leaves
//   the outputs record, the output arrays, the input arrays and the schedule
//   as they were;
// - an accepted call sets both sizes to the frame's length, writes nothing
//   past it, reports the block exponent and the overflow flag its scaling
//   mode allows, leaves fixed-point inputs alone and changes floating-point
//   inputs only by flushing subnormal singles to +0.0; a floating-point frame
//   with an infinity or NaN gives NaN everywhere, a fixed-point frame without
//   NaN gives finite results.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "Call.h"

namespace {

const Library* native;
const Library* reference;
StderrCapture* capture;
RecentStates<velmor_ip_vfft_v8_0_state*>* referenceStates;

constexpr const char* kCreateError = "ERROR:vfft_v8_0:create_state called with ";
constexpr const char* kCallError = "ERROR:vfft_v8_0:simulate called with ";
constexpr const char* kCallWarning = "WARNING:vfft_v8_0:simulate called with ";

// The part of the error line that names the refused argument, by code.
constexpr const char* kCodeText[24] = {
    nullptr,
    "null state structure",
    "null output structure",
    "corrupted state structure",
    "corrupted state structure",
    "corrupted state structure",
    "out of legal range 6 to C_NFFT_MAX",
    "out of legal range 3 to C_NFFT_MAX",
    "null pointer for xn_re input",
    "incorrect xn_re_size input",
    "invalid real data value: xn_re[",
    "null pointer for xn_im input",
    "incorrect xn_im_size input",
    "invalid imaginary data value: xn_im[",
    "null pointer for scaling_sch input",
    ": must be ceil(nfft/2) = ",
    ": must be nfft = ",
    "invalid scaling value: scaling_sch[",
    "invalid scaling value: scaling value in the final stage",
    "invalid direction input",
    "null pointer for xk_re output",
    "null pointer for xk_im output",
    "too small a value for xk_re_size",
    "too small a value for xk_im_size",
};

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        if (end == std::string::npos) fault("a message without its newline: " + text.substr(start));
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

// A generic: mostly within one of its legal range, sometimes any value.
int32_t generic(Bytes& in, int32_t lo, int32_t hi) {
    const uint8_t b = in.byte();
    if (b < 240) return lo - 1 + b % (hi - lo + 3);
    return in.i32();
}

// C_NFFT_MAX: legal lengths up to 2^8, so that executions stay fast (the
// reference datapath under the fuzzing instrumentation takes tens of
// milliseconds for 2^9 points), and values out of range.
int32_t lengthGeneric(Bytes& in) {
    const int32_t v = generic(in, 3, 8);
    return v > 8 && v <= 16 ? v + 8 : v;
}

// Generics decoded field by field, or the library's defaults with a shorter
// length and one more field changed.
velmor_ip_vfft_v8_0_generics generics(Bytes& in, const Library& lib) {
    velmor_ip_vfft_v8_0_generics g;
    if (in.byte() < 32) {
        g = lib.defaults();
        g.C_NFFT_MAX = lengthGeneric(in);
        int32_t* fields[8] = {&g.C_ARCH, &g.C_HAS_NFFT, &g.C_USE_FLT_PT, &g.C_INPUT_WIDTH,
                              &g.C_TWIDDLE_WIDTH, &g.C_HAS_SCALING, &g.C_HAS_BFP, &g.C_HAS_ROUNDING};
        const int k = in.byte() % 8;
        *fields[k] = k == 0 ? generic(in, 1, 4) : k == 3 || k == 4 ? generic(in, 8, 34) : generic(in, 0, 1);
        return g;
    }
    g.C_NFFT_MAX = lengthGeneric(in);
    g.C_ARCH = generic(in, 1, 4);
    g.C_HAS_NFFT = generic(in, 0, 1);
    g.C_USE_FLT_PT = generic(in, 0, 1);
    g.C_INPUT_WIDTH = g.C_USE_FLT_PT == 1 && in.byte() < 200 ? 32 : generic(in, 8, 34);
    g.C_TWIDDLE_WIDTH = generic(in, 8, 34);
    g.C_HAS_SCALING = generic(in, 0, 1);
    g.C_HAS_BFP = generic(in, 0, 1);
    g.C_HAS_ROUNDING = generic(in, 0, 1);
    return g;
}

// A double that becomes an infinity or a NaN as a single.
bool specialSingle(double x) { return std::isnan(x) || std::fabs(x) >= std::ldexp(2.0 - std::ldexp(1.0, -24), 127); }

// A double that becomes a subnormal single (rounding to nearest, ties to even).
bool subnormalSingle(double x) {
    const double a = std::fabs(x);
    return a > std::ldexp(1.0, -150) && a < std::ldexp(1.0, -126) - std::ldexp(1.0, -150);
}

void checkRefused(const Call& c, int32_t code, const velmor_ip_vfft_v8_0_outputs& before) {
    const std::vector<std::string> text = lines(c.messages);
    if (text.empty() || !startsWith(text.back(), kCallError)) fault("code " + std::to_string(code) + " without its error line");
    for (size_t k = 0; k + 1 < text.size(); ++k)
        if (!startsWith(text[k], kCallWarning) || text[k].find("different from C_NFFT_MAX") == std::string::npos)
            fault("unexpected line before the error: " + text[k]);
    if (text.size() > 2) fault("more than one warning before the error");
    if (text.back().find(kCodeText[code]) == std::string::npos)
        fault("code " + std::to_string(code) + " with the message " + text.back());
    const velmor_ip_vfft_v8_0_outputs& o = c.out;
    if (o.xk_re != before.xk_re || o.xk_im != before.xk_im || o.xk_re_size != before.xk_re_size ||
        o.xk_im_size != before.xk_im_size || o.blk_exp != before.blk_exp || o.overflow != before.overflow)
        fault("a refused call changed the outputs record");
    for (const Array* a : {&c.xkRe, &c.xkIm})
        for (int32_t i = 0; i < a->n; ++i)
            if (bitsOf(a->p[static_cast<size_t>(i)]) != kCanary) fault("a refused call wrote an output array");
    if (!sameBits(c.xnRe.p.get(), c.re.data(), static_cast<size_t>(std::min(c.xnRe.n, c.points))) ||
        !sameBits(c.xnIm.p.get(), c.im.data(), static_cast<size_t>(std::min(c.xnIm.n, c.points))))
        fault("a refused call changed an input array");
    if (!std::equal(c.schedule.begin(), c.schedule.end(), c.sch.get())) fault("a refused call changed the schedule");
}

void checkAccepted(const velmor_ip_vfft_v8_0_generics& g, const Call& c) {
    for (const std::string& line : lines(c.messages))
        if (!startsWith(line, kCallWarning)) fault("an accepted call wrote " + line);
    const velmor_ip_vfft_v8_0_outputs& o = c.out;
    const int32_t n = c.points;
    if (o.xk_re_size != n || o.xk_im_size != n) fault("output sizes are not the frame's length");
    for (const Array* a : {&c.xkRe, &c.xkIm})
        for (int32_t i = n; i < a->n; ++i)
            if (bitsOf(a->p[static_cast<size_t>(i)]) != kCanary) fault("a result written past the frame");
    const bool single = g.C_USE_FLT_PT == 1;
    const bool bfp = !single && g.C_HAS_SCALING == 1 && g.C_HAS_BFP == 1;
    const bool scheduled = !single && g.C_HAS_SCALING == 1 && g.C_HAS_BFP == 0;
    if (!bfp && o.blk_exp != 0) fault("block exponent " + std::to_string(o.blk_exp) + " without block floating point");
    if (bfp && (o.blk_exp < 0 || o.blk_exp > 3 * 16)) fault("block exponent " + std::to_string(o.blk_exp));
    if (o.overflow != 0 && !((single || scheduled) && o.overflow == 1))
        fault("overflow flag " + std::to_string(o.overflow));
    if (!std::equal(c.schedule.begin(), c.schedule.end(), c.sch.get())) fault("the schedule was changed");

    bool special = false;
    for (int32_t i = 0; i < n; ++i)
        for (const auto& [now, was] : {std::pair{c.xnRe.p[static_cast<size_t>(i)], c.re[static_cast<size_t>(i)]},
                                       std::pair{c.xnIm.p[static_cast<size_t>(i)], c.im[static_cast<size_t>(i)]}}) {
            if (!single) {
                if (bitsOf(now) != bitsOf(was)) fault("a fixed-point call changed its input");
                special = special || std::isnan(was);
                continue;
            }
            if (bitsOf(now) != (subnormalSingle(was) ? 0 : bitsOf(was)))
                fault("input " + std::to_string(was) + " became " + std::to_string(now));
            special = special || specialSingle(was);
        }
    for (int32_t i = 0; i < n; ++i)
        for (double r : {c.xkRe.p[static_cast<size_t>(i)], c.xkIm.p[static_cast<size_t>(i)]}) {
            if (single && special && !std::isnan(r)) fault("an invalidated floating-point frame gave a number");
            if (!special && !single && !std::isfinite(r)) fault("a fixed-point frame gave a non-finite result");
        }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    native = new Library(VFFT_NATIVE_LIBRARY);
    reference = new Library(VFFT_REFERENCE_LIBRARY);
    capture = new StderrCapture;
    referenceStates = new RecentStates<velmor_ip_vfft_v8_0_state*>(
        8, [](velmor_ip_vfft_v8_0_state*& st) { reference->destroy(st); });
    return 0;
}

// Default-library states live for one input; reference states stay in the
// cache for the inputs that follow.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bytes in(data, size);
    const bool onReference = in.byte() & 1;
    const Library& lib = onReference ? *reference : *native;
    const velmor_ip_vfft_v8_0_generics g = generics(in, lib);
    velmor_ip_vfft_v8_0_state* st = nullptr;
    if (velmor_ip_vfft_v8_0_state** kept = onReference ? referenceStates->find(g) : nullptr) {
        st = *kept;
    } else {
        const std::string created = capture->run([&] { st = lib.create(g); });
        if (st == nullptr) {
            const std::vector<std::string> text = lines(created);
            if (text.size() != 1 || !startsWith(text[0], kCreateError)) fault("refused generics reported as: " + created);
            lib.destroy(nullptr);
            return 0;
        }
        if (!created.empty()) fault("create_state wrote: " + created);
        if (onReference) referenceStates->add(g, st);
    }

    // Frames that invalidate their results are slow on the default library.
    const bool specials = onReference || oneIn(16, data, size);
    const int calls = 1 + in.byte() % 3;
    for (int k = 0; k < calls; ++k) {
        Call c(in, g, true, specials);
        const velmor_ip_vfft_v8_0_outputs before = c.out;
        const int32_t code = c.run(lib, st, *capture);
        if (code < 0 || code > 23) fault("return code " + std::to_string(code));
        if (code != 0)
            checkRefused(c, code, before);
        else
            checkAccepted(g, c);
    }
    if (!onReference) lib.destroy(st);
    return 0;
}
