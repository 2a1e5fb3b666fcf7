// Burst engines on random data against the integer model, bit for bit: block
// floating point (the radix-2 engine in particular, whose shifts end-to-end
// accuracy tests cannot pin down) and fixed schedules.
#include <gtest/gtest.h>

#include <random>

#include "burst_model.h"
#include "exact_call.h"

namespace exact {
namespace {

struct Case {
    int arch, nfftMax, width, twiddle, rounding, direction;
    double amplitude;  // of each part, as a fraction of full scale
    int spikes;        // samples set to a large value of either sign
};

// Random grid samples: uniform within the amplitude, a few spikes near full
// scale so that every growth class and the first-stage shift occur.
std::vector<model::Cx> randomSamples(const Case& c, uint32_t seed) {
    std::mt19937_64 rng(seed);
    const int64_t full = int64_t(1) << (c.width - 1);
    const int64_t top = static_cast<int64_t>(c.amplitude * static_cast<double>(full));
    std::uniform_int_distribution<int64_t> part(-top, top - 1), spike(full / 2, full - 1);
    std::vector<model::Cx> x(size_t(1) << c.nfftMax);
    for (model::Cx& v : x) v = {part(rng), part(rng)};
    std::uniform_int_distribution<size_t> where(0, x.size() - 1);
    for (int s = 0; s < c.spikes; ++s) {
        const int64_t v = spike(rng);
        x[where(rng)].re = s % 2 ? -v : v;
    }
    return x;
}

// Runs the call and the model on the same samples and compares every field;
// returns whether the model's frame overflowed.
int compare(Core& core, const Case& c, const std::vector<model::Cx>& x, const std::vector<int32_t>& schedule) {
    model::Config mc;
    mc.W = c.width;
    mc.T = c.twiddle;
    mc.nfftMax = mc.nfft = c.nfftMax;
    mc.rounding = c.rounding;
    mc.direction = c.direction;
    mc.bfp = schedule.empty();
    mc.schedule.assign(schedule.begin(), schedule.end());
    model::Burst engine(mc);
    const model::Output want = c.arch == 1 ? engine.radix4(x) : engine.radix2(x);
    std::vector<double> re, im, wantRe, wantIm;
    for (const model::Cx& v : x) {
        re.push_back(units(v.re, c.width));
        im.push_back(units(v.im, c.width));
    }
    for (const model::Cx& v : want.x) {
        wantRe.push_back(units(v.re, c.width));
        wantIm.push_back(units(v.im, c.width));
    }
    const Result r = core.run(re, im, c.direction, schedule);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.blkExp, schedule.empty() ? want.blkExp : 0);
    EXPECT_EQ(r.overflow, schedule.empty() ? 0 : want.overflow);
    expectSame(r.re, wantRe, "re");
    expectSame(r.im, wantIm, "im");
    return want.overflow;
}

const Case bfpCases[] = {
    // arch nfftMax width twiddle rounding direction amplitude spikes
    {2, 3, 16, 16, 0, 1, 0.45, 0}, {2, 4, 8, 8, 1, 0, 0.99, 2},    {4, 5, 16, 16, 1, 1, 0.2, 1},
    {2, 6, 12, 20, 0, 0, 0.3, 0},  {4, 7, 24, 24, 1, 1, 0.45, 3},  {2, 8, 18, 12, 0, 1, 0.1, 1},
    {2, 5, 34, 18, 1, 0, 0.4, 0},  {4, 6, 16, 34, 0, 1, 0.05, 0},  {1, 6, 16, 16, 0, 1, 0.2, 1},
    {1, 7, 16, 16, 1, 0, 0.1, 2},  {1, 8, 20, 14, 1, 1, 0.24, 0},  {1, 7, 10, 24, 0, 0, 0.9, 0},
};

TEST(RandomBurst, BlockFloatingPointMatchesTheModel) {
    uint32_t seed = 1;
    for (const Case& c : bfpCases) {
        Core core({c.nfftMax, c.arch, c.width, c.twiddle, 1, 1, c.rounding});
        for (int draw = 0; draw < 3; ++draw) {
            SCOPED_TRACE(testing::Message() << "case " << &c - bfpCases << ", draw " << draw);
            compare(core, c, randomSamples(c, seed++), {});
        }
    }
}

// Schedules of random shifts, too small on purpose in some stages: overflowed
// samples wrap and are then shifted and combined further, so the results of
// overflowed frames are checked as well as the flag.
TEST(RandomBurst, FixedScheduleMatchesTheModelIncludingWrappedFrames) {
    const Case cases[] = {
        {2, 4, 16, 16, 0, 1, 0.9, 0}, {4, 6, 12, 16, 1, 0, 0.6, 1}, {2, 7, 20, 18, 1, 1, 0.3, 2},
        {1, 6, 16, 16, 0, 0, 0.9, 0}, {1, 7, 16, 12, 1, 1, 0.5, 1}, {1, 8, 18, 16, 0, 1, 0.3, 0},
    };
    std::mt19937 rng(5);
    int overflowed = 0;
    for (const Case& c : cases) {
        const int stages = c.arch == 1 ? (c.nfftMax + 1) / 2 : c.nfftMax;
        Core core({c.nfftMax, c.arch, c.width, c.twiddle, 1, 0, c.rounding});
        for (int draw = 0; draw < 4; ++draw) {
            std::vector<int32_t> schedule;
            for (int s = 0; s < stages; ++s) {
                const bool lastRadix2 = c.arch == 1 && c.nfftMax % 2 == 1 && s == stages - 1;
                schedule.push_back(int32_t(std::uniform_int_distribution<int>(0, lastRadix2 ? 1 : 2)(rng)));
            }
            SCOPED_TRACE(testing::Message() << "case " << &c - cases << ", draw " << draw);
            overflowed += compare(core, c, randomSamples(c, uint32_t(100 + draw)), schedule);
        }
    }
    EXPECT_GE(overflowed, 6) << "too few frames overflowed to test wrapping";
}

}  // namespace
}  // namespace exact
