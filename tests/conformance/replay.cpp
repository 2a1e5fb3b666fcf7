// Replays the recorded conformance cases through the four C functions of the
// library this program is linked with and checks every field bit for bit:
// the state (null or not) and the text create_state writes, then per call the
// return code, the text written, the outputs record, both whole output arrays
// and the input arrays after the call.
//
//   conformance_replay --cases FILE              every case
//   conformance_replay --cases FILE --shard K/N  the cases whose index is K modulo N
//   conformance_replay --cases FILE --case ID    the one case named ID
//   ... --target NAME   on the vector target NAME of the default library
//                       (exit status 77 when the processor lacks it)
//
// Every failing case is reported with its call and first differing field;
// the exit status is 1 when any case failed or none was selected.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#ifdef VFFT_REPLAY_TARGETS
#include "VectorTargets.h"
#endif
#include "conformance_case.h"
#include "stderr_capture.h"
#include "vfft_v8_0.h"
#include "vfft_v8_0_ext.h"

namespace {

using namespace conformance;

// Values every output array entry and record field holds before a call, so
// that whatever the call must not touch is seen to keep them.
constexpr uint64_t kFillBits = 0xc0934a456d5cfaadULL;  // -1234.5678
constexpr int32_t kFillBlkExp = -12345;
constexpr int32_t kFillOverflow = 777;

double fromBits(uint64_t bits)
{
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

uint64_t toBits(double d)
{
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return bits;
}

bool isNan(uint64_t bits) { return (bits & 0x7ff0000000000000ULL) == 0x7ff0000000000000ULL && (bits & 0x000fffffffffffffULL) != 0; }

std::string showDouble(uint64_t bits)
{
    char text[48];
    std::snprintf(text, sizeof text, "%016" PRIx64 " (%.17g)", bits, fromBits(bits));
    return text;
}

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '\n') out += "\\n";
        else if (c == '"' || c == '\\') out += std::string("\\") + c;
        else out += c;
    }
    return out + "\"";
}

// Caller-owned arrays of one call. new T[0] is not null, so an empty array is
// passed as a valid pointer and only an absent one as a null pointer.
template <class T>
std::unique_ptr<T[]> makeArray(std::size_t n) { return std::unique_ptr<T[]>(new T[n]); }

std::unique_ptr<double[]> doublesFrom(const std::optional<Bits>& bits)
{
    if (!bits) return nullptr;
    auto out = makeArray<double>(bits->size());
    for (std::size_t i = 0; i < bits->size(); ++i) out[i] = fromBits((*bits)[i]);
    return out;
}

std::unique_ptr<double[]> filledOutput(bool null, int32_t capacity)
{
    if (null) return nullptr;
    auto out = makeArray<double>(static_cast<std::size_t>(capacity));
    for (int32_t i = 0; i < capacity; ++i) out[i] = fromBits(kFillBits);
    return out;
}

// The first entry of `actual` that differs from `expected`; with `anyNan`
// an expected NaN is matched by every NaN. Empty when all entries match.
std::string arrayDifference(const char* name, const std::optional<Bits>& expected, const double* actual, bool anyNan)
{
    if (!expected) return "";
    for (std::size_t i = 0; i < expected->size(); ++i) {
        const uint64_t want = (*expected)[i];
        const uint64_t got = toBits(actual[i]);
        if (got == want || (anyNan && isNan(want) && isNan(got))) continue;
        return std::string(name) + "[" + std::to_string(i) + "]: expected " + showDouble(want) + ", got " + showDouble(got);
    }
    return "";
}

std::string fieldDifference(const char* name, int64_t expected, int64_t actual)
{
    if (expected == actual) return "";
    return std::string(name) + ": expected " + std::to_string(expected) + ", got " + std::to_string(actual);
}

class Replayer {
public:
    // Runs one case; returns one line per failing step, none when it conforms.
    std::vector<std::string> run(const Case& c)
    {
        std::vector<std::string> failures;
        capture_.setActivity("case " + c.id + " create_state");
        velmor_ip_vfft_v8_0_state* state = nullptr;
        const std::string text = capture_.run([&] { state = velmor_ip_vfft_v8_0_create_state(c.generics); });
        if ((state == nullptr) != c.state_null)
            failures.push_back("create_state: expected " + std::string(c.state_null ? "a null state" : "a state") + ", got " + (state ? "a state" : "a null state"));
        else if (text != c.create_stderr)
            failures.push_back("create_state stderr: expected " + quoted(c.create_stderr) + ", got " + quoted(text));

        // A fixed-point core gives no meaning to the payload of a NaN result.
        const bool anyNanResult = c.generics.C_USE_FLT_PT == 0;
        for (std::size_t k = 0; k < c.calls.size(); ++k) {
            const Call& call = c.calls[k];
            // Without the expected state only the calls that pass a null one can run.
            if (!call.inputs.null_state && state == nullptr) continue;
            capture_.setActivity("case " + c.id + " call " + std::to_string(k));
            const std::string d = runCall(call, call.inputs.null_state ? nullptr : state, anyNanResult);
            if (!d.empty()) failures.push_back("call " + std::to_string(k) + ": " + d);
        }
        velmor_ip_vfft_v8_0_destroy_state(state);
        return failures;
    }

private:
    // Makes one call as recorded and returns its first differing field.
    std::string runCall(const Call& call, velmor_ip_vfft_v8_0_state* state, bool anyNanResult)
    {
        const CallInputs& in = call.inputs;
        auto xnRe = doublesFrom(in.xn_re);
        auto xnIm = doublesFrom(in.xn_im);
        std::unique_ptr<int32_t[]> schedule;
        if (in.scaling_sch) {
            schedule = makeArray<int32_t>(in.scaling_sch->size());
            std::copy(in.scaling_sch->begin(), in.scaling_sch->end(), schedule.get());
        }
        auto xkRe = filledOutput(in.xk_re_null, in.xk_re_capacity);
        auto xkIm = filledOutput(in.xk_im_null, in.xk_im_capacity);
        const velmor_ip_vfft_v8_0_inputs inputs{in.nfft, xnRe.get(), in.xn_re_size, xnIm.get(), in.xn_im_size, schedule.get(), in.scaling_sch_size, in.direction};
        velmor_ip_vfft_v8_0_outputs outputs{xkRe.get(), in.xk_re_size, xkIm.get(), in.xk_im_size, kFillBlkExp, kFillOverflow};

        int32_t rc = 0;
        std::string text;
        try {
            text = capture_.run([&] { rc = velmor_ip_vfft_v8_0_bitacc_simulate(state, inputs, in.outputs_null ? nullptr : &outputs); });
        } catch (const std::exception& e) {
            return std::string("the call let an exception escape: ") + e.what();
        } catch (...) {
            return "the call let an exception of unknown type escape";
        }

        const CallExpected& e = call.expected;
        if (rc != e.rc) return fieldDifference("rc", e.rc, rc);
        if (text != e.stderr_text) return "stderr: expected " + quoted(e.stderr_text) + ", got " + quoted(text);
        for (const std::string& d : {
                 fieldDifference("blk_exp", e.blk_exp, outputs.blk_exp),
                 fieldDifference("overflow", e.overflow, outputs.overflow),
                 fieldDifference("xk_re_size", e.xk_re_size, outputs.xk_re_size),
                 fieldDifference("xk_im_size", e.xk_im_size, outputs.xk_im_size),
                 arrayDifference("xk_re", e.xk_re, xkRe.get(), anyNanResult),
                 arrayDifference("xk_im", e.xk_im, xkIm.get(), anyNanResult),
                 arrayDifference("xn_re_after", e.xn_re_after, xnRe.get(), false),
                 arrayDifference("xn_im_after", e.xn_im_after, xnIm.get(), false)})
            if (!d.empty()) return d;
        return "";
    }

    StderrCapture capture_;
};

struct Options {
    std::string cases;
    std::string caseId;
    std::size_t shard = 0, shards = 1;
    std::string target;
};

std::size_t parseCount(const std::string& text, const std::string& what)
{
    std::size_t used = 0;
    unsigned long value = 0;
    try {
        value = std::stoul(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || text[0] == '-') throw std::runtime_error(what + ": expected a non-negative integer, found \"" + text + "\"");
    return value;
}

Options parseOptions(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (flag != "--cases" && flag != "--shard" && flag != "--case" && flag != "--target")
            throw std::runtime_error("argument " + std::to_string(i) + ": expected --cases FILE, --shard K/N, --case ID or --target NAME, found \"" + flag + "\"");
        if (i + 1 == argc) throw std::runtime_error(flag + ": expected a value after it");
        const std::string value = argv[++i];
        if (flag == "--cases") {
            o.cases = value;
        } else if (flag == "--target") {
            o.target = value;
        } else if (flag == "--case") {
            o.caseId = value;
        } else {
            const std::size_t slash = value.find('/');
            if (slash == std::string::npos) throw std::runtime_error("--shard: expected K/N, found \"" + value + "\"");
            o.shard = parseCount(value.substr(0, slash), "--shard K");
            o.shards = parseCount(value.substr(slash + 1), "--shard N");
            if (o.shards == 0 || o.shard >= o.shards)
                throw std::runtime_error("--shard: expected 0 <= K < N, found \"" + value + "\"");
        }
    }
    if (o.cases.empty()) throw std::runtime_error("expected --cases FILE naming the case file");
    if (!o.caseId.empty() && o.shards != 1) throw std::runtime_error("expected either --case or --shard, found both");
    return o;
}

int replay(const Options& o)
{
    if (!o.target.empty()) {
#ifdef VFFT_REPLAY_TARGETS
        const int64_t target = vectorTarget(o.target);
        if (target == 0) {
            std::cout << "this processor does not run the target " << o.target << "\n";
            return 77;
        }
        runOn(target);
        // The library names the target it now runs.
        const std::string name = velmor_ip_vfft_v8_0_datapath();
        if (name != "native " + o.target) {
            std::cout << "the library runs \"" << name << "\", not \"native " << o.target << "\"\n";
            return 1;
        }
#else
        throw std::runtime_error("--target: this library has no vector targets");
#endif
    }
    std::ifstream file(o.cases);
    if (!file) throw std::runtime_error(o.cases + ": cannot open the case file");
    Replayer replayer;
    std::size_t lineNumber = 0, index = 0, ran = 0, calls = 0, failed = 0;
    std::string line;
    while (std::getline(file, line)) {
        ++lineNumber;
        if (line.empty()) continue;
        const std::size_t caseIndex = index++;
        if (o.caseId.empty() && caseIndex % o.shards != o.shard) continue;
        Case c;
        try {
            const Json record = parseJson(line);
            if (!o.caseId.empty() && JsonField(record, "").at("id").toString() != o.caseId) continue;
            c = decodeCase(record);
        } catch (const std::exception& e) {
            std::cout << o.cases << " line " << lineNumber << ": " << e.what() << "\n";
            ++ran;
            ++failed;
            continue;
        }
        ++ran;
        calls += c.calls.size();
        const std::vector<std::string> failures = replayer.run(c);
        for (const std::string& f : failures) std::cout << "case " << c.id << " " << f << "\n";
        if (!failures.empty()) ++failed;
    }
    if (file.bad()) throw std::runtime_error(o.cases + ": read error after line " + std::to_string(lineNumber));
    std::cout << ran << " cases with " << calls << " calls replayed from " << o.cases << ", " << failed << " failed\n";
    if (ran == 0) {
        std::cout << (o.caseId.empty() ? "no case was selected" : "no case has the id \"" + o.caseId + "\"") << "\n";
        return 1;
    }
    return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        return replay(parseOptions(argc, argv));
    } catch (const std::exception& e) {
        std::cerr << "conformance replay: " << e.what() << "\n";
        return 2;
    }
}
