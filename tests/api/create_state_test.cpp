// Generics validation, configuration derivation and release of states.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "StderrCapture.h"
#include "api/State.h"

namespace {

using Generics = velmor_ip_vfft_v8_0_generics;
using Field = int32_t Generics::*;

Generics defaults() { return velmor_ip_vfft_v8_0_get_default_generics(); }

struct Created {
    velmor_ip_vfft_v8_0_state* state;
    std::string err;
};

Created create(const Generics& g)
{
    Created c{nullptr, ""};
    c.err = captureStderr([&] { c.state = velmor_ip_vfft_v8_0_create_state(g); });
    return c;
}

// Expects rejection with exactly one line of text.
void expectRejected(const Generics& g, const std::string& message)
{
    const Created c = create(g);
    EXPECT_EQ(c.state, nullptr);
    EXPECT_EQ(c.err, message + "\n");
    velmor_ip_vfft_v8_0_destroy_state(c.state);
}

void expectAccepted(const Generics& g)
{
    const Created c = create(g);
    EXPECT_NE(c.state, nullptr);
    EXPECT_EQ(c.err, "");
    velmor_ip_vfft_v8_0_destroy_state(c.state);
}

const std::string kRange = "ERROR:vfft_v8_0:create_state called with invalid ";

TEST(CreateState, DefaultsAreTheDocumentedCoreAndAccepted)
{
    const Generics g = defaults();
    const int32_t expected[] = {10, 1, 0, 0, 16, 16, 1, 0, 0};
    const int32_t actual[] = {g.C_NFFT_MAX,    g.C_ARCH,          g.C_HAS_NFFT,
                              g.C_USE_FLT_PT,  g.C_INPUT_WIDTH,   g.C_TWIDDLE_WIDTH,
                              g.C_HAS_SCALING, g.C_HAS_BFP,       g.C_HAS_ROUNDING};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(actual[i], expected[i]) << "field " << i;
    }
    expectAccepted(g);
}

struct RangeCase {
    Field field;
    const char* name;
    int32_t low, high;
};

TEST(CreateState, RangeOfEveryGeneric)
{
    const RangeCase cases[] = {
        {&Generics::C_NFFT_MAX, "C_NFFT_MAX", 3, 16},
        {&Generics::C_ARCH, "C_ARCH", 1, 4},
        {&Generics::C_HAS_NFFT, "C_HAS_NFFT", 0, 1},
        {&Generics::C_USE_FLT_PT, "C_USE_FLT_PT", 0, 1},
        {&Generics::C_INPUT_WIDTH, "C_INPUT_WIDTH", 8, 34},
        {&Generics::C_TWIDDLE_WIDTH, "C_TWIDDLE_WIDTH", 8, 34},
        {&Generics::C_HAS_SCALING, "C_HAS_SCALING", 0, 1},
        {&Generics::C_HAS_BFP, "C_HAS_BFP", 0, 1},
        {&Generics::C_HAS_ROUNDING, "C_HAS_ROUNDING", 0, 1},
    };
    for (const RangeCase& c : cases) {
        const std::string range = kRange + c.name + " generic: must be in the range " +
                                  std::to_string(c.low) + " to " + std::to_string(c.high) +
                                  ": Value is ";
        for (const int32_t value : {c.low - 1, c.high + 1, INT32_MIN, INT32_MAX, c.low, c.high}) {
            SCOPED_TRACE(testing::Message() << c.name << " = " << value);
            // A radix-2 base with 32-bit input, so that no combination rule interferes
            // with the accepted boundaries.
            Generics g = defaults();
            g.C_ARCH = 2;
            g.C_INPUT_WIDTH = 32;
            g.*c.field = value;
            if (value < c.low || value > c.high) {
                expectRejected(g, range + std::to_string(value));
            } else {
                expectAccepted(g);
            }
        }
    }
}

TEST(CreateState, FirstFailingRangeCheckWinsWithFloatModeLast)
{
    const Field order[] = {&Generics::C_NFFT_MAX,      &Generics::C_ARCH,
                           &Generics::C_HAS_NFFT,      &Generics::C_INPUT_WIDTH,
                           &Generics::C_TWIDDLE_WIDTH, &Generics::C_HAS_SCALING,
                           &Generics::C_HAS_BFP,       &Generics::C_HAS_ROUNDING,
                           &Generics::C_USE_FLT_PT};
    const char* messages[] = {
        "C_NFFT_MAX generic: must be in the range 3 to 16: Value is 40",
        "C_ARCH generic: must be in the range 1 to 4: Value is 40",
        "C_HAS_NFFT generic: must be in the range 0 to 1: Value is 40",
        "C_INPUT_WIDTH generic: must be in the range 8 to 34: Value is 40",
        "C_TWIDDLE_WIDTH generic: must be in the range 8 to 34: Value is 40",
        "C_HAS_SCALING generic: must be in the range 0 to 1: Value is 40",
        "C_HAS_BFP generic: must be in the range 0 to 1: Value is 40",
        "C_HAS_ROUNDING generic: must be in the range 0 to 1: Value is 40",
        "C_USE_FLT_PT generic: must be in the range 0 to 1: Value is 40",
    };
    // All out of range at first; repairing them one by one in check order
    // moves the report to the next field each time.
    Generics g = defaults();
    for (Field f : order) {
        g.*f = 40;
    }
    const Generics valid = defaults();
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE(messages[i]);
        expectRejected(g, kRange + messages[i]);
        g.*order[i] = valid.*order[i];
    }
    expectAccepted(g);

    g.C_USE_FLT_PT = 5;
    g.C_HAS_ROUNDING = 7;
    expectRejected(g, kRange + "C_HAS_ROUNDING generic: must be in the range 0 to 1: Value is 7");
}

const std::string kCross = "ERROR:vfft_v8_0:create_state called with ";
const std::string kRadix4Minimum =
    kCross + "C_NFFT_MAX < 6 (transform length less than 2^6 = 64) and C_ARCH = 1 (Radix-4, "
             "Burst I/O architecture): this architecture has a minimum transform length of 64, "
             "so C_NFFT_MAX must be 6 or greater.";
const std::string kFixedEight =
    kCross + "C_NFFT_MAX = 3 (transform length of 2^3 = 8) and C_HAS_NFFT = 1 (run-time "
             "configurable transform length): the minimum transform length of 8 cannot be "
             "run-time configurable as it cannot be reduced.";
const std::string kFixedSixtyFour =
    kCross + "C_NFFT_MAX = 6 (transform length of 2^6 = 64) and C_HAS_NFFT = 1 (run-time "
             "configurable transform length) and C_ARCH = 1 (Radix-4, Burst I/O architecture): "
             "the minimum transform length of 64 in this architecture cannot be run-time "
             "configurable as it cannot be reduced.";
const std::string kScalingContradiction =
    kCross + "C_HAS_SCALING = 0 (unscaled) and C_HAS_BFP = 1 (block floating point scaling): "
             "these contradict and do not specify a valid scaling option.";
const std::string kSingleWidth =
    kCross + "C_USE_FLT_PT = 1 and C_INPUT_WIDTH != 32: only IEEE single-precision data of 32 "
             "bits is supported.";

struct CrossCase {
    int32_t nfftMax, arch, hasNfft, scaling, bfp, floatMode, width;
    const std::string* message;  // nullptr: accepted
};

TEST(CreateState, CombinationRules)
{
    const CrossCase cases[] = {
        {5, 1, 0, 1, 0, 0, 16, &kRadix4Minimum},
        {3, 1, 0, 1, 0, 0, 16, &kRadix4Minimum},
        {6, 1, 0, 1, 0, 0, 16, nullptr},
        {3, 2, 0, 1, 0, 0, 16, nullptr},
        {3, 2, 1, 1, 0, 0, 16, &kFixedEight},
        {3, 3, 1, 1, 0, 0, 16, &kFixedEight},
        {3, 4, 1, 1, 0, 0, 16, &kFixedEight},
        {4, 2, 1, 1, 0, 0, 16, nullptr},
        {6, 1, 1, 1, 0, 0, 16, &kFixedSixtyFour},
        {7, 1, 1, 1, 0, 0, 16, nullptr},
        {6, 2, 1, 1, 0, 0, 16, nullptr},
        {10, 1, 0, 0, 1, 0, 16, &kScalingContradiction},
        {10, 1, 0, 0, 1, 1, 32, &kScalingContradiction},
        {10, 1, 0, 0, 0, 0, 16, nullptr},
        {10, 1, 0, 1, 1, 0, 16, nullptr},
        {10, 1, 0, 1, 0, 1, 16, &kSingleWidth},
        {10, 3, 0, 1, 0, 1, 34, &kSingleWidth},
        {10, 3, 0, 1, 0, 1, 32, nullptr},
    };
    for (const CrossCase& c : cases) {
        Generics g = defaults();
        g.C_NFFT_MAX = c.nfftMax;
        g.C_ARCH = c.arch;
        g.C_HAS_NFFT = c.hasNfft;
        g.C_HAS_SCALING = c.scaling;
        g.C_HAS_BFP = c.bfp;
        g.C_USE_FLT_PT = c.floatMode;
        g.C_INPUT_WIDTH = c.width;
        SCOPED_TRACE(testing::Message() << "nfft_max " << c.nfftMax << " arch " << c.arch
                                        << " has_nfft " << c.hasNfft << " scaling " << c.scaling
                                        << " bfp " << c.bfp << " flt " << c.floatMode << " width "
                                        << c.width);
        if (c.message) {
            expectRejected(g, *c.message);
        } else {
            expectAccepted(g);
        }
    }
}

TEST(CreateState, CombinationRulesComeAfterRangesAndInOrder)
{
    Generics g = defaults();
    g.C_NFFT_MAX = 3;
    g.C_HAS_NFFT = 1;
    g.C_HAS_SCALING = 0;
    g.C_HAS_BFP = 1;
    g.C_USE_FLT_PT = 1;
    g.C_INPUT_WIDTH = 16;
    g.C_TWIDDLE_WIDTH = 35;
    expectRejected(g, kRange + "C_TWIDDLE_WIDTH generic: must be in the range 8 to 34: Value is 35");
    g.C_TWIDDLE_WIDTH = 16;
    expectRejected(g, kRadix4Minimum);
    g.C_ARCH = 2;
    expectRejected(g, kFixedEight);
    g.C_NFFT_MAX = 6;
    g.C_ARCH = 1;
    expectRejected(g, kFixedSixtyFour);
    g.C_HAS_NFFT = 0;
    expectRejected(g, kScalingContradiction);
    g.C_HAS_SCALING = 1;
    expectRejected(g, kSingleWidth);
    g.C_INPUT_WIDTH = 32;
    expectAccepted(g);
}

struct ConfigCase {
    Generics generics;
    // data_width, result_width, twiddle_width, nfft_max, has_rounding,
    // has_scaling, has_bfp, arch, use_flt_pt
    int32_t expected[9];
};

TEST(CreateState, ConfigurationOfFixedAndFloatingPointCores)
{
    // Generics order: NFFT_MAX, ARCH, HAS_NFFT, USE_FLT_PT, INPUT_WIDTH,
    // TWIDDLE_WIDTH, HAS_SCALING, HAS_BFP, HAS_ROUNDING.
    const ConfigCase cases[] = {
        {{10, 1, 0, 0, 16, 16, 1, 0, 0}, {16, 16, 16, 10, 0, 1, 0, 1, 0}},
        {{10, 1, 0, 0, 16, 16, 0, 0, 0}, {16, 27, 16, 10, 0, 0, 0, 1, 0}},
        {{16, 2, 1, 0, 34, 12, 0, 0, 1}, {34, 51, 12, 16, 1, 0, 0, 2, 0}},
        {{3, 4, 0, 0, 8, 34, 1, 1, 1}, {8, 8, 34, 3, 1, 1, 1, 4, 0}},
        {{12, 3, 1, 0, 24, 18, 1, 0, 1}, {24, 24, 18, 12, 1, 1, 0, 3, 0}},
        // Floating point: block floating point without rounding, except the
        // pipelined core, which runs unscaled; the widths follow the architecture.
        {{10, 1, 0, 1, 32, 24, 0, 0, 1}, {29, 29, 24, 10, 0, 1, 1, 1, 1}},
        {{10, 2, 0, 1, 32, 24, 1, 0, 1}, {28, 28, 24, 10, 0, 1, 1, 2, 1}},
        {{8, 4, 1, 1, 32, 24, 1, 1, 0}, {28, 28, 24, 8, 0, 1, 1, 4, 1}},
        {{10, 3, 0, 1, 32, 24, 1, 1, 1}, {27, 38, 24, 10, 0, 0, 0, 3, 1}},
        {{16, 3, 1, 1, 32, 24, 1, 0, 0}, {27, 44, 24, 16, 0, 0, 0, 3, 1}},
    };
    for (const ConfigCase& c : cases) {
        const Created made = create(c.generics);
        SCOPED_TRACE(testing::Message() << "arch " << c.generics.C_ARCH << " flt "
                                        << c.generics.C_USE_FLT_PT << " nfft_max "
                                        << c.generics.C_NFFT_MAX);
        ASSERT_NE(made.state, nullptr) << made.err;
        const ConfigRecord& r = made.state->config;
        const int32_t actual[9] = {r.data_width,  r.result_width, r.twiddle_width,
                                   r.nfft_max,    r.has_rounding, r.has_scaling,
                                   r.has_bfp,     r.arch,         r.use_flt_pt};
        for (int i = 0; i < 9; ++i) {
            EXPECT_EQ(actual[i], c.expected[i]) << "configuration field " << i;
        }
        // The generics copy keeps the caller's values where the configuration overrides them.
        const Generics& copy = made.state->generics;
        EXPECT_EQ(copy.C_HAS_ROUNDING, c.generics.C_HAS_ROUNDING);
        EXPECT_EQ(copy.C_HAS_SCALING, c.generics.C_HAS_SCALING);
        EXPECT_EQ(copy.C_HAS_BFP, c.generics.C_HAS_BFP);
        EXPECT_EQ(copy.C_INPUT_WIDTH, c.generics.C_INPUT_WIDTH);
        EXPECT_EQ(copy.C_HAS_NFFT, c.generics.C_HAS_NFFT);
        velmor_ip_vfft_v8_0_destroy_state(made.state);
    }
}

}  // namespace
