// Argument checks of the simulation call: order, messages and return codes.
#include <cfloat>
#include <cmath>
#include <limits>

#include "Harness.h"

namespace {

std::string E(const std::string& text) { return "ERROR:vfft_v8_0:simulate called with " + text + "\n"; }

std::string lengthWarning(int32_t nfft, int32_t nfftMax)
{
    return "WARNING:vfft_v8_0:simulate called with nfft input = " + std::to_string(nfft) + ", different from C_NFFT_MAX = " + std::to_string(nfftMax) + ", which is not permitted when C_HAS_NFFT is 0.  The nfft input will be ignored and C_NFFT_MAX used instead.\n";
}

const std::string kFinalStage = ": when C_ARCH = 1 (Radix-4, Burst I/O architecture) or C_ARCH = 3 (Pipelined, Streaming I/O architecture) and nfft is odd, the final stage scaling value must be 0 or 1";
const std::string kValues0To3 = ": all values must be in the range 0 to 3";
const std::string kDirection2 = E("invalid direction input 2: must be 0 or 1");
const std::string kXnReNull = E("null pointer for xn_re input");

// Spoils the arguments from the direction on: a call that gets past the
// checks before it stops there with code 19.
void badDirection(Call& c) { c.in.direction = 2; }
void noXnRe(Call& c) { c.in.xn_re = nullptr; }
void noEngine(Call& c) { c.noEngine = true; }
void ignoreSchedule(Call& c) { c.in.scaling_sch = nullptr; c.in.scaling_sch_size = -5; badDirection(c); }
// The given schedule, and a bad direction behind it.
Tweak sched(std::vector<int32_t> values)
{
    return [values](Call& c) { c.schedule(values); badDirection(c); };
}

struct Row {
    Generics g;
    int32_t nfft;
    Tweak tweak;
    int32_t code;
    std::string err;
};

TEST(SimulateChecks, EveryCheckInOrderWithItsCodeAndMessage)
{
    const Row rows[] = {
        {cfg(1, 6, 0), 6, [](Call& c) { c.nullState = c.nullOutputs = true; }, 1, E("null state structure")},
        {cfg(1, 10, 1), 6, [](Call& c) { c.nullOutputs = true; c.in = {}; c.in.nfft = 99; c.in.direction = 5; }, 2, E("null output structure")},
        {cfg(1, 10, 1), 2, noEngine, 3, E("corrupted state structure")},
        {cfg(2, 10, 1), 2, noEngine, 4, E("corrupted state structure")},
        {cfg(3, 10, 1), 2, noEngine, 5, E("corrupted state structure")},
        {cfg(4, 10, 1), 2, noEngine, 4, E("corrupted state structure")},
        {cfg(1, 10, 1), 5, noXnRe, 6, E("nfft input 5 out of legal range 6 to C_NFFT_MAX")},
        {cfg(1, 10, 1), 11, noXnRe, 6, E("nfft input 11 out of legal range 6 to C_NFFT_MAX")},
        {cfg(2, 10, 1), 2, noXnRe, 7, E("nfft input 2 out of legal range 3 to C_NFFT_MAX")},
        {cfg(3, 10, 1), 11, noXnRe, 7, E("nfft input 11 out of legal range 3 to C_NFFT_MAX")},
        {cfg(4, 10, 1), 2, noXnRe, 7, E("nfft input 2 out of legal range 3 to C_NFFT_MAX")},
        {cfg(1, 10, 1), 6, noXnRe, 8, kXnReNull},
        {cfg(1, 10, 1), 10, noXnRe, 8, kXnReNull},
        {cfg(2, 10, 1), 3, noXnRe, 8, kXnReNull},
        {cfg(1, 10, 0), 10, [](Call& c) { c.in.nfft = 7; c.in.xn_re_size = 128; }, 9, lengthWarning(7, 10) + E("incorrect xn_re_size input 128: must be 2^nfft = 1024")},
        {cfg(1, 10, 0), 10, [](Call& c) { c.in.xn_re_size = 128; }, 9, E("incorrect xn_re_size input 128: must be 2^nfft = 1024")},
        {cfg(2, 6, 0), 6, [](Call& c) { c.in.xn_re_size = 63; c.in.xn_im = nullptr; }, 9, E("incorrect xn_re_size input 63: must be 2^nfft = 64")},
        {cfg(2, 6, 0), 6, [](Call& c) { c.in.xn_re_size = 65; }, 9, E("incorrect xn_re_size input 65: must be 2^nfft = 64")},
        {cfg(4, 6, 0), 6, [](Call& c) { c.re[63] = -1.5; c.in.xn_im = nullptr; }, 10, E("invalid real data value: xn_re[63] = -1.5: all values must be in the range -1.0 <= data < 1.0")},
        {cfg(2, 6, 0), 6, [](Call& c) { c.in.xn_im = nullptr; c.in.scaling_sch = nullptr; }, 11, E("null pointer for xn_im input")},
        {cfg(2, 6, 0), 6, [](Call& c) { c.in.xn_im_size = 32; }, 12, E("incorrect xn_im_size input 32: must be 2^nfft = 64")},
        {cfg(3, 6, 0), 6, [](Call& c) { c.im[0] = 1.0; c.in.scaling_sch = nullptr; }, 13, E("invalid imaginary data value: xn_im[0] = 1: all values must be in the range -1.0 <= data < 1.0")},
        {cfg(1, 10, 1), 9, [](Call& c) { c.in.scaling_sch = nullptr; c.in.direction = 2; }, 14, E("null pointer for scaling_sch input")},
        {cfg(1, 10, 1), 9, sched({1, 1, 1, 1}), 15, E("incorrect scaling_sch_size input 4: must be ceil(nfft/2) = 5")},
        {cfg(3, 10, 1), 8, sched({1, 1, 1, 1, 1}), 15, E("incorrect scaling_sch_size input 5: must be ceil(nfft/2) = 4")},
        {cfg(2, 10, 1), 9, sched({1, 1, 1, 1, 1}), 16, E("incorrect scaling_sch_size input 5: must be nfft = 9")},
        {cfg(4, 10, 1), 6, sched({1, 1, 1}), 16, E("incorrect scaling_sch_size input 3: must be nfft = 6")},
        {cfg(1, 10, 1), 9, sched({0, 4, 0, 0, 2}), 17, E("invalid scaling value: scaling_sch[1] = 4" + kValues0To3)},
        {cfg(1, 10, 1), 9, sched({0, 0, 0, 0, 4}), 17, E("invalid scaling value: scaling_sch[4] = 4" + kValues0To3)},
        {cfg(2, 10, 1), 6, sched({0, 0, -1, 0, 9, 0}), 17, E("invalid scaling value: scaling_sch[2] = -1" + kValues0To3)},
        {cfg(1, 10, 1), 9, sched({3, 3, 3, 3, 2}), 18, E("invalid scaling value: scaling value in the final stage, scaling_sch[4] = 2" + kFinalStage)},
        {cfg(3, 10, 1), 7, sched({0, 0, 0, 3}), 18, E("invalid scaling value: scaling value in the final stage, scaling_sch[3] = 3" + kFinalStage)},
        {cfg(1, 10, 1), 9, sched({3, 3, 3, 3, 1}), 19, kDirection2},
        {cfg(1, 10, 1), 10, sched({3, 3, 3, 3, 3}), 19, kDirection2},
        {cfg(3, 10, 1), 9, sched({2, 2, 2, 2, 0}), 19, kDirection2},
        {cfg(2, 10, 1), 9, sched({0, 1, 2, 3, 0, 1, 2, 3, 3}), 19, kDirection2},
        // Unscaled, block floating point, and single-precision data whatever the
        // scaling generics say: the schedule is not looked at.
        {cfg(1, 8, 0, 0, 0, 0), 8, ignoreSchedule, 19, kDirection2},
        {cfg(2, 8, 0, 1, 1, 0), 8, ignoreSchedule, 19, kDirection2},
        {cfg(1, 8, 0, 1, 0, 1), 8, ignoreSchedule, 19, kDirection2},
        {cfg(3, 8, 0, 1, 0, 1), 8, ignoreSchedule, 19, kDirection2},
        {cfg(4, 8, 0, 0, 0, 1), 8, ignoreSchedule, 19, kDirection2},
        {cfg(3, 6, 0), 6, [](Call& c) { c.in.direction = -1; c.out.xk_re = nullptr; }, 19, E("invalid direction input -1: must be 0 or 1")},
        {cfg(3, 6, 0), 6, [](Call& c) { c.in.direction = 0; c.out.xk_re = nullptr; c.out.xk_im = nullptr; }, 20, E("null pointer for xk_re output")},
        {cfg(2, 8, 1), 8, [](Call& c) { c.out.xk_im = nullptr; c.out.xk_re_size = 0; }, 21, E("null pointer for xk_im output")},
        {cfg(2, 8, 1), 8, [](Call& c) { c.out.xk_re_size = 255; c.out.xk_im_size = 0; }, 22, E("too small a value for xk_re_size in outputs structure 255: must be at least 2^nfft = 256")},
        {cfg(2, 8, 1), 8, [](Call& c) { c.out.xk_re_size = -1; }, 22, E("too small a value for xk_re_size in outputs structure -1: must be at least 2^nfft = 256")},
        {cfg(2, 8, 1), 8, [](Call& c) { c.out.xk_re_size = 300; c.out.xk_im_size = 255; }, 23, E("too small a value for xk_im_size in outputs structure 255: must be at least 2^nfft = 256")},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.err);
        const Outcome o = simulate(r.g, r.nfft, r.tweak);
        EXPECT_EQ(o.code, r.code);
        EXPECT_EQ(o.err, r.err);
    }
}

TEST(SimulateChecks, FixedLengthCoreWarnsAndRunsItsOwnLength)
{
    const Outcome o = simulate(cfg(2, 3, 0), 3, [](Call& c) {
        c.in.nfft = 12;
        c.out.xk_re_size = 100;
    });
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.err, lengthWarning(12, 3));
    EXPECT_EQ(o.out.xk_re_size, 8);
    EXPECT_EQ(o.out.xk_im_size, 8);
}

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kSingleMax = FLT_MAX;
constexpr double kJustAboveSingle = 0x1.fffffe0000001p+127;
constexpr double kRoundsToInfinity = 0x1.ffffffp+127;  // FLT_MAX + half an ulp, a tie that rounds up

// Puts each value at index 5 of the real, then of the imaginary part, with a
// bad value at index 9 behind it; expects the first one reported with its
// text, or, for a null text, the call to get as far as the direction check.
void checkValues(const Generics& g, std::initializer_list<std::pair<double, const char*>> values,
                 const std::string& range)
{
    for (const auto& [value, text] : values) {
        for (const bool imaginary : {false, true}) {
            const Outcome o = simulate(g, 6, [&](Call& c) {
                (imaginary ? c.im : c.re)[5] = value;
                (imaginary ? c.im : c.re)[9] = text ? kJustAboveSingle : 0.0;
                badDirection(c);
            });
            const std::string message = imaginary ? "invalid imaginary data value: xn_im[5] = " : "invalid real data value: xn_re[5] = ";
            EXPECT_EQ(o.code, text ? 10 + 3 * imaginary : 19) << std::hexfloat << value;
            EXPECT_EQ(o.err, text ? E(message + text + ": all values must be in the range " + range) : kDirection2);
        }
    }
}

TEST(SimulateChecks, FixedPointDataAreSignedFractions)
{
    checkValues(cfg(1, 6, 0), {{1.0, "1"}, {-1.0, nullptr}, {0.999999999, nullptr}, {-1.0000001, "-1"}, {1.5, "1.5"}, {-0.0025, nullptr}, {123456789.0, "1.23457e+08"}, {-1.00725, "-1.00725"}, {kInf, "inf"}, {-kInf, "-inf"}, {kNaN, nullptr}}, "-1.0 <= data < 1.0");
}

TEST(SimulateChecks, SinglePrecisionDataAreSinglesOrRoundToInfinity)
{
    const double justAbove = kJustAboveSingle;
    const double belowTie = std::nextafter(kRoundsToInfinity, 0.0);
    for (const int32_t arch : {1, 3}) {
        checkValues(cfg(arch, 6, 0, 1, 0, 1), {{kSingleMax, nullptr}, {-kSingleMax, nullptr}, {justAbove, "3.40282e+38"}, {-justAbove, "-3.40282e+38"}, {belowTie, "3.40282e+38"}, {-belowTie, "-3.40282e+38"}, {kRoundsToInfinity, nullptr}, {-kRoundsToInfinity, nullptr}, {DBL_MAX, nullptr}, {-kInf, nullptr}, {kNaN, nullptr}, {5.0, nullptr}}, "-3.40282e+38< data < 3.40282e+38");
    }
}

// Around each edge of the single range, a value is refused exactly when it is
// beyond the largest single and single rounding (decided on x/2, which is in
// range, so the only overflow is the one ldexp reports) keeps it finite.
TEST(SimulateChecks, SinglePrecisionBoundaryAgreesWithSingleRounding)
{
    for (const double centre : {kSingleMax, kRoundsToInfinity, 0x1p+128}) {
        double below = centre, above = centre;
        for (int step = 0; step < 4; ++step) {
            for (const double x : {below, above, -below, -above}) {
                const bool finite = !std::isinf(std::ldexp(static_cast<float>(x / 2), 1));
                const Outcome o = simulate(cfg(2, 3, 0, 1, 1, 1), 3, [x](Call& c) {
                    c.re[0] = x;
                    badDirection(c);
                });
                EXPECT_EQ(o.code, std::fabs(x) > kSingleMax && finite ? 10 : 19) << std::hexfloat << x;
            }
            below = std::nextafter(below, 0.0);
            above = std::nextafter(above, kInf);
        }
    }
}

}  // namespace
