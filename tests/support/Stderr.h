// What the library writes on standard error (file descriptor 2, whether
// through std::cerr, stdio or write) while an action runs, captured into a
// memory file that one capture reuses from call to call.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <iomanip>
#include <iostream>
#include <locale>
#include <stdexcept>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

class StderrCapture {
public:
    StderrCapture() : file_(memfd_create("vfft-stderr", 0))
    {
        if (file_ < 0) throw std::runtime_error("cannot create a file for standard error");
#if defined(__SANITIZE_ADDRESS__)
        // A sanitizer report goes to the real standard error, not into a capture.
        static const int real = dup(2);
        __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<intptr_t>(real)));
#endif
    }
    ~StderrCapture() { close(file_); }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // Runs the action and returns the text it wrote; the real standard error
    // is back in place when this returns or throws.
    template <class Action>
    std::string run(Action&& action)
    {
        flush();
        if (ftruncate(file_, 0) != 0 || lseek(file_, 0, SEEK_SET) != 0) throw std::runtime_error("cannot empty the standard error file");
        const int saved = dup(2);
        if (saved < 0 || dup2(file_, 2) < 0) throw std::runtime_error("cannot redirect standard error");
        struct Restore {
            int saved;
            ~Restore()
            {
                flush();
                dup2(saved, 2);
                close(saved);
            }
        };
        {
            const Restore restore{saved};
            action();
        }
        const off_t length = lseek(file_, 0, SEEK_END);
        std::string text(static_cast<std::size_t>(length < 0 ? 0 : length), '\0');
        if (pread(file_, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()))
            throw std::runtime_error("cannot read the standard error file");
        return text;
    }

private:
    static void flush()
    {
        std::cerr.flush();
        std::fflush(stderr);
    }

    int file_;
};

// A host locale that groups the digits of numbers in threes.
struct Grouping : std::numpunct<char> {
    std::string do_grouping() const override { return "\3"; }
};

// The text the action writes on standard error, run under a grouping global
// locale and with std::cerr formatted the way a careless host might leave it
// (the library's messages must not change).
template <class Action>
std::string captureStderr(Action&& action)
{
    std::ios format(nullptr);
    format.copyfmt(std::cerr);
    std::cerr << std::hex << std::showpos << std::fixed << std::setprecision(2) << std::setfill('*') << std::setw(90);
    const std::locale host = std::locale::global(std::locale(std::locale::classic(), new Grouping));
    const std::string text = StderrCapture().run(action);
    std::locale::global(host);
    std::cerr.copyfmt(format);
    return text;
}
