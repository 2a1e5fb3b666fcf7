#include "samples.h"

#include <cctype>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

#include "cli.h"

namespace vfft_cli {

namespace {

using Word = unsigned __int128;  // a packed sample of up to 2 x 64 bits

int64_t lowestCode(int width) { return -(int64_t(1) << (width - 1)); }
int64_t highestCode(int width) { return (int64_t(1) << (width - 1)) - 1; }

std::string rangeText(int width) {
    return std::to_string(lowestCode(width)) + " to " + std::to_string(highestCode(width));
}

unsigned hexDigit(char ch) {
    if (ch >= '0' && ch <= '9') return unsigned(ch - '0');
    return unsigned((ch | 0x20) - 'a' + 10);
}

std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> words;
    for (size_t end = 0;;) {
        const size_t start = line.find_first_not_of(" \t", end);
        if (start == std::string::npos) return words;
        end = line.find_first_of(" \t", start);
        words.push_back(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
    }
}

bool readDouble(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end != text.c_str() && *end == '\0';
}

}  // namespace

SampleFormat parseSampleFormat(const std::string& option, const std::string& value) {
    if (value == "float") return SampleFormat::Float;
    if (value == "int") return SampleFormat::Int;
    if (value == "hex") return SampleFormat::Hex;
    usageError(option + ": expected float|int|hex, got '" + value + "'");
}

bool valueToCode(double value, const CodeFormat& f, int64_t& code, std::string& why) {
    if (f.single) {
        if (std::isfinite(value) && std::fabs(value) > FLT_MAX) {
            why = "is beyond the IEEE single-precision range";
            return false;
        }
        const float s = static_cast<float>(value);
        if (!std::isnan(value) && static_cast<double>(s) != value) {
            why = std::fabs(value) < FLT_MIN
                      ? "lies below the normal single-precision range with more significant bits than a subnormal "
                        "single holds"
                      : "is not exactly an IEEE single-precision value";
            return false;
        }
        int32_t bits = 0;
        std::memcpy(&bits, &s, sizeof bits);
        code = bits;
        return true;
    }
    if (!std::isfinite(value)) {
        why = "is not a finite number";
        return false;
    }
    const double scaled = std::ldexp(value, f.fractionBits);
    if (scaled != std::floor(scaled)) {
        why = "is not a multiple of 2^-" + std::to_string(f.fractionBits) + ", the step of the " +
              std::to_string(f.fractionBits + 1) + "-bit input grid";
        return false;
    }
    if (scaled < double(lowestCode(f.width)) || scaled > double(highestCode(f.width))) {
        why = "is outside the " + std::to_string(f.width) + "-bit code range " + rangeText(f.width) +
              " (steps of 2^-" + std::to_string(f.fractionBits) + ")";
        return false;
    }
    code = static_cast<int64_t>(scaled);
    return true;
}

double codeToValue(int64_t code, const CodeFormat& f) {
    if (!f.single) return std::ldexp(double(code), -f.fractionBits);
    const int32_t bits = static_cast<int32_t>(code);
    float s = 0;
    std::memcpy(&s, &bits, sizeof s);
    return s;
}

FrameReader::FrameReader(const std::string& path, SampleFormat format, const CodeFormat& codes, bool exactCodes)
    : name_(path == "-" ? "standard input" : path), in_(&std::cin), format_(format), codes_(codes),
      exact_(exactCodes) {
    if (path == "-") return;
    auto* file = new std::ifstream(path);
    owned_ = file;
    if (!*file) dataError("cannot read '" + path + "': " + std::strerror(errno));
    in_ = file;
}

FrameReader::~FrameReader() { delete owned_; }

void FrameReader::fail(int lineNo, const std::string& what) const {
    dataError(name_ + ":" + std::to_string(lineNo) + ": " + what);
}

bool FrameReader::more() {
    while (!pending_ && !ended_) pending_ = sample(re_, im_, pendingLine_);
    return pending_;
}

bool FrameReader::sample(double& re, double& im, int& lineNo) {
    if (pending_) {
        pending_ = false;
        re = re_;
        im = im_;
        lineNo = pendingLine_;
        return true;
    }
    for (std::string line; std::getline(*in_, line);) {
        lineNo = ++lineNo_;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!inComment_ && line.find_first_not_of(" \t") == std::string::npos) return false;
        // The line without its comments.
        std::string text;
        for (size_t i = 0; i < line.size();) {
            if (inComment_) {
                const size_t end = line.find("*/", i);
                inComment_ = end == std::string::npos;
                i = inComment_ ? line.size() : end + 2;
                continue;
            }
            const size_t slash = line.find('/', i);
            text.append(line, i, slash == std::string::npos ? std::string::npos : slash - i);
            if (slash == std::string::npos || line.compare(slash, 2, "//") == 0) break;
            inComment_ = line.compare(slash, 2, "/*") == 0;
            if (!inComment_) text += '/';
            i = slash + (inComment_ ? 2 : 1);
        }
        std::vector<std::string> words = splitWords(text);
        if (format_ == SampleFormat::Hex && !words.empty() && words[0][0] == '@') {
            const std::string address = words[0].substr(1);
            if (address.empty() || address.size() > 16 ||
                address.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
                fail(lineNo, "'" + words[0] + "' is not an address; expected @ and hex digits");
            const uint64_t at = std::stoull(address, nullptr, 16);
            if (at != samples_) {
                char next[24];
                std::snprintf(next, sizeof next, "@%llx", (unsigned long long)samples_);
                fail(lineNo, "address " + words[0] + " is not that of the next sample, " + next +
                                 "; the samples of a file follow one another from @0");
            }
            words.erase(words.begin());
        }
        if (words.empty()) continue;
        parse(words, lineNo, re, im);
        ++samples_;
        return true;
    }
    if (in_->bad()) dataError("error reading " + name_ + ": " + std::strerror(errno));
    ended_ = true;
    return false;
}

bool FrameReader::next(int points, Frame& frame) {
    frame.re.resize(size_t(points));
    frame.im.resize(size_t(points));
    int n = 0, lineNo = 0;
    while (n < points && !ended_) {
        if (sample(frame.re[n], frame.im[n], lineNo)) {
            if (n == 0) frame.firstLine = lineNo;
            frame.lastLine = lineNo;
            ++n;
        } else if (n > 0) {
            break;
        }
    }
    if (n == 0) {
        if (frames_ == 0)
            dataError(name_ + ": no samples; expected frames of " + std::to_string(points) + " lines");
        return false;
    }
    if (n < points)
        dataError(name_ + ":" + std::to_string(frame.firstLine) + "-" + std::to_string(frame.lastLine) +
                  ": frame " + std::to_string(frames_) + " ends after " + std::to_string(n) + " samples; expected " +
                  std::to_string(points));
    ++frames_;
    return true;
}

void FrameReader::parse(const std::vector<std::string>& words, int lineNo, double& re, double& im) const {
    const auto got = [&] {
        std::string line;
        for (const std::string& w : words) line += (line.empty() ? "" : " ") + w;
        return ", got '" + line + "'";
    };
    if (format_ == SampleFormat::Hex) {
        if (words.size() != 1) fail(lineNo, "expected one packed hex word per line" + got());
        parseHex(words[0], lineNo, re, im);
        return;
    }
    if (words.size() != 2)
        fail(lineNo, std::string("expected two ") +
                         (format_ == SampleFormat::Int ? "decimal integer codes" : "numbers") + " 're im'" + got());
    re = part(words[0], lineNo, "real");
    im = part(words[1], lineNo, "imaginary");
}

double FrameReader::part(const std::string& text, int lineNo, const char* which) const {
    if (format_ == SampleFormat::Int) {
        int64_t code = 0;
        const IntText r = readInt64(text, code);
        if (r == IntText::NotInteger)
            fail(lineNo, std::string(which) + " part '" + text + "' is not a decimal integer code");
        if (r == IntText::OutOfRange || code < lowestCode(codes_.width) || code > highestCode(codes_.width))
            fail(lineNo, std::string(which) + " code " + text + " is outside the " + std::to_string(codes_.width) +
                             "-bit range " + rangeText(codes_.width));
        return codeToValue(code, codes_);
    }
    double v = 0;
    if (!readDouble(text, v)) fail(lineNo, std::string(which) + " part '" + text + "' is not a number");
    if (!codes_.single && !(v >= -1.0 && v < 1.0))
        fail(lineNo, std::string(which) + " value " + text + " is outside the fixed-point input range -1.0 <= x < 1.0");
    int64_t code = 0;
    std::string why;
    if (exact_ && !valueToCode(v, codes_, code, why)) fail(lineNo, std::string(which) + " value " + text + " " + why);
    return v;
}

void FrameReader::parseHex(const std::string& text, int lineNo, double& re, double& im) const {
    const int w = codes_.width;
    const size_t digits = (2 * w + 3) / 4;
    if (text.size() > digits || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        fail(lineNo, "'" + text + "' is not a packed sample of at most " + std::to_string(digits) +
                         " hex digits (2 x " + std::to_string(w) + " bits)");
    Word word = 0;
    for (char ch : text) word = word * 16 + Word(hexDigit(ch));
    if (word >> (2 * w) != 0)
        fail(lineNo, "'" + text + "' is wider than the " + std::to_string(2 * w) + " bits of a packed sample");
    const uint64_t mask = (uint64_t(1) << w) - 1;
    const auto signedCode = [w](uint64_t u) { return (u >> (w - 1)) ? -int64_t((uint64_t(1) << w) - u) : int64_t(u); };
    re = codeToValue(signedCode(uint64_t(word >> w) & mask), codes_);
    im = codeToValue(signedCode(uint64_t(word) & mask), codes_);
}

FrameCodes frameCodes(const std::vector<double>& re, const std::vector<double>& im, const CodeFormat& format,
                      const std::string& frame) {
    FrameCodes codes;
    codes.re.resize(re.size());
    codes.im.resize(im.size());
    std::string why;
    for (size_t i = 0; i < re.size(); ++i) {
        if (!valueToCode(re[i], format, codes.re[i], why))
            dataError(frame + ", sample " + std::to_string(i) + ": real value " + formatValue(re[i]) + " " + why);
        if (!valueToCode(im[i], format, codes.im[i], why))
            dataError(frame + ", sample " + std::to_string(i) + ": imaginary value " + formatValue(im[i]) + " " + why);
    }
    return codes;
}

std::string formatValue(double v) {
    if (std::isnan(v)) return "nan";
    if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
    char buf[40];
    for (int precision = 1;; ++precision) {
        std::snprintf(buf, sizeof buf, "%.*g", precision, v);
        if (std::strtod(buf, nullptr) == v || precision == 17) return buf;
    }
}

std::string formatFloatSample(double re, double im) { return formatValue(re) + " " + formatValue(im); }

std::string formatIntSample(int64_t re, int64_t im) { return std::to_string(re) + " " + std::to_string(im); }

std::string formatHexSample(int64_t re, int64_t im, int width) {
    const uint64_t mask = (uint64_t(1) << width) - 1;
    Word word = (Word(uint64_t(re) & mask) << width) | Word(uint64_t(im) & mask);
    std::string hex((2 * width + 3) / 4, '0');
    for (size_t i = hex.size(); i-- > 0; word >>= 4) hex[i] = "0123456789abcdef"[unsigned(word & 15)];
    return hex;
}

}  // namespace vfft_cli
