// Generics: defaults, range and combination checks with their messages, and
// the engine configuration derived from them.
#include <cstring>

#include "Harness.h"

namespace {

using Field = int32_t Generics::*;

// Creates a state for g, and again with a message sink, and expects it refused
// with exactly `message` (and a newline) on standard error, then in the sink
// alone, or, for an empty message, accepted silently; describe agrees.
void expectCreate(const Generics& g, const std::string& message)
{
    velmor_ip_vfft_v8_0_state* st[2] = {};
    std::string sunk;
    velmor_ip_vfft_v8_0_description d;
    int32_t described = -1;
    const std::string err = captureStderr([&] {
        st[0] = velmor_ip_vfft_v8_0_create_state(g);
        EXPECT_EQ(captureStderr([&] { st[1] = velmor_ip_vfft_v8_0_create_state_with_sink(g, collectLine, &sunk); }), "");
        described = velmor_ip_vfft_v8_0_describe(g, 0, &d);
    });
    EXPECT_EQ(st[0] == nullptr, !message.empty());
    EXPECT_EQ(st[1] == nullptr, !message.empty());
    EXPECT_EQ(described, message.empty() ? 0 : 1);
    EXPECT_EQ(err, message.empty() ? "" : message + "\n");
    EXPECT_EQ(sunk, err);
    velmor_ip_vfft_v8_0_destroy_state(st[0]);
    velmor_ip_vfft_v8_0_destroy_state(st[1]);
}

const std::string C = "ERROR:vfft_v8_0:create_state called with ";

// In check order: the fourth field of the record, C_USE_FLT_PT, comes last.
const struct {
    Field field;
    int32_t low, high;
    std::string message;
} kRanges[] = {
    {&Generics::C_NFFT_MAX, 3, 16, C + "invalid C_NFFT_MAX generic: must be in the range 3 to 16: Value is "},
    {&Generics::C_ARCH, 1, 4, C + "invalid C_ARCH generic: must be in the range 1 to 4: Value is "},
    {&Generics::C_HAS_NFFT, 0, 1, C + "invalid C_HAS_NFFT generic: must be in the range 0 to 1: Value is "},
    {&Generics::C_INPUT_WIDTH, 8, 34, C + "invalid C_INPUT_WIDTH generic: must be in the range 8 to 34: Value is "},
    {&Generics::C_TWIDDLE_WIDTH, 8, 34, C + "invalid C_TWIDDLE_WIDTH generic: must be in the range 8 to 34: Value is "},
    {&Generics::C_HAS_SCALING, 0, 1, C + "invalid C_HAS_SCALING generic: must be in the range 0 to 1: Value is "},
    {&Generics::C_HAS_BFP, 0, 1, C + "invalid C_HAS_BFP generic: must be in the range 0 to 1: Value is "},
    {&Generics::C_HAS_ROUNDING, 0, 1, C + "invalid C_HAS_ROUNDING generic: must be in the range 0 to 1: Value is "},
    {&Generics::C_USE_FLT_PT, 0, 1, C + "invalid C_USE_FLT_PT generic: must be in the range 0 to 1: Value is "},
};

const std::string kRadix4Minimum = C + "C_NFFT_MAX < 6 (transform length less than 2^6 = 64) and C_ARCH = 1 (Radix-4, Burst I/O architecture): this architecture has a minimum transform length of 64, so C_NFFT_MAX must be 6 or greater.";

TEST(CreateState, EveryGenericHasItsRange)
{
    for (const auto& r : kRanges) {
        for (const int32_t v : {r.low - 1, r.high + 1, INT32_MIN, INT32_MAX, r.low, r.high}) {
            SCOPED_TRACE(r.message + std::to_string(v));
            // Radix-2 with 32-bit input: no combination rule meets an accepted bound.
            Generics g = cfg(2, 10, 0);
            g.C_INPUT_WIDTH = 32;
            g.*r.field = v;
            expectCreate(g, v < r.low || v > r.high ? r.message + std::to_string(v) : "");
        }
    }
}

// All fields out of range, repaired one by one in check order: the report
// moves on each time, and the combinations are looked at only at the end.
TEST(CreateState, FirstFailingRangeIsReportedBeforeAnyCombination)
{
    Generics g{40, 40, 40, 40, 40, 40, 40, 40, 40};
    const Generics contradictory{3, 1, 1, 1, 16, 16, 0, 1, 0};
    for (const auto& r : kRanges) {
        expectCreate(g, r.message + "40");
        g.*r.field = contradictory.*r.field;
    }
    expectCreate(g, kRadix4Minimum);
}

TEST(CreateState, CombinationsInCheckOrder)
{
    const std::string eight = C + "C_NFFT_MAX = 3 (transform length of 2^3 = 8) and C_HAS_NFFT = 1 (run-time configurable transform length): the minimum transform length of 8 cannot be run-time configurable as it cannot be reduced.";
    const std::string sixtyFour = C + "C_NFFT_MAX = 6 (transform length of 2^6 = 64) and C_HAS_NFFT = 1 (run-time configurable transform length) and C_ARCH = 1 (Radix-4, Burst I/O architecture): the minimum transform length of 64 in this architecture cannot be run-time configurable as it cannot be reduced.";
    const std::string scaling = C + "C_HAS_SCALING = 0 (unscaled) and C_HAS_BFP = 1 (block floating point scaling): these contradict and do not specify a valid scaling option.";
    const std::string single = C + "C_USE_FLT_PT = 1 and C_INPUT_WIDTH != 32: only IEEE single-precision data of 32 bits is supported.";
    const struct {
        Generics g;  // NFFT_MAX, ARCH, HAS_NFFT, USE_FLT_PT, INPUT_WIDTH, TWIDDLE_WIDTH, HAS_SCALING, HAS_BFP, HAS_ROUNDING
        std::string message;
    } cases[] = {
        {{5, 1, 0, 0, 16, 16, 1, 0, 0}, kRadix4Minimum},
        {{3, 1, 1, 1, 16, 16, 0, 1, 0}, kRadix4Minimum},
        {{6, 1, 0, 0, 16, 16, 1, 0, 0}, ""},
        {{3, 2, 1, 1, 16, 16, 0, 1, 0}, eight},
        {{3, 3, 1, 0, 16, 16, 1, 0, 0}, eight},
        {{3, 4, 1, 0, 16, 16, 1, 0, 0}, eight},
        {{4, 2, 1, 0, 16, 16, 1, 0, 0}, ""},
        {{6, 1, 1, 1, 16, 16, 0, 1, 0}, sixtyFour},
        {{7, 1, 1, 0, 16, 16, 1, 0, 0}, ""},
        {{6, 2, 1, 0, 16, 16, 1, 0, 0}, ""},
        {{10, 1, 0, 1, 16, 16, 0, 1, 0}, scaling},
        {{10, 1, 0, 1, 32, 16, 0, 1, 0}, scaling},
        {{10, 1, 0, 1, 16, 16, 1, 1, 0}, single},
        {{10, 3, 0, 1, 34, 16, 1, 0, 0}, single},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "nfft_max " << c.g.C_NFFT_MAX << " arch " << c.g.C_ARCH);
        expectCreate(c.g, c.message);
    }
}

TEST(CreateState, ConfigurationOfFixedAndFloatingPointCores)
{
    const struct {
        Generics g;
        // data_width, result_width, twiddle_width, nfft_max, has_rounding,
        // has_scaling, has_bfp, arch, use_flt_pt
        int32_t expected[9];
    } cases[] = {
        {{10, 1, 0, 0, 16, 16, 1, 0, 0}, {16, 16, 16, 10, 0, 1, 0, 1, 0}},  // the defaults
        {{10, 1, 0, 0, 16, 16, 0, 0, 0}, {16, 27, 16, 10, 0, 0, 0, 1, 0}},
        {{16, 2, 1, 0, 34, 12, 0, 0, 1}, {34, 51, 12, 16, 1, 0, 0, 2, 0}},
        {{3, 4, 0, 0, 8, 34, 1, 1, 1}, {8, 8, 34, 3, 1, 1, 1, 4, 0}},
        {{12, 3, 1, 0, 24, 18, 1, 0, 1}, {24, 24, 18, 12, 1, 1, 0, 3, 0}},
        // Single-precision data: block floating point without rounding on a
        // fraction as wide as the architecture leaves room for; the pipelined
        // core runs unscaled.
        {{10, 1, 0, 1, 32, 24, 0, 0, 1}, {29, 29, 24, 10, 0, 1, 1, 1, 1}},
        {{10, 2, 0, 1, 32, 24, 1, 0, 1}, {28, 28, 24, 10, 0, 1, 1, 2, 1}},
        {{8, 4, 1, 1, 32, 24, 1, 1, 0}, {28, 28, 24, 8, 0, 1, 1, 4, 1}},
        {{10, 3, 0, 1, 32, 24, 1, 1, 1}, {27, 38, 24, 10, 0, 0, 0, 3, 1}},
        {{16, 3, 1, 1, 32, 24, 1, 0, 0}, {27, 44, 24, 16, 0, 0, 0, 3, 1}},
    };
    const Generics defaults = velmor_ip_vfft_v8_0_get_default_generics();
    EXPECT_EQ(std::memcmp(&defaults, &cases[0].g, sizeof defaults), 0);
    for (const auto& c : cases) {
        velmor_ip_vfft_v8_0_state* st = velmor_ip_vfft_v8_0_create_state(c.g);
        ASSERT_NE(st, nullptr);
        // The fields that create_state sets, the first nine of the record.
        EXPECT_EQ(std::memcmp(&st->config, c.expected, sizeof c.expected), 0)
            << "arch " << c.g.C_ARCH << " flt " << c.g.C_USE_FLT_PT << " data_width "
            << st->config.data_width << " result_width " << st->config.result_width;
        // The copy keeps the caller's values where the configuration overrides them.
        EXPECT_EQ(std::memcmp(&st->generics, &c.g, sizeof c.g), 0);
        EXPECT_NE(st->datapath, nullptr);
        velmor_ip_vfft_v8_0_destroy_state(st);
    }
}

}  // namespace
