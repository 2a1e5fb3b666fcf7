// A state and a simulation call for exercising the argument checks.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "StderrCapture.h"
#include "api/State.h"

using Generics = velmor_ip_vfft_v8_0_generics;

inline Generics makeGenerics(int32_t arch, int32_t nfftMax, int32_t hasNfft, int32_t scaling = 1,
                             int32_t bfp = 0, int32_t floatMode = 0)
{
    Generics g = velmor_ip_vfft_v8_0_get_default_generics();
    g.C_ARCH = arch;
    g.C_NFFT_MAX = nfftMax;
    g.C_HAS_NFFT = hasNfft;
    g.C_HAS_SCALING = scaling;
    g.C_HAS_BFP = bfp;
    g.C_USE_FLT_PT = floatMode;
    g.C_INPUT_WIDTH = floatMode ? 32 : 16;
    return g;
}

// A state whose engine slot for its architecture is taken. Where no engine
// was built, the slot holds the address of a placeholder that is never
// dereferenced: every call made on such a state fails a check after the
// engine test, so it never reaches the data path. The slots are restored
// before the state is destroyed.
class TestState {
public:
    explicit TestState(const Generics& g) : st_(velmor_ip_vfft_v8_0_create_state(g))
    {
        EXPECT_NE(st_, nullptr);
        if (st_ == nullptr) {
            return;
        }
        saved_ = *st_;
        switch (g.C_ARCH) {
        case 1:
            if (st_->r4 == nullptr) st_->r4 = reinterpret_cast<R4_loop*>(placeholder_);
            break;
        case 3:
            if (st_->r22 == nullptr) st_->r22 = reinterpret_cast<R22_pipeline*>(placeholder_);
            break;
        default:
            if (st_->r2 == nullptr) st_->r2 = reinterpret_cast<R2_loop*>(placeholder_);
            break;
        }
    }
    ~TestState()
    {
        if (st_ != nullptr) {
            st_->r4 = saved_.r4;
            st_->r2 = saved_.r2;
            st_->r22 = saved_.r22;
            velmor_ip_vfft_v8_0_destroy_state(st_);
        }
    }
    TestState(const TestState&) = delete;
    TestState& operator=(const TestState&) = delete;

    velmor_ip_vfft_v8_0_state* get() const { return st_; }

private:
    velmor_ip_vfft_v8_0_state* st_;
    velmor_ip_vfft_v8_0_state saved_{};
    alignas(16) unsigned char placeholder_[16]{};
};

inline int32_t stageCount(int32_t arch, int32_t nfft)
{
    return arch == 1 || arch == 3 ? (nfft + 1) / 2 : nfft;
}

// Arguments of one call that pass every check for 2^nfft points; tests spoil one of them.
struct SimulateCall {
    SimulateCall(int32_t nfft, int32_t stages)
        : re(size_t{1} << nfft, 0.25),
          im(size_t{1} << nfft, -0.5),
          schedule(static_cast<size_t>(stages), 1),
          xkRe(size_t{1} << nfft, 7.0),
          xkIm(size_t{1} << nfft, -7.0)
    {
        const int32_t points = int32_t{1} << nfft;
        in.nfft = nfft;
        in.xn_re = re.data();
        in.xn_re_size = points;
        in.xn_im = im.data();
        in.xn_im_size = points;
        in.scaling_sch = schedule.data();
        in.scaling_sch_size = stages;
        in.direction = 1;
        out.xk_re = xkRe.data();
        out.xk_re_size = points;
        out.xk_im = xkIm.data();
        out.xk_im_size = points;
        out.blk_exp = 55;
        out.overflow = 66;
    }
    SimulateCall(const SimulateCall&) = delete;
    SimulateCall& operator=(const SimulateCall&) = delete;

    std::vector<double> re, im;
    std::vector<int32_t> schedule;
    std::vector<double> xkRe, xkIm;
    velmor_ip_vfft_v8_0_inputs in{};
    velmor_ip_vfft_v8_0_outputs out{};
};

struct Outcome {
    int32_t code;
    std::string err;
};

// Runs the call on st with outputs at `outputs` (normally &call.out) and
// checks that a failing call changed neither the state, nor the outputs
// record and arrays, nor the inputs.
inline Outcome simulate(velmor_ip_vfft_v8_0_state* st, SimulateCall& call,
                        velmor_ip_vfft_v8_0_outputs* outputs)
{
    const velmor_ip_vfft_v8_0_outputs outBefore = call.out;
    const std::vector<double> reBefore = call.re, imBefore = call.im;
    const std::vector<double> xkReBefore = call.xkRe, xkImBefore = call.xkIm;
    const std::vector<int32_t> scheduleBefore = call.schedule;
    velmor_ip_vfft_v8_0_state stateBefore{};
    if (st != nullptr) {
        stateBefore = *st;
    }
    Outcome o{-1, ""};
    o.err = captureStderr([&] { o.code = velmor_ip_vfft_v8_0_bitacc_simulate(st, call.in, outputs); });
    if (o.code != 0) {
        EXPECT_EQ(outBefore.xk_re, call.out.xk_re);
        EXPECT_EQ(outBefore.xk_re_size, call.out.xk_re_size);
        EXPECT_EQ(outBefore.xk_im, call.out.xk_im);
        EXPECT_EQ(outBefore.xk_im_size, call.out.xk_im_size);
        EXPECT_EQ(outBefore.blk_exp, call.out.blk_exp);
        EXPECT_EQ(outBefore.overflow, call.out.overflow);
        EXPECT_EQ(std::memcmp(reBefore.data(), call.re.data(), reBefore.size() * sizeof(double)), 0);
        EXPECT_EQ(std::memcmp(imBefore.data(), call.im.data(), imBefore.size() * sizeof(double)), 0);
        EXPECT_EQ(xkReBefore, call.xkRe) << "xk_re written";
        EXPECT_EQ(xkImBefore, call.xkIm) << "xk_im written";
        EXPECT_EQ(scheduleBefore, call.schedule);
        if (st != nullptr) {
            EXPECT_EQ(std::memcmp(&stateBefore.generics, &st->generics, sizeof st->generics), 0);
            EXPECT_EQ(std::memcmp(&stateBefore.config, &st->config, sizeof st->config), 0);
            EXPECT_EQ(stateBefore.twiddle_rom, st->twiddle_rom);
            EXPECT_EQ(stateBefore.r4, st->r4);
            EXPECT_EQ(stateBefore.r2, st->r2);
            EXPECT_EQ(stateBefore.r22, st->r22);
        }
    }
    return o;
}

inline Outcome simulate(const TestState& st, SimulateCall& call)
{
    return simulate(st.get(), call, &call.out);
}
