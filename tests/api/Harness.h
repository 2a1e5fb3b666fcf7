// Shared setup of the interface tests: generics, a simulation call that passes
// every check until a test spoils it, and the capture of standard error.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <iomanip>
#include <locale>
#include <string>
#include <vector>

#include "api/State.h"
#include "vfft_v8_0_ext.h"

using Generics = velmor_ip_vfft_v8_0_generics;

// A host locale that groups the digits of numbers in threes.
struct Grouping : std::numpunct<char> {
    std::string do_grouping() const override { return "\3"; }
};

// Runs the action with file descriptor 2 redirected to a temporary file, a
// grouping global locale and std::cerr formatted the way a careless host might
// leave it; returns the text.
template <class Action>
std::string captureStderr(Action&& action)
{
    std::FILE* sink = std::tmpfile();
    const int saved = dup(2);
    dup2(fileno(sink), 2);
    std::ios format(nullptr);
    format.copyfmt(std::cerr);
    std::cerr << std::hex << std::showpos << std::fixed << std::setprecision(2) << std::setfill('*') << std::setw(90);
    const std::locale host = std::locale::global(std::locale(std::locale::classic(), new Grouping));
    action();
    std::locale::global(host);
    std::cerr.copyfmt(format);
    dup2(saved, 2);
    close(saved);
    std::string text(65536, '\0');
    std::rewind(sink);
    text.resize(std::fread(text.data(), 1, text.size(), sink));
    std::fclose(sink);
    return text;
}

// A message sink that appends each line, with the newline standard error
// would carry, to the std::string at user.
inline void collectLine(void* user, const char* line) { *static_cast<std::string*>(user) += std::string(line) + "\n"; }

inline Generics cfg(int32_t arch, int32_t nfftMax, int32_t hasNfft, int32_t scaling = 1, int32_t bfp = 0, int32_t flt = 0)
{
    return {nfftMax, arch, hasNfft, flt, flt ? 32 : 16, 16, scaling, bfp, 0};
}

// Arguments of a call of 2^nfft points (arrays of at least 8, at most 65536)
// that pass every check, with one shift per stage; the flags ask for a null
// state or outputs pointer, or a state that lacks its engine.
struct Call {
    Call(const Generics& g, int32_t nfft)
        : k(std::clamp(nfft, 3, 16)), n(1 << k), re(n, 0.25), im(n, -0.5), xkRe(n, 7.0), xkIm(n, -7.0)
    {
        in = {nfft, re.data(), n, im.data(), n, nullptr, 0, 1};
        out = {xkRe.data(), n, xkIm.data(), n, 55, 66};
        schedule(std::vector<int32_t>(g.C_ARCH % 2 ? (k + 1) / 2 : k, 1));
    }
    void schedule(std::vector<int32_t> values)
    {
        sch = std::move(values);
        in.scaling_sch = sch.data();
        in.scaling_sch_size = static_cast<int32_t>(sch.size());
    }
    int32_t k, n;  // length exponent of the arrays and their size
    std::vector<double> re, im, xkRe, xkIm;
    std::vector<int32_t> sch;
    velmor_ip_vfft_v8_0_inputs in{};
    velmor_ip_vfft_v8_0_outputs out{};
    bool nullState = false, nullOutputs = false, noEngine = false;
};

using Tweak = std::function<void(Call&)>;

struct Outcome {
    int32_t code;
    std::string err;
    velmor_ip_vfft_v8_0_outputs out;  // the record after the first call
};

// Makes the call twice on a fresh state for g, the second time with a message
// sink on the state: both calls must return the same code, the sink must
// receive exactly the lines the first call wrote to standard error (a call
// without a state still writes there), and a failing call must leave the
// state, the inputs and the outputs record and arrays exactly as they were.
inline Outcome simulate(const Generics& g, int32_t nfft, const Tweak& tweak)
{
    velmor_ip_vfft_v8_0_state* st = velmor_ip_vfft_v8_0_create_state(g);
    const velmor_ip_vfft_v8_0_state built = *st;
    Call c(g, nfft);
    tweak(c);
    if (c.noEngine) st->datapath = nullptr;
    const auto image = [&] {
        std::string bytes(reinterpret_cast<const char*>(&c.out), sizeof c.out);
        bytes.append(reinterpret_cast<const char*>(st), sizeof *st);
        for (const auto* v : {&c.re, &c.im, &c.xkRe, &c.xkIm}) bytes.append(reinterpret_cast<const char*>(v->data()), v->size() * sizeof(double));
        return bytes.append(reinterpret_cast<const char*>(c.sch.data()), c.sch.size() * sizeof(int32_t));
    };
    const std::string before = image();
    Outcome o[2];
    std::string sunk;
    for (Outcome& one : o) {
        one.err = captureStderr([&] { one.code = velmor_ip_vfft_v8_0_bitacc_simulate(c.nullState ? nullptr : st, c.in, c.nullOutputs ? nullptr : &c.out); });
        one.out = c.out;
        const bool first = &one == o;
        velmor_ip_vfft_v8_0_set_sink(st, first ? collectLine : nullptr, first ? &sunk : nullptr);
    }
    EXPECT_EQ(o[1].code, o[0].code);
    EXPECT_EQ(c.nullState ? o[1].err : sunk, o[0].err);
    EXPECT_EQ(c.nullState ? sunk : o[1].err, "");
    EXPECT_TRUE(o[0].code == 0 || image() == before) << "a failing call changed its arguments or the state";
    *st = built;
    velmor_ip_vfft_v8_0_destroy_state(st);
    return o[0];
}
