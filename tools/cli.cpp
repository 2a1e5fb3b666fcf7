#include "cli.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace vfft_cli {

void usageError(const std::string& message) { throw Failure(kExitUsage, message); }

void dataError(const std::string& message) { throw Failure(kExitFailure, message); }

IntText readInt64(const std::string& text, int64_t& value) {
    const size_t start = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    if (text.size() == start || text.find_first_not_of("0123456789", start) != std::string::npos)
        return IntText::NotInteger;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE) return IntText::OutOfRange;
    value = v;
    return IntText::Ok;
}

int32_t parseInt32(const std::string& text, const std::string& what) {
    int64_t v = 0;
    const IntText r = readInt64(text, v);
    if (r == IntText::NotInteger) usageError(what + ": expected a decimal integer, got '" + text + "'");
    if (r == IntText::OutOfRange || v < std::numeric_limits<int32_t>::min() ||
        v > std::numeric_limits<int32_t>::max())
        usageError(what + ": " + text + " is out of the range of a 32-bit integer, -2147483648 to 2147483647");
    return static_cast<int32_t>(v);
}

bool ArgReader::flag(const char* name) {
    if (done() || args_[pos_] != name) return false;
    ++pos_;
    return true;
}

std::optional<std::string> ArgReader::value(const char* name) {
    if (done()) return std::nullopt;
    const std::string& arg = args_[pos_];
    const size_t n = std::strlen(name);
    if (arg == name) {
        if (pos_ + 1 >= args_.size()) usageError(command_ + ": option " + arg + " needs a value");
        pos_ += 2;
        return args_[pos_ - 1];
    }
    if (arg.compare(0, n, name) == 0 && arg.size() > n && arg[n] == '=') {
        ++pos_;
        return arg.substr(n + 1);
    }
    return std::nullopt;
}

void ArgReader::unknown() const {
    const std::string& arg = args_[pos_];
    usageError(command_ + ": unknown argument '" + arg + "' (see vfft " + command_ + " --help)");
}

bool wantsHelp(const std::vector<std::string>& args) {
    for (const std::string& a : args)
        if (a == "--help" || a == "-h") return true;
    return false;
}

}  // namespace vfft_cli
