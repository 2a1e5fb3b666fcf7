// Sample codes and the text formats of sample files.
//
// A fixed-point code is the two's-complement integer c of a W-bit port whose
// value is c / 2^F, F the port's fraction bits (its binary point); an IEEE single
// port carries the single's bit pattern as a signed 32-bit code. Sample files
// hold one complex sample per line: "re im" as values (float) or codes (int),
// or one packed word (hex) with the real code in the upper W bits and the
// imaginary code in the lower W bits.
#ifndef VFFT_TOOLS_SAMPLES_H
#define VFFT_TOOLS_SAMPLES_H

#include <cstdint>
#include <iosfwd>
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
    int firstLine = 0, lastLine = 0;  // source lines of its first and last sample
};

// Reads the frames of a sample file one at a time. Blank lines may separate
// frames, and frames may follow one another without them, as in the data
// files of a vector set. Text after // and between /* and */ is a comment.
// In hex format a word @ADDRESS (hex) may precede a sample, as in $readmemh
// files: it must give the next sample's position in the file, counted from 0.
// With exactCodes, a value given in float format must have a code (on the
// grid, or an exact single) rather than being left for the core to round.
class FrameReader {
public:
    FrameReader(const std::string& path, SampleFormat format, const CodeFormat& codes, bool exactCodes);
    ~FrameReader();
    FrameReader(const FrameReader&) = delete;
    FrameReader& operator=(const FrameReader&) = delete;
    // The next frame of the given number of points; false at the end of the
    // input after at least one frame.
    bool next(int points, Frame& frame);
    // True when a sample follows (after any blank lines and comments).
    bool more();
    const std::string& name() const { return name_; }
    uint64_t frames() const { return frames_; }

private:
    // The next sample, or false at a blank line or the end of the input.
    bool sample(double& re, double& im, int& lineNo);
    void parse(const std::vector<std::string>& words, int lineNo, double& re, double& im) const;
    double part(const std::string& text, int lineNo, const char* which) const;
    void parseHex(const std::string& text, int lineNo, double& re, double& im) const;
    [[noreturn]] void fail(int lineNo, const std::string& what) const;

    std::string name_;
    std::istream* in_;
    std::istream* owned_ = nullptr;
    SampleFormat format_;
    CodeFormat codes_;
    bool exact_;
    int lineNo_ = 0;
    bool inComment_ = false;
    bool ended_ = false;
    bool pending_ = false;  // a sample read by more(), in re_, im_ of line pendingLine_
    double re_ = 0, im_ = 0;
    int pendingLine_ = 0;
    uint64_t samples_ = 0, frames_ = 0;
};

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
