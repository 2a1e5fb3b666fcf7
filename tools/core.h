// The configured core as the commands see it: the generics and per-frame
// settings gathered from the command line, the library state built from
// them, the rules the library gives for them (lengths, schedules, code
// widths), and batches of frames transformed in one call.
#ifndef VFFT_TOOLS_CORE_H
#define VFFT_TOOLS_CORE_H

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli.h"
#include "samples.h"
#include "vfft_v8_0_ext.h"

namespace vfft_cli {

// What a frame may set for itself; whatever is missing takes the command
// line's value, then the core's default.
struct FrameChoice {
    std::optional<int32_t> nfft;                   // run-time length exponent
    std::optional<int32_t> direction;              // 1 forward, 0 inverse
    std::optional<std::vector<int32_t>> schedule;  // empty or missing: the default
};

struct CoreOptions {
    velmor_ip_vfft_v8_0_generics generics = velmor_ip_vfft_v8_0_get_default_generics();
    FrameChoice frame;  // --nfft, --inverse, --schedule
};

// Consumes one core option (NAME=VALUE generic, --arch, --nfft-max, ...) at
// the reader's position; false when the argument is not one.
bool parseCoreOption(ArgReader& reader, CoreOptions& options);

// Help text of the core options, shared by the commands.
extern const char* const kCoreOptionsHelp;

// Names and members of the nine generics, in record order.
struct GenericField {
    const char* name;
    int32_t velmor_ip_vfft_v8_0_generics::*member;
};
extern const GenericField kGenericFields[9];

// The length, direction and schedule of one call.
struct FrameSettings {
    int32_t nfft = 0;
    int32_t direction = 1;
    std::vector<int32_t> schedule;  // empty when the core takes none
    int points() const { return 1 << nfft; }
};

struct FrameIn {
    FrameSettings settings;
    std::vector<double> re, im;
    std::string context;  // names the frame in a failure
};

struct FrameResult {
    std::vector<double> re, im;
    int32_t blkExp = 0;
    int32_t overflow = 0;
};

class Core {
public:
    // Builds the library state (the library reports invalid generics itself)
    // and checks the command line's frame settings.
    explicit Core(const CoreOptions& options);
    const velmor_ip_vfft_v8_0_generics& generics() const { return generics_; }
    // The command line's settings, for every frame that sets nothing itself.
    const FrameSettings& defaults() const { return defaults_; }
    // A frame's settings, checked against the library's rules; what names
    // their source in a failure, which ends with exitCode.
    FrameSettings settings(const FrameChoice& choice, const std::string& what, int exitCode) const;
    // The library's rules at the largest length.
    const velmor_ip_vfft_v8_0_description& rules() const { return ports_; }
    // Codes at the core's ports: the widths and binary points of its largest
    // length, which hold every frame's samples.
    CodeFormat inputCodes() const;
    CodeFormat outputCodes() const;
    // Frames of one length, transformed in one batch call.
    std::vector<FrameResult> transform(const std::vector<FrameIn>& frames);
    // The configuration in words, e.g. "radix-4 burst I/O, 1024 points, ...".
    std::string describe() const;

private:
    velmor_ip_vfft_v8_0_description rulesAt(int32_t nfft) const;

    velmor_ip_vfft_v8_0_generics generics_;
    std::unique_ptr<velmor_ip_vfft_v8_0_state, void (*)(velmor_ip_vfft_v8_0_state*)> state_;
    FrameChoice choice_;                     // the command line's
    velmor_ip_vfft_v8_0_description ports_;  // the rules at C_NFFT_MAX
    FrameSettings defaults_;
};

// Gathers consecutive frames of one length and transforms them in one batch
// call when a frame of another length comes, when the batch holds 2^16
// samples, and at the end; hands each frame and its result to deliver, in
// order. The frames in memory stay within one batch.
class Batcher {
public:
    using Deliver = std::function<void(const FrameIn&, const FrameResult&)>;
    Batcher(Core& core, Deliver deliver) : core_(core), deliver_(std::move(deliver)) {}
    void add(FrameIn frame);
    void finish();

private:
    Core& core_;
    Deliver deliver_;
    std::vector<FrameIn> frames_;
    size_t samples_ = 0;
};

}  // namespace vfft_cli

#endif
