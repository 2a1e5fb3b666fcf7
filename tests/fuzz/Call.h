// One simulation call built from the fuzzer's bytes, with caller-owned arrays
// of exactly the sizes it claims (so that any access beyond a claim is caught
// by the address checks), and the record of everything the call may change.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "Library.h"
#include "Samples.h"

// Exact-size heap array; a length of zero still gives a distinct pointer.
struct Array {
    explicit Array(int32_t length) : n(std::max(length, 0)), p(new double[static_cast<size_t>(n)]) {}
    int32_t n;
    std::unique_ptr<double[]> p;
};

// A canary that no result can carry: a NaN with a distinctive payload.
constexpr uint64_t kCanary = 0x7ff4000000c0ffeeull;

struct Call {
    // Which arguments are replaced by null pointers.
    enum Null : uint8_t { State = 1, Outputs = 2, XnRe = 4, XnIm = 8, Schedule = 16, XkRe = 32, XkIm = 64 };

    int32_t nfft = 0;      // as passed
    int32_t points = 0;    // 2^(the length exponent the call uses), or 2^C_NFFT_MAX when nfft is refused
    uint8_t nulls = 0;
    int32_t direction = 1;
    int32_t sizes[5] = {};  // xn_re, xn_im, scaling_sch, xk_re, xk_im as claimed
    std::vector<double> re, im;  // the frame as made (points values), to compare after the call
    std::vector<int32_t> schedule;  // the schedule as made, to compare after the call
    Array xnRe{0}, xnIm{0}, xkRe{0}, xkIm{0};
    std::unique_ptr<int32_t[]> sch;
    velmor_ip_vfft_v8_0_outputs out{};

    // A call on a state with generics g. With `wild` the arguments stray
    // freely (null pointers, wrong sizes, any nfft, schedule or direction);
    // without it they are mostly the ones the call accepts.
    // With `specials` the frame may hold values that invalidate it.
    Call(Bytes& in, const velmor_ip_vfft_v8_0_generics& g, bool wild, bool specials) {
        const int32_t low = g.C_ARCH == 1 ? 6 : 3;
        const int32_t pick = in.byte();
        if (!wild || pick < 240)
            nfft = low - (wild ? 1 : 0) + pick % (g.C_NFFT_MAX - low + (wild ? 3 : 1));
        else
            nfft = in.i32();
        const bool usable = !g.C_HAS_NFFT || (nfft >= low && nfft <= g.C_NFFT_MAX);
        const int32_t used = g.C_HAS_NFFT && usable ? nfft : g.C_NFFT_MAX;
        points = 1 << used;
        if (wild && in.byte() < 32) nulls = in.byte() & 0x7f;

        re.resize(points);
        im.resize(points);
        samples::fill(in, re.data(), im.data(), points, g.C_USE_FLT_PT ? 32 : g.C_INPUT_WIDTH, g.C_USE_FLT_PT == 1,
                      specials);

        const bool radix4Stages = g.C_ARCH == 1 || g.C_ARCH == 3;
        const int32_t stages = radix4Stages ? (used + 1) / 2 : used;
        sizes[0] = size(in, points, wild);
        sizes[1] = size(in, points, wild);
        sizes[2] = size(in, stages, wild);
        sizes[3] = outputSize(in, wild);
        sizes[4] = outputSize(in, wild);

        const int32_t schLength = std::clamp(sizes[2], 0, stages + 4);
        sch.reset(new int32_t[static_cast<size_t>(schLength)]);
        for (int32_t k = 0; k < schLength; ++k) {
            const uint8_t b = in.byte();
            int32_t v = b % 4;
            if (radix4Stages && (used & 1) && k == stages - 1 && b < 160) v = b % 2;
            if (b >= 248) v = b == 255 ? in.i32() : b == 254 ? 4 : -1;
            sch[static_cast<size_t>(k)] = v;
        }
        schedule.assign(sch.get(), sch.get() + schLength);
        const uint8_t d = in.byte();
        direction = d < 248 || !wild ? d & 1 : in.i32();

        xnRe = input(sizes[0], re);
        xnIm = input(sizes[1], im);
        xkRe = output(sizes[3]);
        xkIm = output(sizes[4]);
        out = {nulls & XkRe ? nullptr : xkRe.p.get(), sizes[3], nulls & XkIm ? nullptr : xkIm.p.get(), sizes[4],
               -777, -777};
    }

    velmor_ip_vfft_v8_0_inputs inputs() const {
        return {nfft,
                nulls & XnRe ? nullptr : xnRe.p.get(), sizes[0],
                nulls & XnIm ? nullptr : xnIm.p.get(), sizes[1],
                nulls & Schedule ? nullptr : sch.get(), sizes[2],
                direction};
    }

    // Runs the call on the library; returns its code and sets `messages`.
    int32_t run(const Library& lib, velmor_ip_vfft_v8_0_state* st, StderrCapture& capture) {
        int32_t code = -1;
        messages = capture.run([&] { code = lib.simulate(nulls & State ? nullptr : st, inputs(), nulls & Outputs ? nullptr : &out); });
        return code;
    }

    std::string messages;

private:
    // The claimed size: mostly the right one, sometimes next to it, or any.
    static int32_t size(Bytes& in, int32_t right, bool wild) {
        const uint8_t b = in.byte();
        if (!wild || b < 200) return right;
        if (b < 240) return right + b % 5 - 2;
        return in.i32();
    }
    // Output capacity: the frame's length or a little more, unless it strays.
    int32_t outputSize(Bytes& in, bool wild) const {
        const int32_t claimed = size(in, points, wild);
        return claimed == points ? points + (in.byte() & 3) : claimed;
    }
    // Input array of the claimed length, at most a few values beyond the frame.
    Array input(int32_t claimed, const std::vector<double>& values) const {
        Array a(std::min(claimed, points + 4));
        for (int32_t i = 0; i < a.n; ++i) a.p[static_cast<size_t>(i)] = i < points ? values[static_cast<size_t>(i)] : 0.25;
        return a;
    }
    Array output(int32_t claimed) const {
        Array a(std::min(claimed, points + 4));
        const double canary = samples::fromBits(kCanary);
        std::fill(a.p.get(), a.p.get() + a.n, canary);
        return a;
    }
};
