// Command-line plumbing shared by the vfft commands: the failure type that
// ends the program with a message and an exit code, strict integer parsing and
// a reader that walks the argument list option by option.
#ifndef VFFT_TOOLS_CLI_H
#define VFFT_TOOLS_CLI_H

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vfft_cli {

constexpr int kExitFailure = 1;  // bad data, unreadable or unwritable files, calls the library rejects
constexpr int kExitUsage = 2;    // bad command line

// Ends the command. main prints "vfft: " and the message on standard error
// (nothing when the message is empty because the library already wrote its
// own line) and exits with the code.
class Failure : public std::runtime_error {
public:
    Failure(int exitCode, const std::string& message) : std::runtime_error(message), code_(exitCode) {}
    int exitCode() const { return code_; }

private:
    int code_;
};

[[noreturn]] void usageError(const std::string& message);
[[noreturn]] void dataError(const std::string& message);

// Decimal integer with an optional sign and nothing else.
enum class IntText { Ok, NotInteger, OutOfRange };
IntText readInt64(const std::string& text, int64_t& value);

// A 32-bit integer option or generic value; what names it in the message.
int32_t parseInt32(const std::string& text, const std::string& what);

// Walks the arguments of one command. Options take their value as the next
// argument or after '=' (--input FILE, --input=FILE).
class ArgReader {
public:
    ArgReader(const std::string& command, std::vector<std::string> args)
        : command_(command), args_(std::move(args)) {}
    bool done() const { return pos_ >= args_.size(); }
    const std::string& peek() const { return args_[pos_]; }
    // Consumes the current argument when it is exactly the flag name.
    bool flag(const char* name);
    // Consumes the current option and its value when it is the named option.
    std::optional<std::string> value(const char* name);
    std::string take() { return args_[pos_++]; }
    [[noreturn]] void unknown() const;

private:
    std::string command_;
    std::vector<std::string> args_;
    size_t pos_ = 0;
};

bool wantsHelp(const std::vector<std::string>& args);

}  // namespace vfft_cli

#endif
