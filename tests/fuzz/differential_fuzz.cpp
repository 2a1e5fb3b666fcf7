// Fuzz target comparing the two libraries: the same valid generics and the
// same calls (mostly accepted ones, over frames with every kind of value) go
// to the machine-integer library and to the reference library, each with its
// own copies of the arrays. Any difference in return code, messages, outputs
// record, output arrays (bit for bit, NaNs included) or the inputs left
// after the call is a fault.
#include <string>

#include "Call.h"

namespace {

const Library* native;
const Library* reference;
StderrCapture* capture;

// The two libraries' states for one set of generics; both see the same calls
// in the same order, so that what a state carries between calls is compared too.
struct Pair {
    velmor_ip_vfft_v8_0_state* native = nullptr;
    velmor_ip_vfft_v8_0_state* reference = nullptr;
};
Pair* states;

// The configurations compared: every architecture in every scaling mode and
// in floating-point mode, twice, with input and twiddle widths from both ends
// of their range and between, both rounding modes, fixed and run-time
// lengths up to 2^8 (the reference datapath under the fuzzing
// instrumentation takes tens of milliseconds for 2^9 points). A fixed table keeps the states of all of them alive, so
// that no input pays for building a reference engine.
constexpr int kConfigurations = 32;

velmor_ip_vfft_v8_0_generics configuration(int i) {
    constexpr int32_t kWidths[8] = {8, 9, 12, 16, 18, 24, 33, 34};
    const int32_t arch = 1 + i % 4;
    const int mode = (i / 4) % 4;  // unscaled, scheduled, block floating point, floating point
    const int second = i / 16;
    velmor_ip_vfft_v8_0_generics g;
    g.C_ARCH = arch;
    g.C_NFFT_MAX = arch == 1 ? 7 + second : second ? 7 : mode == 0 ? 3 : 4 + mode % 2;
    g.C_HAS_NFFT = (mode + second) % 2;
    g.C_USE_FLT_PT = mode == 3;
    g.C_INPUT_WIDTH = mode == 3 ? 32 : kWidths[(i * 7) % 8];
    g.C_TWIDDLE_WIDTH = kWidths[(i * 5 + 3) % 8];
    g.C_HAS_SCALING = mode == 1 || mode == 2;
    g.C_HAS_BFP = mode == 2;
    g.C_HAS_ROUNDING = (i / 2 + second) % 2;
    return g;
}

void compareArrays(const char* name, const Array& a, const Array& b, const std::string& where) {
    for (int32_t i = 0; i < a.n; ++i) {
        const double x = a.p[static_cast<size_t>(i)], y = b.p[static_cast<size_t>(i)];
        if (bitsOf(x) != bitsOf(y)) {
            char text[160];
            std::snprintf(text, sizeof text, "%s[%d]: native %016llx (%.17g), reference %016llx (%.17g)", name, i,
                          static_cast<unsigned long long>(bitsOf(x)), x, static_cast<unsigned long long>(bitsOf(y)), y);
            fault(where + text);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    native = new Library(VFFT_NATIVE_LIBRARY);
    reference = new Library(VFFT_REFERENCE_LIBRARY);
    capture = new StderrCapture;
    states = new Pair[kConfigurations];
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bytes in(data, size);
    const int which = in.byte() % kConfigurations;
    const velmor_ip_vfft_v8_0_generics g = configuration(which);
    Pair* pair = &states[which];
    if (pair->native == nullptr) {
        pair->native = native->create(g);
        pair->reference = reference->create(g);
        if (pair->native == nullptr || pair->reference == nullptr) fault("valid generics refused: " + describe(g));
    }

    // Frames that invalidate their results are slow on the default library.
    const bool specials = oneIn(16, data, size);
    const int calls = 1 + in.byte() % 3;
    for (int k = 0; k < calls; ++k) {
        // The same bytes make both calls; only a few of them stray.
        const bool wild = in.byte() < 24;
        Bytes again = in;
        Call a(in, g, wild, specials);
        Call b(again, g, wild, specials);
        const int32_t ca = a.run(*native, pair->native, *capture);
        const int32_t cb = b.run(*reference, pair->reference, *capture);
        const std::string where = describe(g) + ", call " + std::to_string(k) + ": ";
        if (ca != cb) fault(where + "return code " + std::to_string(ca) + " vs " + std::to_string(cb));
        if (a.messages != b.messages) fault(where + "messages\n" + a.messages + "--- vs ---\n" + b.messages);
        if (a.out.xk_re_size != b.out.xk_re_size || a.out.xk_im_size != b.out.xk_im_size)
            fault(where + "output sizes");
        if (a.out.blk_exp != b.out.blk_exp)
            fault(where + "blk_exp " + std::to_string(a.out.blk_exp) + " vs " + std::to_string(b.out.blk_exp));
        if (a.out.overflow != b.out.overflow)
            fault(where + "overflow " + std::to_string(a.out.overflow) + " vs " + std::to_string(b.out.overflow));
        compareArrays("xk_re", a.xkRe, b.xkRe, where);
        compareArrays("xk_im", a.xkIm, b.xkIm, where);
        compareArrays("xn_re", a.xnRe, b.xnRe, where);
        compareArrays("xn_im", a.xnIm, b.xnIm, where);
    }
    return 0;
}
