// The configured core as the commands see it: the generics and per-call
// settings gathered from the command line, the library state built from them,
// the sample widths at the core's ports and one transform per call.
#ifndef VFFT_TOOLS_CORE_H
#define VFFT_TOOLS_CORE_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli.h"
#include "vfft_v8_0.h"

namespace vfft_cli {

struct CoreOptions {
    velmor_ip_vfft_v8_0_generics generics = velmor_ip_vfft_v8_0_get_default_generics();
    std::optional<int32_t> nfft;                   // run-time length exponent (--nfft)
    std::optional<std::vector<int32_t>> schedule;  // --schedule, else the default one
    int32_t direction = 1;                         // 1 forward, 0 inverse
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

// Sample widths at the core's ports. Fixed-point codes of both ports share
// one grid: a code c stands for c / 2^(input - 1); the unscaled output is
// wider to hold the growth of the transform. Floating-point ports carry IEEE
// single bit patterns.
struct Widths {
    bool single;
    int input;
    int output;
};

struct FrameResult {
    std::vector<double> re, im;
    int32_t blkExp = 0;
    int32_t overflow = 0;
};

class Core {
public:
    // Builds the library state; the library reports invalid generics itself.
    explicit Core(const CoreOptions& options);
    const velmor_ip_vfft_v8_0_generics& generics() const { return generics_; }
    int nfft() const { return nfft_; }
    int points() const { return 1 << nfft_; }
    int32_t direction() const { return direction_; }
    // The schedule passed on every call; empty when the core does not use one.
    const std::vector<int32_t>& schedule() const { return schedule_; }
    Widths widths() const;
    bool scheduled() const;
    // One frame of 2^nfft samples; context names the frame in a failure.
    FrameResult transform(std::vector<double> re, std::vector<double> im, const std::string& context);
    // The configuration in words, e.g. "radix-4 burst I/O, 1024 points, ...".
    std::string describe() const;

private:
    velmor_ip_vfft_v8_0_generics generics_;
    std::unique_ptr<velmor_ip_vfft_v8_0_state, void (*)(velmor_ip_vfft_v8_0_state*)> state_;
    int nfft_ = 0;
    int32_t direction_ = 1;
    std::vector<int32_t> schedule_;
};

}  // namespace vfft_cli

#endif
