// Sample codes and the text formats of sample files.
//
// A fixed-point code is the two's-complement integer c of a W-bit port whose
// value is c / 2^(F) with F = input width - 1 at both ports; an IEEE single
// port carries the single's bit pattern as a signed 32-bit code. Sample files
// hold one complex sample per line: "re im" as values (float) or codes (int),
// or one packed word (hex) with the real code in the upper W bits and the
// imaginary code in the lower W bits. A blank line ends a frame.
#ifndef VFFT_TOOLS_SAMPLES_H
#define VFFT_TOOLS_SAMPLES_H

#include <cstdint>
#include <string>
#include <vector>

namespace vfft_cli {

enum class SampleFormat { Float, Int, Hex };

SampleFormat parseSampleFormat(const std::string& option, const std::string& value);

struct CodeFormat {
    bool single;       // IEEE single bit patterns
    int width;         // code width W
    int fractionBits;  // F, fixed point only
};

// The code of a value, or false and the reason why the value has none (not
// finite, off the grid, beyond the width, not an exact single).
bool valueToCode(double value, const CodeFormat& format, int64_t& code, std::string& why);
double codeToValue(int64_t code, const CodeFormat& format);

struct Frame {
    std::vector<double> re, im;
    std::vector<int> lines;  // source line of each sample
};

struct FrameSource {
    std::string name;  // file name, or "standard input"
    std::vector<Frame> frames;
};

// Reads frames of the given number of points. A block of consecutive sample
// lines holding a multiple of the points is that many frames, so the
// unbroken data files of a vector set read back as well. With exactCodes, a
// value given in float format must have a code (on the grid, or an exact
// single) rather than being left for the core to round.
FrameSource readFrames(const std::string& path, SampleFormat format, const CodeFormat& codes, int points,
                       bool exactCodes);

// The codes of a frame of values; a value without a code (a NaN result, say)
// fails naming the frame, the sample and the reason.
struct FrameCodes {
    std::vector<int64_t> re, im;
};
FrameCodes frameCodes(const std::vector<double>& re, const std::vector<double>& im, const CodeFormat& format,
                      const std::string& frame);

// The shortest decimal text that reads back as the same double.
std::string formatValue(double v);

// One line of a sample file, without the newline.
std::string formatFloatSample(double re, double im);
std::string formatIntSample(int64_t re, int64_t im);
std::string formatHexSample(int64_t re, int64_t im, int width);

}  // namespace vfft_cli

#endif
