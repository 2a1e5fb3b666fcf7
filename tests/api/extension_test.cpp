// The extension calls: the library's names, describe against what the calls
// accept and return, and the batch call against single calls.
#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>

#include "Harness.h"

namespace {

using Description = velmor_ip_vfft_v8_0_description;

TEST(Extension, NamesTheLibrary)
{
    EXPECT_STREQ(velmor_ip_vfft_v8_0_version(), "8.0.0");
    const std::string datapath = velmor_ip_vfft_v8_0_datapath();
    EXPECT_EQ(VFFT_NATIVE ? datapath.substr(0, 6) : datapath, VFFT_NATIVE ? "native" : "reference");
}

// Length range and schedule rules as described, tried on the call itself:
// lengths just outside the range are refused, a schedule of the described
// size at its described limits (and the default one) passes, one entry beyond
// a limit or one entry more or less fails. Describe writes nothing and
// refuses a null record or a length outside the range.
TEST(Extension, DescribeAgreesWithTheChecksOfTheCall)
{
    std::mt19937 rng(7);
    for (int trial = 0; trial < 60; ++trial) {
        const int32_t arch = 1 + rng() % 4;
        Generics g = cfg(arch, 3 + rng() % 8, rng() % 2, rng() % 2, 0, rng() % 4 == 0);
        g.C_HAS_BFP = g.C_HAS_SCALING & rng();
        Description d;
        std::string err = captureStderr([&] {
            EXPECT_EQ(velmor_ip_vfft_v8_0_describe(g, 0, nullptr), 3);
            const int32_t code = velmor_ip_vfft_v8_0_describe(g, 0, &d);
            velmor_ip_vfft_v8_0_state* st = velmor_ip_vfft_v8_0_create_state(g);
            EXPECT_EQ(code, st == nullptr ? 1 : 0);
            velmor_ip_vfft_v8_0_destroy_state(st);
        });
        if (!err.empty()) continue;  // refused generics, checked against create_state
        SCOPED_TRACE(testing::Message() << "arch " << arch << " nfft_max " << g.C_NFFT_MAX << " run-time "
                                        << g.C_HAS_NFFT << " scaling " << g.C_HAS_SCALING << g.C_HAS_BFP << g.C_USE_FLT_PT);
        EXPECT_EQ(d.nfft, g.C_NFFT_MAX);
        EXPECT_EQ(d.nfft_max, g.C_NFFT_MAX);
        for (const int32_t nfft : {d.nfft_min - 1, d.nfft_min, d.nfft_max, d.nfft_max + 1}) {
            Description at;
            const int32_t code = velmor_ip_vfft_v8_0_describe(g, nfft, &at);
            EXPECT_EQ(code, nfft < d.nfft_min || nfft > d.nfft_max ? 2 : 0);
            if (g.C_HAS_NFFT == 1) {
                EXPECT_EQ(simulate(g, nfft, [](Call& c) { c.in.xn_re = nullptr; }).code, code == 0 ? 8 : 7 - (arch == 1));
            }
            if (code != 0) continue;
            EXPECT_EQ(at.nfft, nfft);
            const Tweak badDirection = [](Call& c) { c.in.direction = 2; };
            const auto withSchedule = [&](std::vector<int32_t> s) {
                return simulate(g, nfft, [&](Call& c) { c.schedule(s); badDirection(c); }).code;
            };
            const std::vector<int32_t> limits(at.schedule_max, at.schedule_max + at.stages);
            const std::vector<int32_t> defaults(at.default_schedule, at.default_schedule + at.stages);
            if (at.stages == 0) {
                EXPECT_EQ(simulate(g, nfft, [&](Call& c) { c.in.scaling_sch = nullptr; badDirection(c); }).code, 19);
                continue;
            }
            EXPECT_EQ(withSchedule(limits), 19);
            EXPECT_EQ(withSchedule(defaults), 19);
            for (int32_t s = 0; s < at.stages; ++s) {
                EXPECT_EQ(defaults[s], limits[s] == 3 && arch % 2 ? 2 : 1);
                std::vector<int32_t> beyond = limits;
                ++beyond[s];
                EXPECT_EQ(withSchedule(beyond), limits[s] == 3 ? 17 : 18);
            }
            std::vector<int32_t> longer = limits;
            longer.push_back(0);
            EXPECT_EQ(withSchedule(longer), arch % 2 ? 15 : 16);
            longer.resize(at.stages - 1);
            EXPECT_EQ(withSchedule(longer), arch % 2 ? 15 : 16);
        }
        EXPECT_EQ(captureStderr([&] { velmor_ip_vfft_v8_0_describe(g, 99, &d); }), "");
    }
}

// Bits needed by the two's-complement integer c.
int32_t bitsOf(double c)
{
    int32_t bits = 1;
    while (c < -std::ldexp(1.0, bits - 1) || c >= std::ldexp(1.0, bits - 1)) ++bits;
    return bits;
}

// Frames that reach the ends of the result range: full-scale random values,
// a constant, signs that add every sample up in one bin, and alternating
// samples whose two largest results are -X and +X, in that order.
// Fixed-point values are on the grid of `width` bits; single-precision ones
// reach the largest single.
std::vector<std::vector<double>> extremeFrames(int32_t n, int32_t width, bool single, std::mt19937_64& rng)
{
    const double top = single ? FLT_MAX : 1.0 - std::ldexp(1.0, 1 - width);
    std::vector<std::vector<double>> frames;
    for (int32_t f = 0; f < 3; ++f) {
        std::vector<double> x(2 * n);
        for (double& v : x) {
            const double code = double(int64_t(rng() >> (65 - width)) - (int64_t{1} << (width - 2)));
            v = rng() % 4 == 0 ? top : rng() % 4 == 0 ? -1.0 : single ? std::ldexp(code, -width) * top : std::ldexp(code, 2 - width);
        }
        frames.push_back(x);
    }
    frames.push_back(std::vector<double>(2 * n, -1.0));
    for (const int32_t bin : {n / 8, 3 * n / 8, 1}) {
        std::vector<double> x(2 * n);
        for (int32_t i = 0; i < n; ++i) {
            const double angle = 2 * M_PI * bin * i / n;
            x[i] = std::cos(angle) >= 0 ? top : -1.0;
            x[n + i] = std::sin(angle) >= 0 ? top : -1.0;
        }
        frames.push_back(x);
    }
    std::vector<double> x(2 * n, 0.0);
    for (int32_t i = 1; i < n; i += 2) x[i] = -1.0;
    frames.push_back(x);
    return frames;
}

// Every result code of every frame fits the described width and point, and
// a width beyond the input's is needed by some frame (the pipeline's
// overflowed schedule and normalised +1, the unscaled growth); overflow and
// block exponents appear exactly where described. Floating-point results are
// singles.
TEST(Extension, DescribedResultCodesHoldEveryResult)
{
    std::mt19937_64 rng(11);
    for (int32_t arch = 1; arch <= 4; ++arch) {
        for (const int32_t mode : {0, 1, 2, 3}) {  // unscaled, schedule, block floating point, single
            for (const int32_t nfftMax : {6, 7}) {
                Generics g = cfg(arch, nfftMax, 0, mode != 0, mode == 2, mode == 3);
                g.C_HAS_ROUNDING = nfftMax % 2;
                g.C_INPUT_WIDTH = mode == 3 ? 32 : 8 + rng() % 27;
                SCOPED_TRACE(testing::Message() << "arch " << arch << " mode " << mode << " nfft " << nfftMax << " width " << g.C_INPUT_WIDTH);
                Description d;
                ASSERT_EQ(velmor_ip_vfft_v8_0_describe(g, nfftMax, &d), 0);
                EXPECT_EQ(d.input_width, mode == 3 ? 32 : g.C_INPUT_WIDTH);
                EXPECT_EQ(d.input_point, mode == 3 ? 0 : g.C_INPUT_WIDTH - 1);
                EXPECT_EQ(d.float_mode, mode == 3);
                const int32_t n = 1 << nfftMax;
                std::vector<std::vector<int32_t>> schedules = {std::vector<int32_t>(d.default_schedule, d.default_schedule + d.stages)};
                if (d.stages > 0) schedules.emplace_back(d.stages, 0);  // overflows
                velmor_ip_vfft_v8_0_state* st = velmor_ip_vfft_v8_0_create_state(g);
                int32_t widest = 0;
                bool overflowed = false, exponent = false;
                for (const auto& schedule : schedules) {
                    for (const auto& x : extremeFrames(n, g.C_INPUT_WIDTH, mode == 3, rng)) {
                        Call c(g, nfftMax);
                        std::copy(x.begin(), x.begin() + n, c.re.begin());
                        std::copy(x.begin() + n, x.end(), c.im.begin());
                        c.schedule(schedule);
                        ASSERT_EQ(velmor_ip_vfft_v8_0_bitacc_simulate(st, c.in, &c.out), 0);
                        overflowed |= c.out.overflow != 0;
                        exponent |= c.out.blk_exp != 0;
                        for (const auto* results : {&c.xkRe, &c.xkIm}) {
                            for (const double r : *results) {
                                if (mode == 3) {
                                    EXPECT_EQ(double(float(r)), r);
                                    continue;
                                }
                                const double code = std::ldexp(r, d.output_point);
                                ASSERT_EQ(code, std::floor(code)) << r;
                                widest = std::max(widest, bitsOf(code));
                            }
                        }
                    }
                }
                velmor_ip_vfft_v8_0_destroy_state(st);
                // Beyond the data width, the described bits are needed.
                EXPECT_TRUE(mode == 3 || widest == d.output_width || (widest < d.output_width && d.output_width == g.C_INPUT_WIDTH));
                EXPECT_EQ(d.output_point, mode == 3 ? 0 : g.C_INPUT_WIDTH - 1);
                EXPECT_EQ(overflowed, d.has_overflow == 1);
                EXPECT_EQ(exponent, d.has_blk_exp == 1);
            }
        }
    }
}

}  // namespace

// One batch: the data of K frames in split or interleaved arrays, and what a
// test spoils.
struct Batch {
    Generics g;
    int32_t nfft, n, frames, step;
    std::vector<double> in[2], out[2];  // real and imaginary arrays; [0] alone when interleaved
    std::vector<int32_t> schedules, directions;
    bool perFrameSchedule = false, perFrameDirection = false;
    velmor_ip_vfft_v8_0_inputs inputs{};
    velmor_ip_vfft_v8_0_outputs outputs{};

    double* part(std::vector<double>* a, bool imag) { return step == 2 ? a[0].data() + imag : a[imag].data(); }
    double& value(int32_t f, int32_t i, bool imag) { return part(in, imag)[(int64_t(f) * n + i) * step]; }
    // Points the records at this batch's arrays.
    void aim()
    {
        inputs.xn_re = part(in, false);
        inputs.xn_im = part(in, true);
        inputs.scaling_sch = schedules.data();
        outputs.xk_re = part(out, false);
        outputs.xk_im = part(out, true);
    }
};

// The batch's frames as single calls in order, each on split copies of its
// frame; returns the code and the failing frame (-1 when all ran), and leaves
// in b the arrays and records that K single calls leave.
std::pair<int32_t, int64_t> singleCalls(velmor_ip_vfft_v8_0_state* st, Batch& b, std::vector<int32_t> flags[2])
{
    const int32_t stages = b.inputs.scaling_sch_size;
    for (int32_t f = 0; f < b.frames; ++f) {
        std::vector<double> x[2], y[2];
        for (const bool imag : {false, true}) {
            for (int32_t i = 0; i < b.n; ++i) x[imag].push_back(b.value(f, i, imag));
            y[imag].assign(b.n, 0.0);
            for (int32_t i = 0; i < b.n; ++i) y[imag][i] = b.part(b.out, imag)[(int64_t(f) * b.n + i) * b.step];
        }
        velmor_ip_vfft_v8_0_inputs in = b.inputs;
        velmor_ip_vfft_v8_0_outputs out = b.outputs;
        in.xn_re = b.inputs.xn_re ? x[0].data() : nullptr;
        in.xn_im = b.inputs.xn_im ? x[1].data() : nullptr;
        out.xk_re = b.outputs.xk_re ? y[0].data() : nullptr;
        out.xk_im = b.outputs.xk_im ? y[1].data() : nullptr;
        if (b.perFrameSchedule && in.scaling_sch) in.scaling_sch += f * stages;
        if (b.perFrameDirection) in.direction = b.directions[f];
        const int32_t code = velmor_ip_vfft_v8_0_bitacc_simulate(st, in, &out);
        for (const bool imag : {false, true}) {
            for (int32_t i = 0; i < b.n; ++i) {
                b.value(f, i, imag) = x[imag][i];
                b.part(b.out, imag)[(int64_t(f) * b.n + i) * b.step] = y[imag][i];
            }
        }
        if (code != 0) return {code, f};
        b.outputs = out;
        flags[0][f] = out.blk_exp;
        flags[1][f] = out.overflow;
    }
    b.aim();
    return {0, -1};
}

// Random batches of every architecture and mode, split and interleaved, with
// shared or per-frame schedules and directions, some frames off the grid or
// with subnormal singles, and often one bad frame or a bad shared argument:
// results, flags, outputs record, input arrays, code, failing frame and
// messages equal those of single calls. The batch's messages go to the
// sink, the single calls' to standard error.
TEST(Extension, BatchEqualsSingleCalls)
{
    std::mt19937_64 rng(5);
    const auto chance = [&](int32_t in) { return rng() % in == 0; };
    for (int trial = 0; trial < 120; ++trial) {
        const int32_t arch = 1 + rng() % 4, mode = rng() % 4;
        const int32_t nfftMax = (arch == 1 ? 7 : 4) + rng() % 3;
        Batch b;
        b.g = cfg(arch, nfftMax, rng() % 2, mode != 0, mode == 2, mode == 3);
        b.g.C_INPUT_WIDTH = mode == 3 ? 32 : 8 + rng() % 27;
        b.g.C_HAS_ROUNDING = rng() % 2;
        Description d;
        ASSERT_EQ(velmor_ip_vfft_v8_0_describe(b.g, 0, &d), 0);
        b.nfft = d.nfft_min + rng() % (d.nfft_max - d.nfft_min + 1);
        ASSERT_EQ(velmor_ip_vfft_v8_0_describe(b.g, b.nfft, &d), 0);
        b.n = 1 << b.nfft;
        b.frames = rng() % 5;
        b.step = 1 + rng() % 2;
        b.perFrameSchedule = rng() % 2;
        b.perFrameDirection = rng() % 2;
        SCOPED_TRACE(testing::Message() << "trial " << trial << " arch " << arch << " mode " << mode << " nfft " << b.nfft << " frames " << b.frames << " step " << b.step);
        const int64_t samples = int64_t(b.frames) * b.n * b.step;
        for (int32_t a = 0; a < 3 - b.step; ++a) {
            b.in[a].resize(samples + 1);
            b.out[a].assign(samples + 1, 7.0);
        }
        const double ulp = std::ldexp(1.0, 1 - b.g.C_INPUT_WIDTH);
        for (int32_t f = 0; f < b.frames; ++f) {
            const bool offGrid = chance(3);
            for (int32_t i = 0; i < b.n; ++i) {
                for (const bool imag : {false, true}) {
                    const double u = std::ldexp(double(int64_t(rng() >> 11)), -53) * 2 - 1;
                    b.value(f, i, imag) = mode == 3 ? (chance(50) ? 1e-40 : std::ldexp(u, int32_t(rng() % 200) - 100)) : offGrid ? u : std::floor(u / ulp) * ulp;
                }
            }
            b.directions.push_back(rng() % 2);
            for (int32_t s = 0; s < d.stages; ++s) b.schedules.push_back(rng() % (d.schedule_max[s] + 1));
        }
        b.inputs = {chance(4) ? b.nfft + 1 : b.nfft, nullptr, b.n, nullptr, b.n, nullptr, d.stages, int32_t(rng() % 2)};
        b.outputs = {nullptr, b.n + 3, nullptr, b.n, -5, -6};
        b.aim();
        // One bad frame, or one bad shared argument.
        if (b.frames > 0 && chance(2)) {
            const int32_t bad = rng() % b.frames;
            switch (rng() % 6) {
            case 0: b.value(bad, rng() % b.n, rng() % 2) = mode == 3 ? 3.5e38 : 1.0; break;
            case 1: b.directions[bad] = 3; b.perFrameDirection = true; break;
            case 2: if (d.stages) b.schedules[bad * d.stages + rng() % d.stages] = 4, b.perFrameSchedule = true; break;
            case 3: b.outputs.xk_im_size = b.n - 1; break;
            case 4: b.inputs.xn_re_size = b.n * b.step; break;
            default: b.inputs.direction = -1; break;
            }
        }
        Batch single = b;
        single.aim();
        std::vector<int32_t> flags[2] = {std::vector<int32_t>(b.frames, 9), std::vector<int32_t>(b.frames, 9)};
        std::vector<int32_t> batchFlags[2] = {flags[0], flags[1]};
        velmor_ip_vfft_v8_0_state* st = velmor_ip_vfft_v8_0_create_state(b.g);
        std::pair<int32_t, int64_t> expected;
        const std::string err = captureStderr([&] { expected = singleCalls(st, single, flags); });
        std::string sunk;
        velmor_ip_vfft_v8_0_set_sink(st, collectLine, &sunk);
        velmor_ip_vfft_v8_0_batch batch{b.frames, b.step, b.perFrameDirection ? b.directions.data() : nullptr, b.perFrameSchedule, batchFlags[0].data(), batchFlags[1].data(), 77};
        int32_t code = -2;
        EXPECT_EQ(captureStderr([&] { code = velmor_ip_vfft_v8_0_simulate_batch(st, b.inputs, &b.outputs, &batch); }), "");
        velmor_ip_vfft_v8_0_destroy_state(st);
        EXPECT_EQ(code, expected.first);
        EXPECT_EQ(batch.failed_frame, expected.second);
        EXPECT_EQ(sunk, err);
        EXPECT_EQ(batchFlags[0], flags[0]);
        EXPECT_EQ(batchFlags[1], flags[1]);
        const auto record = [](const velmor_ip_vfft_v8_0_outputs& o) { return std::vector<int32_t>{o.xk_re_size, o.xk_im_size, o.blk_exp, o.overflow}; };
        EXPECT_EQ(record(b.outputs), record(single.outputs));
        for (int32_t a = 0; a < 3 - b.step; ++a) {
            EXPECT_EQ(std::memcmp(b.in[a].data(), single.in[a].data(), b.in[a].size() * sizeof(double)), 0);
            EXPECT_EQ(std::memcmp(b.out[a].data(), single.out[a].data(), b.out[a].size() * sizeof(double)), 0);
        }
    }
}

// The batch record itself: refused with -1 and one line, before the state is
// looked at; no frames run nothing and check nothing else.
TEST(Extension, BatchRecordChecks)
{
    velmor_ip_vfft_v8_0_state* st = velmor_ip_vfft_v8_0_create_state(cfg(2, 3, 0));
    const std::string prefix = "ERROR:vfft_v8_0:simulate_batch called with ";
    const struct {
        velmor_ip_vfft_v8_0_batch batch;
        std::string err;
    } cases[] = {
        {{-1, 1, nullptr, 0, nullptr, nullptr, 5}, prefix + "invalid frames input -1: must be 0 or more\n"},
        {{1, 0, nullptr, 0, nullptr, nullptr, 5}, prefix + "invalid step input 0: must be 1 or 2\n"},
        {{1, 3, nullptr, 0, nullptr, nullptr, 5}, prefix + "invalid step input 3: must be 1 or 2\n"},
        {{1, 2, nullptr, 2, nullptr, nullptr, 5}, prefix + "invalid schedule_per_frame input 2: must be 0 or 1\n"},
        {{0, 2, nullptr, 1, nullptr, nullptr, 5}, ""},
    };
    for (auto c : cases) {
        for (velmor_ip_vfft_v8_0_state* state : {st, static_cast<velmor_ip_vfft_v8_0_state*>(nullptr)}) {
            int32_t code = 0;
            auto batch = c.batch;
            EXPECT_EQ(captureStderr([&] { code = velmor_ip_vfft_v8_0_simulate_batch(state, {}, nullptr, &batch); }), c.err);
            EXPECT_EQ(code, c.err.empty() ? 0 : -1);
            EXPECT_EQ(batch.failed_frame, c.err.empty() ? -1 : 0);
        }
    }
    std::string sunk;
    velmor_ip_vfft_v8_0_set_sink(st, collectLine, &sunk);
    EXPECT_EQ(captureStderr([&] { EXPECT_EQ(velmor_ip_vfft_v8_0_simulate_batch(st, {}, nullptr, nullptr), -1); }), "");
    EXPECT_EQ(sunk, prefix + "null batch structure\n");
    velmor_ip_vfft_v8_0_set_sink(nullptr, collectLine, &sunk);
    velmor_ip_vfft_v8_0_destroy_state(st);
}
