// Argument checks of the simulation call: order, messages and return codes.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <iomanip>
#include <limits>
#include <string>
#include <vector>

#include "SimulateCall.h"

namespace {

const std::string P = "ERROR:vfft_v8_0:simulate called with ";
const std::string kXnReNull = P + "null pointer for xn_re input\n";
const std::string kXnImNull = P + "null pointer for xn_im input\n";
const std::string kBadDirection2 = P + "invalid direction input 2: must be 0 or 1\n";
const std::string kXkReNull = P + "null pointer for xk_re output\n";

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(SimulateChecks, NullStateComesFirstThenNullOutputs)
{
    SimulateCall call(6, 3);
    Outcome o = simulate(nullptr, call, nullptr);
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.err, P + "null state structure\n");

    // A null outputs record is reported before anything of the inputs is looked at.
    TestState st(makeGenerics(1, 10, 1));
    call.in = velmor_ip_vfft_v8_0_inputs{};
    call.in.nfft = 99;
    call.in.direction = 5;
    o = simulate(st.get(), call, nullptr);
    EXPECT_EQ(o.code, 2);
    EXPECT_EQ(o.err, P + "null output structure\n");
}

TEST(SimulateChecks, MissingEngineOfTheArchitectureIsACorruptedState)
{
    const struct {
        int32_t arch;
        int32_t code;
    } cases[] = {{1, 3}, {2, 4}, {3, 5}, {4, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "arch " << c.arch);
        TestState st(makeGenerics(c.arch, 10, 1));
        ASSERT_NE(st.get(), nullptr);
        // The other slots are taken, the architecture's own is empty.
        static unsigned char other[16];
        velmor_ip_vfft_v8_0_state* s = st.get();
        s->r4 = c.arch == 1 ? nullptr : reinterpret_cast<R4_loop*>(other);
        s->r2 = c.arch == 2 || c.arch == 4 ? nullptr : reinterpret_cast<R2_loop*>(other);
        s->r22 = c.arch == 3 ? nullptr : reinterpret_cast<R22_pipeline*>(other);
        SimulateCall call(6, 3);
        call.in.nfft = 40;  // would fail the length check next
        const Outcome o = simulate(st, call);
        EXPECT_EQ(o.code, c.code);
        EXPECT_EQ(o.err, P + "corrupted state structure\n");
    }
}

struct LengthCase {
    int32_t arch;
    int32_t nfft;
    int32_t code;  // 8: accepted, then stopped by a null xn_re
    const char* message;
};

TEST(SimulateChecks, RunTimeLengthMustLieBetweenTheMinimumAndTheMaximum)
{
    const char* radix4 = " out of legal range 6 to C_NFFT_MAX\n";
    const char* others = " out of legal range 3 to C_NFFT_MAX\n";
    const LengthCase cases[] = {
        {1, 5, 6, radix4}, {1, 11, 6, radix4}, {1, -3, 6, radix4}, {1, 6, 8, nullptr},
        {1, 10, 8, nullptr}, {2, 2, 7, others}, {2, 11, 7, others}, {3, 2, 7, others},
        {4, 11, 7, others}, {2, 3, 8, nullptr}, {3, 5, 8, nullptr}, {4, 10, 8, nullptr},
    };
    for (const LengthCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "arch " << c.arch << " nfft " << c.nfft);
        TestState st(makeGenerics(c.arch, 10, 1));
        const bool accepted = c.message == nullptr;
        SimulateCall call(accepted ? c.nfft : 6, stageCount(c.arch, accepted ? c.nfft : 6));
        call.in.nfft = c.nfft;
        call.in.xn_re = nullptr;
        const Outcome o = simulate(st, call);
        EXPECT_EQ(o.code, c.code);
        if (accepted) {
            EXPECT_EQ(o.err, kXnReNull);
        } else {
            EXPECT_EQ(o.err, P + "nfft input " + std::to_string(c.nfft) + c.message);
        }
    }
}

TEST(SimulateChecks, FixedLengthCoreWarnsAboutAnotherLengthAndUsesItsOwn)
{
    TestState st(makeGenerics(1, 10, 0));
    SimulateCall call(10, 5);
    call.in.nfft = 7;
    call.in.xn_re_size = 128;
    const std::string warning =
        "WARNING:vfft_v8_0:simulate called with nfft input = 7, different from C_NFFT_MAX = "
        "10, which is not permitted when C_HAS_NFFT is 0.  The nfft input will be ignored and "
        "C_NFFT_MAX used instead.\n";
    const std::string sizeError = P + "incorrect xn_re_size input 128: must be 2^nfft = 1024\n";
    // The warning is repeated on every call that triggers it.
    for (int repeat = 0; repeat < 2; ++repeat) {
        const Outcome o = simulate(st, call);
        EXPECT_EQ(o.code, 9);
        EXPECT_EQ(o.err, warning + sizeError);
    }

    call.in.nfft = -2;
    Outcome o = simulate(st, call);
    EXPECT_EQ(o.code, 9);
    EXPECT_EQ(o.err, "WARNING:vfft_v8_0:simulate called with nfft input = -2, different from "
                     "C_NFFT_MAX = 10, which is not permitted when C_HAS_NFFT is 0.  The nfft "
                     "input will be ignored and C_NFFT_MAX used instead.\n" + sizeError);

    call.in.nfft = 10;
    o = simulate(st, call);
    EXPECT_EQ(o.code, 9);
    EXPECT_EQ(o.err, sizeError);
}

struct ArrayCase {
    bool imaginary;
    bool null;
    int32_t size;
    int32_t code;
    const char* message;
};

TEST(SimulateChecks, InputArraysMustBePresentAndHoldExactlyOneFrame)
{
    const ArrayCase cases[] = {
        {false, true, 64, 8, "null pointer for xn_re input"},
        {false, false, 63, 9, "incorrect xn_re_size input 63: must be 2^nfft = 64"},
        {false, false, 65, 9, "incorrect xn_re_size input 65: must be 2^nfft = 64"},
        {false, false, -64, 9, "incorrect xn_re_size input -64: must be 2^nfft = 64"},
        {true, true, 64, 11, "null pointer for xn_im input"},
        {true, false, 32, 12, "incorrect xn_im_size input 32: must be 2^nfft = 64"},
        {true, false, 0, 12, "incorrect xn_im_size input 0: must be 2^nfft = 64"},
    };
    TestState st(makeGenerics(2, 6, 0));
    for (const ArrayCase& c : cases) {
        SCOPED_TRACE(c.message);
        SimulateCall call(6, 6);
        double*& values = c.imaginary ? call.in.xn_im : call.in.xn_re;
        int32_t& size = c.imaginary ? call.in.xn_im_size : call.in.xn_re_size;
        if (c.null) {
            values = nullptr;
        }
        size = c.size;
        // Later checks would fail too.
        call.in.direction = 3;
        call.out.xk_re = nullptr;
        const Outcome o = simulate(st, call);
        EXPECT_EQ(o.code, c.code);
        EXPECT_EQ(o.err, P + c.message + "\n");
    }
}

struct ValueCase {
    double value;
    const char* text;  // nullptr: accepted
};

// Puts the value at index 5 of the real or the imaginary part, with a second
// bad value behind it, and expects the first one reported or, when accepted,
// the call to reach the stated later failure.
void checkValues(const TestState& st, int32_t nfft, int32_t stages, const ValueCase* cases,
                 size_t count, double laterBad, const std::string& range)
{
    for (size_t k = 0; k < count; ++k) {
        const ValueCase& c = cases[k];
        for (const bool imaginary : {false, true}) {
            SCOPED_TRACE(testing::Message() << (imaginary ? "xn_im " : "xn_re ")
                                            << std::setprecision(17) << c.value);
            SimulateCall call(nfft, stages);
            std::vector<double>& values = imaginary ? call.im : call.re;
            values[5] = c.value;
            if (c.text) {
                values[9] = laterBad;
            }
            call.in.direction = 2;
            const Outcome o = simulate(st, call);
            if (!c.text) {
                EXPECT_EQ(o.code, 19);
                EXPECT_EQ(o.err, kBadDirection2);
            } else if (imaginary) {
                EXPECT_EQ(o.code, 13);
                EXPECT_EQ(o.err, P + "invalid imaginary data value: xn_im[5] = " + c.text +
                                     ": all values must be in the range " + range + "\n");
            } else {
                EXPECT_EQ(o.code, 10);
                EXPECT_EQ(o.err, P + "invalid real data value: xn_re[5] = " + c.text +
                                     ": all values must be in the range " + range + "\n");
            }
        }
    }
}

TEST(SimulateChecks, FixedPointDataAreSignedFractions)
{
    const ValueCase cases[] = {
        {1.0, "1"},
        {-1.0, nullptr},
        {0.999999999, nullptr},
        {-1.0000001, "-1"},
        {1.5, "1.5"},
        {-0.0025, nullptr},
        {123456789.0, "1.23457e+08"},
        {-7.25e-3 - 1.0, "-1.00725"},
        {kInf, "inf"},
        {-kInf, "-inf"},
        {kNaN, nullptr},
        {1e-300, nullptr},
    };
    TestState st(makeGenerics(1, 6, 0));
    checkValues(st, 6, 3, cases, std::size(cases), 2.0, "-1.0 <= data < 1.0");
}

const double kSingleMax = FLT_MAX;
const double kRoundsToInfinity = 0x1.ffffffp+127;  // FLT_MAX + half an ulp: a tie that rounds up

TEST(SimulateChecks, FloatingPointDataMustBeSinglesOrRoundToInfinity)
{
    const ValueCase cases[] = {
        {kSingleMax, nullptr},
        {-kSingleMax, nullptr},
        {std::nextafter(kSingleMax, kInf), "3.40282e+38"},
        {-std::nextafter(kSingleMax, kInf), "-3.40282e+38"},
        {std::nextafter(kRoundsToInfinity, 0.0), "3.40282e+38"},
        {-std::nextafter(kRoundsToInfinity, 0.0), "-3.40282e+38"},
        {kRoundsToInfinity, nullptr},
        {-kRoundsToInfinity, nullptr},
        {DBL_MAX, nullptr},
        {kInf, nullptr},
        {-kInf, nullptr},
        {kNaN, nullptr},
        {5.0, nullptr},
        {1e-45, nullptr},
    };
    for (const int32_t arch : {1, 3}) {
        SCOPED_TRACE(testing::Message() << "arch " << arch);
        TestState st(makeGenerics(arch, 6, 0, 1, 0, 1));
        checkValues(st, 6, 3, cases, std::size(cases), 1e39, "-3.40282e+38< data < 3.40282e+38");
    }
}

// Single-precision rounding of x, decided on x/2, which lies inside the
// single range, so that the only overflow is the one ldexp reports as infinity.
bool roundsToSingleInfinity(double x)
{
    return std::isinf(std::ldexp(static_cast<float>(x / 2), 1));
}

TEST(SimulateChecks, FloatingPointBoundaryAgreesWithSingleRounding)
{
    TestState st(makeGenerics(2, 3, 0, 1, 1, 1));
    std::vector<double> probes;
    for (const double centre : {kSingleMax, kRoundsToInfinity, 0x1p+128}) {
        double below = centre, above = centre;
        for (int step = 0; step < 4; ++step) {
            probes.push_back(below);
            probes.push_back(above);
            below = std::nextafter(below, 0.0);
            above = std::nextafter(above, kInf);
        }
    }
    for (const double magnitude : probes) {
        for (const double x : {magnitude, -magnitude}) {
            const bool expectAccepted = std::fabs(x) <= kSingleMax || roundsToSingleInfinity(x);
            SimulateCall call(3, 3);
            call.re[0] = x;
            call.in.direction = 2;
            const Outcome o = simulate(st, call);
            EXPECT_EQ(o.code, expectAccepted ? 19 : 10) << std::hexfloat << x;
        }
    }
}

TEST(SimulateChecks, EveryRealValueIsCheckedBeforeTheImaginaryArray)
{
    TestState st(makeGenerics(4, 6, 0));
    SimulateCall call(6, 6);
    call.re[63] = -1.5;
    call.in.xn_im = nullptr;
    call.in.xn_im_size = 0;
    const Outcome o = simulate(st, call);
    EXPECT_EQ(o.code, 10);
    EXPECT_EQ(o.err, P + "invalid real data value: xn_re[63] = -1.5: all values must be in the "
                         "range -1.0 <= data < 1.0\n");
}

const std::string kFinalStage =
    ": when C_ARCH = 1 (Radix-4, Burst I/O architecture) or C_ARCH = 3 (Pipelined, Streaming "
    "I/O architecture) and nfft is odd, the final stage scaling value must be 0 or 1";

struct ScheduleCase {
    int32_t arch;
    int32_t nfft;
    bool null;
    std::vector<int32_t> schedule;
    int32_t code;  // 19: accepted, then stopped by a bad direction
    std::string message;
};

TEST(SimulateChecks, FixedScalingScheduleHasOneValidShiftPerStage)
{
    const std::string range = ": all values must be in the range 0 to 3";
    const ScheduleCase cases[] = {
        {1, 9, true, {1, 1, 1, 1, 1}, 14, "null pointer for scaling_sch input"},
        {1, 9, false, {1, 1, 1, 1}, 15, "incorrect scaling_sch_size input 4: must be ceil(nfft/2) = 5"},
        {3, 8, false, {1, 1, 1, 1, 1}, 15, "incorrect scaling_sch_size input 5: must be ceil(nfft/2) = 4"},
        {2, 9, false, {1, 1, 1, 1, 1}, 16, "incorrect scaling_sch_size input 5: must be nfft = 9"},
        {4, 6, false, {1, 1, 1}, 16, "incorrect scaling_sch_size input 3: must be nfft = 6"},
        {1, 9, false, {3, 3, 3, 3, 2}, 18,
         "invalid scaling value: scaling value in the final stage, scaling_sch[4] = 2" + kFinalStage},
        {3, 7, false, {0, 0, 0, 3}, 18,
         "invalid scaling value: scaling value in the final stage, scaling_sch[3] = 3" + kFinalStage},
        // Every value is range-checked before the final-stage rule.
        {1, 9, false, {0, 4, 0, 0, 2}, 17, "invalid scaling value: scaling_sch[1] = 4" + range},
        {1, 9, false, {0, 0, 0, 0, 4}, 17, "invalid scaling value: scaling_sch[4] = 4" + range},
        {2, 6, false, {0, 0, -1, 0, 9, 0}, 17, "invalid scaling value: scaling_sch[2] = -1" + range},
        {1, 9, false, {3, 3, 3, 3, 1}, 19, ""},
        {1, 10, false, {3, 3, 3, 3, 3}, 19, ""},
        {3, 9, false, {2, 2, 2, 2, 0}, 19, ""},
        {2, 9, false, {0, 1, 2, 3, 0, 1, 2, 3, 3}, 19, ""},
        {4, 7, false, {3, 3, 3, 3, 3, 3, 3}, 19, ""},
    };
    for (const ScheduleCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "arch " << c.arch << " nfft " << c.nfft << " "
                                        << c.message);
        TestState st(makeGenerics(c.arch, 10, 1));
        SimulateCall call(c.nfft, static_cast<int32_t>(c.schedule.size()));
        call.schedule = c.schedule;
        call.in.scaling_sch = c.null ? nullptr : call.schedule.data();
        call.in.direction = 2;
        const Outcome o = simulate(st, call);
        EXPECT_EQ(o.code, c.code);
        EXPECT_EQ(o.err, c.code == 19 ? kBadDirection2 : P + c.message + "\n");
    }
}

TEST(SimulateChecks, ScheduleIsIgnoredWithoutFixedScalingAndInFloatingPointMode)
{
    const Generics configurations[] = {
        makeGenerics(1, 8, 0, 0, 0, 0),  // unscaled
        makeGenerics(2, 8, 0, 1, 1, 0),  // block floating point
        makeGenerics(1, 8, 0, 1, 0, 1),  // floating point, scaling generics as for a schedule
        makeGenerics(3, 8, 0, 1, 0, 1),
        makeGenerics(4, 8, 0, 0, 0, 1),
    };
    for (const Generics& g : configurations) {
        SCOPED_TRACE(testing::Message() << "arch " << g.C_ARCH << " scaling " << g.C_HAS_SCALING
                                        << " bfp " << g.C_HAS_BFP << " flt " << g.C_USE_FLT_PT);
        TestState st(g);
        SimulateCall call(8, 1);
        call.in.scaling_sch = nullptr;
        call.in.scaling_sch_size = -5;
        call.in.direction = 2;
        const Outcome o = simulate(st, call);
        EXPECT_EQ(o.code, 19);
        EXPECT_EQ(o.err, kBadDirection2);
    }
}

TEST(SimulateChecks, DirectionIsZeroOrOne)
{
    TestState st(makeGenerics(3, 6, 0));
    for (const int32_t direction : {2, -1, 100, 0, 1}) {
        SCOPED_TRACE(direction);
        SimulateCall call(6, 3);
        call.in.direction = direction;
        call.out.xk_re = nullptr;
        const Outcome o = simulate(st, call);
        if (direction == 0 || direction == 1) {
            EXPECT_EQ(o.code, 20);
            EXPECT_EQ(o.err, kXkReNull);
        } else {
            EXPECT_EQ(o.code, 19);
            EXPECT_EQ(o.err, P + "invalid direction input " + std::to_string(direction) +
                                 ": must be 0 or 1\n");
        }
    }
}

struct OutputCase {
    bool reNull, imNull;
    int32_t reSize, imSize;
    int32_t code;
    const char* message;
};

TEST(SimulateChecks, OutputArraysMustBePresentAndLargeEnough)
{
    const OutputCase cases[] = {
        {true, true, 0, 0, 20, "null pointer for xk_re output"},
        {false, true, 0, 0, 21, "null pointer for xk_im output"},
        {false, false, 255, 0, 22,
         "too small a value for xk_re_size in outputs structure 255: must be at least 2^nfft = 256"},
        {false, false, -1, 256, 22,
         "too small a value for xk_re_size in outputs structure -1: must be at least 2^nfft = 256"},
        {false, false, 256, 255, 23,
         "too small a value for xk_im_size in outputs structure 255: must be at least 2^nfft = 256"},
        {false, false, 300, 7, 23,
         "too small a value for xk_im_size in outputs structure 7: must be at least 2^nfft = 256"},
    };
    TestState st(makeGenerics(2, 8, 1));
    for (const OutputCase& c : cases) {
        SCOPED_TRACE(c.message);
        SimulateCall call(8, 8);
        if (c.reNull) call.out.xk_re = nullptr;
        if (c.imNull) call.out.xk_im = nullptr;
        call.out.xk_re_size = c.reSize;
        call.out.xk_im_size = c.imSize;
        const Outcome o = simulate(st, call);
        EXPECT_EQ(o.code, c.code);
        EXPECT_EQ(o.err, P + c.message + "\n");
    }
}

TEST(SimulateChecks, MessagesIgnoreTheFormattingTheHostSetOnTheErrorStream)
{
    TestState st(makeGenerics(1, 6, 0));
    SimulateCall call(6, 3);
    call.re[12] = 1.25;
    const std::ios::fmtflags flags = std::cerr.flags();
    const std::streamsize precision = std::cerr.precision();
    std::cerr << std::hex << std::showpos << std::fixed << std::setprecision(2);
    const Outcome o = simulate(st, call);
    std::cerr.flags(flags);
    std::cerr.precision(precision);
    EXPECT_EQ(o.code, 10);
    EXPECT_EQ(o.err, P + "invalid real data value: xn_re[12] = 1.25: all values must be in the "
                         "range -1.0 <= data < 1.0\n");
}

}  // namespace
