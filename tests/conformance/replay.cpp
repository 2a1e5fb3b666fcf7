// Replays the recorded conformance cases (data/README.md) through the C
// functions of the library this program is linked with and checks every
// field bit for bit: the state (null or not) and the text create_state
// writes, then per call the return code, the text written, the outputs
// record, both whole output arrays and the input arrays after the call.
//
//   conformance_replay --cases FILE [--shard K/N | --case ID] [--target NAME]
//
// --target runs the default library on its vector target NAME (exit status
// 77 when the processor lacks it).
// A shard holds the cases whose index is K modulo N. Every failing case is
// reported with its call and first differing field; the exit status is 1
// when any case failed or none was selected, 2 for a bad argument or file.
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

#include "Stderr.h"
#ifdef VFFT_REPLAY_TARGETS
#include "VectorTargets.h"
#endif
#include "vfft_v8_0.h"
#include "vfft_v8_0_ext.h"

namespace {

using Bits = std::vector<uint64_t>;

// One JSON value of a case line with its path in the record (for example
// "calls[2].inputs.nfft"), so that a decoding error names the field.
struct Json {
    enum Kind { Null, Bool, Integer, String, Array, Object } kind = Null;
    std::string path, text;
    int64_t integer = 0;            // also a bool's 0 or 1
    std::vector<Json> items;        // array entries, or object members
    std::vector<std::string> keys;  // object member names

    [[noreturn]] void fail(const std::string& expected) const
    {
        throw std::runtime_error((path.empty() ? "the record" : path) + ": expected " + expected);
    }
    const Json& operator[](const char* key) const
    {
        if (kind != Object) fail("an object");
        for (std::size_t k = 0; k < keys.size(); ++k)
            if (keys[k] == key) return items[k];
        fail(std::string("a field \"") + key + "\"");
    }
    bool boolean() const { return kind == Bool ? integer != 0 : (fail("true or false"), false); }
    int32_t int32() const
    {
        if (kind != Integer || integer < INT32_MIN || integer > INT32_MAX) fail("a 32-bit integer");
        return static_cast<int32_t>(integer);
    }
    int32_t count() const { return int32() >= 0 ? int32() : (fail("a count of 0 or more"), 0); }
    const std::string& string() const { return kind == String ? text : (fail("a string"), text); }
    const std::vector<Json>& array() const { return kind == Array ? items : (fail("an array"), items); }
    // A double as the 16 hexadecimal digits of its bit pattern.
    uint64_t bits() const
    {
        if (string().size() != 16 || text.find_first_not_of("0123456789abcdef") != std::string::npos) fail("16 hexadecimal digits");
        return std::stoull(text, nullptr, 16);
    }
    std::optional<Bits> bitsArray() const
    {
        if (kind == Null) return std::nullopt;
        Bits out;
        for (const Json& v : array()) out.push_back(v.bits());
        return out;
    }
};

// A parser of one JSON line: objects, arrays, strings, integers, true, false, null.
class Parser {
public:
    explicit Parser(const std::string& text) : text_(text) {}

    Json document()
    {
        Json v = value("");
        if (skip() != '\0') fail("the end of the line");
        return v;
    }

private:
    [[noreturn]] void fail(const char* expected) const
    {
        throw std::runtime_error("column " + std::to_string(at_ + 1) + ": expected " + expected);
    }
    char skip()
    {
        while (at_ < text_.size() && std::strchr(" \t\r", text_[at_])) ++at_;
        return at_ < text_.size() ? text_[at_] : '\0';
    }
    bool take(char c) { return skip() == c && ++at_; }
    bool word(const char* w)
    {
        const bool found = text_.compare(at_, std::strlen(w), w) == 0;
        if (found) at_ += std::strlen(w);
        return found;
    }
    std::string string()
    {
        if (!take('"')) fail("a string");
        std::string s;
        for (char c; (c = at_ < text_.size() ? text_[at_++] : '\0') != '"';) {
            if (c == '\0') fail("the end of the string");
            if (c == '\\') {
                c = at_ < text_.size() ? text_[at_++] : '\0';
                if (!std::strchr("n\"\\/", c)) fail("an escape \\n, \\\", \\\\ or \\/");
                if (c == 'n') c = '\n';
            }
            s += c;
        }
        return s;
    }
    Json value(const std::string& path)
    {
        Json v;
        v.path = path;
        const char c = skip();
        if (take('{')) {
            v.kind = Json::Object;
            if (!take('}')) {
                do {
                    v.keys.push_back(string());
                    if (!take(':')) fail("':'");
                    v.items.push_back(value(path.empty() ? v.keys.back() : path + "." + v.keys.back()));
                } while (take(','));
                if (!take('}')) fail("',' or '}'");
            }
        } else if (take('[')) {
            v.kind = Json::Array;
            if (!take(']')) {
                do v.items.push_back(value(path + "[" + std::to_string(v.items.size()) + "]"));
                while (take(','));
                if (!take(']')) fail("',' or ']'");
            }
        } else if (c == '"') {
            v.kind = Json::String;
            v.text = string();
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            v.kind = Json::Integer;
            std::size_t used = 0;
            try {
                v.integer = std::stoll(text_.substr(at_, 24), &used);
            } catch (const std::exception&) {
                fail("an integer");
            }
            at_ += used;
        } else if (word("true")) {
            v.kind = Json::Bool;
            v.integer = 1;
        } else if (word("false")) {
            v.kind = Json::Bool;
        } else if (!word("null")) {
            fail("a value");
        }
        return v;
    }

    const std::string& text_;
    std::size_t at_ = 0;
};

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

std::string shownText(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) out += c == '\n' ? std::string("\\n") : c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
    return out + "\"";
}

// A caller-owned array of the recorded doubles, or null; new T[0] is not null,
// so an empty array is passed as a valid pointer.
std::unique_ptr<double[]> doubles(const std::optional<Bits>& bits, std::size_t capacity, bool fill)
{
    if (!bits && !fill) return nullptr;
    std::unique_ptr<double[]> out(new double[capacity]);
    for (std::size_t i = 0; i < capacity; ++i) out[i] = fromBits(fill ? kFillBits : (*bits)[i]);
    return out;
}

// The first entry of `actual` that differs from `expected` (an array that
// must be null exactly when `null` says so, with `length` entries); with
// `anyNan` an expected NaN is matched by every NaN. Empty when all match.
std::string arrayDifference(const char* name, const Json& field, bool null, std::size_t length, const double* actual, bool anyNan)
{
    const std::optional<Bits> expected = field.bitsArray();
    if (expected.has_value() == null) field.fail(null ? "null" : "an array");
    if (!expected) return "";
    if (expected->size() != length) field.fail(std::to_string(length) + " entries");
    for (std::size_t i = 0; i < length; ++i) {
        const uint64_t want = (*expected)[i], got = toBits(actual[i]);
        if (got != want && !(anyNan && isNan(want) && isNan(got)))
            return std::string(name) + "[" + std::to_string(i) + "]: expected " + showDouble(want) + ", got " + showDouble(got);
    }
    return "";
}

std::string fieldDifference(const char* name, const Json& expected, int64_t actual)
{
    if (expected.int32() == actual) return "";
    return std::string(name) + ": expected " + std::to_string(expected.int32()) + ", got " + std::to_string(actual);
}

class Replayer {
public:
    // Runs one case; returns one line per failing step, none when it conforms.
    std::vector<std::string> run(const Json& c)
    {
        std::vector<std::string> failures;
        const Json& gj = c["generics"];
        velmor_ip_vfft_v8_0_generics g;
        int32_t* fields[] = {&g.C_NFFT_MAX, &g.C_ARCH, &g.C_HAS_NFFT, &g.C_USE_FLT_PT, &g.C_INPUT_WIDTH,
                             &g.C_TWIDDLE_WIDTH, &g.C_HAS_SCALING, &g.C_HAS_BFP, &g.C_HAS_ROUNDING};
        const char* names[] = {"C_NFFT_MAX", "C_ARCH", "C_HAS_NFFT", "C_USE_FLT_PT", "C_INPUT_WIDTH",
                               "C_TWIDDLE_WIDTH", "C_HAS_SCALING", "C_HAS_BFP", "C_HAS_ROUNDING"};
        for (int k = 0; k < 9; ++k) *fields[k] = gj[names[k]].int32();
        const bool stateNull = c["create_state"]["null"].boolean();
        const std::string& createText = c["create_state"]["stderr"].string();
        velmor_ip_vfft_v8_0_state* state = nullptr;
        const std::string text = capture_.run([&] { state = velmor_ip_vfft_v8_0_create_state(g); });
        if ((state == nullptr) != stateNull)
            failures.push_back("create_state: expected " + std::string(stateNull ? "a null state" : "a state") + ", got " + (state ? "a state" : "a null state"));
        else if (text != createText)
            failures.push_back("create_state stderr: expected " + shownText(createText) + ", got " + shownText(text));
        // A fixed-point core gives no meaning to the payload of a NaN result.
        const bool anyNanResult = g.C_USE_FLT_PT == 0;
        const std::vector<Json>& calls = c["calls"].array();
        for (std::size_t k = 0; k < calls.size(); ++k) {
            const bool nullState = calls[k]["inputs"]["null_state"].boolean();
            // Without the expected state only the calls that pass a null one can run.
            if (!nullState && state == nullptr) continue;
            const std::string d = runCall(calls[k], nullState ? nullptr : state, anyNanResult);
            if (!d.empty()) failures.push_back("call " + std::to_string(k) + ": " + d);
        }
        velmor_ip_vfft_v8_0_destroy_state(state);
        return failures;
    }

private:
    // Makes one call as recorded and returns its first differing field.
    std::string runCall(const Json& call, velmor_ip_vfft_v8_0_state* state, bool anyNanResult)
    {
        const Json& in = call["inputs"];
        const std::optional<Bits> re = in["xn_re"].bitsArray(), im = in["xn_im"].bitsArray();
        auto xnRe = doubles(re, re ? re->size() : 0, false);
        auto xnIm = doubles(im, im ? im->size() : 0, false);
        std::unique_ptr<int32_t[]> schedule;
        if (in["scaling_sch"].kind != Json::Null) {
            const std::vector<Json>& s = in["scaling_sch"].array();
            schedule.reset(new int32_t[s.size()]);
            for (std::size_t k = 0; k < s.size(); ++k) schedule[k] = s[k].int32();
        }
        const bool reNull = in["xk_re_null"].boolean(), imNull = in["xk_im_null"].boolean();
        const std::size_t reCapacity = in["xk_re_capacity"].count(), imCapacity = in["xk_im_capacity"].count();
        auto xkRe = doubles(std::nullopt, reCapacity, !reNull);
        auto xkIm = doubles(std::nullopt, imCapacity, !imNull);
        const velmor_ip_vfft_v8_0_inputs inputs{in["nfft"].int32(), xnRe.get(), in["xn_re_size"].int32(), xnIm.get(), in["xn_im_size"].int32(),
                                                schedule.get(), in["scaling_sch_size"].int32(), in["direction"].int32()};
        velmor_ip_vfft_v8_0_outputs outputs{xkRe.get(), in["xk_re_size"].int32(), xkIm.get(), in["xk_im_size"].int32(), kFillBlkExp, kFillOverflow};
        const bool outputsNull = in["outputs_null"].boolean();

        int32_t rc = 0;
        std::string text;
        try {
            text = capture_.run([&] { rc = velmor_ip_vfft_v8_0_bitacc_simulate(state, inputs, outputsNull ? nullptr : &outputs); });
        } catch (const std::exception& e) {
            return std::string("the call let an exception escape: ") + e.what();
        } catch (...) {
            return "the call let an exception of unknown type escape";
        }
        const Json& e = call["expected"];
        if (e["rc"].int32() != rc) return fieldDifference("rc", e["rc"], rc);
        if (text != e["stderr"].string()) return "stderr: expected " + shownText(e["stderr"].text) + ", got " + shownText(text);
        for (const std::string& d : {
                 fieldDifference("blk_exp", e["blk_exp"], outputs.blk_exp),
                 fieldDifference("overflow", e["overflow"], outputs.overflow),
                 fieldDifference("xk_re_size", e["xk_re_size"], outputs.xk_re_size),
                 fieldDifference("xk_im_size", e["xk_im_size"], outputs.xk_im_size),
                 arrayDifference("xk_re", e["xk_re"], reNull, reCapacity, xkRe.get(), anyNanResult),
                 arrayDifference("xk_im", e["xk_im"], imNull, imCapacity, xkIm.get(), anyNanResult),
                 arrayDifference("xn_re_after", e["xn_re_after"], !re, re ? re->size() : 0, xnRe.get(), false),
                 arrayDifference("xn_im_after", e["xn_im_after"], !im, im ? im->size() : 0, xnIm.get(), false)})
            if (!d.empty()) return d;
        return "";
    }

    StderrCapture capture_;
};

struct Options {
    std::string cases, caseId, target;
    unsigned long shard = 0, shards = 1;
};

Options parseOptions(int argc, char** argv)
{
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i], value = argv[i + 1];
        if (flag == "--cases") {
            o.cases = value;
        } else if (flag == "--case") {
            o.caseId = value;
        } else if (flag == "--target") {
            o.target = value;
        } else if (flag == "--shard" && std::sscanf(value.c_str(), "%lu/%lu", &o.shard, &o.shards) == 2 && value[0] != '-' && o.shard < o.shards) {
            continue;
        } else {
            throw std::runtime_error("argument " + std::to_string(i) + ": expected --cases FILE, --shard K/N (0 <= K < N) or --case ID, found \"" + flag + " " + value + "\" (or --target NAME)");
        }
    }
    if (argc % 2 == 0 || o.cases.empty()) throw std::runtime_error("expected --cases FILE [--shard K/N | --case ID]");
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
    for (std::string line; std::getline(file, line);) {
        ++lineNumber;
        if (line.empty() || (o.caseId.empty() && index++ % o.shards != o.shard)) continue;
        std::vector<std::string> failures;
        std::string id;
        try {
            const Json record = Parser(line).document();
            id = record["id"].string();
            if (!o.caseId.empty() && id != o.caseId) continue;
            calls += record["calls"].array().size();
            failures = replayer.run(record);
        } catch (const std::exception& e) {
            failures = {std::string("in ") + o.cases + " line " + std::to_string(lineNumber) + ": " + e.what()};
        }
        ++ran;
        for (const std::string& f : failures) std::cout << "case " << id << " " << f << "\n";
        failed += !failures.empty();
    }
    std::cout << ran << " cases with " << calls << " calls replayed from " << o.cases << ", " << failed << " failed\n";
    if (ran == 0) std::cout << (o.caseId.empty() ? "no case was selected" : "no case has the id \"" + o.caseId + "\"") << "\n";
    return ran > 0 && failed == 0 ? 0 : 1;
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
