// Many threads, each with its own state, run different configurations at the
// same time through the C interface, and every call gives exactly the result
// of the same call made alone: states share nothing, and the library keeps
// no mutable data of its own. Built with the thread sanitizer as well.
#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "vfft_v8_0_ext.h"

namespace {

using Generics = velmor_ip_vfft_v8_0_generics;

struct Frame {
    int32_t nfft;
    std::vector<double> re, im;
    std::vector<int32_t> schedule;
    int32_t direction;
};

struct Result {
    int32_t code = -1, reSize = 0, imSize = 0, blkExp = 0, overflow = 0;
    std::vector<double> re, im;
    std::string messages;  // the lines the state's sink received during the call

    bool operator==(const Result& o) const {
        return code == o.code && messages == o.messages && reSize == o.reSize && imSize == o.imSize && blkExp == o.blkExp &&
               overflow == o.overflow && re.size() == o.re.size() && im.size() == o.im.size() &&
               std::memcmp(re.data(), o.re.data(), re.size() * sizeof(double)) == 0 &&
               std::memcmp(im.data(), o.im.data(), im.size() * sizeof(double)) == 0;
    }
};

struct Job {
    Generics g;
    std::vector<Frame> frames;
};

// Every architecture in every scaling mode and in floating-point mode, with
// frames on and off the input grid, run-time lengths, refused calls, and a
// few frames with special values (NaN in fixed point, subnormal and infinite
// singles).
std::vector<Job> jobs() {
    std::vector<Job> all;
    std::mt19937 rng(2026);
    for (int arch = 1; arch <= 4; ++arch)
        for (int mode = 0; mode < 4; ++mode) {  // unscaled, scheduled, block floating point, floating point
            const int32_t low = arch == 1 ? 6 : 3;
            const int32_t top = arch == 1 ? 7 : 6;
            const int32_t width = mode == 3 ? 32 : 10 + 6 * mode + arch;
            Job job{{top, arch, mode % 2, mode == 3, width, 24 - 3 * arch, mode == 1 || mode == 2, mode == 2, arch % 2},
                    {}};
            for (int k = 0; k < 4; ++k) {
                const int32_t nfft = job.g.C_HAS_NFFT && k % 2 ? low + k / 2 : top;
                const int32_t n = 1 << nfft;
                Frame f{nfft, std::vector<double>(n), std::vector<double>(n), {}, k % 2};
                const double step = std::ldexp(1.0, -(width - 1));
                std::uniform_int_distribution<int32_t> code(-(1 << 20), (1 << 20) - 1);
                for (int32_t i = 0; i < n; ++i) {
                    if (mode == 3) {
                        f.re[i] = std::ldexp(code(rng), k * 20 - 30);
                        f.im[i] = std::ldexp(code(rng), k * 20 - 30);
                    } else {
                        // Frames 0 and 2 on the input grid, 1 and 3 off it.
                        f.re[i] = std::remainder(code(rng) * step, 2.0) * 0.9 + (k % 2 ? step / 3 : 0.0);
                        f.im[i] = std::remainder(code(rng) * step, 2.0) * 0.9;
                        f.re[i] = k % 2 ? f.re[i] : std::round(f.re[i] / step) * step;
                        f.im[i] = std::round(f.im[i] / step) * step;
                    }
                }
                if (k == 3 && mode == 3) {
                    f.re[1] = 1.0e-40;
                    if (arch % 2) f.im[2] = std::numeric_limits<double>::infinity();
                }
                if (k == 3 && mode != 3 && arch == mode + 1) f.im[3] = std::nan("");
                const int32_t stages = arch == 1 || arch == 3 ? (nfft + 1) / 2 : nfft;
                for (int32_t s = 0; s < stages; ++s) f.schedule.push_back(s + 1 == stages && nfft % 2 ? 1 : (s + k) % 3);
                if (k == 2 && mode == 1) f.schedule[0] = 5;  // refused with its code
                job.frames.push_back(std::move(f));
            }
            all.push_back(std::move(job));
        }
    return all;
}

Result run(velmor_ip_vfft_v8_0_state* st, Frame f, std::string& lines) {
    const int32_t n = static_cast<int32_t>(f.re.size());
    Result r;
    lines.clear();
    r.re.assign(n, -5.0);
    r.im.assign(n, -5.0);
    velmor_ip_vfft_v8_0_inputs in{f.nfft, f.re.data(), n, f.im.data(), n, f.schedule.data(),
                                  static_cast<int32_t>(f.schedule.size()), f.direction};
    velmor_ip_vfft_v8_0_outputs out{r.re.data(), n, r.im.data(), n, 0, 0};
    r.code = velmor_ip_vfft_v8_0_bitacc_simulate(st, in, &out);
    r.reSize = out.xk_re_size;
    r.imSize = out.xk_im_size;
    r.blkExp = out.blk_exp;
    r.overflow = out.overflow;
    r.messages = lines;
    return r;
}

// Each state's messages go to its own sink, which keeps them apart from the
// other threads' messages and off standard error.
std::vector<Result> runJob(const Job& job, int rounds) {
    std::string lines;
    const auto collect = [](void* user, const char* line) { *static_cast<std::string*>(user) += std::string(line) + "\n"; };
    velmor_ip_vfft_v8_0_state* st = velmor_ip_vfft_v8_0_create_state_with_sink(job.g, collect, &lines);
    std::vector<Result> results;
    for (int r = 0; r < rounds; ++r)
        for (const Frame& f : job.frames) results.push_back(st ? run(st, f, lines) : Result{});
    velmor_ip_vfft_v8_0_destroy_state(st);
    return results;
}

// Holds the threads until all have started, so that they run together.
class StartLine {
public:
    explicit StartLine(int count) : waiting(count) {}
    void arriveAndWait() {
        std::unique_lock<std::mutex> lock(m);
        if (--waiting == 0) cv.notify_all();
        cv.wait(lock, [this] { return waiting == 0; });
    }

private:
    std::mutex m;
    std::condition_variable cv;
    int waiting;
};

TEST(Threads, ConcurrentStatesGiveTheSerialResults) {
    const std::vector<Job> all = jobs();
    // Every configuration at once, four of them twice (each thread with its
    // own state), every thread repeating its frames.
    const int threadCount = static_cast<int>(all.size()) + 4;
    constexpr int kRounds = 2;
    std::vector<std::vector<Result>> serial(all.size()), parallel(threadCount);
    {
        for (size_t j = 0; j < all.size(); ++j) serial[j] = runJob(all[j], 1);
        StartLine start(threadCount);
        std::vector<std::thread> threads;
        for (int t = 0; t < threadCount; ++t)
            threads.emplace_back([&, t] {
                start.arriveAndWait();
                parallel[t] = runJob(all[t % all.size()], kRounds);
            });
        for (std::thread& th : threads) th.join();
    }
    int accepted = 0, warned = 0;
    for (const std::vector<Result>& results : serial)
        for (const Result& r : results) accepted += r.code == 0, warned += !r.messages.empty();
    EXPECT_GE(accepted, 60);  // the comparison is mostly between transforms, not refusals
    EXPECT_GE(warned, 20);
    for (int t = 0; t < threadCount; ++t) {
        const std::vector<Result>& expected = serial[t % all.size()];
        ASSERT_EQ(parallel[t].size(), expected.size() * kRounds);
        for (size_t k = 0; k < parallel[t].size(); ++k)
            EXPECT_TRUE(parallel[t][k] == expected[k % expected.size()])
                << "configuration " << t % all.size() << ", call " << k % expected.size() << ", round "
                << k / expected.size();
    }
}

}  // namespace
